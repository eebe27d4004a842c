// post_quit.exe THREAD-ID
//
// Posts WM_QUIT to the thread with that id. Ends with 0 once posted, 1 when
// posting failed (the thread has no message queue yet, or is gone): the
// caller tries again.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 2;
    }
    const auto threadId = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    return PostThreadMessageA(threadId, WM_QUIT, 0, 0) != 0 ? 0 : 1;
}
