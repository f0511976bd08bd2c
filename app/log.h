#pragma once
// The unit's log stream.
//
// Every line goes to standard error, which the start script pipes into `orvalogging`. Ordinary
// lines carry a time prefix and a level letter; three control lines steer the log writer. Each
// line leaves in one write, so lines from different threads never mix within a line (a pipe
// keeps writes up to PIPE_BUF whole, and a line is at most 1024 bytes).

#include <atomic>
#include <ctime>

class log_system {
public:
    enum level_e { level_error = 0, level_warn = 1, level_info = 2, level_debug = 3 };

    // Size of one line, prefix and terminating zero included; longer messages are cut.
    static constexpr int line_size = 1024;
    // "yy/mm/dd hh:mm:ss.mmm L "
    static constexpr int prefix_size = 24;

    // Clock used for the time prefix (CLOCK_REALTIME_COARSE unless replaced by a test).
    using clock_fn = timespec (*)();

    log_system() = default;

    // Threshold: a message is written when its level is at most this (negative: nothing).
    void set_level(int level) { m_level.store(level, std::memory_order_relaxed); }
    int level() const { return m_level.load(std::memory_order_relaxed); }

    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void info(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes one line at `level` (0 E, 1 W, 2 I, 3 D) from a va_list.
    void vlog(int level, const char* format, va_list args) __attribute__((format(printf, 3, 0)));

    // Control lines for the log writer, written whatever the threshold.
    void enable_rotation(bool on);
    void notify_reload();

    // Logs the version banner at level I.
    void show_version();

    // Formats the line that `vlog` would write (without the newline) into `out`; returns its
    // length, or 0 when nothing would be written. CR and LF in the message become blanks so
    // that no message can pose as a control line.
    int format_line(char (&out)[line_size], int level, const char* format, va_list args) const
        __attribute__((format(printf, 4, 0)));

    // For tests: the descriptor lines go to (default 2) and the clock of the prefix.
    void set_output_fd(int fd) { m_fd.store(fd, std::memory_order_relaxed); }
    void set_clock(clock_fn clock) { m_clock.store(clock ? clock : &coarse_realtime); }

    static timespec coarse_realtime();

private:
    void write_line(const char* text, int length) const;

    std::atomic<int> m_level{level_debug};
    std::atomic<int> m_fd{2};
    std::atomic<clock_fn> m_clock{&coarse_realtime};
};

// The process-wide logger, built before `main` runs with level 3.
extern log_system log_s;
