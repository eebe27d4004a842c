// A batch-file job runs through the command interpreter, which acts on
// characters that are legal in file names: `a&mkdir x` would make a folder. Such
// names are never run when the program is a batch file; plain names are.

#include <filesystem>
#include <fstream>
#include <string>

#include "drop_folder_run.h"

namespace {

using namespace std::chrono_literals;
using BatchJob = DropFolderRun;

TEST_F(BatchJob, NamesTheInterpreterWouldActOnNeverRun)
{
    // The batch file hands its arguments on to test_job.exe, which records them.
    const std::filesystem::path batch = root_ / "run_job.cmd";
    std::ofstream(batch, std::ios::binary)
        << "@\"" << wine::WindowsPath(wine::Helper("test_job")) << "\" %*\r\n";
    StartTool("Skorvel.exe \"" + wine::WindowsPath(batch) + "\" \"\" " + dropWindows_ + " %1");

    // A first plain file shows that batch jobs run and that the tool watches.
    Drop("first.txt");
    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("first.txt"); }, [&] { Poke(); }))
        << "a batch job with a plain name was not run";

    // The characters that Windows allows in names. (| < > and the double quote
    // cannot be shown here: Wine lists such Linux names but refuses to open
    // them, so they would never run whatever the tool decided.)
    const std::string unsafeNames[] = {
        "a&mkdir injected", "a^b.txt", "100%PATH%.txt", "a!b.txt", "report (1).txt",
    };
    for (const std::string& name : unsafeNames) {
        Drop(name);
    }
    // Give the tool passes over all of them, then one more plain file.
    wine::WaitUntil([] { return false; }, [&] { Poke(); }, 3s);
    Drop("last.txt");
    ASSERT_TRUE(wine::WaitUntil([&] { return !Exists("last.txt"); }, [&] { Poke(); }))
        << "a batch job with a plain name was not run";
    EXPECT_EQ(StopTool(), 0);

    for (const std::string& name : unsafeNames) {
        EXPECT_TRUE(Exists(name)) << name << " was run";
    }
    EXPECT_EQ(Records().size(), 2u) << "only the two plain files may have run";
    EXPECT_FALSE(Exists("injected")) << "the interpreter ran a command from a name";
}

}  // namespace
