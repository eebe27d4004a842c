// Skorvel.exe end to end under Wine: real change notifications, real
// processes, real sharing rules. Notices are not read here: without a display
// Wine's message boxes return at once (their texts are proven on the
// simulated platform).

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "drop_folder_run.h"

namespace {

using namespace std::chrono_literals;
using EndToEnd = DropFolderRun;

bool AnyRecordNames(const std::vector<JobRecord>& records, const std::string& text)
{
    return std::any_of(records.begin(), records.end(), [&](const JobRecord& record) {
        return record.commandLine.find(text) != std::string::npos;
    });
}

TEST_F(EndToEnd, DroppedFileRunsInTheDropFolderAndIsDeleted)
{
    StartTool("Skorvel.exe " + JobProgram() + " \"\" " + dropWindows_ + " %1");
    Drop("report.txt");

    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("report.txt"); }, [&] { Poke(); }))
        << "the file was never run and deleted";
    const std::vector<JobRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    // The template " %1" keeps the blank that ended the folder field.
    EXPECT_EQ(records[0].commandLine, JobProgram() + "  " + WindowsPathInDrop("report.txt"));
    EXPECT_EQ(records[0].workingFolder, dropWindows_);

    EXPECT_EQ(StopTool(), 0);
    EXPECT_FALSE(Exists("close!")) << "the stop marker stays behind";
}

// The job's command line is ExecutableName, one blank and the expansion, with
// nothing quoted, trimmed or added; the tool's own name in its command line
// may be quoted, hold blanks and be followed by any white space.
TEST_F(EndToEnd, JobCommandLineIsProgramBlankAndExpansion)
{
    StartTool("\"Z:\\no such\\Skorvel.exe\" \t \"" + JobProgram() + "\" 1,-1,1 " + dropWindows_ +
              "\\   -in  %~qf1 %%x\t%~n.x1 -p%~p1 ");
    Drop("my report.txt");

    ASSERT_TRUE(WaitForJobs(1)) << "the job never ran";
    const std::vector<JobRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].commandLine, JobProgram() + "    -in  \"" +
                                          WindowsPathInDrop("my report.txt") +
                                          "\" %x\tmy report.txt -p" + dropWindows_ + " ");
    EXPECT_EQ(records[0].workingFolder, dropWindows_) << "the trailing separator was not dropped";
    EXPECT_EQ(StopTool("Close!"), 0) << "the stop marker is known in any case";
}

// The tool's own name ends at its closing quote, even with no blank after it:
// the job program that follows is the first field, as the Microsoft C runtime
// would cut the line.
TEST_F(EndToEnd, QuotedToolNameEndsAtItsClosingQuote)
{
    StartTool("\"Skorvel.exe\"" + JobProgram() + " \"\" " + dropWindows_ + " %1");
    Drop("report.txt");

    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("report.txt"); }, [&] { Poke(); }))
        << "the job was never run";
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].commandLine, JobProgram() + "  " + WindowsPathInDrop("report.txt"));
    EXPECT_EQ(StopTool(), 0);
}

// A program whose path holds blanks is found although the tool never quotes
// it (Windows tries each blank as the end of the program's name). Wine then
// quotes the name in the command line that the job sees; Windows does not.
TEST_F(EndToEnd, ProgramPathWithBlanksRuns)
{
    const std::filesystem::path programs = root_ / "my programs";
    std::filesystem::create_directory(programs);
    std::filesystem::copy_file(wine::Helper("test_job"), programs / "test job.exe");
    const std::string program = wine::WindowsPath(programs / "test job.exe");
    StartTool("Skorvel.exe \"" + program + "\" \"\" " + dropWindows_ + " %1");
    Drop("report.txt");

    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("report.txt"); }, [&] { Poke(); }))
        << "the job was never run";
    const std::vector<JobRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    const std::string expansion = "  " + WindowsPathInDrop("report.txt");
    EXPECT_TRUE(records[0].commandLine == program + expansion ||
                records[0].commandLine == "\"" + program + "\"" + expansion)
        << records[0].commandLine;
    EXPECT_EQ(StopTool(), 0);
}

