// Offer/answer sessions: module state, the static codec map and the session operations.
#include <cstring>
#include <mutex>

#include "SLMem.h"
#include "SdpRecords.h"
#include "SdphlpNego.h"

struct SdphlpSession {
    SdphlpSession* next;
    SdphlpSession* prev;
    SdphlpSession* handle;
    SdphlpFmtpCheck check;
    SdphlpFmtpNegotiate negotiate;
    void* user;
    SdpAnnouncement* capability;
    int32_t capabilityChanged;
    int32_t lastRole;
    SdphlpNego nego;
    int32_t controls[7];
    SdpAttribute* localMap;
    // Local and remote as exchanged, local and remote negotiated.
    SdpAnnouncement* current[4];
    SdpAnnouncement* previous[4];
};

namespace {

enum { LOCAL = 0, REMOTE = 1, NEGOTIATED_LOCAL = 2, NEGOTIATED_REMOTE = 3 };

struct Module {
    bool initialized = false;
    SdphlpSession* first = nullptr;  // circular, in creation order
    SFMemMemoryList entries{};
    SdpAttribute* staticMap = nullptr;
    int32_t defaults[7] = {};
};

std::mutex g_mutex;  // guards the module state and every session
Module g_module;

struct StaticEntry {
    int32_t pt;
    const char* name;
    int32_t clock;
    const char* parameters;
};

// The static payload types of RFC 3551.
const StaticEntry kStatic[] = {
    {0, "PCMU", 8000, "1"},    {3, "GSM", 8000, "1"},     {4, "G723", 8000, "1"},    {5, "DVI4", 8000, "1"},
    {6, "DVI4", 16000, "1"},   {7, "LPC", 8000, "1"},     {8, "PCMA", 8000, "1"},    {9, "G722", 8000, "1"},
    {10, "L16", 44100, "2"},   {11, "L16", 44100, "1"},   {12, "QCELP", 8000, "1"},  {13, "CN", 8000, "1"},
    {14, "MPA", 90000, "1"},   {15, "G728", 8000, "1"},   {16, "DVI4", 11025, "1"},  {17, "DVI4", 22050, "1"},
    {18, "G729", 8000, "1"},   {25, "CelB", 90000, nullptr}, {26, "JPEG", 90000, nullptr}, {28, "nv", 90000, nullptr},
    {31, "H261", 90000, nullptr}, {32, "MPV", 90000, nullptr}, {33, "MP2T", 90000, nullptr}, {34, "H263", 90000, nullptr},
};

SdphlpSession* find(SdphlpHandle handle)
{
    if (!handle || !g_module.first)
        return nullptr;
    SdphlpSession* s = g_module.first;
    do {
        if (s == handle)
            return s;
        s = s->next;
    } while (s != g_module.first);
    return nullptr;
}

void destroySessionInfo(SdphlpSession* s)
{
    SdpAnnouncementDestroy(s->capability);
    SdphlpNegoClear(&s->nego);
    SdpAttributeDestroy(s->localMap);
    for (int i = 0; i < 4; ++i) {
        SdpAnnouncementDestroy(s->current[i]);
        SdpAnnouncementDestroy(s->previous[i]);
    }
}

SdphlpSession* createEntry()
{
    auto* s = static_cast<SdphlpSession*>(SLMemAllocateFromMemoryList(&g_module.entries));
    if (!s)
        return nullptr;
    std::memset(s, 0, sizeof *s);
    s->handle = s;
    std::memcpy(s->controls, g_module.defaults, sizeof s->controls);
    if (!g_module.first) {
        s->next = s->prev = s;
        g_module.first = s;
    } else {
        SdphlpSession* last = g_module.first->prev;
        s->prev = last;
        s->next = g_module.first;
        last->next = s;
        g_module.first->prev = s;
    }
    return s;
}

void deleteEntry(SdphlpSession* s)
{
    destroySessionInfo(s);
    if (s->next == s) {
        g_module.first = nullptr;
    } else {
        s->prev->next = s->next;
        s->next->prev = s->prev;
        if (g_module.first == s)
            g_module.first = s->next;
    }
    SLMemFreeToMemoryList(&g_module.entries, s);
}

void freeResources()
{
    while (g_module.first)
        deleteEntry(g_module.first);
    SLMemDeleteMemoryList(&g_module.entries);
    SdpAttributeDestroy(g_module.staticMap);
    g_module.staticMap = nullptr;
}

int copyOut(SdpAnnouncement** out, const SdpAnnouncement* s)
{
    if (!out)
        return 0;
    *out = nullptr;
    return s ? SdpAnnouncementClone(out, s) : 0;
}

// Runs `body` on the session under the module lock.
template <typename Body>
int withSession(SdphlpHandle handle, Body body)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_module.initialized)
        return SDPHLP_ERR_NOT_INITIALIZED;
    SdphlpSession* s = find(handle);
    if (!s)
        return SDPHLP_ERR_INVALID;
    return body(s);
}

