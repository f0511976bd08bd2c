#include "ip_call.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <system_error>

#include "ipc_parser.h"
#include "log.h"

namespace {

constexpr const char* k_status_texts[] = {"IDLE", "CALLING", "INCOMING", "CONNECT", "DISCONNECTING"};

// A dotted IPv4 address as the unit accepts it: four decimal numbers below 256 separated by
// points (what follows the fourth number is ignored).
bool to_in_addr(const char* text, in_addr& out)
{
    unsigned b[4];
    char tail;
    const int n = std::sscanf(text, "%u.%u.%u.%u%c", &b[0], &b[1], &b[2], &b[3], &tail);
    if (n < 4 || b[0] > 255 || b[1] > 255 || b[2] > 255 || b[3] > 255) {
        return false;
    }
    out.s_addr = htonl((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]);
    return true;
}

bool valid_ipv4(const std::string& text)
{
    in_addr a;
    return to_in_addr(text.c_str(), a);
}

std::string addr_text(const sockaddr_in& a)
{
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
    return buf;
}

const char* log_name(ipc_cmd_id c)
{
    switch (c) {
    case IPC_CMD_CALL_RSP:
        return "CALL_RSP";
    case IPC_CMD_START_RSP:
        return "START_RSP";
    case IPC_CMD_DISCONNECT_RSP:
        return "DISCONNECT_RSP";
    default:
        return ipc_parser::to_cmd_name(c);
    }
}

}  // namespace

ip_call::ip_call(const ipc_connect_data& own, uint16_t port, const std::string& local_addr,
                 const std::string& contact_addr)
    : ip_call(own, port, local_addr, contact_addr, std::make_unique<ipc_udp_transport>())
{
}

ip_call::ip_call(const ipc_connect_data& own, uint16_t port, const std::string& local_addr,
                 const std::string& contact_addr, std::unique_ptr<ipc_transport> transport)
    : m_random(std::random_device("default")()),
      m_transport(std::move(transport)),
      m_port(port),
      m_local_addr(local_addr),
      m_contact_addr(contact_addr),
      m_own(own)
{
    log_s.debug("IP address = %s", m_local_addr.c_str());
    ipc_copy_text(m_own.media_addr, external_addr_locked());
    if (!m_transport->open(port)) {
        throw std::system_error(errno, std::system_category(), "ip_call::ip_call: bind");
    }
}

ip_call::~ip_call() = default;

// ---- public operations (controller thread) ----

