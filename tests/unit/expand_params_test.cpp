#include "job/expand_params.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

struct Expanded {
    std::string text;
    bool fits;
};

Expanded Expand(const std::string& templateText, const std::string& folder, const std::string& name)
{
    const std::string fullPath = folder + "\\" + name;
    std::array<char, ExpansionBufferSize> output{};
    const bool fits =
        ExpandParams(output, templateText.c_str(), fullPath.c_str(), name.c_str(), folder.c_str());
    return {output.data(), fits};
}

// One template across several names in one folder.
struct NamesRow {
    std::string templateText;
    std::vector<std::string> expansions;  // one per name, in the order of the table's names
};

void CheckNamesTable(const std::string& folder, const std::vector<std::string>& names,
                     const std::vector<NamesRow>& rows)
{
    for (const NamesRow& row : rows) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            SCOPED_TRACE("template [" + row.templateText + "] name [" + names[i] + "] in [" +
                         folder + "]");
            const Expanded result = Expand(row.templateText, folder, names[i]);
            EXPECT_EQ(result.text, row.expansions[i]);
            EXPECT_TRUE(result.fits);
        }
    }
}

TEST(ExpandParams, FolderWithoutBlank)
{
    CheckNamesTable("D:\\in", {"report.txt", "my report.txt", "README", "archive.tar.gz"},
                    {
                        {"%1",
                         {"D:\\in\\report.txt", "D:\\in\\my report.txt", "D:\\in\\README",
                          "D:\\in\\archive.tar.gz"}},
                        {"%~qf1",
                         {"D:\\in\\report.txt", "\"D:\\in\\my report.txt\"", "D:\\in\\README",
                          "D:\\in\\archive.tar.gz"}},
                        {"%~p1", {"D:\\in", "D:\\in", "D:\\in", "D:\\in"}},
                        {"%~n1", {"report", "my report", "README", "archive.tar"}},
                        {"%~x1", {"txt", "txt", "", "gz"}},
                        {"%~e1", {"txt", "txt", "", "gz"}},
                        {"%~nx1", {"reporttxt", "my reporttxt", "README", "archive.targz"}},
                        {"%~n.x1", {"report.txt", "my report.txt", "README.", "archive.tar.gz"}},
                        {"%~qn1", {"report", "\"my report\"", "README", "archive.tar"}},
                        {"%~qx1", {"txt", "\"txt\"", "", "gz"}},
                        {"%~q1", {"", "\"\"", "", ""}},
                        {"%~p\\n.bak1",
                         {"D:\\in\\report.bak", "D:\\in\\my report.bak", "D:\\in\\README.bak",
                          "D:\\in\\archive.tar.bak"}},
                    });
}

TEST(ExpandParams, FolderWithBlankQuotesEveryName)
{
    CheckNamesTable("D:\\drop box", {"report.txt", "README"},
                    {
                        {"%1", {"D:\\drop box\\report.txt", "D:\\drop box\\README"}},
                        {"%~qf1", {"\"D:\\drop box\\report.txt\"", "\"D:\\drop box\\README\""}},
                        {"%~qn1", {"\"report\"", "\"README\""}},
                        {"%~qx1", {"\"txt\"", "\"\""}},
                        {"%~q1", {"\"\"", "\"\""}},
                        {"%~n1", {"report", "README"}},
                    });
}

struct SingleCase {
    std::string templateText;
    std::string expansion;
};

void CheckSingles(const std::string& name, const std::vector<SingleCase>& cases)
{
    for (const SingleCase& row : cases) {
        SCOPED_TRACE("template [" + row.templateText + "] name [" + name + "]");
        EXPECT_EQ(Expand(row.templateText, "D:\\in", name).text, row.expansion);
    }
}

