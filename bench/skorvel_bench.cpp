// Drives a live skorvel on real folders and reports, as the median of several
// runs:
//   1. latency: from a dropped file's close to its job's start, less the
//      500 ms that readiness takes by design (target < 10 ms);
//   2. batch: 100 files dropped at once, until the last job starts, against
//      100 x 500 ms (target: within 2 %);
//   3. idle CPU: CPU time of an idle skorvel over 30 s (target < 0.1 % of a core);
//   4. peak RSS: with 100,000 files and 1,000 subfolders in the drop folder
//      (the files are dot names, which passes list and pass over, so that a
//      pass reads them all without 100,000 jobs) against an empty folder.
//
// Usage: skorvel_bench [--quick]   (--quick: fewer runs and a 5 s idle span)

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr double ReadinessMs = 500.0;

long long NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string ReadText(const fs::path& path)
{
    std::ifstream input(path);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void WriteAndClose(const fs::path& path, std::size_t bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string data(bytes, 'x');
    if (fd < 0 || write(fd, data.data(), data.size()) < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
}

// Job start times (ns) from the bench job's log, keyed by nothing: in order.
std::vector<long long> JobStarts(const fs::path& log)
{
    std::vector<long long> starts;
    std::istringstream lines(ReadText(log));
    long long ns = 0;
    std::string file;
    while (lines >> ns >> file) {
        starts.push_back(ns);
    }
    return starts;
}

class Tool {
   public:
    Tool(const fs::path& drop, const fs::path& log)
    {
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            execl(SKORVEL_BINARY, SKORVEL_BINARY, BENCH_JOB, "1,-1,1", drop.c_str(), log.c_str(),
                  "%1", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (!WaitFor([&] { return Watching(); }, 60s)) {
            std::fprintf(stderr, "skorvel did not start watching\n");
            std::exit(1);
        }
    }
    ~Tool()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    // Nanoseconds this process has spent on a CPU (scheduler statistics).
    long long CpuNs() const
    {
        std::istringstream stat(ReadText("/proc/" + std::to_string(pid_) + "/schedstat"));
        long long ns = 0;
        stat >> ns;
        return ns;
    }
    long PeakRssKb() const
    {
        return StatusField("VmHWM:");
    }

   private:
    bool Watching() const
    {
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fdinfo", error)) {
            if (ReadText(entry.path()).find("inotify wd:") != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    long StatusField(const char* field) const
    {
        std::istringstream lines(ReadText("/proc/" + std::to_string(pid_) + "/status"));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind(field, 0) == 0) {
                return std::atol(line.c_str() + std::strlen(field));
            }
        }
        return -1;
    }
    pid_t pid_ = -1;
};

struct Scratch {
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "skorvel-bench-XXXXXX").string();
        path = mkdtemp(pattern.data());
        fs::create_directory(path / "drop");
    }
    ~Scratch()
    {
        fs::remove_all(path);
    }
    fs::path path;
    fs::path Drop() const
    {
        return path / "drop";
    }
    fs::path Log() const
    {
        return path / "jobs.log";
    }
};

double LatencyRunMs()
{
    Scratch scratch;
    Tool tool(scratch.Drop(), scratch.Log());
    const fs::path file = scratch.Drop() / "one.dat";
    WriteAndClose(file, 4096);
    const long long closed = NowNs();
    WaitFor([&] { return !JobStarts(scratch.Log()).empty(); }, 60s);
    return static_cast<double>(JobStarts(scratch.Log()).at(0) - closed) / 1e6 - ReadinessMs;
}

double BatchRunMs(int files)
{
    Scratch scratch;
    Tool tool(scratch.Drop(), scratch.Log());
    for (int i = 0; i < files; ++i) {
        WriteAndClose(scratch.Drop() / ("f" + std::to_string(i) + ".dat"), 4096);
    }
    const long long dropped = NowNs();
    const auto all = static_cast<std::size_t>(files);
    WaitFor([&] { return JobStarts(scratch.Log()).size() >= all; }, 600s);
    const auto starts = JobStarts(scratch.Log());
    return static_cast<double>(*std::max_element(starts.begin(), starts.end()) - dropped) / 1e6;
}

double IdleCpuPercent(std::chrono::seconds span)
{
    Scratch scratch;
    Tool tool(scratch.Drop(), scratch.Log());
    const long long cpuBefore = tool.CpuNs();
    const long long wallBefore = NowNs();
    std::this_thread::sleep_for(span);
    const double cpu = static_cast<double>(tool.CpuNs() - cpuBefore);
    return 100.0 * cpu / static_cast<double>(NowNs() - wallBefore);
}

// Starts skorvel on `drop`, makes one pass happen, and reads its peak RSS.
long PeakRssKb(const fs::path& drop, const fs::path& log)
{
    Tool tool(drop, log);
    WriteAndClose(drop / ".trigger", 0);
    std::this_thread::sleep_for(2s);  // a pass over 100,000 names takes far less
    fs::remove(drop / ".trigger");
    std::this_thread::sleep_for(1s);
    return tool.PeakRssKb();
}

void FillFolder(const fs::path& drop, int files, int folders)
{
    for (int i = 0; i < folders; ++i) {
        fs::create_directory(drop / ("sub" + std::to_string(i)));
    }
    for (int i = 0; i < files; ++i) {
        WriteAndClose(drop / (".file" + std::to_string(i)), 0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int latencyRuns = quick ? 3 : 9;
    const int batchRuns = quick ? 1 : 3;
    const int idleRuns = quick ? 1 : 3;
    const auto idleSpan = quick ? 5s : 30s;
    constexpr int BatchFiles = 100;

    std::vector<double> latencies;
    for (int i = 0; i < latencyRuns; ++i) {
        latencies.push_back(LatencyRunMs());
    }
    std::printf("close to job start, less 500 ms: median %.2f ms (runs: %d, min %.2f, max %.2f)\n",
                Median(latencies), latencyRuns,
                *std::min_element(latencies.begin(), latencies.end()),
                *std::max_element(latencies.begin(), latencies.end()));

    std::vector<double> batches;
    for (int i = 0; i < batchRuns; ++i) {
        batches.push_back(BatchRunMs(BatchFiles));
    }
    const double batch = Median(batches);
    const double ideal = BatchFiles * ReadinessMs;
    std::printf(
        "%d files at once, drop to last job start: median %.0f ms vs %.0f ms (+%.2f %%, "
        "runs: %d)\n",
        BatchFiles, batch, ideal, 100.0 * (batch - ideal) / ideal, batchRuns);

    std::vector<double> idle;
    for (int i = 0; i < idleRuns; ++i) {
        idle.push_back(IdleCpuPercent(idleSpan));
    }
    std::printf("idle CPU over %lld s: median %.4f %% of a core (runs: %d)\n",
                static_cast<long long>(idleSpan.count()), Median(idle), idleRuns);

    Scratch empty;
    const long emptyRss = PeakRssKb(empty.Drop(), empty.Log());
    Scratch full;
    FillFolder(full.Drop(), quick ? 10000 : 100000, 1000);
    const long fullRss = PeakRssKb(full.Drop(), full.Log());
    std::printf("peak RSS: empty folder %ld KiB, %d files + 1,000 subfolders %ld KiB (+%ld KiB)\n",
                emptyRss, quick ? 10000 : 100000, fullRss, fullRss - emptyRss);
    return 0;
}
