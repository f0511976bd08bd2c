#pragma once
// Small helpers shared by several subsystems.

#include <netinet/in.h>
#include <string>
#include <utility>

// Throws std::system_error with the current errno; the text is function + ": " + call.
[[noreturn]] void throw_system_error_fx(const char* function, const char* call);

// Peak levels of interleaved two-channel 16-bit samples over `frames` frames: {first, second}
// channel; -32768 counts as 32768.
std::pair<int, int> max_level(const short* samples, int frames);

// Copies `from` to `to` (created or truncated). 0, or the errno of the failing call.
int copy_file(const char* to, const char* from);

// Baud rate <-> termios speed code (B0 / 0 for rates or codes not in the table).
unsigned b_rate_to_termios_speed(int baud);
int termios_speed_to_b_rate(unsigned code);
// The rates the serial port settings accept: 2400 to 115200.
bool is_valid_uart_speed(int baud);

// "a.b.c.d" from the four bytes of the address in network order.
std::string in_addr_to_str(const in_addr* address);
// "ERR = n", the panel's error line.
std::string errno_to_disp_text(int n);
// 10^(db/20).
float gain_db_to_coef(float db);
// True for four decimal numbers below 256 separated by points (trailing text ignored).
bool ip_check(const std::string& text);
// The text without blanks, tabs, CR and LF at either end.
std::string trim(std::string text);
// True about once in 1001 calls (fault-injection switches); thread-safe, fixed seed.
bool random_test();
