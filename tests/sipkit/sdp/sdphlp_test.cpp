// Offer/answer sessions and negotiation, scenario by scenario.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Sdp.h"
#include "Sdphlp.h"

namespace {

SdpAnnouncement* parse(const std::string& text)
{
    SdpAnnouncement* sdp = nullptr;
    EXPECT_EQ(0, SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size()))) << text;
    return sdp;
}

std::string encode(const SdpAnnouncement* sdp)
{
    if (!sdp)
        return "(none)";
    std::vector<char> buffer(4096);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    EXPECT_EQ(0, SdpAnnouncementEncode(buffer.data(), &length, sdp));
    return std::string(buffer.data(), length);
}

// The m= lines and media-level lines of a description, without v=, o=, s=, c= and t= lines.
std::string mediaPart(const SdpAnnouncement* sdp)
{
    const std::string all = encode(sdp);
    const size_t m = all.find("m=");
    return m == std::string::npos ? "" : all.substr(m);
}

const std::string kHead = "v=0\r\no=- 10 1 IN IP4 192.0.2.1\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n";
const std::string kPeerHead = "v=0\r\no=peer 77 5 IN IP4 198.51.100.2\r\ns=-\r\nc=IN IP4 198.51.100.2\r\nt=0 0\r\n";

class SdphlpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, SdpInitialize());
        ASSERT_EQ(0, SdphlpInitialize(0));
        ASSERT_EQ(0, SdphlpCreateSession(&session_, nullptr, nullptr));
    }
    void TearDown() override
    {
        EXPECT_EQ(0, SdphlpCleanup());
        EXPECT_EQ(0, SdpGetLiveCount()) << "records leaked";
        EXPECT_EQ(0, SdpCleanup());
    }
    void setCapability(const std::string& text)
    {
        SdpAnnouncement* cap = parse(text);
        ASSERT_EQ(0, SdphlpSetCapabilityConfig(session_, cap));
        SdpAnnouncementDestroy(cap);
    }
    int setAnswer(const std::string& text)
    {
        SdpAnnouncement* answer = parse(text);
        const int rc = SdphlpSetAnswer(session_, answer);
        SdpAnnouncementDestroy(answer);
        return rc;
    }
    int setOffer(const std::string& text)
    {
        SdpAnnouncement* offer = parse(text);
        const int rc = SdphlpSetOffer(session_, offer);
        SdpAnnouncementDestroy(offer);
        return rc;
    }
    std::string offer()
    {
        SdpAnnouncement* sdp = nullptr;
        EXPECT_EQ(0, SdphlpGetOffer(session_, &sdp));
        const std::string text = encode(sdp);
        SdpAnnouncementDestroy(sdp);
        return text;
    }
    std::string answer()
    {
        SdpAnnouncement* sdp = nullptr;
        EXPECT_EQ(0, SdphlpGetAnswer(session_, &sdp));
        const std::string text = encode(sdp);
        SdpAnnouncementDestroy(sdp);
        return text;
    }
    // The negotiated descriptions of the last commit (local, remote).
    std::pair<std::string, std::string> negotiated()
    {
        SdpAnnouncement *local = nullptr, *remote = nullptr;
        EXPECT_EQ(0, SdphlpGetCurrentSdp(session_, 1, &local, &remote, nullptr, nullptr));
        auto result = std::make_pair(mediaPart(local), mediaPart(remote));
        SdpAnnouncementDestroy(local);
        SdpAnnouncementDestroy(remote);
        return result;
    }
    int32_t state()
    {
        int32_t s = -1;
        EXPECT_EQ(0, SdphlpGetNegotiationState(session_, &s));
        return s;
    }
    void control(int32_t type, int32_t value) { ASSERT_EQ(0, SdphlpControl(session_, type, &value, sizeof value)); }
    SdphlpHandle session_ = nullptr;
};

// ---- local offers ----

