// Typed SIP headers: one object type per header family with parser (from a generic header or
// field), encoder (to a new generic header or field), deep copy, accessors and comparisons.
// Families that share a shape are declared from the same table of macros below.
#pragma once
#include <stdint.h>

#include "SFResult.h"
#include "SLGenHdr.h"
#include "SLParam.h"
#include "SLUri.h"

// SIP method ids (0: a method outside the table, kept by its text).
enum {
  SL_METHOD_OTHER = 0, SL_METHOD_ACK = 1, SL_METHOD_BYE = 2, SL_METHOD_CANCEL = 3, SL_METHOD_INVITE = 4,
  SL_METHOD_OPTIONS = 5, SL_METHOD_REGISTER = 6, SL_METHOD_PRACK = 7, SL_METHOD_INFO = 8, SL_METHOD_REFER = 9,
  SL_METHOD_NOTIFY = 10, SL_METHOD_COMET = 11, SL_METHOD_UPDATE = 12, SL_METHOD_NEGOTIATE = 13,
  SL_METHOD_SUBSCRIBE = 14, SL_METHOD_MESSAGE = 15, SL_METHOD_DATA = 16, SL_METHOD_PUBLISH = 17,
};

// Authentication header kinds.
enum { SL_AUTH_KIND_CHALLENGE = 0, SL_AUTH_KIND_CREDENTIALS = 1, SL_AUTH_KIND_INFO = 2 };

SFResult SLSipHdrInitialize(void);
void SLSipHdrCleanup(void);
/** Live allocations of the module (for leak checks). */
int SLSipHdrGetLiveCount(void);

/** Id of a method name (exact, case-sensitive); 0 for unknown or none. */
int SLSipHdrGetMethod(const char *name);
/** Text of a method id 1..17, none otherwise. */
const char *SLSipHdrGetMethodStr(int id);

// Shared helpers of the families.
void *SLSipHdrMemAlloc(size_t size);
void SLSipHdrMemFree(void *block);
SFResult SLSipHdrSetString(char **slot, const char *text);
SFResult SLSipHdrSetUri(SLUri **slot, const SLUri *uri);
/** Display name and URI of a name-addr field value. */
SFResult SLSipHdrNameAddrParse(const SLGenField *field, char **displayName, SLUri **uri);
/** A new generic field holding the name-addr (no parameters). */
SFResult SLSipHdrNameAddrEncode(SLGenField **out, int parseClass, const char *displayName, const SLUri *uri,
                                int forceBrackets);
/** Copies the parameters with a non-empty name (quoted values re-quoted) into *target. */
SFResult SLSipHdrParseParamList(SLParam **target, const SLParam *fieldParams);

typedef struct SLSipHdrFrom SLSipHdrFrom;
typedef struct SLSipHdrCallId SLSipHdrCallId;
typedef struct SLSipHdrCSeq SLSipHdrCSeq;
typedef struct SLSipHdrContact SLSipHdrContact;
typedef struct SLSipHdrContactItem SLSipHdrContactItem;
typedef struct SLSipHdrMethodsParam SLSipHdrMethodsParam;
typedef struct SLSipHdrVia SLSipHdrVia;
typedef struct SLSipHdrViaItem SLSipHdrViaItem;
typedef struct SLSipHdrOptTag SLSipHdrOptTag;
typedef struct SLSipHdrOptTagList SLSipHdrOptTagList;
typedef struct SLSipHdrGenericId SLSipHdrGenericId;
typedef struct SLSipHdrGenericIdItem SLSipHdrGenericIdItem;
typedef struct SLSipHdrTimestamp SLSipHdrTimestamp;
typedef struct SLSipHdrRAck SLSipHdrRAck;
typedef struct SLSipHdrAuth SLSipHdrAuth;
typedef struct SLSipHdrAuthItem SLSipHdrAuthItem;
typedef struct SLSipHdrSessionExpires SLSipHdrSessionExpires;
typedef struct SLSipHdrTranslate SLSipHdrTranslate;
typedef struct SLSipHdrRetryAfter SLSipHdrRetryAfter;
typedef struct SLSipHdrPDCSTracePartyId SLSipHdrPDCSTracePartyId;

// ---- From / To -----------------------------------------------------------------------------
SFResult SLSipHdrFromCreate(SLSipHdrFrom **out, const SLUri *uri, const char *displayName, const char *tag);
void SLSipHdrFromDestroy(SLSipHdrFrom *hdr);
SFResult SLSipHdrFromClone(SLSipHdrFrom **out, const SLSipHdrFrom *src);
/** Parses a From or To generic header (name given). */
SFResult SLSipHdrFromParseHdr(SLSipHdrFrom **out, const SLGenHdr *hdr, const char *name);
SFResult SLSipHdrFromParse(SLSipHdrFrom **out, const SLGenHdr *hdr);
SFResult SLSipHdrFromEncodeHdr(SLGenHdr **out, const SLSipHdrFrom *hdr, const char *name);
SFResult SLSipHdrFromEncode(SLGenHdr **out, const SLSipHdrFrom *hdr);
const SLUri *SLSipHdrFromGetUri(const SLSipHdrFrom *hdr);
SFResult SLSipHdrFromSetUri(SLSipHdrFrom *hdr, const SLUri *uri);
const char *SLSipHdrFromGetDisplayName(const SLSipHdrFrom *hdr);
SFResult SLSipHdrFromSetDisplayName(SLSipHdrFrom *hdr, const char *text);
const char *SLSipHdrFromGetTag(const SLSipHdrFrom *hdr);
SFResult SLSipHdrFromSetTag(SLSipHdrFrom *hdr, const char *tag);
int SLSipHdrFromIsEqualUri(const SLSipHdrFrom *a, const SLSipHdrFrom *b);
int SLSipHdrFromIsEqualDisplayName(const SLSipHdrFrom *a, const SLSipHdrFrom *b);
int SLSipHdrFromIsEqualTag(const SLSipHdrFrom *a, const SLSipHdrFrom *b);

