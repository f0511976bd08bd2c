// SDP model: parsing, byte-exact encoding, the single-line encoders and the model's limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SLMem.h"
#include "Sdp.h"

namespace {

class SdpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, SdpInitialize()); }
    void TearDown() override
    {
        EXPECT_EQ(0, SdpGetLiveCount()) << "records leaked";
        EXPECT_EQ(0, SdpCleanup());
    }
    // Parses, encodes and returns the text (or the failure as "error <code>").
    static std::string roundTrip(const std::string& text)
    {
        SdpAnnouncement* sdp = nullptr;
        int rc = SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size()));
        if (rc != 0)
            return "parse error " + std::to_string(rc);
        std::vector<char> buffer(4096);
        uint32_t length = static_cast<uint32_t>(buffer.size());
        rc = SdpAnnouncementEncode(buffer.data(), &length, sdp);
        SdpAnnouncementDestroy(sdp);
        if (rc != 0)
            return "encode error " + std::to_string(rc);
        return std::string(buffer.data(), length);
    }
};

// Texts that come back byte for byte.
TEST_F(SdpTest, RoundTripsAreByteExact)
{
    const char* const texts[] = {
        "v=0\r\no=- 1 1 IN IP4 10.0.0.1\r\ns=-\r\nt=0 0\r\nm=audio 5004 RTP/AVP 0 8\r\na=rtpmap:0 PCMU/8000\r\n",
        // A typical offer: several codecs, telephone-event, ptime, a session bandwidth.
        "v=0\r\no=orva 3344556677 1 IN IP4 192.0.2.10\r\ns=-\r\nc=IN IP4 192.0.2.10\r\nb=AS:2048\r\nt=0 0\r\n"
        "m=audio 49170 RTP/AVP 96 97 0 8 101\r\na=rtpmap:96 opus/48000/2\r\n"
        "a=fmtp:96 maxplaybackrate=48000; stereo=1; useinbandfec=1\r\na=rtpmap:97 L16/48000/2\r\n"
        "a=rtpmap:0 PCMU/8000\r\na=rtpmap:8 PCMA/8000\r\na=rtpmap:101 telephone-event/8000\r\n"
        "a=fmtp:101 0-15\r\na=ptime:5\r\na=sendrecv\r\n",
        // Video with its own bandwidth, and application streams with setup and connection.
        "v=0\r\no=- 42 7 IN IP4 198.51.100.7\r\ns=orva\r\nc=IN IP4 198.51.100.7\r\nt=0 0\r\n"
        "m=video 51372 RTP/AVP 99\r\nb=AS:4000\r\na=rtpmap:99 H264/90000\r\n"
        "a=fmtp:99 profile-level-id=42e01f; packetization-mode=1\r\na=recvonly\r\n"
        "m=application 9 TCP/RTP/AVP 100\r\na=setup:active\r\na=connection:new\r\n"
        "m=application 5200 udp control\r\na=setup:passive\r\na=connection:existing\r\na=inactive\r\n",
        // ICE-like lines, IPv6, per-media connection, information and several times.
        "v=0\r\no=jdoe 2890844526 2890842807 IN IP6 2001:db8::1\r\ns=SDP Seminar\r\ni=A Seminar\r\n"
        "u=http://www.example.com/seminars/sdp.pdf\r\ne=j.doe@example.com (Jane Doe)\r\np=+1 617 555-6011\r\n"
        "c=IN IP6 2001:db8::1\r\nt=2873397496 2873404696\r\nt=0 0\r\na=ice-ufrag:8hhY\r\n"
        "a=ice-pwd:asd88fgpdd777uzjYhagZg\r\nm=audio 49170 RTP/AVP 0\r\ni=main audio\r\n"
        "c=IN IP6 2001:db8::2\r\na=candidate:1 1 UDP 2130706431 2001:db8::2 49170 typ host\r\n"
        "a=candidate:2 1 UDP 1694498815 192.0.2.3 45664 typ srflx raddr 10.0.1.1 rport 8998\r\n"
        "a=rtcp:49171 IN IP6 2001:db8::2\r\n",
        // Multicast address with TTL kept whole, two ports, other transports and modifiers.
        "v=0\r\no=- 1 1 IN IP4 224.2.17.12\r\ns=-\r\nc=IN IP4 224.2.1.1/127\r\nb=TIAS:64000\r\nt=0 0\r\n"
        "m=audio 5004/2 RTP/AVP 0\r\nm=video 5006 RTP/SAVP 31\r\n",
    };
    for (const char* text : texts)
        EXPECT_EQ(text, roundTrip(text));
}

