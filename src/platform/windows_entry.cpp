// The Windows build's process entry: hands WinMain the command line without
// the program's name, cut the way the classic Microsoft C runtime cuts it.
// MinGW's own start-up code takes a double quote anywhere in the name as
// opening quotes: for `"tool"job.exe x` it would pass `x` instead of
// `job.exe x`.
#include "platform/platform.h"

namespace {

// The text after the program's name and the white space behind it. A name
// that begins with a double quote runs to the next one (dropped with it) or to
// the end; any other name runs to the first character at or below the blank.
LPSTR TextAfterProgramName(LPSTR commandLine)
{
    LPSTR text = commandLine;
    if (*text == '"') {
        ++text;
        while (*text != '\0' && *text != '"') {
            ++text;
        }
        if (*text == '"') {
            ++text;
        }
    } else {
        while (static_cast<unsigned char>(*text) > ' ') {
            ++text;
        }
    }
    while (*text != '\0' && static_cast<unsigned char>(*text) <= ' ') {
        ++text;
    }
    return text;
}

}  // namespace

int main()
{
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    const int show =
        (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    return WinMain(GetModuleHandleA(nullptr), nullptr, TextAfterProgramName(GetCommandLineA()),
                   show);
}