// Exit codes inside the failure range keep the file; codes outside it,
// below or above, delete it.
TEST_F(EndToEnd, FailureRangeDecidesWhichFilesStay)
{
    StartTool("Skorvel.exe " + JobProgram() + " 1,5 " + dropWindows_ + " %1");
    Drop("exit=3.txt");
    Drop("exit=7.txt");
    Drop("exit=0.txt");

    ASSERT_TRUE(wine::WaitUntil(
        [&] {
            const std::vector<JobRecord> records = Records();
            return AnyRecordNames(records, "exit=3.txt") && !Exists("exit=7.txt") &&
                   !Exists("exit=0.txt");
        },
        [&] { Poke(); }))
        << "not every file was run and judged";
    EXPECT_EQ(StopTool(), 0);
    EXPECT_TRUE(Exists("exit=3.txt")) << "a failing job's file was deleted";
}

TEST_F(EndToEnd, HeldFileRunsOnlyAfterTheHolderLetsGo)
{
    StartTool("Skorvel.exe " + JobProgram() + " \"\" " + dropWindows_ + " %1");
    const std::filesystem::path ready = root_ / "holding";
    const std::filesystem::path release = root_ / "release";
    const pid_t holder = wine::Start(
        wine::Helper("hold_file"),
        {WindowsPathInDrop("held.txt"), wine::WindowsPath(ready), wine::WindowsPath(release)});
    ASSERT_TRUE(wine::WaitUntil([&] { return std::filesystem::exists(ready); }))
        << "the holder never took the file";

    // While held, the file is waited on and never run, however many changes
    // come. (A slow machine only makes this look shorter, never fail.)
    wine::WaitUntil([] { return false; }, [&] { Poke(); }, 3s);
    EXPECT_TRUE(Records().empty()) << "a held file was run";
    EXPECT_TRUE(Exists("held.txt"));

    std::ofstream(release) << "go\n";
    EXPECT_EQ(wine::WaitForExit(holder), 0);
    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("held.txt"); }, [&] { Poke(); }))
        << "the file was not run once let go";
    EXPECT_TRUE(AnyRecordNames(Records(), "held.txt"));
    EXPECT_EQ(StopTool(), 0);
}

// Files already there at start wait for the first change; names with a
// leading dot and subfolders are passed over. (Wine does not signal changes
// made inside subfolders, so that a subfolder's change starts a pass is shown
// on the simulated platform and by the Linux build's tests.)
TEST_F(EndToEnd, DotNamesAndSubfoldersNeverRun)
{
    Drop(".hidden.txt");
    Drop("sub/inner.txt");
    Drop("waiting.txt");
    StartTool("Skorvel.exe " + JobProgram() + " \"\" " + dropWindows_ + " %1");

    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("waiting.txt"); }, [&] { Poke(); }))
        << "a change did not run the file that was waiting";
    EXPECT_EQ(StopTool(), 0);
    const std::vector<JobRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].commandLine, JobProgram() + "  " + WindowsPathInDrop("waiting.txt"));
    EXPECT_TRUE(Exists(".hidden.txt"));
    EXPECT_TRUE(Exists("sub/inner.txt"));
}

TEST_F(EndToEnd, QuitMessageWhileIdleEndsWithZero)
{
    StartTool("Skorvel.exe " + JobProgram() + " \"\" " + dropWindows_ + " %1");
    const std::filesystem::path threadFile = root_ / "thread-id";
    ASSERT_TRUE(wine::WaitUntil([&] { return std::filesystem::exists(threadFile); }));
    std::string threadId;
    std::ifstream(threadFile) >> threadId;

    // Posting fails until the tool's thread has a message queue, which its
    // first look at the queue in the idle cycle makes.
    ASSERT_TRUE(wine::WaitUntil([&] {
        return wine::Run(wine::Helper("post_quit"), {threadId}) == 0;
    })) << "the quit message could never be posted";
    EXPECT_EQ(WaitForToolExit(), 0);
}

TEST_F(EndToEnd, FolderThatCannotBeWatchedEndsWithOne)
{
    StartTool("Skorvel.exe " + JobProgram() + " \"\" " + wine::WindowsPath(root_ / "absent") +
              " %1");
    EXPECT_EQ(WaitForToolExit(), 1);
}

TEST_F(EndToEnd, MissingFieldEndsWithTwo)
{
    const std::string commandLines[] = {
        "Skorvel.exe",
        "Skorvel.exe " + JobProgram(),
        "Skorvel.exe " + JobProgram() + " 1,2,1",
        "Skorvel.exe \"\" 1,2,1 " + dropWindows_ + " %1",
    };
    for (const std::string& commandLine : commandLines) {
        SCOPED_TRACE(commandLine);
        StartTool(commandLine);
        EXPECT_EQ(WaitForToolExit(), 2);
    }
    EXPECT_TRUE(Records().empty());
}

}  // namespace
