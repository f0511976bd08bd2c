// SDP records: module state, create, destroy, clone, compare, validity, getters and setters.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SLMem.h"
#include "SdpRecords.h"

namespace {

bool g_initialized = false;
SFMemMemoryPool g_pool;

#define SDP_REQUIRE_INIT()         \
    if (!sdp::initialized())       \
        return SDP_ERR_NOT_INITIALIZED

template <typename T>
int start(T** out)
{
    if (!out)
        return SDP_ERR_INVALID;
    *out = nullptr;
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    return 0;
}

const char* const kMediaNames[] = {nullptr, "audio", "video", "application", "data", "control"};
const char* const kTransportNames[] = {nullptr, "RTP/AVP", "RTP/SAVP", "udp", "TCP"};

// Chain helpers: destroy and clone whole lists through the per-item routines.
template <typename T, typename DestroyOne>
void destroyChain(T* item, DestroyOne destroyOne)
{
    while (item) {
        T* next = item->next;
        destroyOne(item);
        item = next;
    }
}

template <typename T, typename CloneOne, typename DestroyOne>
int cloneChain(T** out, const T* item, CloneOne cloneOne, DestroyOne destroyOne)
{
    T* head = nullptr;
    T** tail = &head;
    for (; item; item = item->next) {
        T* copy = nullptr;
        const int rc = cloneOne(&copy, item);
        if (rc != 0) {
            destroyChain(head, destroyOne);
            return rc;
        }
        *tail = copy;
        tail = &copy->next;
    }
    *out = head;
    return 0;
}

template <typename T, typename Equal>
int listEqual(const T* a, const T* b, Equal equal)
{
    for (; a && b; a = a->next, b = b->next)
        if (!equal(a, b))
            return 0;
    return a == nullptr && b == nullptr ? 1 : 0;
}

template <typename T, typename Valid>
int listValid(const T* item, Valid valid)
{
    if (!item)
        return 0;
    for (; item; item = item->next)
        if (!valid(item))
            return 0;
    return 1;
}

// The common start of IsEqual: both absent equal, one absent differs.
#define SDP_EQUAL_PRESENCE(a, b)   \
    if (!(a) || !(b))              \
        return (a) == (b) ? 1 : 0

void destroyOrigin(SdpOrigin* o)
{
    sdp::release(o->userName);
    sdp::release(o->address);
    sdp::release(o);
}
void destroyConnection(SdpConnectionData* c)
{
    sdp::release(c->address);
    sdp::release(c);
}
void destroyBandwidthItem(SdpBandwidth* b)
{
    sdp::release(b->modifierText);
    sdp::release(b);
}
void destroyTimeItem(SdpTime* t) { sdp::release(t); }
void destroyFormatItem(SdpMediaFormat* f)
{
    sdp::release(f->value);
    sdp::release(f);
}
void destroyRtpMap(SdpAttrRtpMap* r)
{
    sdp::release(r->encodingName);
    sdp::release(r->encodingParameters);
    sdp::release(r);
}
void destroyFmtp(SdpAttrFmtp* f)
{
    sdp::release(f->format);
    sdp::release(f->value);
    sdp::release(f);
}
void destroyUnknown(SdpAttrUnknown* u)
{
    sdp::release(u->name);
    sdp::release(u->value);
    sdp::release(u);
}
void destroyRecord(int32_t kind, void* record)
{
    if (!record)
        return;
    switch (kind) {
    case SDP_ATTR_RTPMAP: destroyRtpMap(static_cast<SdpAttrRtpMap*>(record)); break;
    case SDP_ATTR_FMTP: destroyFmtp(static_cast<SdpAttrFmtp*>(record)); break;
    default: destroyUnknown(static_cast<SdpAttrUnknown*>(record)); break;
    }
}
void destroyAttributeItem(SdpAttribute* a)
{
    destroyRecord(a->kind, a->record);
    sdp::release(a);
}
void destroyMediaItem(SdpMedia* m)
{
    sdp::release(m->mediaText);
    sdp::release(m->transportText);
    destroyChain(m->formats, destroyFormatItem);
    if (m->connection)
        destroyConnection(m->connection);
    destroyChain(m->bandwidths, destroyBandwidthItem);
    destroyChain(m->attributes, destroyAttributeItem);
    sdp::release(m->information);
    sdp::release(m);
}

int defaultModifierText(SdpBandwidth* b)
{
    const char* text = b->modifier == SDP_BW_CT ? "CT" : b->modifier == SDP_BW_AS ? "AS" : nullptr;
    return sdp::setText(&b->modifierText, text);
}

int wrapAttribute(SdpAttribute** head, int32_t kind, void* record)
{
    if (!head || !record)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    auto* item = sdp::make<SdpAttribute>();
    if (!item)
        return SDP_ERR_NO_MEMORY;
    item->kind = kind;
    item->record = record;
    sdp::append(head, item);
    return 0;
}

int addRtpMapTo(SdpAttribute** head, int32_t pt, const char* name, int32_t clock, const char* params)
{
    SdpAttrRtpMap* r = nullptr;
    int rc = SdpAttrRtpMapCreate(&r, pt, name, clock, params);
    if (rc != 0)
        return rc;
    rc = SdpAttributeAddRtpMap(head, r);
    if (rc != 0)
        destroyRtpMap(r);
    return rc;
}

int addUnknownTo(SdpAttribute** head, const char* name, const char* value)
{
    SdpAttrUnknown* u = nullptr;
    int rc = SdpAttrUnknownCreate(&u, name, value);
    if (rc != 0)
        return rc;
    rc = SdpAttributeAddUnknown(head, u);
    if (rc != 0)
        destroyUnknown(u);
    return rc;
}

int addBandwidthTo(SdpBandwidth** head, int32_t modifier, const char* text, int32_t value, bool strict)
{
    SdpBandwidth* b = nullptr;
    int rc = SdpBandwidthCreate(&b, modifier, value);
    if (rc != 0)
        return rc;
    rc = SdpBandwidthSetModifierString(b, text);
    if (rc != 0 && strict) {
        destroyBandwidthItem(b);
        return rc;
    }
    sdp::append(head, b);
    return 0;
}

int removeAttributesByName(SdpAttribute** head, const char* name)
{
    if (!head || !name)
        return 0;
    int removed = 0;
    while (*head) {
        SdpAttribute* a = *head;
        bool match = false;
        if (a->kind == SDP_ATTR_RTPMAP)
            match = strcasecmp(name, "rtpmap") == 0;
        else if (a->kind == SDP_ATTR_FMTP)
            match = strcasecmp(name, "fmtp") == 0;
        else if (a->record)
            match = sdp::textEqual(static_cast<SdpAttrUnknown*>(a->record)->name, name);
        if (match) {
            *head = a->next;
            destroyAttributeItem(a);
            ++removed;
        } else {
            head = &a->next;
        }
    }
    return removed;
}

}  // namespace

// ---- module helpers ----

