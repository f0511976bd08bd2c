// Offer/answer negotiation: local offers, remote offers, remote answers and local answers.
#include "SdphlpNego.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "SdpRecords.h"

namespace {

bool isRtp(int32_t transport) { return transport == SDP_TRANSPORT_RTP_AVP || transport == SDP_TRANSPORT_RTP_SAVP; }

struct SdpDeleter {
    void operator()(SdpAnnouncement* s) const { SdpAnnouncementDestroy(s); }
    void operator()(SdpMedia* m) const { SdpMediaDestroy(m); }
    void operator()(SdpAttrFmtp* f) const { SdpAttrFmtpDestroy(f); }
};
using Ann = std::unique_ptr<SdpAnnouncement, SdpDeleter>;
using Media = std::unique_ptr<SdpMedia, SdpDeleter>;
using Fmtp = std::unique_ptr<SdpAttrFmtp, SdpDeleter>;

Ann clone(const SdpAnnouncement* s, int* rc)
{
    SdpAnnouncement* c = nullptr;
    *rc = s ? SdpAnnouncementClone(&c, s) : 0;
    return Ann(c);
}

int32_t ctrl(const int32_t* controls, int32_t type) { return controls ? controls[SdphlpControlIndex(type)] : 0; }

// Removes the session rtpmap and direction attributes.
void stripSessionAttributes(SdpAnnouncement* s)
{
    SdpAnnouncementRemoveAttributesByString(s, "rtpmap");
    SdphlpAttributeRemoveToolMode(&s->attributes);
}

int createInitialCommonSdp(int32_t keepSessionConnection, const SdpAnnouncement* s, Ann* out)
{
    int rc = 0;
    Ann c = clone(s, &rc);
    if (rc != 0)
        return rc;
    SdpAnnouncementRemoveAllMedia(c.get());
    stripSessionAttributes(c.get());
    if (!keepSessionConnection)
        SdpAnnouncementRemoveConnectionData(c.get());
    *out = std::move(c);
    return 0;
}

int toCommonMedia(int32_t keepSessionConnection, const SdpAnnouncement* s, SdpMedia* m)
{
    if (!keepSessionConnection && !m->connection) {
        if (!s->connection)
            return SDPHLP_ERR_INVALID;
        const int rc = SdpConnectionDataClone(&m->connection, s->connection);
        if (rc != 0)
            return rc;
    }
    return SdphlpMediaSetToolMode(m, SdphlpMediaGetToolMode(s, m));
}

int createMediaFromConfig(const SdpAnnouncement* cap, const SdpMedia* capMedia, Media* out)
{
    SdpMedia* m = nullptr;
    int rc = SdpMediaItemClone(&m, capMedia);
    if (rc != 0)
        return rc;
    out->reset(m);
    return SdphlpMediaSetToolMode(m, SdphlpMediaGetToolMode(cap, capMedia));
}

void copyMediaLevelAttributes(SdpMedia* target, const SdpMedia* source, int* rc)
{
    for (const SdpAttribute* a = source->attributes; *rc == 0 && a; a = a->next) {
        const SdpAttrUnknown* u = SdpAttributeGetUnknown(a);
        if (!u ||
            (u->name && (!std::strcmp(u->name, "sendrecv") || !std::strcmp(u->name, "sendonly") ||
                         !std::strcmp(u->name, "recvonly") || !std::strcmp(u->name, "inactive"))))
            continue;
        *rc = SdpMediaAddAttrUnknown(target, u->name, u->value);
    }
}

// A copy of the media without formats, rtpmap and fmtp lines.
int bareCopy(const SdpMedia* m, Media* out)
{
    SdpMedia* c = nullptr;
    const int rc = SdpMediaItemClone(&c, m);
    if (rc != 0)
        return rc;
    SdpMediaRemoveAllFormats(c);
    SdpMediaRemoveAttributesByString(c, "rtpmap");
    SdpMediaRemoveAttributesByString(c, "fmtp");
    out->reset(c);
    return 0;
}

// Adds a format with its codec and fmtp (the rtpmap line only for RTP transports).
int addFormat(SdpMedia* m, const char* format, const SdpAttrRtpMap* codec, const SdpAttrFmtp* fmtp, bool withCodec = true)
{
    if (SdpMediaFormatFindByString(m->formats, format))
        return 0;
    int rc = SdpMediaAddFormat(m, format);
    if (rc == 0 && withCodec && isRtp(m->transport) && codec)
        rc = SdpMediaAddAttrRtpMap(m, codec->payloadType, codec->encodingName, codec->clockRate, codec->encodingParameters);
    if (rc == 0 && fmtp && fmtp->value)
        rc = SdpMediaAddAttrFmtp(m, format, fmtp->value);
    return rc;
}

// One offered format matched to a partner format.
struct Match {
    const char* offerFormat;
    const SdpAttrRtpMap* offerCodec;
    const SdpAttrFmtp* offerFmtp;
    const char* partnerFormat;
    const SdpAttrRtpMap* partnerCodec;
    const SdpAttrFmtp* partnerFmtp;
    bool partnerCodecFromStatic;
};

// Walks the offered formats of O in order and reports each one that finds a partner in P.
template <typename OnMatch>
int matchFormats(const SdpAnnouncement* od, const SdpMedia* o, const SdpAnnouncement* pd, const SdpMedia* p,
                 const SdpAttribute* staticMap, OnMatch onMatch)
{
    for (const SdpMediaFormat* f = o->formats; f; f = f->next) {
        if (!f->value || !*f->value)
            return SDPHLP_ERR_INVALID;
        Match m{};
        m.offerFormat = f->value;
        if (isRtp(o->transport)) {
            const int32_t pt = static_cast<int32_t>(std::strtol(f->value, nullptr, 10));
            m.offerCodec = SdphlpMediaFindRtpMap(od, o, pt);
            if (!m.offerCodec)
                m.offerCodec = SdphlpCodecMapFind(staticMap, pt);
            if (!m.offerCodec)
                continue;
            m.partnerCodec = SdphlpMediaFindRtpMapByCodec(pd, p, m.offerCodec);
            if (!m.partnerCodec) {
                const SdpAttrRtpMap* known = SdphlpCodecMapFind(staticMap, pt);
                if (!known || !SdphlpCompareCodec(known, m.offerCodec))
                    continue;
                m.partnerCodec = known;
                m.partnerCodecFromStatic = true;
            }
            const SdpMediaFormat* pf = SdpMediaFormatFindByInt(p->formats, m.partnerCodec->payloadType);
            if (!pf)
                continue;
            m.partnerFormat = pf->value;
        } else {
            const SdpMediaFormat* pf = SdpMediaFormatFindByString(p->formats, f->value);
            if (!pf)
                continue;
            m.partnerFormat = pf->value;
        }
        m.offerFmtp = SdphlpMediaGetFmtp(o, m.offerFormat);
        m.partnerFmtp = SdphlpMediaGetFmtp(p, m.partnerFormat);
        const int rc = onMatch(m);
        if (rc != 0)
            return rc;
    }
    return 0;
}

SdphlpFormatInfo infoOf(const SdpMedia* offered, const char* format, const SdpAttrRtpMap* codec, const SdpAttrFmtp* fmtp)
{
    SdphlpFormatInfo info{};
    info.mediaType = offered->mediaType;
    info.mediaText = offered->mediaText;
    info.transport = offered->transport;
    info.transportText = offered->transportText;
    info.format = format;
    info.rtpmap = isRtp(offered->transport) ? codec : nullptr;
    info.fmtp = fmtp;
    return info;
}

// Answer direction from the offered (O) and the capability (L) directions.
int32_t answerMode(int32_t o, int32_t l)
{
    switch (o) {
    case SDPHLP_MODE_RECVONLY: return l == SDPHLP_MODE_RECVONLY || l == SDPHLP_MODE_INACTIVE ? SDPHLP_MODE_INACTIVE : SDPHLP_MODE_SENDONLY;
    case SDPHLP_MODE_INACTIVE: return SDPHLP_MODE_INACTIVE;
    case SDPHLP_MODE_SENDONLY: return l == SDPHLP_MODE_SENDONLY || l == SDPHLP_MODE_INACTIVE ? SDPHLP_MODE_INACTIVE : SDPHLP_MODE_RECVONLY;
    default: return l;
    }
}

bool isHoldAddress(const SdpConnectionData* c)
{
    return c && c->networkType == SDP_NET_IN && c->addressType == SDP_ADDR_IP4 && c->address &&
           std::strcmp(c->address, "0.0.0.0") == 0;
}

int setPort0Copy(const SdpMedia* m, SdpAnnouncement* side)
{
    SdpMedia* c = nullptr;
    const int rc = SdpMediaItemClone(&c, m);
    if (rc != 0)
        return rc;
    c->port = 0;
    return SdpAnnouncementAddMedia(side, c);
}

}  // namespace

