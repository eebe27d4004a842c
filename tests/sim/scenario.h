#pragma once

// The fixture of every scenario: a fresh simulated world per test, the tool's
// entry run in it, and the handle check at the end.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "sim_world.h"
#include "startup/settings.h"

// Paths in the drop folder that most scenarios use.
inline const std::string DropFolder = R"(D:\in)";
inline std::string InDrop(const std::string& name)
{
    return DropFolder + "\\" + name;
}

class Scenario : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    // Runs WinMain on `commandLine` (the text after the program's own name).
    // Its exit code, or nullopt when the simulator had to stop a run that
    // would never end.
    std::optional<int> RunTool(const std::string& commandLine);

    // Settings as start-up reads them from `commandLine`, for scenarios that
    // call one part of the core directly. Fails the test on a refusal.
    const Settings& Configure(const std::string& commandLine);

    // Runs `body`; false (and no handle check) when the simulator stopped it.
    template <typename Body>
    bool Ends(Body&& body)
    {
        try {
            body();
            return true;
        } catch (const sim::Stuck& stuck) {
            stuck_ = true;
            whyStuck_ = stuck.why;
            return false;
        }
    }

    bool stuck_ = false;
    std::string whyStuck_;

   private:
    std::vector<char> commandLine_;
    Settings settings_{};
};

// The call log as "time text" lines, without the idle cycles in which nothing
// happened (a look at an empty queue, then a wait that timed out).
std::vector<std::string> Timeline();

// The texts of the recorded notices.
std::vector<std::string> NoticeTexts();

// Compares two lists of lines and, on a difference, names the first line that
// differs, with both versions, rather than printing both lists whole.
void ExpectSameLines(const std::vector<std::string>& actual,
                     const std::vector<std::string>& expected);