namespace sdp {

bool initialized() { return g_initialized; }
void* alloc(size_t size) { return SLMemAllocateZeroed(&g_pool, size); }
void release(void* block) { SLMemFreeMemory(&g_pool, block); }

int setText(char** slot, std::string_view text)
{
    char* copy = nullptr;
    if (!text.empty()) {
        copy = static_cast<char*>(alloc(text.size() + 1));
        if (!copy)
            return SDP_ERR_NO_MEMORY;
        std::memcpy(copy, text.data(), text.size());
    }
    release(*slot);
    *slot = copy;
    return 0;
}

int setText(char** slot, const char* text) { return setText(slot, text ? std::string_view(text) : std::string_view()); }

bool textEqualI(const char* a, const char* b)
{
    if (!a || !b)
        return a == b;
    return strcasecmp(a, b) == 0;
}

bool textEqual(const char* a, const char* b)
{
    if (!a || !b)
        return a == b;
    return std::strcmp(a, b) == 0;
}

const char* mediaName(int32_t type) { return type >= 1 && type <= 5 ? kMediaNames[type] : nullptr; }
const char* transportName(int32_t type) { return type >= 1 && type <= 4 ? kTransportNames[type] : nullptr; }

int32_t mediaTypeOf(std::string_view text)
{
    for (int32_t i = 1; i <= 5; ++i)
        if (text == kMediaNames[i])
            return i;
    return SDP_MEDIA_OTHER;
}

int32_t transportTypeOf(std::string_view text)
{
    for (int32_t i = 1; i <= 4; ++i)
        if (text.size() == std::strlen(kTransportNames[i]) &&
            strncasecmp(text.data(), kTransportNames[i], text.size()) == 0)
            return i;
    return SDP_TRANSPORT_OTHER;
}

}  // namespace sdp

int SdpInitialize(void)
{
    if (g_initialized)
        return SDP_ERR_ALREADY_INITIALIZED;
    const int rc = SLMemInitializeMemoryPool(&g_pool, 5120);
    if (rc != 0)
        return rc;
    g_initialized = true;
    return 0;
}

int SdpCleanup(void)
{
    SDP_REQUIRE_INIT();
    SLMemDeleteMemoryPool(&g_pool);
    g_initialized = false;
    return 0;
}

int32_t SdpGetLiveCount(void) { return g_pool.count; }

// ---- origin ----

int SdpOriginCreate(SdpOrigin** out, const char* userName, uint32_t sessionId, uint32_t version, int32_t networkType,
                    int32_t addressType, const char* address)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* o = sdp::make<SdpOrigin>();
    if (!o)
        return SDP_ERR_NO_MEMORY;
    o->sessionId = sessionId;
    o->version = version;
    o->networkType = networkType;
    o->addressType = addressType;
    if ((rc = sdp::setText(&o->userName, userName)) != 0 || (rc = sdp::setText(&o->address, address)) != 0) {
        destroyOrigin(o);
        return rc;
    }
    *out = o;
    return 0;
}

void SdpOriginDestroy(SdpOrigin* origin)
{
    if (origin && sdp::initialized())
        destroyOrigin(origin);
}

int SdpOriginClone(SdpOrigin** out, const SdpOrigin* o)
{
    if (!o)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    return SdpOriginCreate(out, o->userName, o->sessionId, o->version, o->networkType, o->addressType, o->address);
}

int SdpOriginIsEqual(const SdpOrigin* a, const SdpOrigin* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return sdp::textEqualI(a->userName, b->userName) && a->sessionId == b->sessionId && a->version == b->version &&
           a->networkType == b->networkType && a->addressType == b->addressType &&
           sdp::textEqualI(a->address, b->address);
}

int SdpOriginIsValid(const SdpOrigin* o) { return o && o->userName && o->address ? 1 : 0; }

const char* SdpOriginGetUserName(const SdpOrigin* o) { return o && sdp::initialized() ? o->userName : nullptr; }
uint32_t SdpOriginGetSessionId(const SdpOrigin* o) { return o && sdp::initialized() ? o->sessionId : 0; }
uint32_t SdpOriginGetVersion(const SdpOrigin* o) { return o && sdp::initialized() ? o->version : 0; }
int32_t SdpOriginGetNetworkType(const SdpOrigin* o) { return o && sdp::initialized() ? o->networkType : 0; }
int32_t SdpOriginGetAddressType(const SdpOrigin* o) { return o && sdp::initialized() ? o->addressType : 0; }
const char* SdpOriginGetAddress(const SdpOrigin* o) { return o && sdp::initialized() ? o->address : nullptr; }

// Setters: missing record or module first, then the store.
#define SDP_SETTER_CHECK(rec)      \
    if (!(rec))                    \
        return SDP_ERR_INVALID;    \
    SDP_REQUIRE_INIT()

int SdpOriginSetUserName(SdpOrigin* o, const char* t) { SDP_SETTER_CHECK(o); return sdp::setText(&o->userName, t); }
int SdpOriginSetSessionId(SdpOrigin* o, uint32_t v) { SDP_SETTER_CHECK(o); o->sessionId = v; return 0; }
int SdpOriginSetVersion(SdpOrigin* o, uint32_t v) { SDP_SETTER_CHECK(o); o->version = v; return 0; }
int SdpOriginSetNetworkType(SdpOrigin* o, int32_t v) { SDP_SETTER_CHECK(o); o->networkType = v; return 0; }
int SdpOriginSetAddressType(SdpOrigin* o, int32_t v) { SDP_SETTER_CHECK(o); o->addressType = v; return 0; }
int SdpOriginSetAddress(SdpOrigin* o, const char* t) { SDP_SETTER_CHECK(o); return sdp::setText(&o->address, t); }

// ---- connection data ----

int SdpConnectionDataCreate(SdpConnectionData** out, int32_t networkType, int32_t addressType, const char* address)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* c = sdp::make<SdpConnectionData>();
    if (!c)
        return SDP_ERR_NO_MEMORY;
    c->networkType = networkType;
    c->addressType = addressType;
    if ((rc = sdp::setText(&c->address, address)) != 0) {
        destroyConnection(c);
        return rc;
    }
    *out = c;
    return 0;
}

void SdpConnectionDataDestroy(SdpConnectionData* c)
{
    if (c && sdp::initialized())
        destroyConnection(c);
}

int SdpConnectionDataClone(SdpConnectionData** out, const SdpConnectionData* c)
{
    if (!c)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    return SdpConnectionDataCreate(out, c->networkType, c->addressType, c->address);
}

int SdpConnectionDataIsEqual(const SdpConnectionData* a, const SdpConnectionData* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return a->networkType == b->networkType && a->addressType == b->addressType &&
           sdp::textEqualI(a->address, b->address);
}

int SdpConnectionDataIsValid(const SdpConnectionData* c)
{
    return c && c->networkType != 0 && c->addressType != 0 && c->address ? 1 : 0;
}

int32_t SdpConnectionDataGetNetworkType(const SdpConnectionData* c) { return c && sdp::initialized() ? c->networkType : 0; }
int32_t SdpConnectionDataGetAddressType(const SdpConnectionData* c) { return c && sdp::initialized() ? c->addressType : 0; }
const char* SdpConnectionDataGetAddress(const SdpConnectionData* c) { return c && sdp::initialized() ? c->address : nullptr; }
int SdpConnectionDataSetNetworkType(SdpConnectionData* c, int32_t v) { SDP_SETTER_CHECK(c); c->networkType = v; return 0; }
int SdpConnectionDataSetAddressType(SdpConnectionData* c, int32_t v) { SDP_SETTER_CHECK(c); c->addressType = v; return 0; }
int SdpConnectionDataSetAddress(SdpConnectionData* c, const char* t) { SDP_SETTER_CHECK(c); return sdp::setText(&c->address, t); }

// ---- bandwidth ----

int SdpBandwidthCreate(SdpBandwidth** out, int32_t modifier, int32_t value)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* b = sdp::make<SdpBandwidth>();
    if (!b)
        return SDP_ERR_NO_MEMORY;
    b->modifier = modifier;
    b->value = value;
    if ((rc = defaultModifierText(b)) != 0) {
        destroyBandwidthItem(b);
        return rc;
    }
    *out = b;
    return 0;
}