int ip_call::call(const std::string& destination)
{
    std::lock_guard lock(m_mutex);
    if (m_status != IDLE) {
        log_s.error("ip_call: call failed. status = %d", static_cast<int>(m_status));
        return 1;
    }
    if (m_local_addr.empty()) {
        return 2;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    if (!to_in_addr(destination.c_str(), to.sin_addr)) {
        log_s.error("IP-call: can't send %s to %s: %s", "CALL", destination.c_str(), std::strerror(EINVAL));
        return -EINVAL;
    }
    const std::string id = new_call_id();
    ipc_msg_call c;
    fill_head(c, id.c_str(), 1, to);
    ipc_copy_text(c.dst_addr, destination);
    ipc_copy_text(c.contact_addr, m_contact_addr);
    c.data = m_own;
    const int r = send(c, to);
    if (r < 0) {
        return r;
    }
    m_peer = to;
    m_local = m_own;
    m_last_request = ipc_parser::to_string(c);
    m_last_request_seq = 1;
    m_last_request_cmd = IPC_CMD_CALL;
    m_call_id = id;
    m_seq = 1;
    m_answer_accepted = false;
    update_status(CALLING, 0);
    start_retry();
    return 0;
}

int ip_call::disconnect()
{
    std::lock_guard lock(m_mutex);
    if (m_status == IDLE) {
        return -1;
    }
    const int r = send_disconnect(m_peer);
    if (r < 0) {
        update_status(IDLE, 0);
        return r;
    }
    update_status(DISCONNECTING, 0);
    start_retry();
    return 0;
}

int ip_call::send_start(const sockaddr_in& peer)
{
    std::lock_guard lock(m_mutex);
    // The state report that asks for START may be handled after the call has already ended;
    // a START then would name a dead call.
    if (m_status != INCOMING) {
        log_s.warn("IP-call: no incoming call to start (status %s)", status_text(m_status));
        return -ENOTCONN;
    }
    ipc_message start(IPC_CMD_START);
    fill_head(start, m_call_id.c_str(), m_seq + 1, m_peer);
    // START is kept for resending even when its first send fails.
    m_last_request = ipc_parser::to_string(start);
    m_last_request_seq = start.seq_no;
    m_last_request_cmd = IPC_CMD_START;
    const int r = m_transport->send_to(m_last_request, m_peer);
    if (r < 0) {
        log_s.error("IP-call: can't send %s to %s: %s", "START", addr_text(peer).c_str(), std::strerror(-r));
    } else {
        m_seq = start.seq_no;
        log_s.info("IP-call: send %s to %s", "START", addr_text(peer).c_str());
    }
    start_retry();
    return r;
}

void ip_call::execute()
{
    const int ready = m_transport->wait(1000);
    if (ready == 0) {
        return;
    }
    if (ready < 0) {
        log_s.error("IP-call: poll failed. %s", std::strerror(-ready));
        return;
    }
    std::lock_guard lock(m_mutex);
    if (ready & ipc_ready_socket) {
        read_socket();
    }
    if ((ready & ipc_ready_retry) && m_transport->acknowledge(ipc_timer::retry)) {
        on_retry_expiry();
    }
    if ((ready & ipc_ready_start_command) && m_transport->acknowledge(ipc_timer::start_command)) {
        on_start_expiry();
    }
}

bool ip_call::port(uint16_t p)
{
    std::lock_guard lock(m_mutex);
    if (!m_transport->is_open() || p == m_port) {
        m_port = p;
        return true;
    }
    if (m_transport->open(p)) {
        m_port = p;
        return true;
    }
    const int e = errno;
    // Without a socket the unit could neither call nor be called: keep serving the old port.
    log_s.error("IP-call: can't bind port %u: %s", static_cast<unsigned>(p), std::strerror(e));
    m_transport->open(m_port);
    return false;
}

void ip_call::update_address(const std::string& a)
{
    std::lock_guard lock(m_mutex);
    m_local_addr = a;
    ipc_copy_text(m_own.media_addr, external_addr_locked());
}

void ip_call::set_contact_address(const std::string& a)
{
    std::lock_guard lock(m_mutex);
    m_contact_addr = a;
    ipc_copy_text(m_own.media_addr, external_addr_locked());
}

bool ip_call::default_connect_data(const ipc_connect_data& d)
{
    std::lock_guard lock(m_mutex);
    if ((d.gpio != 0 && d.gpio != 2 && d.gpio != 4) || !valid_codec(d.codec) || check_connect_data(d) != 0) {
        return false;
    }
    m_own = d;
    if (m_own.media_addr[0] == '\0') {
        ipc_copy_text(m_own.media_addr, external_addr_locked());
    }
    return true;
}

std::string ip_call::get_ip_addr() const
{
    std::lock_guard lock(m_mutex);
    return m_local_addr;
}

std::string ip_call::get_external_addr() const
{
    std::lock_guard lock(m_mutex);
    return external_addr_locked();
}

std::string ip_call::external_addr_locked() const
{
    return valid_ipv4(m_contact_addr) ? m_contact_addr : m_local_addr;
}

ip_call::status_e ip_call::status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

const char* ip_call::status_text() const
{
    return status_text(status());
}

const char* ip_call::status_text(int status)
{
    return status >= IDLE && status <= DISCONNECTING ? k_status_texts[status] : "unknown";
}

sockaddr_in ip_call::peer() const
{
    std::lock_guard lock(m_mutex);
    return m_peer;
}

std::string ip_call::call_id() const
{
    std::lock_guard lock(m_mutex);
    return m_call_id;
}

uint16_t ip_call::port() const
{
    std::lock_guard lock(m_mutex);
    return m_port;
}

ipc_connect_data ip_call::own_connect_data() const
{
    std::lock_guard lock(m_mutex);
    return m_own;
}

void ip_call::call_connect_data(ipc_connect_data& local, ipc_connect_data& remote) const
{
    std::lock_guard lock(m_mutex);
    local = m_local;
    remote = m_remote;
}

const char* ip_call::result_code_to_text(int code)
{
    return ipc_result_text(code);
}

void ip_call::set_result_text(char (&text)[32], int code)
{
    ipc_parser::set_result_text(text, code);
}

void ip_call::read_socket()
{
    char buffer[receive_size];
    sockaddr_in from{};
    // One byte stays free so that the text always ends in a NUL.
    const int n = m_transport->receive(buffer, sizeof buffer - 1, from);
    if (n <= 0) {
        return;
    }
    buffer[n] = '\0';
    handle_datagram(std::string_view(buffer, static_cast<std::size_t>(n)), from);
}

void ip_call::receive_datagram(std::string_view text, const sockaddr_in& from)
{
    std::lock_guard lock(m_mutex);
    handle_datagram(text, from);
}

void ip_call::handle_datagram(std::string_view text, const sockaddr_in& from)
{
    // Whatever one datagram provokes (a hook that throws included) must not end the engine
    // thread: the unit would stop answering calls.
    try {
        dispatch_datagram(text, from);
    } catch (const std::exception& e) {
        log_s.error("IP-call: message dropped: %s", e.what());
    }
}

void ip_call::dispatch_datagram(std::string_view text, const sockaddr_in& from)
{
    text = text.substr(0, text.find('\0'));
    const auto msg = ipc_parser::parse(text);
    if (!msg) {
        log_s.warn("IP-call: receive UNKNOWN: %s", std::string(text).c_str());
        return;
    }
    // A response goes to where the request came from, or to the address the sender asked to be
    // reached at; a contact address that is no IPv4 address cannot be that.
    sockaddr_in reply = from;
    if (msg->contact_addr[0] != '\0') {
        to_in_addr(msg->contact_addr, reply.sin_addr);
    }
    switch (msg->command) {
    case IPC_CMD_CALL:
        handle_call(static_cast<const ipc_msg_call&>(*msg), reply);
        break;
    case IPC_CMD_CALL_RSP:
        handle_call_rsp(static_cast<const ipc_msg_call_rsp&>(*msg), reply);
        break;
    case IPC_CMD_START:
        handle_start(*msg, reply);
        break;
    case IPC_CMD_START_RSP:
        handle_start_rsp(static_cast<const ipc_msg_start_rsp&>(*msg), reply);
        break;
    case IPC_CMD_DISCONNECT:
        handle_disconnect(*msg, reply);
        break;
    case IPC_CMD_DISCONNECT_RSP:
        handle_disconnect_rsp(static_cast<const ipc_msg_disconnect_rsp&>(*msg), reply);
        break;
    default:
        break;
    }
}

void ip_call::retry_timer_expired()
{
    std::lock_guard lock(m_mutex);
    on_retry_expiry();
}

void ip_call::start_timer_expired()
{
    std::lock_guard lock(m_mutex);
    on_start_expiry();
}

// ---- hooks ----

int ip_call::check_connect_data(const ipc_connect_data&)
{
    return 0;
}

int ip_call::on_incoming(const ipc_msg_call&)
{
    return 0;
}

int ip_call::on_connection_data_offered(const ipc_connect_data& offered, ipc_connect_data* answer,
                                        const sockaddr_in* from, const char* dst_addr)
{
    if (!from || !answer) {
        return 0;
    }
    *answer = m_own;
    // The caller reached this unit at dst_addr, so media can come there too; a DST-ADDR that is
    // no address would send the caller's media nowhere.
    if (dst_addr && valid_ipv4(dst_addr)) {
        ipc_copy_text(answer->media_addr, dst_addr);
    }
    int result = IPC_RESULT_OK;
    if (valid_codec(offered.codec)) {
        answer->codec = offered.codec;
        std::memcpy(answer->codec_option, offered.codec_option, sizeof answer->codec_option);
        answer->codec_option[sizeof answer->codec_option - 1] = '\0';
    } else {
        result = IPC_RESULT_NOT_SUPPORTED;
    }
    answer->video_mode = offered.video_mode == 0 ? 0 : offered.video_mode == 1 ? 2 : 1;
    if (offered.video_mode != 0) {
        answer->v_tcp_active = !offered.v_tcp_active;
    }
    answer->ctrl_enable = offered.ctrl_enable;
    if (offered.ctrl_enable) {
        answer->c_tcp_active = !offered.c_tcp_active;
    }
    answer->incom_enable = offered.incom_enable;
    return result;
}

int ip_call::on_connect()
{
    return 0;
}

int ip_call::on_disconnect()
{
    return 0;
}

void ip_call::on_update_status(status_e, status_e, int) {}

bool ip_call::valid_codec(int codec) const
{
    return codec == 0 || codec == 96 || codec == 97 || codec == 99 || codec == 100;
}

// ---- handlers (engine thread, m_mutex held) ----

bool ip_call::is_current(const ipc_message& m) const
{
    return m_call_id == m.call_id;
}

bool ip_call::is_past(const ipc_message& m) const
{
    if (m.seq_no < m_seq) {
        log_s.warn("IP-call: receive past msg: seq = %d, cur = %d", m.seq_no, m_seq);
        return true;
    }
    return false;
}

void ip_call::handle_call(const ipc_msg_call& m, const sockaddr_in& reply)
{
    log_s.debug("IP-call: receive CALL from %s", m.src_addr);
    const bool current = is_current(m);
    if (m_status != IDLE && !current) {
        respond_call(m, IPC_RESULT_BUSY, m_local, reply);
        return;
    }
    if (current && (m_status == CONNECT || m_status == DISCONNECTING)) {
        // A late copy of the CALL of a call that has moved on: its answer was lost or overtaken.
        // Answer it as before, and leave the call as it is.
        const int32_t seq = m_seq;
        respond_call(m, IPC_RESULT_OK, m_local, reply);
        m_seq = seq;
        return;
    }
    int code = on_incoming(m);
    if (code != 0) {
        respond_call(m, code, m.data, reply);
        return;
    }
    ipc_connect_data answer{};
    answer.gpio = 2;
    answer.codec = 0;
    code = on_connection_data_offered(m.data, &answer, &reply, m.dst_addr);
    if (code != 0) {
        respond_call(m, code, m.data, reply);
        return;
    }
    m_call_id = m.call_id;
    m_seq = m.seq_no;
    m_peer.sin_family = AF_INET;
    m_peer.sin_port = htons(m.src_port);
    if (!to_in_addr(m.contact_addr, m_peer.sin_addr) && !to_in_addr(m.src_addr, m_peer.sin_addr)) {
        m_peer.sin_addr = reply.sin_addr;
    }
    if (respond_call(m, IPC_RESULT_OK, answer, reply) < 0) {
        return;
    }
    m_peer = reply;
    m_local = answer;
    m_remote = m.data;
    update_status(INCOMING, 0);
}

void ip_call::handle_call_rsp(const ipc_msg_call_rsp& m, const sockaddr_in& reply)
{
    log_s.debug("IP-call: receive CALL-RSP: %s", m.result_text);
    const bool current = is_current(m);
    if (m_status != CALLING) {
        // A duplicate of the answer that was already taken is stale, not a reason to hang up.
        if (current && m_status != IDLE && is_past(m)) {
            return;
        }
        send_stray_disconnect(m, reply);
        // Once IDLE the call is over: the DISCONNECT ends it at the peer, and nothing is left
        // here to wait for.
        if (current && m_status != IDLE) {
            update_status(DISCONNECTING, 0);
            start_retry();
        }
        return;
    }
    if (!current) {
        // An answer to some other call: end that one, keep this call going.
        send_stray_disconnect(m, reply);
        return;
    }
    if (is_past(m)) {
        return;
    }
    m_transport->stop(ipc_timer::retry);
    if (m.result_code != 0) {
        update_status(IDLE, m.result_code);
        return;
    }
    if (on_connection_data_offered(m.data, nullptr, nullptr, nullptr) != 0) {
        send_stray_disconnect(m, reply);
        update_status(DISCONNECTING, 0);
        start_retry();
        return;
    }
    m_remote = m.data;
    m_seq = m.seq_no;
    m_answer_accepted = true;
    if (m_transport->start(ipc_timer::start_command, start_wait_ms) < 0) {
        log_s.error("IP-call: start command timer failed.");
    }
}

void ip_call::handle_start(const ipc_message& m, const sockaddr_in& reply)
{
    log_s.debug("IP-call: receive START");
    if (!is_current(m)) {
        respond(IPC_CMD_START_RSP, m, IPC_RESULT_UNACCEPTABLE, reply);
        return;
    }
    if (m_status == CONNECT) {
        // The callee resends START until it hears START-RSP; if one answer was lost, answer
        // again rather than let the callee give up on a connected call.
        const int32_t seq = m_seq;
        respond(IPC_CMD_START_RSP, m, IPC_RESULT_OK, reply);
        m_seq = std::max(seq, m_seq);
        return;
    }
    // Before an accepted CALL-RSP there are no agreed connection data to connect with.
    if (m_status != CALLING || !m_answer_accepted) {
        log_s.warn("IP-call: receive unexpected START message.");
        return;
    }
    if (is_past(m)) {
        return;
    }
    const int code = on_connect();
    if (respond(IPC_CMD_START_RSP, m, code, reply) == 0 && code == 0) {
        update_status(CONNECT, 0);
    }
}

void ip_call::handle_start_rsp(const ipc_msg_start_rsp& m, const sockaddr_in& reply)
{
    log_s.debug("IP-call: receive START-RSP: %s", m.result_text);
    if (!is_current(m)) {
        send_stray_disconnect(m, reply);
        return;
    }
    if (is_past(m)) {
        return;
    }
    if (m_status != INCOMING) {
        log_s.warn("IP-call: receive unexpected START-RSP message.");
        return;
    }
    m_transport->stop(ipc_timer::retry);
    update_status(CONNECT, 0);
    on_connect();
    m_seq = m.seq_no;
}

void ip_call::handle_disconnect(const ipc_message& m, const sockaddr_in& reply)
{
    log_s.debug("IP-call: receive DISCONNECT");
    if (m_call_id.empty()) {
        respond(IPC_CMD_DISCONNECT_RSP, m, on_disconnect(), reply);
        return;
    }
    if (!is_current(m)) {
        respond(IPC_CMD_DISCONNECT_RSP, m, IPC_RESULT_OK, reply);
        return;
    }
    if (is_past(m)) {
        return;
    }
    respond(IPC_CMD_DISCONNECT_RSP, m, on_disconnect(), reply);
    update_status(IDLE, 0);
}

void ip_call::handle_disconnect_rsp(const ipc_msg_disconnect_rsp& m, const sockaddr_in&)
{
    log_s.debug("IP-call: receive DISCONNECT-RSP: %s", ipc_result_text(m.result_code));
    if (!is_current(m)) {
        return;
    }
    if (m_status == DISCONNECTING) {
        update_status(IDLE, 0);
    } else {
        log_s.warn("IP-call: receive unexpected DISCONNECT-RSP message.");
    }
}

void ip_call::on_retry_expiry()
{
    if (m_retry_count >= max_retries) {
        m_transport->stop(ipc_timer::retry);
        if (m_status != IDLE) {
            send_disconnect(m_peer);
            update_status(IDLE, IPC_RESULT_TIMEOUT);
        }
        return;
    }
    if (m_last_request.empty()) {
        // Nothing left to resend: the call ended.
        m_transport->stop(ipc_timer::retry);
        return;
    }
    const int r = m_transport->send_to(m_last_request, m_peer);
    // A resend that cannot go out still uses up one of the tries: a peer that cannot be reached
    // must end in a time-out, not in resending for ever.
    ++m_retry_count;
    if (r < 0) {
        log_s.error("IP-call: can't send %s to %s: %s", log_name(m_last_request_cmd), addr_text(m_peer).c_str(),
                    std::strerror(-r));
        return;
    }
    m_seq = m_last_request_seq;
    log_s.debug("IP-call: RETRY %d", m_retry_count);
}

void ip_call::on_start_expiry()
{
    if (m_status == IDLE) {
        m_transport->stop(ipc_timer::start_command);
        return;
    }
    if (send_disconnect(m_peer) < 0) {
        update_status(IDLE, 0);
        return;
    }
    update_status(DISCONNECTING, 0);
    start_retry();
}

// ---- making and sending messages ----

void ip_call::fill_head(ipc_message& m, const char* call_id, int32_t seq, const sockaddr_in& to) const
{
    m.version = 1;
    ipc_copy_text(m.call_id, call_id);
    m.seq_no = seq;
    ipc_copy_text(m.src_addr, m_local_addr);
    m.src_port = m_port;
    ipc_copy_text(m.dst_addr, addr_text(to));
    m.contact_addr[0] = '\0';
}

void ip_call::fill_response_head(ipc_message& rsp, const ipc_message& req, const sockaddr_in& to) const
{
    fill_head(rsp, req.call_id, req.seq_no + 1, to);
    // The requester asked to be reached at its contact address; tell it where it reached us.
    if (req.contact_addr[0] != '\0') {
        std::memcpy(rsp.contact_addr, req.dst_addr, sizeof rsp.contact_addr);
    }
}

int ip_call::send(const ipc_message& m, const sockaddr_in& to)
{
    const std::string text = ipc_parser::to_text(m);
    const int r = m_transport->send_to(text, to);
    const std::string where = addr_text(to);
    if (r < 0) {
        log_s.error("IP-call: can't send %s to %s: %s", log_name(m.command), where.c_str(), std::strerror(-r));
        return r;
    }
    if (m_call_id == m.call_id) {
        m_seq = m.seq_no;
    }
    if (auto res = dynamic_cast<const ipc_msg_result*>(&m)) {
        log_s.info("IP-call: send %s to %s, result = %s", log_name(m.command), where.c_str(), res->result_text);
    } else {
        log_s.info("IP-call: send %s to %s", log_name(m.command), where.c_str());
    }
    return 0;
}

int ip_call::respond_call(const ipc_msg_call& req, int code, const ipc_connect_data& data, const sockaddr_in& to)
{
    ipc_msg_call_rsp rsp;
    fill_response_head(rsp, req, to);
    rsp.result_code = code;
    set_result_text(rsp.result_text, code);
    rsp.data = data;
    return send(rsp, to);
}

int ip_call::respond(ipc_cmd_id cmd, const ipc_message& req, int code, const sockaddr_in& to)
{
    std::unique_ptr<ipc_msg_result> rsp;
    if (cmd == IPC_CMD_START_RSP) {
        rsp = std::make_unique<ipc_msg_start_rsp>();
    } else {
        rsp = std::make_unique<ipc_msg_disconnect_rsp>();
    }
    fill_response_head(*rsp, req, to);
    rsp->result_code = code;
    set_result_text(rsp->result_text, code);
    return send(*rsp, to);
}

int ip_call::send_disconnect(const sockaddr_in& to)
{
    ipc_msg_disconnect d;
    fill_head(d, m_call_id.c_str(), m_seq + 1, to);
    const int r = send(d, to);
    if (r == 0) {
        m_last_request = ipc_parser::to_string(d);
        m_last_request_seq = d.seq_no;
        m_last_request_cmd = IPC_CMD_DISCONNECT;
    }
    return r;
}

void ip_call::send_stray_disconnect(const ipc_message& m, const sockaddr_in& to)
{
    ipc_msg_disconnect d;
    fill_head(d, m.call_id, m.seq_no + 1, to);
    if (send(d, to) == 0 && is_current(m)) {
        m_last_request = ipc_parser::to_string(d);
        m_last_request_seq = d.seq_no;
        m_last_request_cmd = IPC_CMD_DISCONNECT;
    }
}

void ip_call::start_retry()
{
    m_retry_count = 0;
    m_transport->start(ipc_timer::retry, retry_interval_ms);
}

void ip_call::update_status(status_e s, int result)
{
    if (s == m_status) {
        return;
    }
    if (s == IDLE) {
        m_last_request.clear();
        m_last_request_seq = 0;
        m_local = ipc_connect_data{};
        m_remote = ipc_connect_data{};
        m_peer = sockaddr_in{};
        m_seq = 0;
        m_answer_accepted = false;
    }
    log_s.info("IP-call: status %s", status_text(s));
    if (s != CALLING) {
        m_transport->stop(ipc_timer::start_command);
    }
    const status_e old = m_status;
    m_status = s;
    on_update_status(old, s, result);
}

std::string ip_call::new_call_id()
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(m_random()));
    return buf;
}

void ip_call_thr_f::main_loop()
{
    m_engine.execute();
}
