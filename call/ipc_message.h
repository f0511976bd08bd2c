#pragma once
// Records of the unit-to-unit IP call protocol.
//
// Every message is one UDP datagram of text lines "KEY:value" ended by CR LF. The records below
// are the in-memory form; ipc_parser.h turns them into text and back. Text fields are
// NUL-terminated inside fixed arrays and are always cut to the array size less one.

#include <cstdint>
#include <string>

// The command of a message; its name is what travels on the wire.
enum ipc_cmd_id : int32_t {
    IPC_CMD_NONE = 0,
    IPC_CMD_CALL = 1,            // "CALL": a call is offered
    IPC_CMD_CALL_RSP = 2,        // "CALL-RSP": the callee's answer to CALL
    IPC_CMD_START = 3,           // "START": callee to caller, media may start
    IPC_CMD_START_RSP = 4,       // "START-RSP": the caller's answer to START
    IPC_CMD_DISCONNECT = 5,      // "DISCONNECT": either side ends (or refuses) a call
    IPC_CMD_DISCONNECT_RSP = 6,  // "DISCONNECT-RSP": answer to DISCONNECT
};

// Result codes carried by the responses; each has one text (ipc_result_text).
enum ipc_result_code : int32_t {
    IPC_RESULT_OK = 0,
    IPC_RESULT_BUSY = 100,
    IPC_RESULT_NGN_MODE = 101,
    IPC_RESULT_INVALID_SETTING = 102,
    IPC_RESULT_UNKNOWN_COMMAND = 103,
    IPC_RESULT_NOT_SUPPORTED = 104,
    IPC_RESULT_INVALID_COMMAND = 105,
    IPC_RESULT_UNACCEPTABLE = 106,
    IPC_RESULT_TIMEOUT = 107,  // local only: a request went unanswered; never sent
    IPC_RESULT_INTERNAL_ERROR = 199,
};

// The text of a result code ("OK", "BUSY", ...); the empty text for a code outside the table.
const char* ipc_result_text(int code);

// Copies `text` into a fixed array, cut to the array size less one, NUL-terminated.
void ipc_copy_text(char* to, std::size_t size, const std::string& text);
template <std::size_t N>
void ipc_copy_text(char (&to)[N], const std::string& text)
{
    ipc_copy_text(to, N, text);
}

// The connection parameters that CALL and CALL-RSP carry.
struct ipc_connect_data {
    char media_addr[32] = {};    // "MEDIA-ADDR": where the peer sends media
    uint16_t audio_port = 0;     // "A-PORT": RTP port of the main audio
    uint16_t video_port = 0;     // "V-PORT": TCP port of the video stream
    uint16_t control_port = 0;   // "C-PORT": TCP port of the control-data link
    uint16_t incom_port = 0;     // "I-PORT": RTP port of the intercom
    int32_t video_mode = 0;      // "VIDEO-MODE": 0 none, 1 this side sends, 2 this side receives
    bool ctrl_enable = false;    // "CTRL-ENABLE"
    bool incom_enable = false;   // "INCOM-ENABLE"
    bool v_tcp_active = false;   // "V-TCP-ACTIVE": this side opens the video connection
    bool c_tcp_active = false;   // "C-TCP-ACTIVE": this side opens the control connection
    int32_t gpio = 0;            // "GPIO": contact lines carried, 0, 2 or 4
    int32_t codec = 0;           // "CODEC": audio codec id (the RTP payload type)
    char codec_option[64] = {};  // "CODEC-OPTION": codec parameters, empty when none

    bool operator==(const ipc_connect_data&) const = default;
};

// The head of every message. START travels as a bare head.
struct ipc_message {
    int32_t version = 1;          // "VERSION": 1 when sent, not checked on receipt
    char call_id[16] = {};        // "CALL-ID"
    int32_t seq_no = 1;           // "SEQ-NO."
    ipc_cmd_id command = IPC_CMD_NONE;  // "COMMAND"
    char src_addr[32] = {};       // "SRC-ADDR": the sender's own address
    uint16_t src_port = 0;        // "SRC-PORT": the sender's IP-call port
    char dst_addr[32] = {};       // "DST-ADDR": where the message is sent, as the sender knows it
    char contact_addr[32] = {};   // "CONTACT-ADDR": where the sender wants to be reached; optional

    ipc_message() = default;
    explicit ipc_message(ipc_cmd_id c) : command(c) {}
    ipc_message(const ipc_message&) = default;
    ipc_message& operator=(const ipc_message&) = default;
    virtual ~ipc_message() = default;
};

struct ipc_msg_call : ipc_message {
    ipc_connect_data data;  // the caller's offer
    ipc_msg_call() : ipc_message(IPC_CMD_CALL) {}
};

// The three responses that carry a result.
struct ipc_msg_result : ipc_message {
    int32_t result_code = 0;   // "RESULT-CODE"
    char result_text[32] = {}; // "RESULT-TEXT"
    explicit ipc_msg_result(ipc_cmd_id c) : ipc_message(c) {}
};

struct ipc_msg_call_rsp : ipc_msg_result {
    ipc_connect_data data;  // the callee's answer
    ipc_msg_call_rsp() : ipc_msg_result(IPC_CMD_CALL_RSP) {}
};

struct ipc_msg_start_rsp : ipc_msg_result {
    ipc_msg_start_rsp() : ipc_msg_result(IPC_CMD_START_RSP) {}
};

struct ipc_msg_disconnect : ipc_message {
    ipc_msg_disconnect() : ipc_message(IPC_CMD_DISCONNECT) {}
};

struct ipc_msg_disconnect_rsp : ipc_msg_result {
    ipc_msg_disconnect_rsp() : ipc_msg_result(IPC_CMD_DISCONNECT_RSP) {}
};

static_assert(sizeof(ipc_connect_data) == 32 + 4 * 2 + 4 + 4 + 4 + 4 + 64, "connect data layout");

