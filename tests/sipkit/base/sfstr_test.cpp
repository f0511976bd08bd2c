// String routines.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "SFStr.h"

namespace {

struct StrtouiCase {
    const char* text;
    uint32_t value;
    int error;
    int endOffset;
};

TEST(SFStr, StrtouiReadsDecimalWithinThirtyTwoBits)
{
    const StrtouiCase cases[] = {
        {"  4294967295", 4294967295u, 0, 12},
        {"4294967296", 0xFFFFFFFFu, -1, 9},   // ends at the digit that overflowed
        {"42949672950", 0xFFFFFFFFu, -1, 10},
        {"-12", 12, 1, 3},
        {"-0", 0, 0, 2},
        {"+7x", 7, 0, 2},
        {"  abc", 0, 0, 2},
        {"-", 0, 0, 1},
        {"", 0, 0, 0},
        {"\t\n 0005 ", 5, 0, 7},
    };
    for (const StrtouiCase& c : cases) {
        const char* end = nullptr;
        int error = 99;
        EXPECT_EQ(c.value, SFStr_strtoui(c.text, &end, &error)) << c.text;
        EXPECT_EQ(c.error, error) << c.text;
        EXPECT_EQ(c.endOffset, end - c.text) << c.text;
    }
    EXPECT_EQ(9u, SFStr_strtoui("9", nullptr, nullptr));
}

TEST(SFStr, ItoaIncludingTheMostNegativeInteger)
{
    struct Case {
        int value;
        int radix;
        const char* text;
    } const cases[] = {
        {-255, 16, "-ff"},
        {0, 10, "0"},
        {INT_MAX, 10, "2147483647"},
        {INT_MIN, 10, "-2147483648"},
        {INT_MIN, 16, "-80000000"},
        {INT_MIN, 2, "-10000000000000000000000000000000"},
        {35, 36, "z"},
    };
    for (const Case& c : cases) {
        char buffer[40];
        EXPECT_STREQ(c.text, SFStr_itoa(c.value, buffer, c.radix)) << c.value << " radix " << c.radix;
    }
}

TEST(SFStr, HexConversions)
{
    char buffer[12];
    EXPECT_STREQ("a0", SFStr_Hex2Str(0x0A0, buffer));
    EXPECT_STREQ("", SFStr_Hex2Str(0, buffer));
    EXPECT_STREQ("ffffffff", SFStr_Hex2Str(0xFFFFFFFFu, buffer));
    EXPECT_EQ(0x1aBu, SFStr_Str2Hex("1aBz"));
    EXPECT_EQ(0u, SFStr_Str2Hex(""));
    EXPECT_EQ(0u, SFStr_Str2Hex("0x12"));  // no prefix is recognised
}

TEST(SFStr, SnprintfRefusesWhatDoesNotFitWhole)
{
    char buffer[4];
    EXPECT_EQ(-1, SFStr_snprintf(buffer, sizeof buffer, "%s", "abcd"));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(3, SFStr_snprintf(buffer, sizeof buffer, "%d", 123));
    char text[] = "MiXeD";
    EXPECT_STREQ("MIXED", SFStr_toUpperStr(text));
    EXPECT_STREQ("mixed", SFStr_toLowerStr(text));
}

}  // namespace
