#include "remote_cmd_handler.h"

#include "command.h"
#include "log.h"
#include "util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

struct keyword_row {
    const char* word;
    remote_cmd_handler::keyword_e id;
};
constexpr keyword_row keyword_table[] = {
    {"DIAL", remote_cmd_handler::kw_dial},
    {"DISCONNECT", remote_cmd_handler::kw_disconnect},
    {"GET_STATUS", remote_cmd_handler::kw_get_status},
    {"STATUS", remote_cmd_handler::kw_status},
    {"DIAL_RESULT", remote_cmd_handler::kw_dial_result},
    {"SET", remote_cmd_handler::kw_set},
    {"METER", remote_cmd_handler::kw_meter},
    {"MODE", remote_cmd_handler::kw_mode},
    {"RECONNECT", remote_cmd_handler::kw_reconnect},
    {"RTP_STAT", remote_cmd_handler::kw_rtp_stat},
    {"RTP_TIMEOUT", remote_cmd_handler::kw_rtp_timeout},
};

struct codec_row {
    int id;
    const char* text;
};
constexpr codec_row codec_table[] = {{0, "TEL"}, {96, "Opus"}, {97, "CLEAR"}, {99, "SBADPCM"}, {100, "LPCM"}};

const char* const dial_reason[] = {"",        "",         "not registered", "IP mode", "canceled",
                                   "rejected", "busy",     "not idle",       "timeout", "unknown",
                                   "NGN mode", "not supported", "unacceptable"};

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trim_blanks(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b]))
        ++b;
    while (e > b && is_blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

void set_keepalive(int fd)
{
    int on = 1, idle = 1, interval = 1, count = 5;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// Decimal integer of the whole text; throws std::invalid_argument otherwise.
long parse_decimal(const std::string& text)
{
    std::size_t used = 0;
    const long v = std::stol(text, &used, 10);
    if (used != text.size())
        throw std::invalid_argument("not a number: " + text);
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Server thread

remote_cmd_thr_f::remote_cmd_thr_f(remote_cmd_handler& handler, int pipe_read_fd, uint16_t port)
    : m_handler(handler), m_pipe(pipe_read_fd)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    set_keepalive(fd);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 0) != 0) {
        ::close(fd);
        return;
    }
    socklen_t len = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        m_port = ntohs(a.sin_port);
    m_listen = fd;
}

remote_cmd_thr_f::~remote_cmd_thr_f()
{
    const int c = m_client.exchange(-1);
    if (c >= 0)
        ::close(c);
    if (m_listen >= 0)
        ::close(m_listen);
}

void remote_cmd_thr_f::end()
{
    thread_function::end();
    const int c = m_client.load();
    if (c >= 0)
        ::shutdown(c, SHUT_RDWR);
    if (m_listen >= 0)
        ::shutdown(m_listen, SHUT_RDWR);
}

void remote_cmd_thr_f::main_loop()
{
    if (m_listen < 0) {
        // No listener: still drain the pipe so that no writer ever meets a full one.
        pollfd p{m_pipe, POLLIN, 0};
        if (::poll(&p, 1, 1000) > 0) {
            char buf[1024];
            (void)!::read(m_pipe, buf, sizeof buf);
        }
        return;
    }
    pollfd p[2] = {{m_listen, POLLIN, 0}, {m_pipe, POLLIN, 0}};
    const int n = ::poll(p, 2, 1000);
    if (n <= 0 || ended())
        return;
    if (p[1].revents & POLLIN) {
        // Lines written while nobody was connected (or as the last client left) are not sent to
        // the next client.
        char buf[1024];
        (void)!::read(m_pipe, buf, sizeof buf);
    }
    if (!(p[0].revents & POLLIN))
        return;
    sockaddr_in a{};
    socklen_t len = sizeof a;
    const int c = ::accept4(m_listen, reinterpret_cast<sockaddr*>(&a), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (c < 0) {
        if (ended())
            return;
        log_s.error("remote_cmd_thr_f: accept failed. %s", strerror(errno));
        sleep(1);
        return;
    }
    set_keepalive(c);
    m_client_addr = a;
    m_received.clear();
    m_pending.clear();
    m_partial.clear();
    m_client.store(c);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    m_handler.connected(text, ntohs(a.sin_port));
    serve_client();
    m_handler.disconnected();
    const int old = m_client.exchange(-1);
    if (old >= 0)
        ::close(old);
    m_client_addr = sockaddr_in{};
}

void remote_cmd_thr_f::serve_client()
{
    while (!ended()) {
        const int c = m_client.load();
        pollfd p[2] = {{c, static_cast<short>(POLLIN | POLLRDHUP | (m_pending.empty() ? 0 : POLLOUT)), 0},
                       {m_pipe, POLLIN, 0}};
        const int n = ::poll(p, 2, 1000);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            log_s.error("poll failed.");
            return;
        }
        if (n == 0)
            continue;
        if (p[0].revents & POLLIN) {
            if (!receive_from_client())
                return;
        }
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL | POLLRDHUP))
            return;
        if ((p[1].revents & POLLIN) && !relay_pipe())
            return;
        if (!flush_output())
            return;
    }
}

