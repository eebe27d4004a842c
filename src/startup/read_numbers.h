#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Reads up to `values.size()` numbers separated by commas, as the C library's
// "%i,%i,%i" would, and returns how many were read. Each number: optional
// white space (blank or 0x09 to 0x0D), an optional sign, then `0x`/`0X` and
// hexadecimal digits, or `0` and octal digits, or decimal digits. The value
// keeps its low 32 bits and a minus negates it, so -1, 4294967295 and
// 0xFFFFFFFF are the same. Each comma must follow its number directly;
// reading stops at the first thing that does not match.
//
// Written here rather than left to sscanf, whose handling of overflow and of a
// bare "0x" differs between C libraries.
std::size_t ReadNumbers(std::string_view text, std::span<std::uint32_t> values);
