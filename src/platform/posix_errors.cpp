// Last error and its text on POSIX: errno values and strerror.

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix_handles.h"

namespace {

DWORD lastError = 0;  // one thread: no need for thread-local storage

}  // namespace

void SetLastErrorCode(DWORD code)
{
    lastError = code;
}

void SetLastErrorFromErrno()
{
    lastError = static_cast<DWORD>(errno);
}

DWORD WINAPI GetLastError()
{
    return lastError;
}

// Only the allocating form is used: `lpBuffer` then points at a char* that
// receives a malloc'd copy of strerror's text, freed by LocalFree. Returns
// the text's length, or 0 (nothing allocated) for any other request.
DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD,
                            va_list*)
{
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) == 0 || lpBuffer == nullptr) {
        return 0;
    }
    const char* text = std::strerror(static_cast<int>(dwMessageId));
    const std::size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) {
        return 0;
    }
    std::memcpy(copy, text, length + 1);
    *reinterpret_cast<char**>(lpBuffer) = copy;
    return static_cast<DWORD>(length);
}

HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    std::free(hMem);
    return nullptr;
}