TEST_F(SdphlpTest, LocalOfferRunsThroughTheStates)
{
    setCapability(kHead + "m=audio 5004 RTP/AVP 0 8\r\na=sendrecv\r\n");
    EXPECT_EQ(SDPHLP_STATE_IDLE, state());
    ASSERT_EQ(0, SdphlpCreateOffer(session_, 0));
    EXPECT_EQ(SDPHLP_STATE_OFFER_MADE, state());
    // The first offer gets a fresh session id; the media carry their own direction.
    const std::string made = offer();
    EXPECT_EQ(std::string::npos, made.find("o=- 10 1 "));
    EXPECT_NE(std::string::npos, made.find("m=audio 5004 RTP/AVP 0 8\r\na=sendrecv\r\n"));
    EXPECT_EQ(SDPHLP_ERR_WRONG_STATE, SdphlpUpdateSession(session_, 1));  // no answer yet
    EXPECT_EQ(SDPHLP_STATE_OFFER_MADE, state());
    EXPECT_EQ(0, setAnswer(kPeerHead + "m=audio 6000 RTP/AVP 8\r\n"));
    EXPECT_EQ(SDPHLP_STATE_ANSWER_RECEIVED, state());
    ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
    EXPECT_EQ(SDPHLP_STATE_IDLE, state());
    const auto [local, remote] = negotiated();
    EXPECT_EQ("m=audio 5004 RTP/AVP 8\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:8 PCMA/8000/1\r\na=sendrecv\r\n", local);
    EXPECT_EQ("m=audio 6000 RTP/AVP 8\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:8 PCMA/8000/1\r\n", remote);

    // A re-offer without a capability change steps the version of the previous offer.
    ASSERT_EQ(0, SdphlpCreateOffer(session_, 1));
    SdpAnnouncement *again = nullptr, *before = nullptr;
    ASSERT_EQ(0, SdphlpGetOffer(session_, &again));
    ASSERT_EQ(0, SdphlpGetCurrentSdp(session_, 0, &before, nullptr, nullptr, nullptr));
    EXPECT_EQ(SdpOriginGetVersion(SdpAnnouncementGetOrigin(before)) + 1, SdpOriginGetVersion(SdpAnnouncementGetOrigin(again)));
    EXPECT_EQ(SdpOriginGetSessionId(SdpAnnouncementGetOrigin(before)), SdpOriginGetSessionId(SdpAnnouncementGetOrigin(again)));
    SdpAnnouncementDestroy(again);
    SdpAnnouncementDestroy(before);
    ASSERT_EQ(0, SdphlpUpdateSession(session_, 0));  // discarded
    EXPECT_EQ(SDPHLP_STATE_IDLE, state());
}

TEST_F(SdphlpTest, OfferAfterTheCapabilityLostAMediaKeepsItsLine)
{
    setCapability(kHead + "m=audio 5004 RTP/AVP 0\r\nm=video 5006 RTP/AVP 31\r\nm=application 5008 udp control\r\n");
    ASSERT_EQ(0, SdphlpCreateOffer(session_, 0));
    ASSERT_EQ(0, setAnswer(kPeerHead + "m=audio 6000 RTP/AVP 0\r\nm=video 6002 RTP/AVP 31\r\nm=application 6004 udp control\r\n"));
    ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
    setCapability(kHead + "m=audio 5004 RTP/AVP 0\r\nm=video 5006 RTP/AVP 31\r\n");
    ASSERT_EQ(0, SdphlpCreateOffer(session_, 0));
    const std::string made = offer();
    EXPECT_NE(std::string::npos, made.find("m=audio 5004 RTP/AVP 0\r\n"));
    EXPECT_NE(std::string::npos, made.find("m=video 5006 RTP/AVP 31\r\n"));
    EXPECT_NE(std::string::npos, made.find("m=application 0 udp control\r\n"));
}

// Port-0 media in offers and answers, by control.
TEST_F(SdphlpTest, PortZeroMediaByControl)
{
    const std::string cap = kHead + "m=audio 5004 RTP/AVP 0\r\nm=video 0 RTP/AVP 31\r\nb=AS:64\r\na=recvonly\r\n";
    struct Case {
        int32_t drop;
        int32_t mlineOnly;
        const char* video;
    } const cases[] = {
        {0, 0, "m=video 0 RTP/AVP 31\r\nb=AS:64\r\na=recvonly\r\n"},
        {0, 1, "m=video 0 RTP/AVP 31\r\n"},
        {1, 1, ""},
    };
    for (const Case& c : cases) {
        SdphlpHandle s = nullptr;
        ASSERT_EQ(0, SdphlpCreateSession(&s, nullptr, nullptr));
        std::swap(s, session_);
        control(SDPHLP_CTRL_OFFER_DROP_PORT0, c.drop);
        control(SDPHLP_CTRL_PORT0_MLINE_ONLY, c.mlineOnly);
        setCapability(cap);
        ASSERT_EQ(0, SdphlpCreateOffer(session_, 0));
        const std::string made = offer();
        const size_t video = made.find("m=video");
        EXPECT_EQ(c.video, video == std::string::npos ? std::string() : made.substr(video)) << c.drop << c.mlineOnly;
        std::swap(s, session_);
        SdphlpDeleteSession(s);
    }
}

// ---- taking a remote answer ----

struct AnswerCase {
    const char* name;
    const char* offered;  // media lines of the local capability
    const char* answer;   // media lines of the remote answer
    int result;
    const char* negotiatedLocal;
    const char* negotiatedRemote;
};

