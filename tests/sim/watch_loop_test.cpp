// The watch loop: idle cycles, passes over the listing, the stop marker, the
// quit message and the set-up failure, run through the tool's entry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario.h"

namespace {

using WatchLoop = Scenario;

const std::string Tool = R"(conv.exe 1,-1,1 D:\in %1)";

std::string JobFor(const std::string& name)
{
    return "conv.exe  " + InDrop(name);
}

std::vector<std::string> LaunchedCommandLines()
{
    std::vector<std::string> lines;
    for (const sim::Launch& launch : sim::Launches()) {
        lines.push_back(launch.commandLine);
    }
    return lines;
}

std::size_t CountCalls(std::string_view operation, std::string_view text = "")
{
    std::size_t count = 0;
    for (const std::string& call : sim::CallTexts({operation})) {
        count += call.find(text) != std::string::npos ? 1u : 0u;
    }
    return count;
}

std::size_t Passes()
{
    return CountCalls("FindFirstFileA");
}

// Files already there wait for the first change; a quit message that comes
// while the loop idles ends it at the next look at the queue.
TEST_F(WatchLoop, NoPassAtStartAndQuitEndsWithZero)
{
    sim::AddFolder(DropFolder);
    sim::AddFile(InDrop("a.txt"), 5);
    sim::PostAt(1234, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(Passes(), 0u);
    EXPECT_TRUE(sim::Exists(InDrop("a.txt")));
    ExpectSameLines(Timeline(),
                    {
                        R"(0 FindFirstChangeNotificationA("D:\in", 1, 0x11) -> change#1)",
                        R"(1250 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x12])",
                        R"(1250 GetMessageA(NULL, 0, 0) -> 0 [0x12])",
                        R"(1250 FindCloseChangeNotification(change#1) -> 1)",
                    });
}

TEST_F(WatchLoop, TakesOneMessagePerIdleCycle)
{
    sim::AddFolder(DropFolder);
    for (const UINT message : {0x400u, 0x401u, WM_QUIT, 0x402u}) {
        sim::PostAt(0, message);
    }
    EXPECT_EQ(RunTool(Tool), 0);
    ExpectSameLines(Timeline(),
                    {
                        R"(0 FindFirstChangeNotificationA("D:\in", 1, 0x11) -> change#1)",
                        R"(0 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x400])",
                        R"(0 GetMessageA(NULL, 0, 0) -> 1 [0x400])",
                        R"(0 WaitForSingleObject(change#1, 50) -> 0x102)",
                        R"(50 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x401])",
                        R"(50 GetMessageA(NULL, 0, 0) -> 1 [0x401])",
                        R"(50 WaitForSingleObject(change#1, 50) -> 0x102)",
                        R"(100 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x12])",
                        R"(100 GetMessageA(NULL, 0, 0) -> 0 [0x12])",
                        R"(100 FindCloseChangeNotification(change#1) -> 1)",
                    });
    EXPECT_EQ(sim::QueuedMessages(), 1u);
}

TEST_F(WatchLoop, SetUpFailureShowsThePlatformsTextAndEndsWithOne)
{
    const struct {
        const char* what;
        DWORD error;
        const char* text;
    } rows[] = {
        {"no such folder", 0, "The system cannot find the file specified.\r\n"},
        {"access denied", ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {"a code without a text", 1234, "System error 1234."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        if (row.error != 0) {
            sim::AddFolder(R"(D:\nothere)");
            sim::Inject().notificationSetupError = row.error;
        }
        EXPECT_EQ(RunTool(R"(conv.exe 1,-1,1 D:\nothere %1)"), 1);
        ASSERT_EQ(sim::Notices().size(), 1u);
        EXPECT_EQ(sim::Notices()[0].text, row.text);
        EXPECT_EQ(sim::Notices()[0].caption, R"(D:\nothere\*.*)");
        EXPECT_EQ(sim::Notices()[0].type, MB_ICONINFORMATION);
        EXPECT_EQ(Passes(), 0u);
        EXPECT_TRUE(sim::OpenHandles().empty());  // the platform's text is freed
    }
    // The code is read at once and its text asked for as the platform expects.
    EXPECT_EQ(sim::CallTexts({"GetLastError", "FormatMessageA"}),
              (std::vector<std::string>{
                  "GetLastError() -> 1234",
                  "FormatMessageA(0x1100, NULL, 1234, 0x400, buffer, 0, NULL) -> 0"}));
}

// The deletion of a.txt starts another pass, in which b.txt runs again; the
// subfolder is skipped without a notice.
TEST_F(WatchLoop, FilesThatStayRunAgainInLaterPasses)
{
    sim::AddFolder(DropFolder);
    sim::AddProgram(JobFor("a.txt"));
    sim::AddProgram(JobFor("b.txt")).exitCode = 1;
    sim::At(10, [] {
        sim::AddFile(InDrop("a.txt"), 1);
        sim::AddFile(InDrop("b.txt"), 1);
        sim::AddFolder(InDrop("sub"));
    });
    sim::PostAt(5000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(LaunchedCommandLines(),
              (std::vector<std::string>{JobFor("a.txt"), JobFor("b.txt"), JobFor("b.txt")}));
    EXPECT_EQ(Passes(), 2u);
    EXPECT_FALSE(sim::Exists(InDrop("a.txt")));
    EXPECT_TRUE(sim::Exists(InDrop("b.txt")));
    ASSERT_EQ(sim::Notices().size(), 2u);
    EXPECT_EQ(sim::Notices()[1].caption, "Error!");
    // Only the pass's own two handles are open while the notice shows.
    ASSERT_EQ(sim::Notices()[1].openHandles.size(), 2u);
    EXPECT_EQ(sim::Notices()[1].openHandles[0], "change#1");
    EXPECT_TRUE(sim::Notices()[1].openHandles[1].starts_with("find#"));
}

TEST_F(WatchLoop, DotNamesArePassedOverUntilRenamed)
{
    sim::AddFolder(DropFolder);
    sim::AddProgram(JobFor("part"));
    sim::At(10, [] { sim::AddFile(InDrop(".part"), 1); });
    sim::At(3000, [] { sim::Rename(InDrop(".part"), InDrop("part")); });
    sim::PostAt(6000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(CountCalls("MoveFileA", ".part"), 0u);
    EXPECT_EQ(LaunchedCommandLines(), std::vector<std::string>{JobFor("part")});
    EXPECT_GE(sim::Launches()[0].at, 3000u);
}

// A listing without "." and ".." (a drive's root) opens with a real file.
TEST_F(WatchLoop, FirstEntryOfTheListingIsExamined)
{
    sim::AddFolder(DropFolder).dotEntries = false;
    sim::AddProgram(JobFor("a.txt"));
    sim::AddProgram(JobFor("b.txt"));
    sim::At(10, [] {
        sim::AddFile(InDrop("a.txt"), 1);
        sim::AddFile(InDrop("b.txt"), 1);
    });
    sim::PostAt(5000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(sim::CallTexts({"FindFirstFileA"})[0],
              R"(FindFirstFileA("D:\in\*.*") -> find#2 "a.txt")");
    EXPECT_EQ(LaunchedCommandLines(), (std::vector<std::string>{JobFor("a.txt"), JobFor("b.txt")}));
}

// The marker is met before readiness: the entries before it are handled, it
// is deleted after 500 ms, and the entries after it stay unexamined.
TEST_F(WatchLoop, StopMarkerInAnyCaseEndsThePass)
{
    for (const char* marker : {"close!", "CLOSE!", "Close!", "cLoSe!"}) {
        SCOPED_TRACE(marker);
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::AddProgram(JobFor("a.txt")).runMs = 100;
        sim::At(10, [marker] {
            sim::AddFile(InDrop("z.txt"), 1);
            sim::AddFile(InDrop(marker));
            sim::AddFile(InDrop("a.txt"), 1);
            sim::SetListingOrder(DropFolder, {"a.txt", marker, "z.txt"});
        });

        EXPECT_EQ(RunTool(Tool), 0);
        EXPECT_EQ(LaunchedCommandLines(), std::vector<std::string>{JobFor("a.txt")});
        EXPECT_EQ(CountCalls("MoveFileA", marker), 0u);
        EXPECT_EQ(CountCalls("MoveFileA", "z.txt"), 0u);
        EXPECT_TRUE(sim::Exists(InDrop("z.txt")));
        EXPECT_FALSE(sim::Exists(InDrop(marker)));
        const std::vector<std::string> timeline = Timeline();
        const std::vector<std::string> ending(timeline.end() - 6, timeline.end());
        ExpectSameLines(ending,
                        {
                            "610 DeleteFileA(\"D:\\in\\a.txt\") -> 1",
                            "610 FindNextFileA(find#2) -> 1 \"" + std::string(marker) + "\"",
                            "610 Sleep(500)",
                            "1110 DeleteFileA(\"D:\\in\\" + std::string(marker) + "\") -> 1",
                            "1110 FindClose(find#2) -> 1",
                            "1110 FindCloseChangeNotification(change#1) -> 1",
                        });
    }
}

TEST_F(WatchLoop, NamesLikeTheMarkerAreNotIt)
{
    const struct {
        const char* name;
        bool run;
    } rows[] = {{"close!.txt", true}, {"close", true}, {"xclose!", true}, {".close!", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::AddProgram(JobFor(row.name));
        sim::At(10, [&row] { sim::AddFile(InDrop(row.name), 1); });
        sim::PostAt(5000, WM_QUIT);

        EXPECT_EQ(RunTool(Tool), 0);
        EXPECT_EQ(sim::Launches().size(), row.run ? 1u : 0u);
        EXPECT_EQ(CountCalls("Sleep", "Sleep(500)"), row.run ? 1u : 0u);  // its size cycle only
        EXPECT_EQ(sim::Exists(InDrop(row.name)), !row.run);
    }
}

// A folder named like the marker stops the tool too, and stays.
TEST_F(WatchLoop, StopMarkerThatCannotBeDeletedStillStops)
{
    sim::AddFolder(DropFolder);
    sim::At(10, [] { sim::AddFolder(InDrop("close!")); });
    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_TRUE(sim::Exists(InDrop("close!")));
    EXPECT_EQ(sim::CallTexts({"DeleteFileA"}),
              std::vector<std::string>{R"(DeleteFileA("D:\in\close!") -> 0 (error 5))"});
}

// A file dropped while a job runs is not in the current listing; the pass
// after it follows at once (no quiet wait in between) and runs it.
TEST_F(WatchLoop, ChangesDuringAPassStartTheNextOne)
{
    sim::AddFolder(DropFolder);
    sim::AddProgram(JobFor("a.txt")).runMs = 1000;
    sim::AddProgram(JobFor("b.txt"));
    sim::At(10, [] { sim::AddFile(InDrop("a.txt"), 1); });
    sim::At(800, [] { sim::AddFile(InDrop("b.txt"), 1); });
    sim::PostAt(5000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(LaunchedCommandLines(), (std::vector<std::string>{JobFor("a.txt"), JobFor("b.txt")}));
    const std::vector<std::string> timeline = Timeline();
    const auto firstClose =
        std::find(timeline.begin(), timeline.end(), "1510 FindClose(find#2) -> 1");
    ASSERT_NE(firstClose, timeline.end());
    ExpectSameLines(std::vector<std::string>(firstClose + 1, firstClose + 5),
                    {
                        "1510 PeekMessageA(NULL, 0, 0, 0) -> 0",
                        "1510 WaitForSingleObject(change#1, 50) -> 0x0",
                        "1510 FindNextChangeNotification(change#1) -> 1",
                        "1510 FindFirstFileA(\"D:\\in\\*.*\") -> find#6 \".\"",
                    });
}

// Changes below the drop folder start passes over the folder itself, but the
// files below it are never run; a job's own writes there count too.
TEST_F(WatchLoop, ChangesBelowTheFolderStartPassesButAreNeverRun)
{
    sim::AddFolder(DropFolder);
    sim::AddFolder(InDrop("sub"));
    sim::Program& job = sim::AddProgram(JobFor("a.txt"));
    job.exitCode = 1;  // a.txt stays, so only the job's write can start the next pass
    job.onEnd = [] {
        if (!sim::Exists(InDrop(R"(sub\a.out)"))) {
            sim::AddFile(InDrop(R"(sub\a.out)"), 7);
        }
    };
    sim::At(10, [] { sim::AddFile(InDrop(R"(sub\x.txt)"), 1); });
    sim::At(2000, [] { sim::AddFile(InDrop("a.txt"), 1); });
    sim::PostAt(9000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(Passes(), 3u);  // sub\x.txt, a.txt, and the job's sub\a.out
    EXPECT_EQ(LaunchedCommandLines(), (std::vector<std::string>{JobFor("a.txt"), JobFor("a.txt")}));
    EXPECT_EQ(CountCalls("MoveFileA", "x.txt"), 0u);
}

// A quit message that comes while a job runs is taken off by the job's wait
// and lost; the tool carries on until the stop marker.
TEST_F(WatchLoop, QuitDuringAJobIsLost)
{
    sim::AddFolder(DropFolder);
    sim::AddProgram(JobFor("a.txt")).runMs = 200;
    sim::At(10, [] { sim::AddFile(InDrop("a.txt"), 1); });
    sim::PostAt(530, WM_QUIT);  // the job runs from 510 to 710
    sim::At(3000, [] { sim::AddFile(InDrop("close!")); });

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(CountCalls("GetMessageA", "[0x12]"), 1u);
    EXPECT_FALSE(sim::Exists(InDrop("close!")));
    EXPECT_EQ(sim::Now(), 3500u);
}

// One that comes while readiness waits stays queued through a job that ends
// before its first slice runs out, and ends the tool after the pass.
TEST_F(WatchLoop, QuitDuringReadinessEndsTheToolAfterThePass)
{
    sim::AddFolder(DropFolder);
    sim::AddProgram(JobFor("a.txt"));
    sim::At(10, [] {
        sim::AddFile(InDrop("a.txt"), 1);
        sim::Hold(InDrop("a.txt"));
    });
    sim::At(400, [] { sim::Release(InDrop("a.txt")); });
    sim::PostAt(100, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_FALSE(sim::Exists(InDrop("a.txt")));
    EXPECT_EQ(Passes(), 1u);  // the deletion's pass never comes
    const std::vector<std::string> calls = sim::CallTexts();
    EXPECT_EQ(calls.back(), "FindCloseChangeNotification(change#1) -> 1");
    EXPECT_EQ(calls[calls.size() - 2], "GetMessageA(NULL, 0, 0) -> 0 [0x12]");
}

TEST_F(WatchLoop, UnreadableFileIsSkippedInEveryPass)
{
    sim::AddFolder(DropFolder);
    sim::At(10, [] { sim::AddFile(InDrop("u.txt"), 1).unreadable = true; });
    sim::At(1000, [] { sim::AddFile(InDrop(".touch")); });
    sim::PostAt(3000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(CountCalls("MoveFileA", "u.txt"), 2u);
    EXPECT_TRUE(sim::Launches().empty());
    EXPECT_TRUE(sim::Notices().empty());
    EXPECT_TRUE(sim::Exists(InDrop("u.txt")));
}

TEST_F(WatchLoop, ListingThatCannotBeOpenedEndsThePassSilently)
{
    sim::AddFolder(DropFolder);
    sim::Inject().listingFails = true;
    sim::At(10, [] { sim::AddFile(InDrop("a.txt"), 1); });
    sim::PostAt(1000, WM_QUIT);

    EXPECT_EQ(RunTool(Tool), 0);
    EXPECT_EQ(sim::CallTexts({"FindFirstFileA", "FindClose"}),
              (std::vector<std::string>{
                  R"(FindFirstFileA("D:\in\*.*") -> INVALID_HANDLE_VALUE (error 3))",
                  "FindClose(INVALID_HANDLE_VALUE) -> 0"}));
    EXPECT_TRUE(sim::Notices().empty());
}

// A notification that stays signalled, or a wait that keeps failing, starts
// pass after pass; from the third in a row on, each is paced by 50 ms.
TEST_F(WatchLoop, EndlessChangesArePaced)
{
    const struct {
        const char* what;
        bool stuck;
        bool waitFails;
    } rows[] = {{"stuck signalled", true, false}, {"wait fails", false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::Inject().notificationStuck = row.stuck;
        sim::Inject().notificationWaitFails = row.waitFails;
        sim::PostAt(1025, WM_QUIT);

        EXPECT_EQ(RunTool(Tool), 0);
        // Two passes at 0, then one every 50 ms up to the one at 1050, after
        // which the queue shows the quit message.
        EXPECT_EQ(Passes(), 2u + 1050u / 50u);
        EXPECT_EQ(CountCalls("Sleep", "Sleep(50)"), Passes() - 2u);
    }
}

}  // namespace
