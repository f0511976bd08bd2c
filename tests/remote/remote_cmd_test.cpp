// The remote protocol driven by a client over TCP: the commands each line posts, the lines the
// unit sends, and a client that stops reading.

#include "remote_cmd_handler.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class recording_sink : public command_sink {
public:
    void post(const command& c) override
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(c);
        m_cond.notify_all();
    }
    // Waits until `n` commands have been posted (or 10 s) and returns them all.
    std::vector<command> wait_for(std::size_t n)
    {
        std::unique_lock lock(m_mutex);
        m_cond.wait_for(lock, 10s, [&] { return m_posted.size() >= n; });
        return m_posted;
    }
    std::vector<command> take()
    {
        std::lock_guard lock(m_mutex);
        auto out = std::move(m_posted);
        m_posted.clear();
        return out;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<command> m_posted;
};

int connect_to(uint16_t port, int receive_buffer = 0)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receive_buffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads lines until `count` have arrived or 10 s passed.
std::vector<std::string> read_lines(int fd, std::size_t count)
{
    std::vector<std::string> lines;
    std::string buf;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (lines.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char b[512];
        const ssize_t r = recv(fd, b, sizeof b, 0);
        if (r <= 0)
            break;
        buf.append(b, static_cast<std::size_t>(r));
        for (std::size_t e; (e = buf.find("\r\n")) != std::string::npos;) {
            lines.push_back(buf.substr(0, e));
            buf.erase(0, e + 2);
        }
    }
    return lines;
}

std::string text_of(const command& c)
{
    return std::string(reinterpret_cast<const char*>(c.data.data()), strnlen(reinterpret_cast<const char*>(c.data.data()), c.data.size()));
}

struct server : ::testing::Test {
    recording_sink sink;
    bool sip = false;
    remote_cmd_handler handler{sink, [this] { return sip; }, 0};
    int client = -1;

    void SetUp() override
    {
        ASSERT_NE(handler.port(), 0);
        client = connect_to(handler.port());
        ASSERT_GE(client, 0);
        auto posted = sink.wait_for(1);
        ASSERT_EQ(posted.size(), 1u);
        ASSERT_EQ(posted[0].id, appcmd_remote_term);
        ASSERT_EQ(posted[0].data.size(), 36u);
        EXPECT_EQ(posted[0].data[0], 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&posted[0].data[1])), "127.0.0.1");
        sink.take();
        for (int i = 0; i < 100 && !handler.client_connected(); ++i)
            std::this_thread::sleep_for(10ms);
    }
    void TearDown() override
    {
        if (client >= 0)
            close(client);
    }
    // Sends `line`, waits for its command 26 and runs it as the controller would.
    std::vector<command> drive(const std::string& line)
    {
        const std::string wire = line + "\r\n";
        EXPECT_EQ(send(client, wire.data(), wire.size(), 0), static_cast<ssize_t>(wire.size()));
        auto posted = sink.wait_for(1);
        sink.take();
        EXPECT_EQ(posted.size(), 1u);
        if (posted.empty())
            return {};
        EXPECT_EQ(posted[0].id, appcmd_remote_command);
        EXPECT_EQ(text_of(posted[0]), wire);
        handler.recv_remote_command(text_of(posted[0]).c_str());
        return sink.take();
    }
};

struct keyword_case {
    const char* name;
    bool sip;
    const char* line;
    std::vector<std::pair<int32_t, std::vector<unsigned char>>> expected;
};

std::vector<unsigned char> bytes(const void* p, std::size_t n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    return {b, b + n};
}
std::vector<unsigned char> text32(const char* t)
{
    std::vector<unsigned char> v(32, 0);
    memcpy(v.data(), t, strlen(t));
    return v;
}
std::vector<unsigned char> sip33(const char* t)
{
    std::vector<unsigned char> v(33, 0);
    memcpy(v.data(), t, strlen(t));
    return v;
}
std::vector<unsigned char> int32(int32_t v)
{
    return bytes(&v, 4);
}
std::vector<unsigned char> pair32(int32_t a, int32_t b)
{
    int32_t v[2] = {a, b};
    return bytes(v, 8);
}

