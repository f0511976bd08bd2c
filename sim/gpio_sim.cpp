#include "gpio_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

namespace orva::sim {
namespace {

int write_file_if_missing(const std::string& path, const char* text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? 0 : -1;
    const size_t n = std::char_traits<char>::length(text);
    const bool ok = ::write(fd, text, n) == static_cast<ssize_t>(n);
    ::close(fd);
    return ok ? 0 : -1;
}

char first_byte(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char c = 0;
    if (::read(fd, &c, 1) != 1)
        c = 0;
    ::close(fd);
    return c;
}

// One watched value file.
struct edge_watch {
    std::string value_path;
    int signal_fd;  // our end of the socket pair
    char last;
};

// Watches the directories of the value files with inotify and marks edges. One per process,
// started with the first edge descriptor and kept for the process's life.
class edge_watcher {
public:
    static edge_watcher& instance()
    {
        static edge_watcher* w = new edge_watcher;  // lives until exit: its thread never stops
        return *w;
    }

    int open(const std::string& value_path)
    {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return -1;
        const auto slash = value_path.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : value_path.substr(0, slash);
        std::lock_guard<std::mutex> lock(m_mutex);
        const int wd = ::inotify_add_watch(m_inotify, dir.c_str(),
                                           IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE);
        if (wd < 0) {
            const int err = errno;
            ::close(pair[0]);
            ::close(pair[1]);
            errno = err;
            return -1;
        }
        m_watches[pair[0]] = {wd, edge_watch{value_path, pair[1], first_byte(value_path)}};
        return pair[0];
    }

    void close(int fd)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_watches.find(fd);
        if (it == m_watches.end())
            return;
        ::close(it->second.second.signal_fd);
        m_watches.erase(it);
        // The directory watch stays: other lines may share it, and an idle watch costs nothing.
    }

private:
    edge_watcher()
    {
        m_inotify = ::inotify_init1(IN_CLOEXEC);
        std::thread([this] { run(); }).detach();
    }

    void run()
    {
        alignas(inotify_event) char buf[4096];
        for (;;) {
            pollfd p{m_inotify, POLLIN, 0};
            // A write may land between two polls without an event of its own (a watch added
            // late), so the files are also compared at a slow pace.
            ::poll(&p, 1, 200);
            if (p.revents & POLLIN)
                [[maybe_unused]] auto n = ::read(m_inotify, buf, sizeof buf);
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto& [fd, entry] : m_watches) {
                edge_watch& w = entry.second;
                const char now = first_byte(w.value_path);
                // An empty file is a writer between truncation and its write, not a level.
                if (now == 0 || now == w.last)
                    continue;
                w.last = now;
                const char mark = '!';
                ::send(w.signal_fd, &mark, 1, MSG_OOB | MSG_DONTWAIT | MSG_NOSIGNAL);
            }
        }
    }

    int m_inotify = -1;
    std::mutex m_mutex;  // guards m_watches
    std::map<int, std::pair<int, edge_watch>> m_watches;  // edge fd -> {inotify watch, entry}
};

}  // namespace

int gpio_export(const std::string& gpio_dir, int number)
{
    const std::string dir = gpio_dir + "/gpio" + std::to_string(number);
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return -1;
    if (write_file_if_missing(dir + "/direction", "in\n") != 0)
        return -1;
    return write_file_if_missing(dir + "/value", "1\n");
}

int gpio_edge_open(const std::string& value_path)
{
    return edge_watcher::instance().open(value_path);
}

void gpio_edge_ack(int fd)
{
    char c;
    ::recv(fd, &c, 1, MSG_OOB | MSG_DONTWAIT);
    // A second edge before this acknowledgement turns the first mark into ordinary data.
    while (::recv(fd, &c, 1, MSG_DONTWAIT) > 0) {
    }
}

void gpio_edge_close(int fd)
{
    edge_watcher::instance().close(fd);
    ::close(fd);
}

}  // namespace orva::sim
