#pragma once
// The remote-command server: one TCP client at a time drives the unit with text lines ended by
// CR LF (DIAL, DISCONNECT, GET_STATUS, SET, METER, MODE, RECONNECT, RTP_STAT, RTP_TIMEOUT) and
// receives STATUS, DIAL_RESULT, SETTING, MODE, RECONNECT, RTP_STAT and RTP_TIMEOUT lines.
//
// The server thread (`remote_cmd_thr_f`) only accepts, reads and writes sockets and posts
// commands: a received line becomes command 26, which the controller hands back to
// `recv_remote_command` on its own thread. Lines to send are written, one write each, into a
// non-blocking pipe that the server thread drains into the client socket, so neither the
// controller nor the RTP receive thread ever waits for a slow client.

#include "app_controller.h"
#include "thread_function.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class remote_cmd_handler;

// The server thread: listens, serves one client, relays the pipe's lines to it.
class remote_cmd_thr_f : public thread_function {
public:
    // Outgoing bytes a client may leave unread before it is dropped.
    static constexpr std::size_t max_pending_output = 64 * 1024;

    // Creates the listening socket on `port` (0: an ephemeral port) of all addresses. A socket that
    // cannot be created, bound or listened on leaves the thread without a listener.
    remote_cmd_thr_f(remote_cmd_handler& handler, int pipe_read_fd, uint16_t port);
    ~remote_cmd_thr_f() override;

    void main_loop() override;
    // Sets the end flag and shuts the sockets down so that a waiting poll returns at once; the
    // descriptors themselves are closed by the thread (or the destructor), never here.
    void end() override;

    bool client_connected() const { return m_client.load() >= 0; }
    uint16_t port() const { return m_port; }

private:
    void serve_client();
    bool receive_from_client();
    bool relay_pipe();
    bool flush_output();

    remote_cmd_handler& m_handler;
    int m_pipe;
    int m_listen = -1;
    std::atomic<int> m_client{-1};
    uint16_t m_port = 0;
    sockaddr_in m_client_addr{};
    std::string m_received;
    std::string m_pending;  // bytes of whole lines read from the pipe, not yet sent
    std::string m_partial;  // bytes from the pipe not yet ended by CR LF
};

class remote_cmd_handler {
public:
    static constexpr uint16_t default_port = 23000;

    struct status_data {
        std::string state;        // "idle", "calling", "connect", "disconnecting", "unknown"
        std::string destination;
        int line = 0;             // 1 analog, else digital
        bool lan_led = false, gw_led = false, con_led = false, in_led = false, err_led = false;
    };
    struct setting_data {
        int codec = 0;
        bool incom = false;
    };
    enum dial_result_e {
        dial_none = 0,
        dial_ok = 1,
        dial_not_registered = 2,
        dial_ip_mode = 3,
        dial_canceled = 4,
        dial_rejected = 5,
        dial_busy = 6,
        dial_not_idle = 7,
        dial_timeout = 8,
        dial_unknown = 9,
        dial_ngn_mode = 10,
        dial_not_supported = 11,
        dial_unacceptable = 12,
    };
    enum keyword_e {
        kw_none = 0,
        kw_dial = 1,
        kw_disconnect = 2,
        kw_get_status = 3,
        kw_status = 10000,
        kw_dial_result = 10001,
        kw_set = 20000,
        kw_meter = 20002,
        kw_mode = 20003,
        kw_reconnect = 20004,
        kw_rtp_stat = 20005,
        kw_rtp_timeout = 20006,
    };

    // Posts to `sink`; `sip_mode` tells DIAL and DISCONNECT which call commands to post. Creates
    // the pipe (std::system_error "pipe failed.") and starts the server thread on `port`.
    remote_cmd_handler(command_sink& sink, std::function<bool()> sip_mode, uint16_t port = default_port);
    ~remote_cmd_handler();
    remote_cmd_handler(const remote_cmd_handler&) = delete;
    remote_cmd_handler& operator=(const remote_cmd_handler&) = delete;

    // Parses one received line and posts what it asks for (controller's thread, command 26).
    void recv_remote_command(const char* line);

    // Lines to the client; dropped while no client is connected. Any thread.
    void send_status_command(const status_data& status, bool force);
    void send_dial_result_command(int result);
    void send_setting_command(const setting_data& setting);
    void send_mode_command(bool ngn);
    void send_rtp_stat_command(unsigned loss, unsigned overflow, unsigned underflow);
    void send_reconnect_command(bool on, int times);
    void send_rtp_timeout_command(bool on);

    // Called by the server thread.
    void connected(const char* address, unsigned short port);
    void disconnected();
    void line_received(const std::string& line);

    bool client_connected() const { return m_thread_obj && m_thread_obj->client_connected(); }
    // The port the server listens on (the ephemeral one when built with 0).
    uint16_t port() const { return m_thread_obj ? m_thread_obj->port() : 0; }

    // Line builders and parsers, exposed for tests.
    static keyword_e keyword(const std::string& word);
    static std::string status_line(const status_data& status);
    static std::string dial_result_line(int result);
    static std::string setting_line(const setting_data& setting);
    static const char* codec_text(int codec);
    static int codec_from_text(const std::string& text);
    // Splits a line into keyword and argument, both trimmed.
    static void parse_command(const std::string& line, std::string& word, std::string& argument);

private:
    void send_line(const std::string& line);
    void post(int32_t id, const void* data = nullptr, std::size_t size = 0);

    command_sink& m_sink;
    std::function<bool()> m_sip_mode;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<remote_cmd_thr_f> m_thread_obj;
    std::thread m_thread;
    std::string m_last_status;  // controller's thread only
    mutable std::mutex m_addr_mutex;  // the client address is set by the server thread
    sockaddr_in m_client_addr{};      // and read by METER on the controller's thread
};
