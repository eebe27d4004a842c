#include "startup/settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace {

struct CommandLineCase {
    std::string text;
    bool accepted;
    std::string executable;
    std::string options;
    std::string dirname;
    std::string otherParams;
};

TEST(ReadSettings, CommandLineTable)
{
    const CommandLineCase cases[] = {
        {"", false, "", "", "", ""},
        {"job.exe 1,2,3", false, "job.exe", "1,2,3", "", ""},
        {"job.exe D:\\drop", false, "job.exe", "D:\\drop", "", ""},
        {"job.exe \"\" D:\\drop %1", true, "job.exe", "", "D:\\drop", " %1"},
        {"job.exe 1,2,1 D:\\drop\\ -f %1", true, "job.exe", "1,2,1", "D:\\drop", " -f %1"},
        {"job.exe   1,2,1   D:\\drop   x  y ", true, "job.exe", "1,2,1", "D:\\drop", "   x  y "},
        {"\"D:\\My Tools\\job.exe\" 1,2,1 \"D:\\my drop\" -x \"%1\"", true, "D:\\My Tools\\job.exe",
         "1,2,1", "D:\\my drop", " -x \"%1\""},
        {"job.exe 1,2,1 \"D:\\drop\"%1", true, "job.exe", "1,2,1", "D:\\drop", "%1"},
        {"job.exe 1,2,1 \"D:\\drop", true, "job.exe", "1,2,1", "D:\\drop", ""},
        {"job.exe 1,2,1 \"D:\\my drop\\\" -x \"%1\"", true, "job.exe", "1,2,1",
         "D:\\my drop\\\" -x ", "%1\""},
        {"job.exe\t1,2,1 D:\\drop x", true, "job.exe\t1,2,1", "D:\\drop", "x", ""},
        {"\"\" 1,2,1 D:\\drop", false, "", "1,2,1", "D:\\drop", ""},
        {"job.exe 1,2,1 \"\" x", false, "job.exe", "1,2,1", "", " x"},
    };
    for (const CommandLineCase& row : cases) {
        SCOPED_TRACE("command line [" + row.text + "]");
        Settings settings{};
        EXPECT_EQ(ReadSettings(row.text.c_str(), settings), row.accepted);
        EXPECT_EQ(std::string(settings.ExecutableName.data()), row.executable);
        EXPECT_EQ(std::string(settings.OptionsText.data()), row.options);
        EXPECT_EQ(std::string(settings.OtherParams), row.otherParams);
        if (row.accepted) {
            EXPECT_EQ(std::string(settings.Dirname.data()), row.dirname);
        }
    }
}

TEST(ReadSettings, OtherParamsPointsIntoTheCommandLine)
{
    const char text[] = "job.exe 1,2 D:\\drop -x %1";
    Settings settings{};
    ASSERT_TRUE(ReadSettings(text, settings));
    EXPECT_EQ(settings.OtherParams, text + 19);
}

struct NumbersCase {
    std::string options;
    std::uint32_t failureFrom;
    std::uint32_t failureTo;
    std::uint32_t priorityClass;
};

