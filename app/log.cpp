#include "log.h"

#include "version.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

log_system log_s;

namespace {

constexpr char level_letter(int level)
{
    switch (level) {
    case log_system::level_error: return 'E';
    case log_system::level_warn: return 'W';
    case log_system::level_info: return 'I';
    case log_system::level_debug: return 'D';
    default: return ' ';
    }
}

}  // namespace

timespec log_system::coarse_realtime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

int log_system::format_line(char (&out)[line_size], int level, const char* format, va_list args) const
{
    const timespec now = m_clock.load()();
    tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    int n = snprintf(out, line_size, "%02d/%02d/%02d %02d:%02d:%02d.%03ld %c ", local.tm_year + 1900 - 2000,
                     local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                     static_cast<long>(now.tv_nsec / 1000000), level_letter(level));
    if (n <= 0 || n >= line_size)
        return 0;
    // Reserve one byte for the newline that goes out with the line.
    const int room = line_size - 1 - n;
    const int m = vsnprintf(out + n, room, format, args);
    if (m <= 0)
        return 0;
    const int length = n + (m < room ? m : room - 1);
    for (int i = n; i < length; ++i) {
        if (out[i] == '\n' || out[i] == '\r')
            out[i] = ' ';
    }
    return length;
}

void log_system::write_line(const char* text, int length) const
{
    const int fd = m_fd.load(std::memory_order_relaxed);
    while (length > 0) {
        const ssize_t w = ::write(fd, text, length);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        text += w;
        length -= static_cast<int>(w);
    }
}

void log_system::vlog(int level, const char* format, va_list args)
{
    if (level > m_level.load(std::memory_order_relaxed))
        return;
    char line[line_size];
    const int length = format_line(line, level, format, args);
    if (length <= 0)
        return;
    line[length] = '\n';
    write_line(line, length + 1);
}

#define ORVA_LOG_AT(level_value)          \
    va_list args;                         \
    va_start(args, format);               \
    vlog(level_value, format, args);      \
    va_end(args)

void log_system::error(const char* format, ...) { ORVA_LOG_AT(level_error); }
void log_system::warn(const char* format, ...) { ORVA_LOG_AT(level_warn); }
void log_system::info(const char* format, ...) { ORVA_LOG_AT(level_info); }
void log_system::debug(const char* format, ...) { ORVA_LOG_AT(level_debug); }

#undef ORVA_LOG_AT

void log_system::enable_rotation(bool on)
{
    static const char enable[] = "ENABLE ROTATION\n";
    static const char disable[] = "DISABLE ROTATION\n";
    if (on)
        write_line(enable, sizeof enable - 1);
    else
        write_line(disable, sizeof disable - 1);
}

void log_system::notify_reload()
{
    static const char reload[] = "RELOAD CONFIG\n";
    write_line(reload, sizeof reload - 1);
}

void log_system::show_version()
{
    info("ORVA-700 Version %s %s: %s %s", firm_version_str, build_date, build_time, config);
}
