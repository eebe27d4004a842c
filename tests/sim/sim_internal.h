#pragma once

// The simulator's own state and helpers, shared by its source files only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim_world.h"

namespace sim::detail {

enum class Kind { Change, Find, File, Process, Thread, Text };

struct Handle {
    Kind kind;
    std::string name;  // e.g. file#3, as the log shows it
    bool open = true;
    std::string path;       // the file or folder it refers to
    std::size_t index = 0;  // into World::listings or World::processes
};

struct Listing {
    std::vector<std::string> names;  // taken when it was opened
    std::size_t next = 0;
};

struct Process {
    Program program;
    bool ended = false;
};

struct Notification {
    bool subtree = false;
    bool signalled = false;
};

struct World {
    Millis now = 0;
    Millis timeLimit = 10 * 60 * 1000;
    std::multimap<Millis, std::function<void()>> events;
    std::deque<Entry> entries;  // in listing order; references stay valid as it grows
    Faults faults;
    std::map<std::string, Program> programs;
    std::vector<Launch> launches;
    std::vector<Process> processes;
    std::vector<Listing> listings;
    std::deque<UINT> queue;
    std::vector<Notice> notices;
    std::vector<Call> calls;
    std::map<std::uintptr_t, Handle> handles;                 // by value, texts by address
    std::map<std::uintptr_t, std::unique_ptr<char[]>> texts;  // FormatMessageA's allocations
    std::map<std::string, Notification> notifications;        // by change handle name
    unsigned serial = 0;
    DWORD lastError = 0;
    bool lastListingFailed = false;  // FindClose(INVALID_HANDLE_VALUE) is then expected
};

World& W();

// printf into a std::string.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...);
std::string Quoted(const char* text);  // "text", or NULL

// Appends to the call log; `at` is when the call began.
void Log(Millis at, const std::string& text);

HANDLE Open(Kind kind, const std::string& path, std::size_t index = 0);
// The live handle of `kind`, or nullptr after failing the test.
Handle* Lookup(HANDLE handle, Kind kind, const char* operation);
// Closes a handle of `kind`; fails the test when it is unknown, of another
// kind, or already closed.
bool Close(HANDLE handle, Kind kind, const char* operation);
std::string NameOf(HANDLE handle);

// Moves virtual time on to `until`, running the events due on the way, and
// returns early, true, as soon as `done` holds. Throws Stuck past the limit.
bool WaitFor(Millis until, const std::function<bool()>& done);

void SetError(DWORD code);

// A change of the filter at `path`: signals every notification above it.
void Changed(const std::string& path);

// The timed waits of WaitForSingleObject, by the kind of handle waited on.
DWORD WaitOnChange(const Handle& change, DWORD milliseconds);
DWORD WaitOnProcess(const Handle& process, DWORD milliseconds);

}  // namespace sim::detail