bool remote_cmd_thr_f::receive_from_client()
{
    char buf[1024];
    const ssize_t r = ::recv(m_client.load(), buf, sizeof buf, 0);
    if (r == 0)
        return false;
    if (r < 0)
        return errno == EAGAIN || errno == EINTR;
    const std::size_t len = strnlen(buf, static_cast<std::size_t>(r));
    if (m_received.size() < 1023) {
        m_received.append(buf, len);
    } else {
        // An over-long line: keep the newest bytes and resynchronise on the next line end.
        m_received.erase(0, std::min(len, m_received.size()));
        m_received.append(buf, len);
        const std::size_t e = m_received.find("\r\n");
        if (e == std::string::npos)
            return true;
        m_received.erase(0, e + 2);
    }
    for (std::size_t e; (e = m_received.find("\r\n")) != std::string::npos;) {
        const std::string line = m_received.substr(0, e + 2);
        m_received.erase(0, e + 2);
        m_handler.line_received(line);
        log_s.info("recv remote command: %s", line.substr(0, line.size() - 2).c_str());
    }
    return true;
}

bool remote_cmd_thr_f::relay_pipe()
{
    char buf[1024];
    const ssize_t r = ::read(m_pipe, buf, sizeof buf);
    if (r <= 0)
        return true;
    m_partial.append(buf, strnlen(buf, static_cast<std::size_t>(r)));
    const std::size_t e = m_partial.rfind("\r\n");
    if (e != std::string::npos) {
        m_pending.append(m_partial, 0, e + 2);
        m_partial.erase(0, e + 2);
    }
    if (m_pending.size() > max_pending_output) {
        // The client has stopped reading: drop it rather than let lines pile up without end.
        log_s.error("remote command send error.");
        return false;
    }
    return true;
}

