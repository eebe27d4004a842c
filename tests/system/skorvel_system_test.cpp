// The real skorvel binary on real folders, files, processes and signals.

#include <linux/capability.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <gtest/gtest.h>

#include "system_support.h"

namespace {

using namespace std::chrono_literals;

constexpr char ErrorCaption[] = "Error!";
constexpr char NotExecutedCaption[] = "Could not execute:";
constexpr uid_t Nobody = 65534;

// A drop folder, a log for the test job, and the tool's output, in one temp folder.
class SystemTest : public ::testing::Test {
   protected:
    TempFolder root;
    fs::path drop = root.path / "drop";
    fs::path log = root.path / "jobs.log";

    void SetUp() override
    {
        fs::create_directory(drop);
    }

    // Starts skorvel with the test job, `options` and the template "LOG %~qf1",
    // and waits until it watches the drop folder and `folders` - 1 below it.
    std::unique_ptr<RunningTool> Start(const std::string& options = "1,-1,1",
                                       const std::string& program = TEST_JOB,
                                       const ToolOptions& tool = {}, std::size_t folders = 1)
    {
        auto running = std::make_unique<RunningTool>(
            std::vector<std::string>{program, options, drop.string(), log.string(), "%~qf1"},
            root.path, tool);
        EXPECT_TRUE(WaitUntil([&] { return running->WatchesAtLeast(folders); }))
            << "skorvel never watched the drop folder; stderr:\n"
            << running->Stderr();
        return running;
    }

    std::vector<JobRecord> Records() const
    {
        return ReadJobRecords(log);
    }

    bool RanWith(const fs::path& file) const
    {
        const auto records = Records();
        return std::any_of(records.begin(), records.end(), [&](const JobRecord& record) {
            return std::find(record.arguments.begin(), record.arguments.end(), file.string()) !=
                   record.arguments.end();
        });
    }

    // Drops the stop marker and expects the tool to end with 0.
    void Stop(RunningTool& tool, const std::string& marker = "close!")
    {
        WriteFile(drop / marker, "");
        EXPECT_EQ(tool.WaitForExit(), 0) << "stderr:\n" << tool.Stderr();
        EXPECT_FALSE(fs::exists(drop / marker)) << marker;
    }
};

// Files that are already there are only looked at after some change. Since a
// pass that wrongly ran at start would run the file at once, a quiet second
// and a half shows that none did.
void ExpectQuietFor(std::chrono::milliseconds span, const std::function<bool()>& quiet)
{
    EXPECT_FALSE(WaitUntil([&] { return !quiet(); }, span));
}

// ---- Jobs that run ----------------------------------------------------------

struct RunCase {
    const char* label;
    const char* options;
    int expectedNice;    // what the job sees; HIGH is -5 only with privilege
    const char* marker;  // the stop marker, in one of its spellings
    enum { Absolute, RelativeToTool, OnPath } program;
};

TEST_F(SystemTest, DroppedFileRunsInTheDropFolderAtItsPriorityAndIsDeleted)
{
    const int highNice = geteuid() == 0 ? -5 : 0;
    const RunCase cases[] = {
        {"idle, absolute program", "1,-1,0", 19, "close!", RunCase::Absolute},
        {"normal, program relative to the tool", "1,-1,1", 0, "CLOSE!", RunCase::RelativeToTool},
        {"high, program on PATH", "1,-1,2", highNice, "Close!", RunCase::OnPath},
    };
    const fs::path job = TEST_JOB;
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(log);
        ToolOptions tool;
        std::string program = job.string();
        if (c.program == RunCase::RelativeToTool) {
            tool.workingFolder = job.parent_path().parent_path();
            program = "./" + job.parent_path().filename().string() + "/" + job.filename().string();
        } else if (c.program == RunCase::OnPath) {
            tool.extraEnvironment = {"PATH=/nonexistent:" + job.parent_path().string()};
            program = job.filename().string();
        }
        auto running = Start(c.options, program, tool);
        const std::size_t descriptors = running->OpenDescriptors();

        WriteFile(drop / "report.txt", "data");
        ASSERT_TRUE(WaitUntil([&] { return !fs::exists(drop / "report.txt"); }))
            << running->Stderr();
        const auto records = Records();
        ASSERT_EQ(records.size(), 1U);
        EXPECT_EQ(records[0].arguments, std::vector<std::string>{(drop / "report.txt").string()});
        EXPECT_EQ(records[0].folder, drop.string());
        EXPECT_EQ(records[0].nice, c.expectedNice);
        EXPECT_TRUE(records[0].sessionLeader);
        EXPECT_TRUE(records[0].stdinIsNull);
        // Every job handle closed and the job reaped: nothing left behind.
        EXPECT_TRUE(WaitUntil([&] {
            return running->OpenDescriptors() == descriptors && running->Children().empty();
        })) << "descriptors "
            << running->OpenDescriptors() << " of " << descriptors;
        EXPECT_EQ(running->Stderr(), "");
        Stop(*running, c.marker);
    }
}

