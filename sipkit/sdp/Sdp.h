#pragma once
// SDP model, parser and encoder (RFC 4566).
//
// Session descriptions are trees of records reached through pointers; every text is an owned copy
// and an empty text is never stored. Results are kit result codes of module 0x0AC:
//   0xA0AC800C module not initialised, 0xA0AC800B missing argument or bad input,
//   0xA0AC8008 out of memory, 0xA0AC800A output does not fit, 0xA0AC800D already initialised.
// Getters return 0 or none for a missing record (-1 where noted). Destroy operations of list items
// free the whole chain from that item on; Clone operations of list items copy the chain, ItemClone
// one item. Records belong to one thread at a time.

#include <cstdint>

#include "SFResult.h"

constexpr SFResult SDP_ERR_NOT_INITIALIZED = SFResultError(SF_MODULE_SDP, SF_CODE_NOT_INITIALIZED);
constexpr SFResult SDP_ERR_ALREADY_INITIALIZED = SFResultError(SF_MODULE_SDP, SF_CODE_ALREADY_INITIALIZED);
constexpr SFResult SDP_ERR_INVALID = SFResultError(SF_MODULE_SDP, SF_CODE_INVALID_ARGUMENT);
constexpr SFResult SDP_ERR_NO_MEMORY = SFResultError(SF_MODULE_SDP, SF_CODE_NO_MEMORY);
constexpr SFResult SDP_ERR_TOO_SMALL = SFResultError(SF_MODULE_SDP, SF_CODE_BUFFER_TOO_SMALL);
// An SDP text of this many characters or more is refused by the parser with SDP_ERR_TOO_LONG.
constexpr uint32_t SDP_MAX_TEXT = 1024;
constexpr SFResult SDP_ERR_TOO_LONG = SDP_ERR_TOO_SMALL;

// Media types, transports, attribute kinds, bandwidth modifiers, network and address types.
enum : int32_t {
    SDP_MEDIA_OTHER = 0, SDP_MEDIA_AUDIO = 1, SDP_MEDIA_VIDEO = 2, SDP_MEDIA_APPLICATION = 3, SDP_MEDIA_DATA = 4,
    SDP_MEDIA_CONTROL = 5,
};
enum : int32_t {
    SDP_TRANSPORT_OTHER = 0, SDP_TRANSPORT_RTP_AVP = 1, SDP_TRANSPORT_RTP_SAVP = 2, SDP_TRANSPORT_UDP = 3,
    SDP_TRANSPORT_TCP = 4,
};
enum : int32_t { SDP_ATTR_UNKNOWN = 0, SDP_ATTR_RTPMAP = 1, SDP_ATTR_FMTP = 2 };
enum : int32_t { SDP_BW_OTHER = 0, SDP_BW_CT = 1, SDP_BW_AS = 2 };
enum : int32_t { SDP_NET_OTHER = 0, SDP_NET_IN = 1 };
enum : int32_t { SDP_ADDR_OTHER = 0, SDP_ADDR_IP4 = 1, SDP_ADDR_IP6 = 2 };

struct SdpAnnouncement;
struct SdpOrigin;
struct SdpConnectionData;
struct SdpBandwidth;
struct SdpTime;
struct SdpMedia;
struct SdpMediaFormat;
struct SdpAttribute;
struct SdpAttrRtpMap;
struct SdpAttrFmtp;
struct SdpAttrUnknown;

// Module.
int SdpInitialize(void);
int SdpCleanup(void);
// Records and texts alive (leak checks).
int32_t SdpGetLiveCount(void);

// Origin (o=).
int SdpOriginCreate(SdpOrigin** out, const char* userName, uint32_t sessionId, uint32_t version, int32_t networkType,
                    int32_t addressType, const char* address);
