// Starting jobs, waiting for them and reading their exit codes on POSIX.
//
// A job is started with fork and execve, never through a shell: its command
// line is split by the Windows rules. The child reports a failed start
// (chdir, execve) through a close-on-exec pipe, so CreateProcessA can fail as
// it does on Windows when the program cannot be run; the failed child is
// reaped at once. The job is waited on through a pidfd, which becomes readable
// the moment it ends.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix_command_line.h"
#include "platform/posix_handles.h"

extern char** environ;

namespace {

constexpr DWORD StillActive = 259;
constexpr int IdleNice = 19;
constexpr int NormalNice = 0;
constexpr int HighNice = -5;
constexpr int StartFailedExit = 127;
constexpr int SignalExitBase = 128;
// Where the kernel has no pidfd, the wait polls at this pace instead.
constexpr int FallbackPollMs = 5;

// Jobs whose handles were closed while they still ran: reaped when they end.
std::vector<pid_t> unreaped;

void ReapEndedOrphans()
{
    std::erase_if(unreaped, [](pid_t pid) {
        int status = 0;
        return waitpid(pid, &status, WNOHANG) != 0;
    });
}

bool IsExecutableFile(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// Relative paths are taken from the tool's own working folder, as Windows
// does, and not from the job's (which the child changes to).
std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    std::array<char, PATH_MAX> here{};
    if (getcwd(here.data(), here.size()) == nullptr) {
        return path;
    }
    return std::string(here.data()) + '/' + path;
}

// The program file for the command line's first argument: a name with a
// slash as it stands (relative to the tool's working folder), a bare name
// searched on PATH. Empty, with errno set, when there is none.
std::string FindProgram(const std::string& name)
{
    if (name.empty()) {
        errno = ENOENT;
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return Absolute(name);  // execve says why, if it cannot be run
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + '/' + name;
        if (IsExecutableFile(candidate)) {
            return Absolute(candidate);
        }
        if (end == folders.size()) {
            break;
        }
        start = end + 1;
    }
    errno = ENOENT;
    return {};
}

int NiceFor(DWORD creationFlags)
{
    if ((creationFlags & IDLE_PRIORITY_CLASS) != 0) {
        return IdleNice;
    }
    if ((creationFlags & HIGH_PRIORITY_CLASS) != 0) {
        return HighNice;
    }
    return NormalNice;
}

// In the child, between fork and execve: only async-signal-safe calls.
[[noreturn]] void ReportStartFailure(int reportFd)
{
    const int reason = errno;
    [[maybe_unused]] const ssize_t written = write(reportFd, &reason, sizeof reason);
    _exit(StartFailedExit);
}

[[noreturn]] void BecomeJob(const std::string& program, char* const* argv, bool detached, int nice,
                            const char* folder, int reportFd)
{
    // The tool ignores these; a job starts with every signal at its default.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(SIGPIPE, &defaults, nullptr);
    sigaction(SIGIO, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    if (detached) {
        // A session of its own: no terminal, and no Ctrl-C meant for the tool.
        setsid();
        const int null = open("/dev/null", O_RDONLY);
        if (null < 0 || dup2(null, STDIN_FILENO) < 0) {
            ReportStartFailure(reportFd);
        }
        if (null != STDIN_FILENO) {
            close(null);
        }
    }
    if (folder != nullptr && chdir(folder) != 0) {
        ReportStartFailure(reportFd);
    }
    // Raising priority needs privilege: where refused, the job runs at normal.
    if (setpriority(PRIO_PROCESS, 0, nice) != 0 && nice < NormalNice) {
        setpriority(PRIO_PROCESS, 0, NormalNice);
    }
    // Handles are not inherited: every descriptor above the standard three
    // closes on exec (the report pipe too, which tells the parent it worked).
    syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    execve(program.c_str(), argv, environ);
    ReportStartFailure(reportFd);
}

// Waits (blocking) for the report of a started child: 0 when execve
// succeeded (the pipe closed empty), else the child's errno.
int ReadStartReport(int reportFd)
{
    int reason = 0;
    ssize_t got = 0;
    do {
        got = read(reportFd, &reason, sizeof reason);
    } while (got < 0 && errno == EINTR);
    return got == sizeof reason ? reason : 0;
}

void Reap(ProcessHandle& process, int options)
{
    int status = 0;
    pid_t got = 0;
    do {
        got = waitpid(process.pid, &status, options);
    } while (got < 0 && errno == EINTR);
    if (got == process.pid) {
        process.ended = true;
        process.status = status;
    }
}

}  // namespace

// Starts the command line's program (see FindProgram) with its arguments split
// by the Windows rules, in `lpCurrentDirectory`, with the environment of the
// tool. DETACHED_PROCESS: a session of its own and standard input from
// /dev/null; standard output and error are the tool's. The priority classes
// are nice values 19, 0 and -5 (where permitted, else 0). Returns 0 with the
// errno as last error when the program cannot be run.
BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL, DWORD dwCreationFlags, LPVOID,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    ReapEndedOrphans();
    std::vector<std::string> arguments = SplitWindowsCommandLine(lpCommandLine);
    const std::string program =
        FindProgram(lpApplicationName != nullptr ? lpApplicationName : arguments[0]);
    if (program.empty()) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    std::array<int, 2> report{};
    if (pipe2(report.data(), O_CLOEXEC) != 0) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        BecomeJob(program, argv.data(), (dwCreationFlags & DETACHED_PROCESS) != 0,
                  NiceFor(dwCreationFlags), lpCurrentDirectory, report[1]);
    }
    close(report[1]);
    if (pid < 0) {
        SetLastErrorFromErrno();
        close(report[0]);
        return FALSE;
    }
    const int reason = ReadStartReport(report[0]);
    close(report[0]);
    auto* process = new ProcessHandle{{HandleKind::Process}, pid, -1, false, 0};
    if (reason != 0) {
        Reap(*process, 0);  // the child ends at once: leave no zombie
        delete process;
        SetLastErrorCode(static_cast<DWORD>(reason));
        return FALSE;
    }
    process->pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    lpProcessInformation->hProcess = process;
    lpProcessInformation->hThread = new PosixHandle{HandleKind::Thread};
    return TRUE;
}