TEST_F(SdpTest, FieldsOfTheBasicExample)
{
    const std::string text =
        "v=0\r\no=- 1 1 IN IP4 10.0.0.1\r\ns=-\r\nt=0 0\r\nm=audio 5004 RTP/AVP 0 8\r\na=rtpmap:0 PCMU/8000\r\n";
    SdpAnnouncement* sdp = nullptr;
    ASSERT_EQ(0, SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size())));
    SdpMedia* m = SdpAnnouncementGetHeadMedia(sdp);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(nullptr, SdpMediaGetNext(m));
    EXPECT_EQ(SDP_MEDIA_AUDIO, SdpMediaGetMedia(m));
    EXPECT_EQ(5004, SdpMediaGetPort(m));
    EXPECT_EQ(SDP_TRANSPORT_RTP_AVP, SdpMediaGetTransport(m));
    SdpMediaFormat* f = SdpMediaGetHeadFormat(m);
    EXPECT_STREQ("0", SdpMediaFormatGetValue(f));
    EXPECT_STREQ("8", SdpMediaFormatGetValue(SdpMediaFormatGetNext(f)));
    SdpAttribute* a = SdpMediaGetHeadAttribute(m);
    EXPECT_EQ(SDP_ATTR_RTPMAP, SdpAttributeGetType(a));
    EXPECT_EQ(0, SdpAttrRtpMapGetPayloadType(a));
    EXPECT_STREQ("PCMU", SdpAttrRtpMapGetEncodingName(a));
    EXPECT_EQ(8000, SdpAttrRtpMapGetClockRate(a));
    EXPECT_EQ(nullptr, SdpAnnouncementGetHeadAttribute(sdp));
    EXPECT_STREQ("-", SdpOriginGetUserName(SdpAnnouncementGetOrigin(sdp)));
    SdpAnnouncement* copy = nullptr;
    ASSERT_EQ(0, SdpAnnouncementClone(&copy, sdp));
    EXPECT_EQ(1, SdpAnnouncementIsEqual(sdp, copy));
    SdpMediaSetPort(SdpAnnouncementGetHeadMedia(copy), 5006);
    EXPECT_EQ(0, SdpAnnouncementIsEqual(sdp, copy));
    SdpAnnouncementDestroy(copy);
    SdpAnnouncementDestroy(sdp);
}

