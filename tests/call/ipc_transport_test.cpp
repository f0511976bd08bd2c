// The unit's transport on loopback: datagrams both ways and timers that never block the engine.
#include "ipc_transport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

in_addr_t loopback()
{
    return htonl(INADDR_LOOPBACK);
}

TEST(IpcUdpTransport, SendsAndReceivesWholeDatagrams)
{
    ipc_udp_transport a(loopback()), b(loopback());
    ASSERT_TRUE(a.open(0));
    ASSERT_TRUE(b.open(0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = loopback();
    to.sin_port = htons(b.bound_port());
    ASSERT_EQ(a.send_to("VERSION:1\r\n", to), 0);
    ASSERT_EQ(b.wait(5000) & ipc_ready_socket, ipc_ready_socket);
    char buf[64];
    sockaddr_in from{};
    ASSERT_EQ(b.receive(buf, sizeof buf, from), 11);
    EXPECT_EQ(std::string(buf, 11), "VERSION:1\r\n");
    EXPECT_EQ(ntohs(from.sin_port), a.bound_port());
    EXPECT_EQ(b.receive(buf, sizeof buf, from), -EAGAIN);  // never blocks
}

TEST(IpcUdpTransport, BindingAPortInUseFails)
{
    ipc_udp_transport a(loopback()), b(loopback());
    ASSERT_TRUE(a.open(0));
    EXPECT_FALSE(b.open(a.bound_port()));
    EXPECT_FALSE(b.is_open());
    EXPECT_EQ(b.send_to("x", sockaddr_in{}), -EBADF);
}

TEST(IpcUdpTransport, TimersExpireAndAreAcknowledged)
{
    ipc_udp_transport t(loopback());
    ASSERT_EQ(t.start(ipc_timer::start_command, 20), 0);
    EXPECT_EQ(t.wait(5000), ipc_ready_start_command);
    EXPECT_TRUE(t.acknowledge(ipc_timer::start_command));
    t.stop(ipc_timer::start_command);
    EXPECT_EQ(t.wait(100), 0);
}

// The engine thread may see a timer ready and then find it re-armed by the controller's thread
// before it reads it: the read must come back at once rather than wait for the next expiry
// with the engine's mutex held.
TEST(IpcUdpTransport, ATimerReArmedAfterTheWaitDoesNotBlock)
{
    ipc_udp_transport t(loopback());
    ASSERT_EQ(t.start(ipc_timer::retry, 10), 0);
    ASSERT_EQ(t.wait(5000) & ipc_ready_retry, ipc_ready_retry);
    ASSERT_EQ(t.start(ipc_timer::retry, 60000), 0);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(t.acknowledge(ipc_timer::retry));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

}  // namespace
