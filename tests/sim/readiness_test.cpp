// Readiness: a file is handed on once no other process holds it and its size
// has stayed the same over 500 ms; otherwise it is skipped without a word.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario.h"
#include "watch/wait_until_settled.h"

namespace {

using FileReadiness = Scenario;

const std::string File = InDrop("a.txt");

Readiness Settle()
{
    return WaitUntilSettled(File.c_str());
}

std::size_t Count(std::initializer_list<std::string_view> operations, std::string_view text = "")
{
    std::size_t count = 0;
    for (const std::string& call : sim::CallTexts(operations)) {
        count += call.find(text) != std::string::npos ? 1u : 0u;
    }
    return count;
}

TEST_F(FileReadiness, FreeAndCompleteFileIsReadyAfterOneCycle)
{
    sim::AddFolder(DropFolder);
    sim::AddFile(File, 42);
    EXPECT_EQ(Settle(), Readiness::Ready);
    ExpectSameLines(
        Timeline(),
        {
            R"(0 MoveFileA("D:\in\a.txt", "D:\in\a.txt") -> 1)",
            R"(0 CreateFileA("D:\in\a.txt", 0x80000000, 0x3, NULL, 3, 0x80, NULL) -> file#1)",
            R"(0 GetFileSize(file#1, NULL) -> 42)",
            R"(0 Sleep(500))",
            R"(500 GetFileSize(file#1, NULL) -> 42)",
            R"(500 CloseHandle(file#1) -> 1)",
        });
}

// Only another process's hold ends by waiting: a sharing or lock violation is
// probed every 500 ms; any other refusal to rename answers skip at once.
TEST_F(FileReadiness, RenameProbeWaitsOnlyForAHolder)
{
    const struct {
        const char* what;
        std::function<void()> setUp;
        Readiness answer;
        std::size_t probes;  // opens that ask for no access
        std::size_t pauses;  // Sleep(500)
    } rows[] = {
        {"held by a writer until 1200 ms",
         [] {
             sim::Hold(File);
             sim::At(1200, [] { sim::Release(File); });
         },
         Readiness::Ready, 3, 3 + 1},
        {"locked until 700 ms",
         [] {
             sim::Find(File)->renameError = ERROR_LOCK_VIOLATION;
             sim::At(700, [] { sim::Release(File); });
         },
         Readiness::Ready, 2, 2 + 1},
        {"no right to rename", [] { sim::Find(File)->renameError = ERROR_ACCESS_DENIED; },
         Readiness::Skip, 1, 0},
        {"deleted while held",
         [] {
             sim::Hold(File);
             sim::At(700, [] { sim::Remove(File); });
         },
         Readiness::Skip, 3, 2},
        {"gone before the call", [] { sim::Remove(File); }, Readiness::Skip, 1, 0},
        {"unreadable", [] { sim::Find(File)->unreadable = true; }, Readiness::Skip, 0, 0},
        {"a folder",
         [] {
             sim::Remove(File);
             sim::AddFolder(File);
         },
         Readiness::Skip, 0, 0},
        {"a folder that cannot be renamed",
         [] {
             sim::Remove(File);
             sim::AddFolder(File).renameError = ERROR_SHARING_VIOLATION;
         },
         Readiness::Skip, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::AddFile(File, 42);
        row.setUp();

        EXPECT_EQ(Settle(), row.answer);
        EXPECT_EQ(Count({"CreateFileA"}, ", 0x0, 0x3, NULL, 3, 0x80, NULL)"), row.probes);
        EXPECT_EQ(Count({"Sleep"}, "Sleep(500)"), row.pauses);
        EXPECT_TRUE(sim::Notices().empty());
        EXPECT_TRUE(sim::OpenHandles().empty());
    }
}

// Each cycle compares its own two readings, taken 500 ms apart; the second
// reading of one cycle is never the first of the next.
TEST_F(FileReadiness, SizeCyclesCompareOnlyTheirOwnTwoReadings)
{
    const struct {
        std::vector<DWORD> readings;
        std::size_t reads;
    } rows[] = {
        {{5, 6, 7, 7}, 4},
        {{10, 20, 20, 20}, 4},
        {{5, 6, 6, 7, 7, 7}, 6},  // carrying 6 over would answer after three readings
        {{1, 2, 3, 4, 5, 5}, 6},
        {{INVALID_FILE_SIZE, INVALID_FILE_SIZE}, 2},  // failed readings compare like sizes
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.readings));
        sim::Reset();
        sim::AddFolder(DropFolder);
        sim::AddFile(File, 99).readings.assign(row.readings.begin(), row.readings.end());

        EXPECT_EQ(Settle(), Readiness::Ready);
        EXPECT_EQ(Count({"GetFileSize"}), row.reads);
        EXPECT_EQ(Count({"Sleep"}, "Sleep(500)"), row.reads / 2);
        EXPECT_EQ(sim::Now(), 500 * (row.reads / 2));
    }
}

TEST_F(FileReadiness, FileStillGrowingIsMeasuredAgain)
{
    sim::AddFolder(DropFolder);
    sim::AddFile(File, 10);
    sim::At(300, [] { sim::Grow(File, 20); });
    EXPECT_EQ(Settle(), Readiness::Ready);
    EXPECT_EQ(sim::CallTexts({"GetFileSize"}),
              (std::vector<std::string>{
                  "GetFileSize(file#1, NULL) -> 10", "GetFileSize(file#1, NULL) -> 20",
                  "GetFileSize(file#1, NULL) -> 20", "GetFileSize(file#1, NULL) -> 20"}));
    EXPECT_EQ(sim::Now(), 1000u);
}

}  // namespace