void SdpBandwidthDestroy(SdpBandwidth* b)
{
    if (b && sdp::initialized())
        destroyChain(b, destroyBandwidthItem);
}

int SdpBandwidthItemClone(SdpBandwidth** out, const SdpBandwidth* b)
{
    if (!b)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    int rc = SdpBandwidthCreate(out, b->modifier, b->value);
    if (rc == 0 && (rc = sdp::setText(&(*out)->modifierText, b->modifierText)) != 0) {
        destroyBandwidthItem(*out);
        *out = nullptr;
    }
    return rc;
}

int SdpBandwidthClone(SdpBandwidth** out, const SdpBandwidth* b)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    if (!b)
        return SDP_ERR_INVALID;
    return cloneChain(out, b, SdpBandwidthItemClone, destroyBandwidthItem);
}

int SdpBandwidthItemIsEqual(const SdpBandwidth* a, const SdpBandwidth* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return a->modifier == b->modifier && sdp::textEqual(a->modifierText, b->modifierText) && a->value == b->value;
}

int SdpBandwidthListIsEqual(const SdpBandwidth* a, const SdpBandwidth* b) { return listEqual(a, b, SdpBandwidthItemIsEqual); }
int SdpBandwidthItemIsValid(const SdpBandwidth* b) { return b && (b->modifier != 0 || b->modifierText) ? 1 : 0; }
int SdpBandwidthListIsValid(const SdpBandwidth* b) { return listValid(b, SdpBandwidthItemIsValid); }
int32_t SdpBandwidthGetModifier(const SdpBandwidth* b) { return b && sdp::initialized() ? b->modifier : 0; }
const char* SdpBandwidthGetModifierString(const SdpBandwidth* b) { return b && sdp::initialized() ? b->modifierText : nullptr; }
int32_t SdpBandwidthGetValue(const SdpBandwidth* b) { return b && sdp::initialized() ? b->value : -1; }
SdpBandwidth* SdpBandwidthGetNext(const SdpBandwidth* b) { return b && sdp::initialized() ? b->next : nullptr; }

int SdpBandwidthSetModifier(SdpBandwidth* b, int32_t modifier)
{
    SDP_SETTER_CHECK(b);
    b->modifier = modifier;
    return defaultModifierText(b);
}

int SdpBandwidthSetModifierString(SdpBandwidth* b, const char* text)
{
    SDP_SETTER_CHECK(b);
    if (!text || !*text)
        return defaultModifierText(b);
    if ((b->modifier == SDP_BW_CT && std::strcmp(text, "CT") != 0) ||
        (b->modifier == SDP_BW_AS && std::strcmp(text, "AS") != 0))
        return SDP_ERR_INVALID;
    return sdp::setText(&b->modifierText, text);
}

int SdpBandwidthSetValue(SdpBandwidth* b, int32_t v) { SDP_SETTER_CHECK(b); b->value = v; return 0; }

// ---- time ----

int SdpTimeCreate(SdpTime** out, uint32_t startTime, uint32_t stopTime)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* t = sdp::make<SdpTime>();
    if (!t)
        return SDP_ERR_NO_MEMORY;
    t->start = startTime;
    t->stop = stopTime;
    *out = t;
    return 0;
}

void SdpTimeDestroy(SdpTime* t)
{
    if (t && sdp::initialized())
        destroyChain(t, destroyTimeItem);
}

int SLSdpTimeItemClone(SdpTime** out, const SdpTime* t)
{
    if (!t)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    return SdpTimeCreate(out, t->start, t->stop);
}

int SdpTimeClone(SdpTime** out, const SdpTime* t)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    if (!t)
        return SDP_ERR_INVALID;
    return cloneChain(out, t, SLSdpTimeItemClone, destroyTimeItem);
}

int SdpTimeItemIsEqual(const SdpTime* a, const SdpTime* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return a->start == b->start && a->stop == b->stop;
}
int SdpTimeListIsEqual(const SdpTime* a, const SdpTime* b) { return listEqual(a, b, SdpTimeItemIsEqual); }
int SdpTimeItemIsValid(const SdpTime* t) { return t ? 1 : 0; }
int SdpTimeListIsValid(const SdpTime* t) { return listValid(t, SdpTimeItemIsValid); }
uint32_t SdpTimeGetStart(const SdpTime* t) { return t && sdp::initialized() ? t->start : 0; }
uint32_t SdpTimeGetStop(const SdpTime* t) { return t && sdp::initialized() ? t->stop : 0; }
SdpTime* SdpTimeGetNext(const SdpTime* t) { return t && sdp::initialized() ? t->next : nullptr; }
int SdpTimeSetStart(SdpTime* t, uint32_t v) { SDP_SETTER_CHECK(t); t->start = v; return 0; }
int SdpTimeSetStop(SdpTime* t, uint32_t v) { SDP_SETTER_CHECK(t); t->stop = v; return 0; }

// ---- media format ----

int SdpMediaFormatCreate(SdpMediaFormat** out, const char* value)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* f = sdp::make<SdpMediaFormat>();
    if (!f)
        return SDP_ERR_NO_MEMORY;
    if ((rc = sdp::setText(&f->value, value)) != 0) {
        destroyFormatItem(f);
        return rc;
    }
    *out = f;
    return 0;
}

void SdpMediaFormatDestroy(SdpMediaFormat* f)
{
    if (f && sdp::initialized())
        destroyChain(f, destroyFormatItem);
}

void SdpMediaFormatItemDestroy(SdpMediaFormat* f)
{
    if (f && sdp::initialized())
        destroyFormatItem(f);
}

static int cloneFormatItem(SdpMediaFormat** out, const SdpMediaFormat* f) { return SdpMediaFormatCreate(out, f->value); }

int SdpMediaFormatClone(SdpMediaFormat** out, const SdpMediaFormat* f)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    if (!f)
        return SDP_ERR_INVALID;
    return cloneChain(out, f, cloneFormatItem, destroyFormatItem);
}

int SdpMediaFormatItemIsEqual(const SdpMediaFormat* a, const SdpMediaFormat* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return sdp::textEqualI(a->value, b->value);
}
int SdpMediaFormatListIsEqual(const SdpMediaFormat* a, const SdpMediaFormat* b) { return listEqual(a, b, SdpMediaFormatItemIsEqual); }
const char* SdpMediaFormatGetValue(const SdpMediaFormat* f) { return f && sdp::initialized() ? f->value : nullptr; }
int SdpMediaFormatSetValue(SdpMediaFormat* f, const char* t) { SDP_SETTER_CHECK(f); return sdp::setText(&f->value, t); }
SdpMediaFormat* SdpMediaFormatGetNext(const SdpMediaFormat* f) { return f && sdp::initialized() ? f->next : nullptr; }

SdpMediaFormat* SdpMediaFormatFindByString(const SdpMediaFormat* f, const char* text)
{
    if (!text || !*text || !sdp::initialized())
        return nullptr;
    for (; f; f = f->next)
        if (f->value && strcasecmp(f->value, text) == 0)
            return const_cast<SdpMediaFormat*>(f);
    return nullptr;
}

SdpMediaFormat* SdpMediaFormatFindByInt(const SdpMediaFormat* f, int number)
{
    if (!sdp::initialized())
        return nullptr;
    for (; f; f = f->next)
        if (f->value && std::atoi(f->value) == number)
            return const_cast<SdpMediaFormat*>(f);
    return nullptr;
}

// ---- rtpmap ----