void applyPort0(SdpAnnouncement* sdp, const int32_t* controls, int32_t dropControl)
{
    if (controls[SdphlpControlIndex(dropControl)])
        SdphlpDeleteMediaWithPortZero(sdp);
    else if (controls[SdphlpControlIndex(SDPHLP_CTRL_PORT0_MLINE_ONLY)])
        SdphlpMediaWithPortZeroMlineOnly(sdp);
}

}  // namespace

int SdphlpInitialize(uint32_t sessionsPerBlock)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_module.initialized)
        return SDPHLP_ERR_ALREADY_INITIALIZED;
    g_module = Module{};
    if (SLMemInitializeMemoryList(&g_module.entries, sizeof(SdphlpSession), sessionsPerBlock ? sessionsPerBlock : 8) != 0)
        return SDPHLP_ERR_NO_MEMORY;
    for (const StaticEntry& e : kStatic) {
        SdpAttrRtpMap* r = nullptr;
        int rc = SdpAttrRtpMapCreate(&r, e.pt, e.name, e.clock, e.parameters);
        if (rc == 0 && (rc = SdpAttributeAddRtpMap(&g_module.staticMap, r)) != 0)
            SdpAttrRtpMapDestroy(r);
        if (rc != 0) {
            freeResources();
            return rc;
        }
    }
    g_module.initialized = true;
    return 0;
}

int SdphlpCleanup(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_module.initialized)
        return SDPHLP_ERR_NOT_INITIALIZED;
    freeResources();
    g_module = Module{};
    return 0;
}

void SdphlpSetOption(void*, uint32_t options)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_module.defaults[SdphlpControlIndex(SDPHLP_CTRL_ANSWER_OWN_CONNECTION)] = options & 1;
}

int SdphlpGetStaticCodecMap(SdpAttribute** out)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_module.initialized)
        return SDPHLP_ERR_NOT_INITIALIZED;
    return g_module.staticMap ? SdpAttributeClone(out, g_module.staticMap) : 0;
}

int SdphlpSetStaticCodecMap(const SdpAttribute* list)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_module.initialized)
        return SDPHLP_ERR_NOT_INITIALIZED;
    for (const SdpAttribute* a = list; a; a = a->next) {
        const SdpAttrRtpMap* r = SdpAttributeGetRtpMap(a);
        if (!r || r->payloadType < 0 || r->payloadType > 127 || !r->encodingName || r->clockRate <= 0)
            return SDPHLP_ERR_INVALID;
    }
    for (const SdpAttribute* a = list; a; a = a->next) {
        const int rc = SdphlpCodecMapAdd(&g_module.staticMap, SdpAttributeGetRtpMap(a));
        if (rc != 0) {
            SdphlpCodecMapClear(&g_module.staticMap);
            return rc;
        }
    }
    return 0;
}