bool remote_cmd_thr_f::flush_output()
{
    while (!m_pending.empty()) {
        const ssize_t s = ::send(m_client.load(), m_pending.data(), m_pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (s < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return true;
            log_s.error("remote command send error.");
            return false;
        }
        // Log each line once it has left whole.
        std::size_t done = static_cast<std::size_t>(s);
        std::size_t start = 0;
        for (std::size_t e; (e = m_pending.find("\r\n", start)) != std::string::npos && e + 2 <= done;
             start = e + 2)
            log_s.info("send remote command: %s", m_pending.substr(start, e - start).c_str());
        m_pending.erase(0, done);
        if (start < done) {
            // A line went out in part: the rest follows when the socket takes it.
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Handler

remote_cmd_handler::remote_cmd_handler(command_sink& sink, std::function<bool()> sip_mode, uint16_t port)
    : m_sink(sink), m_sip_mode(std::move(sip_mode))
{
    if (::pipe2(m_pipe, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe failed.");
    // A full pipe must never stall the writer (controller or RTP receive thread).
    ::fcntl(m_pipe[1], F_SETFL, ::fcntl(m_pipe[1], F_GETFL) | O_NONBLOCK);
    ::fcntl(m_pipe[0], F_SETFL, ::fcntl(m_pipe[0], F_GETFL) | O_NONBLOCK);
    try {
        m_thread_obj = std::make_unique<remote_cmd_thr_f>(*this, m_pipe[0], port);
        m_thread = std::thread(std::ref(*m_thread_obj));
    } catch (...) {
        m_thread_obj.reset();
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
        throw;
    }
}

remote_cmd_handler::~remote_cmd_handler()
{
    m_thread_obj->end();
    if (m_thread.joinable())
        m_thread.join();
    m_thread_obj.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void remote_cmd_handler::post(int32_t id, const void* data, std::size_t size)
{
    m_sink.post(command(id, data, size));
}

void remote_cmd_handler::connected(const char* address, unsigned short port)
{
    appcmd_remote_term_data d{};
    d.connected = 1;
    strncpy(d.address, address, 32);
    d.port = port;
    {
        std::lock_guard<std::mutex> lock(m_addr_mutex);
        m_client_addr = sockaddr_in{};
        m_client_addr.sin_family = AF_INET;
        inet_pton(AF_INET, address, &m_client_addr.sin_addr);
        m_client_addr.sin_port = htons(port);
    }
    post(appcmd_remote_term, &d, sizeof d);
}

void remote_cmd_handler::disconnected()
{
    appcmd_remote_term_data d{};
    post(appcmd_remote_term, &d, sizeof d);
}

void remote_cmd_handler::line_received(const std::string& line)
{
    std::vector<unsigned char> text(line.begin(), line.end());
    text.push_back(0);
    post(appcmd_remote_command, text.data(), text.size());
}

remote_cmd_handler::keyword_e remote_cmd_handler::keyword(const std::string& word)
{
    for (const auto& row : keyword_table)
        if (word == row.word)
            return row.id;
    return kw_none;
}

void remote_cmd_handler::parse_command(const std::string& line, std::string& word, std::string& argument)
{
    const std::string t = trim_blanks(line);
    std::size_t i = 0;
    while (i < t.size() && !is_blank(t[i]))
        ++i;
    word = t.substr(0, i);
    argument = i < t.size() ? trim_blanks(t.substr(i)) : std::string();
}

const char* remote_cmd_handler::codec_text(int codec)
{
    for (const auto& row : codec_table)
        if (row.id == codec)
            return row.text;
    return nullptr;
}

int remote_cmd_handler::codec_from_text(const std::string& text)
{
    if (text == "g711")
        return 0;
    for (const auto& row : codec_table)
        if (text == row.text)
            return row.id;
    return -1;
}

void remote_cmd_handler::recv_remote_command(const char* line)
{
    std::string word, arg;
    parse_command(line ? line : "", word, arg);
    switch (keyword(word)) {
    case kw_dial: {
        const bool sip = m_sip_mode();
        std::string digits;
        for (char ch : arg) {
            const bool keep = sip ? ((ch >= '0' && ch <= '9') || ch == '*' || ch == '#')
                                  : ((ch >= '0' && ch <= '9') || ch == '.');
            if (keep && digits.size() < 31)
                digits += ch;
        }
        if (sip) {
            appcmd_connect_sip_data d{};
            memcpy(d.number, digits.data(), digits.size());
            post(appcmd_connect_sip, &d, sizeof d);
        } else {
            char d[32] = {};
            memcpy(d, digits.data(), digits.size());
            post(appcmd_ip_call_connect, d, sizeof d);
        }
        break;
    }
    case kw_disconnect:
        post(m_sip_mode() ? appcmd_disconnect_sip : appcmd_ip_call_disconnect);
        break;
    case kw_get_status:
        post(appcmd_send_status);
        break;
    case kw_set: {
        std::size_t start = 0;
        while (start <= arg.size() && !arg.empty()) {
            std::size_t comma = arg.find(',', start);
            if (comma == std::string::npos)
                comma = arg.size();
            const std::string item = arg.substr(start, comma - start);
            start = comma + 1;
            const std::size_t eq = item.find('=');
            const std::string key = item.substr(0, eq);
            const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
            if (key.empty())
                continue;
            if (key == "codec") {
                const int32_t id = codec_from_text(value);
                post(appcmd_set_codec, &id, sizeof id);
            } else if (key == "incom" && (value == "ON" || value == "OFF")) {
                const uint8_t on = value == "ON" ? 1 : 0;
                post(appcmd_set_incom, &on, 1);
            }
            if (comma == arg.size())
                break;
        }
        post(appcmd_send_setting);
        break;
    }
    case kw_meter: {
        if (arg.empty()) {
            post(appcmd_meter_query);
            break;
        }
        appcmd_meter_udp_data d{};
        if (arg != "OFF") {
            const long port = parse_decimal(arg);  // not a number: the command loop reports it
            if ((port & 0xffff) != 0) {
                d.on = 1;
                std::lock_guard<std::mutex> lock(m_addr_mutex);
                d.address = m_client_addr;
                d.address.sin_family = AF_INET;
                d.address.sin_port = htons(static_cast<uint16_t>(port & 0xffff));
            }
        }
        post(appcmd_meter_udp, &d, sizeof d);
        break;
    }
    case kw_mode:
        if (arg.empty()) {
            post(appcmd_send_mode);
        } else {
            const uint8_t ngn = arg == "NGN" ? 1 : 0;
            post(appcmd_rmtcmd_set_mode, &ngn, 1);
        }
        break;
    case kw_reconnect: {
        appcmd_reconnect_data d{-1, -1};
        std::size_t start = 0;
        for (;;) {
            std::size_t comma = arg.find(',', start);
            const std::string item = arg.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (item == "ON")
                d.enable = 1;
            else if (item == "OFF")
                d.enable = 0;
            else if (item.rfind("times=", 0) == 0) {
                try {
                    d.times = static_cast<int32_t>(parse_decimal(item.substr(6)));
                } catch (const std::exception& e) {
                    log_s.warn("remote command exception: %s", e.what());
                    d.times = -1;
                }
            }
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        post(appcmd_rmtcmd_reconnect, &d, sizeof d);
        break;
    }
    case kw_rtp_stat:
        post(appcmd_rmtcmd_rtp_stat);
        break;
    case kw_rtp_timeout: {
        const uint8_t off = arg == "OFF" ? 1 : 0;
        post(appcmd_rmtcmd_rtp_timeout, &off, 1);
        break;
    }
    default:
        break;
    }
}

void remote_cmd_handler::send_line(const std::string& line)
{
    if (!client_connected())
        return;
    const std::string text = line + "\r\n";
    // One write per line: the pipe keeps lines below PIPE_BUF whole. A full pipe means the client
    // is not reading; the line is dropped instead of blocking the caller.
    const ssize_t w = ::write(m_pipe[1], text.data(), text.size());
    if (w != static_cast<ssize_t>(text.size()))
        log_s.error("remote command send error.");
}

std::string remote_cmd_handler::status_line(const status_data& s)
{
    std::string line = "STATUS connection=" + s.state + ",destination=" + s.destination + ",line=" +
                       (s.line == 1 ? "analog," : "digital,");
    const std::pair<const char*, bool> flags[] = {{"lan_led", s.lan_led},
                                                  {"gw_led", s.gw_led},
                                                  {"con_led", s.con_led},
                                                  {"in_led", s.in_led},
                                                  {"err_led", s.err_led}};
    for (const auto& [name, on] : flags)
        line += std::string(name) + "=" + (on ? "on," : "off,");
    line.pop_back();
    return line;
}

void remote_cmd_handler::send_status_command(const status_data& status, bool force)
{
    const std::string line = status_line(status);
    if (!force && line == m_last_status)
        return;
    if (!client_connected())
        return;
    m_last_status = line;
    send_line(line);
}

std::string remote_cmd_handler::dial_result_line(int result)
{
    if (result == dial_ok)
        return "DIAL_RESULT OK";
    if (result < 0 || result >= 13)
        return "DIAL_RESULT NG unkonwn";
    return std::string("DIAL_RESULT NG ") + dial_reason[result];
}

void remote_cmd_handler::send_dial_result_command(int result)
{
    send_line(dial_result_line(result));
}

std::string remote_cmd_handler::setting_line(const setting_data& s)
{
    const char* text = codec_text(s.codec);
    if (!text) {
        log_s.warn("get_codec_text: unknown codec id %d", s.codec);
        text = "";
    }
    return std::string("SETTING codec=") + text + ",incom=" + (s.incom ? "ON" : "OFF");
}

void remote_cmd_handler::send_setting_command(const setting_data& setting)
{
    send_line(setting_line(setting));
}

void remote_cmd_handler::send_mode_command(bool ngn)
{
    send_line(std::string("MODE ") + (ngn ? "NGN" : "IP"));
}

void remote_cmd_handler::send_rtp_stat_command(unsigned loss, unsigned overflow, unsigned underflow)
{
    send_line("RTP_STAT loss=" + std::to_string(loss) + ",overflow=" + std::to_string(overflow) +
              ",underflow=" + std::to_string(underflow));
}

void remote_cmd_handler::send_reconnect_command(bool on, int times)
{
    send_line(std::string("RECONNECT ") + (on ? "ON" : "OFF") + ",times=" + std::to_string(times));
}

void remote_cmd_handler::send_rtp_timeout_command(bool on)
{
    send_line(std::string("RTP_TIMEOUT ") + (on ? "ON" : "OFF"));
}
