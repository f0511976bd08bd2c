#pragma once
// What the IP call engine needs of the system: one UDP socket and two timers.
//
// `ip_call` runs its protocol against this interface so that the same engine serves the unit
// (`ipc_udp_transport`: a UDP socket and two timerfd descriptors) and tests, which drive the
// timers by hand and see every datagram without waiting whole seconds.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "timerfd.h"

enum class ipc_timer {
    retry,          // resends the last request every second
    start_command,  // the caller's wait for START after an accepted CALL-RSP
};

// What a wait found ready (bits), or a negative errno.
enum ipc_ready : int {
    ipc_ready_socket = 1,
    ipc_ready_retry = 2,
    ipc_ready_start_command = 4,
};

class ipc_transport {
public:
    virtual ~ipc_transport() = default;

    // Opens the socket bound at `port` (closing one that is open). False when that fails.
    virtual bool open(uint16_t port) = 0;
    // True when a socket is open.
    virtual bool is_open() const = 0;

    // Sends `text` as one datagram. 0 when the whole text went out, else a negative errno.
    virtual int send_to(std::string_view text, const sockaddr_in& to) = 0;
    // Receives one datagram (at most `size` bytes). Its length, or a negative errno.
    virtual int receive(char* buffer, std::size_t size, sockaddr_in& from) = 0;

    // Periodic timer: first expiry and interval `ms`. 0 or a negative errno.
    virtual int start(ipc_timer t, int ms) = 0;
    virtual void stop(ipc_timer t) = 0;
    // Clears a pending expiry (the count is read and discarded). False when none was pending
    // any more (the timer was re-armed or stopped since the wait saw it).
    virtual bool acknowledge(ipc_timer t) = 0;

    // Waits up to `ms` for the socket or a timer: a mask of ipc_ready bits, 0 on time-out, or a
    // negative errno.
    virtual int wait(int ms) = 0;
};

// The unit's transport: an IPv4 UDP socket bound at the IP-call port and two monotonic timers.
class ipc_udp_transport : public ipc_transport {
public:
    // `bind_addr` is the local address to bind (INADDR_ANY on the unit; a single address lets
    // several engines share a port number on one host). Throws std::system_error when a timer
    // cannot be created.
    explicit ipc_udp_transport(in_addr_t bind_addr = htonl(INADDR_ANY));
    ~ipc_udp_transport() override;

    bool open(uint16_t port) override;
    bool is_open() const override { return m_fd >= 0; }
    int send_to(std::string_view text, const sockaddr_in& to) override;
    int receive(char* buffer, std::size_t size, sockaddr_in& from) override;
    int start(ipc_timer t, int ms) override;
    void stop(ipc_timer t) override;
    bool acknowledge(ipc_timer t) override;
    int wait(int ms) override;

    // The port the socket is bound at (useful after binding port 0).
    uint16_t bound_port() const;

private:
    timerfd& timer(ipc_timer t) { return t == ipc_timer::retry ? m_retry : m_start_command; }
    void close_socket();

    in_addr_t m_bind_addr;
    int m_fd = -1;
    timerfd m_retry;
    timerfd m_start_command;
};
