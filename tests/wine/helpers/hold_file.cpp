// hold_file.exe FILE READY RELEASE
//
// Creates FILE and holds it open for writing the way a slow writer does:
// sharing reading and writing but not deletion, so no other process can
// rename or delete it meanwhile. Once it holds the file it creates READY;
// it closes the file and ends (exit code 0) when RELEASE appears. Ends with 1
// when FILE cannot be created, and lets go after two minutes in any case so
// that a test that failed half-way leaves nothing held behind.
#include <windows.h>

namespace {

constexpr DWORD PollMs = 50;
constexpr DWORD LongestHoldMs = 120000;

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool Touch(const char* path)
{
    const HANDLE marker =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(marker);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        return 2;
    }
    const HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    constexpr char Content[] = "held\n";
    DWORD written = 0;
    WriteFile(file, Content, sizeof Content - 1, &written, nullptr);
    if (!Touch(argv[2])) {
        CloseHandle(file);
        return 1;
    }
    for (DWORD waited = 0; !Exists(argv[3]) && waited < LongestHoldMs; waited += PollMs) {
        Sleep(PollMs);
    }
    CloseHandle(file);
    return 0;
}