int SdpAttrRtpMapCreate(SdpAttrRtpMap** out, int32_t payloadType, const char* encodingName, int32_t clockRate,
                        const char* encodingParameters)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* r = sdp::make<SdpAttrRtpMap>();
    if (!r)
        return SDP_ERR_NO_MEMORY;
    r->payloadType = payloadType;
    r->clockRate = clockRate;
    if ((rc = sdp::setText(&r->encodingName, encodingName)) != 0 ||
        (rc = sdp::setText(&r->encodingParameters, encodingParameters)) != 0) {
        destroyRtpMap(r);
        return rc;
    }
    *out = r;
    return 0;
}

void SdpAttrRtpMapDestroy(SdpAttrRtpMap* r)
{
    if (r && sdp::initialized())
        destroyRtpMap(r);
}

int SdpAttrRtpMapClone(SdpAttrRtpMap** out, const SdpAttrRtpMap* r)
{
    if (!r)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    return SdpAttrRtpMapCreate(out, r->payloadType, r->encodingName, r->clockRate, r->encodingParameters);
}

int SdpAttrRtpMapIsEqual(const SdpAttrRtpMap* a, const SdpAttrRtpMap* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return a->payloadType == b->payloadType && sdp::textEqualI(a->encodingName, b->encodingName) &&
           a->clockRate == b->clockRate && sdp::textEqualI(a->encodingParameters, b->encodingParameters);
}

int SdpAttrRtpMapIsValid(const SdpAttrRtpMap* r) { return r && r->encodingName ? 1 : 0; }
int32_t SdpAttrRtpMapGetPayloadType(const SdpAttrRtpMap* r) { return r && sdp::initialized() ? r->payloadType : -1; }
const char* SdpAttrRtpMapGetEncodingName(const SdpAttrRtpMap* r) { return r && sdp::initialized() ? r->encodingName : nullptr; }
int32_t SdpAttrRtpMapGetClockRate(const SdpAttrRtpMap* r) { return r && sdp::initialized() ? r->clockRate : -1; }
const char* SdpAttrRtpMapGetEncodingParameters(const SdpAttrRtpMap* r) { return r && sdp::initialized() ? r->encodingParameters : nullptr; }
int SdpAttrRtpMapSetPayloadType(SdpAttrRtpMap* r, int32_t v) { SDP_SETTER_CHECK(r); r->payloadType = v; return 0; }
int SdpAttrRtpMapSetEncodingName(SdpAttrRtpMap* r, const char* t) { SDP_SETTER_CHECK(r); return sdp::setText(&r->encodingName, t); }
int SdpAttrRtpMapSetClockRate(SdpAttrRtpMap* r, int32_t v) { SDP_SETTER_CHECK(r); r->clockRate = v; return 0; }
int SdpAttrRtpMapSetEncodingParameters(SdpAttrRtpMap* r, const char* t) { SDP_SETTER_CHECK(r); return sdp::setText(&r->encodingParameters, t); }

// ---- fmtp ----

int SdpAttrFmtpCreate(SdpAttrFmtp** out, const char* format, const char* value)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* f = sdp::make<SdpAttrFmtp>();
    if (!f)
        return SDP_ERR_NO_MEMORY;
    if ((rc = sdp::setText(&f->format, format)) != 0 || (rc = sdp::setText(&f->value, value)) != 0) {
        destroyFmtp(f);
        return rc;
    }
    *out = f;
    return 0;
}

void SdpAttrFmtpDestroy(SdpAttrFmtp* f)
{
    if (f && sdp::initialized())
        destroyFmtp(f);
}

int SdpAttrFmtpClone(SdpAttrFmtp** out, const SdpAttrFmtp* f)
{
    if (!f)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    return SdpAttrFmtpCreate(out, f->format, f->value);
}

int SdpAttrFmtpIsEqual(const SdpAttrFmtp* a, const SdpAttrFmtp* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return sdp::textEqualI(a->format, b->format) && sdp::textEqualI(a->value, b->value);
}

int SdpAttrFmtpIsValid(const SdpAttrFmtp* f) { return f && f->format && f->value ? 1 : 0; }
const char* SdpAttrFmtpGetFormat(const SdpAttrFmtp* f) { return f && sdp::initialized() ? f->format : nullptr; }
const char* SdpAttrFmtpGetValue(const SdpAttrFmtp* f) { return f && sdp::initialized() ? f->value : nullptr; }
int SdpAttrFmtpSetFormat(SdpAttrFmtp* f, const char* t) { SDP_SETTER_CHECK(f); return sdp::setText(&f->format, t); }
int SdpAttrFmtpSetValue(SdpAttrFmtp* f, const char* t) { SDP_SETTER_CHECK(f); return sdp::setText(&f->value, t); }

// ---- generic attribute ----

int SdpAttrUnknownCreate(SdpAttrUnknown** out, const char* name, const char* value)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* u = sdp::make<SdpAttrUnknown>();
    if (!u)
        return SDP_ERR_NO_MEMORY;
    if ((rc = sdp::setText(&u->name, name)) != 0 || (rc = sdp::setText(&u->value, value)) != 0) {
        destroyUnknown(u);
        return rc;
    }
    *out = u;
    return 0;
}

void SdpAttrUnknownDestroy(SdpAttrUnknown* u)
{
    if (u && sdp::initialized())
        destroyUnknown(u);
}

int SdpAttrUnknownClone(SdpAttrUnknown** out, const SdpAttrUnknown* u)
{
    if (!u)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    return SdpAttrUnknownCreate(out, u->name, u->value);
}

int SdpAttrUnknownIsEqual(const SdpAttrUnknown* a, const SdpAttrUnknown* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return sdp::textEqualI(a->name, b->name) && sdp::textEqualI(a->value, b->value);
}

int SdpAttrUnknownIsValid(const SdpAttrUnknown* u) { return u && u->name ? 1 : 0; }
const char* SdpAttrUnknownGetAttribute(const SdpAttrUnknown* u) { return u && sdp::initialized() ? u->name : nullptr; }
const char* SdpAttrUnknownGetValue(const SdpAttrUnknown* u) { return u && sdp::initialized() ? u->value : nullptr; }
int SdpAttrUnknownSetAttribute(SdpAttrUnknown* u, const char* t) { SDP_SETTER_CHECK(u); return sdp::setText(&u->name, t); }
int SdpAttrUnknownSetValue(SdpAttrUnknown* u, const char* t) { SDP_SETTER_CHECK(u); return sdp::setText(&u->value, t); }

// ---- attribute items ----

int SdpAttributeCreateNew(SdpAttribute** out)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    *out = sdp::make<SdpAttribute>();
    return *out ? 0 : SDP_ERR_NO_MEMORY;
}

void SdpAttributeDestroy(SdpAttribute* a)
{
    if (a && sdp::initialized())
        destroyChain(a, destroyAttributeItem);
}

static int cloneAttributeItem(SdpAttribute** out, const SdpAttribute* a)
{
    *out = nullptr;
    auto* copy = sdp::make<SdpAttribute>();
    if (!copy)
        return SDP_ERR_NO_MEMORY;
    copy->kind = a->kind;
    int rc = 0;
    if (a->record) {
        switch (a->kind) {
        case SDP_ATTR_RTPMAP:
            rc = SdpAttrRtpMapClone(reinterpret_cast<SdpAttrRtpMap**>(&copy->record), static_cast<SdpAttrRtpMap*>(a->record));
            break;
        case SDP_ATTR_FMTP:
            rc = SdpAttrFmtpClone(reinterpret_cast<SdpAttrFmtp**>(&copy->record), static_cast<SdpAttrFmtp*>(a->record));
            break;
        default:
            rc = SdpAttrUnknownClone(reinterpret_cast<SdpAttrUnknown**>(&copy->record), static_cast<SdpAttrUnknown*>(a->record));
            break;
        }
    }
    if (rc != 0) {
        sdp::release(copy);
        return rc;
    }
    *out = copy;
    return 0;
}

