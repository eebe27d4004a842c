#include "job/run_job.h"

#include <array>
#include <cstdarg>
#include <cstdio>

#include "job/expand_params.h"
#include "job/failure_code.h"
#include "job/name_check.h"
#include "platform/platform.h"

namespace {

constexpr DWORD JobWaitSliceMs = 50;
constexpr char FailureFormat[] =
    "Call to %s with parameters \n%s\nreturned error code %u (0x%X).\nThe file %s will not be "
    "removed.";
constexpr char UnknownOutcomeFormat[] =
    "Call to %s with parameters \n%s\ndid not report an exit code.\nThe file %s will not be "
    "removed.";
constexpr char TooLongFormat[] =
    "The command line for %s, or its error notice, would be longer than %u characters, so the "
    "job was not started.\nThe file will not be removed.";
constexpr char UnsafeNameFormat[] =
    "The name of %s holds a character that the command line of %s cannot carry safely, so the "
    "job was not started.\nThe file will not be removed.";
constexpr unsigned LongestExitCode = 0xFFFFFFFF;  // the most digits, decimal and hexadecimal

// Formats into `buffer`, never past it; true when the whole text fitted.
__attribute__((format(printf, 2, 3))) bool FormatFits(std::span<char> buffer, const char* format,
                                                      ...)
{
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    return length >= 0 && static_cast<std::size_t>(length) < buffer.size();
}

// Builds the job's command line. False when it, or the error notice that a
// failure would show in the same buffer, cannot be held whole.
bool BuildCommandLine(const Settings& settings, const char* fullPath, const char* name,
                      std::span<char> expansion, TextBuffer& commandLine)
{
    if (!ExpandParams(expansion, settings.OtherParams, fullPath, name, settings.Dirname.data())) {
        return false;
    }
    const char* program = settings.ExecutableName.data();
    return FormatFits(commandLine, FailureFormat, program, expansion.data(), LongestExitCode,
                      LongestExitCode, fullPath) &&
           FormatFits(commandLine, "%s %s", program, expansion.data());
}

BOOL Launch(const Settings& settings, TextBuffer& commandLine, DWORD creationFlags,
            PROCESS_INFORMATION& process)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, creationFlags,
                          nullptr, settings.Dirname.data(), &startup, &process);
}

// Waits in 50 ms slices until the job ends, taking each message that arrives
// meanwhile off the queue unlooked-at (a quit message included: only the idle
// loop acts on one). False when the wait itself fails, which waiting again
// would not mend.
bool WaitForJob(HANDLE process)
{
    for (;;) {
        const DWORD woke = WaitForSingleObject(process, JobWaitSliceMs);
        if (woke == WAIT_OBJECT_0) {
            return true;
        }
        if (woke != WAIT_TIMEOUT) {
            return false;
        }
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) != 0) {
            GetMessageA(&message, nullptr, 0, 0);
        }
    }
}

}  // namespace

void RunJob(const Settings& settings, const char* fullPath, const char* name)
{
    if (!IsNameSafeToRun(settings.ExecutableName.data(), name)) {
        std::array<char, 3 * TextBufferSize> notice{};
        FormatFits(notice, UnsafeNameFormat, fullPath, settings.ExecutableName.data());
        MessageBoxA(nullptr, notice.data(), "Could not execute:", MB_OK);
        return;
    }
    std::array<char, ExpansionBufferSize> expansion{};
    TextBuffer commandLine{};
    if (!BuildCommandLine(settings, fullPath, name, expansion, commandLine)) {
        std::array<char, 2 * TextBufferSize> notice{};
        FormatFits(notice, TooLongFormat, fullPath, static_cast<unsigned>(TextBufferSize - 1));
        MessageBoxA(nullptr, notice.data(), "Could not execute:", MB_OK);
        return;
    }

    PROCESS_INFORMATION process{};
    if (Launch(settings, commandLine, settings.PriorityClass | DETACHED_PROCESS, process) == 0 &&
        Launch(settings, commandLine, settings.PriorityClass, process) == 0) {
        MessageBoxA(nullptr, commandLine.data(), "Could not execute:", MB_OK);
        return;
    }

    DWORD exitCode = 0;
    const bool known =
        WaitForJob(process.hProcess) && GetExitCodeProcess(process.hProcess, &exitCode) != 0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    // An outcome that cannot be read never counts as success: the file stays.
    if (known && !IsFailureCode(exitCode, settings.FailureFrom, settings.FailureTo)) {
        DeleteFileA(fullPath);
        return;
    }
    // The notice reuses the command line's buffer; BuildCommandLine made sure
    // that the longest failure text fits, and the other one is shorter.
    const char* program = settings.ExecutableName.data();
    if (known) {
        const auto code = static_cast<unsigned>(exitCode);
        FormatFits(commandLine, FailureFormat, program, expansion.data(), code, code, fullPath);
    } else {
        FormatFits(commandLine, UnknownOutcomeFormat, program, expansion.data(), fullPath);
    }
    MessageBoxA(nullptr, commandLine.data(), "Error!", MB_SYSTEMMODAL | MB_ICONINFORMATION);
}
