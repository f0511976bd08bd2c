// Description utilities, codec maps and checks of the offer/answer module.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "SFUid.h"
#include "SdpRecords.h"
#include "Sdphlp.h"

namespace {

const char* const kModes[] = {nullptr, "sendrecv", "sendonly", "recvonly", "inactive"};

int32_t modeOf(const char* name)
{
    for (int32_t i = 1; i <= 4; ++i)
        if (name && std::strcmp(name, kModes[i]) == 0)
            return i;
    return 0;
}

bool isRtp(int32_t transport) { return transport == SDP_TRANSPORT_RTP_AVP || transport == SDP_TRANSPORT_RTP_SAVP; }

// A missing, non-numeric or non-positive channel count is one channel.
long channels(const char* parameters)
{
    if (!parameters)
        return 1;
    char* end = nullptr;
    const long n = std::strtol(parameters, &end, 10);
    return end == parameters || n <= 0 ? 1 : n;
}

const char* transportText(const SdpMedia* m)
{
    const char* name = sdp::transportName(m->transport);
    return name ? name : m->transportText;
}

bool isEmpty(const char* t) { return !t || !*t; }

int verdict(bool ok) { return ok ? 0 : SDPHLP_ERR_INVALID; }

SdpAttrRtpMap* rtpmapIn(const SdpAttribute* list, int32_t pt)
{
    return SdpAttributeGetRtpMap(SdpAttributeFindRtpMapByInt(list, pt));
}

}  // namespace

// ---- directions ----

int32_t SdphlpAttributeGetToolMode(const SdpAttribute* list)
{
    for (const SdpAttribute* a = list; a; a = a->next)
        if (const SdpAttrUnknown* u = SdpAttributeGetUnknown(a); u && modeOf(u->name))
            return modeOf(u->name);
    return 0;
}

int SdphlpAttributeRemoveToolMode(SdpAttribute** list)
{
    int removed = 0;
    for (int32_t i = 1; i <= 4; ++i)
        removed += SdpAttributeRemoveItemsByString(list, kModes[i]);
    return removed;
}

int SdphlpAttributeSetToolMode(SdpAttribute** list, int32_t mode)
{
    if (!list)
        return SDPHLP_ERR_INVALID;
    SdphlpAttributeRemoveToolMode(list);
    if (mode == 0)
        return 0;
    if (mode < 0 || mode > 4)
        return SDPHLP_ERR_INVALID;
    SdpAttrUnknown* u = nullptr;
    int rc = SdpAttrUnknownCreate(&u, kModes[mode], nullptr);
    if (rc == 0 && (rc = SdpAttributeAddUnknown(list, u)) != 0)
        SdpAttrUnknownDestroy(u);
    return rc;
}

int32_t SdphlpAnnouncementGetToolMode(const SdpAnnouncement* s) { return s ? SdphlpAttributeGetToolMode(s->attributes) : 0; }

int SdphlpAnnouncementSetToolMode(SdpAnnouncement* s, int32_t mode)
{
    return s ? SdphlpAttributeSetToolMode(&s->attributes, mode) : SDPHLP_ERR_INVALID;
}

int32_t SdphlpMediaGetToolMode(const SdpAnnouncement* s, const SdpMedia* m)
{
    const int32_t own = m ? SdphlpAttributeGetToolMode(m->attributes) : 0;
    return own ? own : SdphlpAnnouncementGetToolMode(s);
}

int SdphlpMediaSetToolMode(SdpMedia* m, int32_t mode) { return m ? SdphlpAttributeSetToolMode(&m->attributes, mode) : SDPHLP_ERR_INVALID; }

int SdphlpMediaIsOnHold(const SdpAnnouncement* s, const SdpMedia* m)
{
    if (!m)
        return 0;
    const SdpConnectionData* c = SdphlpMediaGetConnectionData(s, m);
    if (c && c->networkType == SDP_NET_IN && c->addressType == SDP_ADDR_IP4 && c->address &&
        std::strcmp(c->address, "0.0.0.0") == 0)
        return 1;
    const int32_t mode = SdphlpMediaGetToolMode(s, m);
    return mode == SDPHLP_MODE_SENDONLY || mode == SDPHLP_MODE_INACTIVE ? 1 : 0;
}