TEST_F(SdphlpTest, RemoteAnswerScenarios)
{
    const AnswerCase cases[] = {
        {"missing video gets a placeholder", "m=audio 5004 RTP/AVP 0 8\r\nm=video 5006 RTP/AVP 31\r\n",
         "m=audio 6000 RTP/AVP 0\r\n", SDPHLP_ANSWER_REORDERED,
         "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:0 PCMU/8000/1\r\nm=video 0 RTP/AVP 31\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\nm=video 0 RTP/AVP\r\n"},
        {"reverse order is paired", "m=audio 5004 RTP/AVP 0\r\nm=video 5006 RTP/AVP 31\r\n",
         "m=video 6002 RTP/AVP 31\r\nm=audio 6000 RTP/AVP 0\r\n", SDPHLP_ANSWER_REORDERED,
         "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:0 PCMU/8000/1\r\n"
         "m=video 5006 RTP/AVP 31\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:31 H261/90000\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\n"
         "m=video 6002 RTP/AVP 31\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:31 H261/90000\r\n"},
        {"offered order", "m=audio 5004 RTP/AVP 0\r\nm=video 5006 RTP/AVP 31\r\n",
         "m=audio 6000 RTP/AVP 0\r\nm=video 6002 RTP/AVP 31\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:0 PCMU/8000/1\r\n"
         "m=video 5006 RTP/AVP 31\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:31 H261/90000\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\n"
         "m=video 6002 RTP/AVP 31\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:31 H261/90000\r\n"},
        {"answer port 0 whatever its formats", "m=audio 5004 RTP/AVP 0\r\n", "m=audio 0 RTP/AVP 99\r\n", 0,
         "m=audio 0 RTP/AVP 0\r\n", "m=audio 0 RTP/AVP 99\r\n"},
        {"no shared codec", "m=audio 5004 RTP/AVP 0\r\n", "m=audio 6000 RTP/AVP 8\r\n",
         static_cast<int>(SDPHLP_ERR_INVALID), "", ""},
        {"dynamic type renumbered by the peer", "m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 opus/48000/2\r\n",
         "m=audio 6000 RTP/AVP 111\r\na=rtpmap:111 OPUS/48000/2\r\na=fmtp:111 stereo=1\r\n", 0,
         "m=audio 5004 RTP/AVP 96\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:96 opus/48000/2\r\n",
         "m=audio 6000 RTP/AVP 111\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:111 OPUS/48000/2\r\na=fmtp:111 stereo=1\r\n"},
        {"sendonly answer makes the offer side recvonly", "m=audio 5004 RTP/AVP 0\r\n",
         "m=audio 6000 RTP/AVP 0\r\na=sendonly\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:0 PCMU/8000/1\r\na=recvonly\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\na=sendonly\r\n"},
        {"application stream matched by its format text", "m=application 5010 TCP control\r\na=setup:active\r\n",
         "m=application 6010 tcp CONTROL\r\na=setup:passive\r\na=connection:new\r\n", 0,
         "m=application 5010 TCP control\r\nc=IN IP4 192.0.2.1\r\na=setup:active\r\n",
         "m=application 6010 TCP CONTROL\r\nc=IN IP4 198.51.100.2\r\na=setup:passive\r\na=connection:new\r\n"},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        SdphlpHandle s = nullptr;
        ASSERT_EQ(0, SdphlpCreateSession(&s, nullptr, nullptr));
        std::swap(s, session_);
        setCapability(kHead + c.offered);
        ASSERT_EQ(0, SdphlpCreateOffer(session_, 0));
        EXPECT_EQ(c.result, setAnswer(kPeerHead + c.answer));
        if (c.result >= 0) {
            ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
            const auto [local, remote] = negotiated();
            EXPECT_EQ(c.negotiatedLocal, local);
            EXPECT_EQ(c.negotiatedRemote, remote);
        } else {
            EXPECT_EQ(SDPHLP_STATE_OFFER_MADE, state());  // the offer stays
        }
        std::swap(s, session_);
        SdphlpDeleteSession(s);
    }
}

// ---- building a local answer ----
// Rejected media are copied with port 0 and without a connection line of their own.

struct OfferCase {
    const char* name;
    const char* capability;  // media lines
    const char* offered;     // the remote offer's lines after v=, o=, s=
    int32_t control1006;
    const char* answerMedia;  // media part of the answer sent
    const char* negotiatedRemote;
};

