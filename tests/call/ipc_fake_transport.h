#pragma once
// A transport for driving `ip_call` by hand: it keeps what the engine sends and the state of its
// two timers, and the test fires the timers itself.

#include <arpa/inet.h>

#include <cerrno>
#include <deque>
#include <memory>
#include <string>

#include "ipc_parser.h"
#include "ipc_transport.h"

struct fake_datagram {
    std::string text;
    sockaddr_in to{};

    std::unique_ptr<ipc_message> msg() const { return ipc_parser::parse(text); }
    std::string to_addr() const
    {
        char b[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &to.sin_addr, b, sizeof b);
        return b;
    }
    uint16_t to_port() const { return ntohs(to.sin_port); }
};

class fake_transport : public ipc_transport {
public:
    bool open(uint16_t port) override
    {
        if (refuse_port == port) {
            errno = EADDRINUSE;
            return false;
        }
        bound = port;
        return true;
    }
    bool is_open() const override { return bound >= 0; }
    int send_to(std::string_view text, const sockaddr_in& to) override
    {
        if (send_error != 0) {
            return -send_error;
        }
        sent.push_back({std::string(text), to});
        return 0;
    }
    int receive(char*, std::size_t, sockaddr_in&) override { return -EAGAIN; }
    int start(ipc_timer t, int ms) override
    {
        (t == ipc_timer::retry ? retry_ms : start_ms) = ms;
        return 0;
    }
    void stop(ipc_timer t) override { (t == ipc_timer::retry ? retry_ms : start_ms) = 0; }
    bool acknowledge(ipc_timer) override { return true; }
    int wait(int) override { return 0; }

    // The oldest datagram not yet taken, removed; an empty one when none is left.
    fake_datagram take()
    {
        if (sent.empty()) {
            return {};
        }
        fake_datagram d = std::move(sent.front());
        sent.pop_front();
        return d;
    }

    std::deque<fake_datagram> sent;
    int send_error = 0;       // non-zero: every send fails with this errno
    int retry_ms = 0;         // armed interval, 0 = stopped
    int start_ms = 0;
    int bound = -1;
    int refuse_port = -1;     // open() of this port fails
};
