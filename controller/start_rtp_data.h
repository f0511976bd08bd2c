#pragma once
// The media start record of command 13 and the small pure functions of the call handlers: the
// bandwidth of a codec's stream, the record of an agreed IP call, the remote dial results and
// the status texts.

#include "app_config.h"
#include "command.h"
#include "ipc_message.h"

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

namespace orva {
class codec;
}

// Integers 32-bit signed and ports unsigned 16-bit in the processor's byte order; a bandwidth
// of 0 or less leaves that stream off.
struct appcmd_start_rtp_data {
    char remote_addr[32];
    int32_t audio_codec;
    uint16_t audio_port[2];  // the second is used when two ports are counted
    int32_t audio_port_count;
    int32_t audio_bw;  // kbit/s
    int32_t video_codec;
    uint16_t video_port;
    uint16_t unused1;
    int32_t video_bw;
    uint8_t video_transport;
    uint8_t unused2;
    uint16_t incom_port;
    int32_t incom_codec;
    int32_t incom_bw;
    uint16_t control_port;
    uint16_t unused3;
    int32_t control_bw;
    uint8_t control_transport;
    uint8_t unused4[3];
    int32_t contacts;  // offered by the peer: 0, 2 or 4
};
static_assert(sizeof(appcmd_start_rtp_data) == 88);
static_assert(sizeof(appcmd_start_rtp_data) == appcmd_start_rtp_data_size);
static_assert(offsetof(appcmd_start_rtp_data, audio_codec) == 32);
static_assert(offsetof(appcmd_start_rtp_data, audio_port) == 36);
static_assert(offsetof(appcmd_start_rtp_data, audio_port_count) == 40);
static_assert(offsetof(appcmd_start_rtp_data, audio_bw) == 44);
static_assert(offsetof(appcmd_start_rtp_data, video_codec) == 48);
static_assert(offsetof(appcmd_start_rtp_data, video_port) == 52);
static_assert(offsetof(appcmd_start_rtp_data, video_bw) == 56);
static_assert(offsetof(appcmd_start_rtp_data, video_transport) == 60);
static_assert(offsetof(appcmd_start_rtp_data, incom_port) == 62);
static_assert(offsetof(appcmd_start_rtp_data, incom_codec) == 64);
static_assert(offsetof(appcmd_start_rtp_data, incom_bw) == 68);
static_assert(offsetof(appcmd_start_rtp_data, control_port) == 72);
static_assert(offsetof(appcmd_start_rtp_data, control_bw) == 76);
static_assert(offsetof(appcmd_start_rtp_data, control_transport) == 80);
static_assert(offsetof(appcmd_start_rtp_data, contacts) == 84);

// kbit/s of a stream of `rate` kbit/s in frames of `ms` milliseconds, with IP, UDP and RTP
// headers and 10 % margin, capped at 1000; 0 for a rate of 0.
int calc_sip_audio_bw(int rate, double ms);
// min(kbps × 1.1, 1000).
int calc_sip_video_bw(int kbps);
// The audio bandwidth of an IP call with `c`. A µ-law codec that declares no bit rate still
// carries 64 kbit/s.
int ip_call_audio_bw(const orva::codec& c);

// The record of command 13 for an agreed IP call: `remote` is the peer's agreed data, `local`
// our own, `peer` where its messages came from (used when it names no media address).
appcmd_start_rtp_data ip_call_start_rtp_data(const orva::codec& c, const ipc_connect_data& local,
                                             const ipc_connect_data& remote, const sockaddr_in& peer,
                                             const app_config& config);

// IP-call result code → remote dial result.
int ip_call_res_to_remote_result(int result);

// The panel's status text of a communication status; "?????" (with a warning) for others.
const char* status_text(int status);
// The state word of the remote STATUS line.
const char* remote_state_text(int status);
