#pragma once
// Name/value parameters (header, URI and attribute parameters) and lists of them.

#include <cstdint>

#include "SFResult.h"

// Value type 2 marks a quoted string, compared case-sensitively; other types compare ignoring case.
enum : int32_t {
    SL_PARAM_TYPE_TOKEN = 0,
    SL_PARAM_TYPE_QUOTED = 2,
};

typedef struct SLParam {
    SLParam* next;  // list link (first word)
    int32_t valueType;
    char* name;   // own copy
    char* value;  // own copy or none
} SLParam;

typedef struct SLParamList {
    SLParam* head;
} SLParamList;

constexpr SFResult SL_PARAM_ERR_INVALID = SFResultError(SF_MODULE_CMN, SF_CODE_INVALID_ARGUMENT);
constexpr SFResult SL_PARAM_ERR_NO_MEMORY = SFResultError(SF_MODULE_CMN, SF_CODE_NO_MEMORY);

int SLParamInitialize(void);
void SLParamCleanup(void);
// Live parameters and lists (leak checks).
int32_t SLParamGetLiveCount(void);

// Copies name and value. 0, 0xA0AD800B (no out pointer or name), 0xA0AD8008.
int SLParamCreate(SLParam** out, int32_t valueType, const char* name, const char* value);
int SLParamClone(SLParam** out, const SLParam* source);
void SLParamDestroy(SLParam* param);

int32_t SLParamGetValueType(const SLParam* param);
int SLParamSetValueType(SLParam* param, int32_t valueType);
const char* SLParamGetName(const SLParam* param);
// Setters copy (none clears); 0xA0AD800B without a parameter, 0xA0AD8008 keeping the old text.
int SLParamSetName(SLParam* param, const char* name);
const char* SLParamGetValue(const SLParam* param);
int SLParamSetValue(SLParam* param, const char* value);
// Missing < present, then value type, name ignoring case, value (case-sensitive for type 2).
int SLParamCompare(const SLParam* a, const SLParam* b);

int SLParamListCreate(SLParamList** out);
void SLParamListDestroy(SLParamList* list);
// Deep copy; nothing is left on failure.
int SLParamListClone(SLParamList** out, const SLParamList* source);
// The next parameter after `after` (from the first when none) named `name`, ignoring case.
SLParam* SLParamListFindItem(const SLParamList* list, const SLParam* after, const char* name);
// Adds a parameter, or with `replace` updates value and type of an existing one (without it:
// 0xA0AD800B, old value kept).
int SLParamListSetParam(SLParamList* list, int replace, int32_t valueType, const char* name, const char* value);
// 1 when a parameter of that name was found and destroyed, 0 otherwise.
int SLParamListDeleteParam(SLParamList* list, const char* name);
int SLParamListGetCount(const SLParamList* list);