// ---- look-ups ----

SdpMedia* SdphlpMediaFind(const SdpMedia* m, int32_t type, const char* text)
{
    for (; m; m = m->next)
        if (m->mediaType == type && (type != SDP_MEDIA_OTHER || (text && m->mediaText && strcasecmp(text, m->mediaText) == 0)))
            return const_cast<SdpMedia*>(m);
    return nullptr;
}

SdpConnectionData* SdphlpMediaGetConnectionData(const SdpAnnouncement* s, const SdpMedia* m)
{
    if (!m)
        return nullptr;
    return m->connection ? m->connection : (s ? s->connection : nullptr);
}

SdpAttrRtpMap* SdphlpAttributeFindRtpMap(const SdpAttribute* list, int32_t pt) { return rtpmapIn(list, pt); }

SdpAttrRtpMap* SdphlpAttributeFindRtpMapByCodec(const SdpAttribute* list, const SdpAttrRtpMap* codec)
{
    if (!codec || !codec->encodingName)
        return nullptr;
    for (const SdpAttribute* a = list; a; a = a->next)
        if (SdpAttrRtpMap* r = SdpAttributeGetRtpMap(a); r && SdphlpCompareCodec(r, codec))
            return r;
    return nullptr;
}

SdpAttrRtpMap* SdphlpMediaFindRtpMap(const SdpAnnouncement* s, const SdpMedia* m, int32_t pt)
{
    SdpAttrRtpMap* r = m ? rtpmapIn(m->attributes, pt) : nullptr;
    return r ? r : (s ? rtpmapIn(s->attributes, pt) : nullptr);
}

SdpAttrRtpMap* SdphlpMediaFindRtpMapByCodec(const SdpAnnouncement* s, const SdpMedia* m, const SdpAttrRtpMap* codec)
{
    SdpAttrRtpMap* r = m ? SdphlpAttributeFindRtpMapByCodec(m->attributes, codec) : nullptr;
    return r ? r : (s ? SdphlpAttributeFindRtpMapByCodec(s->attributes, codec) : nullptr);
}

SdpAttrFmtp* SdphlpAttributeFindFmtp(const SdpAttribute* list, const char* format)
{
    return SdpAttributeGetFmtp(SdpAttributeFindFmtpByString(list, format));
}

SdpAttrFmtp* SdphlpMediaGetFmtp(const SdpMedia* m, const char* format)
{
    return m ? SdphlpAttributeFindFmtp(m->attributes, format) : nullptr;
}

int SdphlpCompareCodec(const SdpAttrRtpMap* a, const SdpAttrRtpMap* b)
{
    if (!a || !b)
        return a == b ? 1 : 0;
    return sdp::textEqualI(a->encodingName, b->encodingName) && a->clockRate == b->clockRate &&
                   channels(a->encodingParameters) == channels(b->encodingParameters)
               ? 1
               : 0;
}

int SdphlpMediaCompareMediaType(const SdpMedia* a, const SdpMedia* b)
{
    if (!a || !b || a->mediaType != b->mediaType)
        return 0;
    if (a->mediaType != SDP_MEDIA_OTHER)
        return 1;
    return a->mediaText && b->mediaText && strcasecmp(a->mediaText, b->mediaText) == 0 ? 1 : 0;
}

int SdphlpMediaCompareMediaTransport(const SdpMedia* a, const SdpMedia* b)
{
    if (!a || !b)
        return 0;
    const char* ta = transportText(a);
    const char* tb = transportText(b);
    return ta && tb && strcasecmp(ta, tb) == 0 ? 1 : 0;
}

