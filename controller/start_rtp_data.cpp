#include "start_rtp_data.h"

#include "codec.h"
#include "log.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

int calc_sip_audio_bw(int rate, double ms)
{
    if (rate == 0)
        return 0;
    if (rate == 800 && ms == 2.6666666666666665)
        return 1000;
    if (rate == 384 && (ms == 3.3333333333333335 || ms == 5))
        return 500;
    if (ms <= 0)
        return 0;
    const double bw = (1000.0 / ms) * (rate * ms + 320) * 1.1 / 1000;
    return std::min(static_cast<int>(bw), 1000);
}

int calc_sip_video_bw(int kbps)
{
    return std::min(kbps * 110 / 100, 1000);
}

int ip_call_audio_bw(const orva::codec& c)
{
    const double ms = c.sampling_frequency() > 0 ? c.frame_samples() * 1000.0 / c.sampling_frequency() : 0;
    const int bw = calc_sip_audio_bw(c.bit_rate(), ms);
    if (bw <= 0 && c.id() == orva::audio_codec_PCMU)
        return 64;
    return bw;
}

appcmd_start_rtp_data ip_call_start_rtp_data(const orva::codec& c, const ipc_connect_data& local,
                                             const ipc_connect_data& remote, const sockaddr_in& peer,
                                             const app_config& config)
{
    appcmd_start_rtp_data d{};
    in_addr media{};
    if (remote.media_addr[0] && inet_pton(AF_INET, remote.media_addr, &media) == 1)
        memcpy(d.remote_addr, remote.media_addr, strnlen(remote.media_addr, sizeof d.remote_addr - 1));
    else
        inet_ntop(AF_INET, &peer.sin_addr, d.remote_addr, sizeof d.remote_addr);
    d.audio_codec = c.id();
    const bool lpcm = c.id() == orva::audio_codec_LPCM;
    d.audio_port[0] = remote.audio_port;
    d.audio_port[1] = lpcm ? static_cast<uint16_t>(remote.audio_port + 2) : 0;
    d.audio_port_count = lpcm ? 2 : 1;
    d.audio_bw = ip_call_audio_bw(c);
    d.video_codec = 1;
    d.video_port = remote.video_port;
    // No video was agreed: the stream stays off.
    d.video_bw = remote.video_mode == 0 ? 0 : config.get<int>("video.band_width_kbps");
    d.video_transport = remote.v_tcp_active ? 1 : 0;
    d.incom_port = remote.incom_port;
    d.incom_codec = 0;
    d.incom_bw = remote.incom_enable ? config.get<int>("incom.band_width_kbps") : 0;
    d.control_port = remote.control_port;
    d.control_bw = remote.ctrl_enable ? config.get<int>("control.band_width_kbps") : 0;
    d.control_transport = remote.c_tcp_active ? 1 : 0;
    d.contacts = local.gpio == remote.gpio ? remote.gpio : 0;
    return d;
}

int ip_call_res_to_remote_result(int result)
{
    switch (result) {
    case 0: return 1;
    case 100: return 6;
    case 101: return 10;
    case 102: return 5;
    case 104: return 11;
    case 106: return 12;
    case 107: return 8;
    default: return 9;
    }
}

const char* status_text(int status)
{
    static const char* const texts[] = {"INIT",     "IDLE",    "CALLING", "CONNECT", "DISCONNECT", "INCOMING",
                                        nullptr,    "CALLING", "INCOMING", "CONNECT", "DISCONNECT"};
    if (status >= 0 && status <= 10 && texts[status])
        return texts[status];
    log_s.warn("unknown comm status: %d", status);
    return "?????";
}

const char* remote_state_text(int status)
{
    switch (status) {
    case 0:
    case 1: return "idle";
    case 2:
    case 7: return "calling";
    case 4:
    case 10: return "disconnecting";
    case 3:
    case 5:
    case 8:
    case 9: return "connect";
    default: return "unknown";
    }
}
