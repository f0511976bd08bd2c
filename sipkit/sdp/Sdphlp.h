#pragma once
// SDP offer/answer (RFC 3264): one session per dialog, codec maps and description utilities.
//
// Results are kit result codes of module 0x101: 0xA101800C not initialised, 0xA101800D already
// initialised, 0xA101800B missing argument, unknown session, unknown control or a description that
// fails a check, 0xA101800A control value too short, 0xA1018008 out of memory, 0xA101800E wrong
// negotiation state; the SDP model's codes pass through. Taking a remote answer whose media are not
// in the offered order still succeeds, with the positive result SDPHLP_ANSWER_REORDERED.
//
// Session operations take the module lock for their whole run; the format callbacks run with it
// held and must not call session operations. Description utilities and codec maps take no lock.

#include <cstdint>

#include "Sdp.h"

constexpr SFResult SDPHLP_ERR_NOT_INITIALIZED = SFResultError(SF_MODULE_SDPHLP, SF_CODE_NOT_INITIALIZED);
constexpr SFResult SDPHLP_ERR_ALREADY_INITIALIZED = SFResultError(SF_MODULE_SDPHLP, SF_CODE_ALREADY_INITIALIZED);
constexpr SFResult SDPHLP_ERR_INVALID = SFResultError(SF_MODULE_SDPHLP, SF_CODE_INVALID_ARGUMENT);
constexpr SFResult SDPHLP_ERR_TOO_SMALL = SFResultError(SF_MODULE_SDPHLP, SF_CODE_BUFFER_TOO_SMALL);
constexpr SFResult SDPHLP_ERR_NO_MEMORY = SFResultError(SF_MODULE_SDPHLP, SF_CODE_NO_MEMORY);
constexpr SFResult SDPHLP_ERR_WRONG_STATE = SFResultError(SF_MODULE_SDPHLP, SF_CODE_WRONG_STATE);
constexpr SFResult SDPHLP_ANSWER_REORDERED = 0x2101A001;

// Directions ("tool modes").
enum : int32_t {
    SDPHLP_MODE_NONE = 0, SDPHLP_MODE_SENDRECV = 1, SDPHLP_MODE_SENDONLY = 2, SDPHLP_MODE_RECVONLY = 3,
    SDPHLP_MODE_INACTIVE = 4,
};

// Per-session controls (defaults set with a null session).
enum : int32_t {
    SDPHLP_CTRL_ANSWER_OWN_CONNECTION = 1000,  // accepted answer media carry their own c= line
    SDPHLP_CTRL_OFFER_DROP_PORT0 = 1001,       // port-0 media left out of offers made
    SDPHLP_CTRL_ANSWER_DROP_PORT0 = 1002,      // port-0 media left out of the answer returned
    SDPHLP_CTRL_PORT0_MLINE_ONLY = 1003,       // otherwise port-0 media keep only their m= line
    SDPHLP_CTRL_KEEP_NEGOTIATED_OFFER = 1004,  // a committed offer is kept in its negotiated form
    SDPHLP_CTRL_KEEP_SESSION_CONNECTION = 1005,  // negotiated descriptions keep the session c= line
    SDPHLP_CTRL_NO_PLACEHOLDER_FORMAT = 1006,  // rejected media without formats get no "127"
};

// Negotiation states.
enum : int32_t {
    SDPHLP_STATE_IDLE = 0, SDPHLP_STATE_OFFERER = 1, SDPHLP_STATE_OFFER_MADE = 2, SDPHLP_STATE_ANSWER_RECEIVED = 3,
    SDPHLP_STATE_ANSWERER = 4, SDPHLP_STATE_OFFER_RECEIVED = 5, SDPHLP_STATE_ANSWER_MADE = 6,
};

// What the format callbacks see of one side of a matched format.
typedef struct SdphlpFormatInfo {
    int32_t mediaType;
    const char* mediaText;
    int32_t transport;
    const char* transportText;
    const char* format;
    const SdpAttrRtpMap* rtpmap;  // none for transports other than RTP/AVP and RTP/SAVP
    const SdpAttrFmtp* fmtp;
} SdphlpFormatInfo;

// Called for each matched format of a received answer; *accept 0 drops the format, *fmtp (handed
// over) replaces both sides' fmtp. A negative result aborts the operation.
typedef int (*SdphlpFmtpCheck)(const SdphlpFormatInfo* offer, const SdphlpFormatInfo* answer, int* accept,
                               SdpAttrFmtp** fmtp, void* user);
