// LAN address settings against the simulated board's NetworkManager (python-dbusmock).
#include "network_manager.h"

#include <gio/gio.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

// A private bus with the NetworkManager mock. The process keeps one connection to "the system
// bus" for its life, as the unit does, so the bus lives for the whole suite and every test starts
// from a freshly loaded mock.
class NetworkManagerMock : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char tmpl[] = "/tmp/orva-nm-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        root = tmpl;
        const std::string cmd = std::string(ORVA_SOURCE_DIR "/sim/nm-mock start ") + root;
        FILE* p = ::popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        char line[512] = {};
        const bool got = std::fgets(line, sizeof line, p) != nullptr;
        ASSERT_EQ(::pclose(p), 0) << "the mock did not start";
        ASSERT_TRUE(got);
        bus_address = line;
        while (!bus_address.empty() && bus_address.back() == '\n')
            bus_address.pop_back();
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_address.c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        const std::string cmd = std::string(ORVA_SOURCE_DIR "/sim/nm-mock stop ") + root;
        [[maybe_unused]] int r = std::system(cmd.c_str());
        std::filesystem::remove_all(root);
    }
    void SetUp() override
    {
        ASSERT_FALSE(bus_address.empty());
        GVariant* v = call("/org/freedesktop", "org.freedesktop.DBus.Mock", "Reset", nullptr);
        ASSERT_NE(v, nullptr);
        g_variant_unref(v);
    }

    static GVariant* call(const std::string& path, const char* iface, const char* method, GVariant* args)
    {
        GError* error = nullptr;
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            bus_address.c_str(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (!bus) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
            return nullptr;
        }
        GVariant* v = g_dbus_connection_call_sync(bus, "org.freedesktop.NetworkManager", path.c_str(), iface, method,
                                                  args, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
        if (!v) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
        }
        g_object_unref(bus);
        return v;
    }

    // How often the mock restarted the link of `iface`.
    unsigned restarts(const char* iface)
    {
        const std::string path = std::string("/org/freedesktop/NetworkManager/Devices/") + iface;
        GVariant* v = call(path, "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", "com.orva.Sim", "Restarts"));
        if (!v)
            return 0;
        GVariant* inner = nullptr;
        g_variant_get(v, "(v)", &inner);
        const unsigned n = g_variant_get_uint32(inner);
        g_variant_unref(inner);
        g_variant_unref(v);
        return n;
    }

    static inline std::string root;
    static inline std::string bus_address;
};

struct reading {
    std::string address, mask, gateway;
    bool dhcp;
};

reading read(const char* iface)
{
    network_manager nm(iface);
    return {nm.ip_address(), nm.subnet_mask(), nm.gateway_addr(), nm.dhcp()};
}

TEST_F(NetworkManagerMock, ReadsTheAddressInUseElseTheProfile)
{
    const reading eth0 = read("eth0");  // up, by DHCP
    EXPECT_EQ(eth0.address, "192.0.2.10");
    EXPECT_EQ(eth0.mask, "255.255.255.0");
    EXPECT_EQ(eth0.gateway, "192.0.2.1");
    EXPECT_TRUE(eth0.dhcp);
    const reading eth1 = read("eth1");  // down: the profile's stored values
    EXPECT_EQ(eth1.address, "198.51.100.20");
    EXPECT_EQ(eth1.mask, "255.255.255.0");
    EXPECT_EQ(eth1.gateway, "198.51.100.1");
    EXPECT_FALSE(eth1.dhcp);
    network_manager nm("eth0");
    EXPECT_EQ(nm.mac_address(), "02:00:5E:00:00:10");
}

