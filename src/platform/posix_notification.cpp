// Change notification on POSIX: one inotify instance watching the drop folder
// and every folder below it.
//
// inotify watches single folders, so the tree is walked at the start and each
// folder that appears later (created, moved in, renamed) is walked and added
// when its event is read. The handle is signalled while events are pending;
// WaitForSingleObject only polls, FindNextChangeNotification reads them.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix_handles.h"

namespace {

// Names created, deleted or moved; content written or closed after writing;
// and times set (touch), which Windows reports as a last-write change. Opens,
// reads and plain closes are left out: the tool's own readiness tests and the
// jobs' reads would otherwise wake it for ever.
constexpr std::uint32_t ChangeMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF |
                                     IN_MOVE_SELF;
// Below the drop folder symbolic links are not followed: a link to a folder
// elsewhere is not part of the tree (and could make it endless).
constexpr std::uint32_t SubfolderMask = ChangeMask | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr std::uint32_t RootMask = ChangeMask | IN_ONLYDIR;

// Reading stops after this many buffers even if events keep coming (a busy
// writer); what is left signals the next wait.
constexpr int MostReadsPerRearm = 64;

bool IsFolderEntry(int parentFd, const dirent& entry)
{
    if (entry.d_type == DT_DIR) {
        return true;
    }
    if (entry.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat status {};
    return fstatat(parentFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(status.st_mode);
}

bool IsDotOrDotDot(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Watches `top` and every folder below it. Folders that cannot be watched
// (gone meanwhile, no permission, the watch limit reached) are left out.
// Watching a folder twice gives back the same watch.
void WatchTree(NotificationHandle& notification, const std::string& top)
{
    std::vector<std::string> pending{top};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        // The drop folder itself may be reached through a symbolic link: the user named it.
        const std::uint32_t mask = folder == notification.root ? RootMask : SubfolderMask;
        const int wd = inotify_add_watch(notification.inotifyFd, folder.c_str(), mask);
        if (wd < 0) {
            continue;
        }
        notification.folders[wd] = folder;
        DIR* stream = opendir(folder.c_str());
        if (stream == nullptr) {
            continue;
        }
        while (const dirent* entry = readdir(stream)) {
            if (!IsDotOrDotDot(entry->d_name) && IsFolderEntry(dirfd(stream), *entry)) {
                pending.push_back(folder + '/' + entry->d_name);
            }
        }
        closedir(stream);
    }
}

// Stops watching `top` and every folder below it (a folder moved away or
// under a new name: its recorded paths are no longer true).
void UnwatchTree(NotificationHandle& notification, const std::string& top)
{
    const std::string below = top + '/';
    for (auto it = notification.folders.begin(); it != notification.folders.end();) {
        if (it->second == top || it->second.compare(0, below.size(), below) == 0) {
            inotify_rm_watch(notification.inotifyFd, it->first);
            it = notification.folders.erase(it);
        } else {
            ++it;
        }
    }
}

// Keeps the set of watched folders in step with one event.
void FollowEvent(NotificationHandle& notification, const inotify_event& event)
{
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
        // Events were lost, folder creations perhaps among them: walk again.
        WatchTree(notification, notification.root);
        return;
    }
    if ((event.mask & IN_IGNORED) != 0) {
        notification.folders.erase(event.wd);
        return;
    }
    if ((event.mask & IN_ISDIR) == 0 || event.len == 0) {
        return;
    }
    const auto parent = notification.folders.find(event.wd);
    if (parent == notification.folders.end()) {
        return;
    }
    const std::string path = parent->second + '/' + event.name;
    if ((event.mask & IN_MOVED_FROM) != 0) {
        UnwatchTree(notification, path);
    } else if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
        WatchTree(notification, path);
    }
}

}  // namespace

// Watches `lpPathName` and (always) the folders below it; the filter's
// meaning is fixed (see ChangeMask). Fails with errno as the last error when
// the path is not a folder that can be watched.
HANDLE WINAPI FindFirstChangeNotificationA(LPCSTR lpPathName, BOOL, DWORD)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return INVALID_HANDLE_VALUE;
    }
    if (inotify_add_watch(fd, lpPathName, RootMask) < 0) {
        SetLastErrorFromErrno();
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    auto* notification = new NotificationHandle{{HandleKind::Notification}, fd, lpPathName, {}};
    WatchTree(*notification, notification->root);
    return notification;
}

// Reads and drops the pending events, watching the folders they announce.
BOOL WINAPI FindNextChangeNotification(HANDLE hChangeHandle)
{
    auto& notification = *static_cast<NotificationHandle*>(hChangeHandle);
    alignas(inotify_event) std::array<char, 64 * 1024> buffer{};
    for (int reads = 0; reads < MostReadsPerRearm; ++reads) {
        const ssize_t got = read(notification.inotifyFd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // EAGAIN: nothing more pending
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            FollowEvent(notification, *event);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return TRUE;
}

BOOL WINAPI FindCloseChangeNotification(HANDLE hChangeHandle)
{
    if (hChangeHandle == nullptr || hChangeHandle == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    CloseNotification(static_cast<NotificationHandle*>(hChangeHandle));
    return TRUE;
}

void CloseNotification(NotificationHandle* notification)
{
    close(notification->inotifyFd);
    delete notification;
}

// Signalled while events are pending; nothing is consumed. A quit signal ends
// the wait early as a time-out, so that the idle loop looks at its queue at once.
DWORD WaitForNotification(NotificationHandle& notification, DWORD milliseconds)
{
    std::array<pollfd, 2> fds{{{notification.inotifyFd, POLLIN, 0}, {QuitSignalFd(), POLLIN, 0}}};
    const int ready = poll(fds.data(), fds.size(), static_cast<int>(milliseconds));
    if (ready < 0) {
        return errno == EINTR ? WAIT_TIMEOUT : WAIT_FAILED;
    }
    return (fds[0].revents & POLLIN) != 0 ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
