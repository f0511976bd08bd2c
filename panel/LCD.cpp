#include "LCD.h"

#include "SPI.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned char cmd_clear = 0x81;
constexpr unsigned char cmd_line1 = 0xC0;
constexpr unsigned char cmd_line2 = 0xE0;
constexpr unsigned char cmd_control = 0x88;
constexpr unsigned char cmd_buzzer = 0xA0;

}  // namespace

LCD::LCD(SPI& spi) : m_spi(spi)
{
    m_line1.reserve(32);
    m_line2.reserve(32);
}

int LCD::send_char(char ch)
{
    const auto byte = static_cast<unsigned char>(ch);
    return m_spi.send_lcd(byte >= 0x80 ? '?' : byte);
}

int LCD::clear()
{
    m_spi.send_lcd(cmd_clear);
    m_col = 0;
    m_line = 0;
    m_line1.clear();
    m_line2.clear();
    return 0;
}

int LCD::set_cursor(int col, int line)
{
    if (col < 0)
        col = m_col;
    if (line < 0)
        line = m_line;
    // A column past 31 would spill into the other command bits (line 2, or a character).
    col = std::clamp(col, 0, columns - 1);
    line = line ? 1 : 0;
    m_spi.send_lcd(static_cast<unsigned char>((line ? cmd_line2 : cmd_line1) | col));
    m_col = col;
    m_line = line;
    return 0;
}

int LCD::disp_cursor(bool on)
{
    const int r = m_spi.send_lcd(static_cast<unsigned char>(cmd_control | (m_display_on << 2) | (on << 1) | m_blink));
    if (r == 0)
        m_cursor = on;
    return r;
}

int LCD::disp(char ch, bool insert)
{
    if (m_col > columns - 2)
        return 0;
    if (insert)
        current_saved().insert(static_cast<size_t>(m_col), 1, ch);
    send_char(ch);
    ++m_col;
    return 0;
}

int LCD::back_space()
{
    if (m_col <= 0)
        return 0;
    const int col = m_col - 1;
    std::string& saved = current_saved();
    if (static_cast<size_t>(col) < saved.size())
        saved.erase(static_cast<size_t>(col), 1);
    set_cursor(col, m_line);
    for (size_t i = static_cast<size_t>(col); i < saved.size(); ++i)
        send_char(saved[i]);
    send_char(' ');
    set_cursor(col, m_line);
    return 0;
}

int LCD::disp(const char* first, const char* second, bool save)
{
    if (!first)
        first = "";
    if (!second)
        second = "";
    for (int line = 0; line < 2; ++line) {
        const char* text = line ? second : first;
        set_cursor(0, line);
        const int length = static_cast<int>(std::strlen(text));
        for (int i = 0; i < length; ++i)
            send_char(text[i]);
        for (int i = length; i < columns; ++i)
            send_char(' ');
    }
    if (save) {
        // Copies first: the texts may be the kept lines themselves (redraw).
        std::string a(first), b(second);
        m_line1 = std::move(a);
        m_line2 = std::move(b);
    }
    set_cursor(static_cast<int>(std::strlen(second)), 1);
    return 0;
}

int LCD::redraw()
{
    const std::string a = m_line1, b = m_line2;
    return disp(a.c_str(), b.c_str(), false);
}

int LCD::cursor_left()
{
    if (m_col > 0)
        set_cursor(m_col - 1, m_line);
    return 0;
}

int LCD::cursor_right()
{
    if (m_col < columns - 1)
        set_cursor(m_col + 1, m_line);
    return 0;
}

int LCD::disp_line(const std::string& text)
{
    for (char c : text) {
        send_char(c);
        ++m_col;
    }
    return 0;
}

int LCD::buzzer_f(bool on)
{
    return m_spi.send_lcd(static_cast<unsigned char>(cmd_buzzer | (on ? 1 : 0)));
}
