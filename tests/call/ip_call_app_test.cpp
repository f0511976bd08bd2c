#include "ip_call_app.h"

#include <gtest/gtest.h>

#include "ipc_fake_transport.h"
#include "recording_host.h"

namespace {

sockaddr_in peer_addr()
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(23500);
    inet_pton(AF_INET, "192.0.2.1", &s.sin_addr);
    return s;
}

ipc_msg_call offer(int codec = 97, int gpio = 2)
{
    ipc_msg_call c;
    ipc_copy_text(c.call_id, "CAFE0001");
    ipc_copy_text(c.src_addr, "192.0.2.1");
    c.src_port = 23500;
    ipc_copy_text(c.dst_addr, "192.0.2.2");
    ipc_copy_text(c.data.media_addr, "192.0.2.1");
    c.data.codec = codec;
    c.data.gpio = gpio;
    return c;
}

struct bound_unit {
    recording_host host;
    fake_transport* net = nullptr;
    std::unique_ptr<ip_call_app> engine;

    bound_unit()
    {
        auto t = std::make_unique<fake_transport>();
        net = t.get();
        ipc_connect_data cleared{};
        cleared.gpio = 2;
        engine = std::make_unique<ip_call_app>(host, cleared, 23500, "192.0.2.2", "", std::move(t));
    }
    int answer(const ipc_msg_call& c)
    {
        engine->receive_datagram(ipc_parser::to_text(c), peer_addr());
        const auto m = net->take().msg();
        return m ? static_cast<const ipc_msg_call_rsp&>(*m).result_code : -1;
    }
};

struct incoming_case {
    const char* what;
    int mode;
    int use_all_gpio;
    int codec;
    int gpio;
    int expected;
};

TEST(IpCallApp, IncomingCallsAreVettedAgainstTheSettings)
{
    const incoming_case cases[] = {
        {"accepted", 1, 0, 97, 2, 0},
        {"SIP mode", 0, 0, 97, 2, 101},
        {"codec the unit lacks", 1, 0, 98, 2, 104},
        {"codec known to the engine but not to the codec manager", 1, 0, 99, 2, 104},
        {"two contacts against four", 1, 1, 97, 2, 102},
        {"four contacts against two", 1, 0, 97, 4, 102},
        {"no contacts fits any unit", 1, 1, 97, 0, 0},
        {"four contacts against four", 1, 1, 97, 4, 0},
        {"mode is checked before the codec", 0, 0, 98, 3, 101},
    };
    for (const auto& c : cases) {
        bound_unit u;
        u.host.cfg.set("application.mode", c.mode);
        u.host.cfg.set("control.use_all_gpio", c.use_all_gpio);
        if (std::string(c.what).find("manager") != std::string::npos) {
            u.host.codecs.erase(99);
        }
        EXPECT_EQ(u.answer(offer(c.codec, c.gpio)), c.expected) << c.what;
        EXPECT_EQ(u.engine->status(), c.expected == 0 ? ip_call::INCOMING : ip_call::IDLE) << c.what;
    }
}

TEST(IpCallApp, EveryChangeOfStatePostsCommandNine)
{
    bound_unit u;
    const auto c = offer();
    u.answer(c);
    u.answer(c);  // repeated CALL: same state, nothing posted
    u.engine->disconnect();
    ipc_msg_disconnect_rsp rsp;
    ipc_copy_text(rsp.call_id, "CAFE0001");
    rsp.seq_no = 9;
    u.engine->receive_datagram(ipc_parser::to_text(rsp), peer_addr());
    const std::vector<std::pair<int, int>> expected = {{2, 0}, {4, 0}, {0, 0}};
    EXPECT_EQ(u.host.states(), expected);
    for (const auto& cmd : u.host.posted()) {
        EXPECT_EQ(cmd.id, 9);
        EXPECT_EQ(cmd.data.size(), 8u);
    }
}

TEST(IpCallApp, RefusedAnswerIsPostedWithItsCode)
{
    bound_unit u;
    ASSERT_EQ(u.engine->call("192.0.2.1"), 0);
    const auto call = u.net->take().msg();
    ipc_msg_call_rsp rsp;
    ipc_copy_text(rsp.call_id, call->call_id);
    rsp.seq_no = 2;
    rsp.result_code = 100;
    u.engine->receive_datagram(ipc_parser::to_text(rsp), peer_addr());
    const std::vector<std::pair<int, int>> expected = {{1, 0}, {0, 100}};
    EXPECT_EQ(u.host.states(), expected);
}

struct data_case {
    const char* what;
    int video;
    int control;
    int all_gpio;
    int incom;
    int expected_gpio;
};

TEST(IpCallApp, OwnConnectionDataComesFromTheConfiguration)
{
    const data_case cases[] = {
        {"defaults", 0, 0, 0, 0, 0},
        {"control off ignores four contacts", 0, 0, 1, 0, 0},
        {"control on, two contacts", 1, 1, 0, 1, 2},
        {"control on, four contacts", 2, 1, 1, 0, 4},
    };
    for (const auto& c : cases) {
        recording_host host;
        host.cfg.set("video.enable", c.video);
        host.cfg.set("control.enable", c.control);
        host.cfg.set("control.use_all_gpio", c.all_gpio);
        host.cfg.set("incom.enable", c.incom);
        host.cfg.set("audio.codec_id", 100);
        const ipc_connect_data d = ip_call_app::connect_data_from_config(host.cfg);
        EXPECT_STREQ(d.media_addr, "") << c.what;
        EXPECT_EQ(d.audio_port, 15000) << c.what;
        EXPECT_EQ(d.video_port, 26000) << c.what;
        EXPECT_EQ(d.control_port, 17000) << c.what;
        EXPECT_EQ(d.incom_port, 16000) << c.what;
        EXPECT_EQ(d.video_mode, c.video) << c.what;
        EXPECT_EQ(d.v_tcp_active, c.video == 2) << c.what;
        EXPECT_EQ(d.ctrl_enable, c.control != 0) << c.what;
        EXPECT_TRUE(d.c_tcp_active) << c.what;
        EXPECT_EQ(d.incom_enable, c.incom != 0) << c.what;
        EXPECT_EQ(d.gpio, c.expected_gpio) << c.what;
        EXPECT_EQ(d.codec, 100) << c.what;
        EXPECT_STREQ(d.codec_option, "") << c.what;
    }
}

TEST(IpCallApp, SetupInstallsTheConfiguredDataAndPort)
{
    EXPECT_EQ(setup_ip_call(nullptr, app_config()), 0);
    bound_unit u;
    u.host.cfg.set("ip_call.port", 23600);
    u.host.cfg.set("audio.codec_id", 0);
    EXPECT_EQ(setup_ip_call(u.engine.get(), u.host.cfg), 1);
    EXPECT_EQ(u.engine->port(), 23600);
    EXPECT_EQ(u.net->bound, 23600);
    EXPECT_EQ(u.engine->own_connect_data().codec, 0);
    EXPECT_STREQ(u.engine->own_connect_data().media_addr, "192.0.2.2");
}

}  // namespace
