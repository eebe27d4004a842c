#include "scenario.h"

#include "platform/platform.h"

void Scenario::SetUp()
{
    sim::Reset();
}

void Scenario::TearDown()
{
    if (!stuck_) {
        std::string open;
        for (const std::string& name : sim::OpenHandles()) {
            open += " " + name;
        }
        EXPECT_TRUE(open.empty()) << "left open or not freed:" << open;
    }
    sim::Reset();
}

std::optional<int> Scenario::RunTool(const std::string& commandLine)
{
    commandLine_.assign(commandLine.begin(), commandLine.end());
    commandLine_.push_back('\0');
    int exitCode = -1;
    if (!Ends([&] { exitCode = WinMain(nullptr, nullptr, commandLine_.data(), 0); })) {
        return std::nullopt;
    }
    return exitCode;
}

const Settings& Scenario::Configure(const std::string& commandLine)
{
    commandLine_.assign(commandLine.begin(), commandLine.end());
    commandLine_.push_back('\0');
    EXPECT_TRUE(ReadSettings(commandLine_.data(), settings_)) << commandLine;
    return settings_;
}

std::vector<std::string> Timeline()
{
    const std::vector<sim::Call>& calls = sim::Calls();
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const bool quietCycle = i + 1 < calls.size() &&
                                calls[i].text == "PeekMessageA(NULL, 0, 0, 0) -> 0" &&
                                calls[i + 1].text.starts_with("WaitForSingleObject(change#") &&
                                calls[i + 1].text.ends_with(", 50) -> 0x102");
        if (quietCycle) {
            ++i;
            continue;
        }
        lines.push_back(std::to_string(calls[i].at) + " " + calls[i].text);
    }
    return lines;
}

std::vector<std::string> NoticeTexts()
{
    std::vector<std::string> texts;
    for (const sim::Notice& notice : sim::Notices()) {
        texts.push_back(notice.text);
    }
    return texts;
}

void ExpectSameLines(const std::vector<std::string>& actual,
                     const std::vector<std::string>& expected)
{
    for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const std::string got = i < actual.size() ? actual[i] : "(nothing)";
        const std::string want = i < expected.size() ? expected[i] : "(nothing)";
        if (got != want) {
            std::string context;
            for (std::size_t j = i > 3 ? i - 3 : 0; j < i; ++j) {
                context += "\n    " + actual[j];
            }
            ADD_FAILURE() << "line " << i << " differs, after:" << context
                          << "\n  actual:   " << got << "\n  expected: " << want;
            return;
        }
    }
}
