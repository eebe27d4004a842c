#include "job/failure_code.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace {

constexpr std::array<std::uint32_t, 13> ExitCodes = {
    0, 1, 2, 3, 4, 5, 6, 10, 11, 2147483648u, 4294967291u, 4294967294u, 4294967295u};

struct RangeRow {
    std::int32_t from;  // as typed, so -1 reads as it does on the command line
    std::int32_t to;
    const char* outcomes;  // F (failure) or S (success) for each of ExitCodes
};

TEST(IsFailureCode, TruthTable)
{
    const RangeRow rows[] = {
        {1, -1, "SFFFFFFFFFFFF"},  {0, 0, "FSSSSSSSSSSSS"},  {5, 2, "FFFSSFFFFFFFF"},
        {-1, -1, "SSSSSSSSSSSSF"}, {3, 10, "SSSFFFFFSSSSS"}, {0, -1, "FFFFFFFFFFFFF"},
        {-5, 5, "FFFFFFSSSSFFF"},  {5, -3, "SSSSSFFFFFFSS"}, {2, 1, "FFFFFFFFFFFFF"},
        {1, 1, "SFSSSSSSSSSSS"},
    };
    for (const RangeRow& row : rows) {
        for (std::size_t i = 0; i < ExitCodes.size(); ++i) {
            SCOPED_TRACE("range " + std::to_string(row.from) + "," + std::to_string(row.to) +
                         " exit code " + std::to_string(ExitCodes[i]));
            EXPECT_EQ(IsFailureCode(ExitCodes[i], static_cast<std::uint32_t>(row.from),
                                    static_cast<std::uint32_t>(row.to)),
                      row.outcomes[i] == 'F');
        }
    }
}

}  // namespace