TEST_F(server, EveryKeywordPostsItsCommands)
{
    const keyword_case cases[] = {
        {"ip dial keeps digits and points", false, "   DIAL 192.168.0.10", {{7, text32("192.168.0.10")}}},
        {"ip dial drops other characters", false, "DIAL a1b.2-3", {{7, text32("1.23")}}},
        {"ip dial cut to 31", false, "DIAL 1234567890123456789012345678901234", {{7, text32("1234567890123456789012345678901")}}},
        {"sip dial", true, "DIAL 1-2#3*", {{4, sip33("12#3*")}}},
        {"ip disconnect", false, "DISCONNECT", {{8, {}}}},
        {"sip disconnect", true, "DISCONNECT", {{5, {}}}},
        {"status request", false, "GET_STATUS", {{27, {}}}},
        {"set codec and incom", false, "SET codec=Opus,incom=ON", {{36, int32(96)}, {37, {1}}, {28, {}}}},
        {"set is case-sensitive", false, "SET codec=opus", {{36, int32(-1)}, {28, {}}}},
        {"set g711 and off", false, "SET codec=g711,incom=OFF", {{36, int32(0)}, {37, {0}}, {28, {}}}},
        {"set other keys ignored", false, "SET foo=1,=2,incom=maybe", {{28, {}}}},
        {"set without argument", false, "SET", {{28, {}}}},
        {"meter off", false, "METER OFF", {{40, std::vector<unsigned char>(20, 0)}}},
        {"meter port 0", false, "METER 65536", {{40, std::vector<unsigned char>(20, 0)}}},
        {"meter query", false, "METER", {{29, {}}}},
        {"mode ngn", false, "MODE NGN", {{31, {1}}}},
        {"mode other", false, "MODE IP", {{31, {0}}}},
        {"mode query", false, "MODE", {{30, {}}}},
        {"reconnect on", false, "RECONNECT ON", {{33, pair32(1, -1)}}},
        {"reconnect times", false, "RECONNECT times=3", {{33, pair32(-1, 3)}}},
        {"reconnect both", false, "RECONNECT OFF,times=12", {{33, pair32(0, 12)}}},
        {"reconnect bad times", false, "RECONNECT ON,times=x", {{33, pair32(1, -1)}}},
        {"rtp stat", false, "RTP_STAT", {{32, {}}}},
        {"rtp timeout off", false, "RTP_TIMEOUT OFF", {{34, {1}}}},
        {"rtp timeout other", false, "RTP_TIMEOUT ON", {{34, {0}}}},
        {"own words ignored", false, "STATUS connection=idle", {}},
        {"dial result ignored", false, "DIAL_RESULT OK", {}},
        {"unknown word", false, "HELLO", {}},
        {"lower case word", false, "dial 1.2.3.4", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sip = c.sip;
        const auto posted = drive(c.line);
        ASSERT_EQ(posted.size(), c.expected.size());
        for (std::size_t i = 0; i < posted.size(); ++i) {
            EXPECT_EQ(posted[i].id, c.expected[i].first);
            EXPECT_EQ(posted[i].data, c.expected[i].second);
        }
    }
}

TEST_F(server, MeterAddsTheClientsAddressAndPort)
{
    const auto posted = drive("METER 5004");
    ASSERT_EQ(posted.size(), 1u);
    ASSERT_EQ(posted[0].data.size(), sizeof(appcmd_meter_udp_data));
    appcmd_meter_udp_data d;
    memcpy(&d, posted[0].data.data(), sizeof d);
    EXPECT_EQ(d.on, 1);
    EXPECT_EQ(d.address.sin_family, AF_INET);
    EXPECT_EQ(ntohs(d.address.sin_port), 5004);
    EXPECT_EQ(ntohl(d.address.sin_addr.s_addr), INADDR_LOOPBACK);
    sink.take();
    EXPECT_THROW(handler.recv_remote_command("METER five"), std::exception);
}

TEST_F(server, LinesInOneSegmentAndSplitLinesArriveInOrder)
{
    const std::string two = "GET_STATUS\r\nRTP_STAT\r\nMO";
    send(client, two.data(), two.size(), 0);
    auto posted = sink.wait_for(2);
    std::this_thread::sleep_for(100ms);
    posted = sink.take();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(text_of(posted[0]), "GET_STATUS\r\n");
    EXPECT_EQ(text_of(posted[1]), "RTP_STAT\r\n");
    send(client, "DE\r\n", 4, 0);
    posted = sink.wait_for(1);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(text_of(posted[0]), "MODE\r\n");
}

TEST_F(server, LinesSentToTheClient)
{
    remote_cmd_handler::status_data s;
    s.state = "connect";
    s.destination = "192.0.2.20";
    s.line = 1;
    s.lan_led = true;
    s.con_led = true;
    handler.send_status_command(s, false);
    handler.send_status_command(s, false);  // unchanged: not sent again
    handler.send_status_command(s, true);   // forced
    handler.send_dial_result_command(1);
    handler.send_dial_result_command(6);
    handler.send_dial_result_command(0);
    handler.send_dial_result_command(13);
    handler.send_setting_command({97, true});
    handler.send_mode_command(false);
    handler.send_rtp_stat_command(3, 2, 1);
    handler.send_reconnect_command(true, 5);
    handler.send_rtp_timeout_command(true);
    const std::vector<std::string> expected = {
        "STATUS connection=connect,destination=192.0.2.20,line=analog,lan_led=on,gw_led=off,con_led=on,in_led=off,err_led=off",
        "STATUS connection=connect,destination=192.0.2.20,line=analog,lan_led=on,gw_led=off,con_led=on,in_led=off,err_led=off",
        "DIAL_RESULT OK",
        "DIAL_RESULT NG busy",
        "DIAL_RESULT NG ",
        "DIAL_RESULT NG unkonwn",
        "SETTING codec=CLEAR,incom=ON",
        "MODE IP",
        "RTP_STAT loss=3,overflow=2,underflow=1",
        "RECONNECT ON,times=5",
        "RTP_TIMEOUT ON",
    };
    EXPECT_EQ(read_lines(client, expected.size()), expected);
}

TEST(RemoteLines, TextTables)
{
    const std::pair<int, const char*> dial[] = {{1, "DIAL_RESULT OK"},           {2, "DIAL_RESULT NG not registered"},
                                                {3, "DIAL_RESULT NG IP mode"},   {4, "DIAL_RESULT NG canceled"},
                                                {5, "DIAL_RESULT NG rejected"},  {7, "DIAL_RESULT NG not idle"},
                                                {8, "DIAL_RESULT NG timeout"},   {9, "DIAL_RESULT NG unknown"},
                                                {10, "DIAL_RESULT NG NGN mode"}, {11, "DIAL_RESULT NG not supported"},
                                                {12, "DIAL_RESULT NG unacceptable"}};
    for (const auto& [r, text] : dial)
        EXPECT_EQ(remote_cmd_handler::dial_result_line(r), text) << r;
    EXPECT_EQ(remote_cmd_handler::setting_line({0, false}), "SETTING codec=TEL,incom=OFF");
    EXPECT_EQ(remote_cmd_handler::setting_line({100, false}), "SETTING codec=LPCM,incom=OFF");
    EXPECT_EQ(remote_cmd_handler::setting_line({98, false}), "SETTING codec=,incom=OFF");
    remote_cmd_handler::status_data s;
    s.state = "idle";
    s.err_led = true;
    EXPECT_EQ(remote_cmd_handler::status_line(s),
              "STATUS connection=idle,destination=,line=digital,lan_led=off,gw_led=off,con_led=off,in_led=off,err_led=on");
}

TEST(RemoteServer, AnswersWithoutClientAreDroppedAndDisconnectIsPosted)
{
    recording_sink sink;
    remote_cmd_handler handler(sink, [] { return false; }, 0);
    handler.send_rtp_timeout_command(true);  // nobody connected: dropped
    const int c = connect_to(handler.port());
    ASSERT_GE(c, 0);
    sink.wait_for(1);
    for (int i = 0; i < 100 && !handler.client_connected(); ++i)
        std::this_thread::sleep_for(10ms);
    handler.send_mode_command(true);
    EXPECT_EQ(read_lines(c, 1), std::vector<std::string>{"MODE NGN"});
    close(c);
    const auto posted = sink.wait_for(2);
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].id, appcmd_remote_term);
    EXPECT_EQ(posted[1].data, std::vector<unsigned char>(36, 0));
}

