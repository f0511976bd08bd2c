#pragma once
// IPv4 settings of the LAN interfaces ("eth0" = LAN1, "eth1" = LAN2) through NetworkManager.
//
// Built on demand for one interface, used and destroyed on one thread. Reads report the address
// in use when the interface has one, else the profile's stored values. Changes are stored in the
// interface's profile ("Wired connection 1" / "Wired connection 2") and the link is restarted so
// that NetworkManager applies them.

#include <string>

typedef struct _NMClient NMClient;
typedef struct _NMDevice NMDevice;
typedef struct _NMRemoteConnection NMRemoteConnection;
typedef struct _NMSettingIPConfig NMSettingIPConfig;

class network_internal {
public:
    virtual ~network_internal() = default;
    virtual std::string ip_address() const = 0;
    virtual std::string subnet_mask() const = 0;
    virtual std::string gateway_addr() const = 0;
};

// The interface as it is now.
class network_device : public network_internal {
public:
    // Throws std::runtime_error "network_device" when NetworkManager does not know `interface`.
    network_device(NMClient* client, const char* interface);
    ~network_device() override;
    network_device(const network_device&) = delete;
    network_device& operator=(const network_device&) = delete;

    std::string ip_address() const override;
    std::string subnet_mask() const override;
    std::string gateway_addr() const override;
    std::string mac_address() const;
    // True when the interface has an IPv4 configuration now.
    bool has_ip4_config() const;

    NMDevice* device() const { return m_device; }

private:
    NMDevice* m_device;
};

// The interface's stored profile.
class network_connection : public network_internal {
public:
    // Throws std::runtime_error "network_manager" when the profile or its IPv4 setting is missing.
    network_connection(NMClient* client, const char* connection_name);
    ~network_connection() override;
    network_connection(const network_connection&) = delete;
    network_connection& operator=(const network_connection&) = delete;

    std::string ip_address() const override;
    std::string subnet_mask() const override;
    std::string gateway_addr() const override;
    // True when the profile takes its address by DHCP (method "auto").
    bool dhcp() const;

    // Prefix length of a dotted mask: the run of one bits from the top; -1 for text that is no
    // mask (not four numbers below 256, or one bits after the first zero bit).
    static int get_mask_bits(const char* mask);
    // Dotted mask of a prefix length (0..32).
    static std::string prefix_to_mask(unsigned prefix);

    NMRemoteConnection* connection() const { return m_connection; }
    NMSettingIPConfig* ip4() const { return m_ip4; }

private:
    NMRemoteConnection* m_connection;
    NMSettingIPConfig* m_ip4;
};

class network_manager {
public:
    // Throws std::runtime_error "network_manager" (the reason is logged).
    explicit network_manager(const char* interface);
    ~network_manager();
    network_manager(const network_manager&) = delete;
    network_manager& operator=(const network_manager&) = delete;

    std::string ip_address() const;
    std::string subnet_mask() const;
    std::string gateway_addr() const;
    bool dhcp() const { return m_connection->dhcp(); }
    std::string mac_address() const { return m_device->mac_address(); }

    // Stores a static address, mask and gateway (none when null or empty) and restarts the link.
    // False, with nothing changed, for an invalid address or mask or a failed commit.
    bool set_static_addr(const char* address, const char* mask, const char* gateway);
    // Switches the profile to DHCP and restarts the link; false when the commit fails.
    bool set_dhcp();

    // "eth0" -> "Wired connection 1", "eth1" -> "Wired connection 2", others: empty.
    static std::string dev_name_to_conn_name(const std::string& interface);

private:
    bool commit(const char* what);
    void restart_link();

    std::string m_interface;
    NMClient* m_client = nullptr;
    network_connection* m_connection = nullptr;
    network_device* m_device = nullptr;
};
