#include "panel_server.h"

#include "spidev.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <system_error>
#include <vector>

namespace orva::sim {
namespace {

constexpr uint32_t panel_bus_speed = 100000;
constexpr uint8_t panel_bus_mode = 3;

sockaddr_un socket_address(const std::string& path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        throw std::system_error(ENAMETOOLONG, std::system_category(), path);
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    return addr;
}

// The level of a select line: its value file starts with '1' when high.
bool line_high(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char c = 0;
    const bool high = ::read(fd, &c, 1) == 1 && c == '1';
    ::close(fd);
    return high;
}

}  // namespace

panel_server::panel_server(std::string socket_path, std::string gpio_dir)
    : m_path(std::move(socket_path)), m_gpio_dir(std::move(gpio_dir))
{
    const sockaddr_un addr = socket_address(m_path);
    m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        throw std::system_error(errno, std::system_category(), "panel_server: socket");
    ::unlink(m_path.c_str());
    if (::bind(m_listen, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 16) != 0 || ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(m_listen);
        throw std::system_error(err, std::system_category(), "panel_server: " + m_path);
    }
}

panel_server::~panel_server()
{
    stop();
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_listen);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    ::unlink(m_path.c_str());
}

void panel_server::start()
{
    m_thread = std::thread([this] { run(); });
}

void panel_server::stop()
{
    m_stop = true;
    const char c = 'q';
    [[maybe_unused]] auto r = ::write(m_wake[1], &c, 1);
}

void panel_server::run()
{
    std::vector<int> clients;
    std::vector<uint8_t> buf(sizeof(spi_wire_header) + spi_max_transfer + 1);
    while (!m_stop) {
        std::vector<pollfd> fds;
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        for (int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 1000) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            const int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0)
                clients.push_back(c);
        }
        std::vector<int> gone;
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t n = ::recv(fds[i].fd, buf.data(), buf.size(), MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0) {
                gone.push_back(fds[i].fd);
                continue;
            }
            const std::string answer = handle(buf.data(), static_cast<size_t>(n));
            if (::send(fds[i].fd, answer.data(), answer.size(), MSG_NOSIGNAL) < 0)
                gone.push_back(fds[i].fd);
        }
        for (int c : gone) {
            ::close(c);
            std::erase(clients, c);
        }
    }
    for (int c : clients)
        ::close(c);
}

int panel_server::selected() const
{
    const bool l90 = line_high(m_gpio_dir + "/gpio90/value");
    const bool l92 = line_high(m_gpio_dir + "/gpio92/value");
    if (l90 && !l92)
        return 1;
    if (!l90 && l92)
        return 2;
    return 0;
}

std::string panel_server::handle(const uint8_t* data, size_t length)
{
    if (length == 0 || data[0] != 'X')
        return handle_text(std::string(reinterpret_cast<const char*>(data), length));
    spi_wire_header h{};
    if (length < sizeof h)
        return {};
    std::memcpy(&h, data, sizeof h);
    if (h.length != length - sizeof h)
        return {};
    const uint8_t* tx = data + sizeof h;
    std::string rx(h.length, '\0');
    const int device = selected();
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool wire_ok = h.mode == panel_bus_mode && h.speed_hz == panel_bus_speed && h.bits_per_word == 8;
    if (m_trace.size() >= 100000)
        m_trace.pop_front();
    if (device == 0) {
        m_model.note_unselected();
        m_trace.emplace_back("U");
    } else if (device == 1) {
        if (!wire_ok || h.length != 1)
            m_model.note_bad_transfer();
        for (uint32_t i = 0; i < h.length; ++i) {
            m_model.display_byte(tx[i]);
            char item[8];
            std::snprintf(item, sizeof item, "D %02x", tx[i]);
            m_trace.emplace_back(item);
        }
    } else {
        if (!wire_ok)
            m_model.note_bad_transfer();
        m_model.key_led_frame(tx, reinterpret_cast<uint8_t*>(rx.data()), h.length);
        m_trace.emplace_back("K");
    }
    return rx;
}

std::string panel_server::handle_text(const std::string& text)
{
    std::istringstream in(text);
    std::string verb, key;
    in >> verb;
    if (verb == "state")
        return state_text();
    in >> key;
    const int index = panel_key_index(key);
    if (verb != "press" && verb != "down" && verb != "up")
        return "error: unknown command\n";
    if (index < 0)
        return "error: unknown key\n";
    if (verb == "press") {
        int frames = 2;
        in >> frames;
        press(index, frames);
    } else if (verb == "down") {
        key_down(index);
    } else {
        key_up(index);
    }
    return "ok\n";
}

std::vector<std::string> panel_server::trace() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_trace.begin(), m_trace.end()};
}

void panel_server::clear_trace()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace.clear();
}

panel_state panel_server::state() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.state();
}

std::string panel_server::state_text() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.state_text();
}

void panel_server::press(int key, int frames)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.press(key, frames);
}

void panel_server::key_down(int key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.key_down(key);
}

void panel_server::key_up(int key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.key_up(key);
}

panel_client::panel_client(const std::string& socket_path)
{
    const sockaddr_un addr = socket_address(socket_path);
    m_fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        throw std::system_error(errno, std::system_category(), "panel_client: socket");
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int err = errno;
        ::close(m_fd);
        throw std::system_error(err, std::system_category(), "panel_client: " + socket_path);
    }
}

panel_client::~panel_client()
{
    ::close(m_fd);
}

std::string panel_client::request(const std::string& command)
{
    if (::send(m_fd, command.data(), command.size(), MSG_NOSIGNAL) < 0)
        return {};
    std::string answer(8192, '\0');
    ssize_t n;
    do {
        n = ::recv(m_fd, answer.data(), answer.size(), 0);
    } while (n < 0 && errno == EINTR);
    answer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return answer;
}

std::map<std::string, std::string> panel_client::state()
{
    return parse_state_text(request("state"));
}

std::map<std::string, std::string> parse_state_text(const std::string& text)
{
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto blank = line.find(' ');
        if (blank == std::string::npos)
            out[line] = "";
        else
            out[line.substr(0, blank)] = line.substr(blank + 1);
    }
    return out;
}

}  // namespace orva::sim