int32_t SdphlpGetOfferToolMode(const SdpAnnouncement* offer, const SdpMedia* offerMedia, const SdpAnnouncement* answer,
                               const SdpMedia* answerMedia)
{
    const int32_t o = SdphlpMediaGetToolMode(offer, offerMedia);
    const int32_t a = answer ? SdphlpMediaGetToolMode(answer, answerMedia) : SdphlpMediaGetToolMode(nullptr, answerMedia);
    switch (a) {
    case SDPHLP_MODE_RECVONLY:
        return o == SDPHLP_MODE_RECVONLY ? SDPHLP_MODE_INACTIVE : (o <= SDPHLP_MODE_SENDRECV ? SDPHLP_MODE_SENDONLY : o);
    case SDPHLP_MODE_INACTIVE:
        return SDPHLP_MODE_INACTIVE;
    case SDPHLP_MODE_SENDONLY:
        return o == SDPHLP_MODE_SENDONLY ? SDPHLP_MODE_INACTIVE : (o <= SDPHLP_MODE_SENDRECV ? SDPHLP_MODE_RECVONLY : o);
    default:
        return o;
    }
}

void SdphlpNegoClear(SdphlpNego* n)
{
    if (!n)
        return;
    SdpAnnouncementDestroy(n->offer);
    SdpAnnouncementDestroy(n->answer);
    SdpAnnouncementDestroy(n->negotiatedOffer);
    SdpAnnouncementDestroy(n->negotiatedAnswer);
    *n = SdphlpNego{};
}