void SdpOriginDestroy(SdpOrigin* origin);
int SdpOriginClone(SdpOrigin** out, const SdpOrigin* origin);
int SdpOriginIsEqual(const SdpOrigin* a, const SdpOrigin* b);
int SdpOriginIsValid(const SdpOrigin* origin);
int SdpOriginParse(SdpOrigin** out, const char* line, int length);
int SdpOriginEncode(char* buffer, uint32_t* length, const SdpOrigin* origin);
int SdpOriginParseCheck(const char* line);
const char* SdpOriginGetUserName(const SdpOrigin* origin);
uint32_t SdpOriginGetSessionId(const SdpOrigin* origin);
uint32_t SdpOriginGetVersion(const SdpOrigin* origin);
int32_t SdpOriginGetNetworkType(const SdpOrigin* origin);
int32_t SdpOriginGetAddressType(const SdpOrigin* origin);
const char* SdpOriginGetAddress(const SdpOrigin* origin);
int SdpOriginSetUserName(SdpOrigin* origin, const char* text);
int SdpOriginSetSessionId(SdpOrigin* origin, uint32_t value);
int SdpOriginSetVersion(SdpOrigin* origin, uint32_t value);
int SdpOriginSetNetworkType(SdpOrigin* origin, int32_t value);
int SdpOriginSetAddressType(SdpOrigin* origin, int32_t value);
int SdpOriginSetAddress(SdpOrigin* origin, const char* text);

// Connection data (c=).
int SdpConnectionDataCreate(SdpConnectionData** out, int32_t networkType, int32_t addressType, const char* address);
void SdpConnectionDataDestroy(SdpConnectionData* connection);
int SdpConnectionDataClone(SdpConnectionData** out, const SdpConnectionData* connection);
int SdpConnectionDataIsEqual(const SdpConnectionData* a, const SdpConnectionData* b);
int SdpConnectionDataIsValid(const SdpConnectionData* connection);
int SdpConnectionDataParse(SdpConnectionData** out, const char* line, int length);
int SdpConnectionDataEncode(char* buffer, uint32_t* length, const SdpConnectionData* connection);
int SdpConnectionDataParseCheck(const char* line);
int32_t SdpConnectionDataGetNetworkType(const SdpConnectionData* connection);
int32_t SdpConnectionDataGetAddressType(const SdpConnectionData* connection);
const char* SdpConnectionDataGetAddress(const SdpConnectionData* connection);
int SdpConnectionDataSetNetworkType(SdpConnectionData* connection, int32_t value);
int SdpConnectionDataSetAddressType(SdpConnectionData* connection, int32_t value);
int SdpConnectionDataSetAddress(SdpConnectionData* connection, const char* text);

// Bandwidth (b=), a list item.
int SdpBandwidthCreate(SdpBandwidth** out, int32_t modifier, int32_t value);
void SdpBandwidthDestroy(SdpBandwidth* bandwidth);
int SdpBandwidthClone(SdpBandwidth** out, const SdpBandwidth* bandwidth);
int SdpBandwidthItemClone(SdpBandwidth** out, const SdpBandwidth* bandwidth);
int SdpBandwidthItemIsEqual(const SdpBandwidth* a, const SdpBandwidth* b);
int SdpBandwidthListIsEqual(const SdpBandwidth* a, const SdpBandwidth* b);
int SdpBandwidthItemIsValid(const SdpBandwidth* bandwidth);
int SdpBandwidthListIsValid(const SdpBandwidth* bandwidth);
int SdpBandwidthParse(SdpBandwidth** out, const char* line, int length);
int SdpBandwidthEncode(char* buffer, uint32_t* length, const SdpBandwidth* bandwidth);
int32_t SdpBandwidthGetModifier(const SdpBandwidth* bandwidth);
const char* SdpBandwidthGetModifierString(const SdpBandwidth* bandwidth);
int32_t SdpBandwidthGetValue(const SdpBandwidth* bandwidth);  // -1 for none
SdpBandwidth* SdpBandwidthGetNext(const SdpBandwidth* bandwidth);
int SdpBandwidthSetModifier(SdpBandwidth* bandwidth, int32_t modifier);
int SdpBandwidthSetModifierString(SdpBandwidth* bandwidth, const char* text);
int SdpBandwidthSetValue(SdpBandwidth* bandwidth, int32_t value);

