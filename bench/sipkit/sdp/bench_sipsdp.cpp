// Parse + encode of a typical offer (audio with several codecs and telephone-event, video, the
// application streams), and the answer built to it. Reports descriptions per second and heap
// allocations per description.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "Sdp.h"
#include "Sdphlp.h"

namespace {
std::atomic<long> g_allocs{0};
}
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t n)
{
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t a, size_t b)
{
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(a, b);
}
extern "C" void* realloc(void* p, size_t n)
{
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}

namespace {

const std::string kOffer =
    "v=0\r\no=orva 3344556677 1 IN IP4 192.0.2.10\r\ns=-\r\nc=IN IP4 192.0.2.10\r\nt=0 0\r\n"
    "m=audio 49170 RTP/AVP 96 97 99 0 101\r\na=rtpmap:96 opus/48000/2\r\n"
    "a=fmtp:96 maxplaybackrate=48000; stereo=1\r\na=rtpmap:97 LDALS/48000/2\r\na=rtpmap:99 SBADPCM/48000/2\r\n"
    "a=rtpmap:0 PCMU/8000\r\na=rtpmap:101 telephone-event/8000\r\na=fmtp:101 0-15\r\na=ptime:5\r\na=sendrecv\r\n"
    "m=video 49172 RTP/AVP 98\r\nb=AS:4000\r\na=rtpmap:98 H264/90000\r\na=fmtp:98 packetization-mode=1\r\n"
    "m=application 49174 TCP incom\r\na=setup:active\r\na=connection:new\r\n"
    "m=application 49176 TCP control\r\na=setup:active\r\na=connection:new\r\n";

const std::string kCapability =
    "v=0\r\no=- 1 1 IN IP4 198.51.100.20\r\ns=-\r\nc=IN IP4 198.51.100.20\r\nt=0 0\r\n"
    "m=audio 5004 RTP/AVP 96 0\r\na=rtpmap:96 opus/48000/2\r\na=sendrecv\r\n"
    "m=video 5006 RTP/AVP 98\r\na=rtpmap:98 H264/90000\r\n"
    "m=application 5008 TCP incom\r\na=setup:passive\r\nm=application 5010 TCP control\r\na=setup:passive\r\n";

bool ready()
{
    static const bool ok = SdpInitialize() == 0 && SdphlpInitialize(0) == 0;
    return ok;
}

void ParseEncodeOffer(benchmark::State& state)
{
    if (!ready()) {
        state.SkipWithError("SDP module did not start");
        return;
    }
    std::string out(2048, '\0');
    const long before = g_allocs.load();
    for (auto _ : state) {
        SdpAnnouncement* sdp = nullptr;
        if (SdpAnnouncementParse(&sdp, kOffer.data(), static_cast<uint32_t>(kOffer.size())) != 0) {
            state.SkipWithError("parse failed");
            break;
        }
        uint32_t length = static_cast<uint32_t>(out.size());
        if (SdpAnnouncementEncode(out.data(), &length, sdp) != 0 || length != kOffer.size())
            state.SkipWithError("encode failed");
        SdpAnnouncementDestroy(sdp);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs/offer"] =
        benchmark::Counter(static_cast<double>(g_allocs.load() - before) / static_cast<double>(state.iterations()));
}
BENCHMARK(ParseEncodeOffer);

void AnswerOffer(benchmark::State& state)
{
    if (!ready()) {
        state.SkipWithError("SDP module did not start");
        return;
    }
    SdpAnnouncement* cap = nullptr;
    SdpAnnouncementParse(&cap, kCapability.data(), static_cast<uint32_t>(kCapability.size()));
    std::string out(2048, '\0');
    const long before = g_allocs.load();
    for (auto _ : state) {
        SdphlpHandle session = nullptr;
        SdphlpCreateSession(&session, nullptr, nullptr);
        SdphlpSetCapabilityConfig(session, cap);
        SdpAnnouncement* offer = nullptr;
        SdpAnnouncementParse(&offer, kOffer.data(), static_cast<uint32_t>(kOffer.size()));
        SdpAnnouncement* answer = nullptr;
        if (SdphlpSetOffer(session, offer) != 0 || SdphlpCreateAnswer(session, 0) != 0 ||
            SdphlpGetAnswer(session, &answer) != 0) {
            state.SkipWithError("answer failed");
            break;
        }
        uint32_t length = static_cast<uint32_t>(out.size());
        SdpAnnouncementEncode(out.data(), &length, answer);
        SdpAnnouncementDestroy(answer);
        SdpAnnouncementDestroy(offer);
        SdphlpDeleteSession(session);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs/answer"] =
        benchmark::Counter(static_cast<double>(g_allocs.load() - before) / static_cast<double>(state.iterations()));
    SdpAnnouncementDestroy(cap);
}
BENCHMARK(AnswerOffer);

}  // namespace

BENCHMARK_MAIN();
