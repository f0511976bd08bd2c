// Private to the message layer: records of the typed headers and helpers shared by the families.
#pragma once
#include <string>
#include <string_view>

#include "SLGenHdrPriv.h"
#include "SLSipHdr.h"
#include "SLSipHdrTable.h"

struct SLSipHdrFrom {
  SLUri *uri;
  char *displayName;
  char *tag;
};
struct SLSipHdrCallId {
  char *localId;
  char *host;
};
struct SLSipHdrCSeq {
  uint32_t seqNo;
  int method;
  char *methodText;
};
struct SLSipHdrMethodsParam {
  SLSipHdrMethodsParam *next;
  int method;
};
struct SLSipHdrDeltaSeconds {
  uint32_t value;
};
struct SLSipHdrContactItem {
  SLSipHdrContactItem *next;
  char *displayName;
  SLUri *uri;
  char *qValue;
  char *action;
  SLSipHdrDeltaSeconds *expires;
  SLSipHdrMethodsParam *methods;
  SLParam *extensions;
};
struct SLSipHdrContact {
  SLSipHdrContactItem *head;
};
struct SLSipHdrViaItem {
  SLSipHdrViaItem *next;
  char *protocolName;
  char *protocolVer;
  char *transport;
  char *host;
  uint16_t port;
  uint8_t ttl;
  char *maddr;
  char *received;
  char *branch;
  int hasRport;
  int32_t rport;
  char *comp;
};
struct SLSipHdrVia {
  SLSipHdrViaItem *head;
};
struct SLSipHdrOptTag {
  SLSipHdrOptTag *next;
  char *value;
};
struct SLSipHdrOptTagList {
  SLSipHdrOptTag *head;
};
struct SLSipHdrGenericIdItem {
  SLSipHdrGenericIdItem *next;
  SLUri *uri;
  char *displayName;
  SLParam *params;
};
struct SLSipHdrGenericId {
  SLSipHdrGenericIdItem *head;
};
struct SLSipHdrTimestamp {
  char *timestamp;
  char *delay;
};
struct SLSipHdrRSeq {
  uint32_t value;
};
struct SLSipHdrRAck {
  uint32_t resNo;
  uint32_t cseqNo;
  int method;
  char *methodText;
};
struct SLSipHdrAuthItem {
  SLSipHdrAuthItem *next;
  char *scheme;
  SLParam *params;
};
struct SLSipHdrAuth {
  SLSipHdrAuthItem *head;
};
struct SLSipHdrSessionExpires {
  uint32_t seconds;
  char *refresher;
};
struct SLSipHdrMaxForwards {
  uint32_t value;
};
struct SLSipHdrMaxBreadth {
  uint32_t value;
};
// Value with parameters (Accept-style items, Event, P-Access-Network-Info).
#define SL_SIPHDR_VALUE_RECORD(T) \
  struct T {                      \
    T *next;                      \
    char *value;                  \
    SLParam *params;              \
  };
SL_SIPHDR_VALUE_RECORD(SLSipHdrAcceptItem)
SL_SIPHDR_VALUE_RECORD(SLSipHdrReasonItem)
SL_SIPHDR_VALUE_RECORD(SLSipHdrSecMechanismItem)
SL_SIPHDR_VALUE_RECORD(SLSipHdrAcceptContactItem)
SL_SIPHDR_VALUE_RECORD(SLSipHdrEvent)
SL_SIPHDR_VALUE_RECORD(SLSipHdrPAccessNetworkInfo)
struct SLSipHdrAccept {
  SLSipHdrAcceptItem *head;
};
struct SLSipHdrReason {
  SLSipHdrReasonItem *head;
};
struct SLSipHdrSecMechanism {
  SLSipHdrSecMechanismItem *head;
};
struct SLSipHdrAcceptContact {
  SLSipHdrAcceptContactItem *head;
};
struct SLSipHdrTranslate {
  SLUri *uri;
  int natType;
};
// Dialog identifier: Call-ID, two tags, further parameters.
#define SL_SIPHDR_DIALOG_RECORD(T) \
  struct T {                       \
    SLSipHdrCallId *callId;        \
    char *tag1;                    \
    char *tag2;                    \
    SLParam *params;               \
  };
SL_SIPHDR_DIALOG_RECORD(SLSipHdrReplaces)
SL_SIPHDR_DIALOG_RECORD(SLSipHdrJoin)
SL_SIPHDR_DIALOG_RECORD(SLSipHdrTargetDialog)
struct SLSipHdrRetryAfter {
  uint32_t seconds;
  char *comment;
  int hasDuration;
  uint32_t duration;
  SLParam *params;
};
struct SLSipHdrPDCSTracePartyId {
  SLUri *uri;
  char *displayName;
};

namespace slhdr {

extern slmsg::Pool gPool;
constexpr int kInvalid = slmsg::err(slmsg::kModHdr, slmsg::kInval);
constexpr int kNoMemory = slmsg::err(slmsg::kModHdr, slmsg::kNoMem);
constexpr int kSyntaxErr = slmsg::err(slmsg::kModHdr, slmsg::kSyntax);

template <class T>
T *make() {
  return static_cast<T *>(slmsg::alloc(gPool, sizeof(T)));
}
inline void drop(void *p) { slmsg::release(gPool, p); }
inline void dropText(char *&s) {
  slmsg::release(gPool, s);
  s = nullptr;
}
inline bool copyText(char *&slot, const char *text) { return slmsg::setText(gPool, &slot, text); }

// Checks the header's name and returns its first field (none when it has none).
bool named(const SLGenHdr *hdr, const char *name);
const SLGenField *firstField(const SLGenHdr *hdr);
// The field's value trimmed of white space.
std::string_view fieldValue(const SLGenField *field);
bool readNumber(std::string_view text, uint32_t &value);
// Creates a generic header of that name (class from the name table).
int newHeader(SLGenHdr **out, const char *name);
// Appends a new field holding value and a copy of params to hdr (or returns it through *out).
int makeField(SLGenField **out, int parseClass, const char *value, const SLParam *params);
int addField(SLGenHdr *hdr, SLGenField *field);
// Quoted parameter values are stored in wire form: quotes and escapes kept.
std::string requote(const char *value);
// Copies params into *target (replacing same names), skipping those named in `skip`.
int copyParams(SLParam **target, const SLParam *src);
int setParam(SLParam **head, const char *name, const char *value);
// Parses a name-addr field into display name and URI (URI errors become syntax errors).
int nameAddr(const SLGenField *field, char *&display, SLUri *&uri);
int uriEqual(const SLUri *a, const SLUri *b);  // SIP comparison, 1 when equal
int cloneUri(SLUri *&dst, const SLUri *src);

// Encodes the table slot of that header name into a new generic header (none when empty).
int encodeSlotNamed(const SLSipHdrTable *table, const char *name, SLGenHdr **out);

}  // namespace slhdr
