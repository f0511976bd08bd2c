#pragma once
// The simulated front panel behind the panel bus.
//
// `panel_server` listens on a socket that stands in for the spidev device of the panel bus
// ("/dev/spidev4.0" below the unit root). The board's bus driver reaches it through
// `spidev_ioctl`; which device takes a transfer is decided, as on the board, by the select lines
// GPIO 90 and 92 (display: 90 high and 92 low; key/LED board: 90 low and 92 high), read from their
// value files at every transfer. Viewers and tests connect to the same socket and speak text:
//   "state"               -> the panel state as "name value" lines (panel_model::state_text)
//   "press KEY [frames]"  -> holds the key for that many key/LED frames (default 2)
//   "down KEY", "up KEY"  -> holds or releases a key
// Answers to key commands are "ok" or "error: ..." lines.

#include "panel_model.h"

#include <atomic>
#include <deque>
#include <vector>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace orva::sim {

class panel_server {
public:
    // Binds `socket_path` (a stale socket is replaced); `gpio_dir` holds gpio90/value and
    // gpio92/value. Throws std::system_error when the socket cannot be made.
    panel_server(std::string socket_path, std::string gpio_dir);
    ~panel_server();
    panel_server(const panel_server&) = delete;
    panel_server& operator=(const panel_server&) = delete;

    // Serves on a thread of its own until stop() or destruction.
    void start();
    // Serves on the calling thread until stop() is called from another thread.
    void run();
    void stop();

    // A copy of the panel state, and key operations, for a test in the same process.
    panel_state state() const;
    std::string state_text() const;
    void press(int key, int frames);
    void key_down(int key);
    void key_up(int key);

    const std::string& socket_path() const { return m_path; }

    // What the bus carried, in order, for tests: "D xx" a display byte, "K" a key/LED frame,
    // "U" a transfer while neither device was selected. Keeps the latest 100000 entries.
    std::vector<std::string> trace() const;
    void clear_trace();

    // The answer to one message from a client (what run() sends back).
    std::string handle(const uint8_t* data, size_t length);

private:
    std::string handle_text(const std::string& text);
    int selected() const;  // 1 display, 2 key/LED board, 0 none

    std::string m_path;
    std::string m_gpio_dir;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;  // guards m_model and m_trace
    panel_model m_model;
    std::deque<std::string> m_trace;
};

// A viewer's or test's connection to a panel server.
class panel_client {
public:
    // Connects; throws std::system_error when nothing listens there.
    explicit panel_client(const std::string& socket_path);
    ~panel_client();
    panel_client(const panel_client&) = delete;
    panel_client& operator=(const panel_client&) = delete;

    // Sends one text command and returns the answer (empty when the server is gone).
    std::string request(const std::string& command);
    // The state as a map of name to value ("line1" -> 20 characters, "leds" -> "lan=0 gw=1 ...").
    std::map<std::string, std::string> state();

private:
    int m_fd = -1;
};

// Parses "name value" lines; the value is everything after the first blank.
std::map<std::string, std::string> parse_state_text(const std::string& text);

}  // namespace orva::sim
