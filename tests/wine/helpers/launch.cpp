// launch.exe PROGRAM THREAD-FILE
//
// Starts PROGRAM with exactly the command line that the environment variable
// SKORVEL_COMMAND_LINE holds (Wine would re-quote arguments passed the usual
// way), writes the id of its first thread to THREAD-FILE, waits for it to end
// and ends with its exit code. Ends with 250 when PROGRAM cannot be started.
#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int NotStarted = 250;

// Written under a temporary name and renamed into place, so a reader on the
// other side never sees an empty file.
void WriteThreadId(const char* path, DWORD threadId)
{
    std::array<char, MAX_PATH> partial{};
    std::snprintf(partial.data(), partial.size(), "%s.partial", path);
    std::FILE* file = std::fopen(partial.data(), "wb");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "%lu\n", static_cast<unsigned long>(threadId));
    std::fclose(file);
    MoveFileA(partial.data(), path);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* wanted = std::getenv("SKORVEL_COMMAND_LINE");
    if (argc != 3 || wanted == nullptr) {
        return NotStarted;
    }
    // CreateProcessA may write into the command line, so it gets a copy.
    std::array<char, 32768> commandLine{};
    if (std::strlen(wanted) >= commandLine.size()) {
        return NotStarted;
    }
    std::strcpy(commandLine.data(), wanted);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process) == 0) {
        return NotStarted;
    }
    WriteThreadId(argv[2], process.dwThreadId);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = NotStarted;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