// Time (t=), a list item.
int SdpTimeCreate(SdpTime** out, uint32_t start, uint32_t stop);
void SdpTimeDestroy(SdpTime* time);
int SdpTimeClone(SdpTime** out, const SdpTime* time);
int SLSdpTimeItemClone(SdpTime** out, const SdpTime* time);
int SdpTimeItemIsEqual(const SdpTime* a, const SdpTime* b);
int SdpTimeListIsEqual(const SdpTime* a, const SdpTime* b);
int SdpTimeItemIsValid(const SdpTime* time);
int SdpTimeListIsValid(const SdpTime* time);
int SdpTimeParse(SdpTime** out, const char* line, int length);
int SdpTimeEncode(char* buffer, uint32_t* length, const SdpTime* time);
int SdpTimeParseCheck(const char* line);
uint32_t SdpTimeGetStart(const SdpTime* time);
uint32_t SdpTimeGetStop(const SdpTime* time);
SdpTime* SdpTimeGetNext(const SdpTime* time);
int SdpTimeSetStart(SdpTime* time, uint32_t value);
int SdpTimeSetStop(SdpTime* time, uint32_t value);

// Media format (a token of the m= line), a list item.
int SdpMediaFormatCreate(SdpMediaFormat** out, const char* value);
void SdpMediaFormatDestroy(SdpMediaFormat* format);      // the chain
void SdpMediaFormatItemDestroy(SdpMediaFormat* format);  // one item
int SdpMediaFormatClone(SdpMediaFormat** out, const SdpMediaFormat* format);
int SdpMediaFormatItemIsEqual(const SdpMediaFormat* a, const SdpMediaFormat* b);
int SdpMediaFormatListIsEqual(const SdpMediaFormat* a, const SdpMediaFormat* b);
const char* SdpMediaFormatGetValue(const SdpMediaFormat* format);
int SdpMediaFormatSetValue(SdpMediaFormat* format, const char* value);
SdpMediaFormat* SdpMediaFormatGetNext(const SdpMediaFormat* format);
// From `first` on: the format whose text equals `text` ignoring case / reads as `number`.
SdpMediaFormat* SdpMediaFormatFindByString(const SdpMediaFormat* first, const char* text);
SdpMediaFormat* SdpMediaFormatFindByInt(const SdpMediaFormat* first, int number);

// rtpmap value.
int SdpAttrRtpMapCreate(SdpAttrRtpMap** out, int32_t payloadType, const char* encodingName, int32_t clockRate,
                        const char* encodingParameters);
void SdpAttrRtpMapDestroy(SdpAttrRtpMap* rtpmap);
int SdpAttrRtpMapClone(SdpAttrRtpMap** out, const SdpAttrRtpMap* rtpmap);
int SdpAttrRtpMapIsEqual(const SdpAttrRtpMap* a, const SdpAttrRtpMap* b);
int SdpAttrRtpMapIsValid(const SdpAttrRtpMap* rtpmap);
int SdpAttrRtpMapParse(SdpAttrRtpMap** out, const char* line, int length);
int SdpAttrRtpMapEncode(char* buffer, uint32_t* length, const SdpAttrRtpMap* rtpmap);
int32_t SdpAttrRtpMapGetPayloadType(const SdpAttrRtpMap* rtpmap);  // -1 for none
const char* SdpAttrRtpMapGetEncodingName(const SdpAttrRtpMap* rtpmap);
int32_t SdpAttrRtpMapGetClockRate(const SdpAttrRtpMap* rtpmap);  // -1 for none
const char* SdpAttrRtpMapGetEncodingParameters(const SdpAttrRtpMap* rtpmap);
int SdpAttrRtpMapSetPayloadType(SdpAttrRtpMap* rtpmap, int32_t value);
int SdpAttrRtpMapSetEncodingName(SdpAttrRtpMap* rtpmap, const char* text);
int SdpAttrRtpMapSetClockRate(SdpAttrRtpMap* rtpmap, int32_t value);
int SdpAttrRtpMapSetEncodingParameters(SdpAttrRtpMap* rtpmap, const char* text);