int SdpAttributeClone(SdpAttribute** out, const SdpAttribute* a)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    if (!a)
        return SDP_ERR_INVALID;
    return cloneChain(out, a, cloneAttributeItem, destroyAttributeItem);
}

int32_t SdpAttributeGetType(const SdpAttribute* a) { return a && sdp::initialized() ? a->kind : -1; }
SdpAttribute* SdpAttributeGetNext(const SdpAttribute* a) { return a && sdp::initialized() ? a->next : nullptr; }

SdpAttrRtpMap* SdpAttributeGetRtpMap(const SdpAttribute* a)
{
    return a && a->kind == SDP_ATTR_RTPMAP ? static_cast<SdpAttrRtpMap*>(a->record) : nullptr;
}
SdpAttrFmtp* SdpAttributeGetFmtp(const SdpAttribute* a)
{
    return a && a->kind == SDP_ATTR_FMTP ? static_cast<SdpAttrFmtp*>(a->record) : nullptr;
}
SdpAttrUnknown* SdpAttributeGetUnknown(const SdpAttribute* a)
{
    return a && a->kind == SDP_ATTR_UNKNOWN ? static_cast<SdpAttrUnknown*>(a->record) : nullptr;
}

int SdpAttributeItemIsEqual(const SdpAttribute* a, const SdpAttribute* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    if (a->kind != b->kind)
        return 0;
    switch (a->kind) {
    case SDP_ATTR_RTPMAP: return SdpAttrRtpMapIsEqual(SdpAttributeGetRtpMap(a), SdpAttributeGetRtpMap(b));
    case SDP_ATTR_FMTP: return SdpAttrFmtpIsEqual(SdpAttributeGetFmtp(a), SdpAttributeGetFmtp(b));
    default: return SdpAttrUnknownIsEqual(SdpAttributeGetUnknown(a), SdpAttributeGetUnknown(b));
    }
}

int SdpAttributeListIsEqual(const SdpAttribute* a, const SdpAttribute* b) { return listEqual(a, b, SdpAttributeItemIsEqual); }

int SdpAttributeItemIsValid(const SdpAttribute* a)
{
    if (!a || !a->record)
        return 0;
    switch (a->kind) {
    case SDP_ATTR_RTPMAP: return SdpAttrRtpMapIsValid(SdpAttributeGetRtpMap(a));
    case SDP_ATTR_FMTP: return SdpAttrFmtpIsValid(SdpAttributeGetFmtp(a));
    case SDP_ATTR_UNKNOWN: return SdpAttrUnknownIsValid(SdpAttributeGetUnknown(a));
    default: return 0;
    }
}

int SdpAttributeListIsValid(const SdpAttribute* a) { return listValid(a, SdpAttributeItemIsValid); }

int SdpAttributeAddItem(SdpAttribute** head, SdpAttribute* item)
{
    if (!head || !item)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    sdp::append(head, item);
    return 0;
}

int SdpAttributeAddRtpMap(SdpAttribute** head, SdpAttrRtpMap* r) { return wrapAttribute(head, SDP_ATTR_RTPMAP, r); }
int SdpAttributeAddFmtp(SdpAttribute** head, SdpAttrFmtp* f) { return wrapAttribute(head, SDP_ATTR_FMTP, f); }

int SdpAttributeAddUnknown(SdpAttribute** head, SdpAttrUnknown* u)
{
    if (u && u->name && (std::strcmp(u->name, "rtpmap") == 0 || std::strcmp(u->name, "fmtp") == 0))
        return SDP_ERR_INVALID;
    return wrapAttribute(head, SDP_ATTR_UNKNOWN, u);
}

int SdpAttributeSetRtpMap(SdpAttribute* item, SdpAttrRtpMap* r)
{
    if (!item || !r)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    destroyRecord(item->kind, item->record);
    item->kind = SDP_ATTR_RTPMAP;
    item->record = r;
    return 0;
}

int SdpAttributeRemoveItem(SdpAttribute** head, SdpAttribute* item)
{
    if (!head || !item)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    if (!sdp::unlink(head, item))
        return SDP_ERR_INVALID;
    destroyAttributeItem(item);
    return 0;
}

int SdpAttributeRemoveItemsByString(SdpAttribute** head, const char* name)
{
    return sdp::initialized() ? removeAttributesByName(head, name) : 0;
}

void SdpAttributeRemoveAllItems(SdpAttribute** head)
{
    if (!head || !sdp::initialized())
        return;
    destroyChain(*head, destroyAttributeItem);
    *head = nullptr;
}

SdpAttribute* SdpAttributeFindByType(const SdpAttribute* a, int32_t kind)
{
    for (; a && sdp::initialized(); a = a->next)
        if (a->kind == kind && a->record)
            return const_cast<SdpAttribute*>(a);
    return nullptr;
}

SdpAttribute* SdpAttributeFindByString(const SdpAttribute* a, const char* name)
{
    if (!name || !sdp::initialized())
        return nullptr;
    for (; a; a = a->next) {
        if (!a->record)
            continue;
        if ((a->kind == SDP_ATTR_RTPMAP && strcasecmp(name, "rtpmap") == 0) ||
            (a->kind == SDP_ATTR_FMTP && strcasecmp(name, "fmtp") == 0) ||
            (a->kind == SDP_ATTR_UNKNOWN && sdp::textEqualI(SdpAttributeGetUnknown(a)->name, name)))
            return const_cast<SdpAttribute*>(a);
    }
    return nullptr;
}

SdpAttribute* SdpAttributeFindRtpMapByInt(const SdpAttribute* a, int32_t payloadType)
{
    for (; a && sdp::initialized(); a = a->next)
        if (const SdpAttrRtpMap* r = SdpAttributeGetRtpMap(a); r && r->payloadType == payloadType)
            return const_cast<SdpAttribute*>(a);
    return nullptr;
}

SdpAttribute* SdpAttributeFindRtpMapByString(const SdpAttribute* a, const char* payloadType)
{
    return payloadType ? SdpAttributeFindRtpMapByInt(a, static_cast<int32_t>(std::strtol(payloadType, nullptr, 10)))
                       : nullptr;
}

SdpAttribute* SdpAttributeFindFmtpByString(const SdpAttribute* a, const char* format)
{
    for (; a && format && sdp::initialized(); a = a->next)
        if (const SdpAttrFmtp* f = SdpAttributeGetFmtp(a); f && sdp::textEqualI(f->format, format))
            return const_cast<SdpAttribute*>(a);
    return nullptr;
}

SdpAttribute* SdpAttributeFindFmtpByInt(const SdpAttribute* a, int32_t format)
{
    for (; a && sdp::initialized(); a = a->next)
        if (const SdpAttrFmtp* f = SdpAttributeGetFmtp(a); f && f->format && std::atoi(f->format) == format)
            return const_cast<SdpAttribute*>(a);
    return nullptr;
}