int SdphlpMediaCompareNumOfPorts(const SdpMedia* a, const SdpMedia* b)
{
    if (!a || !b)
        return 0;
    return (a->numPorts < 2 && b->numPorts < 2) || a->numPorts == b->numPorts ? 1 : 0;
}

int SdphlpMediaCompare(const SdpAnnouncement* sa, const SdpMedia* a, const SdpAnnouncement* sb, const SdpMedia* b,
                       SdphlpMediaChange* change)
{
    if (!a || !b || !change)
        return SDPHLP_ERR_INVALID;
    *change = SdphlpMediaChange{};
    change->mediaType = !SdphlpMediaCompareMediaType(a, b);
    change->port = a->port != b->port || !SdphlpMediaCompareNumOfPorts(a, b);
    change->transport = !SdphlpMediaCompareMediaTransport(a, b);
    change->connection = !SdpConnectionDataIsEqual(SdphlpMediaGetConnectionData(sa, a), SdphlpMediaGetConnectionData(sb, b));
    change->formats = !SdpMediaFormatListIsEqual(a->formats, b->formats);
    change->attributes = !SdpAttributeListIsEqual(a->attributes, b->attributes) ||
                         !SdpAttributeListIsEqual(sa ? sa->attributes : nullptr, sb ? sb->attributes : nullptr);
    change->any = change->mediaType || change->port || change->transport || change->connection || change->formats ||
                  change->attributes;
    return 0;
}

// ---- editing ----

void SdphlpMediaEmpty(SdpMedia* m)
{
    SdpMediaRemoveAllFormats(m);
    SdpMediaRemoveConnectionData(m);
    SdpMediaRemoveAllBandwidths(m);
    SdpMediaRemoveAllAttributes(m);
}

int SdphlpMediaAddFormatWithAttr(SdpMedia* m, const char* format, const SdpAttrRtpMap* rtpmap, const SdpAttrFmtp* fmtp)
{
    if (!m || isEmpty(format))
        return SDPHLP_ERR_INVALID;
    if (SdpMediaFormatFindByString(m->formats, format))
        return 0;
    if (isRtp(m->transport) && !rtpmap)
        return SDPHLP_ERR_INVALID;
    int rc = SdpMediaAddFormat(m, format);
    if (rc == 0 && isRtp(m->transport))
        rc = SdpMediaAddAttrRtpMap(m, rtpmap->payloadType, rtpmap->encodingName, rtpmap->clockRate,
                                   rtpmap->encodingParameters);
    if (rc == 0 && fmtp && !isEmpty(fmtp->value))
        rc = SdpMediaAddAttrFmtp(m, isEmpty(fmtp->format) ? format : fmtp->format, fmtp->value);
    return rc;
}

int SdphlpCountMedia(const SdpAnnouncement* s)
{
    int n = 0;
    for (const SdpMedia* m = s ? s->media : nullptr; m; m = m->next)
        ++n;
    return n;
}

int SdphlpSetTime(SdpAnnouncement* s, uint32_t startTime, uint32_t stopTime)
{
    if (!s)
        return SDPHLP_ERR_INVALID;
    SdpTime* t = nullptr;
    const int rc = SdpTimeCreate(&t, startTime, stopTime);
    if (rc != 0)
        return rc;
    SdpAnnouncementRemoveAllTimes(s);
    return SdpAnnouncementAddTime(s, t);
}

int SdphlpDeleteMediaWithPortZero(SdpAnnouncement* s)
{
    if (!s)
        return 0;
    int removed = 0;
    for (SdpMedia* m = s->media; m;) {
        SdpMedia* next = m->next;
        if (m->port == 0 && SdpAnnouncementRemoveMedia(s, m) == 0)
            ++removed;
        m = next;
    }
    return removed;
}

