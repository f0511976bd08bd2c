// Fuzz target: a remote description from any bytes, taken as an offer to answer and as the answer
// to a local offer, each exchange committed; negotiation must never crash or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Sdp.h"
#include "Sdphlp.h"

namespace {

const std::string kCapability =
    "v=0\r\no=- 1 1 IN IP4 198.51.100.20\r\ns=-\r\nc=IN IP4 198.51.100.20\r\nt=0 0\r\n"
    "m=audio 5004 RTP/AVP 96 0 101\r\na=rtpmap:96 opus/48000/2\r\na=fmtp:96 stereo=1\r\n"
    "a=rtpmap:101 telephone-event/8000\r\na=sendrecv\r\nm=video 5006 RTP/AVP 98\r\na=rtpmap:98 H264/90000\r\n"
    "m=application 5008 TCP control\r\na=setup:passive\r\nm=audio 0 RTP/AVP 8\r\n";

SdpAnnouncement* capability()
{
    static SdpAnnouncement* cap = [] {
        SdpAnnouncement* c = nullptr;
        SdpAnnouncementParse(&c, kCapability.data(), static_cast<uint32_t>(kCapability.size()));
        return c;
    }();
    return cap;
}

void exchange(const SdpAnnouncement* remote, bool answerer, uint8_t controls)
{
    SdphlpHandle s = nullptr;
    if (SdphlpCreateSession(&s, nullptr, nullptr) != 0)
        return;
    for (int32_t type = 1000; type <= 1006; ++type) {
        const int32_t v = (controls >> (type - 1000)) & 1;
        SdphlpControl(s, type, &v, sizeof v);
    }
    SdphlpSetCapabilityConfig(s, capability());
    for (int round = 0; round < 2; ++round) {
        if (answerer) {
            if (SdphlpSetOffer(s, remote) == 0)
                SdphlpCreateAnswer(s, round);
        } else if (SdphlpCreateOffer(s, round) == 0) {
            SdphlpSetAnswer(s, remote);
        }
        SdpAnnouncement* out = nullptr;
        SdphlpGetAnswer(s, &out);
        SdpAnnouncementDestroy(out);
        if (SdphlpUpdateSession(s, 1) != 0)
            SdphlpUpdateSession(s, 0);
    }
    SdphlpDeleteSession(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = SdpInitialize() == 0 && SdphlpInitialize(0) == 0 && capability();
    if (!ready || size < 2)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    SdpAnnouncement* remote = nullptr;
    if (SdpAnnouncementParse(&remote, text.data(), static_cast<uint32_t>(text.size())) != 0)
        return 0;
    exchange(remote, true, data[0]);
    exchange(remote, false, data[0]);
    SdpAnnouncementDestroy(remote);
    return 0;
}