// fmtp value.
int SdpAttrFmtpCreate(SdpAttrFmtp** out, const char* format, const char* value);
void SdpAttrFmtpDestroy(SdpAttrFmtp* fmtp);
int SdpAttrFmtpClone(SdpAttrFmtp** out, const SdpAttrFmtp* fmtp);
int SdpAttrFmtpIsEqual(const SdpAttrFmtp* a, const SdpAttrFmtp* b);
int SdpAttrFmtpIsValid(const SdpAttrFmtp* fmtp);
int SdpAttrFmtpParse(SdpAttrFmtp** out, const char* line, int length);
int SdpAttrFmtpEncode(char* buffer, uint32_t* length, const SdpAttrFmtp* fmtp);
const char* SdpAttrFmtpGetFormat(const SdpAttrFmtp* fmtp);
const char* SdpAttrFmtpGetValue(const SdpAttrFmtp* fmtp);
int SdpAttrFmtpSetFormat(SdpAttrFmtp* fmtp, const char* text);
int SdpAttrFmtpSetValue(SdpAttrFmtp* fmtp, const char* text);

// Generic attribute value (name and optional value).
int SdpAttrUnknownCreate(SdpAttrUnknown** out, const char* name, const char* value);
void SdpAttrUnknownDestroy(SdpAttrUnknown* attr);
int SdpAttrUnknownClone(SdpAttrUnknown** out, const SdpAttrUnknown* attr);
int SdpAttrUnknownIsEqual(const SdpAttrUnknown* a, const SdpAttrUnknown* b);
int SdpAttrUnknownIsValid(const SdpAttrUnknown* attr);
int SdpAttrUnknownParse(SdpAttrUnknown** out, const char* line, int length);
int SdpAttrUnknownEncode(char* buffer, uint32_t* length, const SdpAttrUnknown* attr);
int SdpAttrUnknownParseCheck(const char* line);
const char* SdpAttrUnknownGetAttribute(const SdpAttrUnknown* attr);
const char* SdpAttrUnknownGetValue(const SdpAttrUnknown* attr);
int SdpAttrUnknownSetAttribute(SdpAttrUnknown* attr, const char* text);
int SdpAttrUnknownSetValue(SdpAttrUnknown* attr, const char* text);

