// Work strings, the encoders' output buffer and the string helpers.
#include <gtest/gtest.h>

#include <string>

#include "SLMem.h"
#include "SLStr.h"
#include "SLStrBuf.h"
#include "SLUtlStr.h"

namespace {

class SLStrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, SLStrInitialize(&small_, 4, 2));
        ASSERT_EQ(0, SLStrInitialize(&big_, 64, 2));
    }
    void TearDown() override
    {
        SLStrCleanup(&small_);
        SLStrCleanup(&big_);
    }
    SFMemMemoryList small_;
    SFMemMemoryList big_;
};

TEST_F(SLStrTest, CapacityLeavesRoomForTheTerminator)
{
    EXPECT_EQ(-1, SLStrInitialize(&small_, 0, 1));
    SLStr s;
    ASSERT_EQ(0, SLStrAlloc(&small_, &s));
    EXPECT_STREQ("", SLStrValue(&s));
    EXPECT_EQ(nullptr, SLStrAppend(&s, "abcd", -1));
    EXPECT_EQ(0, SLStrGetLength(&s));
    EXPECT_NE(nullptr, SLStrAppend(&s, "abc", -1));
    EXPECT_STREQ("abc", SLStrValue(&s));
    EXPECT_EQ(nullptr, SLStrFormat(&s, "%d", 1));
    EXPECT_STREQ("abc", SLStrValue(&s));
    SLStrFree(&small_, &s);
}

TEST_F(SLStrTest, EscapingQuotingAndSearch)
{
    SLStr s, t;
    ASSERT_EQ(0, SLStrAlloc(&big_, &s));
    ASSERT_EQ(0, SLStrAlloc(&big_, &t));
    SLStrAppendEscaped(&s, "a b@c-d", "-");
    EXPECT_STREQ("a%20b%40c-d", SLStrValue(&s));
    SLStrEmpty(&s);
    SLStrAppendQuoted(&s, "say \"hi\\\"");
    EXPECT_STREQ("\"say \\\"hi\\\\\\\"\"", SLStrValue(&s));
    SLStrEmpty(&s);
    SLStrAppend(&s, "  key\t= v\r\nnext", -1);
    EXPECT_EQ(2, SLStrSkipWS(&s, 0));
    EXPECT_EQ(5, SLStrFindWS(&s, 2));
    EXPECT_EQ(6, SLStrFindChar(&s, '=', 0));
    EXPECT_EQ(9, SLStrFindEOL(&s, 0));
    EXPECT_EQ(11, SLStrSkipEOL(&s, 9));
    EXPECT_EQ(-1, SLStrFindChar(&s, '#', 0));
    EXPECT_EQ(-1, SLStrFindChar(&s, 'k', -1));
    EXPECT_STREQ("key", SLStrMidCopy(&t, &s, 2, 3));
    EXPECT_EQ(nullptr, SLStrMidCopy(&s, &s, 2, 3));
    EXPECT_STREQ("key\t= v", SLStrTrimCopy2(&t, &s, 0, 11));
    EXPECT_STREQ("next", SLStrTrimCopy2(&t, &s, 11, -1));
    EXPECT_STREQ("", SLStrTrimCopy2(&t, &s, 0, 2));
    SLStrFree(&big_, &s);
    SLStrFree(&big_, &t);
}

TEST(SLStrBuf, CountsWhatDoesNotFit)
{
    char data[4];
    SLStrBuf b;
    SLStrBufInit(&b, data, sizeof data);
    SLStrBufAppend(&b, "0123456789", -1);
    EXPECT_EQ(0u, b.used);
    EXPECT_EQ(10u, b.needed);
    EXPECT_FALSE(SLStrBufIsComplete(&b));

    SLStrBuf sizing;
    SLStrBufInit(&sizing, nullptr, 0);
    SLStrBufAppendQuoted(&sizing, "a\"b", -1);
    EXPECT_EQ(6u, sizing.needed);

    char out[32];
    SLStrBufInit(&b, out, sizeof out);
    SLStrBufAppendUriEscaped(&b, "a b*c;d", -1, ";");
    EXPECT_EQ("a%20b%2ac;d", std::string(out, b.used));
    EXPECT_TRUE(SLStrBufIsComplete(&b));
}

TEST(SLUtlStr, NullSafeComparesAndTokens)
{
    EXPECT_EQ(0, SLUtlStrCmp(nullptr, nullptr));
    EXPECT_EQ(-1, SLUtlStrCmpI(nullptr, "a"));
    EXPECT_EQ(1, SLUtlStrCmpN("a", nullptr, 1));
    EXPECT_EQ(0, SLUtlStrCmpNI("ABc", "abD", 2));
    for (char c : {'~', '\'', '`', '-', '.', '!', '%', '*', '_', '+', 'a', 'Z', '0'})
        EXPECT_EQ(1, SLUtlStrIsTokenChar(c)) << c;
    for (char c : {'@', '"', ':', ' ', '\0', '/', ';'})
        EXPECT_EQ(0, SLUtlStrIsTokenChar(c)) << c;
    char* copy = SLUtlStrDup(nullptr, "hello", 3);
    EXPECT_STREQ("hel", copy);
    SLMemFreeMemory(nullptr, copy);
    EXPECT_EQ(nullptr, SLUtlStrDup(nullptr, nullptr, -1));
}

}  // namespace
