// SDP encoder: one-line encoders and the session description encoder.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "SdpRecords.h"

namespace {

const char* orEmpty(const char* t) { return t ? t : ""; }
const char* addressTypeName(int32_t t) { return t == SDP_ADDR_IP4 ? "IP4" : t == SDP_ADDR_IP6 ? "IP6" : ""; }

// Formats one line with its CRLF into a reused buffer (no allocation once it has grown).
const std::string& formatLine(const char* format, va_list args)
{
    thread_local std::string line;
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        line.clear();
    } else if (static_cast<size_t>(n) < sizeof small) {
        line.assign(small, static_cast<size_t>(n));
    } else {
        line.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(line.data(), line.size(), format, args);
        line.resize(static_cast<size_t>(n));
    }
    line += "\r\n";
    return line;
}

// The single-line encoders: zero-filled buffer, as many bytes as fit, and 0xA0AC800A when the line
// had to be cut.
int encodeOne(char* buffer, uint32_t* length, const void* record, int (*write)(sdp::Writer&, const void*))
{
    if (!buffer || !length || *length == 0 || !record)
        return SDP_ERR_INVALID;
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    std::memset(buffer, 0, *length);
    thread_local std::string scratch;
    scratch.resize(4096);
    sdp::Writer probe{scratch.data(), static_cast<uint32_t>(scratch.size()), 0};
    int rc = write(probe, record);
    if (rc == SDP_ERR_TOO_SMALL) {
        scratch.resize(65536);
        probe = sdp::Writer{scratch.data(), static_cast<uint32_t>(scratch.size()), 0};
        rc = write(probe, record);
    }
    if (rc != 0)
        return rc;
    const uint32_t n = probe.used < *length ? probe.used : *length;
    std::memcpy(buffer, scratch.data(), n);
    *length = n;
    return probe.used <= n ? 0 : SDP_ERR_TOO_SMALL;
}

int writeOrigin(sdp::Writer& w, bool keepFree, const SdpOrigin* o)
{
    return sdp::writeLine(w, keepFree, "o=%s %lu %lu %s %s %s", o->userName ? o->userName : "-",
                          static_cast<unsigned long>(o->sessionId), static_cast<unsigned long>(o->version), "IN",
                          addressTypeName(o->addressType), orEmpty(o->address));
}

int writeBandwidth(sdp::Writer& w, const SdpBandwidth* b)
{
    return sdp::writeLine(w, false, "b=%s:%d", orEmpty(b->modifierText), b->value);
}

int writeTime(sdp::Writer& w, const SdpTime* t)
{
    return sdp::writeLine(w, false, "t=%lu %lu", static_cast<unsigned long>(t->start), static_cast<unsigned long>(t->stop));
}

int writeRtpMap(sdp::Writer& w, const SdpAttrRtpMap* r)
{
    if (r->encodingParameters)
        return sdp::writeLine(w, false, "a=rtpmap:%d %s/%d/%s", r->payloadType, orEmpty(r->encodingName), r->clockRate,
                              r->encodingParameters);
    return sdp::writeLine(w, false, "a=rtpmap:%d %s/%d", r->payloadType, orEmpty(r->encodingName), r->clockRate);
}

int writeFmtp(sdp::Writer& w, const SdpAttrFmtp* f)
{
    return sdp::writeLine(w, false, "a=fmtp:%s %s", orEmpty(f->format), orEmpty(f->value));
}

int writeUnknown(sdp::Writer& w, const SdpAttrUnknown* u)
{
    if (u->value)
        return sdp::writeLine(w, false, "a=%s:%s", orEmpty(u->name), u->value);
    return sdp::writeLine(w, false, "a=%s", orEmpty(u->name));
}

}  // namespace

namespace sdp {

int writeLine(Writer& w, bool keepFree, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string& line = formatLine(format, args);
    va_end(args);
    const uint32_t room = w.capacity - w.used;
    if (line.size() > room || (keepFree && line.size() == room))
        return SDP_ERR_TOO_SMALL;
    std::memcpy(w.buffer + w.used, line.data(), line.size());
    w.used += static_cast<uint32_t>(line.size());
    return 0;
}

int writeConnection(Writer& w, bool keepFree, const SdpConnectionData* c)
{
    return writeLine(w, keepFree, "c=%s %s %s", c->networkType == SDP_NET_IN ? "IN" : "", addressTypeName(c->addressType),
                     orEmpty(c->address));
}

int writeAttribute(Writer& w, const SdpAttribute* a)
{
    if (!a->record)
        return SDP_ERR_INVALID;
    switch (a->kind) {
    case SDP_ATTR_RTPMAP: return writeRtpMap(w, static_cast<const SdpAttrRtpMap*>(a->record));
    case SDP_ATTR_FMTP: return writeFmtp(w, static_cast<const SdpAttrFmtp*>(a->record));
    case SDP_ATTR_UNKNOWN: return writeUnknown(w, static_cast<const SdpAttrUnknown*>(a->record));
    default: return SDP_ERR_INVALID;
    }
}

int writeMedia(Writer& w, const SdpMedia* m)
{
    const char* media = mediaName(m->mediaType);
    const char* transport = transportName(m->transport);
    thread_local std::string line;  // reused: no allocation per media once grown
    char number[24];
    line = "m=";
    line += media ? media : orEmpty(m->mediaText);
    if (m->numPorts >= 2)
        std::snprintf(number, sizeof number, " %u/%d ", static_cast<unsigned>(m->port), m->numPorts);
    else
        std::snprintf(number, sizeof number, " %u ", static_cast<unsigned>(m->port));
    line += number;
    line += transport ? transport : orEmpty(m->transportText);
    for (const SdpMediaFormat* f = m->formats; f; f = f->next) {
        line += ' ';
        line += orEmpty(f->value);
    }
    int rc = writeLine(w, false, "%s", line.c_str());
    if (rc == 0 && m->information)
        rc = writeLine(w, false, "%c=%s", 'i', m->information);
    if (rc == 0 && m->connection)
        rc = writeConnection(w, false, m->connection);
    for (const SdpBandwidth* b = m->bandwidths; rc == 0 && b; b = b->next)
        rc = writeBandwidth(w, b);
    for (const SdpAttribute* a = m->attributes; rc == 0 && a; a = a->next)
        rc = writeAttribute(w, a);
    return rc;
}

}  // namespace sdp

