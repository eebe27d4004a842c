// The POSIX layer's handles and last error, shared by its parts.
//
// Every HANDLE that the layer gives out points at one of the records below;
// the kind tag lets CloseHandle and WaitForSingleObject tell them apart. The
// core never looks inside a handle, and only ever passes back handles that
// this layer made.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <string>
#include <unordered_map>

#include "platform/platform.h"

enum class HandleKind { File, Listing, Notification, Process, Thread };

struct PosixHandle {
    HandleKind kind;
};

struct FileHandle : PosixHandle {
    int fd;
};

struct ListingHandle : PosixHandle {
    DIR* stream;
};

struct NotificationHandle : PosixHandle {
    int inotifyFd;
    std::string root;                              // the drop folder as named
    std::unordered_map<int, std::string> folders;  // watch descriptor -> folder path
};

struct ProcessHandle : PosixHandle {
    pid_t pid;
    int pidfd;   // -1 where the kernel has no pidfd_open
    bool ended;  // reaped: `status` holds its wait status
    int status;
};

// Sets the code that GetLastError returns. The layer stores errno values,
// except where the core tells Windows codes apart (ERROR_SHARING_VIOLATION
// from MoveFileA); ENOENT is 2, which is also ERROR_FILE_NOT_FOUND.
void SetLastErrorCode(DWORD code);
void SetLastErrorFromErrno();

// The notification's and the process's sides of WaitForSingleObject.
DWORD WaitForNotification(NotificationHandle& notification, DWORD milliseconds);
DWORD WaitForProcess(ProcessHandle& process, DWORD milliseconds);
void CloseNotification(NotificationHandle* notification);
void CloseProcess(ProcessHandle* process);

// The read end of the pipe that SIGINT, SIGTERM and SIGHUP write to, or -1
// before InstallQuitSignals. Readable while a quit message waits to be taken.
int QuitSignalFd();

// Makes SIGINT, SIGTERM and SIGHUP post WM_QUIT, and ignores the signals that
// would otherwise end the tool behind its back: SIGPIPE (stderr gone) and
// SIGIO (a writer breaking the read lease that MoveFileA holds for a moment).
void InstallQuitSignals();