TEST(ReadSettings, NumbersTable)
{
    const NumbersCase cases[] = {
        {"", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"x", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"5", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"2,7", 2, 7, NORMAL_PRIORITY_CLASS},
        {"2,7,", 2, 7, NORMAL_PRIORITY_CLASS},
        {"2,7,x", 2, 7, NORMAL_PRIORITY_CLASS},
        {"0,0,1", 0, 0, NORMAL_PRIORITY_CLASS},
        {"1,5,0", 1, 5, IDLE_PRIORITY_CLASS},
        {"1,5,-3", 1, 5, IDLE_PRIORITY_CLASS},
        {"1,5,2", 1, 5, HIGH_PRIORITY_CLASS},
        {"1,5,99", 1, 5, HIGH_PRIORITY_CLASS},
        {"1,2,3000000000", 1, 2, IDLE_PRIORITY_CLASS},
        {"+3,+4,+2", 3, 4, HIGH_PRIORITY_CLASS},
        {"0x10,0x1F,1", 16, 31, NORMAL_PRIORITY_CLASS},
        {"0X10,0Xa,1", 16, 10, NORMAL_PRIORITY_CLASS},
        {"010,020,1", 8, 16, NORMAL_PRIORITY_CLASS},
        {"08,5,1", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"5,08,1", 5, 0, NORMAL_PRIORITY_CLASS},
        {"-1,-1,1", 0xFFFFFFFF, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"1,4294967295,1", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"0xC0000000,0xFFFFFFFF,1", 0xC0000000, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"1, 2, 0", 1, 2, IDLE_PRIORITY_CLASS},
        {"1,\t2,\n0", 1, 2, IDLE_PRIORITY_CLASS},
        {"1 ,2,0", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"0x,5,1", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"5,0x,1", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"-,5,1", 1, 0xFFFFFFFF, NORMAL_PRIORITY_CLASS},
        {"1,2,3,4", 1, 2, HIGH_PRIORITY_CLASS},
        {"1,2,3xyz", 1, 2, HIGH_PRIORITY_CLASS},
        // Too long for 32 bits: the low 32 bits are kept.
        {"4294967296,4294967297,1", 0, 1, NORMAL_PRIORITY_CLASS},
        {"0x123456789,-4294967295,1", 0x23456789, 1, NORMAL_PRIORITY_CLASS},
        {"-0x10,-010,1", 0xFFFFFFF0, 0xFFFFFFF8, NORMAL_PRIORITY_CLASS},
        {"1,2,0x7FFFFFFF", 1, 2, HIGH_PRIORITY_CLASS},
        {"1,2,0x80000000", 1, 2, IDLE_PRIORITY_CLASS},
    };
    for (const NumbersCase& row : cases) {
        SCOPED_TRACE("options [" + row.options + "]");
        const std::string text = "job.exe \"" + row.options + "\" D:\\drop";
        Settings settings{};
        ASSERT_TRUE(ReadSettings(text.c_str(), settings));
        EXPECT_EQ(std::string(settings.OptionsText.data()), row.options);
        EXPECT_EQ(settings.FailureFrom, row.failureFrom);
        EXPECT_EQ(settings.FailureTo, row.failureTo);
        EXPECT_EQ(settings.PriorityClass, row.priorityClass);
    }
}

struct DirnameCase {
    std::string typed;
    std::string dirname;
    std::string searchPattern;
};

TEST(ReadSettings, DirnameAndSearchPatternTable)
{
    const DirnameCase cases[] = {
        {"D:\\drop", "D:\\drop", "D:\\drop\\*.*"},
        {"D:\\drop\\", "D:\\drop", "D:\\drop\\*.*"},
        {"D:\\drop\\\\", "D:\\drop\\", "D:\\drop\\\\*.*"},
        {"D:\\", "D:", "D:\\*.*"},
        {"\\", "", "\\*.*"},
        {"D:\\drop/", "D:\\drop/", "D:\\drop/\\*.*"},
    };
    for (const DirnameCase& row : cases) {
        SCOPED_TRACE("folder [" + row.typed + "]");
        const std::string text = "job.exe 1,2 " + row.typed;
        Settings settings{};
        ASSERT_TRUE(ReadSettings(text.c_str(), settings));
        EXPECT_EQ(std::string(settings.Dirname.data()), row.dirname);
        EXPECT_EQ(std::string(settings.SearchPattern.data()), row.searchPattern);
    }
}

// Each field holds 511 characters; the folder only 507, so that the search
// pattern (folder, separator, "*.*") fits its own 512 bytes. One more is refused
// rather than cut into another name.
TEST(ReadSettings, RefusesFieldsTooLongForTheirBuffers)
{
    struct LengthCase {
        std::string label;
        std::string text;
        bool accepted;
    };
    const std::string drop = "D:\\drop";
    const LengthCase cases[] = {
        {"program of 511", std::string(511, 'p') + " 1,2 " + drop, true},
        {"program of 512", std::string(512, 'p') + " 1,2 " + drop, false},
        {"options of 511", "job.exe 1,2," + std::string(507, '9') + " " + drop, true},
        {"options of 512", "job.exe 1,2," + std::string(508, '9') + " " + drop, false},
        {"folder of 507", "job.exe 1,2 D:\\" + std::string(504, 'd'), true},
        {"folder of 508", "job.exe 1,2 D:\\" + std::string(505, 'd'), false},
        {"folder of 507 and a separator", "job.exe 1,2 D:\\" + std::string(504, 'd') + "\\", true},
        {"folder of 511", "job.exe 1,2 D:\\" + std::string(508, 'd'), false},
        {"folder of 512", "job.exe 1,2 D:\\" + std::string(509, 'd'), false},
    };
    for (const LengthCase& row : cases) {
        SCOPED_TRACE(row.label);
        Settings settings{};
        EXPECT_EQ(ReadSettings(row.text.c_str(), settings), row.accepted);
    }
}

}  // namespace