int SdphlpCreateSession(SdphlpHandle* out, const SdphlpCallbacks* callbacks, void* user)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_module.initialized)
        return SDPHLP_ERR_NOT_INITIALIZED;
    SdphlpSession* s = createEntry();
    if (!s)
        return SDPHLP_ERR_NO_MEMORY;
    if (callbacks) {
        s->check = callbacks->check;
        s->negotiate = callbacks->negotiate;
    }
    s->user = user;
    *out = s->handle;
    return 0;
}

int SdphlpDeleteSession(SdphlpHandle session)
{
    return withSession(session, [](SdphlpSession* s) {
        deleteEntry(s);
        return 0;
    });
}

int SdphlpCloneSession(SdphlpHandle* out, SdphlpHandle session)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    return withSession(session, [out](SdphlpSession* src) {
        SdphlpSession* s = createEntry();
        if (!s)
            return SDPHLP_ERR_NO_MEMORY;
        s->check = src->check;
        s->negotiate = src->negotiate;
        s->user = src->user;
        std::memcpy(s->controls, src->controls, sizeof s->controls);
        int rc = copyOut(&s->capability, src->capability);
        for (int i = 0; rc == 0 && i < 4; ++i)
            if ((rc = copyOut(&s->current[i], src->current[i])) == 0)
                rc = copyOut(&s->previous[i], src->previous[i]);
        if (rc == 0 && src->localMap)
            rc = SdpAttributeClone(&s->localMap, src->localMap);
        if (rc == 0)
            rc = SdphlpNegoCopy(&s->nego, &src->nego);
        if (rc != 0) {
            deleteEntry(s);
            return rc;
        }
        *out = s->handle;
        return 0;
    });
}

int SdphlpControl(SdphlpHandle session, int32_t type, const void* value, uint32_t size)
{
    if (type < 1000 || type > 1006)
        return SDPHLP_ERR_INVALID;
    if (value && size < 4)
        return SDPHLP_ERR_TOO_SMALL;
    int32_t v = 0;
    if (value)
        std::memcpy(&v, value, sizeof v);
    if (!session) {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_module.initialized)
            return SDPHLP_ERR_NOT_INITIALIZED;
        g_module.defaults[SdphlpControlIndex(type)] = v;
        return 0;
    }
    return withSession(session, [type, v](SdphlpSession* s) {
        s->controls[SdphlpControlIndex(type)] = v;
        return 0;
    });
}

int SdphlpSetAgentType(SdphlpHandle session, int32_t role)
{
    return withSession(session, [role](SdphlpSession* s) { return SdphlpNegoSetAgentType(&s->nego, role); });
}

int SdphlpSetCapabilityConfig(SdphlpHandle session, const SdpAnnouncement* sdp)
{
    if (!sdp)
        return SDPHLP_ERR_INVALID;
    {
        // Checked against the static map before the session is looked up.
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_module.initialized)
            return SDPHLP_ERR_NOT_INITIALIZED;
        int rc = SdphlpCheck(sdp, 1);
        if (rc == 0)
            rc = SdphlpCodecMapCheckRtpMapAttributes(sdp, g_module.staticMap);
        if (rc != 0)
            return rc;
    }
    return withSession(session, [sdp](SdphlpSession* s) {
        // The local map only grows: work on a copy so a refused capability changes nothing.
        SdpAttribute* map = nullptr;
        int rc = s->localMap ? SdpAttributeClone(&map, s->localMap) : 0;
        if (rc == 0)
            rc = SdphlpCodecMapRegister(&map, g_module.staticMap, sdp);
        SdpAnnouncement* copy = nullptr;
        if (rc == 0)
            rc = SdpAnnouncementClone(&copy, sdp);
        if (rc != 0) {
            SdpAttributeDestroy(map);
            return rc == SDP_ERR_NO_MEMORY ? rc : SDPHLP_ERR_INVALID;
        }
        SdpAttributeDestroy(s->localMap);
        s->localMap = map;
        SdpAnnouncementDestroy(s->capability);
        s->capability = copy;
        s->capabilityChanged = 1;
        return 0;
    });
}

