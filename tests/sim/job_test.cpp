// Jobs: the command line, the launch and its second try, the wait, and the
// judgement of the exit code with its deletion or notice.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/run_job.h"
#include "platform/platform.h"
#include "scenario.h"

namespace {

using Job = Scenario;

const std::string File = InDrop("a.txt");
const std::string Conv = R"(conv.exe  D:\in\a.txt)";  // for the template " %1"

// Runs one job on D:\in\a.txt with the settings of `commandLine`.
void RunOn(const Settings& settings)
{
    sim::AddFolder(DropFolder);
    sim::AddFile(File, 10);
    RunJob(settings, File.c_str(), "a.txt");
}

// The operations of the job's last steps, in the order they were called.
std::vector<std::string> Ending()
{
    std::vector<std::string> names;
    for (const std::string& call :
         sim::CallTexts({"GetExitCodeProcess", "CloseHandle", "DeleteFileA", "MessageBoxA"})) {
        names.push_back(call.substr(0, call.find('(')));
    }
    return names;
}

TEST_F(Job, StartsDetachedAtItsPriorityInTheDropFolder)
{
    const struct {
        const char* options;
        DWORD creationFlags;
    } rows[] = {{"1,-1,0", 0x48}, {"1,-1,1", 0x28}, {"1,-1,2", 0x88}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        sim::Reset();
        sim::AddProgram(Conv);
        RunOn(Configure(std::string("conv.exe ") + row.options + R"( D:\in %1)"));

        ASSERT_EQ(sim::Launches().size(), 1u);
        const sim::Launch& launch = sim::Launches()[0];
        EXPECT_TRUE(launch.applicationNameNull);
        EXPECT_EQ(launch.commandLine, Conv);
        EXPECT_TRUE(launch.securityAttributesNull);
        EXPECT_EQ(launch.inheritHandles, FALSE);
        EXPECT_EQ(launch.creationFlags, row.creationFlags);
        EXPECT_TRUE(launch.environmentNull);
        EXPECT_EQ(launch.currentDirectory, DropFolder);
        EXPECT_EQ(launch.startup.cb, sizeof(STARTUPINFOA));
        EXPECT_EQ(launch.startup.dwFlags, STARTF_FORCEONFEEDBACK);
        EXPECT_EQ(launch.startup.lpReserved, nullptr);
        EXPECT_EQ(launch.startup.lpDesktop, nullptr);
        EXPECT_EQ(launch.startup.lpTitle, nullptr);
        EXPECT_EQ(launch.startup.cbReserved2, 0);
        EXPECT_EQ(launch.startup.lpReserved2, nullptr);
        EXPECT_FALSE(sim::Exists(File));
        EXPECT_TRUE(sim::Notices().empty());
        EXPECT_TRUE(sim::OpenHandles().empty());
    }
}

TEST_F(Job, SecondTryHasThePriorityClassAlone)
{
    const struct {
        const char* options;
        sim::Start start;
        DWORD firstFlags;
        DWORD secondFlags;
        bool started;
    } rows[] = {
        {"1,-1,0", sim::Start::RefusesDetached, 0x48, 0x40, true},
        {"1,-1,1", sim::Start::RefusesDetached, 0x28, 0x20, true},
        {"1,-1,2", sim::Start::RefusesDetached, 0x88, 0x80, true},
        {"1,-1,1", sim::Start::Refuses, 0x28, 0x20, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.options) + (row.started ? " second try starts" : " refused"));
        sim::Reset();
        sim::AddProgram(Conv).start = row.start;
        RunOn(Configure(std::string("conv.exe ") + row.options + R"( D:\in %1)"));

        ASSERT_EQ(sim::Launches().size(), 2u);
        EXPECT_EQ(sim::Launches()[0].creationFlags, row.firstFlags);
        EXPECT_EQ(sim::Launches()[1].creationFlags, row.secondFlags);
        EXPECT_EQ(sim::Launches()[1].commandLine, Conv);
        EXPECT_EQ(sim::Launches()[1].currentDirectory, DropFolder);
        EXPECT_EQ(sim::Exists(File), !row.started);
        if (row.started) {
            EXPECT_TRUE(sim::Notices().empty());
        } else {
            // The command line itself is the text; nothing was waited for.
            ASSERT_EQ(sim::Notices().size(), 1u);
            EXPECT_EQ(sim::Notices()[0].text, Conv);
            EXPECT_EQ(sim::Notices()[0].caption, "Could not execute:");
            EXPECT_EQ(sim::Notices()[0].type, MB_OK);
            EXPECT_TRUE(sim::CallTexts({"WaitForSingleObject"}).empty());
        }
        EXPECT_TRUE(sim::OpenHandles().empty());
    }
}

