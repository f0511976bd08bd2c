// One IP-call unit for the network checks: a real `ip_call_app` on a UDP socket, run by its own
// thread, with a small stand-in for the controller around it. The stand-in does what the
// controller does with the engine's reports: START on INCOMING, media on CONNECT, a redial
// through the reconnector when a call drops. "Media" here is a heartbeat datagram every 100 ms to
// the peer's agreed media address and audio port; when none arrives for --rtp-timeout-ms while
// connected, the stand-in hangs up and redials, as the unit does on an RTP time-out.
//
// Commands on standard input, one per line: "call ADDRESS", "disconnect", "quit".
// Events on standard output, one per line, each starting with the monotonic time in ms:
//   <ms> STATE <state> <result>      every state report (command 9)
//   <ms> CALL <result>               result of a call placed
//   <ms> START <result>              result of send_start
//   <ms> DISCONNECT <result>         result of a disconnect
//   <ms> RTP_TIMEOUT                 no media while connected
//   <ms> RECONNECT <attempt> / RECONNECT_FAILED
//   <ms> READY <port> <media-port>   the engine runs
//
// Options: --bind A (socket address, default any), --local A (own address), --port P,
// --contact A, --mode 0|1, --reconnect N (arm the reconnector for N attempts),
// --rtp-timeout-ms N (0: no media check), --use-all-gpio 0|1, --control 0|1, --codec N.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "ip_call_app.h"
#include "log.h"
#include "reconnector.h"

namespace {

long long now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void event(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void event(const char* fmt, ...)
{
    static std::mutex m;
    char line[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    std::lock_guard lock(m);
    std::printf("%lld %s\n", now_ms(), line);
    std::fflush(stdout);
}

constexpr int32_t k_quit = 1;
constexpr int32_t k_rtp_timeout = appcmd_disconnect;

class endpoint_host : public ip_call_host {
public:
    void post(const command& c) override
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(c);
        m_cond.notify_all();
    }
    app_config& config() override { return cfg; }
    bool is_valid_codec(int codec) override
    {
        return codec == 0 || codec == 96 || codec == 97 || codec == 99 || codec == 100;
    }
    command wait_pop()
    {
        std::unique_lock lock(m_mutex);
        m_cond.wait(lock, [this] { return !m_queue.empty(); });
        command c = std::move(m_queue.front());
        m_queue.pop_front();
        return c;
    }

    app_config cfg;

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<command> m_queue;
};

// The heartbeat that stands for the media streams of a connected call.
class media_stand_in {
public:
    media_stand_in(in_addr_t bind_addr, endpoint_host& host, int timeout_ms)
        : m_host(host), m_timeout_ms(timeout_ms)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = bind_addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
            std::perror("media socket");
            std::exit(2);
        }
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~media_stand_in()
    {
        m_end = true;
        m_thread.join();
        ::close(m_fd);
    }
    uint16_t port() const { return m_port; }

    void start(const ipc_connect_data& remote)
    {
        std::lock_guard lock(m_mutex);
        m_to = sockaddr_in{};
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(remote.audio_port);
        inet_pton(AF_INET, remote.media_addr, &m_to.sin_addr);
        m_running = true;
        m_last_rx = now_ms();
        m_timed_out = false;
    }
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
    }

private:
    void run()
    {
        long long next_tx = 0;
        while (!m_end) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char b[16];
                while (::recv(m_fd, b, sizeof b, MSG_DONTWAIT) > 0) {
                    std::lock_guard lock(m_mutex);
                    m_last_rx = now_ms();
                }
            }
            std::lock_guard lock(m_mutex);
            if (!m_running) {
                continue;
            }
            const long long t = now_ms();
            if (t >= next_tx) {
                ::sendto(m_fd, "M", 1, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&m_to), sizeof m_to);
                next_tx = t + 100;
            }
            if (m_timeout_ms > 0 && !m_timed_out && t - m_last_rx > m_timeout_ms) {
                m_timed_out = true;
                m_host.post(command(k_rtp_timeout));
            }
        }
    }

    endpoint_host& m_host;
    int m_timeout_ms;
    int m_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_end{false};
    std::thread m_thread;
    std::mutex m_mutex;
    sockaddr_in m_to{};
    bool m_running = false;
    bool m_timed_out = false;
    long long m_last_rx = 0;
};

struct options {
    std::string bind = "0.0.0.0";
    std::string local = "127.0.0.1";
    std::string contact;
    int port = 23500;
    int mode = 1;
    int reconnect = 0;
    int rtp_timeout_ms = 0;
    int use_all_gpio = 0;
    int control = 0;
    int codec = 97;
};

