#include "reconnector.h"

#include <algorithm>
#include <cstring>

reconnector::reconnector(command_sink& controller, bool sip_mode, int32_t max_times)
    : m_controller(controller), m_sip_mode(sip_mode), m_max(max_times), m_count(max_times)
{
}

void reconnector::enable(const std::string& destination, bool sip_mode)
{
    m_destination = destination;
    m_sip_mode = sip_mode;
    m_count = 0;
    m_armed = true;
}

void reconnector::disable()
{
    m_armed = false;
    m_count = 0;
    m_destination.clear();
}

void reconnector::reset()
{
    disable();
}

bool reconnector::retry()
{
    if (!m_armed) {
        return false;
    }
    if (m_count >= m_max) {
        m_armed = false;
        return false;
    }
    const std::size_t n = std::min<std::size_t>(m_destination.size(), 31);
    if (m_sip_mode) {
        appcmd_connect_sip_data d{};
        std::memcpy(d.number, m_destination.data(), n);
        d.use_contact_number = 0;
        m_controller.post(command(appcmd_connect_sip, &d, sizeof d));
    } else {
        char address[32] = {};
        std::memcpy(address, m_destination.data(), n);
        m_controller.post(command(appcmd_ip_call_connect, address, sizeof address));
    }
    ++m_count;
    return true;
}