// Attribute items (a=): a list of items, each holding one value of its kind. The value getters
// above also accept an item (they read its value when the kind matches).
int SdpAttributeCreateNew(SdpAttribute** out);
void SdpAttributeDestroy(SdpAttribute* attribute);  // the chain
int SdpAttributeClone(SdpAttribute** out, const SdpAttribute* attribute);
int32_t SdpAttributeGetType(const SdpAttribute* attribute);  // -1 for none
SdpAttribute* SdpAttributeGetNext(const SdpAttribute* attribute);
SdpAttrRtpMap* SdpAttributeGetRtpMap(const SdpAttribute* attribute);
SdpAttrFmtp* SdpAttributeGetFmtp(const SdpAttribute* attribute);
SdpAttrUnknown* SdpAttributeGetUnknown(const SdpAttribute* attribute);
int SdpAttributeParse(SdpAttribute** out, const char* line, int length);
int SdpAttributeEncode(char* buffer, uint32_t* length, const SdpAttribute* attribute);
int SdpAttributeItemIsEqual(const SdpAttribute* a, const SdpAttribute* b);
int SdpAttributeListIsEqual(const SdpAttribute* a, const SdpAttribute* b);
int SdpAttributeItemIsValid(const SdpAttribute* attribute);
int SdpAttributeListIsValid(const SdpAttribute* attribute);
// Primitives on a bare list head; the value records passed in are owned by the list afterwards.
int SdpAttributeAddItem(SdpAttribute** head, SdpAttribute* item);
int SdpAttributeAddRtpMap(SdpAttribute** head, SdpAttrRtpMap* rtpmap);
int SdpAttributeAddFmtp(SdpAttribute** head, SdpAttrFmtp* fmtp);
int SdpAttributeAddUnknown(SdpAttribute** head, SdpAttrUnknown* attr);  // refuses "rtpmap", "fmtp"
int SdpAttributeSetRtpMap(SdpAttribute* item, SdpAttrRtpMap* rtpmap);
int SdpAttributeRemoveItem(SdpAttribute** head, SdpAttribute* item);
int SdpAttributeRemoveItemsByString(SdpAttribute** head, const char* name);  // -> number removed
void SdpAttributeRemoveAllItems(SdpAttribute** head);
// Searches from `first` on; each returns the first matching item or none.
SdpAttribute* SdpAttributeFindByType(const SdpAttribute* first, int32_t kind);
SdpAttribute* SdpAttributeFindByString(const SdpAttribute* first, const char* name);
SdpAttribute* SdpAttributeFindRtpMapByInt(const SdpAttribute* first, int32_t payloadType);
SdpAttribute* SdpAttributeFindRtpMapByString(const SdpAttribute* first, const char* payloadType);
SdpAttribute* SdpAttributeFindFmtpByString(const SdpAttribute* first, const char* format);
SdpAttribute* SdpAttributeFindFmtpByInt(const SdpAttribute* first, int32_t format);
// A free-standing list of rtpmap items starts with an empty item from SdpAttributeCreateNew.
int SdpAttrRtpMapIsEqual(const SdpAttribute* a, const SdpAttribute* b);
int32_t SdpAttrRtpMapGetPayloadType(const SdpAttribute* item);
const char* SdpAttrRtpMapGetEncodingName(const SdpAttribute* item);
int32_t SdpAttrRtpMapGetClockRate(const SdpAttribute* item);
const char* SdpAttrRtpMapGetEncodingParameters(const SdpAttribute* item);
const char* SdpAttrFmtpGetFormat(const SdpAttribute* item);
const char* SdpAttrFmtpGetValue(const SdpAttribute* item);
const char* SdpAttrUnknownGetAttribute(const SdpAttribute* item);
const char* SdpAttrUnknownGetValue(const SdpAttribute* item);

// Media description (m= and its lines), a list item.
int SdpMediaCreate(SdpMedia** out, int32_t mediaType, const char* mediaText, uint16_t port, int32_t numPorts,
                   int32_t transport, const char* transportText);
