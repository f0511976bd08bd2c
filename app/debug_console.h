#pragma once
// Bench console on standard input and output: each line typed becomes a command posted to the
// controller, so the console never touches the controller's state.
//
// Input is awaited with a short time-out, so that `end` (the controller's rebuild) takes
// effect within a fraction of a second; at end of input the console stops.

#include "thread_function.h"

#include <cstdio>
#include <string>
#include <vector>

class command_sink;

class debug_console_f : public thread_function {
public:
    struct entry {
        const char* word;
        int id;
    };
    // The console's words and their ids, searched in order.
    static const std::vector<entry> debcmd_table;

    // Reads lines from `in_fd`, writes the prompt and texts to `out`.
    explicit debug_console_f(command_sink& sink, int in_fd = 0, FILE* out = stdout);

    void main_loop() override;

    // Carries out one input line (without its newline).
    void handle_line(const std::string& line);

private:
    // Reads what is available within the time-out; true when a whole line is in `line`.
    bool read_line(std::string& line);

    command_sink& m_sink;
    int m_in;
    FILE* m_out;
    std::string m_pending;
    bool m_prompted = false;
};
