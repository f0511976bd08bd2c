// The unit controller built in-process on a simulated board (panel server, GPIO, test sound
// cards): start and teardown during a call, the media start checks, a codec changed during a
// call, command 11 ending the IP call, the receive thread's time-out racing the handlers, error
// lamps and reconnection settings.

#include "unit_controller.h"

#include "config_keys.h"
#include "fake_cards.h"
#include "key_led.h"
#include "log_capture.h"
#include "panel_server.h"
#include "test_unit.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A port nobody uses right now (bound once, then released).
uint16_t free_udp_port()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

class Controller : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel = std::make_unique<orva::sim::panel_server>(unit.path("/dev/spidev4.0"), unit.path("/sys/class/gpio"));
        panel->start();
        config.set("application.mode", 1);
        config.set("host.lan", "lo");
        config.set("ip_call.port", static_cast<int>(free_udp_port()));
        // Even ports: the engine uses audio.port and audio.port + 2.
        config.set("audio.port", static_cast<int>(free_udp_port() & ~1u));
        config.set("LAN1.ip_addr", "192.0.2.50");
        config.set("reconnect.enable", 1);
    }
    void build()
    {
        unit_controller::options o;
        o.remote_port = 0;
        o.devices = &cards;
        controller = std::make_unique<unit_controller>(config, true, o);
    }
    void TearDown() override
    {
        controller.reset();
        panel.reset();
    }
    // Handles every queued command as the command loop would.
    void run_pending()
    {
        while (controller->queue().size() > 0) {
            const command c = controller->queue().wait_pop();
            if (auto h = app_controller::dispatch_table()[c.id])
                h(*controller, c);
        }
    }
    appcmd_start_rtp_data record(int codec)
    {
        appcmd_start_rtp_data d{};
        strcpy(d.remote_addr, "127.0.0.1");
        d.audio_codec = codec;
        d.audio_port[0] = peer_port;
        d.audio_port_count = 1;
        d.audio_bw = 1000;
        return d;
    }
    int start(const appcmd_start_rtp_data& d)
    {
        return controller->on_appcmd_start_rtp(command(appcmd_start_rtp, &d, sizeof d));
    }

    orva::test::scoped_unit unit;
    std::unique_ptr<orva::sim::panel_server> panel;
    orva::test::fake_cards cards;
    app_config config;
    std::unique_ptr<unit_controller> controller;
    uint16_t peer_port = static_cast<uint16_t>(free_udp_port() & ~1u);
};

// Without NetworkManager the unit still starts, keeps its stored LAN keys and says why.
TEST_F(Controller, StartsWithoutNetworkServiceKeepingTheLanKeys)
{
    log_capture log;
    build();
    EXPECT_EQ(config.get<std::string>("LAN1.ip_addr"), "192.0.2.50");
    EXPECT_NE(log.take().find("LAN1 settings kept"), std::string::npos);
    EXPECT_EQ(controller->mode(), unit_controller::mode_ip_call);
    EXPECT_EQ(controller->led(key_LED::led_ipc), 8);
    EXPECT_EQ(controller->led(key_LED::led_ngn), 0);
    EXPECT_EQ(controller->status(), comm_status::IDLE);
}

TEST_F(Controller, MediaStartRefusesBadRecords)
{
    build();
    log_capture log;
    const auto d = record(97);
    EXPECT_EQ(controller->on_appcmd_start_rtp(command(appcmd_start_rtp, &d, 87)), -1);
    EXPECT_NE(log.take().find("W app_controller::on_appcmd_start_rtp: invalid data size 87"), std::string::npos);
    EXPECT_FALSE(controller->main_engine().rtp_running());

    const char* bad[] = {"", "192.0.2", "999.1.1.1", "example.org", "1.2.3.4 "};
    for (const char* address : bad) {
        auto r = record(97);
        strcpy(r.remote_addr, address);
        EXPECT_EQ(start(r), -1) << address;
        EXPECT_NE(log.take().find("W app_controller::on_appcmd_start_rtp: invalid dst address."), std::string::npos)
            << address;
    }
    auto r = record(97);
    r.audio_port[0] = 0;
    EXPECT_EQ(start(r), -1);
    EXPECT_NE(log.take().find("invalid audio port."), std::string::npos);
    EXPECT_FALSE(controller->main_engine().rtp_running());

    EXPECT_EQ(start(record(97)), 0);
    EXPECT_TRUE(controller->main_engine().rtp_running());
}