TEST_F(SystemTest, FailingJobsLeaveTheirFileAndShowTheErrorNotice)
{
    auto running = Start();
    WriteFile(drop / "bad.txt", "exit 3");
    WriteFile(drop / "killed.txt", "signal 9");
    const std::string badNotice = std::string(ErrorCaption) + "\nCall to " + TEST_JOB +
                                  " with parameters \n " + log.string() + " " +
                                  (drop / "bad.txt").string() +
                                  "\nreturned error code 3 (0x3).\nThe file " +
                                  (drop / "bad.txt").string() + " will not be removed.\n";
    EXPECT_TRUE(WaitUntil([&] {
        const std::string err = running->Stderr();
        return err.find(badNotice) != std::string::npos &&
               err.find("returned error code 137 (0x89).") != std::string::npos;
    })) << running->Stderr();
    EXPECT_TRUE(fs::exists(drop / "bad.txt"));
    EXPECT_TRUE(fs::exists(drop / "killed.txt"));
    Stop(*running);
}

TEST_F(SystemTest, FilesPresentAtStartWaitForTheFirstChange)
{
    WriteFile(drop / "early.txt", "");
    auto running = Start();
    ExpectQuietFor(1500ms, [&] { return fs::exists(drop / "early.txt") && !fs::exists(log); });

    WriteFile(drop / "late.txt", "");
    EXPECT_TRUE(WaitUntil([&] {
        return !fs::exists(drop / "early.txt") && !fs::exists(drop / "late.txt");
    })) << running->Stderr();
    Stop(*running);
}

// ---- Readiness: another process writing ------------------------------------

struct HeldCase {
    const char* label;
    bool fileOfAnotherUser;  // with CAP_LEASE dropped: no lease, so /proc is scanned
};

void PrintTo(const HeldCase& c, std::ostream* out)
{
    *out << c.label;
}

class HeldFileTest : public SystemTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldFileTest, FileOpenForWritingElsewhereRunsOnlyOnceClosed)
{
    ToolOptions tool;
    tool.withoutLeaseCapability = GetParam().fileOfAnotherUser;
    if (tool.withoutLeaseCapability && geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand the file to another user";
    }
    auto running = Start("1,-1,1", TEST_JOB, tool);
    if (tool.withoutLeaseCapability) {
        ASSERT_FALSE(running->HasCapability(CAP_LEASE));
    }
    const fs::path held = drop / "held.txt";
    WriterProcess writer(
        held, "first half",
        GetParam().fileOfAnotherUser ? std::optional<uid_t>(Nobody) : std::nullopt);
    ExpectQuietFor(2000ms, [&] { return fs::exists(held) && !fs::exists(log); });

    writer.Release();
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(held); })) << running->Stderr();
    EXPECT_TRUE(RanWith(held));
    Stop(*running);
}

