// Fuzz target: any bytes through the SDP parser, and every parsed description through the encoder,
// the clone and the comparison.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Sdp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = SdpInitialize() == 0;
    if (!ready || size == 0)
        return 0;
    // The parser is given the exact length: the text need not be terminated.
    std::vector<char> text(data, data + size);
    SdpAnnouncement* sdp = nullptr;
    if (SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size())) != 0)
        return 0;
    std::vector<char> out(2048);
    uint32_t length = static_cast<uint32_t>(out.size());
    SdpAnnouncementEncode(out.data(), &length, sdp);
    SdpAnnouncement* copy = nullptr;
    if (SdpAnnouncementClone(&copy, sdp) == 0) {
        if (!SdpAnnouncementIsEqual(sdp, copy))
            __builtin_trap();
        SdpAnnouncementDestroy(copy);
    }
    SdpAnnouncementIsValid(sdp);
    SdpAnnouncementDestroy(sdp);
    return 0;
}