// ---- Call-ID ---------------------------------------------------------------------------------
SFResult SLSipHdrCallIdCreate(SLSipHdrCallId **out, const char *localId, const char *host);
void SLSipHdrCallIdDestroy(SLSipHdrCallId *hdr);
SFResult SLSipHdrCallIdClone(SLSipHdrCallId **out, const SLSipHdrCallId *src);
SFResult SLSipHdrCallIdParse(SLSipHdrCallId **out, const SLGenHdr *hdr);
SFResult SLSipHdrCallIdEncode(SLGenHdr **out, const SLSipHdrCallId *hdr);
const char *SLSipHdrCallIdGetLocalId(const SLSipHdrCallId *hdr);
SFResult SLSipHdrCallIdSetLocalId(SLSipHdrCallId *hdr, const char *text);
const char *SLSipHdrCallIdGetHost(const SLSipHdrCallId *hdr);
SFResult SLSipHdrCallIdSetHost(SLSipHdrCallId *hdr, const char *text);
int SLSipHdrCallIdIsEqual(const SLSipHdrCallId *a, const SLSipHdrCallId *b);

// ---- CSeq ------------------------------------------------------------------------------------
SFResult SLSipHdrCSeqCreate(SLSipHdrCSeq **out, uint32_t seqNo, int methodId, const char *methodText);
void SLSipHdrCSeqDestroy(SLSipHdrCSeq *hdr);
SFResult SLSipHdrCSeqClone(SLSipHdrCSeq **out, const SLSipHdrCSeq *src);
SFResult SLSipHdrCSeqParse(SLSipHdrCSeq **out, const SLGenHdr *hdr);
SFResult SLSipHdrCSeqEncode(SLGenHdr **out, const SLSipHdrCSeq *hdr);
uint32_t SLSipHdrCSeqGetSeqNo(const SLSipHdrCSeq *hdr);
SFResult SLSipHdrCSeqSetSeqNo(SLSipHdrCSeq *hdr, uint32_t seqNo);
int SLSipHdrCSeqGetMethod(const SLSipHdrCSeq *hdr);
/** A non-zero id takes its text from the method table; id 0 needs the text. */
SFResult SLSipHdrCSeqSetMethod(SLSipHdrCSeq *hdr, int methodId, const char *methodText);
const char *SLSipHdrCSeqGetMethodStr(const SLSipHdrCSeq *hdr);
SFResult SLSipHdrCSeqIncrementSeqNo(SLSipHdrCSeq *hdr);
int SLSipHdrCSeqIsEqual(const SLSipHdrCSeq *a, const SLSipHdrCSeq *b);

// ---- Contact ---------------------------------------------------------------------------------
SFResult SLSipHdrContactCreate(SLSipHdrContact **out, const SLUri *firstUri);
void SLSipHdrContactDestroy(SLSipHdrContact *hdr);
SFResult SLSipHdrContactClone(SLSipHdrContact **out, const SLSipHdrContact *src);
SFResult SLSipHdrContactParse(SLSipHdrContact **out, const SLGenHdr *hdr);
SFResult SLSipHdrContactEncode(SLGenHdr **out, const SLSipHdrContact *hdr);
SFResult SLSipHdrContactAddItem(SLSipHdrContact *hdr, SLSipHdrContactItem *item);
SLSipHdrContactItem *SLSipHdrContactGetHeadItem(const SLSipHdrContact *hdr);
SFResult SLSipHdrContactItemCreate(SLSipHdrContactItem **out, const SLUri *uri);
/** Frees this one item. */
void SLSipHdrContactItemDestroy(SLSipHdrContactItem *item);
SFResult SLSipHdrContactItemClone(SLSipHdrContactItem **out, const SLSipHdrContactItem *src);
SFResult SLSipHdrContactItemParse(SLSipHdrContactItem **out, const SLGenField *field);
SFResult SLSipHdrContactItemEncode(SLGenField **out, const SLSipHdrContactItem *item);
SLSipHdrContactItem *SLSipHdrContactItemGetNextItem(const SLSipHdrContactItem *item);
const char *SLSipHdrContactItemGetDisplayName(const SLSipHdrContactItem *item);
SFResult SLSipHdrContactItemSetDisplayName(SLSipHdrContactItem *item, const char *text);
const SLUri *SLSipHdrContactItemGetUri(const SLSipHdrContactItem *item);
SFResult SLSipHdrContactItemSetUri(SLSipHdrContactItem *item, const SLUri *uri);
const char *SLSipHdrContactItemGetQValue(const SLSipHdrContactItem *item);
SFResult SLSipHdrContactItemSetQValue(SLSipHdrContactItem *item, const char *text);
const char *SLSipHdrContactItemGetAction(const SLSipHdrContactItem *item);
SFResult SLSipHdrContactItemSetAction(SLSipHdrContactItem *item, const char *text);
/** The "expires" parameter as a delta-seconds header, or none when absent. */
const struct SLSipHdrDeltaSeconds *SLSipHdrContactItemGetDeltaSeconds(const SLSipHdrContactItem *item);
/** Sets (or with none removes) the "expires" parameter. */
SFResult SLSipHdrContactItemSetDeltaSeconds(SLSipHdrContactItem *item, const uint32_t *seconds);
SLSipHdrMethodsParam *SLSipHdrContactItemGetHeadMethod(const SLSipHdrContactItem *item);
SFResult SLSipHdrContactItemAddMethod(SLSipHdrContactItem *item, int methodId);
SFResult SLSipHdrContactItemSetMethods(SLSipHdrContactItem *item, const char *text);
/** Appends a ready parameter to the extension list (ownership passes). */
SFResult SLSipHdrContactItemAddExtension(SLSipHdrContactItem *item, SLParam *param);
SLParamList *SLSipHdrContactItemGetExtensionList(const SLSipHdrContactItem *item);
int SLSipHdrContactItemIsParamExist(const SLSipHdrContactItem *item, const char *name);
SFResult SLSipHdrMethodsParamCreate(SLSipHdrMethodsParam **out, int methodId);
void SLSipHdrMethodsParamDestroy(SLSipHdrMethodsParam *m);
int SLSipHdrMethodsParamGetMethod(const SLSipHdrMethodsParam *m);
SLSipHdrMethodsParam *SLSipHdrMethodsParamGetNext(const SLSipHdrMethodsParam *m);

