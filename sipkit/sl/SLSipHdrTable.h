// Typed header table of a SIP message: one slot per known header type, each holding that
// header's typed object or nothing. Slots are read directly by the layers above.
#pragma once
#include "SLSipHdr.h"

// Slot name, header name, object family; in the order of the record.
#define SL_SIPHDR_TABLE_SLOTS(X)                                                           \
  X(Accept, "Accept", Accept) X(AcceptContact, "Accept-Contact", AcceptContact)            \
  X(AcceptEncoding, "Accept-Encoding", Accept) X(AcceptLanguage, "Accept-Language", Accept) \
  X(Allow, "Allow", OptTagList) X(AllowEvents, "Allow-Events", OptTagList)                 \
  X(AuthenticationInfo, "Authentication-Info", Auth) X(Authorization, "Authorization", Auth) \
  X(CallId, "Call-ID", CallId) X(Contact, "Contact", Contact)                              \
  X(ContentEncoding, "Content-Encoding", OptTagList) X(ContentLanguage, "Content-Language", OptTagList) \
  X(ContentType, "Content-Type", AcceptItem) X(CSeq, "CSeq", CSeq) X(Event, "Event", Event) \
  X(Expires, "Expires", DeltaSeconds) X(From, "From", From) X(HistoryInfo, "History-Info", GenericId) \
  X(Join, "Join", Join) X(MaxBreadth, "Max-Breadth", MaxBreadth) X(MaxForwards, "Max-Forwards", MaxForwards) \
  X(MinExpires, "Min-Expires", DeltaSeconds) X(MinSe, "Min-SE", DeltaSeconds)              \
  X(PAccessNetworkInfo, "P-Access-Network-Info", PAccessNetworkInfo)                       \
  X(PAssertedId, "P-Asserted-Identity", GenericId) X(PAssociatedUri, "P-Associated-URI", GenericId) \
  X(PCalledPartyId, "P-Called-Party-ID", GenericIdItem) X(PDCSBillingInfo, "P-DCS-Billing-Info", AcceptItem) \
  X(PDCSLAES, "P-DCS-LAES", AcceptItem) X(PDCSOSPS, "P-DCS-OSPS", OptTag)                  \
  X(PDCSRedirect, "P-DCS-Redirect", AcceptItem) X(PDCSTracePartyId, "P-DCS-Trace-Party-ID", PDCSTracePartyId) \
  X(PEarlyMedia, "P-Early-Media", OptTagList) X(PMediaAuthorization, "P-Media-Authorization", OptTagList) \
  X(PPreferredId, "P-Preferred-Identity", GenericId) X(Privacy, "Privacy", OptTagList)     \
  X(ProxyAuthenticate, "Proxy-Authenticate", Auth) X(ProxyAuthorization, "Proxy-Authorization", Auth) \
  X(ProxyRequire, "Proxy-Require", OptTagList) X(RAck, "RAck", RAck) X(Reason, "Reason", Reason) \
  X(RecordRoute, "Record-Route", GenericId) X(ReferredBy, "Referred-By", GenericIdItem)    \
  X(ReferSub, "Refer-Sub", Event) X(ReferTo, "Refer-To", GenericIdItem)                    \
  X(RejectContact, "Reject-Contact", AcceptContact) X(RequestDisposition, "Request-Disposition", OptTagList) \
  X(RetryAfter, "Retry-After", RetryAfter) X(Replaces, "Replaces", Replaces) X(Require, "Require", OptTagList) \
  X(Route, "Route", GenericId) X(RSeq, "RSeq", RSeq) X(SessionExpires, "Session-Expires", SessionExpires) \
  X(ServiceRoute, "Service-Route", GenericId) X(SecurityClient, "Security-Client", SecMechanism) \
  X(SecurityServer, "Security-Server", SecMechanism) X(SecurityVerify, "Security-Verify", SecMechanism) \
  X(SipETag, "SIP-ETag", OptTag) X(SipIfMatch, "SIP-If-Match", OptTag)                     \
  X(SubscriptionState, "Subscription-State", Event) X(Supported, "Supported", OptTagList)  \
  X(TargetDialog, "Target-Dialog", TargetDialog) X(Timestamp, "Timestamp", Timestamp) X(To, "To", From) \
  X(Translate, "Translate", Translate) X(Unsupported, "Unsupported", OptTagList) X(Via, "Via", Via) \
  X(WWWAuthenticate, "WWW-Authenticate", Auth)

typedef struct SLSipHdrTable {
#define SL_SIPHDR_TABLE_MEMBER(slot, name, family) SLSipHdr##family *slot;
  SL_SIPHDR_TABLE_SLOTS(SL_SIPHDR_TABLE_MEMBER)
#undef SL_SIPHDR_TABLE_MEMBER
} SLSipHdrTable;

enum { SL_SIPHDR_TABLE_SLOT_COUNT = 68 };

/** Empties every slot of the given record; returns it (none for none). */
SLSipHdrTable *SLSipHdrTableInit(SLSipHdrTable *memory);
/** Destroys every held header and empties the slots; returns the table. */
SLSipHdrTable *SLSipHdrTableClear(SLSipHdrTable *table);
/** Clears the destination and deep-copies every occupied slot of the source. */
SFResult SLSipHdrTableCopy(SLSipHdrTable *dst, const SLSipHdrTable *src);
/** Clears the table and fills it from a generic header list; a failing slot clears it again. */
SFResult SLSipHdrTableParse(SLSipHdrTable *table, const SLGenHdrList *list);
/** Turns every occupied slot into a generic header in the list, skipping names already there. */
SFResult SLSipHdrTableEncode(const SLSipHdrTable *table, SLGenHdrList *list);

// Per slot: parse one generic header into the slot (none empties it), and store a deep copy.
#define SL_SIPHDR_TABLE_SLOT_OPS(slot, name, family)                                  \
  SFResult SLSipHdrTableParse##slot(SLSipHdrTable *table, const SLGenHdr *hdr);       \
  SFResult SLSipHdrTableSet##slot(SLSipHdrTable *table, const SLSipHdr##family *value);
SL_SIPHDR_TABLE_SLOTS(SL_SIPHDR_TABLE_SLOT_OPS)
#undef SL_SIPHDR_TABLE_SLOT_OPS
