#include "wine_session.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "support/exec_arrays.h"

extern char** environ;

namespace wine {

namespace {

bool IsDisplayVariable(std::string_view entry)
{
    return entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=");
}

// The test's own environment less any display, with Wine kept quiet, the
// prefix that the test run prepared, and the caller's variables added.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& variables)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!IsDisplayVariable(*entry)) {
            entries.emplace_back(*entry);
        }
    }
    entries.emplace_back("WINEDEBUG=-all");
    entries.emplace_back("WINEPREFIX=" SKORVEL_WINE_PREFIX);
    entries.insert(entries.end(), variables.begin(), variables.end());
    return entries;
}

std::filesystem::path& LogPath()
{
    static std::filesystem::path log = "/dev/null";
    return log;
}

}  // namespace

void LogTo(const std::filesystem::path& log)
{
    LogPath() = log;
}

std::filesystem::path WindowsBuild()
{
    return SKORVEL_WINDOWS_BUILD;
}

std::filesystem::path SkorvelExe()
{
    return WindowsBuild() / "Skorvel.exe";
}

std::filesystem::path Helper(const std::string& name)
{
    return WindowsBuild() / "tests" / "wine" / "helpers" / (name + ".exe");
}

std::string WindowsPath(const std::filesystem::path& linuxPath)
{
    std::string path = "Z:" + std::filesystem::absolute(linuxPath).lexically_normal().string();
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

pid_t Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& variables)
{
    std::vector<std::string> argv{"wine", program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = ChildEnvironment(variables);
    std::vector<char*> argvPointers = ExecArray(argv);
    std::vector<char*> environmentPointers = ExecArray(environment);

    posix_spawn_file_actions_t streams;
    posix_spawn_file_actions_init(&streams);
    posix_spawn_file_actions_addopen(&streams, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&streams, 1, LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&streams, 1, 2);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "wine", &streams, nullptr, argvPointers.data(),
                                    environmentPointers.data());
    posix_spawn_file_actions_destroy(&streams);
    if (failed != 0) {
        throw std::runtime_error(std::string("cannot start wine: ") + std::strerror(failed));
    }
    return pid;
}

std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds deadline)
{
    std::optional<int> exitCode;
    WaitUntil(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid) {
                return false;
            }
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        {}, deadline);
    return exitCode;
}

std::optional<int> Run(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       const std::vector<std::string>& variables)
{
    const pid_t pid = Start(program, arguments, variables);
    const std::optional<int> exitCode = WaitForExit(pid);
    if (!exitCode) {
        Kill(pid);
    }
    return exitCode;
}

bool WaitUntil(const std::function<bool()>& condition, const std::function<void()>& meanwhile,
               std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (meanwhile) {
            meanwhile();
        }
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
}

void Kill(pid_t pid)
{
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

}  // namespace wine
