#include "drop_folder_run.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string_view>

namespace {

std::filesystem::path MakeTemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "skorvel-wine-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    return pattern;
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

void DropFolderRun::SetUp()
{
    root_ = MakeTemporaryFolder();
    drop_ = root_ / "drop";
    records_ = root_ / "records";
    std::filesystem::create_directory(drop_);
    std::filesystem::create_directory(records_);
    dropWindows_ = wine::WindowsPath(drop_);
    wine::LogTo(root_ / "wine.log");
}

void DropFolderRun::TearDown()
{
    // A test that failed half-way may have left the tool running: ask it to
    // stop, and only then take the launcher down.
    if (launcher_) {
        Drop("close!");
        if (!WaitForToolExit()) {
            wine::Kill(*launcher_);
        }
    }
    if (HasFailure()) {
        std::cout << "Wine's output:\n" << ReadAll(root_ / "wine.log") << std::flush;
    }
    wine::LogTo("/dev/null");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void DropFolderRun::StartTool(const std::string& commandLine)
{
    launcher_ =
        wine::Start(wine::Helper("launch"),
                    {wine::WindowsPath(wine::SkorvelExe()), wine::WindowsPath(root_ / "thread-id")},
                    {"SKORVEL_COMMAND_LINE=" + commandLine,
                     "SKORVEL_TEST_RECORDS=" + wine::WindowsPath(records_)});
}

std::optional<int> DropFolderRun::WaitForToolExit()
{
    if (!launcher_) {
        return std::nullopt;
    }
    const std::optional<int> exitCode = wine::WaitForExit(*launcher_);
    if (exitCode) {
        launcher_.reset();
    }
    return exitCode;
}

std::optional<int> DropFolderRun::StopTool(const std::string& name)
{
    Drop(name);
    return WaitForToolExit();
}

void DropFolderRun::Drop(const std::string& relative, const std::string& content)
{
    const std::filesystem::path path = drop_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

bool DropFolderRun::Exists(const std::string& relative) const
{
    return std::filesystem::exists(drop_ / relative);
}

void DropFolderRun::Poke(const std::string& folder) const
{
    static unsigned count = 0;
    std::ofstream(drop_ / folder / ".poke", std::ios::binary) << ++count << '\n';
}

bool DropFolderRun::WaitForJobs(std::size_t count)
{
    return wine::WaitUntil([&] { return Records().size() >= count; }, [&] { Poke(); });
}

std::vector<JobRecord> DropFolderRun::Records() const
{
    std::vector<JobRecord> records;
    for (const auto& entry : std::filesystem::directory_iterator(records_)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("job-") || !name.ends_with(".txt")) {
            continue;  // a record still being written
        }
        std::istringstream text(ReadAll(entry.path()));
        JobRecord record;
        std::getline(text, record.commandLine);
        std::getline(text, record.workingFolder);
        records.push_back(record);
    }
    return records;
}

std::string DropFolderRun::JobProgram() const
{
    return wine::WindowsPath(wine::Helper("test_job"));
}

std::string DropFolderRun::WindowsPathInDrop(const std::string& relative) const
{
    return dropWindows_ + "\\" + relative;
}