// Called for each matched format while an answer is built.
typedef int (*SdphlpFmtpNegotiate)(const SdphlpFormatInfo* offer, const SdphlpFormatInfo* answer, int* accept,
                                   SdpAttrFmtp** answerFmtp, SdpAttrFmtp** negotiatedFmtp, void* user);
typedef struct SdphlpCallbacks {
    SdphlpFmtpCheck check;
    SdphlpFmtpNegotiate negotiate;
} SdphlpCallbacks;

typedef struct SdphlpSession* SdphlpHandle;

typedef struct SdphlpMediaChange {
    int32_t any;
    int32_t mediaType;
    int32_t port;
    int32_t transport;
    int32_t connection;
    int32_t formats;
    int32_t attributes;
} SdphlpMediaChange;

// Module.
int SdphlpInitialize(uint32_t sessionsPerBlock);  // 0: 8
int SdphlpCleanup(void);
void SdphlpSetOption(void* ignored, uint32_t options);
int SdphlpGetStaticCodecMap(SdpAttribute** out);
int SdphlpSetStaticCodecMap(const SdpAttribute* list);

// Sessions.
int SdphlpCreateSession(SdphlpHandle* out, const SdphlpCallbacks* callbacks, void* user);
int SdphlpDeleteSession(SdphlpHandle session);
int SdphlpCloneSession(SdphlpHandle* out, SdphlpHandle session);
int SdphlpControl(SdphlpHandle session, int32_t type, const void* value, uint32_t size);
int SdphlpSetAgentType(SdphlpHandle session, int32_t role);
int SdphlpSetCapabilityConfig(SdphlpHandle session, const SdpAnnouncement* sdp);
int SdphlpGetCapabilityConfig(SdphlpHandle session, SdpAnnouncement** out);
int SdphlpCreateCapability(SdpAnnouncement** out, const SdpAnnouncement* sdp);
int SdphlpGetLocalCodecMap(SdphlpHandle session, SdpAttribute** out);
int SdphlpCreateOffer(SdphlpHandle session, int increment);
int SdphlpSetOffer(SdphlpHandle session, const SdpAnnouncement* offer);
int SdphlpSetAnswer(SdphlpHandle session, const SdpAnnouncement* answer);
int SdphlpCreateAnswer(SdphlpHandle session, int increment);
int SdphlpUpdateSession(SdphlpHandle session, int commit);
int SdphlpGetCurrentSdp(SdphlpHandle session, int which, SdpAnnouncement** local, SdpAnnouncement** remote,
                        SdpAnnouncement** previousLocal, SdpAnnouncement** previousRemote);
int SdphlpGetCurrentSdp2(SdphlpHandle session, int which, SdpAnnouncement** local, SdpAnnouncement** remote,
                         SdpAnnouncement** previousLocal, SdpAnnouncement** previousRemote, int* localOffer);
int SdphlpGetNegotiationState(SdphlpHandle session, int32_t* state);
int SdphlpGetOffer(SdphlpHandle session, SdpAnnouncement** out);
int SdphlpGetAnswer(SdphlpHandle session, SdpAnnouncement** out);

// Description utilities.
int SdphlpAnnouncementCreateDefault(SdpAnnouncement** out, const char* userName, int32_t networkType,
                                    int32_t addressType, const char* address);