TEST_F(Job, CommandLineIsTheProgramOneBlankAndTheExpansion)
{
    const struct {
        const char* settings;
        const char* commandLine;
    } rows[] = {
        {R"(conv.exe 1,-1,1 D:\in %1)", R"(conv.exe  D:\in\a.txt)"},
        {R"(conv.exe 1,-1,1 D:\in)", "conv.exe "},  // empty template: one trailing blank
        {R"(conv.exe 1,-1,1 D:\in   -x %~n.x1  )", "conv.exe    -x a.txt  "},
        {R"("C:\My Tools\conv.exe" 1,-1,1 "D:\in"-o %~qn1)", R"(C:\My Tools\conv.exe -o a)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.settings);
        sim::Reset();
        sim::AddProgram(row.commandLine);
        RunOn(Configure(row.settings));
        ASSERT_EQ(sim::Launches().size(), 1u);
        EXPECT_EQ(sim::Launches()[0].commandLine, row.commandLine);
        EXPECT_FALSE(sim::Exists(File));
    }
}

TEST_F(Job, ExitCodeIsJudgedByTheFailureRange)
{
    const std::string Stays = "\nThe file D:\\in\\a.txt will not be removed.";
    const struct {
        const char* settings;
        const char* commandLine;
        DWORD exitCode;
        std::string notice;  // empty: a success, the file is deleted
    } rows[] = {
        {R"(conv.exe 1,-1 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 0, ""},
        {R"(conv.exe 1,-1 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 1,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 1 (0x1)." + Stays},
        {R"(conv.exe 1,-1 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 255,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 255 (0xFF)." +
             Stays},
        {R"(conv.exe 1,-1 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 0xFFFFFFFF,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 4294967295 "
         "(0xFFFFFFFF)." +
             Stays},
        {R"(conv.exe 1,-1 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 0xABCDEF,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 11259375 "
         "(0xABCDEF)." +
             Stays},
        {R"(conv.exe 0,0 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 7, ""},
        {R"(conv.exe 0,0 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 0,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 0 (0x0)." + Stays},
        {R"(conv.exe 5,2 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 3, ""},
        {R"(conv.exe 5,2 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 2,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 2 (0x2)." + Stays},
        {R"(conv.exe -5,5 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 6, ""},
        {R"(conv.exe -5,5 D:\in %1)", R"(conv.exe  D:\in\a.txt)", 0xFFFFFFFB,
         "Call to conv.exe with parameters \n D:\\in\\a.txt\nreturned error code 4294967291 "
         "(0xFFFFFFFB)." +
             Stays},
        // The notice shows the expansion, not the command line: empty here.
        {R"(conv.exe 1,-1 D:\in)", "conv.exe ", 1,
         "Call to conv.exe with parameters \n\nreturned error code 1 (0x1)." + Stays},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.settings) + " exit code " + std::to_string(row.exitCode));
        sim::Reset();
        sim::AddProgram(row.commandLine).exitCode = row.exitCode;
        RunOn(Configure(row.settings));

        // Both handles are closed before the file is judged.
        const bool success = row.notice.empty();
        const std::vector<std::string> ending = {"GetExitCodeProcess", "CloseHandle", "CloseHandle",
                                                 success ? "DeleteFileA" : "MessageBoxA"};
        EXPECT_EQ(Ending(), ending);
        EXPECT_EQ(sim::Exists(File), !success);
        if (success) {
            EXPECT_TRUE(sim::Notices().empty());
            continue;
        }
        ASSERT_EQ(sim::Notices().size(), 1u);
        EXPECT_EQ(sim::Notices()[0].text, row.notice);
        EXPECT_EQ(sim::Notices()[0].caption, "Error!");
        EXPECT_EQ(sim::Notices()[0].type, MB_SYSTEMMODAL | MB_ICONINFORMATION);
        EXPECT_TRUE(sim::Notices()[0].openHandles.empty());
    }
}

// The wait looks at the queue after every 50 ms slice that times out and
// takes one message off, unlooked-at: the quit message is lost too.
TEST_F(Job, WaitsInSlicesAndDropsTheMessagesItFinds)
{
    sim::AddProgram(Conv).runMs = 180;
    sim::PostAt(10, 0x400);
    sim::PostAt(20, WM_QUIT);
    sim::PostAt(60, 0x401);
    sim::PostAt(70, 0x402);
    RunOn(Configure(R"(conv.exe 1,-1,1 D:\in %1)"));

    ExpectSameLines(
        Timeline(),
        {
            R"(0 CreateProcessA(NULL, "conv.exe  D:\in\a.txt", NULL, NULL, 0, 0x28, NULL, "D:\in") -> 1 process#1 thread#2)",
            R"(0 WaitForSingleObject(process#1, 50) -> 0x102)",
            R"(50 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x400])",
            R"(50 GetMessageA(NULL, 0, 0) -> 1 [0x400])",
            R"(50 WaitForSingleObject(process#1, 50) -> 0x102)",
            R"(100 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x12])",
            R"(100 GetMessageA(NULL, 0, 0) -> 0 [0x12])",
            R"(100 WaitForSingleObject(process#1, 50) -> 0x102)",
            R"(150 PeekMessageA(NULL, 0, 0, 0) -> 1 [0x401])",
            R"(150 GetMessageA(NULL, 0, 0) -> 1 [0x401])",
            R"(150 WaitForSingleObject(process#1, 50) -> 0x0)",
            R"(180 GetExitCodeProcess(process#1) -> 1, code 0)",
            R"(180 CloseHandle(process#1) -> 1)",
            R"(180 CloseHandle(thread#2) -> 1)",
            R"(180 DeleteFileA("D:\in\a.txt") -> 1)",
        });
    EXPECT_EQ(sim::QueuedMessages(), 1u);  // one message per slice: 0x402 is still there
}

// A wait that fails, or an exit code that cannot be read, never counts as a
// success: the file stays and the notice says that no code came back.
TEST_F(Job, OutcomeThatCannotBeLearntKeepsTheFile)
{
    const struct {
        const char* fault;
        bool waitFails;
        bool exitCodeUnreadable;
    } rows[] = {{"the wait fails", true, false}, {"the exit code cannot be read", false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        sim::Reset();
        sim::Program& program = sim::AddProgram(Conv);
        program.runMs = 120;
        program.waitFails = row.waitFails;
        program.exitCodeUnreadable = row.exitCodeUnreadable;  // its code would be 0, a success
        RunOn(Configure(R"(conv.exe 1,-1,1 D:\in %1)"));

        EXPECT_TRUE(sim::Exists(File));
        ASSERT_EQ(sim::Notices().size(), 1u);
        EXPECT_EQ(sim::Notices()[0].text,
                  "Call to conv.exe with parameters \n D:\\in\\a.txt\ndid not report an exit "
                  "code.\nThe file D:\\in\\a.txt will not be removed.");
        EXPECT_EQ(sim::Notices()[0].caption, "Error!");
        EXPECT_EQ(sim::Notices()[0].type, MB_SYSTEMMODAL | MB_ICONINFORMATION);
        EXPECT_TRUE(sim::Notices()[0].openHandles.empty());
        // A failing wait is not repeated.
        EXPECT_EQ(sim::CallTexts({"WaitForSingleObject"}).size(), row.waitFails ? 1u : 3u);
    }
}

TEST_F(Job, SuccessWhoseFileCannotBeDeletedShowsNothing)
{
    sim::AddProgram(Conv);
    sim::AddFolder(DropFolder);
    sim::AddFile(File).undeletable = true;
    RunJob(Configure(R"(conv.exe 1,-1,1 D:\in %1)"), File.c_str(), "a.txt");

    EXPECT_EQ(sim::CallTexts({"DeleteFileA"}),
              std::vector<std::string>{R"(DeleteFileA("D:\in\a.txt") -> 0 (error 5))"});
    EXPECT_TRUE(sim::Exists(File));
    EXPECT_TRUE(sim::Notices().empty());
}

}  // namespace