TEST_F(SdphlpTest, LocalAnswerScenarios)
{
    const OfferCase cases[] = {
        {"static type without rtpmap", "m=audio 5004 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\n"},
        {"dynamic type renumbered", "m=audio 5004 RTP/AVP 96 101\r\na=rtpmap:96 opus/48000/2\r\na=rtpmap:101 telephone-event/8000\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 111 0\r\na=rtpmap:111 opus/48000/2\r\n", 0,
         "m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 opus/48000/2\r\n",
         "m=audio 6000 RTP/AVP 111\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:111 opus/48000/2\r\n"},
        {"no channel count is one channel", "m=audio 5004 RTP/AVP 97\r\na=rtpmap:97 L16/48000/1\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 98\r\na=rtpmap:98 L16/48000\r\n", 0,
         "m=audio 5004 RTP/AVP 97\r\na=rtpmap:97 L16/48000/1\r\n",
         "m=audio 6000 RTP/AVP 98\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:98 L16/48000\r\n"},
        {"recvonly against sendrecv", "m=audio 5004 RTP/AVP 0\r\na=sendrecv\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\na=recvonly\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\na=sendonly\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\na=recvonly\r\n"},
        {"recvonly against recvonly", "m=audio 5004 RTP/AVP 0\r\na=recvonly\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\na=recvonly\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\na=inactive\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\na=inactive\r\n"},
        {"hold address answered inactive", "m=audio 5004 RTP/AVP 0\r\nm=video 5006 RTP/AVP 31\r\n",
         "c=IN IP4 0.0.0.0\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\nm=video 6002 RTP/AVP 31\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\na=inactive\r\nm=video 5006 RTP/AVP 31\r\na=inactive\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:0 PCMU/8000/1\r\n"
         "m=video 6002 RTP/AVP 31\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:31 H261/90000\r\n"},
        {"media type the capability lacks", "m=audio 5004 RTP/AVP 0\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=video 6002 RTP/AVP 31 34\r\nm=audio 6000 RTP/AVP 0\r\n", 0,
         "m=video 0 RTP/AVP 31\r\nm=audio 5004 RTP/AVP 0\r\n",
         "m=video 0 RTP/AVP 31 34\r\n"
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\n"},
        {"port-0 offer without formats", "m=audio 5004 RTP/AVP 0\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\nm=video 0 RTP/AVP\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\nm=video 0 RTP/AVP 127\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\nm=video 0 RTP/AVP\r\n"},
        {"port-0 offer without formats, no placeholder", "m=audio 5004 RTP/AVP 0\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\nm=video 0 RTP/AVP\r\n", 1,
         "m=audio 5004 RTP/AVP 0\r\nm=video 0 RTP/AVP\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\nm=video 0 RTP/AVP\r\n"},
        {"two audio offers, one capability", "m=audio 5004 RTP/AVP 0\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\nm=audio 6002 RTP/AVP 0\r\n", 0,
         "m=audio 5004 RTP/AVP 0\r\nm=audio 0 RTP/AVP 0\r\n",
         "m=audio 6000 RTP/AVP 0\r\nc=IN IP4 198.51.100.2\r\na=rtpmap:0 PCMU/8000/1\r\n"
         "m=audio 0 RTP/AVP 0\r\n"},
        {"application streams keep their attributes",
         "m=application 5010 TCP control\r\na=setup:passive\r\na=connection:new\r\na=sendrecv\r\n",
         "c=IN IP4 198.51.100.2\r\nt=0 0\r\nm=application 6010 TCP control\r\na=setup:active\r\n", 0,
         "m=application 5010 TCP control\r\na=sendrecv\r\na=setup:passive\r\na=connection:new\r\n",
         "m=application 6010 TCP control\r\nc=IN IP4 198.51.100.2\r\na=setup:active\r\n"},
        {"IPv6 offer needs an IPv6 capability", "m=audio 5004 RTP/AVP 0\r\n",
         "c=IN IP6 2001:db8::2\r\nt=0 0\r\nm=audio 6000 RTP/AVP 0\r\n", 0, "m=audio 0 RTP/AVP 0\r\n",
         "m=audio 0 RTP/AVP 0\r\n"},
    };
    for (const OfferCase& c : cases) {
        SCOPED_TRACE(c.name);
        SdphlpHandle s = nullptr;
        ASSERT_EQ(0, SdphlpCreateSession(&s, nullptr, nullptr));
        std::swap(s, session_);
        control(SDPHLP_CTRL_NO_PLACEHOLDER_FORMAT, c.control1006);
        setCapability(kHead + c.capability);
        ASSERT_EQ(0, setOffer("v=0\r\no=peer 77 5 IN IP4 198.51.100.2\r\ns=-\r\n" + std::string(c.offered)));
        EXPECT_EQ(SDPHLP_STATE_OFFER_RECEIVED, state());
        ASSERT_EQ(0, SdphlpCreateAnswer(session_, 0));
        EXPECT_EQ(SDPHLP_STATE_ANSWER_MADE, state());
        SdpAnnouncement* made = parse(answer());
        EXPECT_EQ(c.answerMedia, mediaPart(made));
        SdpAnnouncementDestroy(made);
        ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
        EXPECT_EQ(c.negotiatedRemote, negotiated().second);
        std::swap(s, session_);
        SdphlpDeleteSession(s);
    }
}

TEST_F(SdphlpTest, RepeatedOfferGetsThePreviousAnswer)
{
    setCapability(kHead + "m=audio 5004 RTP/AVP 0\r\n");
    const std::string remote = kPeerHead + "m=audio 6000 RTP/AVP 0 8\r\n";
    ASSERT_EQ(0, setOffer(remote));
    ASSERT_EQ(0, SdphlpCreateAnswer(session_, 0));
    const std::string first = answer();
    ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
    ASSERT_EQ(0, setOffer(remote));
    ASSERT_EQ(0, SdphlpCreateAnswer(session_, 0));
    EXPECT_EQ(first, answer());
    ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
    ASSERT_EQ(0, setOffer(remote));
    ASSERT_EQ(0, SdphlpCreateAnswer(session_, 1));
    SdpAnnouncement* a = parse(answer());
    SdpAnnouncement* f = parse(first);
    EXPECT_EQ(SdpOriginGetVersion(SdpAnnouncementGetOrigin(f)) + 1, SdpOriginGetVersion(SdpAnnouncementGetOrigin(a)));
    EXPECT_EQ(mediaPart(f), mediaPart(a));
    SdpAnnouncementDestroy(a);
    SdpAnnouncementDestroy(f);
}

TEST_F(SdphlpTest, KeepNegotiatedOfferAfterCommit)
{
    control(SDPHLP_CTRL_KEEP_NEGOTIATED_OFFER, 1);
    setCapability(kHead + "m=audio 5004 RTP/AVP 0 8\r\n");
    ASSERT_EQ(0, SdphlpCreateOffer(session_, 0));
    ASSERT_EQ(0, setAnswer(kPeerHead + "m=audio 6000 RTP/AVP 8\r\n"));
    ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
    SdpAnnouncement *exchanged = nullptr, *negotiatedLocal = nullptr;
    int localOffer = 0;
    ASSERT_EQ(0, SdphlpGetCurrentSdp2(session_, 0, &exchanged, nullptr, nullptr, nullptr, &localOffer));
    ASSERT_EQ(0, SdphlpGetCurrentSdp(session_, 1, &negotiatedLocal, nullptr, nullptr, nullptr));
    EXPECT_EQ(1, localOffer);
    EXPECT_EQ(encode(negotiatedLocal), encode(exchanged));
    SdpAnnouncementDestroy(exchanged);
    SdpAnnouncementDestroy(negotiatedLocal);
}

TEST_F(SdphlpTest, FormatCallbacksDecide)
{
    struct Seen {
        int calls = 0;
    } seen;
    SdphlpCallbacks callbacks{
        [](const SdphlpFormatInfo*, const SdphlpFormatInfo* answer, int* accept, SdpAttrFmtp**, void* user) {
            ++static_cast<Seen*>(user)->calls;
            *accept = std::string(answer->format) != "0";  // refuse PCMU
            return 0;
        },
        [](const SdphlpFormatInfo* offer, const SdphlpFormatInfo*, int* accept, SdpAttrFmtp** answerFmtp, SdpAttrFmtp**,
           void* user) {
            ++static_cast<Seen*>(user)->calls;
            *accept = 1;
            if (offer->rtpmap && std::string(SdpAttrRtpMapGetEncodingName(offer->rtpmap)) == "opus")
                SdpAttrFmtpCreate(answerFmtp, "96", "stereo=1");
            return 0;
        }};
    SdphlpHandle s = nullptr;
    ASSERT_EQ(0, SdphlpCreateSession(&s, &callbacks, &seen));
    SdpAnnouncement* cap = parse(kHead + "m=audio 5004 RTP/AVP 96 0 8\r\na=rtpmap:96 opus/48000/2\r\n");
    ASSERT_EQ(0, SdphlpSetCapabilityConfig(s, cap));
    ASSERT_EQ(0, SdphlpCreateOffer(s, 0));
    SdpAnnouncement* ans = parse(kPeerHead + "m=audio 6000 RTP/AVP 0 8\r\n");
    EXPECT_EQ(0, SdphlpSetAnswer(s, ans));
    EXPECT_EQ(2, seen.calls);
    ASSERT_EQ(0, SdphlpUpdateSession(s, 1));
    SdpAnnouncement* local = nullptr;
    ASSERT_EQ(0, SdphlpGetCurrentSdp(s, 1, &local, nullptr, nullptr, nullptr));
    EXPECT_EQ("m=audio 5004 RTP/AVP 8\r\nc=IN IP4 192.0.2.1\r\na=rtpmap:8 PCMA/8000/1\r\n", mediaPart(local));
    SdpAnnouncementDestroy(local);

    SdpAnnouncement* remoteOffer = parse(kPeerHead + "m=audio 6000 RTP/AVP 120\r\na=rtpmap:120 opus/48000/2\r\n");
    ASSERT_EQ(0, SdphlpSetOffer(s, remoteOffer));
    ASSERT_EQ(0, SdphlpCreateAnswer(s, 0));
    SdpAnnouncement* made = nullptr;
    ASSERT_EQ(0, SdphlpGetAnswer(s, &made));
    EXPECT_EQ("m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 opus/48000/2\r\na=fmtp:96 stereo=1\r\n", mediaPart(made));
    for (SdpAnnouncement* x : {cap, ans, remoteOffer, made})
        SdpAnnouncementDestroy(x);
    SdphlpDeleteSession(s);
}

// ---- module, capability and utilities ----

TEST_F(SdphlpTest, SessionsAndCapabilities)
{
    std::vector<SdphlpHandle> handles;
    for (int i = 0; i < 9; ++i) {  // one more than the first block
        SdphlpHandle h = nullptr;
        ASSERT_EQ(0, SdphlpCreateSession(&h, nullptr, nullptr));
        handles.push_back(h);
    }
    for (SdphlpHandle h : handles)
        EXPECT_EQ(0, SdphlpDeleteSession(h));
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpDeleteSession(handles[0]));
    EXPECT_EQ(SDPHLP_ERR_ALREADY_INITIALIZED, SdphlpInitialize(0));

    setCapability(kHead + "m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 L16/48000/2\r\n");
    SdpAnnouncement* other = parse(kHead + "m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 opus/48000/2\r\n");
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpSetCapabilityConfig(session_, other));
    SdpAnnouncement* kept = nullptr;
    ASSERT_EQ(0, SdphlpGetCapabilityConfig(session_, &kept));
    EXPECT_NE(std::string::npos, encode(kept).find("L16"));
    SdpAnnouncement* unknownStatic = parse(kHead + "m=audio 5004 RTP/AVP 2\r\n");  // 2 is not in the static map
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpSetCapabilityConfig(session_, unknownStatic));
    SdphlpHandle copy = nullptr;
    ASSERT_EQ(0, SdphlpCloneSession(&copy, session_));
    SdpAttribute* map = nullptr;
    ASSERT_EQ(0, SdphlpGetLocalCodecMap(copy, &map));
    EXPECT_STREQ("L16", SdpAttrRtpMapGetEncodingName(SdpAttributeFindRtpMapByInt(map, 96)));
    int32_t value = 1;
    EXPECT_EQ(SDPHLP_ERR_TOO_SMALL, SdphlpControl(copy, 1001, &value, 2));
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpControl(copy, 1007, &value, 4));
    EXPECT_EQ(0, SdphlpControl(copy, 1001, nullptr, 0));
    SdpAnnouncement* capability = nullptr;
    ASSERT_EQ(0, SdphlpCreateCapability(&capability, kept));
    EXPECT_EQ(0, SdpMediaGetPort(SdpAnnouncementGetHeadMedia(capability)));
    for (SdpAnnouncement* x : {other, kept, unknownStatic, capability})
        SdpAnnouncementDestroy(x);
    SdpAttributeDestroy(map);
    SdphlpDeleteSession(copy);
}

