// The POSIX layer's two command-line transforms, against tables.

#include <gtest/gtest.h>

#include "platform/posix_command_line.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(SplitWindowsCommandLine, FollowsTheMicrosoftRuntimeRules)
{
    const struct {
        const char* line;
        Arguments expected;
    } cases[] = {
        {"prog", {"prog"}},
        {"prog ", {"prog"}},
        {"prog a \"b c\" d", {"prog", "a", "b c", "d"}},
        {"prog  \t a\tb", {"prog", "a", "b"}},
        {"prog \"\" x", {"prog", "", "x"}},
        {"prog a\\\\\"b c\" \\\"d a\\\\b", {"prog", "a\\b c", "\"d", "a\\\\b"}},
        {"prog \"a \"\"b\"\" c\"", {"prog", "a \"b\" c"}},
        {"prog a\"b c\"d", {"prog", "ab cd"}},
        {"prog \"unterminated arg", {"prog", "unterminated arg"}},
        {"prog \\\\\\\\\"x\"", {"prog", "\\\\x"}},
        {"prog \\\\\\\"x", {"prog", "\\\"x"}},
        {"prog it's $(x) & y;z*", {"prog", "it's", "$(x)", "&", "y;z*"}},
        {"\"/my tools/job\" y", {"/my tools/job", "y"}},
        {"\"C:\\a\\\" y", {"C:\\a\\", "y"}},
        {"/usr/bin/job  \"/in/my report.txt\"", {"/usr/bin/job", "/in/my report.txt"}},
        {"job ", {"job"}},
        {"", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitWindowsCommandLine(c.line), c.expected);
    }
}

TEST(FormCommandLineText, JoinsAndQuotesOnlyWhatNeedsIt)
{
    const struct {
        Arguments arguments;
        const char* expected;
    } cases[] = {
        {{}, ""},
        {{"job", "1,2,1", "/in", "%1"}, "job 1,2,1 /in %1"},
        {{"job", "", "/my in", "-x", "%~qf1"}, "job \"\" \"/my in\" -x %~qf1"},
        {{"a\"b", "c\\"}, "a\"b c\\"},
        {{"tab\there"}, "tab\there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        std::vector<const char*> pointers;
        for (const std::string& argument : c.arguments) {
            pointers.push_back(argument.c_str());
        }
        EXPECT_EQ(FormCommandLineText(static_cast<int>(pointers.size()), pointers.data()),
                  c.expected);
    }
}

}  // namespace
