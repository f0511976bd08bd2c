#include "nb_socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A listening socket on an ephemeral loopback port.
struct listener {
    int fd = -1;
    sockaddr_in address{};
    listener()
    {
        fd = nb_socket(AF_INET, SOCK_STREAM, 0);
        address = loopback(0);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd, 4), 0);
        socklen_t len = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
    }
    ~listener() { close(fd); }
};

// A connected pair: {client, server side}.
std::pair<int, int> connected_pair(listener& l)
{
    const nb_cancel_flag cancel{false};
    const int client = nb_socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(nb_connect(client, &l.address, cancel), 0);
    sockaddr_in peer{};
    const int server = nb_accept(l.fd, &peer, cancel);
    EXPECT_GE(server, 0);
    return {client, server};
}

TEST(NbSocket, ConnectSendReceive)
{
    listener l;
    auto [client, server] = connected_pair(l);
    const nb_cancel_flag cancel{false};
    const std::string text(100000, 'z');
    std::thread sender([&] { EXPECT_EQ(nb_send(client, text.data(), text.size(), 0, cancel), 100000); });
    std::string got;
    char buffer[4096];
    while (got.size() < text.size()) {
        const int n = nb_recv(server, buffer, sizeof buffer, 0, cancel);
        ASSERT_GT(n, 0);
        got.append(buffer, n);
    }
    sender.join();
    EXPECT_EQ(got, text);
    EXPECT_EQ(nb_send(client, "x", 0, 0, cancel), 0);
    close(client);
    close(server);
}

TEST(NbSocket, ClosedPeerIsReportedAsReset)
{
    listener l;
    auto [client, server] = connected_pair(l);
    close(client);
    const nb_cancel_flag cancel{false};
    char buffer[16];
    const auto start = std::chrono::steady_clock::now();
    errno = 0;
    EXPECT_EQ(nb_recv(server, buffer, sizeof buffer, 0, cancel), -1);
    EXPECT_EQ(errno, ECONNRESET);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    close(server);
}

TEST(NbSocket, SendToClosedPeerRaisesNoSigpipe)
{
    // SIGPIPE at its default action would end the test process.
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    struct sigaction old{};
    sigaction(SIGPIPE, &dfl, &old);
    listener l;
    auto [client, server] = connected_pair(l);
    close(server);
    const nb_cancel_flag cancel{false};
    const std::string text(1 << 16, 'q');
    int r = 0;
    for (int i = 0; i < 50 && r >= 0; ++i) {
        r = nb_send(client, text.data(), text.size(), 0, cancel);
        usleep(10000);
    }
    EXPECT_EQ(r, -1);
    EXPECT_TRUE(errno == EPIPE || errno == ECONNRESET) << strerror(errno);
    close(client);
    sigaction(SIGPIPE, &old, nullptr);
}

TEST(NbSocket, WaitsEndWhenCancelled)
{
    listener l;
    auto [client, server] = connected_pair(l);
    nb_cancel_flag cancel{false};
    std::thread stopper([&] {
        usleep(200000);
        cancel = true;
    });
    char buffer[16];
    errno = 0;
    EXPECT_EQ(nb_recv(server, buffer, sizeof buffer, 0, cancel), -2);
    EXPECT_EQ(errno, ECANCELED);
    sockaddr_in peer{};
    EXPECT_EQ(nb_accept(l.fd, &peer, cancel), -2);
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_EQ(nb_recv(server, buffer, 0, 0, cancel), -2);
    stopper.join();
    close(client);
    close(server);
}

TEST(NbSocket, RefusedConnectionFails)
{
    // Bind a port, then close it: nobody listens there.
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
    close(probe);
    const nb_cancel_flag cancel{false};
    const int fd = nb_socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(nb_connect(fd, &a, cancel), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    close(fd);
}

TEST(NbSocket, UdpReceiveAndOptions)
{
    const int rx = nb_socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = loopback(0);
    ASSERT_EQ(bind(rx, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(rx, reinterpret_cast<sockaddr*>(&a), &len);
    const int tx = nb_socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_EQ(nb_set_tos(tx, nb_tos_media), 0);
    int tos = 0;
    len = sizeof tos;
    getsockopt(tx, IPPROTO_IP, IP_TOS, &tos, &len);
    EXPECT_EQ(tos, 128);
    ASSERT_EQ(sendto(tx, "abc", 3, 0, reinterpret_cast<sockaddr*>(&a), sizeof a), 3);
    const nb_cancel_flag cancel{false};
    char buffer[8];
    EXPECT_EQ(nb_recv(rx, buffer, sizeof buffer, 0, cancel), 3);
    close(rx);
    close(tx);
}

}  // namespace
