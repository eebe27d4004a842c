#pragma once

// Runs the Windows build under Wine from a Linux test: Windows programs
// started as Linux processes, Linux paths turned into the Z: paths Wine shows
// them under, and polling with generous deadlines (Wine starts slowly on a
// busy machine).

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wine {

using namespace std::chrono_literals;

// Long enough for a slow, shared machine; a passing test never waits this long.
inline constexpr std::chrono::seconds Deadline = 60s;

// Where the 64-bit Windows build is, and its programs.
std::filesystem::path WindowsBuild();
std::filesystem::path SkorvelExe();
std::filesystem::path Helper(const std::string& name);  // "test_job" -> .../test_job.exe

// The path under which Windows programs see a Linux path: Z: is the root.
std::string WindowsPath(const std::filesystem::path& linuxPath);

// Where the Wine processes started from now on write their output (Wine's
// own messages): appended to `log`. None of them writes to the test's own
// output, which the test runner would otherwise keep waiting on while any
// process that Wine leaves behind holds it open.
void LogTo(const std::filesystem::path& log);

// Starts `program` under Wine with `arguments` and the extra environment
// `variables` ("NAME=value"), in the run's prefix, with no display (a message
// box returns at once) and Wine's debug output off.
pid_t Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& variables = {});

// The exit code of `pid` once it ended within `deadline`; nothing if it is
// still running then (it is left running).
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds deadline = Deadline);

// Runs `program` to its end; its exit code, or nothing if it overran the deadline
// (it is killed then).
std::optional<int> Run(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       const std::vector<std::string>& variables = {});

// Polls `condition` every 100 ms, calling `meanwhile` (if any) before each
// look, until it holds or `deadline` has passed; whether it held.
bool WaitUntil(const std::function<bool()>& condition, const std::function<void()>& meanwhile = {},
               std::chrono::milliseconds deadline = Deadline);

// Kills a process that a failed test left behind.
void Kill(pid_t pid);

}  // namespace wine