// A client that never reads must not stall whoever sends lines (the controller, the RTP receive
// thread): writes return at once, and the client is dropped when its backlog grows too large.
TEST(RemoteServer, AStalledClientNeverBlocksTheSender)
{
    recording_sink sink;
    remote_cmd_handler handler(sink, [] { return false; }, 0);
    const int c = connect_to(handler.port(), 4096);
    ASSERT_GE(c, 0);
    sink.wait_for(1);
    for (int i = 0; i < 100 && !handler.client_connected(); ++i)
        std::this_thread::sleep_for(10ms);
    const auto start = std::chrono::steady_clock::now();
    // More than any socket buffer of the loopback path holds.
    remote_cmd_handler::status_data s;
    s.state = "connect";
    s.destination = std::string(31, '9');
    for (int i = 0; i < 80000 && handler.client_connected(); ++i)
        handler.send_status_command(s, true);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 10s);
    // The server gives up on the client: it sees the connection end and posts the disconnect.
    const auto posted = sink.wait_for(2);
    ASSERT_GE(posted.size(), 2u);
    EXPECT_EQ(posted[1].data, std::vector<unsigned char>(36, 0));
    close(c);
    // A new client is served again.
    const int d = connect_to(handler.port());
    ASSERT_GE(d, 0);
    sink.wait_for(3);
    for (int i = 0; i < 100 && !handler.client_connected(); ++i)
        std::this_thread::sleep_for(10ms);
    handler.send_mode_command(false);
    EXPECT_EQ(read_lines(d, 1), std::vector<std::string>{"MODE IP"});
    close(d);
}

// The destructor ends the server promptly, with a client still connected.
TEST(RemoteServer, EndsWithAClientConnected)
{
    recording_sink sink;
    auto handler = std::make_unique<remote_cmd_handler>(sink, [] { return false; }, 0);
    const int c = connect_to(handler->port());
    ASSERT_GE(c, 0);
    sink.wait_for(1);
    const auto start = std::chrono::steady_clock::now();
    handler.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    char b;
    EXPECT_LE(recv(c, &b, 1, 0), 0);
    close(c);
}

}  // namespace
