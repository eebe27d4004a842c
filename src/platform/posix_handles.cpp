// Closing and waiting on POSIX: each handle's kind says what it holds.

#include <unistd.h>

#include <cerrno>

#include "platform/posix_handles.h"

// Closes a handle of any kind. A job's handle may be closed before the job
// ended; it is then reaped later, never left a zombie.
BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (hObject == nullptr || hObject == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    auto* handle = static_cast<PosixHandle*>(hObject);
    switch (handle->kind) {
        case HandleKind::File: {
            auto* file = static_cast<FileHandle*>(handle);
            close(file->fd);
            delete file;
            break;
        }
        case HandleKind::Listing: return FindClose(hObject);
        case HandleKind::Notification:
            CloseNotification(static_cast<NotificationHandle*>(handle));
            break;
        case HandleKind::Process: CloseProcess(static_cast<ProcessHandle*>(handle)); break;
        case HandleKind::Thread: delete handle; break;
    }
    return TRUE;
}

// Waits on a notification or a job; other handles are never waited on.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    auto* handle = static_cast<PosixHandle*>(hHandle);
    switch (handle->kind) {
        case HandleKind::Notification:
            return WaitForNotification(*static_cast<NotificationHandle*>(handle), dwMilliseconds);
        case HandleKind::Process:
            return WaitForProcess(*static_cast<ProcessHandle*>(handle), dwMilliseconds);
        default: SetLastErrorCode(EINVAL); return WAIT_FAILED;
    }
}
