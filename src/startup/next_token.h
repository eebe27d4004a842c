#pragma once

#include <span>

// Where a token ended, and whether it fitted its destination.
struct TokenEnd {
    const char* next;  // where the next call is to start: never beyond the text's NUL
    bool fits;         // false: the token was longer than the destination holds
};

// Copies the next field of a command-line text into `destination`, NUL-ended,
// and returns where the next call is to start. Fields are separated by blanks;
// a field that opens with a double quote runs to its closing quote:
//
//   text            token     next call starts at
//   `abc def`       abc       ` def`
//   `"a b c" d`     a b c     ` d`
//   `"abc"def`      abc       `def`
//   `"a""b" c`      a"        `b" c`   (a quote doubled is copied; the second one is judged again)
//   `"a\"b" c`      a\"b      ` c`     (a quote after a backslash is copied, backslash kept)
//   `"abc`          abc       the end  (an unterminated quote ends with the text)
//
// Only the blank separates: a tab is an ordinary character. Once the text is
// used up every call gives an empty token and returns the end.
//
// A token longer than the destination holds is never cut: the destination
// gets an empty token and `fits` is false, while `next` is still the position
// after the whole field, so a caller can refuse rather than use a cut name.
// `destination` must hold at least one byte.
TokenEnd NextToken(std::span<char> destination, const char* position);
