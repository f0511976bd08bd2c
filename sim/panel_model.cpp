#include "panel_model.h"

#include <algorithm>
#include <cstdio>

namespace orva::sim {
namespace {

constexpr const char* led_names[] = {"lan", "gw", "err", "con", "ipc", "ngn", "in", "out"};

// Where each LED sits in the outgoing frame.
struct led_place {
    panel_led led;
    unsigned byte;
    uint8_t bit;
};
constexpr led_place led_places[] = {
    {panel_led::lan, 13, 0x20}, {panel_led::gw, 13, 0x08}, {panel_led::err, 3, 0x08},
    {panel_led::con, 13, 0x02}, {panel_led::ipc, 9, 0x08},  {panel_led::ngn, 13, 0x01},
    {panel_led::in, 6, 0x08},   {panel_led::out, 12, 0x08},
};

// Key names in scan order; the scan reads bit (index mod 6) of byte 1 + index / 6.
constexpr const char* key_names[panel_keys] = {
    "+", "3", "2", "1", "up", "SET", "-", "6", "5", "4", "left", "STATUS",
    "E/D", "9", "8", "7", "right", "DIAL", "END", "#", "0", "*", "ENT", "MDIAL",
};

// Segment s of a meter: bits 4..7 of its low byte, then its middle byte, then bits 0..6 of its
// high byte; the high byte's bit 7 is the overload lamp.
bool segment_lit(uint8_t high, uint8_t mid, uint8_t low, int s)
{
    if (s < 4)
        return low & (0x10 << s);
    if (s < 12)
        return mid & (1 << (s - 4));
    return high & (1 << (s - 12));
}

}  // namespace

const char* panel_led_name(panel_led led)
{
    const int i = static_cast<int>(led);
    return i >= 0 && i < static_cast<int>(panel_led::count) ? led_names[i] : "?";
}

int panel_key_index(const std::string& name)
{
    for (int i = 0; i < panel_keys; ++i)
        if (name == key_names[i])
            return i;
    return -1;
}

const char* panel_key_name(int index)
{
    return index >= 0 && index < panel_keys ? key_names[index] : "?";
}

void panel_model::display_byte(uint8_t byte)
{
    auto& s = m_state;
    ++s.display_bytes;
    if (byte < 0x80) {
        if (s.cursor_col >= 0 && s.cursor_col < panel_columns)
            s.lines[s.cursor_line][s.cursor_col] = static_cast<char>(byte < 0x20 ? '?' : byte);
        if (s.cursor_col < 0x40)
            ++s.cursor_col;
        return;
    }
    if (byte == 0x81) {
        s.lines[0].assign(panel_columns, ' ');
        s.lines[1].assign(panel_columns, ' ');
        s.cursor_line = 0;
        s.cursor_col = 0;
    } else if ((byte & 0xE0) == 0xC0 || (byte & 0xE0) == 0xE0) {
        s.cursor_line = (byte & 0xE0) == 0xE0 ? 1 : 0;
        s.cursor_col = byte & 0x1F;
    } else if ((byte & 0xF8) == 0x88) {
        s.display_on = byte & 0x04;
        s.cursor_shown = byte & 0x02;
        s.cursor_blinks = byte & 0x01;
    } else if ((byte & 0xFE) == 0xA0) {
        s.buzzer = byte & 0x01;
    } else {
        ++s.unknown_commands;
    }
}

void panel_model::key_led_frame(const uint8_t* tx, uint8_t* rx, unsigned length)
{
    auto& s = m_state;
    std::fill(rx, rx + length, 0);
    if (length != key_led_frame_size) {
        ++s.bad_transfers;
        return;
    }
    ++s.frames;
    s.last_frame_counter = tx[0];
    for (int k = 0; k < panel_meters; ++k) {
        const uint8_t high = tx[3 * k + 1], mid = tx[3 * k + 2], low = tx[3 * k + 3];
        panel_meter m;
        while (m.bar < panel_meter_segments && segment_lit(high, mid, low, m.bar))
            ++m.bar;
        for (int seg = panel_meter_segments - 1; seg >= 0; --seg)
            if (segment_lit(high, mid, low, seg)) {
                m.peak = seg + 1;
                break;
            }
        m.overload = high & 0x80;
        s.meters[k] = m;
    }
    for (const auto& p : led_places)
        s.leds[static_cast<int>(p.led)] = tx[p.byte] & p.bit;

    for (int i = 0; i < panel_keys; ++i) {
        if (m_hold[i] == 0)
            continue;
        rx[1 + i / 6] |= static_cast<uint8_t>(1 << (i % 6));
        if (m_hold[i] > 0)
            --m_hold[i];
    }
}

void panel_model::key_down(int index)
{
    if (index >= 0 && index < panel_keys)
        m_hold[index] = -1;
}

void panel_model::key_up(int index)
{
    if (index >= 0 && index < panel_keys)
        m_hold[index] = 0;
}

void panel_model::press(int index, int frames)
{
    if (index >= 0 && index < panel_keys)
        m_hold[index] = std::max(frames, 1);
}

bool panel_model::key_held(int index) const
{
    return index >= 0 && index < panel_keys && m_hold[index] != 0;
}

std::string panel_model::state_text() const
{
    const auto& s = m_state;
    std::string out;
    char buf[160];
    out += "line1 " + s.lines[0] + "\n";
    out += "line2 " + s.lines[1] + "\n";
    std::snprintf(buf, sizeof buf, "cursor %d %d %d %d\ndisplay %d\nbuzzer %d\n", s.cursor_line,
                  s.cursor_col, s.cursor_shown ? 1 : 0, s.cursor_blinks ? 1 : 0, s.display_on ? 1 : 0,
                  s.buzzer ? 1 : 0);
    out += buf;
    out += "leds";
    for (int i = 0; i < static_cast<int>(panel_led::count); ++i)
        out += std::string(" ") + led_names[i] + "=" + (s.leds[i] ? "1" : "0");
    out += "\n";
    for (int k = 0; k < panel_meters; ++k) {
        std::snprintf(buf, sizeof buf, "meter%d %d %d %d\n", k, s.meters[k].bar, s.meters[k].peak,
                      s.meters[k].overload ? 1 : 0);
        out += buf;
    }
    std::snprintf(buf, sizeof buf,
                  "frames %llu\ncounter %u\ndisplay_bytes %llu\nunknown_commands %llu\n"
                  "unselected %llu\nbad_transfers %llu\n",
                  static_cast<unsigned long long>(s.frames), s.last_frame_counter,
                  static_cast<unsigned long long>(s.display_bytes),
                  static_cast<unsigned long long>(s.unknown_commands),
                  static_cast<unsigned long long>(s.unselected),
                  static_cast<unsigned long long>(s.bad_transfers));
    out += buf;
    out += "keys";
    for (int i = 0; i < panel_keys; ++i)
        if (m_hold[i] != 0)
            out += std::string(" ") + key_names[i];
    out += "\n";
    return out;
}

}  // namespace orva::sim
