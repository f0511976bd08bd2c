#pragma once
// The simulated front panel: the display controller and the key/LED board as the panel bus sees
// them. It decodes what the board's drivers send and answers key scans from the keys held.
// Pure state, no I/O: the panel server feeds it, tests may drive it directly.

#include <array>
#include <cstdint>
#include <string>

namespace orva::sim {

inline constexpr int panel_columns = 20;
inline constexpr int panel_keys = 24;
inline constexpr int panel_meters = 4;
inline constexpr int panel_meter_segments = 19;
inline constexpr unsigned key_led_frame_size = 14;

// Status LEDs of the key/LED board, in the order the state text lists them.
enum class panel_led { lan, gw, err, con, ipc, ngn, in, out, count };

struct panel_meter {
    int bar = 0;       // lit segments counted from the bottom without a gap (0..19)
    int peak = 0;      // highest lit segment, counted from 1 (0: none lit)
    bool overload = false;
};

struct panel_state {
    std::array<std::string, 2> lines{std::string(panel_columns, ' '), std::string(panel_columns, ' ')};
    int cursor_line = 0;
    int cursor_col = 0;
    bool display_on = true;
    bool cursor_shown = false;
    bool cursor_blinks = false;
    bool buzzer = false;
    std::array<bool, static_cast<int>(panel_led::count)> leds{};
    std::array<panel_meter, panel_meters> meters{};
    uint8_t last_frame_counter = 0;
    uint64_t frames = 0;          // key/LED frames exchanged
    uint64_t display_bytes = 0;   // bytes taken by the display controller
    uint64_t unknown_commands = 0;  // display bytes of 0x80 and above that are no command
    uint64_t unselected = 0;      // transfers while neither device was selected
    uint64_t bad_transfers = 0;   // wrong length, speed, mode or word size for the device
};

// Name of a status LED as the state text shows it ("lan", "gw", ...).
const char* panel_led_name(panel_led led);
// Key index (scan order of the board) for a key name ("1", "SET", "ENT", "up", ...); -1 if none.
int panel_key_index(const std::string& name);
// Key name of a scan index.
const char* panel_key_name(int index);

class panel_model {
public:
    // One byte taken by the display controller.
    void display_byte(uint8_t byte);
    // One full-duplex frame with the key/LED board: decodes `tx`, fills `rx` from the held keys.
    void key_led_frame(const uint8_t* tx, uint8_t* rx, unsigned length);

    // Keys: held down until released; `press` holds a key for `frames` frames (at least 1).
    void key_down(int index);
    void key_up(int index);
    void press(int index, int frames);
    bool key_held(int index) const;

    void note_unselected() { ++m_state.unselected; }
    void note_bad_transfer() { ++m_state.bad_transfers; }

    const panel_state& state() const { return m_state; }
    // The state as "name value" lines, the form viewers and scripts read.
    std::string state_text() const;

private:
    panel_state m_state;
    std::array<int, panel_keys> m_hold{};  // frames left for a press; -1 held until released
};

}  // namespace orva::sim
