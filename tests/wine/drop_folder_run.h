#pragma once

// A test fixture that runs Skorvel.exe under Wine on a drop folder of its
// own: a fresh temporary folder per test holding the drop folder, the folder
// where test_job.exe leaves its records, and whatever else a test needs.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "wine_session.h"

// What one run of test_job.exe recorded.
struct JobRecord {
    std::string commandLine;
    std::string workingFolder;
};

class DropFolderRun : public testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    // Starts Skorvel.exe through launch.exe with exactly this command line
    // (the program's own name included).
    void StartTool(const std::string& commandLine);

    // The tool's exit code once it ended within the deadline.
    std::optional<int> WaitForToolExit();

    // Drops the stop marker `name` and waits for the tool to end; its exit code.
    std::optional<int> StopTool(const std::string& name = "close!");

    // Creates `relative` below the drop folder with `content`.
    void Drop(const std::string& relative, const std::string& content = "data\n");

    bool Exists(const std::string& relative) const;

    // Rewrites `.poke` in `folder` below the drop folder (the drop folder
    // itself by default): a change that starts a pass but is never a job.
    // Polling with it never depends on when the tool began to watch.
    void Poke(const std::string& folder = "") const;

    // Waits, poking, until at least `count` jobs have recorded their start.
    bool WaitForJobs(std::size_t count);

    std::vector<JobRecord> Records() const;

    // The Windows path of test_job.exe, the usual ExecutableName.
    std::string JobProgram() const;

    std::string WindowsPathInDrop(const std::string& relative) const;

    std::filesystem::path root_;
    std::filesystem::path drop_;
    std::filesystem::path records_;
    std::string dropWindows_;  // the drop folder as Skorvel.exe sees it

   private:
    std::optional<pid_t> launcher_;
};