INSTANTIATE_TEST_SUITE_P(Holders, HeldFileTest,
                         ::testing::Values(HeldCase{"lease", false}, HeldCase{"scan", true}),
                         [](const auto& param) { return std::string(param.param.label); });

// ---- Subfolders -------------------------------------------------------------

struct SubfolderCase {
    const char* label;
    enum { Created, MovedIn, Renamed } arrival;
};

void PrintTo(const SubfolderCase& c, std::ostream* out)
{
    *out << c.label;
}

class SubfolderTest : public SystemTest, public ::testing::WithParamInterface<SubfolderCase> {};

// A file that fails until a "go" file exists shows each pass as one record.
// The folder `b` arrives after the start; a change in it, and in a folder
// made inside it later, must each start a pass; the file in it never runs.
TEST_P(SubfolderTest, ChangesBelowStartPassesButFilesThereNeverRun)
{
    const fs::path go = root.path / "go";
    const fs::path waiting = drop / "waiting.txt";
    WriteFile(waiting, "fail-unless " + go.string());
    const auto arrival = GetParam().arrival;
    if (arrival == SubfolderCase::MovedIn) {
        fs::create_directories(root.path / "outside" / "b" / "inner");
    } else if (arrival == SubfolderCase::Renamed) {
        fs::create_directory(drop / "a");
    }
    auto running = Start("1,-1,1", TEST_JOB, {}, arrival == SubfolderCase::Renamed ? 2 : 1);

    const fs::path b = drop / "b";
    if (arrival == SubfolderCase::Created) {
        fs::create_directory(b);
    } else if (arrival == SubfolderCase::MovedIn) {
        fs::rename(root.path / "outside" / "b", b);
    } else {
        fs::rename(drop / "a", b);
    }
    ASSERT_TRUE(WaitUntil([&] { return Records().size() >= 1; })) << "no pass for b's arrival";
    fs::create_directory(b / "sub");
    ASSERT_TRUE(WaitUntil([&] { return Records().size() >= 2; })) << "no pass for b/sub";

    WriteFile(go, "");
    const fs::path deep = b / "sub" / "deep.txt";
    WriteFile(deep, "");
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(waiting); })) << "no pass for b/sub/deep.txt";
    EXPECT_TRUE(fs::exists(deep));
    Stop(*running);
    EXPECT_FALSE(RanWith(deep));
    EXPECT_TRUE(fs::exists(deep));
}

INSTANTIATE_TEST_SUITE_P(Arrivals, SubfolderTest,
                         ::testing::Values(SubfolderCase{"created", SubfolderCase::Created},
                                           SubfolderCase{"moved_in", SubfolderCase::MovedIn},
                                           SubfolderCase{"renamed", SubfolderCase::Renamed}),
                         [](const auto& param) { return std::string(param.param.label); });

// ---- Names ------------------------------------------------------------------

TEST_F(SystemTest, NamesReachTheJobAsOneArgumentOrNeverRun)
{
    const char* const carried[] = {"my report.txt", "it's $(x) & y;z*.txt",
                                   "caf\xc3\xa9 \xc3\xbc.txt", "-dash.txt", "two  blanks "};
    const char* const dotNames[] = {".hidden", ".. x"};
    const char* const unsafe[] = {"quote\"d.txt", "new\nline.txt", "back\\slash.txt"};
    for (const char* name : dotNames) {
        WriteFile(drop / name, "");
    }
    auto running = Start();
    for (const char* name : unsafe) {
        WriteFile(drop / name, "");
    }
    for (const char* name : carried) {
        WriteFile(drop / name, "");
    }
    for (const char* name : carried) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(WaitUntil([&] { return !fs::exists(drop / name); })) << running->Stderr();
    }
    for (const char* name : unsafe) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(WaitUntil([&] {
            return running->Stderr().find((drop / name).string()) != std::string::npos;
        })) << running->Stderr();
    }
    Stop(*running);

    const auto records = Records();
    for (const char* name : carried) {
        SCOPED_TRACE(name);
        const std::vector<std::string> expected{(drop / name).string()};
        EXPECT_EQ(std::count_if(records.begin(), records.end(),
                                [&](const JobRecord& r) { return r.arguments == expected; }),
                  1);
    }
    for (const auto& names : {std::vector<const char*>(std::begin(dotNames), std::end(dotNames)),
                              std::vector<const char*>(std::begin(unsafe), std::end(unsafe))}) {
        for (const char* name : names) {
            SCOPED_TRACE(name);
            EXPECT_TRUE(fs::exists(drop / name));
            EXPECT_FALSE(RanWith(drop / name));
        }
    }
    EXPECT_EQ(running->Stderr().find(".hidden"), std::string::npos);
}

