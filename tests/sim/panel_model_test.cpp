#include "panel_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using orva::sim::panel_model;

struct display_case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* line1;
    const char* line2;
    int cursor_line;
    int cursor_col;
};

TEST(PanelModel, DisplayControllerDecodesCommandBytesAndCharacters)
{
    const display_case cases[] = {
        {"characters advance from home", {'A', 'B'}, "AB                  ", "                    ", 0, 2},
        {"line 2 address", {0xE3, 'x'}, "                    ", "   x                ", 1, 4},
        {"line 1 address", {0xE0, 'a', 0xC5, 'b'}, "     b              ", "a                   ", 0, 6},
        {"clear empties both lines and homes", {'A', 0xE0, 'B', 0x81}, "                    ", "                    ", 0, 0},
        {"columns past 19 are not shown", {0xD3, 'y', 'z'}, "                   y", "                    ", 0, 21},
        {"display control and buzzer change no text", {0x8E, 0xA1, 0xA0, 'q'}, "q                   ", "                    ", 0, 1},
        {"unknown commands are ignored", {0x82, 0x90, 0xB0, 'k'}, "k                   ", "                    ", 0, 1},
    };
    for (const auto& c : cases) {
        panel_model m;
        for (uint8_t b : c.bytes)
            m.display_byte(b);
        EXPECT_EQ(m.state().lines[0], c.line1) << c.name;
        EXPECT_EQ(m.state().lines[1], c.line2) << c.name;
        EXPECT_EQ(m.state().cursor_line, c.cursor_line) << c.name;
        EXPECT_EQ(m.state().cursor_col, c.cursor_col) << c.name;
    }
}

TEST(PanelModel, DisplayControlBitsAndBuzzer)
{
    panel_model m;
    m.display_byte(0x8E);
    EXPECT_TRUE(m.state().display_on);
    EXPECT_TRUE(m.state().cursor_shown);
    EXPECT_FALSE(m.state().cursor_blinks);
    m.display_byte(0x89);
    EXPECT_FALSE(m.state().display_on);
    EXPECT_TRUE(m.state().cursor_blinks);
    m.display_byte(0xA1);
    EXPECT_TRUE(m.state().buzzer);
    m.display_byte(0x84);
    EXPECT_EQ(m.state().unknown_commands, 1u);
}

std::vector<uint8_t> frame(std::initializer_list<std::pair<int, uint8_t>> bytes)
{
    std::vector<uint8_t> f(14, 0);
    for (auto [i, v] : bytes)
        f[i] = v;
    return f;
}

TEST(PanelModel, KeyLedFrameDecodesMetersOverloadAndLeds)
{
    panel_model m;
    uint8_t rx[14];
    // Meter 0 at row 5 (F0 01 00) with its peak on segment 12 (00 00 01 of byte 2), meter 1 full
    // with overload, meter 3 one segment; LEDs err (byte 3), in (6), lan and con (13).
    auto tx = frame({{0, 7}, {1, 0x01}, {2, 0x01}, {3, 0xF8}, {4, 0xFF}, {5, 0xFF}, {6, 0xF8},
                     {12, 0x10}, {13, 0x22}});
    m.key_led_frame(tx.data(), rx, 14);
    const auto& s = m.state();
    EXPECT_EQ(s.meters[0].bar, 5);
    EXPECT_EQ(s.meters[0].peak, 13);
    EXPECT_FALSE(s.meters[0].overload);
    EXPECT_EQ(s.meters[1].bar, 19);
    EXPECT_TRUE(s.meters[1].overload);
    EXPECT_EQ(s.meters[2].bar, 0);
    EXPECT_EQ(s.meters[3].bar, 1);
    EXPECT_TRUE(s.leds[int(orva::sim::panel_led::err)]);
    EXPECT_TRUE(s.leds[int(orva::sim::panel_led::in)]);
    EXPECT_TRUE(s.leds[int(orva::sim::panel_led::lan)]);
    EXPECT_TRUE(s.leds[int(orva::sim::panel_led::con)]);
    EXPECT_FALSE(s.leds[int(orva::sim::panel_led::gw)]);
    EXPECT_FALSE(s.leds[int(orva::sim::panel_led::out)]);
    EXPECT_EQ(s.last_frame_counter, 7);
    EXPECT_EQ(s.frames, 1u);
}

TEST(PanelModel, HeldKeysAnswerTheScanAtTheirByteAndBit)
{
    struct key_case {
        const char* name;
        int byte;
        uint8_t bit;
    };
    const key_case cases[] = {{"+", 1, 0x01}, {"SET", 1, 0x20}, {"STATUS", 2, 0x20},
                              {"E/D", 3, 0x01}, {"END", 4, 0x01}, {"ENT", 4, 0x10}, {"MDIAL", 4, 0x20}};
    for (const auto& c : cases) {
        panel_model m;
        const int index = orva::sim::panel_key_index(c.name);
        ASSERT_GE(index, 0) << c.name;
        m.press(index, 2);
        uint8_t tx[14] = {}, rx[14];
        for (int f = 0; f < 3; ++f) {
            m.key_led_frame(tx, rx, 14);
            for (int b = 0; b < 14; ++b)
                EXPECT_EQ(rx[b], f < 2 && b == c.byte ? c.bit : 0) << c.name << " frame " << f << " byte " << b;
        }
    }
}

TEST(PanelModel, WrongFrameLengthIsCountedAndAnsweredWithZeros)
{
    panel_model m;
    m.key_down(0);
    uint8_t tx[13] = {}, rx[13];
    m.key_led_frame(tx, rx, 13);
    EXPECT_EQ(m.state().bad_transfers, 1u);
    EXPECT_EQ(m.state().frames, 0u);
    EXPECT_EQ(rx[1], 0);
}

}  // namespace