// Lines that are read differently from how they are written, and what comes back.
TEST_F(SdpTest, NormalisedLines)
{
    const std::string head = "v=0\r\no=- 1 1 IN IP4 10.0.0.1\r\ns=-\r\nt=0 0\r\n";
    struct Case {
        const char* in;
        const char* out;
    } const cases[] = {
        {"m=audio 5004/1 RTP/AVP 0\r\n", "m=audio 5004 RTP/AVP 0\r\n"},
        {"m=Audio 5004 rtp/avp 0\r\n", "m=Audio 5004 RTP/AVP 0\r\n"},
        {"m=audio 5004 TCP/RTP/AVP 0\r\n", "m=audio 5004 TCP/RTP/AVP 0\r\n"},
        {"m=audio 70000 RTP/AVP 0\r\n", "m=audio 4464 RTP/AVP 0\r\n"},
        {"m=audio 5004 RTP/AVP 0 0 8\r\n", "m=audio 5004 RTP/AVP 0 8\r\n"},
        {"m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 foo\r\n", "m=audio 5004 RTP/AVP 96\r\na=rtpmap:96 foo/0\r\n"},
        {"m=audio 5004 RTP/AVP 96\r\na=RTPMAP:96 opus/48000\r\n", "m=audio 5004 RTP/AVP 96\r\na=RTPMAP:96 opus/48000\r\n"},
        {"m=audio 5004 RTP/AVP 0\n\n\na=ptime:20\n", "m=audio 5004 RTP/AVP 0\r\na=ptime:20\r\n"},
        {"k=clear:x\r\nr=7d 1h 0 25h\r\nz=0 0\r\nm=audio 1 RTP/AVP 0\r\n", "m=audio 1 RTP/AVP 0\r\n"},
        {"m=audio 5004 RTP/AVP 0\r\na=fmtp:0   a=1;  b=2\r\n", "m=audio 5004 RTP/AVP 0\r\na=fmtp:0 a=1;  b=2\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(head + c.out, roundTrip(head + c.in)) << c.in;
}

TEST_F(SdpTest, LineParsersAndLateSessionLines)
{
    const std::string text =
        "o=- 1 1 IN IP4 10.0.0.1\r\nm=audio 5004 RTP/AVP 96\r\ns=late\r\ni=media info\r\nb=TIAS:64000\r\nb=AS:64\r\n"
        "a=rtpmap:96 opus/48000/2\r\na=sendrecv\r\na=fmtp:96 maxplaybackrate=48000; stereo=1\r\n";
    SdpAnnouncement* sdp = nullptr;
    ASSERT_EQ(0, SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size())));
    EXPECT_EQ(0, SdpAnnouncementGetVersion(sdp));
    EXPECT_STREQ("late", SdpAnnouncementGetSessionName(sdp));
    SdpMedia* m = SdpAnnouncementGetHeadMedia(sdp);
    EXPECT_STREQ("media info", SdpMediaGetInformation(m));
    EXPECT_EQ(nullptr, SdpAnnouncementGetInformation(sdp));
    SdpBandwidth* b = SdpMediaGetHeadBandwidth(m);
    EXPECT_EQ(SDP_BW_OTHER, SdpBandwidthGetModifier(b));
    EXPECT_STREQ("TIAS", SdpBandwidthGetModifierString(b));
    EXPECT_EQ(SDP_BW_AS, SdpBandwidthGetModifier(SdpBandwidthGetNext(b)));
    EXPECT_EQ(64, SdpBandwidthGetValue(SdpBandwidthGetNext(b)));
    SdpAttribute* rtpmap = SdpAttributeFindRtpMapByInt(SdpMediaGetHeadAttribute(m), 96);
    EXPECT_STREQ("2", SdpAttrRtpMapGetEncodingParameters(rtpmap));
    SdpAttribute* sendrecv = SdpAttributeFindByString(SdpMediaGetHeadAttribute(m), "sendrecv");
    ASSERT_NE(nullptr, sendrecv);
    EXPECT_EQ(nullptr, SdpAttrUnknownGetValue(sendrecv));
    EXPECT_STREQ("maxplaybackrate=48000; stereo=1", SdpAttrFmtpGetValue(SdpAttributeFindFmtpByInt(SdpMediaGetHeadAttribute(m), 96)));
    EXPECT_EQ(0, SdpAnnouncementIsValid(sdp));  // no e-mail or phone, no time
    SdpAnnouncementSetPhone(sdp, "+1 555");
    SdpAnnouncementAddTime(sdp, nullptr);
    SdpTime* t = nullptr;
    ASSERT_EQ(0, SdpTimeCreate(&t, 0, 0));
    ASSERT_EQ(0, SdpAnnouncementAddTime(sdp, t));
    EXPECT_EQ(1, SdpAnnouncementIsValid(sdp));
    SdpAnnouncementSetVersion(sdp, 1);
    EXPECT_EQ(0, SdpAnnouncementIsValid(sdp));
    SdpAnnouncementDestroy(sdp);

    SdpAttrRtpMap* r = nullptr;
    EXPECT_EQ(SDP_ERR_INVALID, SdpAttrRtpMapParse(&r, "a=fmtp:96 x", -1));
    ASSERT_EQ(0, SdpAttrRtpMapParse(&r, "a=rtpmap:96 opus/48000/2\r\ntrailing", -1));
    EXPECT_EQ(96, SdpAttrRtpMapGetPayloadType(r));
    SdpAttrRtpMapDestroy(r);
    SdpAttrUnknown* u = nullptr;
    EXPECT_EQ(SDP_ERR_INVALID, SdpAttrUnknownParse(&u, "a=rtpmap:0 PCMU/8000", -1));
}

