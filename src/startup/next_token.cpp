#include "startup/next_token.h"

#include <cstddef>

TokenEnd NextToken(std::span<char> destination, const char* position)
{
    std::size_t length = 0;
    bool fits = true;
    auto copy = [&](char c) {
        if (length + 1 < destination.size()) {
            destination[length++] = c;
        } else {
            fits = false;
        }
    };

    while (*position == ' ') {
        ++position;
    }

    if (*position != '"') {
        while (*position != ' ' && *position != '\0') {
            copy(*position++);
        }
    } else {
        ++position;
        char previous = '\0';  // none yet: the NUL can never be a previous character
        while (*position != '\0') {
            const char c = *position;
            if (c == '"' && previous != '\\' && position[1] != '"') {
                ++position;  // the closing quote is consumed, never copied
                break;
            }
            copy(c);
            previous = c;
            ++position;
        }
    }

    destination[fits ? length : 0] = '\0';
    return {position, fits};
}
