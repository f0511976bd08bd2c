#include "network_manager.h"

#include "log.h"

#include <NetworkManager.h>
#include <arpa/inet.h>

#include <cstdio>
#include <stdexcept>

// libnm's blocking calls are deprecated in favour of asynchronous ones; this class is
// synchronous by design (built, used and destroyed on one thread).
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

struct gerror_holder {
    GError* error = nullptr;
    ~gerror_holder()
    {
        if (error)
            g_error_free(error);
    }
    const char* message() const { return error && error->message ? error->message : "unknown error"; }
};

std::string first_address(GPtrArray* addresses, unsigned* prefix)
{
    if (!addresses || addresses->len == 0)
        return {};
    auto* a = static_cast<NMIPAddress*>(g_ptr_array_index(addresses, 0));
    if (prefix)
        *prefix = nm_ip_address_get_prefix(a);
    const char* text = nm_ip_address_get_address(a);
    return text ? text : "";
}

NMIPConfig* device_ip4(NMDevice* device)
{
    return device ? nm_device_get_ip4_config(device) : nullptr;
}

}  // namespace

network_device::network_device(NMClient* client, const char* interface)
    : m_device(client && interface ? nm_client_get_device_by_iface(client, interface) : nullptr)
{
    if (!m_device) {
        log_s.error("network_device");
        throw std::runtime_error("network_manager");
    }
    g_object_ref(m_device);
}

network_device::~network_device()
{
    g_object_unref(m_device);
}

bool network_device::has_ip4_config() const
{
    NMIPConfig* c = device_ip4(m_device);
    return c && nm_ip_config_get_addresses(c) && nm_ip_config_get_addresses(c)->len > 0;
}

std::string network_device::ip_address() const
{
    NMIPConfig* c = device_ip4(m_device);
    return c ? first_address(nm_ip_config_get_addresses(c), nullptr) : "";
}

std::string network_device::subnet_mask() const
{
    NMIPConfig* c = device_ip4(m_device);
    unsigned prefix = 0;
    if (!c || first_address(nm_ip_config_get_addresses(c), &prefix).empty())
        return {};
    return network_connection::prefix_to_mask(prefix);
}

std::string network_device::gateway_addr() const
{
    NMIPConfig* c = device_ip4(m_device);
    const char* gw = c ? nm_ip_config_get_gateway(c) : nullptr;
    return gw ? gw : "";
}

std::string network_device::mac_address() const
{
    const char* mac = nm_device_get_hw_address(m_device);
    return mac ? mac : "";
}

network_connection::network_connection(NMClient* client, const char* connection_name)
    : m_connection(client && connection_name ? nm_client_get_connection_by_id(client, connection_name) : nullptr),
      m_ip4(nullptr)
{
    if (!m_connection) {
        log_s.error("network_connection: can't get connection.");
        throw std::runtime_error("network_manager");
    }
    m_ip4 = nm_connection_get_setting_ip4_config(NM_CONNECTION(m_connection));
    if (!m_ip4) {
        log_s.error("network_connection: can't get IP4 configurations.");
        throw std::runtime_error("network_manager");
    }
    g_object_ref(m_connection);
}

network_connection::~network_connection()
{
    g_object_unref(m_connection);
}

std::string network_connection::ip_address() const
{
    if (nm_setting_ip_config_get_num_addresses(m_ip4) == 0)
        return {};
    const char* a = nm_ip_address_get_address(nm_setting_ip_config_get_address(m_ip4, 0));
    return a ? a : "";
}

std::string network_connection::subnet_mask() const
{
    if (nm_setting_ip_config_get_num_addresses(m_ip4) == 0)
        return {};
    return prefix_to_mask(nm_ip_address_get_prefix(nm_setting_ip_config_get_address(m_ip4, 0)));
}

std::string network_connection::gateway_addr() const
{
    const char* gw = nm_setting_ip_config_get_gateway(m_ip4);
    return gw ? gw : "";
}

bool network_connection::dhcp() const
{
    const char* method = nm_setting_ip_config_get_method(m_ip4);
    return method && std::string(method) == NM_SETTING_IP4_CONFIG_METHOD_AUTO;
}

