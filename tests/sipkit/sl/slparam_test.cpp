// Parameters and parameter lists.
#include <gtest/gtest.h>

#include "SLMem.h"
#include "SLParam.h"

namespace {

class SLParamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, SLMemInitialize());
        ASSERT_EQ(0, SLParamInitialize());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, SLParamGetLiveCount()) << "leaked parameters";
        SLParamCleanup();
        SLMemCleanup();
    }
};

TEST_F(SLParamTest, SetParamReplacesOnlyWhenAsked)
{
    SLParamList* list = nullptr;
    ASSERT_EQ(0, SLParamListCreate(&list));
    ASSERT_EQ(0, SLParamListSetParam(list, 0, 0, "tag", "abc"));
    ASSERT_EQ(0, SLParamListSetParam(list, 0, 0, "lr", nullptr));
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLParamListSetParam(list, 0, 2, "TAG", "zzz"));
    EXPECT_STREQ("abc", SLParamGetValue(SLParamListFindItem(list, nullptr, "Tag")));
    ASSERT_EQ(0, SLParamListSetParam(list, 1, 2, "TAG", "zzz"));
    SLParam* tag = SLParamListFindItem(list, nullptr, "tag");
    EXPECT_STREQ("zzz", SLParamGetValue(tag));
    EXPECT_EQ(2, SLParamGetValueType(tag));
    EXPECT_EQ(nullptr, SLParamListFindItem(list, tag, "tag"));
    EXPECT_EQ(nullptr, SLParamGetValue(SLParamListFindItem(list, nullptr, "lr")));
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLParamListSetParam(list, 1, 0, nullptr, "x"));
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLParamListSetParam(nullptr, 1, 0, "a", "x"));

    SLParamList* copy = nullptr;
    ASSERT_EQ(0, SLParamListClone(&copy, list));
    EXPECT_EQ(2, SLParamListGetCount(copy));
    EXPECT_EQ(1, SLParamListDeleteParam(copy, "LR"));
    EXPECT_EQ(0, SLParamListDeleteParam(copy, "LR"));
    EXPECT_EQ(1, SLParamListGetCount(copy));
    EXPECT_EQ(2, SLParamListGetCount(list));
    SLParamListDestroy(copy);
    SLParamListDestroy(list);
    SLParamListDestroy(nullptr);
}

TEST_F(SLParamTest, CompareOrder)
{
    struct Case {
        int typeA;
        const char* nameA;
        const char* valueA;
        int typeB;
        const char* nameB;
        const char* valueB;
        int sign;
    } const cases[] = {
        {0, "a", "X", 0, "A", "x", 0},       // tokens ignore case
        {2, "a", "X", 2, "A", "x", -1},      // quoted values are exact
        {0, "a", nullptr, 0, "a", "x", -1},  // missing value is smaller
        {0, "b", "x", 2, "a", "x", -1},      // value type first
        {0, "a", "x", 0, "b", "x", -1},
    };
    for (const Case& c : cases) {
        SLParam *a = nullptr, *b = nullptr;
        ASSERT_EQ(0, SLParamCreate(&a, c.typeA, c.nameA, c.valueA));
        ASSERT_EQ(0, SLParamCreate(&b, c.typeB, c.nameB, c.valueB));
        const int rc = SLParamCompare(a, b);
        EXPECT_EQ(c.sign, (rc > 0) - (rc < 0)) << c.nameA << " " << c.nameB;
        SLParamDestroy(a);
        SLParamDestroy(b);
    }
    SLParam* a = nullptr;
    ASSERT_EQ(0, SLParamCreate(&a, 0, "n", "v"));
    EXPECT_EQ(-1, SLParamCompare(nullptr, a));
    EXPECT_EQ(0, SLParamCompare(nullptr, nullptr));
    SLParam* clone = nullptr;
    ASSERT_EQ(0, SLParamClone(&clone, a));
    EXPECT_EQ(0, SLParamCompare(a, clone));
    EXPECT_EQ(0, SLParamSetName(clone, "m"));
    EXPECT_EQ(0, SLParamSetValue(clone, nullptr));
    EXPECT_STREQ("m", SLParamGetName(clone));
    EXPECT_EQ(nullptr, SLParamGetValue(clone));
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLParamSetValue(nullptr, "x"));
    SLParam* none = reinterpret_cast<SLParam*>(1);
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLParamCreate(&none, 0, nullptr, "x"));
    EXPECT_EQ(nullptr, none);
    SLParamDestroy(clone);
    SLParamDestroy(a);
}

}  // namespace