int SdphlpGetCapabilityConfig(SdphlpHandle session, SdpAnnouncement** out)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    return withSession(session, [out](SdphlpSession* s) { return copyOut(out, s->capability); });
}

int SdphlpCreateCapability(SdpAnnouncement** out, const SdpAnnouncement* sdp)
{
    if (!out || !sdp)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    int rc = SdphlpCheck(sdp, 1);
    if (rc == 0)
        rc = SdphlpCodecMapCheckRtpMapAttributes(sdp, nullptr);
    if (rc != 0)
        return rc;
    SdpAnnouncement* copy = nullptr;
    if ((rc = SdpAnnouncementClone(&copy, sdp)) != 0)
        return rc;
    SdphlpOriginResetSessionId(copy->origin);
    if ((rc = SdphlpSetTime(copy, 0, 0)) != 0) {
        SdpAnnouncementDestroy(copy);
        return rc;
    }
    for (SdpMedia* m = copy->media; m; m = m->next)
        m->port = 0;
    *out = copy;
    return 0;
}

int SdphlpGetLocalCodecMap(SdphlpHandle session, SdpAttribute** out)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    return withSession(session, [out](SdphlpSession* s) { return s->localMap ? SdpAttributeClone(out, s->localMap) : 0; });
}

int SdphlpCreateOffer(SdphlpHandle session, int increment)
{
    return withSession(session, [increment](SdphlpSession* s) {
        const int rc = SdphlpNegoCreateOffer(&s->nego, s->current[LOCAL], s->capabilityChanged ? s->capability : nullptr,
                                             increment);
        if (rc == 0)
            applyPort0(s->nego.offer, s->controls, SDPHLP_CTRL_OFFER_DROP_PORT0);
        return rc;
    });
}

int SdphlpSetOffer(SdphlpHandle session, const SdpAnnouncement* offer)
{
    return withSession(session, [offer](SdphlpSession* s) { return SdphlpNegoSetOffer(&s->nego, offer); });
}

int SdphlpSetAnswer(SdphlpHandle session, const SdpAnnouncement* answer)
{
    return withSession(session, [answer](SdphlpSession* s) {
        return SdphlpNegoSetAnswer(s->controls, &s->nego, answer, g_module.staticMap, s->check, s->user);
    });
}

int SdphlpCreateAnswer(SdphlpHandle session, int increment)
{
    return withSession(session, [increment](SdphlpSession* s) {
        return SdphlpNegoCreateAnswer(&s->nego, s->controls, s->capability, s->capabilityChanged, increment,
                                      s->current[LOCAL], s->current[REMOTE], s->current[NEGOTIATED_LOCAL],
                                      s->current[NEGOTIATED_REMOTE], g_module.staticMap, s->negotiate, s->user);
    });
}

