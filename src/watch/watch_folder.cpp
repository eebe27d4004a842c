#include "watch/watch_folder.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "job/ascii_case.h"
#include "job/run_job.h"
#include "platform/platform.h"
#include "watch/show_system_error.h"
#include "watch/wait_until_settled.h"

namespace {

constexpr DWORD IdleWaitMs = 50;
constexpr DWORD StopPauseMs = 500;
constexpr std::string_view StopMarker = "close!";
constexpr DWORD NotifyFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

// A pass normally follows a pass at once: the tool's own deletions signal a
// change. Past this many passes without a quiet wait in between, the
// notification is taken to be stuck (or its wait failing) and each further
// pass waits one idle slice first, so the tool never lists the folder at full
// speed for ever.
constexpr unsigned PassesBeforePacing = 2;

enum class PassEnd { Idle, Stop };

// Takes at most one message off the queue; true when it was the quit message.
bool TakeQuitMessage()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) == 0) {
        return false;
    }
    GetMessageA(&message, nullptr, 0, 0);
    return message.message == WM_QUIT;
}

void ShowPathTooLong(const Settings& settings, const char* name)
{
    std::array<char, 2 * TextBufferSize> notice{};
    std::snprintf(notice.data(), notice.size(),
                  "The path of %s in %s would be longer than %u characters, so it is not "
                  "run.\nThe file will not be removed.",
                  name, settings.Dirname.data(), static_cast<unsigned>(TextBufferSize - 1));
    MessageBoxA(nullptr, notice.data(), "Could not execute:", MB_OK);
}

// Handles one listing entry; Stop when it was the stop marker.
PassEnd ExamineEntry(const Settings& settings, const char* name)
{
    if (name[0] == '.') {
        return PassEnd::Idle;
    }
    TextBuffer fullPath{};
    const int length = std::snprintf(fullPath.data(), fullPath.size(), "%s%c%s",
                                     settings.Dirname.data(), PathSeparator, name);
    const bool pathFits = length >= 0 && static_cast<std::size_t>(length) < fullPath.size();

    if (EqualsIgnoringCase(name, StopMarker)) {
        Sleep(StopPauseMs);
        if (pathFits) {
            DeleteFileA(fullPath.data());
        }
        return PassEnd::Stop;
    }
    if (!pathFits) {
        ShowPathTooLong(settings, name);
    } else if (WaitUntilSettled(fullPath.data()) == Readiness::Ready) {
        RunJob(settings, fullPath.data(), name);
    }
    return PassEnd::Idle;
}

// One reading of the listing. The notification is re-armed first, so that
// every change made during the pass, the tool's own deletions included,
// starts the next one.
PassEnd MakePass(const Settings& settings, HANDLE notification)
{
    FindNextChangeNotification(notification);

    WIN32_FIND_DATAA entry;
    const HANDLE listing = FindFirstFileA(settings.SearchPattern.data(), &entry);
    PassEnd end = PassEnd::Idle;
    if (listing != INVALID_HANDLE_VALUE) {
        // The entry that opens the listing is examined too: a folder without
        // dot entries (a drive's root) lists a real file first.
        do {
            end = ExamineEntry(settings, entry.cFileName);
        } while (end == PassEnd::Idle && FindNextFileA(listing, &entry) != 0);
    }
    FindClose(listing);
    return end;
}

}  // namespace

int WatchFolder(const Settings& settings)
{
    const HANDLE notification =
        FindFirstChangeNotificationA(settings.Dirname.data(), TRUE, NotifyFilter);
    if (notification == INVALID_HANDLE_VALUE) {
        ShowSystemError(settings.SearchPattern.data());
        return 1;
    }

    unsigned passesWithoutQuiet = 0;
    for (;;) {
        if (TakeQuitMessage()) {
            FindCloseChangeNotification(notification);
            return 0;
        }
        // A failed wait starts a pass like a change does.
        if (WaitForSingleObject(notification, IdleWaitMs) == WAIT_TIMEOUT) {
            passesWithoutQuiet = 0;
            continue;
        }
        if (++passesWithoutQuiet > PassesBeforePacing) {
            Sleep(IdleWaitMs);
        }
        if (MakePass(settings, notification) == PassEnd::Stop) {
            FindCloseChangeNotification(notification);
            return 0;
        }
    }
}