TEST_F(SdpTest, TextLimitIsRefusedWhole)
{
    std::string text = "v=0\r\ns=";
    text += std::string(1023 - text.size() - 2, 'x') + "\r\n";
    ASSERT_EQ(1023u, text.size());
    SdpAnnouncement* sdp = nullptr;
    ASSERT_EQ(0, SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size())));
    EXPECT_EQ(1023 - 9u, std::string(SdpAnnouncementGetSessionName(sdp)).size());
    SdpAnnouncementDestroy(sdp);
    text.insert(7, "y");
    sdp = reinterpret_cast<SdpAnnouncement*>(1);
    EXPECT_EQ(static_cast<int>(0xA0AC800Au), SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size())));
    EXPECT_EQ(nullptr, sdp);
    // The length bounds the text; a NUL ends it earlier.
    EXPECT_EQ(0, SdpAnnouncementParse(&sdp, text.c_str(), 5));
    SdpAnnouncementDestroy(sdp);
    EXPECT_EQ(SDP_ERR_INVALID, SdpAnnouncementParse(&sdp, text.c_str(), 0));
    EXPECT_EQ(SDP_ERR_INVALID, SdpAnnouncementParse(&sdp, nullptr, 5));
}

TEST_F(SdpTest, EncoderRoom)
{
    const std::string text = "v=0\r\no=- 1 1 IN IP4 10.0.0.1\r\ns=-\r\nt=0 0\r\n";
    SdpAnnouncement* sdp = nullptr;
    ASSERT_EQ(0, SdpAnnouncementParse(&sdp, text.data(), static_cast<uint32_t>(text.size())));
    std::vector<char> buffer(text.size());
    uint32_t length = static_cast<uint32_t>(text.size());
    EXPECT_EQ(0, SdpAnnouncementEncode(buffer.data(), &length, sdp));  // t= may fill the buffer
    EXPECT_EQ(text, std::string(buffer.data(), length));
    length = static_cast<uint32_t>(text.size() - 1);
    EXPECT_EQ(SDP_ERR_TOO_SMALL, SdpAnnouncementEncode(buffer.data(), &length, sdp));
    EXPECT_EQ(text.size() - 7, length);  // the complete lines before t=
    SdpAnnouncement* bare = nullptr;
    ASSERT_EQ(0, SdpAnnouncementCreateNew(&bare));
    char five[5];
    length = 5;
    EXPECT_EQ(SDP_ERR_TOO_SMALL, SdpAnnouncementEncode(five, &length, bare));  // v= keeps a byte free
    EXPECT_EQ(0u, length);
    SdpAnnouncementDestroy(bare);
    SdpAnnouncementDestroy(sdp);
}

// A single-line encoder that had to cut its line says so.
TEST_F(SdpTest, SingleLineEncodersReportACutLine)
{
    SdpAttrRtpMap* r = nullptr;
    ASSERT_EQ(0, SdpAttrRtpMapCreate(&r, 96, "opus", 48000, "2"));
    char buffer[64];
    uint32_t length = sizeof buffer;
    ASSERT_EQ(0, SdpAttrRtpMapEncode(buffer, &length, r));
    EXPECT_EQ("a=rtpmap:96 opus/48000/2\r\n", std::string(buffer, length));
    length = 10;
    EXPECT_EQ(static_cast<int>(0xA0AC800Au), SdpAttrRtpMapEncode(buffer, &length, r));
    EXPECT_EQ(10u, length);
    length = 0;
    EXPECT_EQ(SDP_ERR_INVALID, SdpAttrRtpMapEncode(buffer, &length, r));
    SdpAttrRtpMapDestroy(r);

    SdpConnectionData* c = nullptr;
    ASSERT_EQ(0, SdpConnectionDataCreate(&c, SDP_NET_IN, SDP_ADDR_IP6, "2001:db8::1"));
    length = sizeof buffer;
    ASSERT_EQ(0, SdpConnectionDataEncode(buffer, &length, c));
    EXPECT_EQ("c=IN IP6 2001:db8::1\r\n", std::string(buffer, length));
    length = 21;  // one byte short of the CRLF
    EXPECT_EQ(SDP_ERR_TOO_SMALL, SdpConnectionDataEncode(buffer, &length, c));
    SdpConnectionDataDestroy(c);
}

