#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Every text of the settings, and each full path and command line, lives in a
// buffer of this size: 511 characters and the NUL.
inline constexpr std::size_t TextBufferSize = 512;
using TextBuffer = std::array<char, TextBufferSize>;

// The start-up values, read once from the command line and only read after.
struct Settings {
    TextBuffer ExecutableName;  // the program run for each file; never empty
    TextBuffer OptionsText;     // "FailureRange,Priority" as typed; may be empty
    TextBuffer Dirname;         // the drop folder, less one trailing separator
    const char* OtherParams;    // the template: the untouched rest of the command line
    std::uint32_t FailureFrom;  // failure range, as 32-bit patterns (-1 is 0xFFFFFFFF)
    std::uint32_t FailureTo;
    std::uint32_t PriorityClass;  // IDLE_, NORMAL_ or HIGH_PRIORITY_CLASS
    TextBuffer SearchPattern;     // Dirname, the separator and "*.*"
};

// Fills `settings` from the command-line text (the program's own name already
// left out) and returns true, or returns false when the tool must refuse to
// start: the program or the folder is missing, or a field is too long for its
// buffer. A field is never cut: a shortened folder or program name would
// name something else. `settings.OtherParams` points into `commandLine`,
// which must outlive it. Makes no platform call.
bool ReadSettings(const char* commandLine, Settings& settings);
