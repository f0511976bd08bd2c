#include "key_led.h"

#include "SPI.h"

#include <algorithm>
#include <cstring>

const meter_item meter_table[meter_rows] = {
    {-1, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}},
    {29, {0x10, 0x00, 0x00}, {0x10, 0x00, 0x00}},
    {194, {0x30, 0x00, 0x00}, {0x20, 0x00, 0x00}},
    {388, {0x70, 0x00, 0x00}, {0x40, 0x00, 0x00}},
    {616, {0xF0, 0x00, 0x00}, {0x80, 0x00, 0x00}},
    {977, {0xF0, 0x01, 0x00}, {0x00, 0x01, 0x00}},
    {1549, {0xF0, 0x03, 0x00}, {0x00, 0x02, 0x00}},
    {1950, {0xF0, 0x07, 0x00}, {0x00, 0x04, 0x00}},
    {2456, {0xF0, 0x0F, 0x00}, {0x00, 0x08, 0x00}},
    {3092, {0xF0, 0x1F, 0x00}, {0x00, 0x10, 0x00}},
    {3893, {0xF0, 0x3F, 0x00}, {0x00, 0x20, 0x00}},
    {4901, {0xF0, 0x7F, 0x00}, {0x00, 0x40, 0x00}},
    {6171, {0xF0, 0xFF, 0x00}, {0x00, 0x80, 0x00}},
    {7769, {0xF0, 0xFF, 0x01}, {0x00, 0x00, 0x01}},
    {9781, {0xF0, 0xFF, 0x03}, {0x00, 0x00, 0x02}},
    {12314, {0xF0, 0xFF, 0x07}, {0x00, 0x00, 0x04}},
    {15503, {0xF0, 0xFF, 0x0F}, {0x00, 0x00, 0x08}},
    {19517, {0xF0, 0xFF, 0x1F}, {0x00, 0x00, 0x10}},
    {24571, {0xF0, 0xFF, 0x3F}, {0x00, 0x00, 0x20}},
    {30933, {0xF0, 0xFF, 0x7F}, {0x00, 0x00, 0x40}},
    {32768, {0xF0, 0xFF, 0x7F}, {0x00, 0x00, 0x40}},
};

namespace {

// Key names and codes in scan order.
struct key_def {
    const char* name;
    int code;
};
constexpr key_def key_defs[key_LED::keys] = {
    {"+", '+'},    {"3", '3'},     {"2", '2'},    {"1", '1'}, {"up", 'U'},    {"SET", 'S'},
    {"-", '-'},    {"6", '6'},     {"5", '5'},    {"4", '4'}, {"left", 'L'},  {"STATUS", 's'},
    {"E/D", 'E'},  {"9", '9'},     {"8", '8'},    {"7", '7'}, {"right", 'R'}, {"DIAL", 'D'},
    {"END", 'e'},  {"#", '#'},     {"0", '0'},    {"*", '*'}, {"ENT", '\n'},  {"MDIAL", 'M'},
};

// Where the LED bytes go in the frame.
constexpr int led_frame_byte[key_LED::led_count] = {13, 13, 3, 13, 9, 13, 6, 12};

constexpr int overload_level = 32766;
constexpr int overload_frames = 10;
constexpr int peak_hold_frames = 5;
constexpr int tick_key = -7;

}  // namespace

key_evt_kind key_status::update(bool now_pressed)
{
    if (now_pressed != pressed) {
        pressed = now_pressed;
        count = 1;
        return pressed ? key_pressed : key_released;
    }
    ++count;
    if (pressed && repeat_delay > 0 && count > repeat_delay && repeat_interval != 0 &&
        (count - repeat_delay) % repeat_interval == 0)
        return key_pressed;
    return key_no_change;
}

int meter_row(int level)
{
    const auto it = std::lower_bound(std::begin(meter_table), std::end(meter_table), level,
                                     [](const meter_item& row, int l) { return row.threshold < l; });
    // A level below the first threshold would index before the table.
    return std::max(0, static_cast<int>(it - std::begin(meter_table)) - 1);
}

key_LED::key_LED(SPI& spi, waitable_queue<key_event>* queue) : m_spi(spi), m_queue(queue)
{
    for (int i = 0; i < keys; ++i)
        m_keys[i].key = key_defs[i].code;
}