TEST(ExpandParams, SingleTemplatesForAPlainName)
{
    CheckSingles("report.txt", {
                                   {"", ""},
                                   {"100%", "100%"},
                                   {"%%", "%"},
                                   {"%%1", "%1"},
                                   {"%%~n1", "%~n1"},
                                   {"%2", ""},
                                   {"50% off", "50off"},
                                   {"%~1", ""},
                                   {"%~11", "1"},
                                   {"%~QF1", "D:\\in\\report.txt"},
                                   {"%~ff1", "D:\\in\\report.txtD:\\in\\report.txt"},
                                   {"%~dp1", "dD:\\in"},
                                   {"%~pn1", "D:\\inreport"},
                                   {"%~p\\n1", "D:\\in\\report"},
                                   {"%~n.txt1", "report.ttxtt"},
                                   {"%~n.exe1", "report.txttxttxt"},
                                   {"%~2n1", "2report"},
                                   {"%~%%1", "%%"},
                                   {"%~n%1", "report%"},
                                   {"%~qabc1", "abc"},
                                   {"x%~n", "xreport"},
                                   {"%~", ""},
                                   {" %~qf1", " D:\\in\\report.txt"},
                                   {"a\tb", "a\tb"},
                               });
}

TEST(ExpandParams, SingleTemplatesForANameWithABlank)
{
    CheckSingles("my report.txt", {
                                      {"%~nq1", "\"my report\""},
                                      {"%~qq1", "\"\""},
                                      {"%~qabc1", "\"abc\""},
                                      {"%~q", "\"\""},
                                      {"-o %~qpn.out1", "-o \"D:\\inmy report.out\""},
                                      {"%1", "D:\\in\\my report.txt"},
                                  });
}

TEST(ExpandParams, NamesWithDots)
{
    struct DotsCase {
        std::string name;
        std::string base;
        std::string extension;
    };
    const DotsCase cases[] = {
        {".profile", "", "profile"}, {"name.", "name", ""},
        {"a..b", "a.", "b"},         {"archive.tar.gz", "archive.tar", "gz"},
        {"README", "README", ""},
    };
    for (const DotsCase& row : cases) {
        SCOPED_TRACE("name [" + row.name + "]");
        EXPECT_EQ(Expand("%~n1", "D:\\in", row.name).text, row.base);
        EXPECT_EQ(Expand("%~e1", "D:\\in", row.name).text, row.extension);
        EXPECT_EQ(Expand("%~x1", "D:\\in", row.name).text, row.extension);
    }
}

TEST(ExpandParams, HighBytesAreNeverLetters)
{
    // 0xE6 and 0xC6 fold to each other in Latin-1 but are not ASCII letters.
    EXPECT_EQ(Expand("%~\xE6\xC6n1", "D:\\in", "a.b").text,
              "\xE6\xC6"
              "a");
}

// The longest expansion that fits is 4095 characters; one more is reported
// and never written past the buffer.
TEST(ExpandParams, ReportsAnExpansionThatDoesNotFit)
{
    struct LengthCase {
        std::string label;
        std::string templateText;
        bool fits;
    };
    const std::string path = "D:\\in\\report.txt";  // 16 characters
    const LengthCase cases[] = {
        {"4095 plain", std::string(4095, 'a'), true},
        {"4096 plain", std::string(4096, 'a'), false},
        {"path at the end, 4095", std::string(4095 - path.size(), 'a') + "%1", true},
        {"path at the end, 4096", std::string(4096 - path.size(), 'a') + "%1", false},
        {"quote at the end, 4096", std::string(4095 - 6, 'a') + "%~qn1", true},
    };
    for (const LengthCase& row : cases) {
        SCOPED_TRACE(row.label);
        std::array<char, ExpansionBufferSize + 1> guard{};
        guard.back() = '#';
        const bool fits =
            ExpandParams(std::span<char>(guard.data(), ExpansionBufferSize),
                         row.templateText.c_str(), path.c_str(), "report.txt", "D:\\in");
        EXPECT_EQ(fits, row.fits);
        EXPECT_EQ(guard.back(), '#');
        EXPECT_LE(std::string(guard.data()).size(), ExpansionBufferSize - 1);
    }

    // A quoted sequence whose closing quote no longer fits is reported too.
    std::array<char, ExpansionBufferSize> output{};
    const std::string quoted = std::string(4095 - 11, 'a') + "%~qn1";  // "my report" + 2 quotes
    EXPECT_TRUE(
        ExpandParams(output, quoted.c_str(), "D:\\in\\my report.txt", "my report.txt", "D:\\in"));
    const std::string over = std::string(4096 - 11, 'a') + "%~qn1";
    EXPECT_FALSE(
        ExpandParams(output, over.c_str(), "D:\\in\\my report.txt", "my report.txt", "D:\\in"));
}

}  // namespace