options parse_options(int argc, char** argv)
{
    options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        const std::string v = argv[i + 1];
        if (k == "--bind") o.bind = v;
        else if (k == "--local") o.local = v;
        else if (k == "--contact") o.contact = v;
        else if (k == "--port") o.port = std::stoi(v);
        else if (k == "--mode") o.mode = std::stoi(v);
        else if (k == "--reconnect") o.reconnect = std::stoi(v);
        else if (k == "--rtp-timeout-ms") o.rtp_timeout_ms = std::stoi(v);
        else if (k == "--use-all-gpio") o.use_all_gpio = std::stoi(v);
        else if (k == "--control") o.control = std::stoi(v);
        else if (k == "--codec") o.codec = std::stoi(v);
        else {
            std::fprintf(stderr, "unknown option %s\n", k.c_str());
            std::exit(2);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    const options o = parse_options(argc, argv);
    endpoint_host host;
    in_addr bind_addr{};
    inet_pton(AF_INET, o.bind.c_str(), &bind_addr);
    media_stand_in media(bind_addr.s_addr, host, o.rtp_timeout_ms);

    host.cfg.set("application.mode", o.mode);
    host.cfg.set("ip_call.port", o.port);
    host.cfg.set("audio.codec_id", o.codec);
    host.cfg.set("audio.port", static_cast<int>(media.port()));
    host.cfg.set("control.enable", o.control);
    host.cfg.set("control.use_all_gpio", o.use_all_gpio);
    host.cfg.set("reconnect.enable", o.reconnect > 0 ? 1 : 0);
    host.cfg.set("reconnect.times", o.reconnect > 0 ? o.reconnect : 10);

    ipc_connect_data cleared{};
    cleared.gpio = 2;
    ip_call_app engine(host, cleared, static_cast<uint16_t>(o.port), o.local, o.contact,
                       std::make_unique<ipc_udp_transport>(bind_addr.s_addr));
    setup_ip_call(&engine, host.cfg);
    ip_call_thr_f engine_thread_fn(engine);
    std::thread engine_thread(std::ref(engine_thread_fn));
    reconnector redial(host, false, host.cfg.get<int>("reconnect.times"));
    bool reconnecting = false;

    std::thread input([&host] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line.rfind("call ", 0) == 0) {
                char address[32] = {};
                std::strncpy(address, line.c_str() + 5, sizeof address - 1);
                host.post(command(appcmd_ip_call_connect, address, sizeof address));
            } else if (line == "disconnect") {
                host.post(command(appcmd_ip_call_disconnect));
            } else if (line == "quit") {
                break;
            }
        }
        host.post(command(k_quit));
    });

    event("READY %d %d", o.port, media.port());
    for (;;) {
        const command c = host.wait_pop();
        if (c.id == k_quit) {
            break;
        }
        switch (c.id) {
        case appcmd_ip_call_connect: {
            const std::string address(reinterpret_cast<const char*>(c.data.data()));
            const int r = engine.call(address);
            event("CALL %d", r);
            if (r == 0 && !reconnecting && host.cfg.get<int>("reconnect.enable") != 0) {
                redial.enable(address, false);
            }
            break;
        }
        case appcmd_ip_call_disconnect:
            event("DISCONNECT %d", engine.disconnect());
            break;
        case k_rtp_timeout:
            event("RTP_TIMEOUT");
            media.stop();
            reconnecting = host.cfg.get<int>("reconnect.enable") != 0;
            event("DISCONNECT %d", engine.disconnect());
            break;
        case appcmd_ip_call_status: {
            appcmd_state_result s;
            std::memcpy(&s, c.data.data(), sizeof s);
            event("STATE %d %d", s.state, s.result);
            if (s.state == ip_call::IDLE) {
                media.stop();
                if (reconnecting) {
                    if (redial.retry()) {
                        event("RECONNECT %d", redial.count());
                    } else {
                        event("RECONNECT_FAILED");
                        reconnecting = false;
                    }
                }
            } else if (s.state == ip_call::INCOMING) {
                event("START %d", engine.send_start(engine.peer()));
            } else if (s.state == ip_call::CONNECT) {
                reconnecting = false;
                ipc_connect_data local, remote;
                engine.call_connect_data(local, remote);
                media.start(remote);
            }
            break;
        }
        default:
            break;
        }
    }
    engine_thread_fn.end();
    engine_thread.join();
    input.detach();  // blocked on standard input; the process ends here
    std::_Exit(0);
}
