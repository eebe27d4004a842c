// The simulator's own checks: they must catch a misused handle, and a run
// that would never end must be stopped rather than hang the suite.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scenario.h"

namespace {

using SimulatorChecks = Scenario;

TEST_F(SimulatorChecks, HandleClosedTwiceOrByTheWrongOperationFailsTheTest)
{
    sim::AddFolder(DropFolder);
    sim::AddFile(InDrop("a.txt"));
    const HANDLE file = CreateFileA(InDrop("a.txt").c_str(), GENERIC_READ, 0x3, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(sim::OpenHandles(), std::vector<std::string>{"file#1"});
    EXPECT_NONFATAL_FAILURE(FindClose(file), "no find handle");
    CloseHandle(file);
    EXPECT_NONFATAL_FAILURE(CloseHandle(file), "already closed");
    EXPECT_NONFATAL_FAILURE(FindClose(INVALID_HANDLE_VALUE), "without a failed FindFirstFileA");
    EXPECT_TRUE(sim::OpenHandles().empty());
}

// A writer that never lets go holds the tool in readiness for ever, by
// design: no time-out, no look at the queue. The simulator stops the run.
TEST_F(SimulatorChecks, RunThatWouldNeverEndIsStopped)
{
    sim::SetTimeLimit(60 * 1000);
    sim::AddFolder(DropFolder);
    sim::At(10, [] {
        sim::AddFile(InDrop("a.txt"));
        sim::Hold(InDrop("a.txt"));
    });
    sim::PostAt(1000, WM_QUIT);

    EXPECT_EQ(RunTool(R"(conv.exe 1,-1,1 D:\in %1)"), std::nullopt);
    EXPECT_NE(whyStuck_.find("virtual time"), std::string::npos) << whyStuck_;
    EXPECT_GE(sim::CallTexts({"MoveFileA"}).size(), 119u);  // one probe per 500 ms
    EXPECT_EQ(sim::QueuedMessages(), 1u);                   // the quit is never looked at
}

}  // namespace
