// Jobs that cannot be carried whole: a command line, failure notice,
// expansion or full path too long for its buffer, and names that a command
// line cannot carry safely. Each is refused with a notice, never run cut
// down, and nothing is written past a buffer (the sanitizer build checks).

#include <gtest/gtest.h>

#include <string>

#include "job/run_job.h"
#include "platform/platform.h"
#include "scenario.h"

namespace {

using JobLimits = Scenario;

// The failure notice must fit 511 characters for every exit code: that holds
// when the program, the expansion and the full path have 409 together.
constexpr std::size_t LongestNoticeParts = 409;

std::string FailureNotice(const std::string& program, const std::string& expansion,
                          const std::string& path)
{
    return "Call to " + program + " with parameters \n" + expansion +
           "\nreturned error code 4294967295 (0xFFFFFFFF).\nThe file " + path +
           " will not be removed.";
}

TEST_F(JobLimits, LongestJobThatFitsRunsWholeAndOneMoreIsRefused)
{
    const std::string names194(194, 'n');
    const std::string names195(195, 'n');
    const struct {
        const char* what;
        std::string name;
        std::string templateText;  // after "conv.exe 1,-1,1 D:\in"
        std::string expansion;
    } rows[] = {
        {"name of 194", names194, " %1", " D:\\in\\" + names194},
        {"name of 195", names195, " %1", " D:\\in\\" + names195},
        {"389 characters of text", "a.txt", " " + std::string(389, 'x'),
         " " + std::string(389, 'x')},
        {"390 characters of text", "a.txt", " " + std::string(390, 'x'),
         " " + std::string(390, 'x')},
    };
    for (const auto& row : rows) {
        const std::string path = InDrop(row.name);
        const std::size_t parts = 8 + row.expansion.size() + path.size();
        SCOPED_TRACE(std::string(row.what) + ": " + std::to_string(parts) + " characters");
        const bool fits = parts <= LongestNoticeParts;
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::AddFile(path, 1);
        sim::AddProgram("conv.exe " + row.expansion).exitCode = 0xFFFFFFFF;
        RunJob(Configure(R"(conv.exe 1,-1,1 D:\in)" + row.templateText), path.c_str(),
               row.name.c_str());

        EXPECT_TRUE(sim::Exists(path));
        ASSERT_EQ(sim::Notices().size(), 1u);
        const sim::Notice& notice = sim::Notices()[0];
        if (fits) {
            ASSERT_EQ(sim::Launches().size(), 1u);
            EXPECT_EQ(sim::Launches()[0].commandLine, "conv.exe " + row.expansion);
            EXPECT_EQ(notice.caption, "Error!");
            EXPECT_EQ(notice.text, FailureNotice("conv.exe", row.expansion, path));
            EXPECT_EQ(notice.text.size(), parts + 102);  // 511 at the boundary
        } else {
            EXPECT_TRUE(sim::Launches().empty());
            EXPECT_EQ(notice.caption, "Could not execute:");
            EXPECT_EQ(notice.type, MB_OK);
            EXPECT_NE(notice.text.find(path), std::string::npos) << notice.text;
        }
    }
}

TEST_F(JobLimits, ExpansionBeyondItsBufferIsRefused)
{
    std::string manyPaths;
    for (int i = 0; i < 400; ++i) {
        manyPaths += " %1";
    }
    const struct {
        const char* what;
        std::string templateText;
    } rows[] = {
        {"4095 characters", " " + std::string(4094, 'x')},
        {"4096 characters", " " + std::string(4095, 'x')},
        {"400 full paths", manyPaths},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::AddFile(InDrop("a.txt"), 1);
        RunJob(Configure(R"(conv.exe 1,-1,1 D:\in)" + row.templateText), InDrop("a.txt").c_str(),
               "a.txt");

        EXPECT_TRUE(sim::Launches().empty());
        EXPECT_TRUE(sim::Exists(InDrop("a.txt")));
        ASSERT_EQ(sim::Notices().size(), 1u);
        EXPECT_EQ(sim::Notices()[0].caption, "Could not execute:");
        EXPECT_EQ(sim::Notices()[0].type, MB_OK);
    }
}

// A name that would split, join or inject arguments is never run; with a
// batch program, neither is one that the command interpreter acts on.
TEST_F(JobLimits, NamesTheCommandLineCannotCarryAreNeverRun)
{
    const struct {
        const char* program;
        const char* name;
        bool runs;
    } rows[] = {
        {"conv.exe", "a\"b.txt", false},
        {"conv.exe", "a\nb.txt", false},
        {"conv.exe",
         "a\x7F"
         "b.txt",
         false},
        {"run.bat", "a&b.txt", false},
        {"RUN.CMD", "100%.txt", false},
        {"run.bat", "a^b.txt", false},
        {"conv.exe", "a&b.txt", true},
        {"conv.exe", "100%.txt", true},
        {"run.bat", "a b.txt", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.program) + " on " + ::testing::PrintToString(row.name));
        sim::Reset();
        const std::string path = InDrop(row.name);
        sim::AddFolder(DropFolder);
        sim::AddFile(path, 1);
        sim::AddProgram(std::string(row.program) + "  " + path);
        RunJob(Configure(std::string(row.program) + R"( 1,-1,1 D:\in %1)"), path.c_str(), row.name);

        EXPECT_EQ(sim::Launches().size(), row.runs ? 1u : 0u);
        EXPECT_EQ(sim::Exists(path), !row.runs);
        if (!row.runs) {
            ASSERT_EQ(sim::Notices().size(), 1u);
            EXPECT_EQ(sim::Notices()[0].caption, "Could not execute:");
            EXPECT_EQ(sim::Notices()[0].type, MB_OK);
        } else {
            EXPECT_TRUE(sim::Notices().empty());
        }
    }
}

