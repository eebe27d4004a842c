#include "startup/settings.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "startup/next_token.h"
#include "startup/read_numbers.h"

namespace {

constexpr std::uint32_t DefaultFailureFrom = 1;
constexpr std::uint32_t DefaultFailureTo = 0xFFFFFFFF;
constexpr std::int32_t DefaultPriority = 1;

void ReadOptions(const TextBuffer& optionsText, Settings& settings)
{
    std::array<std::uint32_t, 3> numbers{};
    const std::size_t count = ReadNumbers(optionsText.data(), numbers);

    // Fewer than two numbers: all defaults, a lone number is dropped.
    settings.FailureFrom = count >= 2 ? numbers[0] : DefaultFailureFrom;
    settings.FailureTo = count >= 2 ? numbers[1] : DefaultFailureTo;
    const std::int32_t priority =
        count == 3 ? static_cast<std::int32_t>(numbers[2]) : DefaultPriority;

    if (priority <= 0) {
        settings.PriorityClass = IDLE_PRIORITY_CLASS;
    } else if (priority == 1) {
        settings.PriorityClass = NORMAL_PRIORITY_CLASS;
    } else {
        settings.PriorityClass = HIGH_PRIORITY_CLASS;
    }
}

}  // namespace

bool ReadSettings(const char* commandLine, Settings& settings)
{
    const TokenEnd program = NextToken(settings.ExecutableName, commandLine);
    const TokenEnd options = NextToken(settings.OptionsText, program.next);
    const TokenEnd folder = NextToken(settings.Dirname, options.next);
    settings.OtherParams = folder.next;

    if (!program.fits || !options.fits || !folder.fits) {
        return false;
    }
    if (settings.ExecutableName[0] == '\0' || settings.Dirname[0] == '\0') {
        return false;
    }

    ReadOptions(settings.OptionsText, settings);

    // After the usage test: a folder typed as a lone separator ends up empty.
    const std::size_t length = std::strlen(settings.Dirname.data());
    if (settings.Dirname[length - 1] == PathSeparator) {
        settings.Dirname[length - 1] = '\0';
    }

    const int written = std::snprintf(settings.SearchPattern.data(), settings.SearchPattern.size(),
                                      "%s%c*.*", settings.Dirname.data(), PathSeparator);
    return written >= 0 && static_cast<std::size_t>(written) < settings.SearchPattern.size();
}