// Controls 1000 and 1005: where the connection lines of an answer and of the negotiated
// descriptions go.
TEST_F(SdphlpTest, ConnectionLineControls)
{
    struct Case {
        int32_t ownConnection;
        int32_t keepSession;
        const char* answerMedia;
        const char* negotiatedLocal;
    } const cases[] = {
        {0, 0, "m=audio 5004 RTP/AVP 0\r\n", "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\n"},
        {1, 0, "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\n", "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\n"},
        {0, 1, "m=audio 5004 RTP/AVP 0\r\n", "m=audio 5004 RTP/AVP 0\r\nc=IN IP4 192.0.2.1\r\n"},
    };
    for (const Case& c : cases) {
        SdphlpHandle s = nullptr;
        ASSERT_EQ(0, SdphlpCreateSession(&s, nullptr, nullptr));
        std::swap(s, session_);
        control(SDPHLP_CTRL_ANSWER_OWN_CONNECTION, c.ownConnection);
        control(SDPHLP_CTRL_KEEP_SESSION_CONNECTION, c.keepSession);
        setCapability(kHead + "m=audio 5004 RTP/AVP 0\r\n");
        ASSERT_EQ(0, setOffer(kPeerHead + "m=audio 6000 RTP/AVP 0\r\n"));
        ASSERT_EQ(0, SdphlpCreateAnswer(session_, 0));
        SdpAnnouncement* made = parse(answer());
        EXPECT_EQ(c.answerMedia, mediaPart(made));
        SdpAnnouncementDestroy(made);
        ASSERT_EQ(0, SdphlpUpdateSession(session_, 1));
        SdpAnnouncement* local = nullptr;
        ASSERT_EQ(0, SdphlpGetCurrentSdp(session_, 1, &local, nullptr, nullptr, nullptr));
        // The negotiated side keeps the session c= line only with 1005.
        EXPECT_EQ(c.keepSession != 0, SdpAnnouncementGetConnectionData(local) != nullptr);
        const std::string media = mediaPart(local);
        EXPECT_EQ(c.negotiatedLocal, media.substr(0, media.find("a=")));
        SdpAnnouncementDestroy(local);
        std::swap(s, session_);
        SdphlpDeleteSession(s);
    }
}