int SdpOriginEncode(char* buffer, uint32_t* length, const SdpOrigin* origin)
{
    return encodeOne(buffer, length, origin,
                     [](sdp::Writer& w, const void* r) { return writeOrigin(w, false, static_cast<const SdpOrigin*>(r)); });
}

int SdpConnectionDataEncode(char* buffer, uint32_t* length, const SdpConnectionData* connection)
{
    return encodeOne(buffer, length, connection, [](sdp::Writer& w, const void* r) {
        return sdp::writeConnection(w, false, static_cast<const SdpConnectionData*>(r));
    });
}

int SdpBandwidthEncode(char* buffer, uint32_t* length, const SdpBandwidth* bandwidth)
{
    return encodeOne(buffer, length, bandwidth,
                     [](sdp::Writer& w, const void* r) { return writeBandwidth(w, static_cast<const SdpBandwidth*>(r)); });
}

int SdpTimeEncode(char* buffer, uint32_t* length, const SdpTime* time)
{
    return encodeOne(buffer, length, time,
                     [](sdp::Writer& w, const void* r) { return writeTime(w, static_cast<const SdpTime*>(r)); });
}

int SdpAttrRtpMapEncode(char* buffer, uint32_t* length, const SdpAttrRtpMap* rtpmap)
{
    return encodeOne(buffer, length, rtpmap,
                     [](sdp::Writer& w, const void* r) { return writeRtpMap(w, static_cast<const SdpAttrRtpMap*>(r)); });
}

int SdpAttrFmtpEncode(char* buffer, uint32_t* length, const SdpAttrFmtp* fmtp)
{
    return encodeOne(buffer, length, fmtp,
                     [](sdp::Writer& w, const void* r) { return writeFmtp(w, static_cast<const SdpAttrFmtp*>(r)); });
}

int SdpAttrUnknownEncode(char* buffer, uint32_t* length, const SdpAttrUnknown* attr)
{
    return encodeOne(buffer, length, attr,
                     [](sdp::Writer& w, const void* r) { return writeUnknown(w, static_cast<const SdpAttrUnknown*>(r)); });
}

int SdpAttributeEncode(char* buffer, uint32_t* length, const SdpAttribute* attribute)
{
    return encodeOne(buffer, length, attribute, [](sdp::Writer& w, const void* r) {
        return sdp::writeAttribute(w, static_cast<const SdpAttribute*>(r));
    });
}

int SdpMediaEncode(char* buffer, uint32_t* length, const SdpMedia* media)
{
    if (!buffer || !length || *length == 0 || !media)
        return SDP_ERR_INVALID;
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    std::memset(buffer, 0, *length);
    sdp::Writer w{buffer, *length, 0};
    const int rc = sdp::writeMedia(w, media);
    *length = w.used;
    return rc;
}

int SdpAnnouncementEncode(char* buffer, uint32_t* length, const SdpAnnouncement* s)
{
    if (!buffer || !length || *length == 0 || !s)
        return SDP_ERR_INVALID;
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    std::memset(buffer, 0, *length);
    sdp::Writer w{buffer, *length, 0};
    // The lines up to c= leave a byte free; b=, t=, a= and m= lines may fill the buffer.
    int rc = sdp::writeLine(w, true, "v=%d", s->version);
    if (rc == 0 && s->origin)
        rc = writeOrigin(w, true, s->origin);
    const struct {
        char letter;
        const char* text;
    } texts[] = {{'s', s->sessionName}, {'i', s->information}, {'u', s->uri}, {'e', s->email}, {'p', s->phone}};
    for (const auto& t : texts)
        if (rc == 0 && t.text)
            rc = sdp::writeLine(w, true, "%c=%s", t.letter, t.text);
    if (rc == 0 && s->connection)
        rc = sdp::writeConnection(w, true, s->connection);
    for (const SdpBandwidth* b = s->bandwidths; rc == 0 && b; b = b->next)
        rc = writeBandwidth(w, b);
    for (const SdpTime* t = s->times; rc == 0 && t; t = t->next)
        rc = writeTime(w, t);
    for (const SdpAttribute* a = s->attributes; rc == 0 && a; a = a->next)
        rc = sdp::writeAttribute(w, a);
    for (const SdpMedia* m = s->media; rc == 0 && m; m = m->next)
        rc = sdp::writeMedia(w, m);
    *length = w.used;
    return rc;
}
