#include "platform/posix_command_line.h"

#include <cstring>

namespace {

bool IsSeparator(char c)
{
    return c == ' ' || c == '\t';
}

const char* SkipSeparators(const char* at)
{
    while (IsSeparator(*at)) {
        ++at;
    }
    return at;
}

// The program's name has its own simpler rule: no escapes at all.
const char* ReadProgram(const char* at, std::string& program)
{
    if (*at == '"') {
        ++at;
        while (*at != '\0' && *at != '"') {
            program += *at++;
        }
        return *at == '"' ? at + 1 : at;
    }
    while (*at != '\0' && !IsSeparator(*at)) {
        program += *at++;
    }
    return at;
}

const char* ReadArgument(const char* at, std::string& argument)
{
    bool quoted = false;
    while (*at != '\0' && (quoted || !IsSeparator(*at))) {
        if (*at == '\\') {
            std::size_t backslashes = 0;
            while (*at == '\\') {
                ++backslashes;
                ++at;
            }
            if (*at != '"') {
                argument.append(backslashes, '\\');
                continue;
            }
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                argument += '"';
                ++at;
                continue;
            }
        }
        if (*at == '"') {
            if (quoted && at[1] == '"') {
                argument += '"';
                at += 2;
            } else {
                quoted = !quoted;
                ++at;
            }
            continue;
        }
        argument += *at++;
    }
    return at;
}

}  // namespace

std::vector<std::string> SplitWindowsCommandLine(const char* commandLine)
{
    std::vector<std::string> arguments(1);
    const char* at = ReadProgram(commandLine, arguments[0]);
    for (at = SkipSeparators(at); *at != '\0'; at = SkipSeparators(at)) {
        arguments.emplace_back();
        at = ReadArgument(at, arguments.back());
    }
    return arguments;
}

std::string FormCommandLineText(int count, const char* const* arguments)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        const char* argument = arguments[i];
        if (i > 0) {
            text += ' ';
        }
        const bool quote = *argument == '\0' || std::strchr(argument, ' ') != nullptr;
        if (quote) {
            text += '"';
        }
        text += argument;
        if (quote) {
            text += '"';
        }
    }
    return text;
}