TEST_F(SdphlpTest, CodecMapsAndMediaUtilities)
{
    SdpAttribute* map = nullptr;
    SdpAttrRtpMap *opus = nullptr, *other = nullptr;
    ASSERT_EQ(0, SdpAttrRtpMapCreate(&opus, 96, "opus", 48000, "2"));
    ASSERT_EQ(0, SdpAttrRtpMapCreate(&other, 96, "L16", 48000, "2"));
    EXPECT_EQ(0, SdphlpCodecMapAdd(&map, opus));
    EXPECT_EQ(0, SdphlpCodecMapAdd(&map, opus));  // same codec again
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpCodecMapAdd(&map, other));
    EXPECT_EQ(96, SdpAttrRtpMapGetPayloadType(SdphlpCodecMapFindByCodec(map, opus)));
    SdpAttribute* copy = nullptr;
    ASSERT_EQ(0, SdphlpCodecMapCopy(&copy, map));
    EXPECT_EQ(1, SdphlpCodecMapRemove(&copy, 96));
    EXPECT_EQ(nullptr, SdphlpCodecMapFind(copy, 96));
    EXPECT_NE(nullptr, SdphlpCodecMapFind(map, 96));
    SdphlpCodecMapClear(&map);
    EXPECT_EQ(nullptr, map);

    SdpAttribute* statics = nullptr;
    ASSERT_EQ(0, SdphlpGetStaticCodecMap(&statics));
    EXPECT_STREQ("H263", SdpAttrRtpMapGetEncodingName(SdpAttributeFindRtpMapByInt(statics, 34)));
    EXPECT_EQ(nullptr, SdpAttrRtpMapGetEncodingParameters(SdpAttributeFindRtpMapByInt(statics, 34)));
    SdpAttributeDestroy(statics);
    SdpAttribute* extra = nullptr;
    ASSERT_EQ(0, SdpAttributeAddRtpMap(&extra, other));
    EXPECT_EQ(0, SdphlpSetStaticCodecMap(extra));
    SdpAnnouncement* cap = parse(kHead + "m=audio 5004 RTP/AVP 96\r\n");  // 96 now from the static map
    EXPECT_EQ(0, SdphlpSetCapabilityConfig(session_, cap));
    SdpAnnouncementDestroy(cap);
    SdpAttributeDestroy(extra);

    SdpMedia* m = nullptr;
    ASSERT_EQ(0, SdpMediaCreate(&m, SDP_MEDIA_AUDIO, nullptr, 5004, 0, SDP_TRANSPORT_RTP_AVP, nullptr));
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpMediaAddFormatWithAttr(m, "96", nullptr, nullptr));
    SdpAttrFmtp* fmtp = nullptr;
    ASSERT_EQ(0, SdpAttrFmtpCreate(&fmtp, "96", "stereo=1"));
    EXPECT_EQ(0, SdphlpMediaAddFormatWithAttr(m, "96", opus, fmtp));
    EXPECT_EQ(0, SdphlpMediaAddFormatWithAttr(m, "96", opus, fmtp));  // already there
    char buffer[256];
    uint32_t length = sizeof buffer;
    ASSERT_EQ(0, SdpMediaEncode(buffer, &length, m));
    EXPECT_EQ("m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 opus/48000/2\r\na=fmtp:96 stereo=1\r\n", std::string(buffer, length));
    SdpMedia* moved = nullptr;
    ASSERT_EQ(0, SdpMediaItemClone(&moved, m));
    SdpMediaSetPort(moved, 0);
    SdphlpMediaChange change{};
    ASSERT_EQ(0, SdphlpMediaCompare(nullptr, m, nullptr, moved, &change));
    EXPECT_EQ(1, change.any);
    EXPECT_EQ(1, change.port);
    EXPECT_EQ(0, change.formats);
    EXPECT_EQ(0, change.mediaType);
    SdphlpMediaEmpty(moved);
    EXPECT_EQ(nullptr, SdpMediaGetHeadFormat(moved));
    EXPECT_EQ(nullptr, SdpMediaGetHeadAttribute(moved));
    SdpMediaDestroy(moved);
    SdpMediaDestroy(m);
    SdpAttrFmtpDestroy(fmtp);
    SdpAttrRtpMapDestroy(opus);
}

