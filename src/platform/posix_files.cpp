// Listing, opening, measuring and deleting files, and pauses, on POSIX.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/posix_handles.h"

namespace {

constexpr std::string_view AllNames = "*.*";

// The folder that a pattern "folder/*.*" names. The tool lists with no other
// pattern; one without the "*.*" is taken to name the folder itself.
std::string FolderOfPattern(std::string_view pattern)
{
    if (pattern.size() >= AllNames.size() &&
        pattern.substr(pattern.size() - AllNames.size()) == AllNames) {
        pattern.remove_suffix(AllNames.size());
        if (!pattern.empty() && pattern.back() == '/') {
            pattern.remove_suffix(1);
        }
        if (pattern.empty()) {
            return "/";  // "/*.*": the root's listing
        }
    }
    return std::string(pattern);
}

// Fills `data` with the stream's next name that fits cFileName whole, or
// returns false at the end. A longer name (possible on file systems that allow
// more than 259 bytes) is skipped: a cut name would name another file.
bool NextFittingName(DIR* stream, WIN32_FIND_DATAA& data)
{
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(stream);
        if (entry == nullptr) {
            SetLastErrorCode(errno != 0 ? static_cast<DWORD>(errno) : ERROR_FILE_NOT_FOUND);
            return false;
        }
        const std::size_t length = std::strlen(entry->d_name);
        if (length < sizeof data.cFileName) {
            std::memcpy(data.cFileName, entry->d_name, length + 1);
            return true;
        }
    }
}

HANDLE OpenRegularFile(const char* path, int flags)
{
    const int fd = open(path, flags | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return INVALID_HANDLE_VALUE;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        // A folder, or a pipe, socket or device: nothing a job could take as a file.
        SetLastErrorCode(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return new FileHandle{{HandleKind::File}, fd};
}

}  // namespace

// Opens a listing of the folder that `lpFileName` ("folder/*.*") names and
// gives its first entry; "." and ".." are listed like every other name.
HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    DIR* stream = opendir(FolderOfPattern(lpFileName).c_str());
    if (stream == nullptr) {
        SetLastErrorFromErrno();
        return INVALID_HANDLE_VALUE;
    }
    if (!NextFittingName(stream, *lpFindFileData)) {
        closedir(stream);
        return INVALID_HANDLE_VALUE;
    }
    return new ListingHandle{{HandleKind::Listing}, stream};
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData)
{
    auto& listing = *static_cast<ListingHandle*>(hFindFile);
    return NextFittingName(listing.stream, *lpFindFileData) ? TRUE : FALSE;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    if (hFindFile == nullptr || hFindFile == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    auto* listing = static_cast<ListingHandle*>(hFindFile);
    closedir(listing->stream);
    delete listing;
    return TRUE;
}

// Opens a regular file. Access 0 is a probe: it needs no right to read (and
// so works like Windows' open without access); any other access opens for
// reading. Fails for a missing or unreadable file, a folder, and for pipes,
// sockets and devices (opening a pipe for reading could block the tool).
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD, DWORD, HANDLE)
{
    if (dwDesiredAccess == 0) {
        return OpenRegularFile(lpFileName, O_PATH);
    }
    return OpenRegularFile(lpFileName, O_RDONLY | O_NONBLOCK | O_NOCTTY);
}

// The size's low 32 bits (and the high ones where asked for), or
// INVALID_FILE_SIZE when it cannot be read.
DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    struct stat status {};
    if (fstat(static_cast<FileHandle*>(hFile)->fd, &status) != 0) {
        SetLastErrorFromErrno();
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (lpFileSizeHigh != nullptr) {
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    if (unlink(lpFileName) != 0) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

// A real pause of the whole time, even when a signal interrupts it (the quit
// message it posts waits in the queue).
void WINAPI Sleep(DWORD dwMilliseconds)
{
    timespec left{static_cast<time_t>(dwMilliseconds / 1000),
                  static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
