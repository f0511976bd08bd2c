#pragma once
// The SDP records and the module's internal helpers, shared by the model, parser, encoder and the
// offer/answer module.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Sdp.h"

struct SdpOrigin {
    char* userName;
    uint32_t sessionId;
    uint32_t version;
    int32_t networkType;
    int32_t addressType;
    char* address;
};

struct SdpConnectionData {
    int32_t networkType;
    int32_t addressType;
    char* address;
};

struct SdpBandwidth {
    SdpBandwidth* next;
    int32_t modifier;
    char* modifierText;
    int32_t value;
};

struct SdpTime {
    SdpTime* next;
    uint32_t start;
    uint32_t stop;
};

struct SdpMediaFormat {
    SdpMediaFormat* next;
    char* value;
};

struct SdpAttrRtpMap {
    int32_t payloadType;
    char* encodingName;
    int32_t clockRate;
    char* encodingParameters;
};

struct SdpAttrFmtp {
    char* format;
    char* value;
};

struct SdpAttrUnknown {
    char* name;
    char* value;
};

struct SdpAttribute {
    SdpAttribute* next;
    int32_t kind;
    void* record;  // SdpAttrUnknown, SdpAttrRtpMap or SdpAttrFmtp by kind
};

struct SdpMedia {
    SdpMedia* next;
    int32_t mediaType;
    char* mediaText;
    uint16_t port;
    int32_t numPorts;
    int32_t transport;
    char* transportText;
    SdpMediaFormat* formats;
    SdpConnectionData* connection;
    SdpBandwidth* bandwidths;
    SdpAttribute* attributes;
    char* information;
};

struct SdpAnnouncement {
    int32_t version;
    SdpOrigin* origin;
    char* sessionName;
    char* information;
    char* uri;
    char* email;
    char* phone;
    SdpConnectionData* connection;
    SdpBandwidth* bandwidths;
    SdpTime* times;
    SdpAttribute* attributes;
    SdpMedia* media;
};

namespace sdp {

bool initialized();
// Zeroed allocation from the module's pool; none when out of memory.
void* alloc(size_t size);
void release(void* block);
template <typename T>
T* make()
{
    return static_cast<T*>(alloc(sizeof(T)));
}
// Replaces `*slot` with a copy of `text` (an absent or empty text leaves the field absent).
int setText(char** slot, std::string_view text);
int setText(char** slot, const char* text);
bool textEqualI(const char* a, const char* b);
bool textEqual(const char* a, const char* b);

const char* mediaName(int32_t type);      // none outside 1..5
const char* transportName(int32_t type);  // none outside 1..4
int32_t mediaTypeOf(std::string_view text);
int32_t transportTypeOf(std::string_view text);

// Appends `item` at the end of the singly linked list at `head`.
template <typename T>
void append(T** head, T* item)
{
    while (*head)
        head = &(*head)->next;
    *head = item;
}
// Unlinks `item` from the list; false when it is not a member.
template <typename T>
bool unlink(T** head, T* item)
{
    for (; *head; head = &(*head)->next) {
        if (*head == item) {
            *head = item->next;
            item->next = nullptr;
            return true;
        }
    }
    return false;
}

// Encoder line writer: formats lines and places them into the caller's buffer.
struct Writer {
    char* buffer;
    uint32_t capacity;
    uint32_t used;
};
// Appends one line (CRLF added). `keepFree`: at least one byte must stay free after it.
int writeLine(Writer& w, bool keepFree, const char* format, ...) __attribute__((format(printf, 3, 4)));
int writeAttribute(Writer& w, const SdpAttribute* attribute);
int writeMedia(Writer& w, const SdpMedia* media);
int writeConnection(Writer& w, bool keepFree, const SdpConnectionData* connection);

}  // namespace sdp
