#pragma once
// The two-line, 20-column character display on the panel bus.
//
// Command bytes: 0x81 clear; 0xC0 | column and 0xE0 | column address line 1 and line 2;
// 0x88 | display << 2 | cursor << 1 | blink; 0xA0 | buzzer; bytes below 0x80 are characters.
// The driver keeps the text of both lines so that a passing screen can be taken back (redraw).
// Only the user-interface thread draws; the bus lock orders its bytes against key/LED frames.

#include <string>

class SPI;

class LCD {
public:
    static constexpr int columns = 20;

    explicit LCD(SPI& spi);

    int clear();
    // A negative argument keeps the current value; the column is held within 0..19.
    int set_cursor(int col, int line);
    int disp_cursor(bool on);
    // Writes one character at the cursor while the cursor is at column 18 or before; with
    // `insert` the character also goes into the kept text of the line (std::out_of_range when the
    // cursor is beyond that text).
    int disp(char ch, bool insert);
    int back_space();
    // Both lines, each padded with blanks to 20 characters; the cursor then stands on line 2
    // just after the second text. With `save` the texts are kept for redraw.
    int disp(const char* first, const char* second, bool save);
    int redraw();

    int address_set(int line, int col) { return set_cursor(col, line); }
    int cursor_left();
    int cursor_right();
    int disp_line(const std::string& text);
    int buzzer_f(bool on);

    int column() const { return m_col; }
    int line() const { return m_line; }
    const std::string& saved_line(int index) const { return index ? m_line2 : m_line1; }

private:
    // Sends one character; bytes of 0x80 and above would be display commands, so they show as '?'.
    int send_char(char ch);
    std::string& current_saved() { return m_line ? m_line2 : m_line1; }

    SPI& m_spi;
    int m_col = 0;
    int m_line = 0;
    std::string m_line1;
    std::string m_line2;
    bool m_display_on = true;
    bool m_cursor = false;
    bool m_blink = false;
};
