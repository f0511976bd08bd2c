#include "util.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <system_error>
#include <termios.h>
#include <unistd.h>

void throw_system_error_fx(const char* function, const char* call)
{
    const int e = errno;
    throw std::system_error(e, std::system_category(), std::string(function) + ": " + call);
}

std::pair<int, int> max_level(const short* samples, int frames)
{
    int left = 0;
    int right = 0;
    for (int i = 0; i < frames; ++i) {
        const int l = std::abs(static_cast<int>(samples[2 * i]));
        const int r = std::abs(static_cast<int>(samples[2 * i + 1]));
        if (l > left)
            left = l;
        if (r > right)
            right = r;
    }
    return {left, right};
}

int copy_file(const char* to, const char* from)
{
    const int in = ::open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    const int out = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return e;
    }
    char block[256];
    int result = 0;
    for (;;) {
        const ssize_t n = ::read(in, block, sizeof block);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = errno;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, block + done, n - done);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                result = errno;
                break;
            }
            done += w;
        }
        if (result)
            break;
    }
    ::close(in);
    if (::close(out) != 0 && result == 0)
        result = errno;
    return result;
}

namespace {

struct speed_row {
    int baud;
    unsigned code;
};

constexpr speed_row speed_table[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},   {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
};

}  // namespace

unsigned b_rate_to_termios_speed(int baud)
{
    for (const auto& row : speed_table)
        if (row.baud == baud)
            return row.code;
    return B0;
}

int termios_speed_to_b_rate(unsigned code)
{
    for (const auto& row : speed_table)
        if (row.code == code)
            return row.baud;
    return 0;
}

bool is_valid_uart_speed(int baud)
{
    switch (baud) {
    case 2400: case 4800: case 9600: case 19200: case 38400: case 57600: case 115200:
        return true;
    default:
        return false;
    }
}

std::string in_addr_to_str(const in_addr* address)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&address->s_addr);
    char text[16];
    snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

std::string errno_to_disp_text(int n)
{
    return "ERR = " + std::to_string(n);
}

float gain_db_to_coef(float db)
{
    return static_cast<float>(std::pow(10.0, static_cast<double>(db) / 20.0));
}

bool ip_check(const std::string& text)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return false;
    return a < 256 && b < 256 && c < 256 && d < 256;
}

std::string trim(std::string text)
{
    static const char blanks[] = " \t\r\n";
    const auto last = text.find_last_not_of(blanks);
    if (last == std::string::npos)
        return {};
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(blanks));
    return text;
}

bool random_test()
{
    // Shared by the media threads; the generator is not thread-safe on its own.
    static std::mutex mutex;
    static std::mt19937 generator;
    static std::uniform_int_distribution<int> distribution(0, 1000);
    std::lock_guard<std::mutex> lock(mutex);
    return distribution(generator) == 0;
}
