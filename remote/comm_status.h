#pragma once
// The call state as the outside sees it: the "connected" contact output (GPIO 103), the panel's
// connection LED, the remote STATUS line, the lock directory that tells the web front end a call
// is in progress, and the log writer's rotation switch. Controller's thread only.

#include "media_ports.h"

#include <functional>
#include <memory>

class key_LED;

class comm_status {
public:
    // The codes of the controller's status texts.
    enum status_e {
        INIT = 0,
        IDLE = 1,
        SIP_CALLING = 2,
        SIP_CONNECT = 3,
        SIP_DISCONNECT = 4,
        SIP_INCOMING = 5,
        SIP_OTHER = 6,
        IP_CALLING = 7,
        IP_INCOMING = 8,
        IP_CONNECT = 9,
        IP_DISCONNECT = 10,
    };

    // `send_status` sends the remote STATUS line unforced; `leds` may be null; `output` is the
    // "connected" line (GPIO 103, may be null), driven only while `drive_output` holds.
    comm_status(std::function<void()> send_status, key_LED* leds, std::unique_ptr<orva::output_line_port> output,
                bool drive_output);

    void update(status_e s);
    void update(int s) { update(static_cast<status_e>(s)); }
    // Disabling also drives the output low at once.
    void enable_gpio(bool on);

    status_e status() const { return m_status; }
    static bool connected(int s) { return s == SIP_CONNECT || s == IP_CONNECT; }
    // The lock directory's path under the unit root.
    static std::string lock_dir();

private:
    status_e m_status = IDLE;
    std::function<void()> m_send_status;
    key_LED* m_leds;
    std::unique_ptr<orva::output_line_port> m_output;
    bool m_drive;
};