void SdphlpMediaWithPortZeroMlineOnly(SdpAnnouncement* s)
{
    for (SdpMedia* m = s ? s->media : nullptr; m; m = m->next) {
        if (m->port != 0)
            continue;
        SdpMediaRemoveConnectionData(m);
        SdpMediaRemoveAllBandwidths(m);
        SdpMediaRemoveAllAttributes(m);
        SdpMediaSetInformation(m, nullptr);
    }
}

void SdphlpOriginResetSessionId(SdpOrigin* o)
{
    if (!o)
        return;
    const uint32_t id = SFUidGenerateUniqueNumber() >> 1;
    o->sessionId = id;
    o->version = id;
}

int SdphlpAnnouncementCreateDefault(SdpAnnouncement** out, const char* userName, int32_t networkType,
                                    int32_t addressType, const char* address)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    if (isEmpty(address))
        return SDPHLP_ERR_INVALID;
    SdpOrigin* o = nullptr;
    int rc = SdpOriginCreate(&o, userName ? userName : "-", 0, 0, networkType, addressType, address);
    if (rc != 0)
        return rc;
    if (!o->userName) {
        SdpOriginDestroy(o);
        return SDPHLP_ERR_INVALID;
    }
    SdpAnnouncement* s = nullptr;
    SdpConnectionData* c = nullptr;
    if ((rc = SdpAnnouncementCreate(&s, 0, o, "-")) == 0 && (rc = SdphlpSetTime(s, 0, 0)) == 0 &&
        (rc = SdpConnectionDataCreate(&c, networkType, addressType, address)) == 0)
        SdpAnnouncementSetConnectionData(s, c);
    SdpOriginDestroy(o);
    if (rc != 0) {
        SdpAnnouncementDestroy(s);
        return rc;
    }
    *out = s;
    return 0;
}

// ---- codec maps ----

int SdphlpCodecMapAdd(SdpAttribute** map, const SdpAttrRtpMap* r)
{
    if (!map || !r)
        return SDPHLP_ERR_INVALID;
    if (const SdpAttrRtpMap* existing = rtpmapIn(*map, r->payloadType))
        return SdphlpCompareCodec(existing, r) ? 0 : SDPHLP_ERR_INVALID;
    SdpAttrRtpMap* copy = nullptr;
    int rc = SdpAttrRtpMapClone(&copy, r);
    if (rc == 0 && (rc = SdpAttributeAddRtpMap(map, copy)) != 0)
        SdpAttrRtpMapDestroy(copy);
    return rc;
}

int SdphlpCodecMapRegister(SdpAttribute** map, const SdpAttribute* staticMap, const SdpAnnouncement* s)
{
    if (!map || !s)
        return SDPHLP_ERR_INVALID;
    int rc = 0;
    for (const SdpMedia* m = s->media; m; m = m->next) {
        if (m->port == 0 || !isRtp(m->transport))
            continue;
        for (const SdpMediaFormat* f = m->formats; f; f = f->next) {
            if (isEmpty(f->value))
                return SDPHLP_ERR_INVALID;
            const int32_t pt = static_cast<int32_t>(std::strtol(f->value, nullptr, 10));
            if (rtpmapIn(*map, pt) || SdphlpMediaFindRtpMap(s, m, pt))
                continue;
            const SdpAttrRtpMap* known = rtpmapIn(staticMap, pt);
            if (!known)
                return SDPHLP_ERR_INVALID;
            if ((rc = SdphlpCodecMapAdd(map, known)) != 0)
                return rc;
        }
        for (const SdpAttribute* a = m->attributes; a; a = a->next)
            if (const SdpAttrRtpMap* r = SdpAttributeGetRtpMap(a); r && (rc = SdphlpCodecMapAdd(map, r)) != 0)
                return rc;
    }
    for (const SdpAttribute* a = s->attributes; a; a = a->next)
        if (const SdpAttrRtpMap* r = SdpAttributeGetRtpMap(a); r && (rc = SdphlpCodecMapAdd(map, r)) != 0)
            return rc;
    return 0;
}

