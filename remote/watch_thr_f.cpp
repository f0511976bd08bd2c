#include "watch_thr_f.h"

#include "command.h"
#include "log.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

watch_thr_f::watch_thr_f(const char* interface, command_sink& controller)
    : m_controller(controller), m_interface(interface ? interface : "")
{
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        throw std::system_error(errno, std::generic_category(), "socket");
}

watch_thr_f::~watch_thr_f()
{
    ::close(m_socket);
}

bool watch_thr_f::link_up(uint32_t& address) const
{
    ifreq r{};
    strncpy(r.ifr_name, m_interface.c_str(), IFNAMSIZ - 1);
    if (::ioctl(m_socket, SIOCGIFFLAGS, &r) != 0 || !(r.ifr_flags & IFF_UP))
        return false;
    ifreq a{};
    strncpy(a.ifr_name, m_interface.c_str(), IFNAMSIZ - 1);
    a.ifr_addr.sa_family = AF_INET;
    if (::ioctl(m_socket, SIOCGIFADDR, &a) != 0)
        return false;
    address = reinterpret_cast<const sockaddr_in*>(&a.ifr_addr)->sin_addr.s_addr;
    return address != 0;
}

void watch_thr_f::main_loop()
{
    uint32_t address = 0;
    const bool up = link_up(address);
    if (up != m_up) {
        m_up = up;
        log_s.info("LAN link %s", up ? "up" : "down");
        unsigned char d[8] = {};
        d[0] = up ? 1 : 0;
        memcpy(d + 4, &address, 4);
        m_controller.post(command(appcmd_change_lan_stat, d, sizeof d));
    }
    for (int i = 0; i < 10 && !ended(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}
