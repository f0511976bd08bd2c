#pragma once
// The key/LED board on the panel bus: every 100 ms one 14-byte frame lights the four bar-graph
// level meters and the status LEDs and brings back the state of the 24 keys.
//
// Outgoing frame: byte 0 the frame counter; bytes 3k+1, 3k+2, 3k+3 meter k (bar or-ed with
// peak; 0x80 in the first is the overload lamp); LED bits in the low nibbles of bytes 3, 6, 9,
// 12 and in byte 13. Incoming frame: key i is bit (i mod 6) of byte 1 + i / 6.

#include "media_ports.h"
#include "meter_sock.h"
#include "waitable_queue.h"

#include <netinet/in.h>

#include <array>
#include <atomic>
#include <cstdint>

class SPI;

enum key_evt_kind { key_no_change = 0, key_pressed = 1, key_released = 2 };

// One key event of the panel queue; real keys are queued as pressed, with the count of frames
// the key has been held (1, then 11, 12, ... while it repeats). Virtual keys are negative.
struct key_event {
    int key = 0;
    int kind = key_no_change;
    int count = 0;
};

// One key's state across frames.
struct key_status {
    int key = 0;
    bool pressed = false;
    int count = 0;             // frames in the current state, 1 on the frame of a change
    int repeat_delay = 10;     // frames before a held key repeats
    int repeat_interval = -1;  // frames between repeats (-1: every frame)

    // Applies one frame's sample: key_released on a release, key_pressed on a press or a due
    // repeat, key_no_change otherwise.
    key_evt_kind update(bool now_pressed);
};

// One row of the meter table: levels above `threshold` light `bar`; `peak` is the row's single
// peak segment. Bytes are given as byte 0 (low), 1, 2 (high) of the meter's three frame bytes.
struct meter_item {
    int threshold;
    unsigned char bar[3];
    unsigned char peak[3];
};
inline constexpr int meter_rows = 21;
extern const meter_item meter_table[meter_rows];

// The row lit by a level: the number of rows whose threshold is below it, less one (0 at least).
int meter_row(int level);

struct peak_holder {
    int index = 0;
    int countdown = 0;
};

class key_LED : public orva::level_meter_sink {
public:
    static constexpr int keys = 24;
    static constexpr int meters = 4;
    static constexpr int frame_size = 14;

    // LED state bytes: the value written is the bit it lights.
    enum led_e { led_lan, led_gw, led_err, led_con, led_ipc, led_ngn, led_in, led_out, led_count };
    static constexpr unsigned char led_bit[led_count] = {0x20, 0x08, 0x08, 0x02, 0x08, 0x01, 0x08, 0x08};

    // `queue` may be null: keys then go nowhere.
    key_LED(SPI& spi, waitable_queue<key_event>* queue);
    ~key_LED() override;
    key_LED(const key_LED&) = delete;
    key_LED& operator=(const key_LED&) = delete;

    // Raises the peaks since the last frame: input true = meters 0 and 1, false = 2 and 3.
    // Called by the audio threads with the block's largest absolute sample (0..32768).
    void set_meter_level(bool input, int left, int right) override;

    bool enable_meter_udp(const sockaddr_in* destination);
    void disable_meter_udp();

    // One frame: 0 normal, 1 error mode.
    int send_data();
    // The one-second tick (virtual key -7) when enabled; the key mute does not apply.
    void send_1sec_event();

    static const char* key_idx_to_str(int index);
    static const char* key_stat_to_str(int kind);

    // Set by their owners, read once per frame.
    std::array<std::atomic<unsigned char>, led_count> led{};
    std::atomic<bool> error_mode{false};
    std::atomic<int> blink_count{0};
    std::atomic<bool> sec_event{false};
    std::atomic<bool> key_mute{false};

    // The last frame sent, for tests and diagnostics (key/LED thread only).
    const unsigned char* last_frame() const { return m_tx; }

private:
    void fill_meters();
    void fill_error_frame();
    void scan_keys(const unsigned char* rx);
    void queue_key(int key, int count);

    SPI& m_spi;
    waitable_queue<key_event>* m_queue;
    orva::meter_sock m_meter_sock;
    // Peaks since the last frame: raised by the audio threads, taken by the key/LED thread.
    std::array<std::atomic<int>, meters> m_level{};
    int m_frame_counter = 0;
    std::array<peak_holder, meters> m_peak{};
    std::array<int, meters> m_overload{};
    std::array<key_status, keys> m_keys{};
    unsigned char m_tx[frame_size] = {};
};