int32_t SdphlpAnnouncementGetToolMode(const SdpAnnouncement* sdp);
int SdphlpAnnouncementSetToolMode(SdpAnnouncement* sdp, int32_t mode);
int32_t SdphlpMediaGetToolMode(const SdpAnnouncement* sdp, const SdpMedia* media);
int SdphlpMediaSetToolMode(SdpMedia* media, int32_t mode);
int32_t SdphlpAttributeGetToolMode(const SdpAttribute* list);
int SdphlpAttributeSetToolMode(SdpAttribute** list, int32_t mode);
int SdphlpAttributeRemoveToolMode(SdpAttribute** list);
int SdphlpMediaIsOnHold(const SdpAnnouncement* sdp, const SdpMedia* media);
SdpMedia* SdphlpMediaFind(const SdpMedia* first, int32_t mediaType, const char* mediaText);
SdpConnectionData* SdphlpMediaGetConnectionData(const SdpAnnouncement* sdp, const SdpMedia* media);
SdpAttrRtpMap* SdphlpMediaFindRtpMap(const SdpAnnouncement* sdp, const SdpMedia* media, int32_t payloadType);
SdpAttrRtpMap* SdphlpMediaFindRtpMapByCodec(const SdpAnnouncement* sdp, const SdpMedia* media, const SdpAttrRtpMap* codec);
SdpAttrRtpMap* SdphlpAttributeFindRtpMap(const SdpAttribute* list, int32_t payloadType);
SdpAttrRtpMap* SdphlpAttributeFindRtpMapByCodec(const SdpAttribute* list, const SdpAttrRtpMap* codec);
SdpAttrFmtp* SdphlpAttributeFindFmtp(const SdpAttribute* list, const char* format);
SdpAttrFmtp* SdphlpMediaGetFmtp(const SdpMedia* media, const char* format);
int SdphlpCompareCodec(const SdpAttrRtpMap* a, const SdpAttrRtpMap* b);
int SdphlpMediaCompareMediaType(const SdpMedia* a, const SdpMedia* b);
int SdphlpMediaCompareMediaTransport(const SdpMedia* a, const SdpMedia* b);
int SdphlpMediaCompareNumOfPorts(const SdpMedia* a, const SdpMedia* b);
int SdphlpMediaCompare(const SdpAnnouncement* sdpA, const SdpMedia* a, const SdpAnnouncement* sdpB, const SdpMedia* b,
                       SdphlpMediaChange* change);
void SdphlpMediaEmpty(SdpMedia* media);
int SdphlpMediaAddFormatWithAttr(SdpMedia* media, const char* format, const SdpAttrRtpMap* rtpmap, const SdpAttrFmtp* fmtp);
int SdphlpCountMedia(const SdpAnnouncement* sdp);
int SdphlpSetTime(SdpAnnouncement* sdp, uint32_t start, uint32_t stop);
int SdphlpDeleteMediaWithPortZero(SdpAnnouncement* sdp);
void SdphlpMediaWithPortZeroMlineOnly(SdpAnnouncement* sdp);
void SdphlpOriginResetSessionId(SdpOrigin* origin);

// Codec maps: attribute lists of rtpmap items.
int SdphlpCodecMapAdd(SdpAttribute** map, const SdpAttrRtpMap* rtpmap);
int SdphlpCodecMapRegister(SdpAttribute** map, const SdpAttribute* staticMap, const SdpAnnouncement* sdp);
int SdphlpCodecMapCheckRtpMapAttributes(const SdpAnnouncement* sdp, const SdpAttribute* staticMap);
void SdphlpCodecMapClear(SdpAttribute** map);
int SdphlpCodecMapCopy(SdpAttribute** destination, const SdpAttribute* source);
SdpAttrRtpMap* SdphlpCodecMapFind(const SdpAttribute* map, int32_t payloadType);
SdpAttrRtpMap* SdphlpCodecMapFindByCodec(const SdpAttribute* map, const SdpAttrRtpMap* codec);
int SdphlpCodecMapRemove(SdpAttribute** map, int32_t payloadType);

// Checks: strict for local capabilities, lenient for remote offers and answers.
int SdphlpCheck(const SdpAnnouncement* sdp, int strict);
// Its parts, each 0 or 0xA101800B.
int SdphlpVersionCheck(const SdpAnnouncement* sdp, int strict);
int SdphlpOriginCheck(const SdpAnnouncement* sdp, int strict);
int SdphlpSessionNameCheck(const SdpAnnouncement* sdp, int strict);
int SdphlpTimeCheck(const SdpAnnouncement* sdp, int strict);
int SdphlpConnectionDataCheck(const SdpConnectionData* connection, int strict);
int SdphlpBandwidthCheck(const SdpBandwidth* list);
int SdphlpAttrUnknownCheck(const SdpAttrUnknown* attr);
int SdphlpAttrRtpMapCheck(const SdpAttrRtpMap* rtpmap);
int SdphlpAttrFmtpCheck(const SdpAttrFmtp* fmtp);
// Every attribute of the list; strict adds the duplicate rules (rtpmap ones for RTP media only).
int SdphlpAttributeCheck(const SdpAttribute* list, int strict, int rtp);
// No two different direction attributes in the list.
int SdphlpCheckToolModeAttributes(const SdpAttribute* list);
int SdphlpMediaCheck(const SdpAnnouncement* sdp, const SdpMedia* media, int strict);
