// Singly linked lists.
#include "SLList.h"

namespace {

constexpr SFResult kInvalid = SFResultError(SF_MODULE_CMN, SF_CODE_INVALID_ARGUMENT);

void*& nextOf(void* item) { return *static_cast<void**>(item); }
void* nextOf(const void* item) { return *static_cast<void* const*>(item); }

}  // namespace

void SLListInit(SLList* head)
{
    if (head)
        *head = nullptr;
}

void* SLListItemGetNext(const void* item) { return item ? nextOf(item) : nullptr; }

void* SLListGetNextItem(const SLList* head, const void* item)
{
    if (!item)
        return head ? *head : nullptr;
    return nextOf(item);
}

void* SLListGetPrevItem(const SLList* head, const void* item)
{
    if (!head)
        return nullptr;
    void* prev = nullptr;
    for (void* p = *head; p; p = nextOf(static_cast<const void*>(p))) {
        if (item && p == item)
            return prev;
        prev = p;
    }
    return item ? nullptr : prev;
}

int SLListGetCount(const SLList* head)
{
    int n = 0;
    for (void* p = head ? *head : nullptr; p; p = nextOf(static_cast<const void*>(p)))
        ++n;
    return n;
}

int SLListInsertItemPtr(SLList* head, void* before, void* item)
{
    if (!head || !item)
        return kInvalid;
    void** link = head;
    if (before) {
        while (*link && *link != before)
            link = &nextOf(*link);
        if (!*link)
            link = head;  // not a member: in front of the first item
    } else {
        while (*link)
            link = &nextOf(*link);
    }
    nextOf(item) = *link;
    *link = item;
    return 0;
}

int SLListInsertItem(SLList* head, void* before, const void* source, SLListCloneFn clone)
{
    if (!head || !source || !clone)
        return kInvalid;
    void* copy = nullptr;
    const int rc = clone(&copy, source);
    if (rc < 0)
        return rc;
    if (!copy)
        return SFResultError(SF_MODULE_CMN, SF_CODE_NO_MEMORY);
    return SLListInsertItemPtr(head, before, copy);
}

int SLListCopy(SLList* destination, const SLList* source, SLListCloneFn clone)
{
    if (!destination || !source || !clone)
        return kInvalid;
    for (void* p = *source; p; p = nextOf(static_cast<const void*>(p))) {
        const int rc = SLListInsertItem(destination, nullptr, p, clone);
        if (rc < 0)
            return rc;
    }
    return 0;
}

int SLListRemoveItem(SLList* head, void* item)
{
    if (!head || !item)
        return 0;
    for (void** link = head; *link; link = &nextOf(*link)) {
        if (*link == item) {
            *link = nextOf(item);
            nextOf(item) = nullptr;
            return 1;
        }
    }
    return 0;
}

void* SLListDeleteItem(SLList* head, void* item, SLListDestroyFn destroy)
{
    if (!head || !item)
        return nullptr;
    void* following = nextOf(item);
    if (!SLListRemoveItem(head, item))
        return nullptr;
    if (destroy)
        destroy(item);
    return following;
}

void SLListDeleteAllItems(SLList* head, SLListDestroyFn destroy)
{
    if (!head || !destroy)
        return;
    void* p = *head;
    *head = nullptr;
    while (p) {
        void* next = nextOf(static_cast<const void*>(p));  // read before the item is gone
        destroy(p);
        p = next;
    }
}

int SLListCompare(const SLList* a, const SLList* b, SLListCompareFn compare)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    const void* pa = *a;
    const void* pb = *b;
    for (; pa && pb; pa = nextOf(pa), pb = nextOf(pb)) {
        const int rc = compare ? compare(pa, pb) : (pa == pb ? 0 : (pa < pb ? -1 : 1));
        if (rc != 0)
            return rc;
    }
    if (pa)
        return 1;
    if (pb)
        return -1;
    return 0;
}

int SLListCompareNoOrder(const SLList* a, const SLList* b, SLListCompareFn compare)
{
    if (!a && !b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    const int na = SLListGetCount(a);
    const int nb = SLListGetCount(b);
    if (na < nb)
        return -1;
    if (na > nb)
        return 1;
    for (const void* pa = *a; pa; pa = nextOf(pa)) {
        bool found = false;
        for (const void* pb = *b; pb && !found; pb = nextOf(pb))
            found = (compare ? compare(pa, pb) : (pa == pb ? 0 : 1)) == 0;
        if (!found)
            return 1;
    }
    return 0;
}