void SdpMediaDestroy(SdpMedia* media);  // the chain
int SdpMediaClone(SdpMedia** out, const SdpMedia* media);      // the chain
int SdpMediaItemClone(SdpMedia** out, const SdpMedia* media);  // one media description
int SdpMediaItemIsEqual(const SdpMedia* a, const SdpMedia* b);
int SdpMediaListIsEqual(const SdpMedia* a, const SdpMedia* b);
int SdpMediaItemIsValid(const SdpMedia* media);
int SdpMediaListIsValid(const SdpMedia* media);
int SdpMediaParse(SdpMedia** out, const char* line, int length);
// Writes the m= line and the media's i=, c=, b= and a= lines.
int SdpMediaEncode(char* buffer, uint32_t* length, const SdpMedia* media);
int SdpMediaParseCheck(const char* line);
int32_t SdpMediaGetMedia(const SdpMedia* media);
const char* SdpMediaGetMediaTitle(const SdpMedia* media);
uint16_t SdpMediaGetPort(const SdpMedia* media);
int32_t SdpMediaGetNumOfPorts(const SdpMedia* media);
int32_t SdpMediaGetTransport(const SdpMedia* media);
const char* SdpMediaGetTrans(const SdpMedia* media);
SdpMediaFormat* SdpMediaGetHeadFormat(const SdpMedia* media);
SdpConnectionData* SdpMediaGetConnectionData(const SdpMedia* media);
SdpBandwidth* SdpMediaGetHeadBandwidth(const SdpMedia* media);
SdpAttribute* SdpMediaGetHeadAttribute(const SdpMedia* media);
const char* SdpMediaGetInformation(const SdpMedia* media);
SdpMedia* SdpMediaGetNext(const SdpMedia* media);
int SdpMediaSetMedia(SdpMedia* media, int32_t mediaType);
int SdpMediaSetMediaTitle(SdpMedia* media, const char* text);
int SdpMediaSetPort(SdpMedia* media, uint16_t port);
int SdpMediaSetNumOfPorts(SdpMedia* media, int32_t value);
int SdpMediaSetTransport(SdpMedia* media, int32_t transport);
int SdpMediaSetTrans(SdpMedia* media, const char* text);
int SdpMediaSetInformation(SdpMedia* media, const char* text);
int SdpMediaSetConnectionData(SdpMedia* media, int32_t networkType, int32_t addressType, const char* address);
int SdpMediaAddFormat(SdpMedia* media, const char* text);
int SdpMediaAddFormatInt(SdpMedia* media, int number);
int SdpMediaRemoveFormat(SdpMedia* media, SdpMediaFormat* format);
void SdpMediaRemoveAllFormats(SdpMedia* media);
void SdpMediaRemoveConnectionData(SdpMedia* media);
int SdpMediaAddBandwidth2(SdpMedia* media, int32_t modifier, const char* modifierText, int32_t value);
int SdpMediaAddBandwidth(SdpMedia* media, int32_t modifier, int32_t value);
void SdpMediaRemoveAllBandwidths(SdpMedia* media);
int SdpMediaAddAttrRtpMap(SdpMedia* media, int32_t payloadType, const char* encodingName, int32_t clockRate,
                          const char* encodingParameters);
int SdpMediaAddAttrFmtp(SdpMedia* media, const char* format, const char* value);
int SdpMediaAddAttrUnknown(SdpMedia* media, const char* name, const char* value);
int SdpMediaAddAttrUnknownItem(SdpMedia* media, SdpAttrUnknown* attr);
int SdpMediaAddAttrSendRecv(SdpMedia* media);
int SdpMediaAddAttrSendOnly(SdpMedia* media);
int SdpMediaAddAttrRecvOnly(SdpMedia* media);
int SdpMediaAddAttrInactive(SdpMedia* media);
int SdpMediaRemoveAttribute(SdpMedia* media, SdpAttribute* item);
int SdpMediaRemoveAttributesByString(SdpMedia* media, const char* name);
void SdpMediaRemoveAllAttributes(SdpMedia* media);
int SdpMediaListAddItem(SdpMedia** head, SdpMedia* media);
int SdpMediaListRemoveItem(SdpMedia** head, SdpMedia* media);