TEST_F(SdphlpTest, HoldDetection)
{
    struct Case {
        const char* text;
        int hold;
    } const cases[] = {
        {"c=IN IP4 0.0.0.0\r\nt=0 0\r\nm=audio 1 RTP/AVP 0\r\na=sendrecv\r\n", 1},
        {"c=IN IP4 1.2.3.4\r\nt=0 0\r\nm=audio 1 RTP/AVP 0\r\nc=IN IP4 0.0.0.0\r\n", 1},
        {"c=IN IP6 ::\r\nt=0 0\r\nm=audio 1 RTP/AVP 0\r\n", 0},
        {"c=IN IP6 ::\r\nt=0 0\r\na=sendonly\r\nm=audio 1 RTP/AVP 0\r\n", 1},
        {"c=IN IP6 ::\r\nt=0 0\r\nm=audio 1 RTP/AVP 0\r\na=inactive\r\n", 1},
        {"c=IN IP4 1.2.3.4\r\nt=0 0\r\nm=audio 1 RTP/AVP 0\r\na=recvonly\r\n", 0},
    };
    for (const Case& c : cases) {
        SdpAnnouncement* sdp = parse("v=0\r\n" + std::string(c.text));
        EXPECT_EQ(c.hold, SdphlpMediaIsOnHold(sdp, SdpAnnouncementGetHeadMedia(sdp))) << c.text;
        SdpAnnouncementDestroy(sdp);
    }
}

