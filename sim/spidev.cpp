#include "spidev.h"

#include "unit_root.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace orva {
namespace {

// What the kernel keeps per open spidev file.
struct sim_device {
    bool socket = false;
    std::string path;  // the socket of a simulated device
    uint8_t mode = 0;
    uint8_t bits = 8;
    uint32_t speed = 500000;
};

std::mutex g_mutex;  // guards g_devices
std::map<int, sim_device> g_devices;

int fail(int err)
{
    errno = err;
    return -1;
}

bool send_all(int fd, const void* data, size_t length)
{
    return ::send(fd, data, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
}

int connect_device(const std::string& where)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (where.size() >= sizeof addr.sun_path)
        return fail(ENAMETOOLONG);
    std::memcpy(addr.sun_path, where.c_str(), where.size());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    return fd;
}

// A simulated device that was restarted (a new panel server) is connected again under the same
// descriptor, as a board device stays where it is.
bool reconnect(int fd, const std::string& where)
{
    const int fresh = connect_device(where);
    if (fresh < 0)
        return false;
    const bool ok = ::dup3(fresh, fd, O_CLOEXEC) == fd;
    ::close(fresh);
    return ok;
}

// One request and its answer on a simulated device: the answer's length, or -1 with errno.
ssize_t exchange(int fd, const std::vector<uint8_t>& msg, std::vector<uint8_t>& rx)
{
    if (!send_all(fd, msg.data(), msg.size()))
        return -1;
    ssize_t n;
    do {
        n = ::recv(fd, rx.data(), rx.size(), 0);
    } while (n < 0 && errno == EINTR);
    if (n == 0)
        return fail(ECONNRESET);
    return n;
}

int transfer(int fd, const sim_device& dev, const spi_ioc_transfer& x)
{
    const uint32_t speed = x.speed_hz ? x.speed_hz : dev.speed;
    const uint8_t bits = x.bits_per_word ? x.bits_per_word : dev.bits;
    if (x.len > sim::spi_max_transfer)
        return fail(EMSGSIZE);
    std::vector<uint8_t> tx(x.len, 0);
    if (x.tx_buf)
        std::memcpy(tx.data(), reinterpret_cast<const void*>(static_cast<uintptr_t>(x.tx_buf)), x.len);

    if (!dev.socket) {
        std::string line = "mode=" + std::to_string(dev.mode) + " bits=" + std::to_string(bits) +
                           " speed=" + std::to_string(speed) + " tx=";
        char hex[3];
        for (uint8_t b : tx) {
            std::snprintf(hex, sizeof hex, "%02x", b);
            line += hex;
        }
        line += "\n";
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return -1;
        if (x.rx_buf)
            std::memset(reinterpret_cast<void*>(static_cast<uintptr_t>(x.rx_buf)), 0, x.len);
        return 0;
    }

    std::vector<uint8_t> msg(sizeof(sim::spi_wire_header) + x.len);
    sim::spi_wire_header h{'X', dev.mode, bits, 0, speed, x.len};
    std::memcpy(msg.data(), &h, sizeof h);
    std::memcpy(msg.data() + sizeof h, tx.data(), x.len);
    std::vector<uint8_t> rx(x.len + 1);
    ssize_t n = exchange(fd, msg, rx);
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) && reconnect(fd, dev.path))
        n = exchange(fd, msg, rx);
    if (n < 0)
        return -1;
    if (n != static_cast<ssize_t>(x.len))
        return fail(EIO);
    if (x.rx_buf)
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(x.rx_buf)), rx.data(), x.len);
    return 0;
}

int sim_ioctl(int fd, unsigned long request, void* arg)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    auto it = g_devices.find(fd);
    if (it == g_devices.end())
        return fail(EBADF);
    sim_device& dev = it->second;
    if (!arg)
        return fail(EFAULT);
    switch (request) {
    case SPI_IOC_WR_MODE:
        dev.mode = *static_cast<uint8_t*>(arg);
        return 0;
    case SPI_IOC_RD_MODE:
        *static_cast<uint8_t*>(arg) = dev.mode;
        return 0;
    case SPI_IOC_WR_BITS_PER_WORD:
        dev.bits = *static_cast<uint8_t*>(arg);
        return 0;
    case SPI_IOC_RD_BITS_PER_WORD:
        *static_cast<uint8_t*>(arg) = dev.bits;
        return 0;
    case SPI_IOC_WR_MAX_SPEED_HZ:
        dev.speed = *static_cast<uint32_t*>(arg);
        return 0;
    case SPI_IOC_RD_MAX_SPEED_HZ:
        *static_cast<uint32_t*>(arg) = dev.speed;
        return 0;
    default:
        break;
    }
    if (_IOC_TYPE(request) != SPI_IOC_MAGIC || _IOC_NR(request) != 0 || _IOC_DIR(request) != _IOC_WRITE)
        return fail(ENOTTY);
    const unsigned size = _IOC_SIZE(request);
    if (size % sizeof(spi_ioc_transfer) != 0)
        return fail(EINVAL);
    // The transfer may wait on the device: do not hold the table meanwhile.
    const sim_device settings = dev;
    lock.unlock();
    const auto* xfers = static_cast<const spi_ioc_transfer*>(arg);
    int total = 0;
    for (unsigned i = 0; i < size / sizeof(spi_ioc_transfer); ++i) {
        if (transfer(fd, settings, xfers[i]) < 0)
            return -1;
        total += static_cast<int>(xfers[i].len);
    }
    return total;
}

}  // namespace

int spidev_open(const char* path)
{
    if (!simulated_board())
        return ::open(path, O_RDWR);
    if (!path)
        return fail(EFAULT);
    const std::string where = unit_path(path);
    struct stat st{};
    sim_device dev;
    int fd;
    if (::stat(where.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
        fd = connect_device(where);
        if (fd < 0)
            return -1;
        dev.socket = true;
        dev.path = where;
    } else {
        fd = ::open(where.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return -1;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_devices[fd] = dev;
    return fd;
}

int spidev_ioctl(int fd, unsigned long request, void* arg)
{
    if (!simulated_board())
        return ::ioctl(fd, request, arg);
    return sim_ioctl(fd, request, arg);
}

int spidev_close(int fd)
{
    if (simulated_board()) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_devices.erase(fd);
    }
    return ::close(fd);
}

}  // namespace orva