int SdpAttrRtpMapIsEqual(const SdpAttribute* a, const SdpAttribute* b)
{
    return SdpAttrRtpMapIsEqual(SdpAttributeGetRtpMap(a), SdpAttributeGetRtpMap(b));
}
int32_t SdpAttrRtpMapGetPayloadType(const SdpAttribute* a) { return SdpAttrRtpMapGetPayloadType(SdpAttributeGetRtpMap(a)); }
const char* SdpAttrRtpMapGetEncodingName(const SdpAttribute* a) { return SdpAttrRtpMapGetEncodingName(SdpAttributeGetRtpMap(a)); }
int32_t SdpAttrRtpMapGetClockRate(const SdpAttribute* a) { return SdpAttrRtpMapGetClockRate(SdpAttributeGetRtpMap(a)); }
const char* SdpAttrRtpMapGetEncodingParameters(const SdpAttribute* a) { return SdpAttrRtpMapGetEncodingParameters(SdpAttributeGetRtpMap(a)); }
const char* SdpAttrFmtpGetFormat(const SdpAttribute* a) { return SdpAttrFmtpGetFormat(SdpAttributeGetFmtp(a)); }
const char* SdpAttrFmtpGetValue(const SdpAttribute* a) { return SdpAttrFmtpGetValue(SdpAttributeGetFmtp(a)); }
const char* SdpAttrUnknownGetAttribute(const SdpAttribute* a) { return SdpAttrUnknownGetAttribute(SdpAttributeGetUnknown(a)); }
const char* SdpAttrUnknownGetValue(const SdpAttribute* a) { return SdpAttrUnknownGetValue(SdpAttributeGetUnknown(a)); }

// ---- media ----

int SdpMediaCreate(SdpMedia** out, int32_t mediaType, const char* mediaText, uint16_t port, int32_t numPorts,
                   int32_t transport, const char* transportText)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    auto* m = sdp::make<SdpMedia>();
    if (!m)
        return SDP_ERR_NO_MEMORY;
    m->mediaType = mediaType;
    m->port = port;
    m->numPorts = numPorts;
    m->transport = transport;
    if ((rc = sdp::setText(&m->mediaText, mediaText ? mediaText : sdp::mediaName(mediaType))) != 0 ||
        (rc = sdp::setText(&m->transportText, transportText)) != 0) {
        destroyMediaItem(m);
        return rc;
    }
    *out = m;
    return 0;
}

void SdpMediaDestroy(SdpMedia* m)
{
    if (m && sdp::initialized())
        destroyChain(m, destroyMediaItem);
}

int SdpMediaItemClone(SdpMedia** out, const SdpMedia* m)
{
    if (!m)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    int rc = SdpMediaCreate(out, m->mediaType, m->mediaText, m->port, m->numPorts, m->transport, m->transportText);
    if (rc != 0)
        return rc;
    SdpMedia* c = *out;
    if ((m->formats && (rc = SdpMediaFormatClone(&c->formats, m->formats)) != 0) ||
        (m->connection && (rc = SdpConnectionDataClone(&c->connection, m->connection)) != 0) ||
        (m->bandwidths && (rc = SdpBandwidthClone(&c->bandwidths, m->bandwidths)) != 0) ||
        (m->attributes && (rc = SdpAttributeClone(&c->attributes, m->attributes)) != 0) ||
        (rc = sdp::setText(&c->information, m->information)) != 0) {
        destroyMediaItem(c);
        *out = nullptr;
        return rc;
    }
    return 0;
}

int SdpMediaClone(SdpMedia** out, const SdpMedia* m)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    if (!m)
        return SDP_ERR_INVALID;
    return cloneChain(out, m, SdpMediaItemClone, destroyMediaItem);
}

int SdpMediaItemIsEqual(const SdpMedia* a, const SdpMedia* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return a->mediaType == b->mediaType && sdp::textEqualI(a->mediaText, b->mediaText) && a->port == b->port &&
           a->numPorts == b->numPorts && a->transport == b->transport &&
           sdp::textEqualI(a->transportText, b->transportText) && SdpMediaFormatListIsEqual(a->formats, b->formats) &&
           SdpConnectionDataIsEqual(a->connection, b->connection) &&
           SdpBandwidthListIsEqual(a->bandwidths, b->bandwidths) &&
           SdpAttributeListIsEqual(a->attributes, b->attributes) && sdp::textEqual(a->information, b->information);
}

int SdpMediaListIsEqual(const SdpMedia* a, const SdpMedia* b) { return listEqual(a, b, SdpMediaItemIsEqual); }

int SdpMediaItemIsValid(const SdpMedia* m)
{
    return m && (m->mediaType != 0 || m->mediaText) && (m->transport != 0 || m->transportText) ? 1 : 0;
}
int SdpMediaListIsValid(const SdpMedia* m) { return listValid(m, SdpMediaItemIsValid); }

#define SDP_MEDIA_GET(type, name, field, none) \
    type name(const SdpMedia* m) { return m && sdp::initialized() ? m->field : none; }
SDP_MEDIA_GET(int32_t, SdpMediaGetMedia, mediaType, 0)
SDP_MEDIA_GET(const char*, SdpMediaGetMediaTitle, mediaText, nullptr)
SDP_MEDIA_GET(uint16_t, SdpMediaGetPort, port, 0)
SDP_MEDIA_GET(int32_t, SdpMediaGetNumOfPorts, numPorts, 0)
SDP_MEDIA_GET(int32_t, SdpMediaGetTransport, transport, 0)
SDP_MEDIA_GET(const char*, SdpMediaGetTrans, transportText, nullptr)
SDP_MEDIA_GET(SdpMediaFormat*, SdpMediaGetHeadFormat, formats, nullptr)
SDP_MEDIA_GET(SdpConnectionData*, SdpMediaGetConnectionData, connection, nullptr)
SDP_MEDIA_GET(SdpBandwidth*, SdpMediaGetHeadBandwidth, bandwidths, nullptr)
SDP_MEDIA_GET(SdpAttribute*, SdpMediaGetHeadAttribute, attributes, nullptr)
SDP_MEDIA_GET(const char*, SdpMediaGetInformation, information, nullptr)
SDP_MEDIA_GET(SdpMedia*, SdpMediaGetNext, next, nullptr)

int SdpMediaSetMedia(SdpMedia* m, int32_t v) { SDP_SETTER_CHECK(m); m->mediaType = v; return 0; }
int SdpMediaSetMediaTitle(SdpMedia* m, const char* t) { SDP_SETTER_CHECK(m); return sdp::setText(&m->mediaText, t); }
int SdpMediaSetPort(SdpMedia* m, uint16_t v) { SDP_SETTER_CHECK(m); m->port = v; return 0; }
int SdpMediaSetNumOfPorts(SdpMedia* m, int32_t v) { SDP_SETTER_CHECK(m); m->numPorts = v; return 0; }
int SdpMediaSetTransport(SdpMedia* m, int32_t v) { SDP_SETTER_CHECK(m); m->transport = v; return 0; }
int SdpMediaSetTrans(SdpMedia* m, const char* t) { SDP_SETTER_CHECK(m); return sdp::setText(&m->transportText, t); }
int SdpMediaSetInformation(SdpMedia* m, const char* t) { SDP_SETTER_CHECK(m); return sdp::setText(&m->information, t); }

int SdpMediaSetConnectionData(SdpMedia* m, int32_t networkType, int32_t addressType, const char* address)
{
    SDP_SETTER_CHECK(m);
    SdpConnectionData* c = nullptr;
    const int rc = SdpConnectionDataCreate(&c, networkType, addressType, address);
    if (rc != 0)
        return rc;
    if (m->connection)
        destroyConnection(m->connection);
    m->connection = c;
    return 0;
}

int SdpMediaAddFormat(SdpMedia* m, const char* text)
{
    if (!m || !text || !*text)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    for (SdpMediaFormat* f = m->formats; f; f = f->next)
        if (f->value && std::strcmp(f->value, text) == 0)
            return 0;
    SdpMediaFormat* f = nullptr;
    const int rc = SdpMediaFormatCreate(&f, text);
    if (rc != 0)
        return rc;
    sdp::append(&m->formats, f);
    return 0;
}