int SdphlpNegoCopy(SdphlpNego* d, const SdphlpNego* s)
{
    if (!d || !s)
        return SDPHLP_ERR_INVALID;
    SdphlpNegoClear(d);
    int rc = 0;
    Ann offer = clone(s->offer, &rc);
    Ann answer = rc == 0 ? clone(s->answer, &rc) : Ann();
    Ann no = rc == 0 ? clone(s->negotiatedOffer, &rc) : Ann();
    Ann na = rc == 0 ? clone(s->negotiatedAnswer, &rc) : Ann();
    if (rc != 0)
        return rc;
    d->role = s->role;
    d->offer = offer.release();
    d->answer = answer.release();
    d->negotiatedOffer = no.release();
    d->negotiatedAnswer = na.release();
    return 0;
}

int SdphlpNegoSetAgentType(SdphlpNego* n, int32_t role)
{
    if (!n || (role != 1 && role != 2))
        return SDPHLP_ERR_INVALID;
    if (n->role != 0)
        return SDPHLP_ERR_WRONG_STATE;
    SdphlpNegoClear(n);
    n->role = role;
    return 0;
}

int SdphlpNegoCreateOffer(SdphlpNego* n, const SdpAnnouncement* previousLocal, const SdpAnnouncement* capability,
                          int increment)
{
    if (!n)
        return SDPHLP_ERR_INVALID;
    if (n->role == 2 || n->answer)
        return SDPHLP_ERR_WRONG_STATE;
    int rc = 0;
    Ann offer;
    if (capability) {
        offer = clone(capability, &rc);
        if (rc != 0)
            return rc;
        SdpAnnouncementRemoveAllMedia(offer.get());
        if (previousLocal && previousLocal->origin) {
            SdpOrigin* o = nullptr;
            if ((rc = SdpOriginClone(&o, previousLocal->origin)) != 0)
                return rc;
            ++o->version;
            SdpAnnouncementSetOrigin(offer.get(), o);
        } else {
            SdphlpOriginResetSessionId(offer->origin);
        }
        int count = 0;
        for (const SdpMedia* m = capability->media; m; m = m->next, ++count) {
            Media copy;
            if ((rc = createMediaFromConfig(capability, m, &copy)) != 0)
                return rc;
            SdpAnnouncementAddMedia(offer.get(), copy.release());
        }
        // The offer never has fewer m= lines than the one before it.
        int index = 0;
        for (const SdpMedia* m = previousLocal ? previousLocal->media : nullptr; m; m = m->next, ++index)
            if (index >= count && (rc = setPort0Copy(m, offer.get())) != 0)
                return rc;
        SdphlpAttributeRemoveToolMode(&offer->attributes);
    } else {
        if (!previousLocal)
            return SDPHLP_ERR_INVALID;
        offer = clone(previousLocal, &rc);
        if (rc != 0)
            return rc;
        if (increment && offer->origin)
            ++offer->origin->version;
    }
    SdpAnnouncementDestroy(n->offer);
    n->offer = offer.release();
    n->role = 1;
    return 0;
}

