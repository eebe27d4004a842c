// What the tool relies on from Windows, checked against Wine's KERNEL32: the
// readiness test renames a file onto its own name and keeps waiting only while
// that fails with ERROR_SHARING_VIOLATION or ERROR_LOCK_VIOLATION.

#include <filesystem>
#include <fstream>

#include "drop_folder_run.h"

namespace {

constexpr int ErrorFileNotFound = 2;
constexpr int ErrorSharingViolation = 32;

using PlatformSemantics = DropFolderRun;

TEST_F(PlatformSemantics, RenameOntoItselfFailsWithSharingViolationOnlyWhileHeld)
{
    const std::string file = WindowsPathInDrop("held.txt");
    const std::filesystem::path ready = root_ / "holding";
    const std::filesystem::path release = root_ / "release";
    const auto moveOntoItself = [&] { return wine::Run(wine::Helper("move_onto_itself"), {file}); };

    EXPECT_EQ(moveOntoItself(), ErrorFileNotFound) << "a missing file";

    const pid_t holder = wine::Start(wine::Helper("hold_file"),
                                     {file, wine::WindowsPath(ready), wine::WindowsPath(release)});
    ASSERT_TRUE(wine::WaitUntil([&] { return std::filesystem::exists(ready); }))
        << "the holder never took the file";
    EXPECT_EQ(moveOntoItself(), ErrorSharingViolation)
        << "held open by another process without sharing deletion";

    std::ofstream(release) << "go\n";
    EXPECT_EQ(wine::WaitForExit(holder), 0);
    EXPECT_EQ(moveOntoItself(), 0) << "no longer held";
    EXPECT_TRUE(Exists("held.txt")) << "the rename onto itself lost the file";
}

}  // namespace
