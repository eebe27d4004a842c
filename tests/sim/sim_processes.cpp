// Programs, their launch, the waits on them and their exit codes.

#include <gtest/gtest.h>

#include "sim_internal.h"

namespace sim::detail {

namespace {

constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;

bool Refuses(const Program& program, DWORD creationFlags)
{
    return program.start == Start::Refuses ||
           (program.start == Start::RefusesDetached && (creationFlags & DETACHED_PROCESS) != 0);
}

}  // namespace

DWORD WaitOnProcess(const Handle& process, DWORD milliseconds)
{
    const std::size_t index = process.index;
    if (W().processes[index].program.waitFails) {
        SetError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const bool ended =
        WaitFor(W().now + milliseconds, [index] { return W().processes[index].ended; });
    return ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

Program& AddProgram(const std::string& commandLine)
{
    return W().programs[commandLine];
}

const std::vector<Launch>& Launches()
{
    return W().launches;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation)
{
    const std::string commandLine = lpCommandLine != nullptr ? lpCommandLine : "";
    const auto program = W().programs.find(commandLine);
    if (program == W().programs.end()) {
        ADD_FAILURE() << "no program is set up for the command line [" << commandLine << "]";
    }
    const bool started =
        program != W().programs.end() && !Refuses(program->second, dwCreationFlags);

    W().launches.push_back(Launch{W().now, lpApplicationName == nullptr, commandLine,
                                  lpProcessAttributes == nullptr && lpThreadAttributes == nullptr,
                                  bInheritHandles, dwCreationFlags, lpEnvironment == nullptr,
                                  lpCurrentDirectory != nullptr ? lpCurrentDirectory : "(NULL)",
                                  *lpStartupInfo, started});
    std::string result;
    if (started) {
        W().processes.push_back(Process{program->second, false});
        const std::size_t index = W().processes.size() - 1;
        lpProcessInformation->hProcess = Open(Kind::Process, commandLine, index);
        lpProcessInformation->hThread = Open(Kind::Thread, commandLine, index);
        At(W().now + program->second.runMs, [index] {
            Process& process = W().processes[index];
            process.ended = true;
            if (process.program.onEnd) {
                process.program.onEnd();
            }
        });
        result = Format("1 %s %s", NameOf(lpProcessInformation->hProcess).c_str(),
                        NameOf(lpProcessInformation->hThread).c_str());
    } else {
        SetError(ERROR_NOT_SUPPORTED);
        result = Format("0 (error %u)", ERROR_NOT_SUPPORTED);
    }
    Log(W().now, Format("CreateProcessA(%s, %s, %s, %s, %d, 0x%X, %s, %s) -> %s",
                        Quoted(lpApplicationName).c_str(), Quoted(lpCommandLine).c_str(),
                        lpProcessAttributes == nullptr ? "NULL" : "attributes",
                        lpThreadAttributes == nullptr ? "NULL" : "attributes", bInheritHandles,
                        dwCreationFlags, lpEnvironment == nullptr ? "NULL" : "environment",
                        Quoted(lpCurrentDirectory).c_str(), result.c_str()));
    return started ? TRUE : FALSE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    const Millis start = W().now;
    const auto found = W().handles.find(reinterpret_cast<std::uintptr_t>(hHandle));
    DWORD result = WAIT_FAILED;
    if (found != W().handles.end() && found->second.kind == Kind::Process) {
        const Handle* process = Lookup(hHandle, Kind::Process, "WaitForSingleObject");
        result = process != nullptr ? WaitOnProcess(*process, dwMilliseconds) : WAIT_FAILED;
    } else {
        const Handle* change = Lookup(hHandle, Kind::Change, "WaitForSingleObject");
        result = change != nullptr ? WaitOnChange(*change, dwMilliseconds) : WAIT_FAILED;
    }
    Log(start, Format("WaitForSingleObject(%s, %u) -> 0x%X", NameOf(hHandle).c_str(),
                      dwMilliseconds, result));
    return result;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    const Handle* handle = Lookup(hProcess, Kind::Process, "GetExitCodeProcess");
    BOOL read = FALSE;
    if (handle != nullptr) {
        const Process& process = W().processes[handle->index];
        if (process.program.exitCodeUnreadable) {
            SetError(ERROR_ACCESS_DENIED);
        } else {
            constexpr DWORD StillActive = 259;
            *lpExitCode = process.ended ? process.program.exitCode : StillActive;
            read = TRUE;
        }
    }
    const std::string code =
        read != 0 ? Format("1, code %u", *lpExitCode) : Format("0 (error %u)", W().lastError);
    Log(W().now, Format("GetExitCodeProcess(%s) -> %s", NameOf(hProcess).c_str(), code.c_str()));
    return read;
}
