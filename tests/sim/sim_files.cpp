// The drop folder, its listing and its change notification, and the file
// operations of readiness and of the job runner.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "sim_internal.h"

namespace sim::detail {

namespace {

constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr std::string_view AllNames = "\\*.*";

std::string ParentOf(const std::string& path)
{
    const std::size_t separator = path.rfind('\\');
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool IsBelow(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() + 1 && path.starts_with(folder) &&
           path[folder.size()] == '\\';
}

std::string Result(BOOL result)
{
    return result != 0 ? std::string("1") : Format("0 (error %u)", W().lastError);
}

std::string Result(HANDLE handle)
{
    return handle != INVALID_HANDLE_VALUE
               ? NameOf(handle)
               : Format("INVALID_HANDLE_VALUE (error %u)", W().lastError);
}

void CopyName(const std::string& name, WIN32_FIND_DATAA* data)
{
    if (name.size() >= sizeof data->cFileName) {
        ADD_FAILURE() << "a name of " << name.size() << " characters cannot be listed";
    }
    std::snprintf(data->cFileName, sizeof data->cFileName, "%s", name.c_str());
}

bool HeldByTool(const std::string& path)
{
    return std::any_of(W().handles.begin(), W().handles.end(), [&](const auto& item) {
        return item.second.open && item.second.kind == Kind::File && item.second.path == path;
    });
}

}  // namespace

void Changed(const std::string& path)
{
    for (const auto& [value, handle] : W().handles) {
        if (handle.open && handle.kind == Kind::Change) {
            Notification& notification = W().notifications[handle.name];
            if (ParentOf(path) == handle.path ||
                (notification.subtree && IsBelow(path, handle.path))) {
                notification.signalled = true;
            }
        }
    }
}

DWORD WaitOnChange(const Handle& change, DWORD milliseconds)
{
    if (W().faults.notificationWaitFails) {
        SetError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const std::string name = change.name;
    const bool signalled = WaitFor(W().now + milliseconds, [&] {
        return W().faults.notificationStuck || W().notifications[name].signalled;
    });
    return signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

Entry* Find(const std::string& path)
{
    for (Entry& entry : W().entries) {
        if (entry.path == path) {
            return &entry;
        }
    }
    return nullptr;
}

bool Exists(const std::string& path)
{
    return Find(path) != nullptr;
}

Entry& AddFolder(const std::string& path)
{
    Entry folder;
    folder.path = path;
    folder.folder = true;
    W().entries.push_back(folder);
    Changed(path);
    return W().entries.back();
}

Entry& AddFile(const std::string& path, DWORD size)
{
    Entry file;
    file.path = path;
    file.size = size;
    W().entries.push_back(file);
    Changed(path);
    return W().entries.back();
}

void Grow(const std::string& path, DWORD size)
{
    Find(path)->size = size;
    Changed(path);
}

void Remove(const std::string& path)
{
    std::erase_if(W().entries, [&](const Entry& entry) {
        return entry.path == path || IsBelow(entry.path, path);
    });
    Changed(path);
}

void Rename(const std::string& from, const std::string& to)
{
    Find(from)->path = to;
    Changed(from);
    Changed(to);
}

void Hold(const std::string& path)
{
    Find(path)->renameError = ERROR_SHARING_VIOLATION;
}

void Release(const std::string& path)
{
    Find(path)->renameError = 0;
}

void SetListingOrder(const std::string& folder, std::initializer_list<std::string> names)
{
    std::deque<Entry> ordered;
    for (const std::string& name : names) {
        ordered.push_back(*Find(folder + "\\" + name));
    }
    for (const Entry& entry : W().entries) {
        if (ParentOf(entry.path) != folder ||
            std::find(names.begin(), names.end(), entry.path.substr(folder.size() + 1)) ==
                names.end()) {
            ordered.push_back(entry);
        }
    }
    W().entries = std::move(ordered);
}

Faults& Inject()
{
    return W().faults;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

// ---- Notification -------------------------------------------------------------

HANDLE WINAPI FindFirstChangeNotificationA(LPCSTR lpPathName, BOOL bWatchSubtree,
                                           DWORD dwNotifyFilter)
{
    const Entry* folder = Find(lpPathName);
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (W().faults.notificationSetupError != 0) {
        SetError(W().faults.notificationSetupError);
    } else if (folder == nullptr || !folder->folder) {
        SetError(ERROR_FILE_NOT_FOUND);
    } else {
        handle = Open(Kind::Change, lpPathName);
        W().notifications[NameOf(handle)] = Notification{bWatchSubtree != 0, false};
    }
    Log(W().now,
        Format("FindFirstChangeNotificationA(%s, %d, 0x%X) -> %s", Quoted(lpPathName).c_str(),
               bWatchSubtree, dwNotifyFilter, Result(handle).c_str()));
    return handle;
}

BOOL WINAPI FindNextChangeNotification(HANDLE hChangeHandle)
{
    const Handle* change = Lookup(hChangeHandle, Kind::Change, "FindNextChangeNotification");
    if (change != nullptr && !W().faults.notificationStuck) {
        W().notifications[change->name].signalled = false;
    }
    Log(W().now, Format("FindNextChangeNotification(%s) -> 1", NameOf(hChangeHandle).c_str()));
    return TRUE;
}

BOOL WINAPI FindCloseChangeNotification(HANDLE hChangeHandle)
{
    const bool closed = Close(hChangeHandle, Kind::Change, "FindCloseChangeNotification");
    Log(W().now,
        Format("FindCloseChangeNotification(%s) -> %d", NameOf(hChangeHandle).c_str(), closed));
    return closed ? TRUE : FALSE;
}

// ---- Listing --------------------------------------------------------------------

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    const std::string pattern(lpFileName);
    if (!pattern.ends_with(AllNames)) {
        ADD_FAILURE() << "listing pattern " << pattern << " does not end in \\*.*";
    }
    const std::string folderPath = pattern.substr(0, pattern.size() - AllNames.size());
    const Entry* folder = Find(folderPath);

    Listing listing;
    if (folder != nullptr && folder->folder && folder->dotEntries) {
        listing.names = {".", ".."};
    }
    for (const Entry& entry : W().entries) {
        if (ParentOf(entry.path) == folderPath) {
            listing.names.push_back(entry.path.substr(folderPath.size() + 1));
        }
    }

    HANDLE handle = INVALID_HANDLE_VALUE;
    if (W().faults.listingFails || folder == nullptr || !folder->folder) {
        SetError(ERROR_PATH_NOT_FOUND);
    } else if (listing.names.empty()) {
        SetError(ERROR_FILE_NOT_FOUND);
    } else {
        CopyName(listing.names[0], lpFindFileData);
        listing.next = 1;
        W().listings.push_back(listing);
        handle = Open(Kind::Find, folderPath, W().listings.size() - 1);
    }
    W().lastListingFailed = handle == INVALID_HANDLE_VALUE;
    const std::string first =
        handle == INVALID_HANDLE_VALUE ? "" : " " + Quoted(lpFindFileData->cFileName);
    Log(W().now, Format("FindFirstFileA(%s) -> %s%s", Quoted(lpFileName).c_str(),
                        Result(handle).c_str(), first.c_str()));
    return handle;
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData)
{
    const Handle* find = Lookup(hFindFile, Kind::Find, "FindNextFileA");
    BOOL found = FALSE;
    if (find != nullptr) {
        Listing& listing = W().listings[find->index];
        if (listing.next < listing.names.size()) {
            CopyName(listing.names[listing.next++], lpFindFileData);
            found = TRUE;
        } else {
            SetError(ERROR_NO_MORE_FILES);
        }
    }
    const std::string name = found != 0 ? " " + Quoted(lpFindFileData->cFileName) : "";
    Log(W().now,
        Format("FindNextFileA(%s) -> %d%s", NameOf(hFindFile).c_str(), found, name.c_str()));
    return found;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    bool closed = false;
    if (hFindFile == INVALID_HANDLE_VALUE) {
        // Closing the result of a failed FindFirstFileA does nothing, and is
        // fine right after one.
        if (!W().lastListingFailed) {
            ADD_FAILURE() << "FindClose(INVALID_HANDLE_VALUE) without a failed FindFirstFileA";
        }
    } else {
        closed = Close(hFindFile, Kind::Find, "FindClose");
    }
    W().lastListingFailed = false;
    Log(W().now, Format("FindClose(%s) -> %d", NameOf(hFindFile).c_str(), closed));
    return closed ? TRUE : FALSE;
}

// ---- Files -------------------------------------------------------------------------

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName)
{
    if (std::strcmp(lpExistingFileName, lpNewFileName) != 0) {
        ADD_FAILURE() << "MoveFileA to another name: " << lpExistingFileName << " -> "
                      << lpNewFileName;
    }
    const Entry* entry = Find(lpExistingFileName);
    BOOL moved = FALSE;
    if (entry == nullptr) {
        SetError(ERROR_FILE_NOT_FOUND);
    } else if (entry->renameError != 0) {
        SetError(entry->renameError);
    } else {
        moved = TRUE;  // onto its own name: nothing changes, nothing is signalled
    }
    Log(W().now, Format("MoveFileA(%s, %s) -> %s", Quoted(lpExistingFileName).c_str(),
                        Quoted(lpNewFileName).c_str(), Result(moved).c_str()));
    return moved;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    const Entry* entry = Find(lpFileName);
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (entry == nullptr) {
        SetError(ERROR_FILE_NOT_FOUND);
    } else if (entry->folder || ((dwDesiredAccess & GENERIC_READ) != 0 && entry->unreadable)) {
        SetError(ERROR_ACCESS_DENIED);  // a folder opens only with backup semantics
    } else {
        handle = Open(Kind::File, lpFileName);
        SetError(0);  // as Windows does on success: a late GetLastError sees no failure
    }
    Log(W().now,
        Format("CreateFileA(%s, 0x%X, 0x%X, %s, %u, 0x%X, %s) -> %s", Quoted(lpFileName).c_str(),
               dwDesiredAccess, dwShareMode,
               lpSecurityAttributes == nullptr ? "NULL" : "attributes", dwCreationDisposition,
               dwFlagsAndAttributes, NameOf(hTemplateFile).c_str(), Result(handle).c_str()));
    return handle;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    const Handle* file = Lookup(hFile, Kind::File, "GetFileSize");
    DWORD size = INVALID_FILE_SIZE;
    Entry* entry = file != nullptr ? Find(file->path) : nullptr;
    if (entry != nullptr && !entry->readings.empty()) {
        size = entry->readings.front();
        entry->readings.pop_front();
    } else if (entry != nullptr) {
        size = entry->size;
    }
    Log(W().now, Format("GetFileSize(%s, %s) -> %u", NameOf(hFile).c_str(),
                        lpFileSizeHigh == nullptr ? "NULL" : "high", size));
    return size;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    const auto found = W().handles.find(reinterpret_cast<std::uintptr_t>(hObject));
    Kind kind = Kind::File;
    if (found != W().handles.end() &&
        (found->second.kind == Kind::Process || found->second.kind == Kind::Thread)) {
        kind = found->second.kind;
    }
    const bool closed = Close(hObject, kind, "CloseHandle");
    Log(W().now, Format("CloseHandle(%s) -> %d", NameOf(hObject).c_str(), closed));
    return closed ? TRUE : FALSE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    const Entry* entry = Find(lpFileName);
    BOOL deleted = FALSE;
    if (entry == nullptr) {
        SetError(ERROR_FILE_NOT_FOUND);
    } else if (entry->folder || entry->undeletable) {
        SetError(ERROR_ACCESS_DENIED);
    } else if (entry->renameError == ERROR_SHARING_VIOLATION || HeldByTool(lpFileName)) {
        SetError(ERROR_SHARING_VIOLATION);  // an open handle that does not share deletion
    } else {
        Remove(lpFileName);
        deleted = TRUE;
    }
    Log(W().now,
        Format("DeleteFileA(%s) -> %s", Quoted(lpFileName).c_str(), Result(deleted).c_str()));
    return deleted;
}
