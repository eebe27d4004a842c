#include "startup/next_token.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

struct TokenCase {
    std::string text;
    std::string token;
    std::size_t next;  // the returned position, counted from the text's start
};

TEST(NextToken, TableOfFields)
{
    const TokenCase cases[] = {
        {"", "", 0},
        {"   ", "", 3},
        {"abc", "abc", 3},
        {"abc def", "abc", 3},
        {"   abc def", "abc", 6},
        {"abc  def", "abc", 3},
        {"abc\tdef", "abc\tdef", 7},
        {"a\"b c", "a\"b", 3},
        {"a\\\"b c", "a\\\"b", 4},
        {"\"a b c\" d", "a b c", 7},
        {"\"abc\"def", "abc", 5},
        {"\"\" x", "", 2},
        {"\" a \" b", " a ", 5},
        {"\"a\\b\" c", "a\\b", 5},
        {"\"a\\\"b\" c", "a\\\"b", 6},
        {"\"a\\\\\"b\" c", "a\\\\\"b", 7},
        {"\"a\"\"b\" c", "a\"", 4},
        {"\"a\"\"\"b\" c", "a\"\"", 5},
        {"\"\"\"", "\"", 3},
        {"\"abc", "abc", 4},
        {"\"", "", 1},
        {"\"D:\\drop\\\" rest", "D:\\drop\\\" rest", 15},
    };
    for (const TokenCase& row : cases) {
        SCOPED_TRACE("text [" + row.text + "]");
        std::array<char, 512> token{};
        const TokenEnd end = NextToken(token, row.text.c_str());
        EXPECT_EQ(std::string(token.data()), row.token);
        EXPECT_EQ(static_cast<std::size_t>(end.next - row.text.c_str()), row.next);
        EXPECT_TRUE(end.fits);
    }
}

TEST(NextToken, CallsPastTheEndStayAtTheEnd)
{
    const char text[] = "a \"b c\"  ";
    std::array<char, 512> token{};
    const char* at = NextToken(token, text).next;
    EXPECT_STREQ(token.data(), "a");
    at = NextToken(token, at).next;
    EXPECT_STREQ(token.data(), "b c");
    for (int call = 0; call < 3; ++call) {
        token[0] = 'x';
        at = NextToken(token, at).next;
        EXPECT_STREQ(token.data(), "");
        EXPECT_EQ(at, text + sizeof text - 1);
    }
}

TEST(NextToken, LeavesTheTextUnchanged)
{
    const std::string original = "\"a\"\"b\" c\\\" d";
    std::string text = original;
    std::array<char, 512> token{};
    for (const char* at = text.c_str(); *at != '\0';) {
        at = NextToken(token, at).next;
    }
    EXPECT_EQ(text, original);
}

// A 512-byte buffer holds 511 characters; one more must not be cut into a
// different name, nor written past the buffer.
TEST(NextToken, RefusesATokenLongerThanItsBufferWithoutWritingPastIt)
{
    struct LengthCase {
        std::string field;
        bool fits;
    };
    const LengthCase cases[] = {
        {std::string(511, 'a'), true},
        {std::string(512, 'a'), false},
        {"\"" + std::string(511, 'b') + "\"", true},
        {"\"" + std::string(512, 'b') + "\"", false},
        {"\"" + std::string(600, 'c'), false},
    };
    for (const LengthCase& row : cases) {
        SCOPED_TRACE("field of " + std::to_string(row.field.size()) + " bytes");
        const std::string text = row.field + " next";
        std::array<char, 513> guard{};
        guard.back() = '#';
        const TokenEnd end = NextToken(std::span<char>(guard.data(), 512), text.c_str());
        EXPECT_EQ(end.fits, row.fits);
        EXPECT_EQ(guard.back(), '#');
        if (row.fits) {
            EXPECT_EQ(std::string(guard.data()).size(), 511u);
        } else {
            EXPECT_STREQ(guard.data(), "");
        }
        // The position is after the whole field either way.
        const std::string rest(end.next);
        EXPECT_TRUE(rest == " next" || rest.empty()) << rest;
    }
}

}  // namespace
