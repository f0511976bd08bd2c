#pragma once
// Watches the LAN interface once a second and posts command 22 when its link comes up (with the
// address) or goes down.

#include "app_controller.h"
#include "thread_function.h"

#include <string>

class watch_thr_f : public thread_function {
public:
    // Throws std::system_error when the ioctl socket cannot be made.
    watch_thr_f(const char* interface, command_sink& controller);
    ~watch_thr_f() override;
    void main_loop() override;

    // Up with its IPv4 address (network order) when the interface is up and has an address.
    bool link_up(uint32_t& address) const;

private:
    command_sink& m_controller;
    std::string m_interface;
    int m_socket = -1;
    bool m_up = false;
};
