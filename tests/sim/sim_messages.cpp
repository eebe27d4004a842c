// The thread's message queue, notices, pauses and the last error.

#include <gtest/gtest.h>

#include <cstring>

#include "sim_internal.h"

namespace sim {

using namespace detail;

void PostAt(Millis when, UINT message)
{
    At(when, [message] { W().queue.push_back(message); });
}

std::size_t QueuedMessages()
{
    return W().queue.size();
}

const std::vector<Notice>& Notices()
{
    return W().notices;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

namespace {

// The platform's texts for the codes that the scenarios use.
const char* SystemText(DWORD code)
{
    switch (code) {
        case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.\r\n";
        case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.\r\n";
        case ERROR_ACCESS_DENIED: return "Access is denied.\r\n";
        default: return nullptr;
    }
}

}  // namespace

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg)
{
    const bool waiting = !W().queue.empty();
    if (waiting) {
        lpMsg->message = W().queue.front();
        if (wRemoveMsg != PM_NOREMOVE) {
            W().queue.pop_front();
        }
    }
    const std::string seen = waiting ? Format(" [0x%X]", lpMsg->message) : "";
    Log(W().now, Format("PeekMessageA(%s, %u, %u, %u) -> %d%s", NameOf(hWnd).c_str(), wMsgFilterMin,
                        wMsgFilterMax, wRemoveMsg, waiting, seen.c_str()));
    return waiting ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    const Millis start = W().now;
    // An empty queue blocks until something is posted, or for ever.
    WaitFor(W().timeLimit + 1, [] { return !W().queue.empty(); });
    lpMsg->message = W().queue.front();
    W().queue.pop_front();
    const BOOL result = lpMsg->message == WM_QUIT ? FALSE : TRUE;
    Log(start, Format("GetMessageA(%s, %u, %u) -> %d [0x%X]", NameOf(hWnd).c_str(), wMsgFilterMin,
                      wMsgFilterMax, result, lpMsg->message));
    return result;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    W().notices.push_back(Notice{W().now, lpText, lpCaption, uType, OpenHandles()});
    Log(W().now, Format("MessageBoxA(%s, %s, %s, 0x%X) -> 1", NameOf(hWnd).c_str(),
                        Quoted(lpText).c_str(), Quoted(lpCaption).c_str(), uType));
    constexpr int IdOk = 1;  // the user pressed OK at once
    return IdOk;
}

DWORD WINAPI GetLastError()
{
    Log(W().now, Format("GetLastError() -> %u", W().lastError));
    return W().lastError;
}

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments)
{
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) == 0) {
        ADD_FAILURE() << "FormatMessageA without FORMAT_MESSAGE_ALLOCATE_BUFFER";
    }
    const char* text = SystemText(dwMessageId);
    DWORD length = 0;
    std::string result = "0";
    if (text != nullptr) {
        length = static_cast<DWORD>(std::strlen(text));
        auto copy = std::make_unique<char[]>(length + 1);
        std::memcpy(copy.get(), text, length + 1);
        // With ALLOCATE_BUFFER, lpBuffer is where the pointer to the text goes.
        *reinterpret_cast<LPSTR*>(lpBuffer) = copy.get();
        const auto address = reinterpret_cast<std::uintptr_t>(copy.get());
        const std::string name = Format("text#%u", ++W().serial);
        W().handles[address] = Handle{Kind::Text, name, true, "", 0};
        W().texts[address] = std::move(copy);
        result = Format("%u %s", length, name.c_str());
    } else {
        constexpr DWORD ErrorMrMidNotFound = 317;
        SetError(ErrorMrMidNotFound);
    }
    Log(W().now, Format("FormatMessageA(0x%X, %s, %u, 0x%X, buffer, %u, %s) -> %s", dwFlags,
                        lpSource == nullptr ? "NULL" : "source", dwMessageId, dwLanguageId, nSize,
                        Arguments == nullptr ? "NULL" : "arguments", result.c_str()));
    return length;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    const auto address = reinterpret_cast<std::uintptr_t>(hMem);
    const bool freed = Close(hMem, Kind::Text, "LocalFree");
    const std::string name = NameOf(hMem);
    if (freed) {
        W().texts.erase(address);  // really freed: a later read is caught by ASan
    }
    Log(W().now, Format("LocalFree(%s) -> NULL", name.c_str()));
    return freed ? nullptr : hMem;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    const Millis start = W().now;
    WaitFor(start + dwMilliseconds, [] { return false; });
    Log(start, Format("Sleep(%u)", dwMilliseconds));
}
