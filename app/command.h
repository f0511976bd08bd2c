#pragma once
// Commands: the one way other threads hand work to the controller.
//
// A command is an id and a byte payload. Integers in payloads are 32-bit signed in the
// processor's byte order; text fields are NUL-terminated and NUL-padded.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <vector>

struct command {
    int32_t id = 0;
    std::vector<unsigned char> data;

    command() = default;
    // Copies `size` bytes from `payload` (none when null).
    command(int32_t id, const void* payload = nullptr, std::size_t size = 0);
};

// Command ids. Gaps (12, 17, 21, 29, 42-45) have no handler and are dropped.
enum appcmd_id : int32_t {
    appcmd_quit = 1,
    appcmd_sip_service_status = 2,
    appcmd_sip_session_status = 3,
    appcmd_connect_sip = 4,
    appcmd_disconnect_sip = 5,
    appcmd_sip_accept = 6,
    appcmd_ip_call_connect = 7,
    appcmd_ip_call_disconnect = 8,
    appcmd_ip_call_status = 9,
    appcmd_connect_ip = 10,
    appcmd_disconnect = 11,
    appcmd_start_rtp = 13,
    appcmd_stop_rtp = 14,
    appcmd_video_connected_socket = 15,
    appcmd_video_accepted_socket = 16,
    appcmd_audio_src = 18,
    appcmd_hp_src = 19,
    appcmd_change_ip_addr = 20,
    appcmd_change_lan_stat = 22,
    appcmd_rcv_rtp = 23,
    appcmd_websetting_file = 24,
    appcmd_remote_term = 25,
    appcmd_remote_command = 26,
    appcmd_send_status = 27,
    appcmd_send_setting = 28,
    appcmd_meter_query = 29,
    appcmd_send_mode = 30,
    appcmd_rmtcmd_set_mode = 31,
    appcmd_rmtcmd_rtp_stat = 32,
    appcmd_rmtcmd_reconnect = 33,
    appcmd_rmtcmd_rtp_timeout = 34,
    appcmd_error_status = 35,
    appcmd_set_codec = 36,
    appcmd_set_incom = 37,
    appcmd_conn_by_gpio = 38,
    appcmd_disconn_by_gpio = 39,
    appcmd_meter_udp = 40,
    appcmd_local_info = 41,
    appcmd_patest = 42,
    appcmd_video_test = 43,
    appcmd_video_quit = 44,
    appcmd_pb_pkts = 45,
};

constexpr int32_t appcmd_first = 1;
constexpr int32_t appcmd_last = 45;

// Payload records with a fixed layout.
struct appcmd_state_result {  // commands 2, 3, 9
    int32_t state;
    int32_t result;
};
static_assert(sizeof(appcmd_state_result) == 8);

struct appcmd_connect_sip_data {  // command 4
    char number[32];
    uint8_t use_contact_number;  // non-zero: dial `dial.contact` instead
};
static_assert(sizeof(appcmd_connect_sip_data) == 33);

struct appcmd_change_ip_addr_data {  // command 20
    uint8_t recreate_service;
    char address[32];
    char netmask[32];
    char gateway[32];
};
static_assert(sizeof(appcmd_change_ip_addr_data) == 97);

struct appcmd_remote_term_data {  // command 25
    uint8_t connected;
    char address[33];
    uint16_t port;
};
static_assert(sizeof(appcmd_remote_term_data) == 36);
static_assert(offsetof(appcmd_remote_term_data, port) == 34);

struct appcmd_reconnect_data {  // command 33
    int32_t enable;  // negative: unchanged
    int32_t times;
};
static_assert(sizeof(appcmd_reconnect_data) == 8);

struct appcmd_error_status_data {  // command 35
    int32_t kind;  // 0 panel, otherwise audio
    uint8_t value;
    uint8_t pad[3];
};
static_assert(sizeof(appcmd_error_status_data) == 8);

struct appcmd_meter_udp_data {  // command 40
    uint8_t on;
    uint8_t pad[3];
    sockaddr_in address;  // IPv4, port and address in network order
};
static_assert(sizeof(appcmd_meter_udp_data) == 20);

// Size of the media start record of command 13.
constexpr std::size_t appcmd_start_rtp_data_size = 88;

// One row of the command table: id, the name of what handles it and the payload it carries.
struct command_info {
    int32_t id;
    const char* handler;
    // Payload size in bytes: 0 none, a positive exact size, -1 for variable text.
    int payload_size;
};

// The table of every id that has a handler or a poster, in id order; nullptr for other ids.
const command_info* find_command_info(int32_t id);

// The controller's queue: many posters, one consumer. One mutex guards the emptiness test, the
// wait and the pop, and pushes notify under it, so no wake-up is lost.
class command_queue {
public:
    // Appends a copy and wakes every waiter; returns the number queued after the push.
    int push(const command& c);
    // Waits while the queue is empty, then removes and returns the front command.
    command wait_pop();
    int size() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<command> m_queue;
};
