// The entry: the usage notice and 2 for a command line it cannot use, or the
// settings it reads handed to the watch loop, whose result it returns.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario.h"

namespace {

using Entry = Scenario;

TEST_F(Entry, RefusedCommandLineShowsTheUsageAndEndsWithTwo)
{
    const std::string tooLong(600, 'p');
    for (const std::string& commandLine :
         {std::string(), std::string("job.exe 1,2,3"), std::string(R"(job.exe D:\drop)"),
          std::string(R"("" 1,2,3 D:\drop %1)"), tooLong + R"( 1,2,3 D:\drop)"}) {
        SCOPED_TRACE(commandLine);
        sim::Reset();
        sim::AddFolder(R"(D:\drop)");
        EXPECT_EQ(RunTool(commandLine), 2);
        // Nothing else happens: no folder is watched, no program is run.
        EXPECT_EQ(
            sim::CallTexts(),
            std::vector<std::string>{
                R"(MessageBoxA(NULL, "Skorvel.exe ExecutableName FailureRange,Priority Dirname OtherParams", "Skorvel v0.3 Usage:", 0x0) -> 1)"});
    }
}

// What start-up reads is what the watch loop and the jobs use: the folder less
// its trailing separator, the default range and priority, the template.
TEST_F(Entry, SettingsReachTheWatchLoopAndItsResultIsReturned)
{
    sim::AddFolder(DropFolder);
    sim::AddProgram(R"(conv.exe  "D:\in\my file.txt")");
    sim::At(10, [] { sim::AddFile(InDrop("my file.txt"), 3); });
    sim::PostAt(3000, WM_QUIT);

    EXPECT_EQ(RunTool(R"(conv.exe "" D:\in\ %~qf1)"), 0);
    EXPECT_EQ(sim::CallTexts({"FindFirstChangeNotificationA"})[0],
              R"(FindFirstChangeNotificationA("D:\in", 1, 0x11) -> change#1)");
    EXPECT_EQ(sim::CallTexts({"FindFirstFileA"})[0].substr(0, 25), R"(FindFirstFileA("D:\in\*.*)");
    ASSERT_EQ(sim::Launches().size(), 1u);
    EXPECT_EQ(sim::Launches()[0].creationFlags, NORMAL_PRIORITY_CLASS | DETACHED_PROCESS);
    EXPECT_FALSE(sim::Exists(InDrop("my file.txt")));  // exit code 0 is a success by default
}

TEST_F(Entry, FolderThatCannotBeWatchedEndsWithOne)
{
    EXPECT_EQ(RunTool(R"(conv.exe 1,-1,1 D:\nothere %1)"), 1);
    ASSERT_EQ(sim::Notices().size(), 1u);
    EXPECT_EQ(sim::Notices()[0].caption, R"(D:\nothere\*.*)");
}

}  // namespace