int SdphlpNegoSetOffer(SdphlpNego* n, const SdpAnnouncement* offer)
{
    if (!n || !offer)
        return SDPHLP_ERR_INVALID;
    if (n->role == 1 || n->offer || n->answer)
        return SDPHLP_ERR_WRONG_STATE;
    int rc = SdphlpCheck(offer, 0);
    if (rc != 0)
        return rc;
    Ann copy = clone(offer, &rc);
    if (rc != 0)
        return rc;
    n->offer = copy.release();
    n->role = 2;
    return 0;
}

int SdphlpNegoSetAnswer(const int32_t* controls, SdphlpNego* n, const SdpAnnouncement* answer,
                        const SdpAttribute* staticMap, SdphlpFmtpCheck check, void* user)
{
    if (!n || !answer)
        return SDPHLP_ERR_INVALID;
    if (n->role != 1 || !n->offer || n->answer)
        return SDPHLP_ERR_WRONG_STATE;
    int rc = SdphlpCheck(answer, 0);
    if (rc != 0)
        return rc;
    const SdpAnnouncement* offer = n->offer;
    const int32_t keep = ctrl(controls, SDPHLP_CTRL_KEEP_SESSION_CONNECTION);

    // Pair every offered media with the first remaining answer media of its kind.
    Ann work = clone(answer, &rc);
    if (rc != 0)
        return rc;
    Media remaining(work->media);
    work->media = nullptr;
    bool inOrder = true;
    for (const SdpMedia* om = offer->media; om; om = om->next) {
        SdpMedia* found = nullptr;
        for (SdpMedia* am = remaining.get(); am; am = am->next)
            if (SdphlpMediaCompareMediaType(om, am) && SdphlpMediaCompareMediaTransport(om, am)) {
                found = am;
                break;
            }
        if (found) {
            inOrder = inOrder && found == remaining.get();
            SdpMedia* head = remaining.release();
            sdp::unlink(&head, found);
            remaining.reset(head);
        } else {
            inOrder = false;
            if ((rc = SdpMediaCreate(&found, om->mediaType, om->mediaText, 0, 0, om->transport, om->transportText)) != 0)
                return rc;
        }
        sdp::append(&work->media, found);
    }
    remaining.reset();

    Ann no, na;
    if ((rc = createInitialCommonSdp(keep, offer, &no)) != 0 || (rc = createInitialCommonSdp(keep, work.get(), &na)) != 0)
        return rc;
    const SdpMedia* am = work->media;
    for (const SdpMedia* om = offer->media; om; om = om->next, am = am->next) {
        if (om->port == 0 || am->port == 0) {
            if ((rc = setPort0Copy(om, no.get())) != 0 || (rc = setPort0Copy(am, na.get())) != 0)
                return rc;
            continue;
        }
        Media oc, ac;
        if ((rc = bareCopy(om, &oc)) != 0 || (rc = bareCopy(am, &ac)) != 0)
            return rc;
        int matched = 0;
        rc = matchFormats(offer, om, work.get(), am, staticMap, [&](const Match& m) {
            SdpAttrFmtp* given = nullptr;
            if (check) {
                int accept = 0;
                const SdphlpFormatInfo oi = infoOf(om, m.offerFormat, m.offerCodec, m.offerFmtp);
                const SdphlpFormatInfo ai = infoOf(om, m.partnerFormat, m.partnerCodec, m.partnerFmtp);
                const int r = check(&oi, &ai, &accept, &given, user);
                Fmtp owned(given);
                if (r < 0)
                    return r;
                if (!accept)
                    return 0;
                given = owned.release();
            }
            Fmtp owned(given);
            int r = addFormat(oc.get(), m.offerFormat, m.offerCodec, given ? given : m.offerFmtp);
            if (r == 0)
                r = addFormat(ac.get(), m.partnerFormat, m.partnerCodec, given ? given : m.partnerFmtp);
            matched += r == 0;
            return r;
        });
        if (rc != 0)
            return rc;
        if (!matched)
            return SDPHLP_ERR_INVALID;
        if ((rc = SdphlpMediaSetToolMode(oc.get(), SdphlpGetOfferToolMode(offer, om, work.get(), am))) != 0 ||
            (rc = toCommonMedia(keep, offer, oc.get())) != 0 || (rc = toCommonMedia(keep, work.get(), ac.get())) != 0)
            return rc;
        SdpAnnouncementAddMedia(no.get(), oc.release());
        SdpAnnouncementAddMedia(na.get(), ac.release());
    }
    Ann received = clone(answer, &rc);
    if (rc != 0)
        return rc;
    n->answer = received.release();
    n->negotiatedOffer = no.release();
    n->negotiatedAnswer = na.release();
    return inOrder ? 0 : SDPHLP_ANSWER_REORDERED;
}

