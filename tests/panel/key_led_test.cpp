#include "SPI.h"
#include "app_controller.h"
#include "key_led.h"
#include "key_led_thr_f.h"
#include "panel_fixture.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

class KeyLed : public PanelBus {
protected:
    void SetUp() override
    {
        PanelBus::SetUp();
        spi = std::make_unique<SPI>("/dev/spidev4.0");
        board = std::make_unique<key_LED>(*spi, &queue);
    }
    void TearDown() override
    {
        board.reset();
        spi.reset();
        PanelBus::TearDown();
    }
    std::vector<key_event> drain()
    {
        std::vector<key_event> out;
        key_event e;
        while (queue.pop(e, 0) == 1)
            out.push_back(e);
        return out;
    }
    int key(const char* name) { return orva::sim::panel_key_index(name); }

    waitable_queue<key_event> queue;
    std::unique_ptr<SPI> spi;
    std::unique_ptr<key_LED> board;
};

TEST_F(KeyLed, HeldKeyRepeatsEveryFrameAfterTenFrames)
{
    panel->press(key("DIAL"), 25);
    for (int f = 0; f < 27; ++f)
        board->send_data();
    std::vector<int> counts;
    for (const auto& e : drain()) {
        EXPECT_EQ(e.key, 'D');
        EXPECT_EQ(e.kind, key_pressed);
        counts.push_back(e.count);
    }
    std::vector<int> expected{1};
    for (int c = 11; c <= 25; ++c)
        expected.push_back(c);
    EXPECT_EQ(counts, expected);
}

TEST_F(KeyLed, EveryKeyArrivesWithItsCode)
{
    const char codes[] = "+321USf-654Ls";  // first thirteen keys; 'f' stands for nothing
    (void)codes;
    struct key_case {
        const char* name;
        int code;
    };
    const key_case cases[] = {{"+", '+'},      {"SET", 'S'}, {"STATUS", 's'}, {"E/D", 'E'}, {"right", 'R'},
                              {"END", 'e'},    {"#", '#'},   {"ENT", '\n'},   {"MDIAL", 'M'}, {"up", 'U'},
                              {"left", 'L'},   {"0", '0'},   {"9", '9'}};
    for (const auto& c : cases) {
        panel->press(key(c.name), 1);
        board->send_data();
        board->send_data();
        const auto events = drain();
        ASSERT_EQ(events.size(), 1u) << c.name;
        EXPECT_EQ(events[0].key, c.code) << c.name;
        EXPECT_EQ(events[0].count, 1) << c.name;
    }
}

TEST_F(KeyLed, ReleaseThenPressGivesAFreshEvent)
{
    panel->press(key("5"), 3);
    for (int f = 0; f < 4; ++f)
        board->send_data();
    panel->press(key("5"), 2);
    for (int f = 0; f < 3; ++f)
        board->send_data();
    const auto events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].count, 1);
}

TEST_F(KeyLed, LostFrameReleasesHeldKeys)
{
    panel->key_down(key("8"));
    board->send_data();
    // The key board's select line cannot be driven: the frame is lost.
    const std::string line = unit.path("/sys/class/gpio/gpio92/value");
    std::rename(line.c_str(), (line + ".away").c_str());
    board->send_data();
    std::rename((line + ".away").c_str(), line.c_str());
    board->send_data();
    const auto events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].count, 1);
    EXPECT_EQ(events[1].count, 1);
}

TEST_F(KeyLed, KeyMuteStopsKeysButNotTheTick)
{
    board->key_mute = true;
    board->sec_event = true;
    panel->press(key("1"), 2);
    board->send_data();
    board->send_1sec_event();
    const auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].key, -7);
    board->sec_event = false;
    board->send_1sec_event();
    EXPECT_TRUE(drain().empty());
}

TEST(KeyNames, NamesOfKeysAndKinds)
{
    EXPECT_STREQ(key_LED::key_idx_to_str(0), "+");
    EXPECT_STREQ(key_LED::key_idx_to_str(22), "ENT");
    EXPECT_STREQ(key_LED::key_idx_to_str(23), "MDIAL");
    EXPECT_STREQ(key_LED::key_stat_to_str(0), "no-change");
    EXPECT_STREQ(key_LED::key_stat_to_str(2), "released");
    EXPECT_STREQ(key_LED::key_stat_to_str(7), "unknown");
}

TEST(MeterTable, LevelsMapToRows)
{
    const std::pair<int, int> cases[] = {{0, 0},     {29, 0},     {30, 1},     {194, 1},   {195, 2},
                                         {6171, 11}, {6172, 12},  {30933, 18}, {30934, 19}, {32768, 19},
                                         {32769, 20}, {-5, 0}};
    for (auto [level, row] : cases)
        EXPECT_EQ(meter_row(level), row) << level;
}

TEST_F(KeyLed, PeakHoldsFiveFramesThenHalves)
{
    struct frame_case {
        int level;
        int bar;   // segments lit from the bottom (a peak on the first segment counts)
        int peak;  // highest lit segment
    };
    // Row 12 reached once, then silence: held for that frame and four more, then halved each frame.
    const frame_case frames[] = {{7000, 12, 12}, {0, 0, 12}, {0, 0, 12}, {0, 0, 12}, {0, 0, 12},
                                 {0, 0, 6},      {0, 0, 3},  {0, 1, 1},  {0, 0, 0},  {2000, 7, 7},
                                 {1000, 5, 7}};
    int n = 0;
    for (const auto& f : frames) {
        board->set_meter_level(true, f.level, 0);
        board->send_data();
        const auto m = panel->state().meters[0];
        EXPECT_EQ(m.bar, f.bar) << "frame " << n;
        EXPECT_EQ(m.peak, f.peak) << "frame " << n;
        ++n;
    }
}

