// Clock, events, handles and the call log of the simulated world.

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>

#include "sim_internal.h"

namespace sim::detail {

namespace {

// A run that keeps calling without time going forward (a pass after a pass
// on a stuck notification, say) is stopped after this many calls.
constexpr std::size_t CallLimit = 200000;

const char* KindName(Kind kind)
{
    switch (kind) {
        case Kind::Change: return "change";
        case Kind::Find: return "find";
        case Kind::File: return "file";
        case Kind::Process: return "process";
        case Kind::Thread: return "thread";
        case Kind::Text: return "text";
    }
    return "?";
}

}  // namespace

World& W()
{
    static World world;
    return world;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.pop_back();
    return text;
}

std::string Quoted(const char* text)
{
    return text == nullptr ? std::string("NULL") : "\"" + std::string(text) + "\"";
}

void Log(Millis at, const std::string& text)
{
    W().calls.push_back({at, text});
    if (W().calls.size() > CallLimit) {
        throw Stuck{Format("more than %zu platform calls; the last: %s", CallLimit, text.c_str())};
    }
}

HANDLE Open(Kind kind, const std::string& path, std::size_t index)
{
    const unsigned serial = ++W().serial;
    const auto value = static_cast<std::uintptr_t>(0x1000 + 0x10 * serial);
    W().handles[value] = Handle{kind, Format("%s#%u", KindName(kind), serial), true, path, index};
    return reinterpret_cast<HANDLE>(value);
}

Handle* Lookup(HANDLE handle, Kind kind, const char* operation)
{
    const auto found = W().handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == W().handles.end()) {
        ADD_FAILURE() << operation << " on a handle the platform never gave out";
        return nullptr;
    }
    Handle& known = found->second;
    if (known.kind != kind) {
        ADD_FAILURE() << operation << " on " << known.name << ", which is no " << KindName(kind)
                      << " handle";
        return nullptr;
    }
    if (!known.open) {
        ADD_FAILURE() << operation << " on " << known.name << ", which is already closed";
        return nullptr;
    }
    return &known;
}

bool Close(HANDLE handle, Kind kind, const char* operation)
{
    Handle* known = Lookup(handle, kind, operation);
    if (known == nullptr) {
        return false;
    }
    known->open = false;
    return true;
}

std::string NameOf(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE) {
        return "INVALID_HANDLE_VALUE";
    }
    if (handle == nullptr) {
        return "NULL";
    }
    const auto found = W().handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == W().handles.end() ? std::string("unknown") : found->second.name;
}

bool WaitFor(Millis until, const std::function<bool()>& done)
{
    World& world = W();
    for (;;) {
        if (done()) {
            return true;
        }
        if (world.events.empty() || world.events.begin()->first > until) {
            break;
        }
        const auto next = world.events.begin();
        world.now = std::max(world.now, next->first);
        const std::function<void()> event = std::move(next->second);
        world.events.erase(next);
        event();
    }
    world.now = std::max(world.now, until);
    if (world.now > world.timeLimit) {
        throw Stuck{Format("still running at virtual time %llu ms",
                           static_cast<unsigned long long>(world.now))};
    }
    return done();
}

void SetError(DWORD code)
{
    W().lastError = code;
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

void Reset()
{
    W() = World{};
}

Millis Now()
{
    return W().now;
}

void At(Millis when, std::function<void()> event)
{
    if (when <= W().now) {
        event();  // already due: before the first call, or from within an event
        return;
    }
    W().events.emplace(when, std::move(event));
}

void SetTimeLimit(Millis limit)
{
    W().timeLimit = limit;
}

const std::vector<Call>& Calls()
{
    return W().calls;
}

std::vector<std::string> CallTexts(std::initializer_list<std::string_view> operations)
{
    std::vector<std::string> texts;
    for (const Call& call : W().calls) {
        bool wanted = operations.size() == 0;
        for (const std::string_view operation : operations) {
            wanted = wanted ||
                     (call.text.starts_with(operation) && call.text.size() > operation.size() &&
                      call.text[operation.size()] == '(');
        }
        if (wanted) {
            texts.push_back(call.text);
        }
    }
    return texts;
}

std::vector<std::string> OpenHandles()
{
    std::vector<std::string> names;
    for (const auto& [value, handle] : W().handles) {
        if (handle.open) {
            names.push_back(handle.name);
        }
    }
    return names;
}

}  // namespace sim
