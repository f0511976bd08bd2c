// SDP parser: line parsers and the session description parser.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "SdpRecords.h"

namespace {

using std::string_view;

bool isBlank(char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The line of the Parse convention: up to `length` characters, stopping at NUL, CR or LF.
string_view lineOf(const char* text, int length)
{
    size_t n = 0;
    const size_t limit = length < 0 ? SIZE_MAX : static_cast<size_t>(length);
    while (n < limit && text[n] && !isLineEnd(text[n]))
        ++n;
    return string_view(text, n);
}

// The field after the first "=" (empty when there is none).
string_view fieldOf(string_view line)
{
    const size_t eq = line.find('=');
    return eq == string_view::npos ? string_view() : line.substr(eq + 1);
}

string_view skipBlanks(string_view s)
{
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

string_view trim(string_view s)
{
    s = skipBlanks(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Takes the next blank-delimited token from `s`.
string_view nextToken(string_view& s)
{
    s = skipBlanks(s);
    size_t n = 0;
    while (n < s.size() && !isBlank(s[n]))
        ++n;
    const string_view token = s.substr(0, n);
    s = s.substr(n);
    return token;
}

// Base-10 conversion of the C library: sign allowed, stops at the first non-digit, 0 without digits.
long decimal(string_view s)
{
    char buffer[32];
    const size_t n = s.size() < sizeof buffer - 1 ? s.size() : sizeof buffer - 1;
    if (n)
        std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return std::strtol(buffer, nullptr, 10);
}

// Leading digits accumulated in 32 bits, wrapping on overflow.
uint32_t digits(string_view s)
{
    uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    return v;
}

int32_t networkTypeOf(string_view t) { return t == "IN" ? SDP_NET_IN : SDP_NET_OTHER; }
int32_t addressTypeOf(string_view t) { return t == "IP4" ? SDP_ADDR_IP4 : t == "IP6" ? SDP_ADDR_IP6 : SDP_ADDR_OTHER; }

template <typename T>
int begin(T** out, const char* line)
{
    if (!out)
        return SDP_ERR_INVALID;
    *out = nullptr;
    if (!line)
        return SDP_ERR_INVALID;
    return sdp::initialized() ? 0 : SDP_ERR_NOT_INITIALIZED;
}

int parseOrigin(SdpOrigin** out, string_view f)
{
    const string_view user = nextToken(f);
    const uint32_t id = digits(nextToken(f));
    const uint32_t version = digits(nextToken(f));
    const int32_t net = networkTypeOf(nextToken(f));
    const int32_t addr = addressTypeOf(nextToken(f));
    const string_view address = nextToken(f);
    int rc = SdpOriginCreate(out, nullptr, id, version, net, addr, nullptr);
    if (rc == 0 && ((rc = sdp::setText(&(*out)->userName, user)) != 0 || (rc = sdp::setText(&(*out)->address, address)) != 0)) {
        SdpOriginDestroy(*out);
        *out = nullptr;
    }
    return rc;
}

int parseConnection(SdpConnectionData** out, string_view f)
{
    const int32_t net = networkTypeOf(nextToken(f));
    const int32_t addr = addressTypeOf(nextToken(f));
    const string_view address = nextToken(f);
    int rc = SdpConnectionDataCreate(out, net, addr, nullptr);
    if (rc == 0 && (rc = sdp::setText(&(*out)->address, address)) != 0) {
        SdpConnectionDataDestroy(*out);
        *out = nullptr;
    }
    return rc;
}

int parseBandwidth(SdpBandwidth** out, string_view f)
{
    const size_t colon = f.find(':');
    const string_view modifier = trim(f.substr(0, colon));
    string_view rest = colon == string_view::npos ? string_view() : f.substr(colon + 1);
    const int32_t type = modifier == "CT" ? SDP_BW_CT : modifier == "AS" ? SDP_BW_AS : SDP_BW_OTHER;
    int rc = SdpBandwidthCreate(out, type, static_cast<int32_t>(decimal(nextToken(rest))));
    if (rc == 0 && type == SDP_BW_OTHER && (rc = sdp::setText(&(*out)->modifierText, modifier)) != 0) {
        SdpBandwidthDestroy(*out);
        *out = nullptr;
    }
    return rc;
}

int parseTime(SdpTime** out, string_view f)
{
    const uint32_t startTime = digits(nextToken(f));
    const uint32_t stopTime = digits(nextToken(f));
    return SdpTimeCreate(out, startTime, stopTime);
}

int parseMedia(SdpMedia** out, string_view f)
{
    const string_view mediaText = nextToken(f);
    const string_view portToken = nextToken(f);
    const string_view transportToken = nextToken(f);
    int32_t numPorts = 0;
    const size_t slash = portToken.find('/');
    if (slash != string_view::npos)
        numPorts = static_cast<int32_t>(decimal(portToken.substr(slash + 1)));
    const int32_t transport = sdp::transportTypeOf(transportToken);
    int rc = SdpMediaCreate(out, sdp::mediaTypeOf(mediaText), nullptr,
                            static_cast<uint16_t>(decimal(portToken.substr(0, slash))), numPorts, transport, nullptr);
    if (rc != 0)
        return rc;
    SdpMedia* m = *out;
    if ((rc = sdp::setText(&m->mediaText, mediaText)) == 0 && transport == SDP_TRANSPORT_OTHER)
        rc = sdp::setText(&m->transportText, transportToken);
    while (rc == 0) {
        const string_view format = nextToken(f);
        if (format.empty())
            break;
        char text[SDP_MAX_TEXT];  // a format token is shorter than the whole text
        const size_t n = format.size() < sizeof text - 1 ? format.size() : sizeof text - 1;
        std::memcpy(text, format.data(), n);
        text[n] = '\0';
        rc = SdpMediaAddFormat(m, text);
    }
    if (rc != 0) {
        SdpMediaDestroy(m);
        *out = nullptr;
    }
    return rc;
}

// a=rtpmap:<pt> <name>/<clock>[/<parameters>]
int parseRtpMap(SdpAttrRtpMap** out, string_view value)
{
    const int32_t pt = static_cast<int32_t>(decimal(nextToken(value)));
    value = skipBlanks(value);
    string_view name = value;
    string_view clock;
    string_view params;
    const size_t slash = value.find('/');
    if (slash != string_view::npos) {
        name = value.substr(0, slash);
        const string_view rest = value.substr(slash + 1);
        const size_t slash2 = rest.find('/');
        clock = rest.substr(0, slash2);
        if (slash2 != string_view::npos)
            params = rest.substr(slash2 + 1);
    }
    int rc = SdpAttrRtpMapCreate(out, pt, nullptr, clock.empty() ? 0 : static_cast<int32_t>(decimal(clock)), nullptr);
    if (rc == 0 && ((rc = sdp::setText(&(*out)->encodingName, name)) != 0 ||
                    (rc = sdp::setText(&(*out)->encodingParameters, params)) != 0)) {
        SdpAttrRtpMapDestroy(*out);
        *out = nullptr;
    }
    return rc;
}

// a=fmtp:<format> <value with inner blanks>
int parseFmtp(SdpAttrFmtp** out, string_view value)
{
    const string_view format = nextToken(value);
    value = skipBlanks(value);
    int rc = SdpAttrFmtpCreate(out, nullptr, nullptr);
    if (rc == 0 && ((rc = sdp::setText(&(*out)->format, format)) != 0 || (rc = sdp::setText(&(*out)->value, value)) != 0)) {
        SdpAttrFmtpDestroy(*out);
        *out = nullptr;
    }
    return rc;
}

int parseUnknown(SdpAttrUnknown** out, string_view name, bool hasValue, string_view value)
{
    int rc = SdpAttrUnknownCreate(out, nullptr, nullptr);
    if (rc == 0 && ((rc = sdp::setText(&(*out)->name, name)) != 0 ||
                    (hasValue && (rc = sdp::setText(&(*out)->value, skipBlanks(value))) != 0))) {
        SdpAttrUnknownDestroy(*out);
        *out = nullptr;
    }
    return rc;
}

// Splits an a= field into its trimmed name and what follows the first ":".
string_view attributeName(string_view f, bool* hasColon, string_view* value)
{
    const size_t colon = f.find(':');
    *hasColon = colon != string_view::npos;
    *value = *hasColon ? f.substr(colon + 1) : string_view();
    return trim(f.substr(0, colon));
}

int parseAttribute(SdpAttribute** out, string_view f)
{
    bool hasColon = false;
    string_view value;
    const string_view name = attributeName(f, &hasColon, &value);
    int rc = SdpAttributeCreateNew(out);
    if (rc != 0)
        return rc;
    SdpAttribute* item = *out;
    if (name == "rtpmap") {
        item->kind = SDP_ATTR_RTPMAP;
        rc = parseRtpMap(reinterpret_cast<SdpAttrRtpMap**>(&item->record), value);
    } else if (name == "fmtp") {
        item->kind = SDP_ATTR_FMTP;
        rc = parseFmtp(reinterpret_cast<SdpAttrFmtp**>(&item->record), value);
    } else {
        item->kind = SDP_ATTR_UNKNOWN;
        rc = parseUnknown(reinterpret_cast<SdpAttrUnknown**>(&item->record), name, hasColon, value);
    }
    if (rc != 0) {
        SdpAttributeDestroy(item);
        *out = nullptr;
    }
    return rc;
}

// The pre-checks: the fields after "=" and a line end after them.
int checkFields(const char* line, int minFields, int maxFields)
{
    if (!line)
        return SDP_ERR_INVALID;
    const char* eq = std::strchr(line, '=');
    if (!eq)
        return SDP_ERR_INVALID;
    string_view rest(eq + 1);
    const size_t end = rest.find_first_of("\r\n");
    if (end == string_view::npos)
        return SDP_ERR_INVALID;
    rest = rest.substr(0, end);
    int count = 0;
    while (!nextToken(rest).empty())
        ++count;
    return count >= minFields && (maxFields < 0 || count <= maxFields) ? 0 : SDP_ERR_INVALID;
}

}  // namespace

int SdpOriginParse(SdpOrigin** out, const char* line, int length)
{
    const int rc = begin(out, line);
    return rc != 0 ? rc : parseOrigin(out, fieldOf(lineOf(line, length)));
}

int SdpConnectionDataParse(SdpConnectionData** out, const char* line, int length)
{
    const int rc = begin(out, line);
    return rc != 0 ? rc : parseConnection(out, fieldOf(lineOf(line, length)));
}

int SdpBandwidthParse(SdpBandwidth** out, const char* line, int length)
{
    const int rc = begin(out, line);
    return rc != 0 ? rc : parseBandwidth(out, fieldOf(lineOf(line, length)));
}

int SdpTimeParse(SdpTime** out, const char* line, int length)
{
    const int rc = begin(out, line);
    return rc != 0 ? rc : parseTime(out, fieldOf(lineOf(line, length)));
}

int SdpMediaParse(SdpMedia** out, const char* line, int length)
{
    const int rc = begin(out, line);
    return rc != 0 ? rc : parseMedia(out, fieldOf(lineOf(line, length)));
}

int SdpAttributeParse(SdpAttribute** out, const char* line, int length)
{
    const int rc = begin(out, line);
    return rc != 0 ? rc : parseAttribute(out, fieldOf(lineOf(line, length)));
}

int SdpAttrRtpMapParse(SdpAttrRtpMap** out, const char* line, int length)
{
    int rc = begin(out, line);
    if (rc != 0)
        return rc;
    bool hasColon = false;
    string_view value;
    if (attributeName(fieldOf(lineOf(line, length)), &hasColon, &value) != "rtpmap")
        return SDP_ERR_INVALID;
    return parseRtpMap(out, value);
}

int SdpAttrFmtpParse(SdpAttrFmtp** out, const char* line, int length)
{
    int rc = begin(out, line);
    if (rc != 0)
        return rc;
    bool hasColon = false;
    string_view value;
    if (attributeName(fieldOf(lineOf(line, length)), &hasColon, &value) != "fmtp")
        return SDP_ERR_INVALID;
    return parseFmtp(out, value);
}

int SdpAttrUnknownParse(SdpAttrUnknown** out, const char* line, int length)
{
    int rc = begin(out, line);
    if (rc != 0)
        return rc;
    bool hasColon = false;
    string_view value;
    const string_view name = attributeName(fieldOf(lineOf(line, length)), &hasColon, &value);
    if (name == "rtpmap" || name == "fmtp")
        return SDP_ERR_INVALID;
    return parseUnknown(out, name, hasColon, value);
}

int SdpOriginParseCheck(const char* line)
{
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    return checkFields(line, 6, 6);
}

int SdpConnectionDataParseCheck(const char* line) { return checkFields(line, 3, 3); }

int SdpTimeParseCheck(const char* line)
{
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    return checkFields(line, 2, 2);
}

int SdpMediaParseCheck(const char* line)
{
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    int rc = checkFields(line, 4, -1);
    if (rc != 0)
        return rc;
    string_view f = fieldOf(string_view(line));
    nextToken(f);
    const string_view port = nextToken(f);
    const size_t slash = port.find('/');
    if (slash != string_view::npos && decimal(port.substr(slash + 1)) == 0)
        return SDP_ERR_INVALID;
    return 0;
}

int SdpAttrUnknownParseCheck(const char* line)
{
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    if (!line || !std::strchr(line, '='))
        return SDP_ERR_INVALID;
    return std::strpbrk(std::strchr(line, '='), "\r\n") ? 0 : SDP_ERR_INVALID;
}

int SdpAnnouncementParse(SdpAnnouncement** out, const char* text, uint32_t length)
{
    if (!out)
        return SDP_ERR_INVALID;
    *out = nullptr;
    if (!text || length == 0)
        return SDP_ERR_INVALID;
    if (!sdp::initialized())
        return SDP_ERR_NOT_INITIALIZED;
    const size_t size = strnlen(text, length);
    // The model holds texts below this size only; a longer one is refused whole rather than cut.
    if (size >= SDP_MAX_TEXT)
        return SDP_ERR_TOO_LONG;
    SdpAnnouncement* s = nullptr;
    int rc = SdpAnnouncementCreateNew(&s);
    if (rc != 0)
        return rc;
    const string_view all(text, size);
    SdpMedia* current = nullptr;
    size_t pos = 0;
    while (rc == 0) {
        while (pos < all.size() && isLineEnd(all[pos]))
            ++pos;
        if (pos >= all.size())
            break;
        size_t end = pos;
        while (end < all.size() && !isLineEnd(all[end]))
            ++end;
        const string_view line = all.substr(pos, end - pos);
        pos = end;
        string_view f = fieldOf(line);
        switch (line[0]) {
        case 'v':
            s->version = static_cast<int32_t>(decimal(nextToken(f)));
            break;
        case 'o':
            SdpOriginDestroy(s->origin);
            s->origin = nullptr;
            rc = parseOrigin(&s->origin, f);
            break;
        case 's': rc = sdp::setText(&s->sessionName, f); break;
        case 'u': rc = sdp::setText(&s->uri, f); break;
        case 'e': rc = sdp::setText(&s->email, f); break;
        case 'p': rc = sdp::setText(&s->phone, f); break;
        case 'i': rc = sdp::setText(current ? &current->information : &s->information, f); break;
        case 'c': {
            SdpConnectionData* c = nullptr;
            rc = parseConnection(&c, f);
            if (rc == 0) {
                SdpConnectionData** slot = current ? &current->connection : &s->connection;
                SdpConnectionDataDestroy(*slot);
                *slot = c;
            }
            break;
        }
        case 'b': {
            SdpBandwidth* b = nullptr;
            if ((rc = parseBandwidth(&b, f)) == 0)
                sdp::append(current ? &current->bandwidths : &s->bandwidths, b);
            break;
        }
        case 't': {
            SdpTime* t = nullptr;
            if ((rc = parseTime(&t, f)) == 0)
                sdp::append(&s->times, t);
            break;
        }
        case 'a': {
            SdpAttribute* a = nullptr;
            if ((rc = parseAttribute(&a, f)) == 0)
                sdp::append(current ? &current->attributes : &s->attributes, a);
            break;
        }
        case 'm': {
            SdpMedia* m = nullptr;
            if ((rc = parseMedia(&m, f)) == 0) {
                sdp::append(&s->media, m);
                current = m;
            }
            break;
        }
        default:
            break;  // r=, z=, k= and unknown lines are skipped
        }
    }
    if (rc != 0) {
        SdpAnnouncementDestroy(s);
        return rc;
    }
    *out = s;
    return 0;
}
