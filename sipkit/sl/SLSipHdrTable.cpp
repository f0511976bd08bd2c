// Header table: the parse and encode walks over the 68 typed slots.
#include "SLSipHdrTable.h"

#include <stddef.h>
#include <strings.h>

#include "SLSipHdrPriv.h"

using namespace slhdr;

namespace {

enum Slot {
#define SL_SLOT_ENUM(slot, name, family) k##slot,
  SL_SIPHDR_TABLE_SLOTS(SL_SLOT_ENUM)
#undef SL_SLOT_ENUM
      kSlotCount
};
static_assert(int(kSlotCount) == int(SL_SIPHDR_TABLE_SLOT_COUNT), "68 header slots");
static_assert(sizeof(SLSipHdrTable) == kSlotCount * sizeof(void *), "the table is its slots");

using ParseFn = int (*)(void **out, const SLGenHdr *hdr);
using EncodeFn = int (*)(SLGenHdr **out, const void *obj);
using CloneFn = int (*)(void **out, const void *src);
using DestroyFn = void (*)(void *obj);

struct SlotOps {
  const char *name;
  ParseFn parse;
  EncodeFn encode;
  CloneFn clone;
  DestroyFn destroy;
};

// How each slot is parsed and encoded; `g` is the generic header, `x` the typed object.
#define SL_PARSE(family, expr) \
  [](void **o, const SLGenHdr *g) -> int { return expr(reinterpret_cast<SLSipHdr##family **>(o), g); }
#define SL_PARSE_N(family, fn, name) \
  [](void **o, const SLGenHdr *g) -> int { return fn(reinterpret_cast<SLSipHdr##family **>(o), g, name); }
#define SL_PARSE_AUTH(name, kind) \
  [](void **o, const SLGenHdr *g) -> int { return SLSipHdrAuthParse(reinterpret_cast<SLSipHdrAuth **>(o), g, name, kind); }
#define SL_ENC(family, fn) \
  [](SLGenHdr **o, const void *x) -> int { return fn(o, static_cast<const SLSipHdr##family *>(x)); }
#define SL_ENC_N(family, fn, name) \
  [](SLGenHdr **o, const void *x) -> int { return fn(o, static_cast<const SLSipHdr##family *>(x), name); }
#define SL_COPY(family)                                                                          \
  [](void **o, const void *x) -> int {                                                           \
    return SLSipHdr##family##Clone(reinterpret_cast<SLSipHdr##family **>(o), static_cast<const SLSipHdr##family *>(x)); \
  },                                                                                             \
      [](void *x) { SLSipHdr##family##Destroy(static_cast<SLSipHdr##family *>(x)); }

#define VLIST(family, name) \
  {name, SL_PARSE_N(family, SLSipHdr##family##ParseHdr, name), SL_ENC_N(family, SLSipHdr##family##EncodeHdr, name), SL_COPY(family)}
#define OPTS(name) \
  {name, SL_PARSE_N(OptTagList, SLSipHdrOptTagListParse, name), SL_ENC_N(OptTagList, SLSipHdrOptTagListEncode, name), SL_COPY(OptTagList)}
#define AUTH(name, kind) {name, SL_PARSE_AUTH(name, kind), SL_ENC_N(Auth, SLSipHdrAuthEncode, name), SL_COPY(Auth)}
#define ITEM(name) \
  {name, SL_PARSE_N(AcceptItem, SLSipHdrAcceptItemParseHdr, name), SL_ENC_N(AcceptItem, SLSipHdrAcceptItemEncodeHdr, name), SL_COPY(AcceptItem)}
#define IDS(name) \
  {name, SL_PARSE_N(GenericId, SLSipHdrGenericIdParse, name), SL_ENC_N(GenericId, SLSipHdrGenericIdEncode, name), SL_COPY(GenericId)}
#define ID1(name) \
  {name, SL_PARSE_N(GenericIdItem, SLSipHdrGenericIdItemParseHdr, name), SL_ENC_N(GenericIdItem, SLSipHdrGenericIdItemEncodeHdr, name), SL_COPY(GenericIdItem)}
#define TAG1(name) \
  {name, SL_PARSE_N(OptTag, SLSipHdrOptTagParseHdr, name), SL_ENC_N(OptTag, SLSipHdrOptTagEncodeHdr, name), SL_COPY(OptTag)}
#define DELTA(name) \
  {name, SL_PARSE_N(DeltaSeconds, SLSipHdrDeltaSecondsParseHdr, name), SL_ENC_N(DeltaSeconds, SLSipHdrDeltaSecondsEncodeHdr, name), SL_COPY(DeltaSeconds)}
#define EVT(name, parser) {name, SL_PARSE(Event, parser), SL_ENC_N(Event, SLSipHdrEventEncodeHdr, name), SL_COPY(Event)}
#define OWN(family, name) {name, SL_PARSE(family, SLSipHdr##family##Parse), SL_ENC(family, SLSipHdr##family##Encode), SL_COPY(family)}

const SlotOps kOps[kSlotCount] = {
    VLIST(Accept, "Accept"),
    VLIST(AcceptContact, "Accept-Contact"),
    VLIST(Accept, "Accept-Encoding"),
    VLIST(Accept, "Accept-Language"),
    OPTS("Allow"),
    OPTS("Allow-Events"),
    AUTH("Authentication-Info", SL_AUTH_KIND_INFO),
    AUTH("Authorization", SL_AUTH_KIND_CREDENTIALS),
    OWN(CallId, "Call-ID"),
    OWN(Contact, "Contact"),
    OPTS("Content-Encoding"),
    OPTS("Content-Language"),
    ITEM("Content-Type"),
    OWN(CSeq, "CSeq"),
    EVT("Event", SLSipHdrEventParse),
    DELTA("Expires"),
    {"From", SL_PARSE_N(From, SLSipHdrFromParseHdr, "From"), SL_ENC_N(From, SLSipHdrFromEncodeHdr, "From"), SL_COPY(From)},
    IDS("History-Info"),
    OWN(Join, "Join"),
    OWN(MaxBreadth, "Max-Breadth"),
    OWN(MaxForwards, "Max-Forwards"),
    DELTA("Min-Expires"),
    DELTA("Min-SE"),
    OWN(PAccessNetworkInfo, "P-Access-Network-Info"),
    IDS("P-Asserted-Identity"),
    IDS("P-Associated-URI"),
    ID1("P-Called-Party-ID"),
    ITEM("P-DCS-Billing-Info"),
    ITEM("P-DCS-LAES"),
    TAG1("P-DCS-OSPS"),
    ITEM("P-DCS-Redirect"),
    {"P-DCS-Trace-Party-ID", SL_PARSE_N(PDCSTracePartyId, SLSipHdrPDCSTracePartyIdParseHdr, "P-DCS-Trace-Party-ID"),
     SL_ENC(PDCSTracePartyId, SLSipHdrPDCSTracePartyIdEncode), SL_COPY(PDCSTracePartyId)},
    OPTS("P-Early-Media"),
    OPTS("P-Media-Authorization"),
    IDS("P-Preferred-Identity"),
    OPTS("Privacy"),
    AUTH("Proxy-Authenticate", SL_AUTH_KIND_CHALLENGE),
    AUTH("Proxy-Authorization", SL_AUTH_KIND_CREDENTIALS),
    OPTS("Proxy-Require"),
    OWN(RAck, "RAck"),
    VLIST(Reason, "Reason"),
    IDS("Record-Route"),
    ID1("Referred-By"),
    EVT("Refer-Sub", SLSipHdrReferSubParse),
    ID1("Refer-To"),
    VLIST(AcceptContact, "Reject-Contact"),
    OPTS("Request-Disposition"),
    OWN(RetryAfter, "Retry-After"),
    OWN(Replaces, "Replaces"),
    OPTS("Require"),
    IDS("Route"),
    OWN(RSeq, "RSeq"),
    OWN(SessionExpires, "Session-Expires"),
    IDS("Service-Route"),
    VLIST(SecMechanism, "Security-Client"),
    VLIST(SecMechanism, "Security-Server"),
    VLIST(SecMechanism, "Security-Verify"),
    TAG1("SIP-ETag"),
    TAG1("SIP-If-Match"),
    EVT("Subscription-State", SLSipHdrSubscriptionStateParse),
    OPTS("Supported"),
    OWN(TargetDialog, "Target-Dialog"),
    OWN(Timestamp, "Timestamp"),
    {"To", SL_PARSE_N(From, SLSipHdrFromParseHdr, "To"), SL_ENC_N(From, SLSipHdrFromEncodeHdr, "To"), SL_COPY(From)},
    OWN(Translate, "Translate"),
    OPTS("Unsupported"),
    OWN(Via, "Via"),
    AUTH("WWW-Authenticate", SL_AUTH_KIND_CHALLENGE),
};

void *&slotRef(SLSipHdrTable *t, int s) { return reinterpret_cast<void **>(t)[s]; }
void *slotOf(const SLSipHdrTable *t, int s) { return reinterpret_cast<void *const *>(t)[s]; }

struct Step {
  Slot slot;
  bool flag;  // parse: single-valued; encode: inserted at the front
};

const Step kParseOrder[] = {
    {kFrom, true}, {kTo, true}, {kCallId, true}, {kCSeq, true}, {kExpires, true}, {kContentType, true},
    {kTimestamp, true}, {kAuthenticationInfo, true}, {kMaxForwards, true}, {kMinExpires, true},
    {kRetryAfter, true}, {kTranslate, true}, {kVia, false}, {kRequire, false}, {kSupported, false},
    {kUnsupported, false}, {kRoute, false}, {kServiceRoute, false}, {kRecordRoute, false}, {kReason, false},
    {kWWWAuthenticate, false}, {kProxyAuthenticate, false}, {kAuthorization, false}, {kProxyAuthorization, false},
    {kProxyRequire, false}, {kAccept, false}, {kAcceptEncoding, false}, {kAcceptLanguage, false}, {kAllow, false},
    {kContact, false}, {kContentEncoding, false}, {kContentLanguage, false}, {kPrivacy, false},
    {kPAccessNetworkInfo, false}, {kPAssertedId, false}, {kPAssociatedUri, false}, {kPEarlyMedia, false},
    {kPMediaAuthorization, false}, {kPCalledPartyId, false}, {kPDCSBillingInfo, false}, {kPDCSLAES, false},
    {kPDCSOSPS, false}, {kPDCSRedirect, false}, {kPDCSTracePartyId, false}, {kPPreferredId, false},
    {kTargetDialog, false}, {kSecurityClient, false}, {kSecurityServer, false}, {kSecurityVerify, false},
    {kJoin, true}, {kHistoryInfo, false}, {kAcceptContact, false}, {kRejectContact, false},
    {kRequestDisposition, false}, {kMaxBreadth, true}, {kRSeq, true}, {kRAck, true}, {kSessionExpires, true},
    {kMinSe, true}, {kAllowEvents, false}, {kEvent, true}, {kSubscriptionState, true}, {kReferSub, true},
    {kReferTo, true}, {kReferredBy, true}, {kReplaces, true}, {kSipETag, true}, {kSipIfMatch, true}};
static_assert(sizeof kParseOrder / sizeof kParseOrder[0] == kSlotCount, "every slot is parsed once");

const Step kEncodeOrder[] = {
    {kProxyAuthorization, true}, {kProxyRequire, true}, {kCSeq, true}, {kTo, true}, {kFrom, true},
    {kCallId, true}, {kMaxForwards, true}, {kRecordRoute, true}, {kRoute, true}, {kVia, true},
    {kAccept, false}, {kAcceptEncoding, false}, {kAcceptLanguage, false}, {kAllow, false},
    {kAuthenticationInfo, false}, {kAuthorization, false}, {kContact, false}, {kExpires, false},
    {kMinExpires, false}, {kPAccessNetworkInfo, false}, {kPAssertedId, false}, {kPAssociatedUri, false},
    {kPCalledPartyId, false}, {kPDCSBillingInfo, false}, {kPDCSLAES, false}, {kPDCSOSPS, false},
    {kPDCSRedirect, false}, {kPDCSTracePartyId, false}, {kPEarlyMedia, false}, {kPMediaAuthorization, false},
    {kPPreferredId, false}, {kPrivacy, false}, {kRequire, false}, {kRetryAfter, false}, {kReason, false},
    {kServiceRoute, false}, {kSupported, false}, {kTimestamp, false}, {kTranslate, false}, {kUnsupported, false},
    {kSecurityClient, false}, {kSecurityServer, false}, {kSecurityVerify, false}, {kTargetDialog, false},
    {kJoin, false}, {kHistoryInfo, false}, {kAcceptContact, false}, {kRejectContact, false},
    {kRequestDisposition, false}, {kMaxBreadth, true}, {kMinSe, false}, {kSessionExpires, false}, {kRAck, false},
    {kRSeq, false}, {kAllowEvents, false}, {kEvent, false}, {kSubscriptionState, false}, {kReferredBy, false},
    {kReferSub, false}, {kReferTo, false}, {kReplaces, false}, {kSipETag, false}, {kSipIfMatch, false},
    {kProxyAuthenticate, false}, {kWWWAuthenticate, false}, {kContentEncoding, false}, {kContentLanguage, false},
    {kContentType, false}};
static_assert(sizeof kEncodeOrder / sizeof kEncodeOrder[0] == kSlotCount, "every slot is encoded once");

void clearSlot(SLSipHdrTable *t, int s) {
  void *&p = slotRef(t, s);
  if (p) kOps[s].destroy(p);
  p = nullptr;
}

int parseSlot(SLSipHdrTable *t, int s, const SLGenHdr *hdr) {
  if (!t) return kInvalid;
  if (!hdr) {
    clearSlot(t, s);
    return 0;
  }
  void *obj = nullptr;
  int r = kOps[s].parse(&obj, hdr);
  if (r < 0) return r;
  clearSlot(t, s);
  slotRef(t, s) = obj;
  return 0;
}

int setSlot(SLSipHdrTable *t, int s, const void *value) {
  if (!t) return kInvalid;
  void *copy = nullptr;
  if (value) {
    int r = kOps[s].clone(&copy, value);
    if (r < 0) return r;
  }
  clearSlot(t, s);
  slotRef(t, s) = copy;
  return 0;
}

}  // namespace

SLSipHdrTable *SLSipHdrTableInit(SLSipHdrTable *memory) {
  if (!memory) return nullptr;
  for (int s = 0; s < kSlotCount; ++s) slotRef(memory, s) = nullptr;
  return memory;
}

SLSipHdrTable *SLSipHdrTableClear(SLSipHdrTable *table) {
  if (!table) return nullptr;
  for (int s = 0; s < kSlotCount; ++s) clearSlot(table, s);
  return table;
}

SFResult SLSipHdrTableCopy(SLSipHdrTable *dst, const SLSipHdrTable *src) {
  if (!dst || !src) return kInvalid;
  SLSipHdrTableClear(dst);
  for (int s = 0; s < kSlotCount; ++s) {
    const void *v = slotOf(src, s);
    if (!v) continue;
    void *copy = nullptr;
    int r = kOps[s].clone(&copy, v);
    if (r < 0) return r;
    slotRef(dst, s) = copy;
  }
  return 0;
}

SFResult SLSipHdrTableParse(SLSipHdrTable *table, const SLGenHdrList *list) {
  if (!table) return kInvalid;
  SLSipHdrTableClear(table);
  if (!list) return 0;
  for (const Step &step : kParseOrder) {
    const SLGenHdr *hdr = SLGenHdrListFindItem(list, nullptr, kOps[step.slot].name);
    if (!hdr || (step.flag && !hdr->fields)) continue;
    void *obj = nullptr;
    int r = kOps[step.slot].parse(&obj, hdr);
    if (r < 0) {
      SLSipHdrTableClear(table);
      return r;
    }
    slotRef(table, step.slot) = obj;
  }
  return 0;
}

SFResult SLSipHdrTableEncode(const SLSipHdrTable *table, SLGenHdrList *list) {
  if (!table) return kInvalid;
  for (const Step &step : kEncodeOrder) {
    const void *v = slotOf(table, step.slot);
    if (!v) continue;
    if (!list) return slmsg::err(slmsg::kModHdr, slmsg::kInval);
    if (SLGenHdrListFindItem(list, nullptr, kOps[step.slot].name)) continue;
    SLGenHdr *g = nullptr;
    int r = kOps[step.slot].encode(&g, v);
    if (r < 0) return r;
    r = SLGenHdrListInsertItemPtr(list, step.flag ? SLGenHdrListGetFirst(list) : nullptr, g);
    if (r < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
  }
  return 0;
}

int slhdr::encodeSlotNamed(const SLSipHdrTable *table, const char *name, SLGenHdr **out) {
  *out = nullptr;
  if (!table || !name) return kInvalid;
  for (int s = 0; s < kSlotCount; ++s)
    if (strcasecmp(kOps[s].name, name) == 0) {
      const void *v = slotOf(table, s);
      return v ? kOps[s].encode(out, v) : 0;
    }
  return 0;
}

#define SL_SLOT_FUNCS(slot, name, family)                                                 \
  SFResult SLSipHdrTableParse##slot(SLSipHdrTable *t, const SLGenHdr *hdr) { return parseSlot(t, k##slot, hdr); } \
  SFResult SLSipHdrTableSet##slot(SLSipHdrTable *t, const SLSipHdr##family *v) { return setSlot(t, k##slot, v); }
SL_SIPHDR_TABLE_SLOTS(SL_SLOT_FUNCS)
#undef SL_SLOT_FUNCS
