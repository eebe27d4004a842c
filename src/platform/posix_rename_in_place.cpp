// MoveFileA(p, p) on POSIX: "can this file be moved?", read as "does no other
// process have it open for writing?".
//
// Renaming a file to its own name always succeeds on POSIX, even while a
// writer is busy with it, so it tells nothing and is never done: the file is
// not touched. Instead:
//   1. a read lease: the kernel refuses one (EAGAIN) while any descriptor is
//      open for writing on the file, whoever holds it; taken and dropped at
//      once. Allowed on the tool's own files, or with CAP_LEASE.
//   2. where a lease is not allowed (another user's file without CAP_LEASE, a
//      file system without leases), a scan of /proc/*/fd for a descriptor on
//      the same file whose flags allow writing. It sees the processes that
//      the tool may inspect: all of them as root, else those of its own user.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix_handles.h"

namespace {

enum class Writers { None, Some, Unknown };

bool IsAllDigits(const char* text)
{
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

Writers LeaseTest(const char* path, const struct stat& expected)
{
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Writers::Unknown;  // no right to read it, say: the scan can still look
    }
    struct stat status {};
    Writers answer = Writers::Unknown;
    if (fstat(fd, &status) == 0 && status.st_dev == expected.st_dev &&
        status.st_ino == expected.st_ino) {
        if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            fcntl(fd, F_SETLEASE, F_UNLCK);
            answer = Writers::None;
        } else if (errno == EAGAIN) {
            answer = Writers::Some;
        }
    }
    close(fd);
    return answer;
}

// Room for "/proc/<pid>/fdinfo/<fd>" with any two directory entry names.
using ProcPath = std::array<char, sizeof "/proc//fdinfo/" + 2 * NAME_MAX>;

// True when /proc/<pid>/fdinfo/<fd> says the descriptor was opened for writing.
bool IsOpenForWriting(const char* process, const char* descriptor)
{
    ProcPath path{};
    std::snprintf(path.data(), path.size(), "/proc/%s/fdinfo/%s", process, descriptor);
    FILE* info = std::fopen(path.data(), "re");
    if (info == nullptr) {
        return false;
    }
    std::array<char, 128> line{};
    bool writing = false;
    while (std::fgets(line.data(), static_cast<int>(line.size()), info) != nullptr) {
        if (std::strncmp(line.data(), "flags:", 6) == 0) {
            const unsigned long flags = std::strtoul(line.data() + 6, nullptr, 8);
            writing = (flags & O_ACCMODE) != O_RDONLY;
            break;
        }
    }
    std::fclose(info);
    return writing;
}

bool ProcessWritesFile(const char* process, const struct stat& file)
{
    ProcPath fdDir{};
    std::snprintf(fdDir.data(), fdDir.size(), "/proc/%s/fd", process);
    DIR* descriptors = opendir(fdDir.data());
    if (descriptors == nullptr) {
        return false;  // gone, or not ours to inspect
    }
    bool writes = false;
    while (const dirent* entry = readdir(descriptors)) {
        struct stat target {};
        // fstatat follows the descriptor's link to the open file itself.
        if (!IsAllDigits(entry->d_name) ||
            fstatat(dirfd(descriptors), entry->d_name, &target, 0) != 0 ||
            target.st_dev != file.st_dev || target.st_ino != file.st_ino) {
            continue;
        }
        if (IsOpenForWriting(process, entry->d_name)) {
            writes = true;
            break;
        }
    }
    closedir(descriptors);
    return writes;
}

Writers ScanOtherProcesses(const struct stat& file)
{
    DIR* processes = opendir("/proc");
    if (processes == nullptr) {
        return Writers::Unknown;
    }
    ProcPath self{};
    std::snprintf(self.data(), self.size(), "%ld", static_cast<long>(getpid()));
    Writers answer = Writers::None;
    while (const dirent* entry = readdir(processes)) {
        if (!IsAllDigits(entry->d_name) || std::strcmp(self.data(), entry->d_name) == 0) {
            continue;
        }
        if (ProcessWritesFile(entry->d_name, file)) {
            answer = Writers::Some;
            break;
        }
    }
    closedir(processes);
    return answer;
}

}  // namespace

// Only the rename of a file to its own name is supported: it succeeds when no
// other process has the file open for writing, and fails with
// ERROR_SHARING_VIOLATION while one does, or with ERROR_FILE_NOT_FOUND when
// the file is gone. A folder or other non-file has no writers: it succeeds,
// and the open for reading then turns it away.
BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    if (std::strcmp(lpExistingFileName, lpNewFileName) != 0) {
        SetLastErrorCode(ENOTSUP);
        return FALSE;
    }
    struct stat file {};
    if (stat(lpExistingFileName, &file) != 0) {
        SetLastErrorCode(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND
                                                             : static_cast<DWORD>(errno));
        return FALSE;
    }
    if (!S_ISREG(file.st_mode)) {
        return TRUE;
    }
    Writers writers = LeaseTest(lpExistingFileName, file);
    if (writers == Writers::Unknown) {
        writers = ScanOtherProcesses(file);
    }
    if (writers == Writers::None) {
        return TRUE;
    }
    // Unknown here means /proc could not be read at all: waiting is the safe side.
    SetLastErrorCode(ERROR_SHARING_VIOLATION);
    return FALSE;
}