int network_connection::get_mask_bits(const char* mask)
{
    if (!mask)
        return -1;
    unsigned b[4];
    char sep[3];
    int used = 0;
    if (std::sscanf(mask, "%u%c%u%c%u%c%u%n", &b[0], &sep[0], &b[1], &sep[1], &b[2], &sep[2], &b[3], &used) != 7)
        return -1;
    for (unsigned v : b)
        if (v > 255)
            return -1;
    const uint32_t value = (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    int bits = 0;
    while (bits < 32 && (value & (0x80000000u >> bits)))
        ++bits;
    // Anything set below the run of ones is no mask: the prefix would silently change it.
    if (bits < 32 && (value << bits) != 0)
        return -1;
    return bits;
}

std::string network_connection::prefix_to_mask(unsigned prefix)
{
    const uint32_t v = prefix == 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefix)) - 1);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", v >> 24, (v >> 16) & 255, (v >> 8) & 255, v & 255);
    return text;
}

std::string network_manager::dev_name_to_conn_name(const std::string& interface)
{
    if (interface == "eth0")
        return "Wired connection 1";
    if (interface == "eth1")
        return "Wired connection 2";
    return {};
}

network_manager::network_manager(const char* interface) : m_interface(interface ? interface : "")
{
    gerror_holder err;
    m_client = nm_client_new(nullptr, &err.error);
    if (!m_client) {
        log_s.error("network_manager: nm_client_new failed. %s", err.message());
        throw std::runtime_error("network_manager");
    }
    try {
        m_connection = new network_connection(m_client, dev_name_to_conn_name(m_interface).c_str());
        m_device = new network_device(m_client, m_interface.c_str());
    } catch (...) {
        delete m_connection;
        g_object_unref(m_client);
        throw;
    }
}

network_manager::~network_manager()
{
    delete m_device;
    delete m_connection;
    g_object_unref(m_client);
}

std::string network_manager::ip_address() const
{
    std::string v = m_device->ip_address();
    return v.empty() ? m_connection->ip_address() : v;
}

std::string network_manager::subnet_mask() const
{
    std::string v = m_device->subnet_mask();
    return v.empty() ? m_connection->subnet_mask() : v;
}

std::string network_manager::gateway_addr() const
{
    std::string v = m_device->gateway_addr();
    return v.empty() ? m_connection->gateway_addr() : v;
}

bool network_manager::commit(const char* what)
{
    gerror_holder err;
    if (!nm_remote_connection_commit_changes(m_connection->connection(), TRUE, nullptr, &err.error)) {
        log_s.error("%s: %s", what, err.message());
        return false;
    }
    return true;
}

void network_manager::restart_link()
{
    gerror_holder err;
    if (!nm_device_disconnect(m_device->device(), nullptr, &err.error))
        log_s.warn("network_manager::down: %s", err.message());
    nm_device_set_autoconnect(m_device->device(), TRUE);
}

bool network_manager::set_static_addr(const char* address, const char* mask, const char* gateway)
{
    if (!address || !nm_utils_ipaddr_valid(AF_INET, address)) {
        log_s.debug("network_manager: nm_utils_ipaddr_valid failed. ip = %s", address ? address : "");
        return false;
    }
    const int prefix = network_connection::get_mask_bits(mask);
    if (prefix < 0) {
        log_s.warn("network_manager: invalid subnet mask. mask = %s", mask ? mask : "");
        return false;
    }
    if (gateway && *gateway && !nm_utils_ipaddr_valid(AF_INET, gateway)) {
        log_s.warn("network_manager: invalid gateway. gateway = %s", gateway);
        return false;
    }
    gerror_holder err;
    NMIPAddress* a = nm_ip_address_new(AF_INET, address, static_cast<guint>(prefix), &err.error);
    if (!a) {
        log_s.warn("network_manager: nm_ip_address_new failed. %s", err.message());
        return false;
    }
    NMSettingIPConfig* ip4 = m_connection->ip4();
    nm_setting_ip_config_clear_addresses(ip4);
    nm_setting_ip_config_add_address(ip4, a);
    nm_ip_address_unref(a);
    g_object_set(ip4, NM_SETTING_IP_CONFIG_GATEWAY, gateway && *gateway ? gateway : nullptr,
                 NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP4_CONFIG_METHOD_MANUAL, nullptr);
    if (!commit("network_manager: nm_remote_connection_commit_changes failed."))
        return false;
    restart_link();
    return true;
}

bool network_manager::set_dhcp()
{
    NMSettingIPConfig* ip4 = m_connection->ip4();
    g_object_set(ip4, NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP4_CONFIG_METHOD_AUTO, NM_SETTING_IP_CONFIG_GATEWAY,
                 nullptr, nullptr);
    nm_setting_ip_config_clear_addresses(ip4);
    if (!commit("nm_remote_connection_commit_changes"))
        return false;
    restart_link();
    return true;
}
