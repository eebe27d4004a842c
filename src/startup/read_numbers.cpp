#include "startup/read_numbers.h"

namespace {

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value of `c` as a digit of `base`, or -1.
int DigitValue(char c, std::uint32_t base)
{
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value >= 0 && static_cast<std::uint32_t>(value) < base ? value : -1;
}

char At(std::string_view text, std::size_t index)
{
    return index < text.size() ? text[index] : '\0';
}

// Reads one number from `index` on; on success moves `index` past it.
bool ReadNumber(std::string_view text, std::size_t& index, std::uint32_t& value)
{
    std::size_t at = index;
    while (IsSpace(At(text, at))) {
        ++at;
    }
    const bool negative = At(text, at) == '-';
    if (At(text, at) == '-' || At(text, at) == '+') {
        ++at;
    }

    std::uint32_t base = 10;
    if (At(text, at) == '0' && (At(text, at + 1) == 'x' || At(text, at + 1) == 'X')) {
        // "0x" needs a hexadecimal digit behind it; without one there is no number at all.
        if (DigitValue(At(text, at + 2), 16) < 0) {
            return false;
        }
        base = 16;
        at += 2;
    } else if (At(text, at) == '0') {
        base = 8;  // the leading 0 is itself an octal digit, so a lone 0 reads as zero
    }

    if (DigitValue(At(text, at), base) < 0) {
        return false;
    }
    std::uint32_t result = 0;
    for (int digit = DigitValue(At(text, at), base); digit >= 0;
         digit = DigitValue(At(text, at), base)) {
        result = result * base + static_cast<std::uint32_t>(digit);  // wraps: low 32 bits kept
        ++at;
    }
    value = negative ? 0u - result : result;
    index = at;
    return true;
}

}  // namespace

std::size_t ReadNumbers(std::string_view text, std::span<std::uint32_t> values)
{
    std::size_t index = 0;
    std::size_t count = 0;
    while (count < values.size() && ReadNumber(text, index, values[count])) {
        ++count;
        if (count == values.size() || At(text, index) != ',') {
            break;
        }
        ++index;
    }
    return count;
}
