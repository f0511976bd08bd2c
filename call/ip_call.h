#pragma once
// The engine of the unit-to-unit call protocol.
//
// `ip_call` keeps at most one call, sends requests and resends them once a second until they
// are answered, answers the peer's requests, agrees the connection data of the call and reports
// every change of state through `on_update_status`. It knows nothing of media: `ip_call_app`
// binds it to the controller. One thread (`ip_call_thr_f`) runs `execute`; the controller's
// thread calls the public operations. One mutex guards all call state, and the hooks run with it
// held, so a hook must never call back into the engine.

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>

#include "ipc_message.h"
#include "ipc_transport.h"
#include "thread_function.h"

class ip_call {
public:
    enum status_e : int32_t {
        IDLE = 0,
        CALLING = 1,
        INCOMING = 2,
        CONNECT = 3,
        DISCONNECTING = 4,
    };

    // Resends of an unanswered request before the engine gives up.
    static constexpr int max_retries = 8;
    static constexpr int retry_interval_ms = 1000;
    // How long the caller waits for START after an accepted CALL-RSP.
    static constexpr int start_wait_ms = 10000;
    // Largest datagram read; the text ends at the first NUL byte.
    static constexpr int receive_size = 512;

    // Opens the UDP socket at `port` (any local address) and the two timers. Throws
    // std::system_error with the errno of the failing call.
    ip_call(const ipc_connect_data& own, uint16_t port, const std::string& local_addr,
            const std::string& contact_addr);
    // The same over a given transport (tests, or a socket bound to one address).
    ip_call(const ipc_connect_data& own, uint16_t port, const std::string& local_addr,
            const std::string& contact_addr, std::unique_ptr<ipc_transport> transport);
    virtual ~ip_call();
    ip_call(const ip_call&) = delete;
    ip_call& operator=(const ip_call&) = delete;

    // Places a call to the dotted IPv4 address `destination` at the own IP-call port. 0 when
    // CALL went out; 1 when not IDLE; 2 when the local address is empty; a negative errno when
    // CALL could not be sent (state unchanged).
    int call(const std::string& destination);
    // Ends the current call. -1 when IDLE; 0 when DISCONNECT went out; a negative errno when it
    // could not be sent (the call is dropped and the engine goes IDLE).
    int disconnect();
    // Sends START for the incoming call to the engine's peer (`peer` only names it in the log).
    // 0 or a negative errno; -ENOTCONN when there is no incoming call (a late request).
    int send_start(const sockaddr_in& peer);

    // One pass of the engine thread: waits up to 1 s, then handles one datagram, a resend
    // expiry and a START-wait expiry, in that order.
    void execute();

    // Changes the IP-call port, re-opening the socket. False only when the new bind fails.
    bool port(uint16_t p);
    // Sets the own address and refreshes the media address of the own connection data.
    void update_address(const std::string& a);
    // Sets the contact address (announced in CALL) and refreshes the media address.
    void set_contact_address(const std::string& a);
    // Replaces the own connection data. False (nothing changed) unless the contact count is 0,
    // 2 or 4 and `valid_codec` accepts the codec. An empty media address is filled in.
    bool default_connect_data(const ipc_connect_data& d);

    std::string get_ip_addr() const;
    // The contact address when it is a valid dotted IPv4 address, else the own address.
    std::string get_external_addr() const;

    status_e status() const;
    const char* status_text() const;
    static const char* status_text(int status);
    sockaddr_in peer() const;
    std::string call_id() const;
    uint16_t port() const;
    ipc_connect_data own_connect_data() const;
    // The connection data of the current call: what this unit sent and what the peer sent.
    void call_connect_data(ipc_connect_data& local, ipc_connect_data& remote) const;

    static const char* result_code_to_text(int code);
    static void set_result_text(char (&text)[32], int code);

    // The engine thread's handlers, for `execute` and for tests that drive the engine by hand.
    void receive_datagram(std::string_view text, const sockaddr_in& from);
    void retry_timer_expired();
    void start_timer_expired();

protected:
    // Hooks, with the defaults of the plain engine. They run with the engine's mutex held.
    virtual int check_connect_data(const ipc_connect_data& data);
    // May an incoming CALL be answered? 0 or a result code.
    virtual int on_incoming(const ipc_msg_call& call);
    // Vets the peer's connection data and, when `answer` is given, fills the answer. 0 or a
    // result code.
    virtual int on_connection_data_offered(const ipc_connect_data& offered, ipc_connect_data* answer,
                                           const sockaddr_in* from, const char* dst_addr);
    virtual int on_connect();
    // The peer ends the call: the result code of the DISCONNECT-RSP.
    virtual int on_disconnect();
    virtual void on_update_status(status_e old_status, status_e new_status, int result);
    virtual bool valid_codec(int codec) const;

private:

    // All of the following run with m_mutex held.
    void read_socket();
    void handle_datagram(std::string_view text, const sockaddr_in& from);
    void dispatch_datagram(std::string_view text, const sockaddr_in& from);
    void handle_call(const ipc_msg_call& m, const sockaddr_in& reply);
    void handle_call_rsp(const ipc_msg_call_rsp& m, const sockaddr_in& reply);
    void handle_start(const ipc_message& m, const sockaddr_in& reply);
    void handle_start_rsp(const ipc_msg_start_rsp& m, const sockaddr_in& reply);
    void handle_disconnect(const ipc_message& m, const sockaddr_in& reply);
    void handle_disconnect_rsp(const ipc_msg_disconnect_rsp& m, const sockaddr_in& reply);
    void on_retry_expiry();
    void on_start_expiry();

    bool is_current(const ipc_message& m) const;
    bool is_past(const ipc_message& m) const;
    void fill_head(ipc_message& m, const char* call_id, int32_t seq, const sockaddr_in& to) const;
    void fill_response_head(ipc_message& rsp, const ipc_message& req, const sockaddr_in& to) const;
    int send(const ipc_message& m, const sockaddr_in& to);
    int respond_call(const ipc_msg_call& req, int code, const ipc_connect_data& data, const sockaddr_in& to);
    int respond(ipc_cmd_id cmd, const ipc_message& req, int code, const sockaddr_in& to);
    int send_disconnect(const sockaddr_in& to);
    void send_stray_disconnect(const ipc_message& m, const sockaddr_in& to);
    void start_retry();
    void update_status(status_e s, int result);
    std::string external_addr_locked() const;
    std::string new_call_id();

    mutable std::mutex m_mutex;
    std::mt19937 m_random;
    std::unique_ptr<ipc_transport> m_transport;
    uint16_t m_port;
    std::string m_local_addr;
    std::string m_contact_addr;

    std::string m_call_id;
    int32_t m_seq = 0;
    sockaddr_in m_peer{};
    int m_retry_count = 0;
    status_e m_status = IDLE;
    std::string m_last_request;
    int32_t m_last_request_seq = 0;
    ipc_cmd_id m_last_request_cmd = IPC_CMD_NONE;
    // The caller accepted a CALL-RSP 0 for the current call, so START may now connect it.
    bool m_answer_accepted = false;

    ipc_connect_data m_own;
    ipc_connect_data m_local;
    ipc_connect_data m_remote;
};

// The thread that runs the engine: one `execute` per pass, so `end` takes effect within ~1 s.
class ip_call_thr_f : public thread_function {
public:
    explicit ip_call_thr_f(ip_call& engine) : m_engine(engine) {}
    void main_loop() override;

private:
    ip_call& m_engine;
};