int SdphlpCodecMapCheckRtpMapAttributes(const SdpAnnouncement* s, const SdpAttribute* staticMap)
{
    SdpAttribute* scratch = nullptr;
    const int rc = SdphlpCodecMapRegister(&scratch, staticMap, s);
    SdpAttributeDestroy(scratch);
    return rc;
}

void SdphlpCodecMapClear(SdpAttribute** map) { SdpAttributeRemoveAllItems(map); }

int SdphlpCodecMapCopy(SdpAttribute** destination, const SdpAttribute* source)
{
    if (!destination)
        return SDPHLP_ERR_INVALID;
    SdpAttribute* copy = nullptr;
    if (source) {
        const int rc = SdpAttributeClone(&copy, source);
        if (rc != 0)
            return rc;
    }
    SdpAttributeRemoveAllItems(destination);
    *destination = copy;
    return 0;
}

SdpAttrRtpMap* SdphlpCodecMapFind(const SdpAttribute* map, int32_t pt) { return rtpmapIn(map, pt); }

SdpAttrRtpMap* SdphlpCodecMapFindByCodec(const SdpAttribute* map, const SdpAttrRtpMap* codec)
{
    return SdphlpAttributeFindRtpMapByCodec(map, codec);
}

int SdphlpCodecMapRemove(SdpAttribute** map, int32_t pt)
{
    if (!map)
        return 0;
    int removed = 0;
    while (SdpAttribute* a = SdpAttributeFindRtpMapByInt(*map, pt)) {
        SdpAttributeRemoveItem(map, a);
        ++removed;
    }
    return removed;
}

// ---- checks ----

int SdphlpVersionCheck(const SdpAnnouncement* s, int strict) { return verdict(s && (!strict || s->version == 0)); }

int SdphlpOriginCheck(const SdpAnnouncement* s, int strict)
{
    return verdict(s && (!strict || (s->origin && !isEmpty(s->origin->userName) && !isEmpty(s->origin->address))));
}

int SdphlpSessionNameCheck(const SdpAnnouncement* s, int strict) { return verdict(s && (!strict || !isEmpty(s->sessionName))); }

int SdphlpTimeCheck(const SdpAnnouncement* s, int strict) { return verdict(s && (!strict || s->times)); }

int SdphlpConnectionDataCheck(const SdpConnectionData* c, int strict)
{
    if (!c || isEmpty(c->address))
        return SDPHLP_ERR_INVALID;
    return verdict(!strict || (c->networkType == SDP_NET_IN && (c->addressType == SDP_ADDR_IP4 || c->addressType == SDP_ADDR_IP6)));
}

int SdphlpBandwidthCheck(const SdpBandwidth* list)
{
    for (const SdpBandwidth* b = list; b; b = b->next)
        if (b->modifier < SDP_BW_OTHER || b->modifier > SDP_BW_AS)
            return SDPHLP_ERR_INVALID;
    return 0;
}

int SdphlpAttrUnknownCheck(const SdpAttrUnknown* u) { return verdict(u && !isEmpty(u->name)); }

int SdphlpAttrRtpMapCheck(const SdpAttrRtpMap* r)
{
    return verdict(r && r->payloadType >= 0 && r->payloadType <= 127 && !isEmpty(r->encodingName) && r->clockRate > 0 &&
                   (!r->encodingParameters || *r->encodingParameters));
}

int SdphlpAttrFmtpCheck(const SdpAttrFmtp* f) { return verdict(f && !isEmpty(f->format)); }

int SdphlpCheckToolModeAttributes(const SdpAttribute* list)
{
    int32_t mode = 0;
    for (const SdpAttribute* a = list; a; a = a->next) {
        const SdpAttrUnknown* u = SdpAttributeGetUnknown(a);
        const int32_t m = u ? modeOf(u->name) : 0;
        if (m && mode && m != mode)
            return SDPHLP_ERR_INVALID;
        if (m)
            mode = m;
    }
    return 0;
}

