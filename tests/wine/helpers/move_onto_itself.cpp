// move_onto_itself.exe FILE
//
// Renames FILE onto its own name, the test that Skorvel uses to learn whether
// another process still holds a file. Ends with 0 when the rename succeeded,
// otherwise with the last error that it left (ERROR_SHARING_VIOLATION, 32,
// while a holder does not share deletion).
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 255;
    }
    if (MoveFileA(argv[1], argv[1]) != 0) {
        return 0;
    }
    return static_cast<int>(GetLastError());
}