// The full path holds 511 characters: a longer one is never waited on or run,
// and says so; the stop marker still stops, though it cannot be deleted.
TEST_F(JobLimits, FullPathBeyondItsBufferIsNotRun)
{
    const std::string folder = "D:\\" + std::string(297, 'd');  // 300 characters
    const std::string fits(210, 'f');                           // a path of 511
    const std::string tooLong(211, 't');                        // a path of 512
    sim::AddFolder(folder);
    sim::At(10, [&] {
        sim::AddFile(folder + "\\" + fits, 1);
        sim::AddFile(folder + "\\" + tooLong, 1);
    });
    sim::PostAt(5000, WM_QUIT);

    EXPECT_EQ(RunTool("conv.exe 1,-1,1 " + folder + " %1"), 0);
    // The path that fits is waited on; its job then cannot carry it.
    EXPECT_EQ(sim::CallTexts({"MoveFileA"}).size(), 1u);
    EXPECT_NE(sim::CallTexts({"MoveFileA"})[0].find(fits), std::string::npos);
    EXPECT_TRUE(sim::Launches().empty());
    ASSERT_EQ(sim::Notices().size(), 2u);
    EXPECT_NE(sim::Notices()[0].text.find(fits), std::string::npos);
    EXPECT_NE(sim::Notices()[1].text.find(tooLong), std::string::npos);
    for (const sim::Notice& notice : sim::Notices()) {
        EXPECT_EQ(notice.caption, "Could not execute:");
        EXPECT_EQ(notice.type, MB_OK);
    }
    EXPECT_TRUE(sim::Exists(folder + "\\" + fits));
    EXPECT_TRUE(sim::Exists(folder + "\\" + tooLong));
}

TEST_F(JobLimits, StopMarkerStopsWhateverItsPathLength)
{
    for (const std::size_t folderLength : {504u, 505u}) {
        const bool pathFits = folderLength + 1 + 6 <= 511;
        SCOPED_TRACE(std::to_string(folderLength) + " characters of folder");
        sim::Reset();
        const std::string folder = "D:\\" + std::string(folderLength - 3, 'd');
        const std::string marker = folder + "\\close!";
        sim::AddFolder(folder);
        sim::At(10, [&] { sim::AddFile(marker); });

        EXPECT_EQ(RunTool("conv.exe 1,-1,1 " + folder + " %1"), 0);
        EXPECT_EQ(sim::Exists(marker), !pathFits);
        EXPECT_EQ(sim::CallTexts({"Sleep"}), std::vector<std::string>{"Sleep(500)"});
    }
}

}  // namespace
