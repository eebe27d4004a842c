// The thread's message queue and the notices on POSIX.
//
// The only message is WM_QUIT, posted by SIGINT, SIGTERM and SIGHUP: the
// handler writes one byte to a self-pipe (the only async-signal-safe way to
// reach the queue), and the queue reads the pipe. The pipe's read end is also
// polled by the idle wait, so a signal wakes it.
//
// Once a quit signal has come, the queue holds a WM_QUIT for good. The wait
// for a running job takes every message off without effect; a quit that it
// took would otherwise be lost, and a SIGTERM that arrives during a job must
// still end the tool: so it does, at the next idle moment, once the pass
// that the job belongs to is over.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "platform/posix_handles.h"

namespace {

constexpr int IdOk = 1;

std::array<int, 2> quitPipe{-1, -1};
// Set by the handler too, so that looking at the queue (20 times a second
// while idle) costs no system call.
volatile sig_atomic_t quitArrived = 0;
bool quitSignalled = false;

extern "C" void PostQuitFromSignal(int)
{
    const int saved = errno;
    quitArrived = 1;
    const char byte = 'q';
    // A full pipe already holds plenty of quit messages: the byte may be lost.
    [[maybe_unused]] const ssize_t written = write(quitPipe[1], &byte, 1);
    errno = saved;
}

// Notes whether a quit signal has come, emptying the pipe.
void DrainQuitPipe()
{
    if (quitArrived == 0 || quitPipe[0] < 0) {
        return;
    }
    quitSignalled = true;
    std::array<char, 64> bytes{};
    for (;;) {
        const ssize_t got = read(quitPipe[0], bytes.data(), bytes.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;  // empty (EAGAIN) or no pipe
        }
    }
}

}  // namespace

int QuitSignalFd()
{
    return quitPipe[0];
}

void InstallQuitSignals()
{
    if (pipe2(quitPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        quitPipe = {-1, -1};
        return;  // without the pipe, signals keep their default action: they still end the tool
    }
    struct sigaction quit {};
    quit.sa_handler = PostQuitFromSignal;
    sigemptyset(&quit.sa_mask);
    quit.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &quit, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int signal : {SIGPIPE, SIGIO}) {
        sigaction(signal, &ignore, nullptr);
    }
}

// Nonzero when a message waits; it stays queued (PM_NOREMOVE is all the core asks for).
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND, UINT, UINT, UINT)
{
    DrainQuitPipe();
    if (!quitSignalled) {
        return FALSE;
    }
    lpMsg->message = WM_QUIT;
    return TRUE;
}

// Takes the next message off the queue, blocking until one arrives. As on
// Windows, returns 0 when it is WM_QUIT.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND, UINT, UINT)
{
    DrainQuitPipe();
    while (!quitSignalled && quitPipe[0] >= 0) {
        pollfd wait{quitPipe[0], POLLIN, 0};
        poll(&wait, 1, -1);
        DrainQuitPipe();
    }
    lpMsg->message = WM_QUIT;
    return FALSE;
}

// There is no one to press OK: the notice goes to standard error as one
// block (caption, text, blank line), written at once so that it never
// interleaves with a job's own output, and the tool carries on.
int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT)
{
    std::string block;
    block += lpCaption != nullptr ? lpCaption : "";
    block += '\n';
    block += lpText != nullptr ? lpText : "";
    block += "\n\n";
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t written = write(STDERR_FILENO, block.data() + done, block.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    return IdOk;
}
