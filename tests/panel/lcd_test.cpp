#include "LCD.h"
#include "SPI.h"
#include "panel_fixture.h"

#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <thread>

namespace {

using ops = std::function<void(LCD&)>;

struct stream_case {
    const char* name;
    ops setup;  // bytes of the setup are not checked
    ops action;
    std::vector<std::string> bytes;  // display bytes of the action, as the bus carried them
    const char* line1;
    const char* line2;
};

std::vector<std::string> bytes_of(std::initializer_list<int> values)
{
    std::vector<std::string> out;
    for (int v : values) {
        char item[8];
        std::snprintf(item, sizeof item, "D %02x", v);
        out.emplace_back(item);
    }
    return out;
}

std::vector<std::string> two_lines(const std::string& a, const std::string& b, int final_col)
{
    std::vector<std::string> out = bytes_of({0xC0});
    auto add = [&](const std::string& text) {
        for (char c : text)
            out.push_back(bytes_of({c})[0]);
        for (size_t i = text.size(); i < 20; ++i)
            out.push_back("D 20");
    };
    add(a);
    out.push_back("D e0");
    add(b);
    out.push_back(bytes_of({0xE0 | final_col})[0]);
    return out;
}

TEST_F(PanelBus, DisplayByteStreams)
{
    const std::string blank(20, ' ');
    const stream_case cases[] = {
        {"two lines padded, cursor after the second", [](LCD&) {}, [](LCD& l) { l.disp("CALL", "1234", true); },
         two_lines("CALL", "1234", 4), "CALL                ", "1234                "},
        {"empty texts are twenty blanks", [](LCD&) {}, [](LCD& l) { l.disp("", "", false); },
         two_lines("", "", 0), blank.c_str(), blank.c_str()},
        {"a long text is sent whole", [](LCD&) {}, [](LCD& l) { l.disp("ABCDEFGHIJKLMNOPQRSTUVWXY", "", false); },
         two_lines("ABCDEFGHIJKLMNOPQRSTUVWXY", "", 0), "ABCDEFGHIJKLMNOPQRST", blank.c_str()},
        {"clear", [](LCD& l) { l.disp("X", "Y", true); }, [](LCD& l) { l.clear(); }, bytes_of({0x81}), blank.c_str(),
         blank.c_str()},
        {"cursor on and off", [](LCD&) {}, [](LCD& l) { l.disp_cursor(true); l.disp_cursor(false); },
         bytes_of({0x8E, 0x8C}), blank.c_str(), blank.c_str()},
        {"single characters advance", [](LCD& l) { l.set_cursor(3, 1); }, [](LCD& l) { l.disp('7', false); l.disp('8', false); },
         bytes_of({'7', '8'}), blank.c_str(), "   78               "},
        {"nothing is written at column 19", [](LCD& l) { l.set_cursor(19, 0); }, [](LCD& l) { l.disp('x', false); },
         {}, blank.c_str(), blank.c_str()},
        {"back space at column 0 does nothing", [](LCD& l) { l.set_cursor(0, 1); }, [](LCD& l) { l.back_space(); },
         {}, blank.c_str(), blank.c_str()},
        {"back space closes the gap", [](LCD& l) { l.disp("", "ABC", true); l.set_cursor(2, 1); },
         [](LCD& l) { l.back_space(); }, bytes_of({0xE1, 'C', ' ', 0xE1}), blank.c_str(), "AC                  "},
        {"text bytes of 0x80 and above show as '?'", [](LCD&) {}, [](LCD& l) { l.disp_line("\xe9\x81\xa1"); },
         bytes_of({'?', '?', '?'}), "???                 ", blank.c_str()},
        {"cursor columns are held within the line", [](LCD&) {},
         [](LCD& l) { l.set_cursor(32, 0); l.set_cursor(-5 + 30, 1); l.disp('z', false); },
         bytes_of({0xD3, 0xF3}), blank.c_str(), blank.c_str()},
        {"buzzer", [](LCD&) {}, [](LCD& l) { l.buzzer_f(true); l.buzzer_f(false); }, bytes_of({0xA1, 0xA0}),
         blank.c_str(), blank.c_str()},
        {"redraw repaints the kept lines", [](LCD& l) { l.disp("KEEP", "ME", true); l.disp("tmp", "", false); },
         [](LCD& l) { l.redraw(); }, two_lines("KEEP", "ME", 2), "KEEP                ", "ME                  "},
    };
    for (const auto& c : cases) {
        SPI spi("/dev/spidev4.0");
        LCD lcd(spi);
        lcd.clear();
        c.setup(lcd);
        panel->clear_trace();
        c.action(lcd);
        EXPECT_EQ(panel->trace(), c.bytes) << c.name;
        const auto st = panel->state();
        EXPECT_EQ(st.lines[0], c.line1) << c.name;
        EXPECT_EQ(st.lines[1], c.line2) << c.name;
        EXPECT_EQ(st.bad_transfers, 0u) << c.name;
    }
}

TEST_F(PanelBus, CursorAndKeptLinesAfterTwoLineText)
{
    SPI spi("/dev/spidev4.0");
    LCD lcd(spi);
    lcd.disp("first", "second", true);
    EXPECT_EQ(lcd.line(), 1);
    EXPECT_EQ(lcd.column(), 6);
    EXPECT_EQ(lcd.saved_line(0), "first");
    EXPECT_EQ(lcd.saved_line(1), "second");
    lcd.disp('!', true);
    EXPECT_EQ(lcd.saved_line(1), "second!");
    lcd.set_cursor(10, 1);
    EXPECT_THROW(lcd.disp('x', true), std::out_of_range);
}

// Counts writes to the select lines' value files.
class select_line_watch {
public:
    explicit select_line_watch(const orva::test::scoped_unit& unit)
    {
        m_fd = ::inotify_init1(IN_NONBLOCK);
        m_wd90 = ::inotify_add_watch(m_fd, unit.path("/sys/class/gpio/gpio90/value").c_str(), IN_CLOSE_WRITE);
        m_wd92 = ::inotify_add_watch(m_fd, unit.path("/sys/class/gpio/gpio92/value").c_str(), IN_CLOSE_WRITE);
    }
    ~select_line_watch() { ::close(m_fd); }
    // Writes since the last call: {line 90, line 92}.
    std::pair<int, int> writes()
    {
        std::pair<int, int> n{0, 0};
        alignas(inotify_event) char buf[4096];
        ssize_t r;
        while ((r = ::read(m_fd, buf, sizeof buf)) > 0)
            for (char* p = buf; p < buf + r;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                (e->wd == m_wd90 ? n.first : n.second)++;
                p += sizeof(inotify_event) + e->len;
            }
        return n;
    }

private:
    int m_fd, m_wd90, m_wd92;
};

TEST_F(PanelBus, SelectLinesSwitchOnlyWhenTheOtherDeviceIsAddressed)
{
    select_line_watch watch(unit);
    SPI spi("/dev/spidev4.0");
    EXPECT_EQ(watch.writes(), std::make_pair(1, 1));  // both driven low
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio90/value")[0], '0');

    struct step {
        const char* what;
        bool display;
        int writes90, writes92;
    };
    const step steps[] = {
        {"first display byte drives 90 high", true, 1, 0},
        {"further display bytes drive nothing", true, 0, 0},
        {"a frame drives 90 low and 92 high", false, 1, 1},
        {"further frames drive nothing", false, 0, 0},
        {"back to the display: both lines", true, 1, 1},
    };
    unsigned char tx[14] = {}, rx[14];
    for (const auto& s : steps) {
        EXPECT_EQ(s.display ? spi.send_lcd('a') : spi.send_key_led(tx, rx, 14), 0) << s.what;
        EXPECT_EQ(watch.writes(), std::make_pair(s.writes90, s.writes92)) << s.what;
    }
    EXPECT_EQ(panel->trace(), (std::vector<std::string>{"D 61", "D 61", "K", "K", "D 61"}));
    EXPECT_EQ(unit.read("/sys/class/gpio/gpio90/value"), std::string("1\0", 2));
}

TEST_F(PanelBus, TwoThreadsShareTheBusWithoutMisdirectedBytes)
{
    SPI spi("/dev/spidev4.0");
    LCD lcd(spi);
    constexpr int rounds = 150;
    std::thread frames([&] {
        unsigned char tx[14] = {}, rx[14];
        for (int i = 0; i < rounds; ++i) {
            tx[0] = static_cast<unsigned char>(i);
            EXPECT_EQ(spi.send_key_led(tx, rx, 14), 0);
        }
    });
    for (int i = 0; i < rounds; ++i)
        lcd.disp(i % 2 ? "ODD" : "EVEN", std::to_string(i).c_str(), false);
    frames.join();
    const auto st = panel->state();
    EXPECT_EQ(st.frames, static_cast<uint64_t>(rounds));
    EXPECT_EQ(st.display_bytes, static_cast<uint64_t>(rounds) * 43);
    EXPECT_EQ(st.unselected, 0u);
    EXPECT_EQ(st.bad_transfers, 0u);
    EXPECT_EQ(st.lines[0], "ODD                 ");
    EXPECT_EQ(st.lines[1], "149                 ");
    EXPECT_EQ(st.last_frame_counter, rounds - 1);
}

TEST_F(PanelBus, ShortKeyFrameBuffersAreRefused)
{
    SPI spi("/dev/spidev4.0");
    unsigned char tx[8] = {}, rx[8];
    EXPECT_EQ(spi.send_key_led(tx, rx, 8), EINVAL);
    EXPECT_EQ(panel->state().frames, 0u);
}

TEST(PanelBusOpen, FailuresOfTheBusDevice)
{
    orva::test::scoped_unit unit;
    // A panel that went away leaves its socket behind: nobody answers there.
    int s = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = unit.path("/dev/spidev4.0");
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(s);
    try {
        SPI spi("/dev/spidev4.0");
        ADD_FAILURE() << "opened a dead bus";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "open");
    }
}

}  // namespace
