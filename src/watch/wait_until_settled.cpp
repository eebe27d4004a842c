#include "watch/wait_until_settled.h"

#include "platform/platform.h"

namespace {

constexpr DWORD PollPauseMs = 500;

enum class Hold { Free, Vanished, NeverFree };

HANDLE OpenFile(const char* fullPath, DWORD access)
{
    return CreateFileA(fullPath, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Renaming a file to its own name succeeds once no other process holds it
// open without sharing deletion. While the rename fails, a probe that asks for
// no access tells whether the file is still there at all.
Hold WaitWhileHeld(const char* fullPath)
{
    while (MoveFileA(fullPath, fullPath) == 0) {
        const DWORD reason = GetLastError();
        const HANDLE probe = OpenFile(fullPath, 0);
        if (probe == INVALID_HANDLE_VALUE) {
            return Hold::Vanished;
        }
        CloseHandle(probe);
        // Only another process's hold goes away by waiting; a rename refused
        // for any other reason (no right to rename, say) would be refused for ever.
        if (reason != ERROR_SHARING_VIOLATION && reason != ERROR_LOCK_VIOLATION) {
            return Hold::NeverFree;
        }
        Sleep(PollPauseMs);
    }
    return Hold::Free;
}

}  // namespace

Readiness WaitUntilSettled(const char* fullPath)
{
    // A vanished file still gets the open below: if it is back by then, it is measured.
    if (WaitWhileHeld(fullPath) == Hold::NeverFree) {
        return Readiness::Skip;
    }

    const HANDLE file = OpenFile(fullPath, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        return Readiness::Skip;
    }
    // Each cycle compares two fresh readings 500 ms apart; a reading is never
    // carried into the next cycle. A failed reading compares like any size.
    for (;;) {
        const DWORD first = GetFileSize(file, nullptr);
        Sleep(PollPauseMs);
        const DWORD second = GetFileSize(file, nullptr);
        if (first == second) {
            break;
        }
    }
    CloseHandle(file);
    return Readiness::Ready;
}
