#include "job/name_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
    std::string program;
    std::string name;
    bool safe;
};

TEST(IsNameSafeToRun, Table)
{
    const NameCase cases[] = {
        {"conv.exe", "report.txt", true},
        {"conv.exe", "my report.txt", true},
        {"conv.exe", "a&b(1)%x!.txt", true},  // only a batch file's interpreter acts on these
        {"conv.exe", "caf\xE9.txt", true},
        {"conv.exe", "a\"b", false},
        {"conv.exe", "a\" \"-rf", false},
        {"conv.exe", "name\\", false},
        {"conv.exe", "line\nfeed", false},
        {"conv.exe", "tab\there", false},
        {"conv.exe", "del\x7F", false},
        {"run.bat", "report.txt", true},
        {"run.bat", "my report.txt", true},
        {"D:\\tools\\Run.BAT", "a&calc.txt", false},
        {"run.cmd", "a|b", false},
        {"run.cmd", "a<b", false},
        {"run.cmd", "a>b", false},
        {"run.cmd", "a^b", false},
        {"run.cmd", "report (1).txt", false},
        {"run.cmd", "x)else(echo,hi", false},
        {"run.cmd", "%PATH%", false},
        {"run.cmd", "a!b!", false},
        {"run.cmd", "a,b;c=d", true},  // separate a batch file's arguments, never run anything
        {"run.bat.exe", "a&b", true},
        {"D:\\tools\\run.bat.", "a&b", false},     // Windows drops trailing dots
        {"D:\\tools\\run.bat ", "a&b", false},     // and trailing blanks
        {"D:\\tools\\run.cmd -x", "a&b", false},   // the program ends at the blank
        {"D:\\tools\\run.cmd\t-x", "a&b", false},  // or at a tab
        {"cmd", "a&b", false},                     // the interpreter itself
        {"C:\\Windows\\System32\\CMD.EXE", "a%b", false},
        {"cmd.exe", "report.txt", true},
        {"D:\\cmdtools\\conv.exe", "a&b", true},
        {"D:\\tools\\mycmd.exe", "a&b", true},
    };
    for (const NameCase& row : cases) {
        SCOPED_TRACE("program [" + row.program + "] name [" + row.name + "]");
        EXPECT_EQ(IsNameSafeToRun(row.program.c_str(), row.name.c_str()), row.safe);
    }
}

}  // namespace
