#include "job/name_check.h"

#include <string_view>

namespace {

constexpr std::string_view NeverCarried = "\"\\";
constexpr std::string_view InterpreterSpecial = "&|<>^%!";

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (LowerAscii(tail[i]) != suffix[i]) {
            return false;
        }
    }
    return true;
}

bool IsBatchFile(std::string_view program)
{
    return EndsWithIgnoringCase(program, ".bat") || EndsWithIgnoringCase(program, ".cmd");
}

}  // namespace

bool IsNameSafeToRun(const char* executableName, const char* name)
{
    const bool batch = IsBatchFile(executableName);
    for (const char c : std::string_view(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || NeverCarried.find(c) != std::string_view::npos) {
            return false;
        }
        if (batch && InterpreterSpecial.find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}
