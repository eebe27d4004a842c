#pragma once

#include <cstdint>

// True when `exitCode` counts as a failure: it lies on the way from
// `failureFrom` up to `failureTo`, counting on from 0xFFFFFFFF to 0, so a range
// whose start lies above its end wraps (5,2 fails everything but 3 and 4), and
// -5,5 typed as signed numbers means what it says. `failureFrom` itself is
// always a failure.
constexpr bool IsFailureCode(std::uint32_t exitCode, std::uint32_t failureFrom,
                             std::uint32_t failureTo)
{
    return exitCode - failureFrom <= failureTo - failureFrom;  // unsigned: mod 2^32
}