TEST_F(SdpTest, BuildingThroughTheAddOperations)
{
    SdpMedia* m = nullptr;
    ASSERT_EQ(0, SdpMediaCreate(&m, SDP_MEDIA_AUDIO, nullptr, 5004, 0, SDP_TRANSPORT_RTP_AVP, nullptr));
    EXPECT_EQ(0, SdpMediaAddFormat(m, "0"));
    EXPECT_EQ(0, SdpMediaAddFormat(m, "0"));
    EXPECT_EQ(0, SdpMediaAddFormatInt(m, 96));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaAddFormat(m, ""));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaAddAttrUnknown(m, "rtpmap", "0 PCMU/8000"));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaAddAttrFmtp(m, "96", nullptr));
    EXPECT_EQ(0, SdpMediaAddAttrRtpMap(m, 96, "opus", 48000, "2"));
    EXPECT_EQ(0, SdpMediaAddAttrFmtp(m, "96", "stereo=1"));
    EXPECT_EQ(0, SdpMediaAddAttrSendOnly(m));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaAddBandwidth2(m, SDP_BW_AS, "CT", 64));
    EXPECT_EQ(0, SdpMediaAddBandwidth(m, SDP_BW_AS, 64));
    char buffer[256];
    uint32_t length = sizeof buffer;
    ASSERT_EQ(0, SdpMediaEncode(buffer, &length, m));
    EXPECT_EQ("m=audio 5004 RTP/AVP 0 96\r\nb=AS:64\r\na=rtpmap:96 opus/48000/2\r\na=fmtp:96 stereo=1\r\na=sendonly\r\n",
              std::string(buffer, length));
    EXPECT_EQ(1, SdpMediaRemoveAttributesByString(m, "RTPMAP"));
    EXPECT_EQ(0, SdpMediaRemoveAttributesByString(m, "SENDONLY"));  // generic names match exactly
    EXPECT_EQ(1, SdpMediaRemoveAttributesByString(m, "sendonly"));
    SdpMediaFormat* zero = SdpMediaFormatFindByInt(SdpMediaGetHeadFormat(m), 0);
    ASSERT_NE(nullptr, zero);
    EXPECT_EQ(0, SdpMediaRemoveFormat(m, zero));
    SdpMediaFormat* stray = nullptr;
    ASSERT_EQ(0, SdpMediaFormatCreate(&stray, "5"));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaRemoveFormat(m, stray));
    SdpMediaFormatDestroy(stray);
    SdpMedia* copy = nullptr;
    ASSERT_EQ(0, SdpMediaItemClone(&copy, m));
    EXPECT_EQ(1, SdpMediaItemIsEqual(m, copy));
    SdpMediaDestroy(copy);
    SdpMediaDestroy(m);
}

TEST_F(SdpTest, PreChecks)
{
    EXPECT_EQ(0, SdpOriginParseCheck("o=- 1 1 IN IP4 10.0.0.1\r\n"));
    EXPECT_EQ(SDP_ERR_INVALID, SdpOriginParseCheck("o=- 1 1 IN IP4\r\n"));
    EXPECT_EQ(SDP_ERR_INVALID, SdpOriginParseCheck("o=- 1 1 IN IP4 10.0.0.1"));
    EXPECT_EQ(0, SdpMediaParseCheck("m=audio 5004/2 RTP/AVP 0\r\n"));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaParseCheck("m=audio 5004/0 RTP/AVP 0\r\n"));
    EXPECT_EQ(SDP_ERR_INVALID, SdpMediaParseCheck("m=audio 5004 RTP/AVP\r\n"));
    EXPECT_EQ(0, SdpTimeParseCheck("t=0 0\r\n"));
    EXPECT_EQ(0, SdpConnectionDataParseCheck("c=IN IP4 1.2.3.4\n"));
    EXPECT_EQ(0, SdpAttrUnknownParseCheck("a=sendrecv\r\n"));
}

TEST(SdpModule, LifecycleAndUninitialisedCalls)
{
    SdpAnnouncement* sdp = reinterpret_cast<SdpAnnouncement*>(1);
    EXPECT_EQ(SDP_ERR_NOT_INITIALIZED, SdpAnnouncementParse(&sdp, "v=0\r\n", 5));
    EXPECT_EQ(nullptr, sdp);
    EXPECT_EQ(SDP_ERR_NOT_INITIALIZED, SdpCleanup());
    ASSERT_EQ(0, SdpInitialize());
    EXPECT_EQ(SDP_ERR_ALREADY_INITIALIZED, SdpInitialize());
    EXPECT_EQ(0, SdpCleanup());
}

}  // namespace
