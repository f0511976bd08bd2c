// The call handlers' pure parts: stream bandwidths, the media start record of an IP call per
// codec, the remote dial results and the status texts.

#include "codec_manager.h"
#include "log_capture.h"
#include "start_rtp_data.h"
#include "unit_controller.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Bandwidth, AudioAndVideo)
{
    struct row {
        int rate;
        double ms;
        int bw;
    };
    const row rows[] = {
        {0, 20, 0},                       // no rate, no stream
        {64, 20, 88},                     // 50 × (1280 + 320) × 1.1 / 1000
        {800, 2.6666666666666665, 1000},  // 128 samples at 48 kHz, lossless
        {384, 3.3333333333333335, 500},
        {384, 5, 500},
        {384, 20, 440},                   // 50 × (7680 + 320) × 1.1 / 1000
        {1536, 2.6666666666666665, 1000}, // capped
    };
    for (const auto& r : rows)
        EXPECT_EQ(calc_sip_audio_bw(r.rate, r.ms), r.bw) << r.rate << " kbit/s at " << r.ms << " ms";
    EXPECT_EQ(calc_sip_video_bw(500), 550);
    EXPECT_EQ(calc_sip_video_bw(2000), 1000);
}

// The record of command 13 built from an agreed IP call, field by field, for every codec.
TEST(StartRtpRecord, IpCallPerCodec)
{
    orva::codec_manager codecs(128);
    app_config config;
    config.set("video.band_width_kbps", 700);
    config.set("incom.band_width_kbps", 90);
    config.set("control.band_width_kbps", 30);
    ipc_connect_data local{}, remote{};
    local.gpio = 2;
    remote.gpio = 2;
    strcpy(remote.media_addr, "192.0.2.20");
    remote.audio_port = 15000;
    remote.video_port = 26000;
    remote.incom_port = 16000;
    remote.control_port = 17000;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    inet_pton(AF_INET, "192.0.2.99", &peer.sin_addr);

    struct row {
        int codec;
        uint16_t port2;
        int count;
        int bw;
    };
    const row rows[] = {
        {0, 0, 1, 64},        // µ-law: 64 kbit/s, never 0 (0 would start no audio)
        {96, 0, 1, 440},      // Opus, 20 ms frames
        {97, 0, 1, 1000},     // LDALS
        {100, 15002, 2, 976}  // LPCM: two ports, the second 2 above the first
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.codec);
        const orva::codec* k = codecs.get(r.codec);
        ASSERT_NE(k, nullptr);
        remote.codec = r.codec;
        const appcmd_start_rtp_data d = ip_call_start_rtp_data(*k, local, remote, peer, config);
        EXPECT_STREQ(d.remote_addr, "192.0.2.20");
        EXPECT_EQ(d.audio_codec, r.codec);
        EXPECT_EQ(d.audio_port[0], 15000);
        EXPECT_EQ(d.audio_port[1], r.port2);
        EXPECT_EQ(d.audio_port_count, r.count);
        EXPECT_EQ(d.audio_bw, r.bw);
        EXPECT_EQ(d.video_codec, 1);
        EXPECT_EQ(d.video_port, 26000);
        EXPECT_EQ(d.video_bw, 0);  // no VIDEO-MODE agreed
        EXPECT_EQ(d.incom_port, 16000);
        EXPECT_EQ(d.incom_codec, 0);
        EXPECT_EQ(d.incom_bw, 0);
        EXPECT_EQ(d.control_port, 17000);
        EXPECT_EQ(d.control_bw, 0);
        EXPECT_EQ(d.contacts, 2);
        // The record travels as 88 bytes: the media start handler reads the same layout.
        unsigned char raw[88];
        memcpy(raw, &d, sizeof raw);
        int32_t codec_at_32;
        uint16_t port_at_36;
        memcpy(&codec_at_32, raw + 32, 4);
        memcpy(&port_at_36, raw + 36, 2);
        EXPECT_EQ(codec_at_32, r.codec);
        EXPECT_EQ(port_at_36, 15000);
    }
}

TEST(StartRtpRecord, AgreedOptionsAndAddressFallback)
{
    orva::codec_manager codecs(128);
    app_config config;
    config.set("video.band_width_kbps", 700);
    config.set("incom.band_width_kbps", 90);
    config.set("control.band_width_kbps", 30);
    ipc_connect_data local{}, remote{};
    local.gpio = 4;
    remote.gpio = 2;
    remote.video_mode = 2;
    remote.incom_enable = true;
    remote.ctrl_enable = true;
    remote.v_tcp_active = true;
    remote.c_tcp_active = true;
    strcpy(remote.media_addr, "not an address");
    remote.audio_port = 15000;
    sockaddr_in peer{};
    inet_pton(AF_INET, "192.0.2.99", &peer.sin_addr);
    const appcmd_start_rtp_data d = ip_call_start_rtp_data(*codecs.get(97), local, remote, peer, config);
    EXPECT_STREQ(d.remote_addr, "192.0.2.99");
    EXPECT_EQ(d.video_bw, 700);
    EXPECT_EQ(d.video_transport, 1);
    EXPECT_EQ(d.incom_bw, 90);
    EXPECT_EQ(d.control_bw, 30);
    EXPECT_EQ(d.control_transport, 1);
    EXPECT_EQ(d.contacts, 0);  // 4 against 2: no contacts
}

TEST(DialResult, FromIpCallResult)
{
    const std::pair<int, int> rows[] = {{0, 1},  {100, 6}, {101, 10}, {102, 5}, {104, 11},
                                        {106, 12}, {107, 8}, {103, 9},  {199, 9}, {-1, 9}};
    for (const auto& [result, dial] : rows)
        EXPECT_EQ(ip_call_res_to_remote_result(result), dial) << result;
}

TEST(StatusText, PanelAndRemote)
{
    log_capture log;
    const char* panel[] = {"INIT", "IDLE", "CALLING", "CONNECT", "DISCONNECT", "INCOMING",
                           "?????", "CALLING", "INCOMING", "CONNECT", "DISCONNECT"};
    const char* remote[] = {"idle", "idle", "calling", "connect", "disconnecting", "connect",
                            "unknown", "calling", "connect", "connect", "disconnecting"};
    for (int s = 0; s <= 10; ++s) {
        EXPECT_STREQ(status_text(s), panel[s]) << s;
        EXPECT_STREQ(remote_state_text(s), remote[s]) << s;
    }
    EXPECT_STREQ(status_text(11), "?????");
    EXPECT_STREQ(remote_state_text(11), "unknown");
    EXPECT_NE(log.take().find("W unknown comm status: 11"), std::string::npos);
}

TEST(PlaybackBuffer, KeysByCodecAndMode)
{
    struct row {
        int codec;
        const char* ip;
        const char* ngn;
    };
    const row rows[] = {{0, "buffer.ip_tel", "buffer.ngn_tel"},
                        {96, "buffer.ip_opus", "buffer.ngn_opus"},
                        {97, "buffer.ip_clear", "buffer.ngn_clear"},
                        {99, "buffer.ip_sbadpcm", "buffer.ngn_sbadpcm"},
                        {100, "buffer.ip_lpcm", "buffer.ngn_lpcm"}};
    for (const auto& r : rows) {
        EXPECT_STREQ(unit_controller::get_pkts_for_pback_key(r.codec, unit_controller::mode_ip_call), r.ip);
        EXPECT_STREQ(unit_controller::get_pkts_for_pback_key(r.codec, unit_controller::mode_sip), r.ngn);
    }
    EXPECT_EQ(unit_controller::get_pkts_for_pback_key(98, 1), nullptr);
}

}  // namespace