TEST_F(NetworkManagerMock, StaticAddressIsStoredAndTheLinkRestarted)
{
    {
        network_manager nm("eth0");
        EXPECT_TRUE(nm.set_static_addr("192.0.2.77", "255.255.255.128", "192.0.2.126"));
    }
    EXPECT_EQ(restarts("eth0"), 1u);
    const reading r = read("eth0");
    EXPECT_EQ(r.address, "192.0.2.77");
    EXPECT_EQ(r.mask, "255.255.255.128");
    EXPECT_EQ(r.gateway, "192.0.2.126");
    EXPECT_FALSE(r.dhcp);

    {
        network_manager nm("eth0");
        EXPECT_TRUE(nm.set_static_addr("192.0.2.78", "255.255.255.255", nullptr));  // a host route, /32
    }
    const reading host = read("eth0");
    EXPECT_EQ(host.address, "192.0.2.78");
    EXPECT_EQ(host.mask, "255.255.255.255");
    EXPECT_EQ(host.gateway, "");
}

TEST_F(NetworkManagerMock, DhcpClearsTheStaticSettings)
{
    {
        network_manager nm("eth1");
        EXPECT_TRUE(nm.set_dhcp());
    }
    EXPECT_EQ(restarts("eth1"), 1u);
    const reading r = read("eth1");
    EXPECT_TRUE(r.dhcp);
    EXPECT_EQ(r.address, "198.51.100.10");  // the lease
    EXPECT_EQ(r.gateway, "198.51.100.1");
}

TEST_F(NetworkManagerMock, InvalidSettingsChangeNothing)
{
    struct bad_case {
        const char* name;
        const char* address;
        const char* mask;
        const char* gateway;
    };
    const bad_case cases[] = {
        {"address is no IPv4 address", "192.0.2", "255.255.255.0", nullptr},
        {"address of words", "gateway", "255.255.255.0", nullptr},
        {"mask with a gap", "192.0.2.50", "255.0.255.0", nullptr},
        {"mask with a stray bit", "192.0.2.50", "255.255.255.1", nullptr},
        {"mask of words", "192.0.2.50", "mask", nullptr},
        {"mask byte above 255", "192.0.2.50", "255.256.0.0", nullptr},
        {"gateway is no address", "192.0.2.50", "255.255.255.0", "192.0.2.x"},
    };
    for (const auto& c : cases) {
        network_manager nm("eth0");
        EXPECT_FALSE(nm.set_static_addr(c.address, c.mask, c.gateway)) << c.name;
    }
    EXPECT_EQ(restarts("eth0"), 0u);
    const reading r = read("eth0");
    EXPECT_EQ(r.address, "192.0.2.10");
    EXPECT_TRUE(r.dhcp);
}

TEST_F(NetworkManagerMock, UnknownInterfaceThrows)
{
    EXPECT_THROW(network_manager("eth2"), std::runtime_error);
}

TEST(NetworkMask, MasksAndPrefixes)
{
    const std::pair<const char*, int> masks[] = {
        {"255.255.255.0", 24}, {"0.0.0.0", 0},   {"255.255.255.255", 32}, {"255.255.254.0", 23},
        {"128.0.0.0", 1},      {"255.0.255.0", -1}, {"0.0.0.1", -1},     {"1.2.3", -1},
        {"", -1},              {"300.0.0.0", -1},
    };
    for (auto [mask, bits] : masks)
        EXPECT_EQ(network_connection::get_mask_bits(mask), bits) << mask;
    EXPECT_EQ(network_connection::get_mask_bits(nullptr), -1);
    const std::pair<unsigned, const char*> prefixes[] = {
        {0, "0.0.0.0"}, {8, "255.0.0.0"}, {23, "255.255.254.0"}, {31, "255.255.255.254"}, {32, "255.255.255.255"}};
    for (auto [prefix, mask] : prefixes)
        EXPECT_EQ(network_connection::prefix_to_mask(prefix), mask) << prefix;
    EXPECT_EQ(network_manager::dev_name_to_conn_name("eth1"), "Wired connection 2");
    EXPECT_EQ(network_manager::dev_name_to_conn_name("wlan0"), "");
}

}  // namespace
