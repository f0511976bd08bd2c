#pragma once
// Redials the last destination when an outgoing call fails or drops.
//
// No timer and no thread: the controller arms it when it places a call and asks for one more
// attempt each time a call ends unconnected or drops. An attempt is a dial command posted to the
// controller (4 for SIP, 7 for an IP call), which takes the same road as a dial from the panel.

#include <cstdint>
#include <string>

#include "app_controller.h"

class reconnector {
public:
    // Not armed; the count starts at the maximum, so `retry` does nothing until `enable`.
    reconnector(command_sink& controller, bool sip_mode, int32_t max_times);

    // Arms with `destination` (a number in SIP mode, a dotted IPv4 address otherwise).
    void enable(const std::string& destination, bool sip_mode);
    void disable();
    void reset();

    // Posts one more dial command. False when not armed, or when the attempts are used up (which
    // also disarms).
    bool retry();

    bool armed() const { return m_armed; }
    bool sip_mode() const { return m_sip_mode; }
    int32_t count() const { return m_count; }
    const std::string& destination() const { return m_destination; }
    int32_t max_times() const { return m_max; }
    // `reconnect.times` changed: takes effect from the next attempt.
    void set_max_times(int32_t n) { m_max = n; }

private:
    command_sink& m_controller;
    bool m_armed = false;
    bool m_sip_mode;
    std::string m_destination;
    int32_t m_max;
    int32_t m_count;
};
