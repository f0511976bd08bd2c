// Private to the message layer: the generic header records and parameter-chain helpers.
#pragma once
#include <string_view>

#include "SLGenHdr.h"
#include "SLMsgPool.h"

struct SLGenField {
  SLGenField *next;
  char *element;  // raw text as received
  char *value;
  char *comment;
  SLParam *params;
};

struct SLGenHdr {
  SLGenHdr *next;
  int type;
  char *name;
  SLGenField *fields;
};

struct SLGenHdrList {
  SLGenHdr *first;
};

namespace slmsg {

// A parameter chain seen as a list of the parameter module (a list is its head word).
inline SLParamList *asList(SLParam *const *head) {
  return reinterpret_cast<SLParamList *>(const_cast<SLParam **>(head));
}
static_assert(sizeof(SLParamList) == sizeof(SLParam *), "a parameter list is its head word");

// Parameter chains (head word + next links of SLParam).
int paramAppend(SLParam **head, int type, std::string_view name, const char *value, size_t vlen);
SLParam *paramFind(SLParam *head, const char *name);
// Replaces the value of an existing parameter of that name, or appends one.
int paramSet(SLParam **head, int type, const char *name, const char *value, int module);
int paramCloneList(SLParam **dst, const SLParam *src);
void paramDestroyList(SLParam **head);
int paramCompareList(const SLParam *a, const SLParam *b);
bool paramRemove(SLParam **head, const char *name);

// Appends one parameter the way the field encoder writes it (name, "=", value or quoted value).
void putParam(Out &o, const SLParam *p);

}  // namespace slmsg