int SdpMediaAddFormatInt(SdpMedia* m, int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    return SdpMediaAddFormat(m, text);
}

int SdpMediaRemoveFormat(SdpMedia* m, SdpMediaFormat* f)
{
    if (!m || !f)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    if (!sdp::unlink(&m->formats, f))
        return SDP_ERR_INVALID;
    destroyFormatItem(f);
    return 0;
}

void SdpMediaRemoveAllFormats(SdpMedia* m)
{
    if (!m || !sdp::initialized())
        return;
    destroyChain(m->formats, destroyFormatItem);
    m->formats = nullptr;
}

void SdpMediaRemoveConnectionData(SdpMedia* m)
{
    if (!m || !sdp::initialized() || !m->connection)
        return;
    destroyConnection(m->connection);
    m->connection = nullptr;
}

int SdpMediaAddBandwidth2(SdpMedia* m, int32_t modifier, const char* text, int32_t value)
{
    if (!m)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    return addBandwidthTo(&m->bandwidths, modifier, text, value, true);
}

int SdpMediaAddBandwidth(SdpMedia* m, int32_t modifier, int32_t value) { return SdpMediaAddBandwidth2(m, modifier, nullptr, value); }

void SdpMediaRemoveAllBandwidths(SdpMedia* m)
{
    if (!m || !sdp::initialized())
        return;
    destroyChain(m->bandwidths, destroyBandwidthItem);
    m->bandwidths = nullptr;
}

int SdpMediaAddAttrRtpMap(SdpMedia* m, int32_t pt, const char* name, int32_t clock, const char* params)
{
    if (!m)
        return SDP_ERR_INVALID;
    return addRtpMapTo(&m->attributes, pt, name, clock, params);
}

int SdpMediaAddAttrFmtp(SdpMedia* m, const char* format, const char* value)
{
    if (!m || !format || !*format || !value || !*value)
        return SDP_ERR_INVALID;
    SdpAttrFmtp* f = nullptr;
    int rc = SdpAttrFmtpCreate(&f, format, value);
    if (rc != 0)
        return rc;
    rc = SdpAttributeAddFmtp(&m->attributes, f);
    if (rc != 0)
        destroyFmtp(f);
    return rc;
}

int SdpMediaAddAttrUnknown(SdpMedia* m, const char* name, const char* value)
{
    if (!m || !name || !*name)
        return SDP_ERR_INVALID;
    return addUnknownTo(&m->attributes, name, value);
}

int SdpMediaAddAttrUnknownItem(SdpMedia* m, SdpAttrUnknown* u)
{
    if (!m)
        return SDP_ERR_INVALID;
    return SdpAttributeAddUnknown(&m->attributes, u);
}

int SdpMediaAddAttrSendRecv(SdpMedia* m) { return SdpMediaAddAttrUnknown(m, "sendrecv", nullptr); }
int SdpMediaAddAttrSendOnly(SdpMedia* m) { return SdpMediaAddAttrUnknown(m, "sendonly", nullptr); }
int SdpMediaAddAttrRecvOnly(SdpMedia* m) { return SdpMediaAddAttrUnknown(m, "recvonly", nullptr); }
int SdpMediaAddAttrInactive(SdpMedia* m) { return SdpMediaAddAttrUnknown(m, "inactive", nullptr); }

int SdpMediaRemoveAttribute(SdpMedia* m, SdpAttribute* a) { return m ? SdpAttributeRemoveItem(&m->attributes, a) : SDP_ERR_INVALID; }
int SdpMediaRemoveAttributesByString(SdpMedia* m, const char* name) { return m ? SdpAttributeRemoveItemsByString(&m->attributes, name) : 0; }
void SdpMediaRemoveAllAttributes(SdpMedia* m)
{
    if (m)
        SdpAttributeRemoveAllItems(&m->attributes);
}

int SdpMediaListAddItem(SdpMedia** head, SdpMedia* m)
{
    if (!head || !m)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    sdp::append(head, m);
    return 0;
}

int SdpMediaListRemoveItem(SdpMedia** head, SdpMedia* m)
{
    if (!head || !m)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    if (!sdp::unlink(head, m))
        return SDP_ERR_INVALID;
    destroyMediaItem(m);
    return 0;
}

// ---- session description ----

int SdpAnnouncementCreateNew(SdpAnnouncement** out)
{
    int rc = start(out);
    if (rc != 0)
        return rc;
    *out = sdp::make<SdpAnnouncement>();
    return *out ? 0 : SDP_ERR_NO_MEMORY;
}

void SdpAnnouncementDestroy(SdpAnnouncement* s)
{
    if (!s || !sdp::initialized())
        return;
    if (s->origin)
        destroyOrigin(s->origin);
    for (char* t : {s->sessionName, s->information, s->uri, s->email, s->phone})
        sdp::release(t);
    if (s->connection)
        destroyConnection(s->connection);
    destroyChain(s->bandwidths, destroyBandwidthItem);
    destroyChain(s->times, destroyTimeItem);
    destroyChain(s->attributes, destroyAttributeItem);
    destroyChain(s->media, destroyMediaItem);
    sdp::release(s);
}

int SdpAnnouncementCreate(SdpAnnouncement** out, int32_t version, const SdpOrigin* origin, const char* sessionName)
{
    int rc = SdpAnnouncementCreateNew(out);
    if (rc != 0)
        return rc;
    SdpAnnouncement* s = *out;
    s->version = version;
    if ((origin && (rc = SdpOriginClone(&s->origin, origin)) != 0) || (rc = sdp::setText(&s->sessionName, sessionName)) != 0) {
        SdpAnnouncementDestroy(s);
        *out = nullptr;
    }
    return rc;
}

int SdpAnnouncementClone(SdpAnnouncement** out, const SdpAnnouncement* s)
{
    if (!s)
        return out ? (*out = nullptr, SDP_ERR_INVALID) : SDP_ERR_INVALID;
    int rc = SdpAnnouncementCreateNew(out);
    if (rc != 0)
        return rc;
    SdpAnnouncement* c = *out;
    c->version = s->version;
    if ((s->origin && (rc = SdpOriginClone(&c->origin, s->origin)) != 0) ||
        (rc = sdp::setText(&c->sessionName, s->sessionName)) != 0 ||
        (rc = sdp::setText(&c->information, s->information)) != 0 || (rc = sdp::setText(&c->uri, s->uri)) != 0 ||
        (rc = sdp::setText(&c->email, s->email)) != 0 || (rc = sdp::setText(&c->phone, s->phone)) != 0 ||
        (s->connection && (rc = SdpConnectionDataClone(&c->connection, s->connection)) != 0) ||
        (s->bandwidths && (rc = SdpBandwidthClone(&c->bandwidths, s->bandwidths)) != 0) ||
        (s->times && (rc = SdpTimeClone(&c->times, s->times)) != 0) ||
        (s->attributes && (rc = SdpAttributeClone(&c->attributes, s->attributes)) != 0) ||
        (s->media && (rc = SdpMediaClone(&c->media, s->media)) != 0)) {
        SdpAnnouncementDestroy(c);
        *out = nullptr;
    }
    return rc;
}

