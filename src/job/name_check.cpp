#include "job/name_check.h"

#include <string_view>

#include "job/ascii_case.h"

namespace {

constexpr std::string_view NeverCarried = "\"\\";
constexpr std::string_view InterpreterSpecial = "&|<>^()%!";

// Whether `program`, as Windows would open it, is a batch file or the command
// interpreter itself. Windows drops trailing dots and blanks from a file name
// ("run.bat." and "run.bat " open run.bat) and finds "cmd" as cmd.exe.
bool NamesInterpreter(std::string_view program)
{
    while (!program.empty() && (program.back() == '.' || program.back() == ' ')) {
        program.remove_suffix(1);
    }
    if (EndsWithIgnoringCase(program, ".bat") || EndsWithIgnoringCase(program, ".cmd")) {
        return true;
    }
    const std::size_t separator = program.find_last_of("\\/:");
    const std::string_view base =
        separator == std::string_view::npos ? program : program.substr(separator + 1);
    return EqualsIgnoringCase(base, "cmd") || EqualsIgnoringCase(base, "cmd.exe");
}

// Whether the job would run through the command interpreter. The program's
// name stands unquoted in the job's command line, so Windows takes it to end
// at a blank or a tab, trying each in turn: "D:\run.bat -x" runs run.bat with
// -x. Any such start of `executableName` counts.
bool RunsThroughInterpreter(std::string_view executableName)
{
    for (std::size_t end = 0; end <= executableName.size(); ++end) {
        const bool ends = end == executableName.size() || executableName[end] == ' ' ||
                          executableName[end] == '\t';
        if (ends && NamesInterpreter(executableName.substr(0, end))) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsNameSafeToRun(const char* executableName, const char* name)
{
    const bool batch = RunsThroughInterpreter(executableName);
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