// ---- Via -------------------------------------------------------------------------------------
SFResult SLSipHdrViaCreate(SLSipHdrVia **out);
void SLSipHdrViaDestroy(SLSipHdrVia *hdr);
SFResult SLSipHdrViaClone(SLSipHdrVia **out, const SLSipHdrVia *src);
SFResult SLSipHdrViaParse(SLSipHdrVia **out, const SLGenHdr *hdr);
SFResult SLSipHdrViaEncode(SLGenHdr **out, const SLSipHdrVia *hdr);
SFResult SLSipHdrViaAddItem(SLSipHdrVia *hdr, SLSipHdrViaItem *item);
SLSipHdrViaItem *SLSipHdrViaGetHeadItem(const SLSipHdrVia *hdr);
SFResult SLSipHdrViaItemCreate(SLSipHdrViaItem **out, const char *protocolName, const char *protocolVer,
                               const char *transport, const char *host, uint16_t port);
void SLSipHdrViaItemDestroy(SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemClone(SLSipHdrViaItem **out, const SLSipHdrViaItem *src);
SFResult SLSipHdrViaItemParse(SLSipHdrViaItem **out, const SLGenField *field);
SFResult SLSipHdrViaItemEncode(SLGenField **out, const SLSipHdrViaItem *item);
SLSipHdrViaItem *SLSipHdrViaItemGetNextItem(const SLSipHdrViaItem *item);
const char *SLSipHdrViaItemGetProtocolName(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetProtocolName(SLSipHdrViaItem *item, const char *text);
const char *SLSipHdrViaItemGetProtocolVer(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetProtocolVer(SLSipHdrViaItem *item, const char *text);
const char *SLSipHdrViaItemGetTransport(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetTransport(SLSipHdrViaItem *item, const char *text);
const char *SLSipHdrViaItemGetSentByHost(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetSentByHost(SLSipHdrViaItem *item, const char *text);
uint16_t SLSipHdrViaItemGetSentByPort(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetSentByPort(SLSipHdrViaItem *item, uint16_t port);
/** 255 for a missing item; 0 when unset. */
uint8_t SLSipHdrViaItemGetTTL(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetTTL(SLSipHdrViaItem *item, uint8_t ttl);
const char *SLSipHdrViaItemGetMAddr(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetMAddr(SLSipHdrViaItem *item, const char *text);
const char *SLSipHdrViaItemGetReceived(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetReceived(SLSipHdrViaItem *item, const char *text);
const char *SLSipHdrViaItemGetBranch(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetBranch(SLSipHdrViaItem *item, const char *text);
/** The stored rport (-1: present without a value), or none when absent. */
const int32_t *SLSipHdrViaItemGetRPort(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetRPort(SLSipHdrViaItem *item, const int32_t *rport);
const char *SLSipHdrViaItemGetComp(const SLSipHdrViaItem *item);
SFResult SLSipHdrViaItemSetComp(SLSipHdrViaItem *item, const char *text);
/** 1 when the sent-by host and effective port are equal. */
int SLSipHdrViaItemCompareSentBy(const SLSipHdrViaItem *a, const SLSipHdrViaItem *b);

// ---- Option tags -----------------------------------------------------------------------------
SFResult SLSipHdrOptTagCreate(SLSipHdrOptTag **out, const char *tag);
/** Frees this tag and every tag after it. */
void SLSipHdrOptTagDestroy(SLSipHdrOptTag *tag);
SFResult SLSipHdrOptTagClone(SLSipHdrOptTag **out, const SLSipHdrOptTag *src);
SFResult SLSipHdrOptTagParseHdr(SLSipHdrOptTag **out, const SLGenHdr *hdr, const char *name);
SFResult SLSipHdrOptTagEncodeHdr(SLGenHdr **out, const SLSipHdrOptTag *tag, const char *name);
const char *SLSipHdrOptTagGetValue(const SLSipHdrOptTag *tag);
SFResult SLSipHdrOptTagSetValue(SLSipHdrOptTag *tag, const char *text);
SLSipHdrOptTag *SLSipHdrOptTagGetNext(const SLSipHdrOptTag *tag);
SFResult SLSipHdrOptTagListCreate(SLSipHdrOptTagList **out, const char *firstTag);
void SLSipHdrOptTagListDestroy(SLSipHdrOptTagList *list);
SFResult SLSipHdrOptTagListClone(SLSipHdrOptTagList **out, const SLSipHdrOptTagList *src);
SFResult SLSipHdrOptTagListParse(SLSipHdrOptTagList **out, const SLGenHdr *hdr, const char *name);
SFResult SLSipHdrOptTagListEncode(SLGenHdr **out, const SLSipHdrOptTagList *list, const char *name);
SFResult SLSipHdrOptTagListAddOptTag(SLSipHdrOptTagList *list, const char *tag);
SLSipHdrOptTag *SLSipHdrOptTagListGetHeadOptTag(const SLSipHdrOptTagList *list);
int SLSipHdrOptTagListIsEqual(const SLSipHdrOptTagList *a, const SLSipHdrOptTagList *b);

// ---- Address lists (Route, Record-Route, P-Asserted-Identity, ...) and single addresses -----
SFResult SLSipHdrGenericIdCreate(SLSipHdrGenericId **out);
void SLSipHdrGenericIdDestroy(SLSipHdrGenericId *hdr);
SFResult SLSipHdrGenericIdClone(SLSipHdrGenericId **out, const SLSipHdrGenericId *src);
SFResult SLSipHdrGenericIdParse(SLSipHdrGenericId **out, const SLGenHdr *hdr, const char *name);
/** Always with the URI in angle brackets. */
SFResult SLSipHdrGenericIdEncode(SLGenHdr **out, const SLSipHdrGenericId *hdr, const char *name);
SFResult SLSipHdrGenericIdEncode2(SLGenHdr **out, const SLSipHdrGenericId *hdr, const char *name, int forceBrackets);
SFResult SLSipHdrGenericIdAddItem(SLSipHdrGenericId *hdr, SLSipHdrGenericIdItem *item);
SLSipHdrGenericIdItem *SLSipHdrGenericIdGetHeadItem(const SLSipHdrGenericId *hdr);
int SLSipHdrGenericIdIsEqual(const SLSipHdrGenericId *a, const SLSipHdrGenericId *b);
SFResult SLSipHdrGenericIdItemCreate(SLSipHdrGenericIdItem **out, const char *displayName, const SLUri *uri);
/** Frees this item and every item after it. */
void SLSipHdrGenericIdItemDestroy(SLSipHdrGenericIdItem *item);
SFResult SLSipHdrGenericIdItemClone(SLSipHdrGenericIdItem **out, const SLSipHdrGenericIdItem *src);
/** Copies the chain from `first` in reverse order (Record-Route into a route set). */
SFResult SLSipHdrGenericIdItemCloneReverse(SLSipHdrGenericIdItem **out, const SLSipHdrGenericIdItem *first);
SFResult SLSipHdrGenericIdItemParse(SLSipHdrGenericIdItem **out, const SLGenField *field);
/** First field of the given header, whatever its name. */
SFResult SLSipHdrGenericIdItemParseHdr(SLSipHdrGenericIdItem **out, const SLGenHdr *hdr, const char *name);
SFResult SLSipHdrGenericIdItemEncode(SLGenField **out, const SLSipHdrGenericIdItem *item);
SFResult SLSipHdrGenericIdItemEncode2(SLGenField **out, const SLSipHdrGenericIdItem *item, int forceBrackets);
SFResult SLSipHdrGenericIdItemEncodeHdr(SLGenHdr **out, const SLSipHdrGenericIdItem *item, const char *name);
SLSipHdrGenericIdItem *SLSipHdrGenericIdItemGetNext(const SLSipHdrGenericIdItem *item);
const SLUri *SLSipHdrGenericIdItemGetUri(const SLSipHdrGenericIdItem *item);
SFResult SLSipHdrGenericIdItemSetUri(SLSipHdrGenericIdItem *item, const SLUri *uri);
const char *SLSipHdrGenericIdItemGetDisplayName(const SLSipHdrGenericIdItem *item);
SFResult SLSipHdrGenericIdItemSetDisplayName(SLSipHdrGenericIdItem *item, const char *text);
SLParam *SLSipHdrGenericIdItemGetParam(const SLSipHdrGenericIdItem *item, const char *name);
SFResult SLSipHdrGenericIdItemSetParam(SLSipHdrGenericIdItem *item, const char *name, const char *value);
SLParamList *SLSipHdrGenericIdItemGetParamList(const SLSipHdrGenericIdItem *item);
int SLSipHdrGenericIdItemIsEqual(const SLSipHdrGenericIdItem *a, const SLSipHdrGenericIdItem *b);
int SLSipHdrGenericIdItemIsEqualUri(const SLSipHdrGenericIdItem *a, const SLSipHdrGenericIdItem *b);
int SLSipHdrGenericIdItemIsEqualDisplayName(const SLSipHdrGenericIdItem *a, const SLSipHdrGenericIdItem *b);

// ---- Timestamp -------------------------------------------------------------------------------
SFResult SLSipHdrTimestampCreate(SLSipHdrTimestamp **out, const char *timestamp);
void SLSipHdrTimestampDestroy(SLSipHdrTimestamp *hdr);
SFResult SLSipHdrTimestampClone(SLSipHdrTimestamp **out, const SLSipHdrTimestamp *src);
SFResult SLSipHdrTimestampParse(SLSipHdrTimestamp **out, const SLGenHdr *hdr);
SFResult SLSipHdrTimestampEncode(SLGenHdr **out, const SLSipHdrTimestamp *hdr);
const char *SLSipHdrTimestampGetTimestamp(const SLSipHdrTimestamp *hdr);
SFResult SLSipHdrTimestampSetTimestamp(SLSipHdrTimestamp *hdr, const char *text);
const char *SLSipHdrTimestampGetDelay(const SLSipHdrTimestamp *hdr);
SFResult SLSipHdrTimestampSetDelay(SLSipHdrTimestamp *hdr, const char *text);
int SLSipHdrTimestampIsEqual(const SLSipHdrTimestamp *a, const SLSipHdrTimestamp *b);

// ---- RAck ------------------------------------------------------------------------------------
SFResult SLSipHdrRAckCreate(SLSipHdrRAck **out, uint32_t resNo, uint32_t cseqNo, int methodId, const char *methodText);
void SLSipHdrRAckDestroy(SLSipHdrRAck *hdr);
SFResult SLSipHdrRAckClone(SLSipHdrRAck **out, const SLSipHdrRAck *src);
SFResult SLSipHdrRAckParse(SLSipHdrRAck **out, const SLGenHdr *hdr);
SFResult SLSipHdrRAckEncode(SLGenHdr **out, const SLSipHdrRAck *hdr);
uint32_t SLSipHdrRAckGetResNo(const SLSipHdrRAck *hdr);
uint32_t SLSipHdrRAckGetCSeqNo(const SLSipHdrRAck *hdr);
/** -1 for a missing header. */
int SLSipHdrRAckGetMethod(const SLSipHdrRAck *hdr);
const char *SLSipHdrRAckGetMethodStr(const SLSipHdrRAck *hdr);
int SLSipHdrRAckIsEqualCSeq(const SLSipHdrRAck *rack, const SLSipHdrCSeq *cseq);

// ---- Authentication (WWW-/Proxy-Authenticate, [Proxy-]Authorization, Authentication-Info) --
SFResult SLSipHdrAuthCreate(SLSipHdrAuth **out);
void SLSipHdrAuthDestroy(SLSipHdrAuth *hdr);
SFResult SLSipHdrAuthClone(SLSipHdrAuth **out, const SLSipHdrAuth *src);
SFResult SLSipHdrAuthParse(SLSipHdrAuth **out, const SLGenHdr *hdr, const char *name, int kind);
SFResult SLSipHdrAuthEncode(SLGenHdr **out, const SLSipHdrAuth *hdr, const char *name);
SFResult SLSipHdrAuthAddItem(SLSipHdrAuth *hdr, SLSipHdrAuthItem *item);
SLSipHdrAuthItem *SLSipHdrAuthGetHeadItem(const SLSipHdrAuth *hdr);
SFResult SLSipHdrAuthItemCreate(SLSipHdrAuthItem **out, const char *scheme);
/** Frees this item and every item after it. */
void SLSipHdrAuthItemDestroy(SLSipHdrAuthItem *item);
SFResult SLSipHdrAuthItemClone(SLSipHdrAuthItem **out, const SLSipHdrAuthItem *src);
SLSipHdrAuthItem *SLSipHdrAuthItemGetNext(const SLSipHdrAuthItem *item);
const char *SLSipHdrAuthItemGetAuthScheme(const SLSipHdrAuthItem *item);
SFResult SLSipHdrAuthItemSetScheme(SLSipHdrAuthItem *item, const char *scheme);
SLParam *SLSipHdrAuthItemGetParam(const SLSipHdrAuthItem *item, const char *name);
const char *SLSipHdrAuthItemGetParamValue(const SLSipHdrAuthItem *item, const char *name);
SFResult SLSipHdrAuthItemSetParam(SLSipHdrAuthItem *item, const char *name, const char *value);
SLParamList *SLSipHdrAuthItemGetParamList(const SLSipHdrAuthItem *item);
SFResult SLSipHdrAuthItemSetStale(SLSipHdrAuthItem *item, int stale);
int SLSipHdrAuthItemGetStale(const SLSipHdrAuthItem *item);
SFResult SLSipHdrAuthItemSetNC(SLSipHdrAuthItem *item, uint32_t count);
uint32_t SLSipHdrAuthItemGetNC(const SLSipHdrAuthItem *item);

// ---- Session-Expires -------------------------------------------------------------------------
SFResult SLSipHdrSessionExpiresCreate(SLSipHdrSessionExpires **out, uint32_t seconds);
void SLSipHdrSessionExpiresDestroy(SLSipHdrSessionExpires *hdr);
SFResult SLSipHdrSessionExpiresClone(SLSipHdrSessionExpires **out, const SLSipHdrSessionExpires *src);
SFResult SLSipHdrSessionExpiresParse(SLSipHdrSessionExpires **out, const SLGenHdr *hdr);
SFResult SLSipHdrSessionExpiresEncode(SLGenHdr **out, const SLSipHdrSessionExpires *hdr);
/** -1 for a missing header. */
int64_t SLSipHdrSessionExpiresGetDeltaSeconds(const SLSipHdrSessionExpires *hdr);
SFResult SLSipHdrSessionExpiresSetDeltaSeconds(SLSipHdrSessionExpires *hdr, uint32_t seconds);
const char *SLSipHdrSessionExpiresGetRefresher(const SLSipHdrSessionExpires *hdr);
SFResult SLSipHdrSessionExpiresSetRefresher(SLSipHdrSessionExpires *hdr, const char *text);

// ---- Translate -------------------------------------------------------------------------------
enum { SL_NAT_NONE = 0, SL_NAT_SYM = 1, SL_NAT_CONE = 2 };
SFResult SLSipHdrTranslateCreate(SLSipHdrTranslate **out, const SLUri *uri);
void SLSipHdrTranslateDestroy(SLSipHdrTranslate *hdr);
SFResult SLSipHdrTranslateClone(SLSipHdrTranslate **out, const SLSipHdrTranslate *src);
SFResult SLSipHdrTranslateParse(SLSipHdrTranslate **out, const SLGenHdr *hdr);
SFResult SLSipHdrTranslateEncode(SLGenHdr **out, const SLSipHdrTranslate *hdr);
const SLUri *SLSipHdrTranslateGetUri(const SLSipHdrTranslate *hdr);
SFResult SLSipHdrTranslateSetUri(SLSipHdrTranslate *hdr, const SLUri *uri);
int SLSipHdrTranslateGetNatTypes(const SLSipHdrTranslate *hdr);
SFResult SLSipHdrTranslateSetNatTypes(SLSipHdrTranslate *hdr, int natType);

// ---- Retry-After -----------------------------------------------------------------------------
SFResult SLSipHdrRetryAfterCreate(SLSipHdrRetryAfter **out, uint32_t seconds, const char *comment,
                                  const uint32_t *duration);
void SLSipHdrRetryAfterDestroy(SLSipHdrRetryAfter *hdr);
SFResult SLSipHdrRetryAfterClone(SLSipHdrRetryAfter **out, const SLSipHdrRetryAfter *src);
SFResult SLSipHdrRetryAfterParse(SLSipHdrRetryAfter **out, const SLGenHdr *hdr);
SFResult SLSipHdrRetryAfterEncode(SLGenHdr **out, const SLSipHdrRetryAfter *hdr);
uint32_t SLSipHdrRetryAfterGetDeltaSeconds(const SLSipHdrRetryAfter *hdr);
const char *SLSipHdrRetryAfterGetComment(const SLSipHdrRetryAfter *hdr);
SFResult SLSipHdrRetryAfterSetComment(SLSipHdrRetryAfter *hdr, const char *text);
const uint32_t *SLSipHdrRetryAfterGetDuration(const SLSipHdrRetryAfter *hdr);
SFResult SLSipHdrRetryAfterSetDuration(SLSipHdrRetryAfter *hdr, const uint32_t *duration);
SLParam *SLSipHdrRetryAfterGetParam(const SLSipHdrRetryAfter *hdr, const char *name);
SFResult SLSipHdrRetryAfterSetParam(SLSipHdrRetryAfter *hdr, const char *name, const char *value);
SLParamList *SLSipHdrRetryAfterGetParamList(const SLSipHdrRetryAfter *hdr);
int SLSipHdrRetryAfterIsParamExist(const SLSipHdrRetryAfter *hdr, const char *name);

// ---- P-DCS-Trace-Party-ID --------------------------------------------------------------------
SFResult SLSipHdrPDCSTracePartyIdCreate(SLSipHdrPDCSTracePartyId **out, const SLUri *uri, const char *displayName);
void SLSipHdrPDCSTracePartyIdDestroy(SLSipHdrPDCSTracePartyId *hdr);
SFResult SLSipHdrPDCSTracePartyIdClone(SLSipHdrPDCSTracePartyId **out, const SLSipHdrPDCSTracePartyId *src);
SFResult SLSipHdrPDCSTracePartyIdParseHdr(SLSipHdrPDCSTracePartyId **out, const SLGenHdr *hdr, const char *name);
SFResult SLSipHdrPDCSTracePartyIdEncode(SLGenHdr **out, const SLSipHdrPDCSTracePartyId *hdr);
const SLUri *SLSipHdrPDCSTracePartyIdGetUri(const SLSipHdrPDCSTracePartyId *hdr);
SFResult SLSipHdrPDCSTracePartyIdSetUri(SLSipHdrPDCSTracePartyId *hdr, const SLUri *uri);
const char *SLSipHdrPDCSTracePartyIdGetDisplayName(const SLSipHdrPDCSTracePartyId *hdr);
SFResult SLSipHdrPDCSTracePartyIdSetDisplayName(SLSipHdrPDCSTracePartyId *hdr, const char *text);
int SLSipHdrPDCSTracePartyIdIsEqualUri(const SLSipHdrPDCSTracePartyId *a, const SLSipHdrPDCSTracePartyId *b);
int SLSipHdrPDCSTracePartyIdIsEqualDisplayName(const SLSipHdrPDCSTracePartyId *a,
                                               const SLSipHdrPDCSTracePartyId *b);

// ---- Families generated from shapes -----------------------------------------------------------

// A single number: Expires/Min-Expires/Min-SE (DeltaSeconds), RSeq, Max-Forwards, Max-Breadth.
#define SL_SIPHDR_NUMBER_FAMILY(F, Get, Set)                                         \
  typedef struct SLSipHdr##F SLSipHdr##F;                                            \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out, uint32_t value);                   \
  void SLSipHdr##F##Destroy(SLSipHdr##F *hdr);                                       \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *src);            \
  SFResult SLSipHdr##F##ParseHdr(SLSipHdr##F **out, const SLGenHdr *hdr, const char *name); \
  SFResult SLSipHdr##F##EncodeHdr(SLGenHdr **out, const SLSipHdr##F *hdr, const char *name); \
  uint32_t SLSipHdr##F##Get(const SLSipHdr##F *hdr);                                 \
  SFResult SLSipHdr##F##Set(SLSipHdr##F *hdr, uint32_t value);
SL_SIPHDR_NUMBER_FAMILY(DeltaSeconds, GetValue, SetValue)
SL_SIPHDR_NUMBER_FAMILY(RSeq, GetResNo, SetResNo)
SL_SIPHDR_NUMBER_FAMILY(MaxForwards, GetDigit, SetDigit)
SL_SIPHDR_NUMBER_FAMILY(MaxBreadth, GetDigit, SetDigit)
SFResult SLSipHdrDeltaSecondsParse(SLSipHdrDeltaSeconds **out, const SLGenHdr *hdr);  // any of its three names
SFResult SLSipHdrRSeqParse(SLSipHdrRSeq **out, const SLGenHdr *hdr);
SFResult SLSipHdrRSeqEncode(SLGenHdr **out, const SLSipHdrRSeq *hdr);
SFResult SLSipHdrRSeqIncrementResNo(SLSipHdrRSeq *hdr);
SFResult SLSipHdrMaxForwardsParse(SLSipHdrMaxForwards **out, const SLGenHdr *hdr);
SFResult SLSipHdrMaxForwardsEncode(SLGenHdr **out, const SLSipHdrMaxForwards *hdr);
SFResult SLSipHdrMaxBreadthParse(SLSipHdrMaxBreadth **out, const SLGenHdr *hdr);
SFResult SLSipHdrMaxBreadthEncode(SLGenHdr **out, const SLSipHdrMaxBreadth *hdr);

// A value with parameters, one per header: Event (also Subscription-State, Refer-Sub) and
// P-Access-Network-Info.
#define SL_SIPHDR_VALUE_FAMILY(F, Get, Set)                                          \
  typedef struct SLSipHdr##F SLSipHdr##F;                                            \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out, const char *value);                \
  void SLSipHdr##F##Destroy(SLSipHdr##F *hdr);                                       \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *src);            \
  SFResult SLSipHdr##F##ParseHdr(SLSipHdr##F **out, const SLGenHdr *hdr, const char *name); \
  SFResult SLSipHdr##F##EncodeHdr(SLGenHdr **out, const SLSipHdr##F *hdr, const char *name); \
  const char *SLSipHdr##F##Get(const SLSipHdr##F *hdr);                              \
  SFResult SLSipHdr##F##Set(SLSipHdr##F *hdr, const char *value);                    \
  SLParam *SLSipHdr##F##GetParam(const SLSipHdr##F *hdr, const char *name);          \
  SFResult SLSipHdr##F##SetParam(SLSipHdr##F *hdr, const char *name, const char *value); \
  SLParamList *SLSipHdr##F##GetParamList(const SLSipHdr##F *hdr);
SL_SIPHDR_VALUE_FAMILY(Event, GetEventType, SetEventType)
SL_SIPHDR_VALUE_FAMILY(PAccessNetworkInfo, GetAccessType, SetAccessType)
SFResult SLSipHdrEventParse(SLSipHdrEvent **out, const SLGenHdr *hdr);
SFResult SLSipHdrEventEncode(SLGenHdr **out, const SLSipHdrEvent *hdr);
SFResult SLSipHdrSubscriptionStateParse(SLSipHdrEvent **out, const SLGenHdr *hdr);
/** Refer-Sub: only "true" or "false" (stored in lower case). */
SFResult SLSipHdrReferSubParse(SLSipHdrEvent **out, const SLGenHdr *hdr);
/** 0 only for "false" (case-insensitive); 1 otherwise, also for none. */
int SLSipHdrReferSubGetValue(const SLSipHdrEvent *hdr);
SFResult SLSipHdrPAccessNetworkInfoParse(SLSipHdrPAccessNetworkInfo **out, const SLGenHdr *hdr);
SFResult SLSipHdrPAccessNetworkInfoEncode(SLGenHdr **out, const SLSipHdrPAccessNetworkInfo *hdr);

// Lists of values with parameters: Accept (also Accept-Encoding, Accept-Language; a single item
// serves Content-Type and the P-DCS value headers), Reason, Security-*, Accept-/Reject-Contact.
#define SL_SIPHDR_VALUE_LIST_FAMILY(F)                                                       \
  typedef struct SLSipHdr##F SLSipHdr##F;                                                    \
  typedef struct SLSipHdr##F##Item SLSipHdr##F##Item;                                        \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out);                                           \
  void SLSipHdr##F##Destroy(SLSipHdr##F *hdr);                                               \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *src);                    \
  SFResult SLSipHdr##F##ParseHdr(SLSipHdr##F **out, const SLGenHdr *hdr, const char *name);  \
  SFResult SLSipHdr##F##EncodeHdr(SLGenHdr **out, const SLSipHdr##F *hdr, const char *name); \
  SFResult SLSipHdr##F##AddItem(SLSipHdr##F *hdr, SLSipHdr##F##Item *item);                  \
  SLSipHdr##F##Item *SLSipHdr##F##GetHeadItem(const SLSipHdr##F *hdr);                       \
  int SLSipHdr##F##IsEqual(const SLSipHdr##F *a, const SLSipHdr##F *b);                      \
  SFResult SLSipHdr##F##ItemCreate(SLSipHdr##F##Item **out, const char *value);              \
  void SLSipHdr##F##ItemDestroy(SLSipHdr##F##Item *item);                                    \
  SFResult SLSipHdr##F##ItemClone(SLSipHdr##F##Item **out, const SLSipHdr##F##Item *src);    \
  SFResult SLSipHdr##F##ItemParse(SLSipHdr##F##Item **out, const SLGenField *field);         \
  SFResult SLSipHdr##F##ItemEncode(SLGenField **out, const SLSipHdr##F##Item *item);         \
  SLSipHdr##F##Item *SLSipHdr##F##ItemGetNext(const SLSipHdr##F##Item *item);                \
  const char *SLSipHdr##F##ItemGetValue(const SLSipHdr##F##Item *item);                      \
  SFResult SLSipHdr##F##ItemSetValue(SLSipHdr##F##Item *item, const char *value);            \
  SLParam *SLSipHdr##F##ItemGetParam(const SLSipHdr##F##Item *item, const char *name);       \
  SFResult SLSipHdr##F##ItemSetParam(SLSipHdr##F##Item *item, const char *name, const char *value); \
  SLParamList *SLSipHdr##F##ItemGetParamList(const SLSipHdr##F##Item *item);                     \
  int SLSipHdr##F##ItemIsEqual(const SLSipHdr##F##Item *a, const SLSipHdr##F##Item *b);
SL_SIPHDR_VALUE_LIST_FAMILY(Accept)
SL_SIPHDR_VALUE_LIST_FAMILY(Reason)
SL_SIPHDR_VALUE_LIST_FAMILY(SecMechanism)
SL_SIPHDR_VALUE_LIST_FAMILY(AcceptContact)
/** A single Accept-style value (Content-Type, P-DCS-Billing-Info, P-DCS-LAES, P-DCS-Redirect). */
SFResult SLSipHdrAcceptItemParseHdr(SLSipHdrAcceptItem **out, const SLGenHdr *hdr, const char *name);
SFResult SLSipHdrAcceptItemEncodeHdr(SLGenHdr **out, const SLSipHdrAcceptItem *item, const char *name);

// Dialog identifiers: Replaces and Join (to-tag, from-tag), Target-Dialog (remote-tag, local-tag).
#define SL_SIPHDR_DIALOG_ID_FAMILY(F, Tag1, Tag2)                                              \
  typedef struct SLSipHdr##F SLSipHdr##F;                                                      \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out, const SLSipHdrCallId *callId, const char *tag1, \
                               const char *tag2);                                              \
  void SLSipHdr##F##Destroy(SLSipHdr##F *hdr);                                                 \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *src);                      \
  SFResult SLSipHdr##F##Parse(SLSipHdr##F **out, const SLGenHdr *hdr);                         \
  SFResult SLSipHdr##F##Encode(SLGenHdr **out, const SLSipHdr##F *hdr);                        \
  const SLSipHdrCallId *SLSipHdr##F##GetCallId(const SLSipHdr##F *hdr);                        \
  const char *SLSipHdr##F##Get##Tag1(const SLSipHdr##F *hdr);                                  \
  SFResult SLSipHdr##F##Set##Tag1(SLSipHdr##F *hdr, const char *tag);                          \
  const char *SLSipHdr##F##Get##Tag2(const SLSipHdr##F *hdr);                                  \
  SFResult SLSipHdr##F##Set##Tag2(SLSipHdr##F *hdr, const char *tag);                          \
  SLParam *SLSipHdr##F##GetParam(const SLSipHdr##F *hdr, const char *name);                    \
  SFResult SLSipHdr##F##SetParam(SLSipHdr##F *hdr, const char *name, const char *value);       \
  SLParamList *SLSipHdr##F##GetParamList(const SLSipHdr##F *hdr);                                  \
  int SLSipHdr##F##IsParamExist(const SLSipHdr##F *hdr, const char *name);
SL_SIPHDR_DIALOG_ID_FAMILY(Replaces, ToTag, FromTag)
SL_SIPHDR_DIALOG_ID_FAMILY(Join, ToTag, FromTag)
SL_SIPHDR_DIALOG_ID_FAMILY(TargetDialog, RemoteTag, LocalTag)
/** Writes a Replaces header from its parts (tags "0" when absent or empty). */
SFResult SLSipHdrReplacesEncodeParts(SLGenHdr **out, const SLSipHdrCallId *callId, const char *toTag,
                                     const char *fromTag, const SLParam *params);