int SdpAnnouncementIsEqual(const SdpAnnouncement* a, const SdpAnnouncement* b)
{
    SDP_EQUAL_PRESENCE(a, b);
    return a->version == b->version && SdpOriginIsEqual(a->origin, b->origin) &&
           sdp::textEqualI(a->sessionName, b->sessionName) && sdp::textEqualI(a->information, b->information) &&
           sdp::textEqualI(a->uri, b->uri) && sdp::textEqualI(a->email, b->email) &&
           sdp::textEqualI(a->phone, b->phone) && SdpConnectionDataIsEqual(a->connection, b->connection) &&
           SdpBandwidthListIsEqual(a->bandwidths, b->bandwidths) && SdpTimeListIsEqual(a->times, b->times) &&
           SdpAttributeListIsEqual(a->attributes, b->attributes) && SdpMediaListIsEqual(a->media, b->media);
}

int SdpAnnouncementIsValid(const SdpAnnouncement* s)
{
    if (!s || s->version != 0 || !SdpOriginIsValid(s->origin) || !s->sessionName || !(s->email || s->phone))
        return 0;
    if (s->bandwidths && !SdpBandwidthListIsValid(s->bandwidths))
        return 0;
    return SdpTimeListIsValid(s->times);
}

#define SDP_ANN_GET(type, name, field, none) \
    type name(const SdpAnnouncement* s) { return s && sdp::initialized() ? s->field : none; }
SDP_ANN_GET(int32_t, SdpAnnouncementGetVersion, version, -1)
SDP_ANN_GET(SdpOrigin*, SdpAnnouncementGetOrigin, origin, nullptr)
SDP_ANN_GET(const char*, SdpAnnouncementGetSessionName, sessionName, nullptr)
SDP_ANN_GET(const char*, SdpAnnouncementGetInformation, information, nullptr)
SDP_ANN_GET(const char*, SdpAnnouncementGetUri, uri, nullptr)
SDP_ANN_GET(const char*, SdpAnnouncementGetEmail, email, nullptr)
SDP_ANN_GET(const char*, SdpAnnouncementGetPhone, phone, nullptr)
SDP_ANN_GET(SdpConnectionData*, SdpAnnouncementGetConnectionData, connection, nullptr)
SDP_ANN_GET(SdpBandwidth*, SdpAnnouncementGetHeadBandwidth, bandwidths, nullptr)
SDP_ANN_GET(SdpTime*, SdpAnnouncementGetHeadTime, times, nullptr)
SDP_ANN_GET(SdpAttribute*, SdpAnnouncementGetHeadAttribute, attributes, nullptr)
SDP_ANN_GET(SdpMedia*, SdpAnnouncementGetHeadMedia, media, nullptr)

int SdpAnnouncementSetVersion(SdpAnnouncement* s, int32_t v) { SDP_SETTER_CHECK(s); s->version = v; return 0; }
int SdpAnnouncementSetSessionName(SdpAnnouncement* s, const char* t) { SDP_SETTER_CHECK(s); return sdp::setText(&s->sessionName, t); }
int SdpAnnouncementSetInformation(SdpAnnouncement* s, const char* t) { SDP_SETTER_CHECK(s); return sdp::setText(&s->information, t); }
int SdpAnnouncementSetUri(SdpAnnouncement* s, const char* t) { SDP_SETTER_CHECK(s); return sdp::setText(&s->uri, t); }
int SdpAnnouncementSetEmail(SdpAnnouncement* s, const char* t) { SDP_SETTER_CHECK(s); return sdp::setText(&s->email, t); }
int SdpAnnouncementSetPhone(SdpAnnouncement* s, const char* t) { SDP_SETTER_CHECK(s); return sdp::setText(&s->phone, t); }

int SdpAnnouncementSetOrigin(SdpAnnouncement* s, SdpOrigin* o)
{
    SDP_SETTER_CHECK(s);
    if (s->origin && s->origin != o)
        destroyOrigin(s->origin);
    s->origin = o;
    return 0;
}

int SdpAnnouncementSetConnectionData(SdpAnnouncement* s, SdpConnectionData* c)
{
    SDP_SETTER_CHECK(s);
    if (s->connection && s->connection != c)
        destroyConnection(s->connection);
    s->connection = c;
    return 0;
}

void SdpAnnouncementRemoveConnectionData(SdpAnnouncement* s)
{
    if (s && sdp::initialized())
        SdpAnnouncementSetConnectionData(s, nullptr);
}

int SdpAnnouncementAddBandwidth2(SdpAnnouncement* s, int32_t modifier, const char* text, int32_t value)
{
    if (!s)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    return addBandwidthTo(&s->bandwidths, modifier, text, value, false);
}

int SdpAnnouncementAddBandwidth(SdpAnnouncement* s, int32_t modifier, int32_t value)
{
    return SdpAnnouncementAddBandwidth2(s, modifier, nullptr, value);
}

void SdpAnnouncementRemoveAllBandwidths(SdpAnnouncement* s)
{
    if (!s || !sdp::initialized())
        return;
    destroyChain(s->bandwidths, destroyBandwidthItem);
    s->bandwidths = nullptr;
}

int SdpAnnouncementAddTime(SdpAnnouncement* s, SdpTime* t)
{
    if (!s || !t)
        return SDP_ERR_INVALID;
    SDP_REQUIRE_INIT();
    sdp::append(&s->times, t);
    return 0;
}

void SdpAnnouncementRemoveAllTimes(SdpAnnouncement* s)
{
    if (!s || !sdp::initialized())
        return;
    destroyChain(s->times, destroyTimeItem);
    s->times = nullptr;
}

int SdpAnnouncementAddAttrRtpMap(SdpAnnouncement* s, int32_t pt, const char* name, int32_t clock, const char* params)
{
    return s ? addRtpMapTo(&s->attributes, pt, name, clock, params) : SDP_ERR_INVALID;
}

int SdpAnnouncementAddAttrUnknown(SdpAnnouncement* s, const char* name, const char* value)
{
    if (!s || !name || !*name)
        return SDP_ERR_INVALID;
    return addUnknownTo(&s->attributes, name, value);
}

int SdpAnnouncementAddAttrSendRecv(SdpAnnouncement* s) { return SdpAnnouncementAddAttrUnknown(s, "sendrecv", nullptr); }
int SdpAnnouncementAddAttrSendOnly(SdpAnnouncement* s) { return SdpAnnouncementAddAttrUnknown(s, "sendonly", nullptr); }
int SdpAnnouncementAddAttrRecvOnly(SdpAnnouncement* s) { return SdpAnnouncementAddAttrUnknown(s, "recvonly", nullptr); }
int SdpAnnouncementAddAttrInactive(SdpAnnouncement* s) { return SdpAnnouncementAddAttrUnknown(s, "inactive", nullptr); }
int SdpAnnouncementRemoveAttribute(SdpAnnouncement* s, SdpAttribute* a) { return s ? SdpAttributeRemoveItem(&s->attributes, a) : SDP_ERR_INVALID; }
int SdpAnnouncementRemoveAttributesByString(SdpAnnouncement* s, const char* name) { return s ? SdpAttributeRemoveItemsByString(&s->attributes, name) : 0; }
void SdpAnnouncementRemoveAllAttributes(SdpAnnouncement* s)
{
    if (s)
        SdpAttributeRemoveAllItems(&s->attributes);
}

int SdpAnnouncementAddMedia(SdpAnnouncement* s, SdpMedia* m) { return s ? SdpMediaListAddItem(&s->media, m) : SDP_ERR_INVALID; }
int SdpAnnouncementRemoveMedia(SdpAnnouncement* s, SdpMedia* m) { return s ? SdpMediaListRemoveItem(&s->media, m) : SDP_ERR_INVALID; }

void SdpAnnouncementRemoveAllMedia(SdpAnnouncement* s)
{
    if (!s || !sdp::initialized())
        return;
    destroyChain(s->media, destroyMediaItem);
    s->media = nullptr;
}
