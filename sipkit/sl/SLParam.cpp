// Name/value parameters.
#include "SLParam.h"

#include <strings.h>

#include "SLList.h"
#include "SLMem.h"
#include "SLUtlStr.h"

namespace {

SFMemMemoryPool g_pool;

SLParam* allocParam() { return static_cast<SLParam*>(SLMemAllocateZeroed(&g_pool, sizeof(SLParam))); }

// Replaces `*slot` with a copy of `text` (none clears); the old text stays when the copy fails.
int replaceText(char** slot, const char* text)
{
    char* copy = nullptr;
    if (text) {
        copy = SLUtlStrDup(&g_pool, text, -1);
        if (!copy)
            return SL_PARAM_ERR_NO_MEMORY;
    }
    SLMemFreeMemory(&g_pool, *slot);
    *slot = copy;
    return 0;
}

int cloneItem(void** out, const void* source)
{
    SLParam* copy = nullptr;
    const int rc = SLParamClone(&copy, static_cast<const SLParam*>(source));
    *out = copy;
    return rc;
}

void destroyItem(void* item) { SLParamDestroy(static_cast<SLParam*>(item)); }

SLList* headOf(SLParamList* list) { return reinterpret_cast<SLList*>(&list->head); }

}  // namespace

int SLParamInitialize(void) { return SLMemInitializeMemoryPool(&g_pool, 0); }
void SLParamCleanup(void) { SLMemDeleteMemoryPool(&g_pool); }
int32_t SLParamGetLiveCount(void) { return g_pool.count; }

int SLParamCreate(SLParam** out, int32_t valueType, const char* name, const char* value)
{
    if (!out)
        return SL_PARAM_ERR_INVALID;
    *out = nullptr;
    if (!name)
        return SL_PARAM_ERR_INVALID;
    SLParam* p = allocParam();
    if (!p)
        return SL_PARAM_ERR_NO_MEMORY;
    p->valueType = valueType;
    if (replaceText(&p->name, name) != 0 || replaceText(&p->value, value) != 0) {
        SLParamDestroy(p);
        return SL_PARAM_ERR_NO_MEMORY;
    }
    *out = p;
    return 0;
}

int SLParamClone(SLParam** out, const SLParam* source)
{
    if (!out)
        return SL_PARAM_ERR_INVALID;
    *out = nullptr;
    if (!source)
        return SL_PARAM_ERR_INVALID;
    return SLParamCreate(out, source->valueType, source->name, source->value);
}

void SLParamDestroy(SLParam* param)
{
    if (!param)
        return;
    SLMemFreeMemory(&g_pool, param->name);
    SLMemFreeMemory(&g_pool, param->value);
    SLMemFreeMemory(&g_pool, param);
}

int32_t SLParamGetValueType(const SLParam* param) { return param ? param->valueType : 0; }

int SLParamSetValueType(SLParam* param, int32_t valueType)
{
    if (!param)
        return SL_PARAM_ERR_INVALID;
    param->valueType = valueType;
    return 0;
}

const char* SLParamGetName(const SLParam* param) { return param ? param->name : nullptr; }

int SLParamSetName(SLParam* param, const char* name)
{
    return param ? replaceText(&param->name, name) : SL_PARAM_ERR_INVALID;
}

const char* SLParamGetValue(const SLParam* param) { return param ? param->value : nullptr; }

int SLParamSetValue(SLParam* param, const char* value)
{
    return param ? replaceText(&param->value, value) : SL_PARAM_ERR_INVALID;
}

int SLParamCompare(const SLParam* a, const SLParam* b)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    if (a->valueType != b->valueType)
        return a->valueType < b->valueType ? -1 : 1;
    int rc = SLUtlStrCmpI(a->name, b->name);
    if (rc != 0)
        return rc;
    rc = a->valueType == SL_PARAM_TYPE_QUOTED ? SLUtlStrCmp(a->value, b->value) : SLUtlStrCmpI(a->value, b->value);
    return rc;
}

int SLParamListCreate(SLParamList** out)
{
    if (!out)
        return SL_PARAM_ERR_INVALID;
    *out = static_cast<SLParamList*>(SLMemAllocateZeroed(&g_pool, sizeof(SLParamList)));
    return *out ? 0 : SL_PARAM_ERR_NO_MEMORY;
}

void SLParamListDestroy(SLParamList* list)
{
    if (!list)
        return;
    SLListDeleteAllItems(headOf(list), destroyItem);
    SLMemFreeMemory(&g_pool, list);
}

int SLParamListClone(SLParamList** out, const SLParamList* source)
{
    if (!out)
        return SL_PARAM_ERR_INVALID;
    *out = nullptr;
    if (!source)
        return SL_PARAM_ERR_INVALID;
    SLParamList* copy = nullptr;
    int rc = SLParamListCreate(&copy);
    if (rc != 0)
        return rc;
    rc = SLListCopy(headOf(copy), reinterpret_cast<const SLList*>(&source->head), cloneItem);
    if (rc != 0) {
        SLParamListDestroy(copy);
        return rc;
    }
    *out = copy;
    return 0;
}

SLParam* SLParamListFindItem(const SLParamList* list, const SLParam* after, const char* name)
{
    if (!list || !name)
        return nullptr;
    for (SLParam* p = after ? after->next : list->head; p; p = p->next)
        if (p->name && strcasecmp(p->name, name) == 0)
            return p;
    return nullptr;
}

int SLParamListSetParam(SLParamList* list, int replace, int32_t valueType, const char* name, const char* value)
{
    if (!list || !name)
        return SL_PARAM_ERR_INVALID;
    if (SLParam* existing = SLParamListFindItem(list, nullptr, name)) {
        if (!replace)
            return SL_PARAM_ERR_INVALID;
        const int rc = SLParamSetValue(existing, value);
        if (rc == 0)
            existing->valueType = valueType;
        return rc;
    }
    SLParam* p = nullptr;
    const int rc = SLParamCreate(&p, valueType, name, value);
    if (rc != 0)
        return rc;
    return SLListInsertItemPtr(headOf(list), nullptr, p);
}

int SLParamListDeleteParam(SLParamList* list, const char* name)
{
    SLParam* p = SLParamListFindItem(list, nullptr, name);
    if (!p)
        return 0;
    SLListDeleteItem(headOf(list), p, destroyItem);
    return 1;
}

int SLParamListGetCount(const SLParamList* list)
{
    return list ? SLListGetCount(reinterpret_cast<const SLList*>(&list->head)) : 0;
}
