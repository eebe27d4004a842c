#include "system_support.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/exec_arrays.h"

extern char** environ;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TempFolder::TempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/skorvel-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void WriteFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream input(path, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

std::vector<JobRecord> ReadJobRecords(const fs::path& log)
{
    std::vector<JobRecord> records;
    std::istringstream lines(ReadFile(log));
    std::string line;
    JobRecord current;
    bool inside = false;
    while (std::getline(lines, line)) {
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (key == "run") {
            current = JobRecord{};
            inside = true;
        } else if (!inside) {
            continue;
        } else if (key == "arg") {
            current.arguments.push_back(value);
        } else if (key == "cwd") {
            current.folder = value;
        } else if (key == "nice") {
            current.nice = std::stoi(value);
        } else if (key == "session-leader") {
            current.sessionLeader = value == "1";
        } else if (key == "stdin-null") {
            current.stdinIsNull = value == "1";
        } else if (key == "end") {
            records.push_back(current);  // only whole records count
            inside = false;
        }
    }
    return records;
}

namespace {

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& change : changes) {
            replaced = replaced || change.substr(0, change.find('=')) == name;
        }
        if (!replaced) {
            environment.push_back(text);
        }
    }
    environment.insert(environment.end(), changes.begin(), changes.end());
    return environment;
}

}  // namespace

RunningTool::RunningTool(const std::vector<std::string>& arguments, const fs::path& outputFolder,
                         const ToolOptions& options)
    : stderrPath_(outputFolder / "tool-stderr.txt")
{
    std::vector<std::string> argumentTexts{SKORVEL_BINARY};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = EnvironmentWith(options.extraEnvironment);
    std::vector<char*> argv = ExecArray(argumentTexts);
    std::vector<char*> envp = ExecArray(environment);
    const std::string stdoutPath = (outputFolder / "tool-stdout.txt").string();
    const std::string stderrPath = stderrPath_.string();
    const std::string folder = options.workingFolder.string();

    pid_ = fork();
    if (pid_ == 0) {
        const int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        if (options.withoutLeaseCapability && prctl(PR_CAPBSET_DROP, CAP_LEASE, 0, 0, 0) != 0) {
            _exit(125);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

RunningTool::~RunningTool()
{
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<int> RunningTool::WaitForExit(std::chrono::milliseconds deadline)
{
    if (!reaped_) {
        WaitUntil(
            [this] {
                reaped_ = waitpid(pid_, &exitStatus_, WNOHANG) == pid_;
                return reaped_;
            },
            deadline);
    }
    if (!reaped_ || !WIFEXITED(exitStatus_)) {
        return std::nullopt;
    }
    return WEXITSTATUS(exitStatus_);
}

std::string RunningTool::Stderr() const
{
    return ReadFile(stderrPath_);
}

bool RunningTool::WatchesAtLeast(std::size_t folders) const
{
    const fs::path fdinfo = "/proc/" + std::to_string(pid_) + "/fdinfo";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fdinfo, error)) {
        std::istringstream lines(ReadFile(entry.path()));
        std::string line;
        std::size_t watches = 0;
        while (std::getline(lines, line)) {
            if (line.rfind("inotify wd:", 0) == 0) {
                ++watches;
            }
        }
        if (watches >= folders) {
            return true;
        }
    }
    return false;
}

std::size_t RunningTool::OpenDescriptors() const
{
    std::error_code error;
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", error)) {
        ++count;
    }
    return count;
}

std::vector<pid_t> RunningTool::Children() const
{
    const std::string id = std::to_string(pid_);
    std::istringstream list(ReadFile("/proc/" + id + "/task/" + id + "/children"));
    std::vector<pid_t> children;
    pid_t child = 0;
    while (list >> child) {
        children.push_back(child);
    }
    return children;
}

bool RunningTool::HasCapability(int capability) const
{
    std::istringstream lines(ReadFile("/proc/" + std::to_string(pid_) + "/status"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("CapEff:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return ((mask >> static_cast<unsigned>(capability)) & 1U) != 0;
        }
    }
    return false;
}

WriterProcess::WriterProcess(const fs::path& path, const std::string& content,
                             std::optional<uid_t> owner)
{
    int release[2] = {-1, -1};
    int ready[2] = {-1, -1};
    if (pipe(release) != 0 || pipe(ready) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string file = path.string();
    pid_ = fork();
    if (pid_ == 0) {
        close(release[1]);
        close(ready[0]);
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, content.data(), content.size()) < 0 ||
            (owner && fchown(fd, *owner, *owner) != 0)) {
            _exit(1);
        }
        const char done = 'r';
        [[maybe_unused]] const ssize_t told = write(ready[1], &done, 1);
        char byte = 0;
        [[maybe_unused]] const ssize_t got = read(release[0], &byte, 1);  // until released
        close(fd);
        _exit(0);
    }
    close(release[0]);
    close(ready[1]);
    releaseFd_ = release[1];
    char byte = 0;
    const ssize_t got = read(ready[0], &byte, 1);
    close(ready[0]);
    if (got != 1) {
        throw std::runtime_error("the writer could not open " + file);
    }
}

void WriterProcess::Release()
{
    if (releaseFd_ >= 0) {
        close(releaseFd_);
        releaseFd_ = -1;
        waitpid(pid_, nullptr, 0);
    }
}

WriterProcess::~WriterProcess()
{
    Release();
}
