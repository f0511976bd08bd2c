#pragma once
// Single GPIO lines through sysfs ("/sys/class/gpio"): exported at construction, the value file
// kept open. Inputs are active low: a line that reads 0 is active.
//
// Waiting for an edge: put edge_fd() in select's exception set. On the board that is the value
// file itself (the kernel flags an edge as an exceptional condition until the value is read); on
// the simulated board it is a descriptor the simulation flags when the value file changes.

#include "device.h"
#include "media_ports.h"

// Where the sysfs GPIO lines live on the board.
extern const char* const gpio_path;

class gpio_dev : public device {
public:
    enum direction { input = 0, output = 1 };

    // Exports the line, writes its direction when `write_direction` is true, and opens its value
    // file. Throws std::system_error naming the file that could not be opened.
    gpio_dev(int number, direction dir, bool write_direction);
    ~gpio_dev() override;

    int number() const { return m_number; }
    int edge_fd() const { return m_edge_fd >= 0 ? m_edge_fd : m_fd; }

protected:
    // Clears a pending edge of the simulated board (the board clears it by the read itself).
    void edge_seen();

    int m_number;
    int m_edge_fd = -1;  // simulated board only
};

class gpio_in_dev : public gpio_dev {
public:
    gpio_in_dev(int number, bool write_direction) : gpio_dev(number, input, write_direction) {}
    // True when the line reads 0 (active). Throws std::system_error "GPIO seek error" or
    // "GPIO read error".
    bool get();
};

class gpio_out_dev : public gpio_dev, public orva::output_line_port {
public:
    gpio_out_dev(int number, bool write_direction) : gpio_dev(number, output, write_direction) {}
    // Writes "1" or "0": 0, the error number of a failed seek, or the negated error number of a
    // failed write (the recorded value then stays).
    int set(bool on) override;
    bool get() const override { return m_value; }

private:
    bool m_value = false;
};
