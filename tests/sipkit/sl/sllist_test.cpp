// Singly linked lists over records whose first word is the link.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SLList.h"

namespace {

struct Item {
    Item* next;
    char name;
};

int compareItems(const void* a, const void* b)
{
    return static_cast<const Item*>(a)->name - static_cast<const Item*>(b)->name;
}

int cloneItem(void** out, const void* source)
{
    *out = nullptr;
    if (static_cast<const Item*>(source)->name == '!')
        return -5;  // '!' stands for an item that cannot be cloned
    Item* copy = new Item(*static_cast<const Item*>(source));
    copy->next = nullptr;
    *out = copy;
    return 0;
}

int g_destroyed = 0;
void destroyItem(void* item)
{
    ++g_destroyed;
    delete static_cast<Item*>(item);
}

std::string names(const SLList* head)
{
    std::string s;
    for (void* p = SLListGetNextItem(head, nullptr); p; p = SLListGetNextItem(head, p))
        s += static_cast<Item*>(p)->name;
    return s;
}

TEST(SLList, InsertRemoveAndWalk)
{
    Item a{nullptr, 'a'}, b{nullptr, 'b'}, c{nullptr, 'c'}, d{nullptr, 'd'}, stray{nullptr, 'x'};
    SLList head;
    SLListInit(&head);
    EXPECT_EQ(0, SLListInsertItemPtr(&head, nullptr, &a));
    EXPECT_EQ(0, SLListInsertItemPtr(&head, nullptr, &c));
    EXPECT_EQ(0, SLListInsertItemPtr(&head, &c, &b));
    EXPECT_EQ(0, SLListInsertItemPtr(&head, &stray, &d));  // not a member: at the head
    EXPECT_EQ("dabc", names(&head));
    EXPECT_EQ(4, SLListGetCount(&head));
    EXPECT_EQ(&c, SLListGetPrevItem(&head, nullptr));
    EXPECT_EQ(&a, SLListGetPrevItem(&head, &b));
    EXPECT_EQ(nullptr, SLListGetPrevItem(&head, &d));
    EXPECT_EQ(nullptr, SLListGetPrevItem(&head, &stray));
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLListInsertItemPtr(nullptr, nullptr, &a));
    EXPECT_EQ(static_cast<int>(0xA0AD800Bu), SLListInsertItemPtr(&head, nullptr, nullptr));
    EXPECT_EQ(1, SLListRemoveItem(&head, &a));
    EXPECT_EQ(nullptr, a.next);
    EXPECT_EQ(0, SLListRemoveItem(&head, &a));
    EXPECT_EQ(0, SLListRemoveItem(&head, nullptr));
    EXPECT_EQ("dbc", names(&head));
}

TEST(SLList, CopyKeepsClonesMadeBeforeAFailure)
{
    Item a{nullptr, 'a'}, bang{nullptr, '!'}, c{nullptr, 'c'};
    SLList source = nullptr;
    SLListInsertItemPtr(&source, nullptr, &a);
    SLListInsertItemPtr(&source, nullptr, &c);
    SLList copy = nullptr;
    ASSERT_EQ(0, SLListCopy(&copy, &source, cloneItem));
    EXPECT_EQ("ac", names(&copy));
    SLListInsertItemPtr(&source, &c, &bang);
    EXPECT_EQ(-5, SLListCopy(&copy, &source, cloneItem));
    EXPECT_EQ("aca", names(&copy));
    g_destroyed = 0;
    void* after = SLListDeleteItem(&copy, SLListGetNextItem(&copy, nullptr), destroyItem);
    EXPECT_EQ(SLListGetNextItem(&copy, nullptr), after);
    SLListDeleteAllItems(&copy, destroyItem);
    EXPECT_EQ(3, g_destroyed);
    EXPECT_EQ(nullptr, copy);
    SLListDeleteAllItems(nullptr, destroyItem);
}

TEST(SLList, Compare)
{
    Item a1{nullptr, 'a'}, b1{nullptr, 'b'}, a2{nullptr, 'a'}, b2{nullptr, 'b'};
    SLList ab = nullptr, ba = nullptr, a = nullptr;
    SLListInsertItemPtr(&ab, nullptr, &a1);
    SLListInsertItemPtr(&ab, nullptr, &b1);
    SLListInsertItemPtr(&ba, nullptr, &b2);
    SLListInsertItemPtr(&ba, nullptr, &a2);
    Item a3{nullptr, 'a'};
    SLListInsertItemPtr(&a, nullptr, &a3);
    EXPECT_EQ(1, SLListCompare(&ab, &a, compareItems));
    EXPECT_EQ(-1, SLListCompare(&a, &ab, compareItems));
    EXPECT_LT(SLListCompare(&ab, &ba, compareItems), 0);
    EXPECT_EQ(-1, SLListCompare(nullptr, &a, compareItems));
    EXPECT_EQ(0, SLListCompareNoOrder(&ab, &ba, compareItems));
    EXPECT_EQ(-1, SLListCompareNoOrder(&a, &ab, compareItems));
    EXPECT_EQ(1, SLListCompareNoOrder(&ab, &a, compareItems));
    EXPECT_EQ(0, SLListCompareNoOrder(nullptr, nullptr, compareItems));
    EXPECT_EQ(-1, SLListCompareNoOrder(nullptr, &a, compareItems));
}

}  // namespace
