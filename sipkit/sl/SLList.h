#pragma once
// Singly linked lists of the SIP layer: a list is one head word pointing at the first item, and
// every item begins with its next pointer. Items are records of their own module, which passes its
// clone, destroy and compare routines in.

#include "SFResult.h"

typedef void* SLList;  // the head word

typedef int (*SLListCloneFn)(void** out, const void* source);
typedef void (*SLListDestroyFn)(void* item);
typedef int (*SLListCompareFn)(const void* a, const void* b);

void SLListInit(SLList* head);
void* SLListItemGetNext(const void* item);
// The first item when `item` is none, else the item's next.
void* SLListGetNextItem(const SLList* head, const void* item);
// The last item when `item` is none; none when it is the first or not in the list.
void* SLListGetPrevItem(const SLList* head, const void* item);
int SLListGetCount(const SLList* head);
// Links `item` in front of `before`; at the end when `before` is none, at the head when `before`
// is not in the list. 0 or 0xA0AD800B.
int SLListInsertItemPtr(SLList* head, void* before, void* item);
// Inserts a clone of `source` made by `clone`. 0 or the error.
int SLListInsertItem(SLList* head, void* before, const void* source, SLListCloneFn clone);
// Appends clones of every source item; items cloned before a failure stay appended.
int SLListCopy(SLList* destination, const SLList* source, SLListCloneFn clone);
// Unlinks a member without freeing it: 1, or 0 for a missing argument or a non-member.
int SLListRemoveItem(SLList* head, void* item);
// Unlinks and destroys a member; returns the item that followed it.
void* SLListDeleteItem(SLList* head, void* item, SLListDestroyFn destroy);
void SLListDeleteAllItems(SLList* head, SLListDestroyFn destroy);
// Pairwise in order; a missing list is smaller; the longer list is greater.
int SLListCompare(const SLList* a, const SLList* b, SLListCompareFn compare);
// 0 when both are missing or every item of A has an equal item in B with the same count; -1 when A
// is missing or shorter; 1 otherwise.
int SLListCompareNoOrder(const SLList* a, const SLList* b, SLListCompareFn compare);