TEST_F(SdphlpTest, DirectionAttributes)
{
    SdpAnnouncement* sdp = parse(kHead + "a=sendonly\r\nm=audio 1 RTP/AVP 0\r\n");
    SdpMedia* m = SdpAnnouncementGetHeadMedia(sdp);
    EXPECT_EQ(SDPHLP_MODE_SENDONLY, SdphlpMediaGetToolMode(sdp, m));
    ASSERT_EQ(0, SdphlpMediaSetToolMode(m, SDPHLP_MODE_RECVONLY));
    EXPECT_EQ(SDPHLP_MODE_RECVONLY, SdphlpMediaGetToolMode(sdp, m));
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpAnnouncementSetToolMode(sdp, 5));
    EXPECT_EQ(SDPHLP_MODE_NONE, SdphlpAnnouncementGetToolMode(sdp));  // removed before the refusal
    SdpAnnouncementDestroy(sdp);
}

TEST_F(SdphlpTest, CompareCodecCountsChannels)
{
    struct Case {
        const char* a;
        const char* b;
        int equal;
    } const cases[] = {
        {"2", "02", 1}, {nullptr, "1", 1}, {"0", nullptr, 1}, {"-2", "1", 1}, {"x", "1", 1}, {"2", "1", 0},
    };
    for (const Case& c : cases) {
        SdpAttrRtpMap *a = nullptr, *b = nullptr;
        ASSERT_EQ(0, SdpAttrRtpMapCreate(&a, 96, "opus", 48000, c.a));
        ASSERT_EQ(0, SdpAttrRtpMapCreate(&b, 97, "OPUS", 48000, c.b));
        EXPECT_EQ(c.equal, SdphlpCompareCodec(a, b)) << (c.a ? c.a : "none") << " " << (c.b ? c.b : "none");
        SdpAttrRtpMapDestroy(a);
        SdpAttrRtpMapDestroy(b);
    }
    EXPECT_EQ(1, SdphlpCompareCodec(nullptr, nullptr));
}

TEST_F(SdphlpTest, ChecksStrictAndLenient)
{
    const std::string media = "m=audio 1 RTP/AVP 0\r\n";
    struct Case {
        const char* text;
        int lenient;
        int strict;
    } const cases[] = {
        {"v=0\r\no=- 1 1 IN IP4 1.2.3.4\r\ns=-\r\nc=IN IP4 1.2.3.4\r\nt=0 0\r\n", 0, 0},
        {"v=0\r\ns=-\r\nc=IN IP4 1.2.3.4\r\nt=0 0\r\n", 0, -1},
        {"v=0\r\no=- 1 1 IN IP4 1.2.3.4\r\nc=IN IP4 1.2.3.4\r\nt=0 0\r\n", 0, -1},
        {"v=0\r\no=- 1 1 IN IP4 1.2.3.4\r\ns=-\r\nc=IN IP4 1.2.3.4\r\n", 0, -1},
        {"v=0\r\no=- 1 1 IN IP4 1.2.3.4\r\ns=-\r\nt=0 0\r\n", -1, -1},  // media without connection
        {"v=0\r\no=- 1 1 IN IP4 1.2.3.4\r\ns=-\r\nc=IN IP4 1.2.3.4\r\nt=0 0\r\na=sendonly\r\na=recvonly\r\n", 0, -1},
    };
    for (const Case& c : cases) {
        SdpAnnouncement* sdp = parse(c.text + media);
        EXPECT_EQ(c.lenient, SdphlpCheck(sdp, 0) == 0 ? 0 : -1) << c.text;
        EXPECT_EQ(c.strict, SdphlpCheck(sdp, 1) == 0 ? 0 : -1) << c.text;
        SdpAnnouncementDestroy(sdp);
    }
    SdpAnnouncement* dup = parse(kHead + "m=audio 1 RTP/AVP 96\r\na=rtpmap:96 a/8000\r\na=rtpmap:96 b/8000\r\n");
    EXPECT_EQ(0, SdphlpCheck(dup, 0));
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpCheck(dup, 1));
    SdpAnnouncementDestroy(dup);
    SdpAnnouncement* bad = parse(kHead + "m=audio 1 RTP/AVP 200\r\n");
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpCheck(bad, 0));
    SdpAnnouncementDestroy(bad);
}

TEST_F(SdphlpTest, DefaultDescription)
{
    SdpAnnouncement* sdp = nullptr;
    ASSERT_EQ(0, SdphlpAnnouncementCreateDefault(&sdp, nullptr, SDP_NET_IN, SDP_ADDR_IP6, "2001:db8::5"));
    EXPECT_EQ("v=0\r\no=- 0 0 IN IP6 2001:db8::5\r\ns=-\r\nc=IN IP6 2001:db8::5\r\nt=0 0\r\n", encode(sdp));
    SdpAnnouncementDestroy(sdp);
    EXPECT_EQ(SDPHLP_ERR_INVALID, SdphlpAnnouncementCreateDefault(&sdp, "u", SDP_NET_IN, SDP_ADDR_IP4, ""));
    EXPECT_EQ(nullptr, sdp);
}

}  // namespace