TEST_F(KeyLed, MetersTakeTheLargestLevelSinceTheLastFrame)
{
    board->set_meter_level(true, 500, 100);
    board->set_meter_level(true, 300, 2000);
    board->set_meter_level(false, 32767, 30);
    board->send_data();
    const auto st = panel->state();
    EXPECT_EQ(st.meters[0].bar, meter_row(500));
    EXPECT_EQ(st.meters[1].bar, meter_row(2000));
    EXPECT_EQ(st.meters[2].bar, 19);
    EXPECT_EQ(st.meters[3].bar, 1);
    board->send_data();
    EXPECT_EQ(panel->state().meters[1].bar, 0);
}

TEST_F(KeyLed, OverloadLampShowsForTenFrames)
{
    board->set_meter_level(false, 0, 32767);
    std::vector<bool> lamp;
    for (int f = 0; f < 12; ++f) {
        board->send_data();
        lamp.push_back(panel->state().meters[3].overload);
        EXPECT_EQ(board->last_frame()[10] & 0x80, lamp.back() ? 0x80 : 0);
    }
    EXPECT_EQ(lamp, std::vector<bool>({true, true, true, true, true, true, true, true, true, true, false, false}));
    EXPECT_EQ(panel->state().meters[2].overload, false);
}

TEST_F(KeyLed, LedBytesLightTheirLamps)
{
    const std::pair<key_LED::led_e, orva::sim::panel_led> cases[] = {
        {key_LED::led_lan, orva::sim::panel_led::lan}, {key_LED::led_gw, orva::sim::panel_led::gw},
        {key_LED::led_err, orva::sim::panel_led::err}, {key_LED::led_con, orva::sim::panel_led::con},
        {key_LED::led_ipc, orva::sim::panel_led::ipc}, {key_LED::led_ngn, orva::sim::panel_led::ngn},
        {key_LED::led_in, orva::sim::panel_led::in},   {key_LED::led_out, orva::sim::panel_led::out},
    };
    for (auto [led, lamp] : cases) {
        board->led[led] = key_LED::led_bit[led];
        board->send_data();
        const auto st = panel->state();
        for (int i = 0; i < int(orva::sim::panel_led::count); ++i)
            EXPECT_EQ(st.leds[i], i == int(lamp)) << orva::sim::panel_led_name(lamp);
        board->led[led] = 0;
    }
}

TEST_F(KeyLed, ErrorModeBlinksFourOfTenFrames)
{
    board->led[key_LED::led_out] = key_LED::led_bit[key_LED::led_out];
    board->error_mode = true;
    board->blink_count = 0;
    std::string pattern;
    for (int f = 0; f < 20; ++f) {
        EXPECT_EQ(board->send_data(), 1);
        const auto st = panel->state();
        const bool all = st.meters[0].bar == 19 && st.meters[3].bar == 19 && st.meters[1].overload &&
                         st.leds[int(orva::sim::panel_led::lan)];
        EXPECT_TRUE(st.leds[int(orva::sim::panel_led::err)]);
        EXPECT_FALSE(st.leds[int(orva::sim::panel_led::out)]);
        pattern += all ? '#' : '.';
    }
    EXPECT_EQ(pattern, ".####......####.....");
    board->error_mode = false;
    EXPECT_EQ(board->send_data(), 0);
}

struct recorder : command_sink {
    void post(const command& c) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        posted.push_back(c);
    }
    std::mutex mutex;
    std::vector<command> posted;
};

TEST_F(KeyLed, ThreadReportsErrorModeChangesAndTicks)
{
    recorder controller;
    key_led_thr_f thr(*board, &controller);
    board->sec_event = true;
    std::thread t(std::ref(thr));
    board->error_mode = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    board->error_mode = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    thr.end();
    t.join();
    std::lock_guard<std::mutex> lock(controller.mutex);
    ASSERT_EQ(controller.posted.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(controller.posted[i].id, appcmd_error_status);
        ASSERT_EQ(controller.posted[i].data.size(), 8u);
        appcmd_error_status_data d;
        std::memcpy(&d, controller.posted[i].data.data(), sizeof d);
        EXPECT_EQ(d.kind, 0);
        EXPECT_EQ(d.value, i == 0 ? 1 : 0);
    }
    bool tick = false;
    for (const auto& e : drain())
        tick |= e.key == -7;
    EXPECT_TRUE(tick);
}

TEST_F(KeyLed, MeterDatagramsCarryTheFrameBytes)
{
    const std::string cmd = std::string("python3 ") + ORVA_SOURCE_DIR "/tests/media/meter_decode.py 1 10";
    FILE* reader = ::popen(cmd.c_str(), "r");
    ASSERT_NE(reader, nullptr);
    char line[128];
    ASSERT_NE(std::fgets(line, sizeof line, reader), nullptr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::atoi(line)));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_TRUE(board->enable_meter_udp(&to));
    board->set_meter_level(true, 32767, 30);
    board->set_meter_level(false, 1000, 0);
    board->led[key_LED::led_err] = 0x08;  // LED bits sit in the low nibble, which is not sent
    board->send_data();
    ASSERT_NE(std::fgets(line, sizeof line, reader), nullptr);
    ::pclose(reader);
    // Meter 0: all 19 segments and the lamp; meter 1: one segment; meter 2: row 5.
    EXPECT_STREQ(line, "ORVA fffff 00001 0001f 00000\n");
    board->disable_meter_udp();
}

}  // namespace