key_LED::~key_LED()
{
    m_meter_sock.close();
}

void key_LED::set_meter_level(bool input, int left, int right)
{
    const int first = input ? 0 : 2;
    const int levels[2] = {left, right};
    for (int c = 0; c < 2; ++c) {
        auto& slot = m_level[first + c];
        int now = slot.load(std::memory_order_relaxed);
        while (levels[c] > now && !slot.compare_exchange_weak(now, levels[c], std::memory_order_relaxed)) {
        }
    }
}

bool key_LED::enable_meter_udp(const sockaddr_in* destination)
{
    return destination && m_meter_sock.enable(*destination);
}

void key_LED::disable_meter_udp()
{
    m_meter_sock.disable();
}

void key_LED::fill_meters()
{
    for (int k = 0; k < meters; ++k) {
        const int level = m_level[k].exchange(0, std::memory_order_relaxed);
        const int n = meter_row(level);
        peak_holder& h = m_peak[k];
        const int held = h.index;
        const int left = h.countdown - 1;
        h.countdown = left;
        int peak_row;
        if (n >= held) {
            h.index = n;
            h.countdown = peak_hold_frames;
            peak_row = n;
        } else if (left <= 0) {
            h.index = held / 2;
            peak_row = h.index;
        } else {
            peak_row = held;
        }
        const meter_item& bar = meter_table[n];
        const meter_item& peak = meter_table[peak_row];
        m_tx[3 * k + 1] = bar.bar[2] | peak.peak[2];
        m_tx[3 * k + 2] = bar.bar[1] | peak.peak[1];
        m_tx[3 * k + 3] = bar.bar[0] | peak.peak[0];
        if (level > overload_level) {
            m_overload[k] = overload_frames;
            m_tx[3 * k + 1] |= 0x80;
        } else if (m_overload[k] > 0 && --m_overload[k] != 0) {
            m_tx[3 * k + 1] |= 0x80;
        }
    }
    for (int i = 0; i < led_count; ++i)
        m_tx[led_frame_byte[i]] |= led[i].load(std::memory_order_relaxed);
}

void key_LED::fill_error_frame()
{
    const int left = blink_count.load() - 1;
    if (left > 5) {
        for (int b : {1, 2, 4, 5, 7, 8, 10, 11})
            m_tx[b] = 0xFF;
        m_tx[3] = m_tx[6] = m_tx[9] = 0xF8;
        m_tx[12] = 0xF0;
        m_tx[13] = 0x2B;
        blink_count = left;
    } else {
        m_tx[3] = 0x08;
        blink_count = left <= 0 ? 10 : left;
    }
}

int key_LED::send_data()
{
    const bool error = error_mode.load();
    m_tx[0] = static_cast<unsigned char>(m_frame_counter++);
    std::memset(m_tx + 1, 0, frame_size - 1);
    if (error)
        fill_error_frame();
    else
        fill_meters();

    unsigned char rx[frame_size] = {};
    if (m_spi.send_key_led(m_tx, rx, frame_size) != 0)
        std::memset(rx, 0, sizeof rx);  // a lost frame reads as every key released
    m_meter_sock.send(m_tx + 1, 12);
    scan_keys(rx);
    return error ? 1 : 0;
}

void key_LED::scan_keys(const unsigned char* rx)
{
    for (int i = 0; i < keys; ++i) {
        const bool down = rx[1 + i / 6] & (1 << (i % 6));
        key_status& k = m_keys[i];
        if (k.update(down) == key_pressed)
            queue_key(k.key, k.count);
    }
}

void key_LED::queue_key(int key, int count)
{
    if (!m_queue || key_mute.load())
        return;
    m_queue->push(key_event{key, key_pressed, count});
}

void key_LED::send_1sec_event()
{
    if (sec_event.load() && m_queue)
        m_queue->push(key_event{tick_key, key_no_change, 0});
}

const char* key_LED::key_idx_to_str(int index)
{
    return index >= 0 && index < keys ? key_defs[index].name : "";
}

const char* key_LED::key_stat_to_str(int kind)
{
    switch (kind) {
    case key_no_change:
        return "no-change";
    case key_pressed:
        return "pressed";
    case key_released:
        return "released";
    default:
        return "unknown";
    }
}
