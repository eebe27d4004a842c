// Helpers for tests that run the real skorvel binary on real folders.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Generous: the machine may be slow and busy. Conditions are polled, never
// assumed after a fixed sleep.
inline constexpr std::chrono::seconds Deadline{30};

// Polls `condition` every 20 ms until it holds (true) or `deadline` passes.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = Deadline);

// A fresh folder under $TMPDIR (or /tmp), removed with its content at the end.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    fs::path path;
};

void WriteFile(const fs::path& path, const std::string& content);
std::string ReadFile(const fs::path& path);

// One run of the test job, as it recorded itself.
struct JobRecord {
    std::vector<std::string> arguments;  // after the log path
    std::string folder;
    int nice = 0;
    bool sessionLeader = false;
    bool stdinIsNull = false;
};
std::vector<JobRecord> ReadJobRecords(const fs::path& log);

struct ToolOptions {
    fs::path workingFolder = fs::current_path();
    std::vector<std::string> extraEnvironment;  // "NAME=value", set or replaced
    bool withoutLeaseCapability = false;        // drop CAP_LEASE (needs root)
};

// The skorvel binary, started with `arguments`; its standard output and error
// go to files. Killed (and reaped) when the test ends without stopping it.
class RunningTool {
   public:
    RunningTool(const std::vector<std::string>& arguments, const fs::path& outputFolder,
                const ToolOptions& options = {});
    ~RunningTool();
    RunningTool(const RunningTool&) = delete;
    RunningTool& operator=(const RunningTool&) = delete;

    pid_t Pid() const
    {
        return pid_;
    }
    // The exit code once it has ended within `deadline`; nothing if it has not
    // (or ended by a signal).
    std::optional<int> WaitForExit(std::chrono::milliseconds deadline = Deadline);
    std::string Stderr() const;
    // True once its change notification watches at least `folders` folders.
    bool WatchesAtLeast(std::size_t folders) const;
    std::size_t OpenDescriptors() const;
    std::vector<pid_t> Children() const;
    bool HasCapability(int capability) const;

   private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int exitStatus_ = 0;
    fs::path stderrPath_;
};

// A process of its own that holds `path` open for writing (creating it with
// `content`) until Release(); optionally hands the file to another owner.
class WriterProcess {
   public:
    WriterProcess(const fs::path& path, const std::string& content,
                  std::optional<uid_t> owner = std::nullopt);
    ~WriterProcess();
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;
    void Release();

   private:
    pid_t pid_ = -1;
    int releaseFd_ = -1;
};