int SdphlpUpdateSession(SdphlpHandle session, int commit)
{
    return withSession(session, [commit](SdphlpSession* s) {
        SdphlpNego& n = s->nego;
        if (!commit) {
            SdphlpNegoClear(&n);
            return 0;
        }
        s->capabilityChanged = 0;
        if ((n.role != 1 && n.role != 2) || !n.offer || !n.answer || !n.negotiatedOffer || !n.negotiatedAnswer)
            return SDPHLP_ERR_WRONG_STATE;
        for (int i = 0; i < 4; ++i) {
            SdpAnnouncementDestroy(s->previous[i]);
            s->previous[i] = s->current[i];
            s->current[i] = nullptr;
        }
        s->lastRole = n.role;
        if (n.role == 1) {
            if (s->controls[SdphlpControlIndex(SDPHLP_CTRL_KEEP_NEGOTIATED_OFFER)]) {
                SdpAnnouncement* copy = nullptr;
                if (SdpAnnouncementClone(&copy, n.negotiatedOffer) == 0) {
                    SdpAnnouncementDestroy(n.offer);
                    n.offer = copy;
                }
            }
            s->current[LOCAL] = n.offer;
            s->current[REMOTE] = n.answer;
            s->current[NEGOTIATED_LOCAL] = n.negotiatedOffer;
            s->current[NEGOTIATED_REMOTE] = n.negotiatedAnswer;
        } else {
            s->current[LOCAL] = n.answer;
            s->current[REMOTE] = n.offer;
            s->current[NEGOTIATED_LOCAL] = n.negotiatedAnswer;
            s->current[NEGOTIATED_REMOTE] = n.negotiatedOffer;
        }
        n = SdphlpNego{};  // handed over, not destroyed
        return 0;
    });
}

int SdphlpGetCurrentSdp2(SdphlpHandle session, int which, SdpAnnouncement** local, SdpAnnouncement** remote,
                         SdpAnnouncement** previousLocal, SdpAnnouncement** previousRemote, int* localOffer)
{
    for (SdpAnnouncement** out : {local, remote, previousLocal, previousRemote})
        if (out)
            *out = nullptr;
    return withSession(session, [=](SdphlpSession* s) {
        const int base = which == 0 ? LOCAL : NEGOTIATED_LOCAL;
        int rc = copyOut(local, s->current[base]);
        if (rc == 0)
            rc = copyOut(remote, s->current[base + 1]);
        if (rc == 0)
            rc = copyOut(previousLocal, s->previous[base]);
        if (rc == 0)
            rc = copyOut(previousRemote, s->previous[base + 1]);
        if (localOffer)
            *localOffer = s->lastRole == 1 ? 1 : 0;
        if (rc != 0)
            for (SdpAnnouncement** out : {local, remote, previousLocal, previousRemote})
                if (out) {
                    SdpAnnouncementDestroy(*out);
                    *out = nullptr;
                }
        return rc;
    });
}

int SdphlpGetCurrentSdp(SdphlpHandle session, int which, SdpAnnouncement** local, SdpAnnouncement** remote,
                        SdpAnnouncement** previousLocal, SdpAnnouncement** previousRemote)
{
    return SdphlpGetCurrentSdp2(session, which, local, remote, previousLocal, previousRemote, nullptr);
}

int SdphlpGetNegotiationState(SdphlpHandle session, int32_t* state)
{
    if (!state)
        return SDPHLP_ERR_INVALID;
    return withSession(session, [state](SdphlpSession* s) {
        const SdphlpNego& n = s->nego;
        if (n.role == 1)
            *state = !n.offer ? SDPHLP_STATE_OFFERER : !n.answer ? SDPHLP_STATE_OFFER_MADE : SDPHLP_STATE_ANSWER_RECEIVED;
        else if (n.role == 2)
            *state = !n.offer ? SDPHLP_STATE_ANSWERER : !n.answer ? SDPHLP_STATE_OFFER_RECEIVED : SDPHLP_STATE_ANSWER_MADE;
        else
            *state = SDPHLP_STATE_IDLE;
        return 0;
    });
}

int SdphlpGetOffer(SdphlpHandle session, SdpAnnouncement** out)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    return withSession(session, [out](SdphlpSession* s) { return copyOut(out, s->nego.offer); });
}

int SdphlpGetAnswer(SdphlpHandle session, SdpAnnouncement** out)
{
    if (!out)
        return SDPHLP_ERR_INVALID;
    *out = nullptr;
    return withSession(session, [out](SdphlpSession* s) {
        const int rc = copyOut(out, s->nego.answer);
        if (rc == 0 && *out)
            applyPort0(*out, s->controls, SDPHLP_CTRL_ANSWER_DROP_PORT0);
        return rc;
    });
}