// The job's exit status; 128 + N for a job ended by signal N; STILL_ACTIVE
// (259) while it runs.
BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    auto& process = *static_cast<ProcessHandle*>(hProcess);
    if (!process.ended) {
        Reap(process, WNOHANG);
    }
    if (!process.ended) {
        *lpExitCode = StillActive;
    } else if (WIFSIGNALED(process.status)) {
        *lpExitCode = static_cast<DWORD>(SignalExitBase + WTERMSIG(process.status));
    } else {
        *lpExitCode = static_cast<DWORD>(WEXITSTATUS(process.status));
    }
    return TRUE;
}

// WAIT_OBJECT_0 once the job has ended (it is then reaped), WAIT_TIMEOUT
// when it still runs after `milliseconds`, WAIT_FAILED when it cannot be
// waited on.
DWORD WaitForProcess(ProcessHandle& process, DWORD milliseconds)
{
    if (!process.ended) {
        if (process.pidfd >= 0) {
            pollfd wait{process.pidfd, POLLIN, 0};
            const int ready = poll(&wait, 1, static_cast<int>(milliseconds));
            if (ready < 0 && errno != EINTR) {
                SetLastErrorFromErrno();
                return WAIT_FAILED;
            }
            if (ready > 0) {
                Reap(process, 0);
            }
        } else {
            for (DWORD waited = 0; !process.ended && waited < milliseconds;
                 waited += FallbackPollMs) {
                Reap(process, WNOHANG);
                if (!process.ended) {
                    usleep(FallbackPollMs * 1000);
                }
            }
        }
    }
    return process.ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void CloseProcess(ProcessHandle* process)
{
    if (!process->ended) {
        Reap(*process, WNOHANG);
        if (!process->ended) {
            unreaped.push_back(process->pid);
        }
    }
    if (process->pidfd >= 0) {
        close(process->pidfd);
    }
    delete process;
}