// Session description.
int SdpAnnouncementCreate(SdpAnnouncement** out, int32_t version, const SdpOrigin* origin, const char* sessionName);
int SdpAnnouncementCreateNew(SdpAnnouncement** out);
void SdpAnnouncementDestroy(SdpAnnouncement* sdp);
int SdpAnnouncementClone(SdpAnnouncement** out, const SdpAnnouncement* sdp);
int SdpAnnouncementIsEqual(const SdpAnnouncement* a, const SdpAnnouncement* b);
int SdpAnnouncementIsValid(const SdpAnnouncement* sdp);
// Parses `length` characters of `text` (or up to its first NUL). A text of SDP_MAX_TEXT characters or
// more is refused with SDP_ERR_TOO_LONG and no description.
int SdpAnnouncementParse(SdpAnnouncement** out, const char* text, uint32_t length);
// Writes the whole text; 0xA0AC800A (with *length at the bytes of the complete lines) when it does
// not fit.
int SdpAnnouncementEncode(char* buffer, uint32_t* length, const SdpAnnouncement* sdp);
int32_t SdpAnnouncementGetVersion(const SdpAnnouncement* sdp);  // -1 for none
SdpOrigin* SdpAnnouncementGetOrigin(const SdpAnnouncement* sdp);
const char* SdpAnnouncementGetSessionName(const SdpAnnouncement* sdp);
const char* SdpAnnouncementGetInformation(const SdpAnnouncement* sdp);
const char* SdpAnnouncementGetUri(const SdpAnnouncement* sdp);
const char* SdpAnnouncementGetEmail(const SdpAnnouncement* sdp);
const char* SdpAnnouncementGetPhone(const SdpAnnouncement* sdp);
SdpConnectionData* SdpAnnouncementGetConnectionData(const SdpAnnouncement* sdp);
SdpBandwidth* SdpAnnouncementGetHeadBandwidth(const SdpAnnouncement* sdp);
SdpTime* SdpAnnouncementGetHeadTime(const SdpAnnouncement* sdp);
SdpAttribute* SdpAnnouncementGetHeadAttribute(const SdpAnnouncement* sdp);
SdpMedia* SdpAnnouncementGetHeadMedia(const SdpAnnouncement* sdp);
int SdpAnnouncementSetVersion(SdpAnnouncement* sdp, int32_t version);
int SdpAnnouncementSetOrigin(SdpAnnouncement* sdp, SdpOrigin* origin);  // takes ownership
int SdpAnnouncementSetSessionName(SdpAnnouncement* sdp, const char* text);
int SdpAnnouncementSetInformation(SdpAnnouncement* sdp, const char* text);
int SdpAnnouncementSetUri(SdpAnnouncement* sdp, const char* text);
int SdpAnnouncementSetEmail(SdpAnnouncement* sdp, const char* text);
int SdpAnnouncementSetPhone(SdpAnnouncement* sdp, const char* text);
int SdpAnnouncementSetConnectionData(SdpAnnouncement* sdp, SdpConnectionData* connection);  // takes ownership
void SdpAnnouncementRemoveConnectionData(SdpAnnouncement* sdp);
int SdpAnnouncementAddBandwidth2(SdpAnnouncement* sdp, int32_t modifier, const char* modifierText, int32_t value);
int SdpAnnouncementAddBandwidth(SdpAnnouncement* sdp, int32_t modifier, int32_t value);
void SdpAnnouncementRemoveAllBandwidths(SdpAnnouncement* sdp);
int SdpAnnouncementAddTime(SdpAnnouncement* sdp, SdpTime* time);  // takes ownership
void SdpAnnouncementRemoveAllTimes(SdpAnnouncement* sdp);
int SdpAnnouncementAddAttrRtpMap(SdpAnnouncement* sdp, int32_t payloadType, const char* encodingName,
                                 int32_t clockRate, const char* encodingParameters);
int SdpAnnouncementAddAttrUnknown(SdpAnnouncement* sdp, const char* name, const char* value);
int SdpAnnouncementAddAttrSendRecv(SdpAnnouncement* sdp);
int SdpAnnouncementAddAttrSendOnly(SdpAnnouncement* sdp);
int SdpAnnouncementAddAttrRecvOnly(SdpAnnouncement* sdp);
int SdpAnnouncementAddAttrInactive(SdpAnnouncement* sdp);
int SdpAnnouncementRemoveAttribute(SdpAnnouncement* sdp, SdpAttribute* item);
int SdpAnnouncementRemoveAttributesByString(SdpAnnouncement* sdp, const char* name);
void SdpAnnouncementRemoveAllAttributes(SdpAnnouncement* sdp);
int SdpAnnouncementAddMedia(SdpAnnouncement* sdp, SdpMedia* media);  // takes ownership on success
int SdpAnnouncementRemoveMedia(SdpAnnouncement* sdp, SdpMedia* media);
void SdpAnnouncementRemoveAllMedia(SdpAnnouncement* sdp);