int SdphlpAttributeCheck(const SdpAttribute* list, int strict, int rtp)
{
    for (const SdpAttribute* a = list; a; a = a->next) {
        int rc;
        switch (a->kind) {
        case SDP_ATTR_UNKNOWN: rc = SdphlpAttrUnknownCheck(SdpAttributeGetUnknown(a)); break;
        case SDP_ATTR_RTPMAP: rc = SdphlpAttrRtpMapCheck(SdpAttributeGetRtpMap(a)); break;
        case SDP_ATTR_FMTP: rc = SdphlpAttrFmtpCheck(SdpAttributeGetFmtp(a)); break;
        default: rc = SDPHLP_ERR_INVALID; break;
        }
        if (rc != 0)
            return rc;
        if (!strict)
            continue;
        for (const SdpAttribute* b = a->next; b; b = b->next) {
            if (rtp && a->kind == SDP_ATTR_RTPMAP && b->kind == SDP_ATTR_RTPMAP &&
                SdpAttributeGetRtpMap(a)->payloadType == SdpAttributeGetRtpMap(b)->payloadType)
                return SDPHLP_ERR_INVALID;
            if (a->kind == SDP_ATTR_FMTP && b->kind == SDP_ATTR_FMTP &&
                sdp::textEqualI(SdpAttributeGetFmtp(a)->format, SdpAttributeGetFmtp(b)->format))
                return SDPHLP_ERR_INVALID;
        }
    }
    return strict ? SdphlpCheckToolModeAttributes(list) : 0;
}

int SdphlpMediaCheck(const SdpAnnouncement* s, const SdpMedia* m, int strict)
{
    if (!m)
        return SDPHLP_ERR_INVALID;
    if ((m->mediaType < 1 || m->mediaType > 5) && isEmpty(m->mediaText))
        return SDPHLP_ERR_INVALID;
    if ((m->transport < 1 || m->transport > 4) && isEmpty(m->transportText))
        return SDPHLP_ERR_INVALID;
    if (m->numPorts < 0)
        return SDPHLP_ERR_INVALID;
    for (const SdpMediaFormat* f = m->formats; f; f = f->next) {
        if (isEmpty(f->value))
            return SDPHLP_ERR_INVALID;
        if (isRtp(m->transport)) {
            char* end = nullptr;
            const long pt = std::strtol(f->value, &end, 10);
            if (*end != '\0' || end == f->value || pt < 0 || (pt & 0x80))
                return SDPHLP_ERR_INVALID;
        }
    }
    if (!m->formats && m->port != 0)
        return SDPHLP_ERR_INVALID;
    const SdpConnectionData* c = m->connection ? m->connection : (s ? s->connection : nullptr);
    if (c ? SdphlpConnectionDataCheck(c, strict) != 0 : m->port != 0)
        return SDPHLP_ERR_INVALID;
    if (SdphlpBandwidthCheck(m->bandwidths) != 0)
        return SDPHLP_ERR_INVALID;
    return SdphlpAttributeCheck(m->attributes, strict, isRtp(m->transport));
}

int SdphlpCheck(const SdpAnnouncement* s, int strict)
{
    if (!s)
        return SDPHLP_ERR_INVALID;
    int rc = 0;
    if ((rc = SdphlpVersionCheck(s, strict)) != 0 || (rc = SdphlpOriginCheck(s, strict)) != 0 ||
        (rc = SdphlpSessionNameCheck(s, strict)) != 0 || (rc = SdphlpTimeCheck(s, strict)) != 0)
        return rc;
    if (s->connection && (rc = SdphlpConnectionDataCheck(s->connection, strict)) != 0)
        return rc;
    if ((rc = SdphlpBandwidthCheck(s->bandwidths)) != 0 || (rc = SdphlpAttributeCheck(s->attributes, strict, 0)) != 0)
        return rc;
    for (const SdpMedia* m = s->media; m; m = m->next)
        if ((rc = SdphlpMediaCheck(s, m, strict)) != 0)
            return rc;
    return 0;
}
