#pragma once

// The simulated Windows world that the scenario tests run the core in.
//
// It defines every operation of platform/platform.h, so linking it in place of
// a real platform layer puts the core into a world that a test builds and
// scripts: a drop folder held in memory, a change notification, programs keyed
// by their command line, the thread's message queue, and a virtual clock that
// only Sleep and the timed waits move forward. Nothing really sleeps.
//
// Every platform call is logged with its arguments and result, every notice
// is recorded, and every handle is tracked: closing one twice, or with the
// wrong operation, fails the running test at once. The whole world is global
// (it is the platform layer) and Reset() clears it between tests.
//
// A run that would never end is stopped: past the time limit, or after too
// many calls without an end, the next platform call throws sim::Stuck.

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace sim {

using Millis = std::uint64_t;

// Clears the whole world: time 0, no files, no programs, empty logs.
void Reset();

// ---- Virtual clock ----------------------------------------------------------

Millis Now();
// Runs `event` when virtual time reaches `when` (events of one time run in the
// order they were scheduled), or at once when that time has come already. An
// event may change files, post messages, schedule events ...
void At(Millis when, std::function<void()> event);
// Past this virtual time (default 10 minutes) the run counts as stuck.
void SetTimeLimit(Millis limit);

// Thrown out of a platform call to end a run that would never end by itself.
struct Stuck {
    std::string why;
};

// ---- Drop folder ------------------------------------------------------------

// A file or folder. Paths are whole, with backslashes: D:\in\report.txt.
struct Entry {
    std::string path;
    bool folder = false;
    DWORD size = 0;
    std::deque<DWORD> readings;  // scripted GetFileSize results, one per call, then `size`
    DWORD renameError = 0;       // MoveFileA(p, p) fails with it; 0: the rename succeeds
    bool unreadable = false;     // an open for reading is refused
    bool undeletable = false;    // DeleteFileA is refused
    bool dotEntries = true;      // a folder's listing opens with "." and ".."
};

// Each of these is a change under every folder that holds the path, and
// signals a change notification set up there.
Entry& AddFolder(const std::string& path);
Entry& AddFile(const std::string& path, DWORD size = 0);
void Grow(const std::string& path, DWORD size);  // a write: new size, new last-write time
void Remove(const std::string& path);
void Rename(const std::string& from, const std::string& to);
// A writer opens the file without sharing deletion, and later lets it go.
void Hold(const std::string& path);
void Release(const std::string& path);

Entry* Find(const std::string& path);  // nullptr when it does not exist
bool Exists(const std::string& path);
// Puts the named entries of `folder` first in its listing, in this order.
void SetListingOrder(const std::string& folder, std::initializer_list<std::string> names);

// ---- Faults of the notification and the listing ------------------------------

struct Faults {
    DWORD notificationSetupError = 0;  // set-up fails with this last error
    bool notificationStuck = false;    // signalled for ever, re-arming changes nothing
    bool notificationWaitFails = false;
    bool listingFails = false;  // FindFirstFileA fails
};
Faults& Inject();

// ---- Programs ---------------------------------------------------------------

enum class Start { Starts, RefusesDetached, Refuses };

// What running one command line does.
struct Program {
    DWORD exitCode = 0;
    Millis runMs = 0;
    Start start = Start::Starts;
    bool waitFails = false;           // waiting on it returns WAIT_FAILED
    bool exitCodeUnreadable = false;  // GetExitCodeProcess fails
    std::function<void()> onEnd;      // its effect on the folder, as it ends
};
Program& AddProgram(const std::string& commandLine);

// One CreateProcessA call, as the tool made it.
struct Launch {
    Millis at;
    bool applicationNameNull;
    std::string commandLine;
    bool securityAttributesNull;
    BOOL inheritHandles;
    DWORD creationFlags;
    bool environmentNull;
    std::string currentDirectory;
    STARTUPINFOA startup;
    bool started;
};
const std::vector<Launch>& Launches();

// ---- Message queue and notices -------------------------------------------------

void PostAt(Millis when, UINT message);
std::size_t QueuedMessages();

struct Notice {
    Millis at;
    std::string text;
    std::string caption;
    UINT type;
    std::vector<std::string> openHandles;  // what the tool held while it showed
};
const std::vector<Notice>& Notices();

// ---- Records ----------------------------------------------------------------

// One platform call: the virtual time it was made at and, for example,
// `MoveFileA("D:\in\a.txt", "D:\in\a.txt") -> 0 (error 32)`.
struct Call {
    Millis at;
    std::string text;
};
const std::vector<Call>& Calls();
// The texts of the calls to the named operations only (all when none named).
std::vector<std::string> CallTexts(std::initializer_list<std::string_view> operations = {});
// Handles and platform allocations not yet closed or freed, by name.
std::vector<std::string> OpenHandles();

}  // namespace sim
