// The job that the end-to-end tests give Skorvel to run.
//
// It records what it was started with: its whole command line (as
// GetCommandLineA gives it) on the first line and its working folder on the
// second, in a file of its own in the folder that SKORVEL_TEST_RECORDS names.
// Then it ends with the exit code that its command line asks for: the number
// after the first "exit=" anywhere in it (so the template or the dropped
// file's name can choose it), or 0.
#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int RequestedExitCode(const char* commandLine)
{
    const char* request = std::strstr(commandLine, "exit=");
    return request == nullptr ? 0 : static_cast<int>(std::strtol(request + 5, nullptr, 10));
}

// Writes the record under a temporary name and renames it into place, so a
// reader on the other side never sees half a record.
bool WriteRecord(const char* folder, const char* commandLine)
{
    std::array<char, MAX_PATH> workingFolder{};
    if (GetCurrentDirectoryA(static_cast<DWORD>(workingFolder.size()), workingFolder.data()) == 0) {
        return false;
    }
    const auto pid = static_cast<unsigned long>(GetCurrentProcessId());
    std::array<char, MAX_PATH> partial{};
    std::array<char, MAX_PATH> complete{};
    std::snprintf(partial.data(), partial.size(), "%s\\job-%lu.partial", folder, pid);
    std::snprintf(complete.data(), complete.size(), "%s\\job-%lu.txt", folder, pid);

    std::FILE* file = std::fopen(partial.data(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fprintf(file, "%s\n%s\n", commandLine, workingFolder.data()) > 0;
    const bool closed = std::fclose(file) == 0;
    return written && closed && MoveFileA(partial.data(), complete.data()) != 0;
}

}  // namespace

int main()
{
    const char* commandLine = GetCommandLineA();
    const char* folder = std::getenv("SKORVEL_TEST_RECORDS");
    if (folder == nullptr || !WriteRecord(folder, commandLine)) {
        return 199;  // a code no test asks for: the record is missing, so the test fails loudly
    }
    return RequestedExitCode(commandLine);
}
