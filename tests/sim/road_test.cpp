// The road of one file, from the tool's start to its exit code, call by call.

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scenario.h"

namespace {

using Road = Scenario;

// conv.exe 1,-1,1 D:\in %~qf1: a writer drops report.txt and holds it for a
// while, the job converts it (exit code 0), and a later "close!" ends the tool.
TEST_F(Road, OneFileFromDropToExitCode)
{
    sim::AddFolder(DropFolder);
    sim::At(10, [] {
        sim::AddFile(InDrop("report.txt"));
        sim::Hold(InDrop("report.txt"));
    });
    sim::At(600, [] { sim::Grow(InDrop("report.txt"), 2000); });
    sim::At(1200, [] { sim::Release(InDrop("report.txt")); });
    sim::AddProgram(R"(conv.exe  D:\in\report.txt)").runMs = 120;
    sim::At(3000, [] { sim::AddFile(InDrop("close!")); });

    EXPECT_EQ(RunTool(R"(conv.exe 1,-1,1 D:\in %~qf1)"), 0);

    const std::vector<std::string> expected = {
        // Set-up, then the first idle cycle, which the writer's new file ends.
        R"(0 FindFirstChangeNotificationA("D:\in", 1, 0x11) -> change#1)",
        R"(0 PeekMessageA(NULL, 0, 0, 0) -> 0)",
        R"(0 WaitForSingleObject(change#1, 50) -> 0x0)",
        // The pass: re-arm, then the listing.
        R"(10 FindNextChangeNotification(change#1) -> 1)",
        R"(10 FindFirstFileA("D:\in\*.*") -> find#2 ".")",
        R"(10 FindNextFileA(find#2) -> 1 "..")",
        R"(10 FindNextFileA(find#2) -> 1 "report.txt")",
        // Readiness: held by its writer, probed every 500 ms until released.
        R"(10 MoveFileA("D:\in\report.txt", "D:\in\report.txt") -> 0 (error 32))",
        R"(10 GetLastError() -> 32)",
        R"(10 CreateFileA("D:\in\report.txt", 0x0, 0x3, NULL, 3, 0x80, NULL) -> file#3)",
        R"(10 CloseHandle(file#3) -> 1)",
        R"(10 Sleep(500))",
        R"(510 MoveFileA("D:\in\report.txt", "D:\in\report.txt") -> 0 (error 32))",
        R"(510 GetLastError() -> 32)",
        R"(510 CreateFileA("D:\in\report.txt", 0x0, 0x3, NULL, 3, 0x80, NULL) -> file#4)",
        R"(510 CloseHandle(file#4) -> 1)",
        R"(510 Sleep(500))",
        R"(1010 MoveFileA("D:\in\report.txt", "D:\in\report.txt") -> 0 (error 32))",
        R"(1010 GetLastError() -> 32)",
        R"(1010 CreateFileA("D:\in\report.txt", 0x0, 0x3, NULL, 3, 0x80, NULL) -> file#5)",
        R"(1010 CloseHandle(file#5) -> 1)",
        R"(1010 Sleep(500))",
        R"(1510 MoveFileA("D:\in\report.txt", "D:\in\report.txt") -> 1)",
        // Free: its size, twice, 500 ms apart.
        R"(1510 CreateFileA("D:\in\report.txt", 0x80000000, 0x3, NULL, 3, 0x80, NULL) -> file#6)",
        R"(1510 GetFileSize(file#6, NULL) -> 2000)",
        R"(1510 Sleep(500))",
        R"(2010 GetFileSize(file#6, NULL) -> 2000)",
        R"(2010 CloseHandle(file#6) -> 1)",
        // The job: two blanks, one from "%s %s" and one that opens the template.
        R"(2010 CreateProcessA(NULL, "conv.exe  D:\in\report.txt", NULL, NULL, 0, 0x28, NULL, "D:\in") -> 1 process#7 thread#8)",
        R"(2010 WaitForSingleObject(process#7, 50) -> 0x102)",
        R"(2060 PeekMessageA(NULL, 0, 0, 0) -> 0)",
        R"(2060 WaitForSingleObject(process#7, 50) -> 0x102)",
        R"(2110 PeekMessageA(NULL, 0, 0, 0) -> 0)",
        R"(2110 WaitForSingleObject(process#7, 50) -> 0x0)",
        R"(2130 GetExitCodeProcess(process#7) -> 1, code 0)",
        R"(2130 CloseHandle(process#7) -> 1)",
        R"(2130 CloseHandle(thread#8) -> 1)",
        R"(2130 DeleteFileA("D:\in\report.txt") -> 1)",
        R"(2130 FindNextFileA(find#2) -> 0)",
        R"(2130 FindClose(find#2) -> 1)",
        // The writes and the deletion signalled: one more pass, nothing to do.
        R"(2130 PeekMessageA(NULL, 0, 0, 0) -> 0)",
        R"(2130 WaitForSingleObject(change#1, 50) -> 0x0)",
        R"(2130 FindNextChangeNotification(change#1) -> 1)",
        R"(2130 FindFirstFileA("D:\in\*.*") -> find#9 ".")",
        R"(2130 FindNextFileA(find#9) -> 1 "..")",
        R"(2130 FindNextFileA(find#9) -> 0)",
        R"(2130 FindClose(find#9) -> 1)",
        // Idle until "close!" arrives (the quiet cycles are left out here).
        R"(2980 PeekMessageA(NULL, 0, 0, 0) -> 0)",
        R"(2980 WaitForSingleObject(change#1, 50) -> 0x0)",
        R"(3000 FindNextChangeNotification(change#1) -> 1)",
        R"(3000 FindFirstFileA("D:\in\*.*") -> find#10 ".")",
        R"(3000 FindNextFileA(find#10) -> 1 "..")",
        R"(3000 FindNextFileA(find#10) -> 1 "close!")",
        R"(3000 Sleep(500))",
        R"(3500 DeleteFileA("D:\in\close!") -> 1)",
        R"(3500 FindClose(find#10) -> 1)",
        R"(3500 FindCloseChangeNotification(change#1) -> 1)",
    };
    ExpectSameLines(Timeline(), expected);
    EXPECT_FALSE(sim::Exists(InDrop("report.txt")));
    EXPECT_FALSE(sim::Exists(InDrop("close!")));
    EXPECT_TRUE(sim::Notices().empty());

    // Every quiet idle cycle left out above is one look at the queue and one
    // wait of 50 ms: 17 of them, begun at 2130, 2180, ... 2930.
    std::size_t changeWaits = 0;
    for (const std::string& call : sim::CallTexts({"WaitForSingleObject"})) {
        changeWaits += call.starts_with("WaitForSingleObject(change#1, 50)") ? 1u : 0u;
    }
    EXPECT_EQ(changeWaits, 1u + 1u + 17u + 1u);
}

}  // namespace