// Short payloads are refused by every handler that reads one.
TEST_F(Controller, HandlersCheckTheirPayloadSize)
{
    build();
    log_capture log;
    const unsigned char three[3] = {1, 2, 3};
    const int ids[] = {appcmd_ip_call_status, appcmd_set_codec, appcmd_rmtcmd_reconnect, appcmd_error_status,
                       appcmd_remote_term, appcmd_meter_udp, appcmd_hp_src, appcmd_change_ip_addr};
    for (int id : ids) {
        app_controller::dispatch_table()[id](*controller, command(id, three, sizeof three));
        EXPECT_NE(log.take().find("invalid data size 3"), std::string::npos) << id;
    }
    EXPECT_EQ(config.get<int>("audio.codec_id"), 97);
}

// The codec chosen during a call waits for the call's end; the running stream keeps its codec.
TEST_F(Controller, CodecChangedDuringACallIsAppliedWhenItEnds)
{
    build();
    ASSERT_EQ(start(record(97)), 0);
    controller->set_status(comm_status::IP_CONNECT);
    const int32_t lpcm = 100;
    controller->on_appcmd_set_codec(command(appcmd_set_codec, &lpcm, sizeof lpcm));
    EXPECT_EQ(config.get<int>("audio.codec_id"), 100);
    EXPECT_EQ(controller->main_engine().current_codec()->id(), 97);
    EXPECT_TRUE(controller->main_engine().rtp_running());

    controller->on_appcmd_disconnect(command(appcmd_disconnect));
    EXPECT_EQ(controller->status(), comm_status::IDLE);
    EXPECT_FALSE(controller->main_engine().rtp_running());
    EXPECT_EQ(controller->main_engine().current_codec()->id(), 100);

    // Idle: applied at once.
    const int32_t ldals = 97;
    controller->on_appcmd_set_codec(command(appcmd_set_codec, &ldals, sizeof ldals));
    EXPECT_EQ(controller->main_engine().current_codec()->id(), 97);
}

// Command 11 while the IP call engine is not idle ends the call there too, so a lost DISCONNECT
// cannot leave it refusing the next call.
TEST_F(Controller, DisconnectEndsTheIpCall)
{
    build();
    ASSERT_EQ(controller->ip_call()->call("192.0.2.200"), 0);
    run_pending();
    EXPECT_EQ(controller->status(), comm_status::IP_CALLING);
    controller->on_appcmd_disconnect(command(appcmd_disconnect));
    EXPECT_EQ(controller->status(), comm_status::IDLE);
    EXPECT_NE(controller->ip_call()->status(), ip_call::CALLING);
}

TEST_F(Controller, DialRefusesAnInvalidAddress)
{
    build();
    log_capture log;
    char address[32] = "192.0.2.300";
    controller->on_appcmd_ip_call_connect(command(appcmd_ip_call_connect, address, sizeof address));
    EXPECT_NE(log.take().find("invalid dst address."), std::string::npos);
    EXPECT_EQ(controller->ip_call()->status(), ip_call::IDLE);
}

