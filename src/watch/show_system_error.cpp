#include "watch/show_system_error.h"

#include <array>
#include <cstdio>

#include "platform/platform.h"

void ShowSystemError(const char* caption)
{
    const DWORD code = GetLastError();
    LPSTR text = nullptr;
    // With ALLOCATE_BUFFER the platform stores a pointer to its own allocation
    // where the buffer argument points.
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        // No text for this code: the code alone still lets the user look it up.
        std::array<char, 64> fallback{};
        std::snprintf(fallback.data(), fallback.size(), "System error %u.",
                      static_cast<unsigned>(code));
        MessageBoxA(nullptr, fallback.data(), caption, MB_ICONINFORMATION);
        return;
    }
    MessageBoxA(nullptr, text, caption, MB_ICONINFORMATION);
    LocalFree(text);
}
