// Memory lists, collective buffers and counted allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "SFMem.h"

namespace {

uint32_t stride(uint32_t size) { return (size + SF_MEM_ELEMENT_ALIGN - 1) / SF_MEM_ELEMENT_ALIGN * SF_MEM_ELEMENT_ALIGN; }

TEST(SFMemList, HandsOutHighestAddressFirstAndGrowsWhenEmpty)
{
    SFMemMemoryList list;
    ASSERT_EQ(0, SFMemInitializeMemoryList(&list, 10, 3));
    auto* a = static_cast<char*>(SFMemAllocateFromMemoryList(&list));
    auto* b = static_cast<char*>(SFMemAllocateFromMemoryList(&list));
    auto* c = static_cast<char*>(SFMemAllocateFromMemoryList(&list));
    EXPECT_EQ(stride(10), static_cast<uint32_t>(a - b));
    EXPECT_EQ(stride(10), static_cast<uint32_t>(b - c));
    EXPECT_EQ(list.mainBlock, c);  // the third is the lowest

    uint32_t size = 0, capacity = 0;
    EXPECT_EQ(3u, SFMemGetMemoryListInfo(&list, &size, &capacity));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(3u, capacity);

    void* d = SFMemAllocateFromMemoryList(&list);  // beyond the initial count
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(4u, SFMemGetMemoryListInfo(&list, nullptr, &capacity));
    EXPECT_EQ(4u, capacity);

    SFMemFreeToMemoryList(&list, b);
    EXPECT_EQ(b, SFMemAllocateFromMemoryList(&list));  // last returned, first taken
    SFMemFreeToMemoryList(&list, nullptr);
    EXPECT_EQ(4u, SFMemGetMemoryListInfo(&list, nullptr, nullptr));
    SFMemDeleteMemoryList(&list);
    SFMemDeleteMemoryList(&list);  // a deleted list is left alone
}

TEST(SFMemList, InfoAfterTakingTwoOfThree)
{
    SFMemMemoryList list;
    ASSERT_EQ(0, SFMemInitializeMemoryList(&list, 10, 3));
    SFMemAllocateFromMemoryList(&list);
    SFMemAllocateFromMemoryList(&list);
    uint32_t size = 0, capacity = 0;
    EXPECT_EQ(2u, SFMemGetMemoryListInfo(&list, &size, &capacity));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(3u, capacity);
    SFMemDeleteMemoryList(&list);
}

// Records holding pointers must be aligned for the host: every element, also those added when
// the list ran empty, sits on a pointer boundary and can hold a pointer.
TEST(SFMemList, ElementsAreAlignedForPointerRecords)
{
    static_assert(sizeof(void*) != 4 || SF_MEM_ELEMENT_ALIGN == 4, "4-byte rounding on the 32-bit board");
    for (uint32_t size : {1u, 4u, 10u, 12u, 13u, 24u, 33u}) {
        SFMemMemoryList list;
        ASSERT_EQ(0, SFMemInitializeMemoryList(&list, size, 2));
        std::set<void*> seen;
        for (int i = 0; i < 6; ++i) {
            void* e = SFMemAllocateFromMemoryList(&list);
            ASSERT_NE(nullptr, e);
            EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(e) % alignof(void*)) << "size " << size << " element " << i;
            EXPECT_TRUE(seen.insert(e).second);
            *static_cast<void**>(e) = e;  // a pointer-carrying record
        }
        EXPECT_GE(list.elementSize, size);
        EXPECT_GE(list.elementSize, sizeof(void*));
        SFMemDeleteMemoryList(&list);
    }
}

TEST(SFMemList, ZeroInitialCountIsOne)
{
    SFMemMemoryList list;
    ASSERT_EQ(0, SFMemInitializeMemoryList(&list, 8, 0));
    uint32_t capacity = 0;
    SFMemGetMemoryListInfo(&list, nullptr, &capacity);
    EXPECT_EQ(1u, capacity);
    SFMemDeleteMemoryList(&list);
}

TEST(SFMemCollective, SizeLimits)
{
    alignas(8) char block[64];
    auto* buffer = reinterpret_cast<SFMemCollectiveBuffer*>(block);
    EXPECT_EQ(static_cast<SFResult>(0xA083800Au), SFMemInitializeCollectiveBuffer(buffer, 8));
    ASSERT_EQ(0, SFMemInitializeCollectiveBuffer(buffer, 9));
    uint32_t capacity = 0;
    EXPECT_EQ(0u, SFMemGetCollectiveBufferInfo(buffer, nullptr, &capacity));
    EXPECT_EQ(1u, capacity);
}

TEST(SFMemCollective, StringNeedsRoomForItsTerminator)
{
    alignas(8) char block[8 + 6];
    auto* buffer = reinterpret_cast<SFMemCollectiveBuffer*>(block);
    ASSERT_EQ(0, SFMemInitializeCollectiveBuffer(buffer, sizeof block));
    ASSERT_NE(nullptr, SFMemPushDataToCollectiveBuffer(buffer, "xyzw", 4));  // 2 bytes free
    uint32_t length = 99;
    EXPECT_EQ(nullptr, SFMemPushStringToCollectiveBuffer(buffer, &length, "%s", "ab"));
    EXPECT_EQ(4u, SFMemGetCollectiveBufferInfo(buffer, nullptr, nullptr));
    char out[4];
    EXPECT_EQ(1u, SFMemPopDataFromCollectiveBuffer(buffer, out, 1));  // 3 bytes free now
    char* at = SFMemPushStringToCollectiveBuffer(buffer, &length, "%s", "ab");
    ASSERT_NE(nullptr, at);
    EXPECT_STREQ("ab", at);
    EXPECT_EQ(2u, length);
    EXPECT_EQ(5u, SFMemGetCollectiveBufferInfo(buffer, nullptr, nullptr));
}

TEST(SFMemCollective, PopTakesTheLastBytes)
{
    alignas(8) char block[8 + 16];
    auto* buffer = reinterpret_cast<SFMemCollectiveBuffer*>(block);
    ASSERT_EQ(0, SFMemInitializeCollectiveBuffer(buffer, sizeof block));
    SFMemPushDataToCollectiveBuffer(buffer, "hello", 5);
    EXPECT_EQ(nullptr, SFMemPushDataToCollectiveBuffer(buffer, "0123456789AB", 12));
    char out[8] = {};
    EXPECT_EQ(3u, SFMemPopDataFromCollectiveBuffer(buffer, out, 3));
    EXPECT_EQ("llo", std::string(out, 3));
    EXPECT_EQ(2u, SFMemPopDataFromCollectiveBuffer(buffer, out, 7));
    EXPECT_EQ("he", std::string(out, 2));
    SFMemEmptyCollectiveBuffer(buffer);
    EXPECT_EQ(0u, SFMemGetCollectiveBufferInfo(buffer, nullptr, nullptr));
}

TEST(SFMemPool, CountsLiveBlocks)
{
    SFMemMemoryPool pool;
    ASSERT_EQ(0, SFMemInitializeMemoryPool(&pool, 100));
    void* a = SFMemAllocateMemory(&pool, 16);
    void* b = SFMemAllocateMemory(&pool, 16);
    EXPECT_EQ(2, pool.count);
    SFMemFreeMemory(&pool, a);
    SFMemFreeMemory(&pool, nullptr);
    EXPECT_EQ(1, pool.count);
    SFMemFreeMemory(&pool, b);
    EXPECT_EQ(0, pool.count);
}

}  // namespace
