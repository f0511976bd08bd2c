#pragma once
// The thread that ticks the key/LED board every 100 ms and tells the controller when the
// board enters or leaves error mode (command 35).

#include "thread_function.h"

class key_LED;
class command_sink;

class key_led_thr_f : public thread_function {
public:
    key_led_thr_f(key_LED& board, command_sink* controller) : m_board(board), m_controller(controller) {}

    // One tick: a frame, command 35 on an error-mode change, 100 ms of sleep, and every tenth
    // tick the one-second key.
    void main_loop() override;

private:
    key_LED& m_board;
    command_sink* m_controller;
    int m_previous = 0;
    int m_ticks = 0;
};