// The receive thread's time-out runs beside the controller's own start and stop of the stream.
TEST_F(Controller, RtpTimeOutRacingTheHandlers)
{
    build();
    std::atomic<bool> done{false};
    std::thread receive([&] {
        while (!done) {
            controller->notify_rtp_stat(false);
            controller->notify_rtp_stat(true);
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(start(record(97)), 0);
        controller->stop_rtp();
        while (controller->queue().size() > 0)
            controller->queue().wait_pop();
    }
    done = true;
    receive.join();
    EXPECT_TRUE(controller->reconnecting());
    EXPECT_EQ(controller->serious_error().second, "!!RE-CONNECTING   !!");
}

// Command 1 during a call: everything stops before what its threads use is deleted.
TEST_F(Controller, TeardownDuringACall)
{
    build();
    ASSERT_EQ(start(record(100)), 0);
    controller->set_status(comm_status::IP_CONNECT);
    std::this_thread::sleep_for(200ms);
    // The engines' threads stop before the codecs they run go (the sanitizer build checks).
    controller.reset();
}

TEST_F(Controller, ErrorLampFollowsMediaAndPanelErrors)
{
    build();
    const auto error = [&](int kind, bool on) {
        appcmd_error_status_data d{};
        d.kind = kind;
        d.value = on ? 1 : 0;
        controller->on_appcmd_error_status(command(appcmd_error_status, &d, sizeof d));
    };
    struct step {
        int kind;
        bool on;
        int lamp;
    };
    const step steps[] = {{1, true, 8}, {0, true, 8}, {0, false, 8}, {1, false, 0}, {0, true, 8}, {0, false, 0}};
    for (const auto& s : steps) {
        error(s.kind, s.on);
        EXPECT_EQ(controller->led(key_LED::led_err), s.lamp) << s.kind << " " << s.on;
        EXPECT_EQ(unit.read("/sys/class/gpio/gpio102/value").substr(0, 1), s.lamp ? "1" : "0");
    }
}

TEST_F(Controller, ReconnectSettings)
{
    build();
    const auto reconnect = [&](int enable, int times) {
        appcmd_reconnect_data d{enable, times};
        controller->on_appcmd_rmtcmd_reconnect(command(appcmd_rmtcmd_reconnect, &d, sizeof d));
    };
    reconnect(-1, 0);  // nothing to change
    EXPECT_EQ(config.get<int>("reconnect.enable"), 1);
    EXPECT_EQ(config.get<int>("reconnect.times"), 10);
    reconnect(0, 3);
    EXPECT_EQ(config.get<int>("reconnect.enable"), 0);
    EXPECT_EQ(config.get<int>("reconnect.times"), 3);
    reconnect(1, 10000);  // out of range: times unchanged
    EXPECT_EQ(config.get<int>("reconnect.enable"), 1);
    EXPECT_EQ(config.get<int>("reconnect.times"), 3);
}

}  // namespace

namespace {

// Web-setting files merged into the running unit: the keys that change and the lines logged.
struct web_case {
    const char* name;
    const char* file;
    std::vector<std::pair<const char*, const char*>> keys;  // expected values after the merge
    std::vector<const char*> logged;
    std::vector<const char*> not_logged;
};

TEST_F(Controller, WebSettingMerge)
{
    config.set("audio.out_r_gain", 2.5f);
    config.set("ui.err_msg_s", 10);
    build();
    const web_case cases[] = {
        {"lpcm disables video", "[audio]\ncodec_id=100\n[video]\nenable=1\n",
         {{"audio.codec_id", "100"}, {"video.enable", "0"}},
         {"web setting - audio.codec_id : 100", "restart audio stream"},
         {"web setting - video.enable"}},
        {"one gain of a pair keeps the other", "[audio]\nout_l_gain=3\n",
         {{"audio.out_l_gain", "3"}, {"audio.out_r_gain", "2.5"}},
         {"web setting - audio.out_l_gain : 3.000000, 2.500000"},
         {}},
        {"gains are clamped", "[audio]\nanalog_in_gain=25\n", {{"audio.analog_in_gain", "10"}},
         {"web setting - audio.analog_in_gain: 10.000000"}, {}},
        {"error time goes to the panel, the store keeps its own", "[ui]\nerr_msg_s=120\n",
         {{"ui.err_msg_s", "10"}}, {"web setting - ui.err_msg_s : 60"}, {}},
        {"unknown codec refused", "[audio]\ncodec_id=98\n", {{"audio.codec_id", "100"}},
         {"W websetting: invalid codec_id 98"}, {}},
        {"contact address", "[ip_call]\ncontact_addr=192.0.2.7\n", {{"ip_call.contact_addr", "192.0.2.7"}},
         {"web setting - ip_call.contact_addr : 192.0.2.7"}, {"invalid ip_call.contact_addr"}},
        {"invalid contact address", "[ip_call]\ncontact_addr=192.0.2\n", {{"ip_call.contact_addr", "192.0.2.7"}},
         {"W web setting: invalid ip_call.contact_addr: 192.0.2\n"}, {}},
        {"missing contact address still warns", "[reconnect]\ntimes=4\n", {{"reconnect.times", "4"}},
         {"W web setting: invalid ip_call.contact_addr: \n", "web setting - reconnect.times : 4"}, {}},
        {"bad serial speed ignored", "[comm]\nspeed=1200\n", {{"comm.speed", "9600"}}, {}, {"comm.speed"}},
        {"serial speed", "[comm]\nspeed=19200\n", {{"comm.speed", "19200"}}, {"web setting - comm.speed : 19200"}, {}},
        {"headphone volume", "[headphone]\nvolume=100\n", {{"headphone.volume", "63"}},
         {"web setting - headphone.volume : 3F"}, {}},
        {"LAN1 address that is no address", "[LAN1]\nip_addr=192.0.2.255\n", {{"LAN1.ip_addr", "192.0.2.50"}}, {},
         {"web setting - LAN1"}},
        {"empty file changes nothing", "", {{"audio.codec_id", "100"}}, {"RELOAD CONFIG"}, {"web setting - "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = unit.path("/opt/QM/websetting/orva700.cfg");
        unit.write("/opt/QM/websetting/orva700.cfg", c.file);
        log_capture log;
        char payload[64] = {};
        strncpy(payload, path.c_str(), sizeof payload - 1);
        ASSERT_LT(path.size(), sizeof payload);
        app_controller::dispatch_table()[appcmd_websetting_file](*controller,
                                                                  command(appcmd_websetting_file, payload, sizeof payload));
        const std::string text = log.take();
        for (const auto& [key, value] : c.keys) {
            if (find_config_key(key)->type == key_type::text)
                EXPECT_EQ(config.get<std::string>(key), value) << key;
            else
                EXPECT_EQ(config.get<float>(key), std::stof(value)) << key;
        }
        for (const char* line : c.logged)
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        for (const char* line : c.not_logged)
            EXPECT_EQ(text.find(line), std::string::npos) << line << "\n" << text;
        EXPECT_NE(text.find("RELOAD CONFIG\n"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(path)) << "the file is removed";
    }
    EXPECT_EQ(controller->err_msg_seconds(), 60);
}

TEST_F(Controller, WebSettingThatIsNoIniStaysInPlace)
{
    build();
    unit.write("/opt/QM/websetting/orva700.cfg", "[audio\ncodec_id=0\n");
    const std::string path = unit.path("/opt/QM/websetting/orva700.cfg");
    char payload[64] = {};
    strncpy(payload, path.c_str(), sizeof payload - 1);
    EXPECT_ANY_THROW(app_controller::dispatch_table()[appcmd_websetting_file](
        *controller, command(appcmd_websetting_file, payload, sizeof payload)));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(config.get<int>("audio.codec_id"), 97);
}

}  // namespace

namespace {

// With all GPIO lines given to the control link the error output is opened but never driven, and
// the input impedance is applied at start.
TEST_F(Controller, ErrorOutputLeftAloneWhenAllGpioAreContacts)
{
    config.set("control.use_all_gpio", 1);
    config.set("audio.impedance", 1);
    build();
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio33/value").substr(0, 1), "1");
    const std::string before = unit.read("/sys/class/gpio/gpio102/value");
    appcmd_error_status_data d{};
    d.kind = 1;
    d.value = 1;
    controller->on_appcmd_error_status(command(appcmd_error_status, &d, sizeof d));
    EXPECT_EQ(controller->led(key_LED::led_err), 8);
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio102/value"), before);
}

}  // namespace

namespace {

// A remote client drives the whole controller: each line goes through the command loop and its
// answer comes back on the same connection.
TEST_F(Controller, RemoteClientDrivesTheUnit)
{
    build();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(controller->remote()->port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    timeval tv{0, 100000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string received;
    // Runs the command loop and collects lines until `text` has arrived (or 10 s).
    const auto until = [&](const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (received.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
            run_pending();
            char b[1024];
            const ssize_t r = recv(fd, b, sizeof b, 0);
            if (r > 0)
                received.append(b, static_cast<std::size_t>(r));
        }
        return received.find(text) != std::string::npos;
    };
    const auto say = [&](const std::string& line) {
        const std::string wire = line + "\r\n";
        ASSERT_EQ(send(fd, wire.data(), wire.size(), 0), static_cast<ssize_t>(wire.size()));
    };
    EXPECT_TRUE(until("SETTING codec=CLEAR,incom=OFF\r\n"));  // on connect: status, then setting
    EXPECT_NE(received.find("STATUS connection=idle,destination=,line="), std::string::npos);
    say("MODE");
    EXPECT_TRUE(until("MODE IP\r\n"));
    say("SET codec=LPCM");
    EXPECT_TRUE(until("SETTING codec=LPCM,incom=OFF\r\n"));
    EXPECT_EQ(config.get<int>("audio.codec_id"), 100);
    EXPECT_EQ(controller->main_engine().current_codec()->id(), 100);
    say("RECONNECT OFF,times=3");
    EXPECT_TRUE(until("RECONNECT OFF,times=3\r\n"));
    say("RTP_STAT");
    EXPECT_TRUE(until("RTP_STAT loss=0,overflow=0,underflow=0\r\n"));
    say("RTP_TIMEOUT OFF");
    EXPECT_TRUE(until("RTP_TIMEOUT OFF\r\n"));
    say("DIAL 192.0.2.300");  // no address: refused
    EXPECT_TRUE(until("DIAL_RESULT NG rejected\r\n"));
    say("GET_STATUS");
    received.clear();
    EXPECT_TRUE(until("STATUS connection=idle"));
    close(fd);
}

}  // namespace

namespace {

TEST_F(Controller, PanelSetters)
{
    build();
    log_capture log;
    EXPECT_FALSE(controller->baudrate(1200));
    EXPECT_NE(log.take().find("W invalid baudrate 1200"), std::string::npos);
    EXPECT_TRUE(controller->baudrate(38400));
    EXPECT_EQ(config.get<int>("comm.speed"), 38400);
    EXPECT_FALSE(controller->video_enable(3));
    EXPECT_NE(log.take().find("W illegal video mode : 3"), std::string::npos);
    EXPECT_TRUE(controller->video_enable(2));
    EXPECT_NE(log.take().find("video mode = receive"), std::string::npos);

    // Playback buffer by packets and by milliseconds (LDALS: 128 samples at 48 kHz).
    EXPECT_EQ(controller->set_pkts_for_pback(98, 1, 5), 0);
    EXPECT_EQ(controller->set_ms_for_pback(97, 1, 32), 1);
    EXPECT_EQ(config.get<int>("buffer.ip_clear"), 12);
    EXPECT_EQ(controller->get_ms_for_pback(97, 1), 32);
    EXPECT_EQ(controller->set_pkts_for_pback(0, 0, 7), 1);
    EXPECT_EQ(config.get<int>("buffer.ngn_tel"), 7);

    controller->output_gain({1.5f, -2.0f});
    EXPECT_EQ(config.get<float>("audio.out_l_gain"), 1.5f);
    EXPECT_EQ(config.get<float>("audio.out_r_gain"), -2.0f);
    controller->contact_address("192.0.2.9");
    EXPECT_EQ(config.get<std::string>("ip_call.contact_addr"), "192.0.2.9");
    controller->set_incom_enable(true);
    EXPECT_NE(log.take().find("incom mode = ON"), std::string::npos);

    controller->restore_default_settings();
    EXPECT_EQ(config.get<int>("comm.speed"), 9600);
    bool quit = false;
    while (controller->queue().size() > 0)
        quit = quit || controller->queue().wait_pop().id == appcmd_quit;
    EXPECT_TRUE(quit) << "command 1 rebuilds the controller";
}

}  // namespace

namespace {

TEST_F(Controller, ModeAndLanLink)
{
    build();
    run_pending();
    // Not idle: the mode stays.
    controller->set_status(comm_status::IP_CONNECT);
    const uint8_t sip = 1;
    controller->on_appcmd_rmtcmd_set_mode(command(appcmd_rmtcmd_set_mode, &sip, 1));
    EXPECT_EQ(controller->mode(), unit_controller::mode_ip_call);
    controller->set_status(comm_status::IDLE);
    controller->on_appcmd_rmtcmd_set_mode(command(appcmd_rmtcmd_set_mode, &sip, 1));
    EXPECT_EQ(controller->mode(), unit_controller::mode_sip);
    EXPECT_EQ(config.get<int>("application.mode"), 0);
    EXPECT_EQ(controller->led(key_LED::led_ngn), 1);
    EXPECT_EQ(controller->led(key_LED::led_ipc), 0);

    // Link down in SIP mode empties the LAN1 keys in the file; up lights the LAN lamp again.
    unsigned char down[8] = {};
    controller->on_appcmd_change_lan_stat(command(appcmd_change_lan_stat, down, sizeof down));
    EXPECT_EQ(controller->led(key_LED::led_lan), 0);
    EXPECT_EQ(config.get<std::string>("LAN1.ip_addr"), "");
    app_config stored;
    stored.read_file(config.filename().c_str());
    EXPECT_EQ(stored.get<std::string>("LAN1.ip_addr"), "");
    unsigned char up[1] = {1};
    controller->on_appcmd_change_lan_stat(command(appcmd_change_lan_stat, up, sizeof up));
    EXPECT_EQ(controller->led(key_LED::led_lan), 0x20);
}

}  // namespace

namespace {

// The debug console's direct media start: audio to the given address, status "calling" until the
// first packet; an address that is no address starts nothing.
TEST_F(Controller, DirectMediaStart)
{
    build();
    log_capture log;
    char bad[32] = "localhost";
    app_controller::dispatch_table()[appcmd_connect_ip](*controller, command(appcmd_connect_ip, bad, sizeof bad));
    EXPECT_NE(log.take().find("invalid dst address."), std::string::npos);
    EXPECT_FALSE(controller->main_engine().rtp_running());
    char address[32] = "127.0.0.1";
    app_controller::dispatch_table()[appcmd_connect_ip](*controller, command(appcmd_connect_ip, address, sizeof address));
    EXPECT_TRUE(controller->main_engine().rtp_running());
    EXPECT_EQ(controller->status(), comm_status::IP_CALLING);
    EXPECT_EQ(config.get<std::string>("dial.last_ip"), "127.0.0.1");
    // Our own packets come back on the same port: the first one connects.
    controller->on_appcmd_rcv_rtp(command(appcmd_rcv_rtp));
    EXPECT_EQ(controller->status(), comm_status::IP_CONNECT);
    controller->on_appcmd_disconnect(command(appcmd_disconnect));
    EXPECT_FALSE(controller->main_engine().rtp_running());
}

}  // namespace