// ---- Programs that cannot start ---------------------------------------------

TEST_F(SystemTest, ProgramThatCannotStartGivesTheNoticeAndTheFileStays)
{
    const fs::path notExecutable = root.path / "plain.txt";
    WriteFile(notExecutable, "#!/bin/sh\n");
    const std::string programs[] = {"/nonexistent/job", "no-such-program-on-path",
                                    notExecutable.string()};
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        fs::remove(root.path / "tool-stderr.txt");
        auto running = Start("1,-1,1", program);
        WriteFile(drop / "a.txt", "");
        const std::string notice = std::string(NotExecutedCaption) + "\n" + program + "  " +
                                   log.string() + " " + (drop / "a.txt").string() + "\n";
        EXPECT_TRUE(WaitUntil([&] { return running->Stderr().find(notice) != std::string::npos; }))
            << running->Stderr();
        EXPECT_TRUE(fs::exists(drop / "a.txt"));
        EXPECT_TRUE(WaitUntil([&] { return running->Children().empty(); })) << "zombie left";
        Stop(*running);
        fs::remove(drop / "a.txt");
    }
}

// ---- How the tool ends ------------------------------------------------------

TEST_F(SystemTest, QuitSignalWhileIdleEndsWithZeroAtOnce)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        auto running = Start();
        const auto sent = std::chrono::steady_clock::now();
        kill(running->Pid(), signal);
        EXPECT_EQ(running->WaitForExit(), 0);
        // Well under a second on any machine; the bound only guards against a
        // wait that never wakes for the signal.
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 5s);
    }
}

// A quit signal that comes while a job runs is not lost: the job finishes,
// its file is judged, and then the tool ends.
TEST_F(SystemTest, QuitSignalDuringAJobEndsTheToolAfterIt)
{
    auto running = Start();
    const fs::path slow = drop / "slow.txt";
    WriteFile(slow, "sleep-ms 1500");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(log); })) << running->Stderr();
    kill(running->Pid(), SIGTERM);
    EXPECT_EQ(running->WaitForExit(), 0);
    EXPECT_FALSE(fs::exists(slow));
}

TEST_F(SystemTest, RefusedStartsEndWithTheirCodeAndNotice)
{
    const fs::path missing = root.path / "missing";
    const fs::path file = root.path / "file";
    WriteFile(file, "");
    struct Case {
        std::vector<std::string> arguments;
        int code;
        std::string notice;
    } const cases[] = {
        {{TEST_JOB, "", missing.string(), "%1"},
         1,
         missing.string() + "/*.*\nNo such file or directory\n"},
        {{TEST_JOB, "", file.string(), "%1"}, 1, file.string() + "/*.*\nNot a directory\n"},
        {{TEST_JOB, "1,-1,1"},
         2,
         "Skorvel v0.3 Usage:\nSkorvel.exe ExecutableName FailureRange,Priority Dirname "
         "OtherParams\n"},
        {{}, 2, "Skorvel v0.3 Usage:\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notice);
        fs::remove(root.path / "tool-stderr.txt");
        RunningTool running(c.arguments, root.path);
        EXPECT_EQ(running.WaitForExit(), c.code);
        EXPECT_NE(running.Stderr().find(c.notice), std::string::npos) << running.Stderr();
    }
}

}  // namespace