int SdphlpNegoCreateAnswer(SdphlpNego* n, const int32_t* controls, const SdpAnnouncement* capability,
                           int capabilityChanged, int increment, const SdpAnnouncement* previousLocal,
                           const SdpAnnouncement* previousRemote, const SdpAnnouncement* previousNegotiatedLocal,
                           const SdpAnnouncement* previousNegotiatedRemote, const SdpAttribute* staticMap,
                           SdphlpFmtpNegotiate negotiate, void* user)
{
    if (!n)
        return SDPHLP_ERR_INVALID;
    if (n->role != 2 || !n->offer || n->answer)
        return SDPHLP_ERR_WRONG_STATE;
    if (!capability)
        return SDPHLP_ERR_INVALID;
    SdpAnnouncement* offer = n->offer;
    const int32_t keep = ctrl(controls, SDPHLP_CTRL_KEEP_SESSION_CONNECTION);
    int rc = 0;

    // A repeated offer is answered as before.
    if (!capabilityChanged && previousRemote && previousLocal && SdpAnnouncementIsEqual(offer, previousRemote)) {
        Ann a = clone(previousLocal, &rc);
        Ann na = rc == 0 ? clone(previousNegotiatedLocal, &rc) : Ann();
        Ann no = rc == 0 ? clone(previousNegotiatedRemote, &rc) : Ann();
        if (rc != 0)
            return rc;
        if (increment) {
            if (a->origin)
                ++a->origin->version;
            if (na && na->origin)
                ++na->origin->version;
        }
        n->answer = a.release();
        n->negotiatedAnswer = na.release();
        n->negotiatedOffer = no.release();
        return 0;
    }

    Ann work = clone(capability, &rc);
    Ann answer = rc == 0 ? clone(capability, &rc) : Ann();
    if (rc != 0)
        return rc;
    if (previousLocal && previousLocal->origin) {
        SdpOrigin* o = nullptr;
        if ((rc = SdpOriginClone(&o, previousLocal->origin)) != 0)
            return rc;
        ++o->version;
        SdpAnnouncementSetOrigin(answer.get(), o);
    } else {
        SdphlpOriginResetSessionId(answer->origin);
    }
    SdpAnnouncementRemoveAllMedia(answer.get());
    stripSessionAttributes(answer.get());
    if (!offer->times && (rc = SdphlpSetTime(offer, 0, 0)) != 0)
        return rc;
    Ann no, na;
    if ((rc = createInitialCommonSdp(keep, offer, &no)) != 0 || (rc = createInitialCommonSdp(keep, answer.get(), &na)) != 0)
        return rc;

    for (const SdpMedia* m = offer->media; m; m = m->next) {
        Media r;
        {
            SdpMedia* created = nullptr;
            if ((rc = SdpMediaCreate(&created, m->mediaType, m->mediaText, 0, m->numPorts, m->transport, m->transportText)) != 0)
                return rc;
            r.reset(created);
        }
        Media noMedia, naMedia;
        bool accepted = false;
        if (m->port != 0) {
            const SdpConnectionData* mc = SdphlpMediaGetConnectionData(offer, m);
            if (!mc)
                return SDPHLP_ERR_INVALID;
            for (SdpMedia* c = work->media; c && !accepted; c = c->next) {
                if (c->port == 0 || !SdphlpMediaCompareMediaType(m, c) || !SdphlpMediaCompareMediaTransport(m, c) ||
                    !SdphlpMediaCompareNumOfPorts(m, c))
                    continue;
                const SdpConnectionData* cc = SdphlpMediaGetConnectionData(work.get(), c);
                if (!cc || !mc->address || !*mc->address)
                    return SDPHLP_ERR_INVALID;
                if (cc->networkType != mc->networkType || cc->addressType != mc->addressType)
                    continue;
                if ((rc = bareCopy(m, &noMedia)) != 0)
                    return rc;
                {
                    SdpMedia* copy = nullptr;
                    if ((rc = SdpMediaItemClone(&copy, r.get())) != 0)
                        return rc;
                    naMedia.reset(copy);
                }
                rc = matchFormats(offer, m, work.get(), c, staticMap, [&](const Match& x) {
                    SdpAttrFmtp* answerFmtp = nullptr;
                    SdpAttrFmtp* negotiatedFmtp = nullptr;
                    if (negotiate) {
                        int accept = 0;
                        const SdphlpFormatInfo oi = infoOf(m, x.offerFormat, x.offerCodec, x.offerFmtp);
                        const SdphlpFormatInfo ai = infoOf(m, x.partnerFormat, x.partnerCodec, x.partnerFmtp);
                        const int v = negotiate(&oi, &ai, &accept, &answerFmtp, &negotiatedFmtp, user);
                        Fmtp a1(answerFmtp), a2(negotiatedFmtp);
                        if (v < 0)
                            return v;
                        if (!accept)
                            return 0;
                        answerFmtp = a1.release();
                        negotiatedFmtp = a2.release();
                    }
                    Fmtp ownedAnswer(answerFmtp), ownedNegotiated(negotiatedFmtp);
                    const SdpAttrFmtp* forAnswer = answerFmtp ? answerFmtp : x.partnerFmtp;
                    int v = addFormat(r.get(), x.partnerFormat, x.partnerCodec, x.partnerCodecFromStatic ? nullptr : forAnswer,
                                      !x.partnerCodecFromStatic);
                    if (v == 0)
                        v = addFormat(naMedia.get(), x.partnerFormat, x.partnerCodec, negotiatedFmtp ? negotiatedFmtp : forAnswer);
                    if (v == 0)
                        v = addFormat(noMedia.get(), x.offerFormat, x.offerCodec, negotiatedFmtp ? negotiatedFmtp : x.offerFmtp);
                    return v;
                });
                if (rc != 0)
                    return rc;
                if (!r->formats)
                    continue;  // this capability media shares nothing: try the next
                accepted = true;
                r->port = c->port;
                naMedia->port = c->port;
                if (c->bandwidths) {
                    SdpMediaRemoveAllBandwidths(r.get());
                    SdpMediaRemoveAllBandwidths(naMedia.get());
                    if ((rc = SdpBandwidthClone(&r->bandwidths, c->bandwidths)) != 0 ||
                        (rc = SdpBandwidthClone(&naMedia->bandwidths, c->bandwidths)) != 0)
                        return rc;
                }
                SdpMediaRemoveConnectionData(naMedia.get());
                if ((rc = SdpConnectionDataClone(&naMedia->connection, cc)) != 0)
                    return rc;
                if (ctrl(controls, SDPHLP_CTRL_ANSWER_OWN_CONNECTION) || c->connection) {
                    SdpMediaRemoveConnectionData(r.get());
                    if ((rc = SdpConnectionDataClone(&r->connection, cc)) != 0)
                        return rc;
                }
                if (isHoldAddress(mc)) {
                    rc = SdphlpMediaSetToolMode(r.get(), SDPHLP_MODE_INACTIVE);
                    if (rc == 0)
                        rc = SdphlpMediaSetToolMode(naMedia.get(), SDPHLP_MODE_INACTIVE);
                } else {
                    const int32_t mode = answerMode(SdphlpMediaGetToolMode(offer, m), SdphlpMediaGetToolMode(work.get(), c));
                    rc = SdphlpMediaSetToolMode(r.get(), mode);
                    if (rc == 0)
                        rc = SdphlpMediaSetToolMode(noMedia.get(), SdphlpGetOfferToolMode(offer, m, nullptr, r.get()));
                    if (rc == 0)
                        rc = SdphlpMediaSetToolMode(naMedia.get(), mode);
                }
                if (rc != 0)
                    return rc;
                copyMediaLevelAttributes(r.get(), c, &rc);
                copyMediaLevelAttributes(naMedia.get(), c, &rc);
                if (rc != 0)
                    return rc;
                // A capability media answers at most one offered media.
                SdpMediaListRemoveItem(&work->media, c);
                if ((rc = toCommonMedia(keep, offer, noMedia.get())) != 0 || (rc = toCommonMedia(keep, work.get(), naMedia.get())) != 0)
                    return rc;
                break;
            }
        }
        if (!accepted) {
            SdphlpMediaEmpty(r.get());
            r->port = 0;
            if (m->formats && m->formats->value)
                rc = SdpMediaAddFormat(r.get(), m->formats->value);
            else if (!ctrl(controls, SDPHLP_CTRL_NO_PLACEHOLDER_FORMAT))
                rc = SdpMediaAddFormat(r.get(), "127");
            if (rc != 0)
                return rc;
            SdpMedia* copy = nullptr;
            if ((rc = SdpMediaItemClone(&copy, m)) != 0)
                return rc;
            copy->port = 0;
            noMedia.reset(copy);
            if ((rc = SdpMediaItemClone(&copy, r.get())) != 0)
                return rc;
            naMedia.reset(copy);
        }
        SdpAnnouncementAddMedia(answer.get(), r.release());
        SdpAnnouncementAddMedia(no.get(), noMedia.release());
        SdpAnnouncementAddMedia(na.get(), naMedia.release());
    }
    n->answer = answer.release();
    n->negotiatedOffer = no.release();
    n->negotiatedAnswer = na.release();
    return 0;
}
