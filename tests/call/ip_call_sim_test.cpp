// Thousands of calls between two real engines over a simulated network that loses, duplicates
// and reorders datagrams, in virtual time: the engines' timers are driven by the simulation, so
// every resend and time-out path runs many times in well under a second, and each seed gives the
// same run. A small stand-in for each controller sends START on INCOMING, and watches media as
// the unit does: a side that is connected while its peer is not hears no media and hangs up after
// the RTP time-out.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <ostream>
#include <queue>
#include <random>
#include <vector>

#include "ip_call_app.h"
#include "log.h"
#include "reconnector.h"
#include "recording_host.h"

namespace {

constexpr double k_never = std::numeric_limits<double>::infinity();
constexpr double k_rtp_timeout = 2.0;

struct impairment {
    const char* name;
    double loss;
    double dup;
    double reorder;
    unsigned seed;
};

// Test names show the network by its name only.
void PrintTo(const impairment& i, std::ostream* os)
{
    *os << i.name;
}

class sim_net;

class sim_transport : public ipc_transport {
public:
    sim_transport(sim_net& net, int unit) : m_net(net), m_unit(unit) {}
    bool open(uint16_t) override { return true; }
    bool is_open() const override { return true; }
    int send_to(std::string_view text, const sockaddr_in& to) override;
    int receive(char*, std::size_t, sockaddr_in&) override { return -EAGAIN; }
    int start(ipc_timer t, int ms) override;
    void stop(ipc_timer t) override { next[index(t)] = k_never; }
    bool acknowledge(ipc_timer) override { return true; }
    int wait(int) override { return 0; }

    static int index(ipc_timer t) { return t == ipc_timer::retry ? 0 : 1; }
    double next[2] = {k_never, k_never};
    double period[2] = {0, 0};

private:
    sim_net& m_net;
    int m_unit;
};

struct datagram {
    double due;
    uint64_t order;
    int to_unit;
    std::string text;
    sockaddr_in from;
    bool operator>(const datagram& o) const { return due != o.due ? due > o.due : order > o.order; }
};

// One unit: the engine and what its controller knows.
struct sim_unit {
    recording_host host;
    sim_transport* net = nullptr;
    std::unique_ptr<ip_call_app> engine;
    std::string address;
    int state = ip_call::IDLE;
    double since = 0;  // when `state` began
    std::size_t handled = 0;
};

class sim_net {
public:
    explicit sim_net(const impairment& imp) : m_imp(imp), m_rng(imp.seed)
    {
        for (int i = 0; i < 2; ++i) {
            auto& u = m_units[i];
            u.address = i == 0 ? "192.0.2.1" : "192.0.2.2";
            auto t = std::make_unique<sim_transport>(*this, i);
            u.net = t.get();
            ipc_connect_data cleared{};
            cleared.gpio = 2;
            u.engine = std::make_unique<ip_call_app>(u.host, cleared, 23500, u.address, "", std::move(t));
            setup_ip_call(u.engine.get(), u.host.cfg);
        }
    }

    double now = 0;
    sim_unit& unit(int i) { return m_units[i]; }

    void send(int from_unit, std::string_view text, const sockaddr_in& to)
    {
        char a[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &to.sin_addr, a, sizeof a);
        const int to_unit = m_units[0].address == a ? 0 : m_units[1].address == a ? 1 : -1;
        if (to_unit < 0 || chance(m_imp.loss)) {
            return;
        }
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_port = htons(23500);
        inet_pton(AF_INET, m_units[from_unit].address.c_str(), &from.sin_addr);
        const int copies = chance(m_imp.dup) ? 2 : 1;
        for (int c = 0; c < copies; ++c) {
            double delay = 0.002;
            if (chance(m_imp.reorder)) {
                delay += std::uniform_real_distribution<double>(0, 0.15)(m_rng);
            }
            m_wire.push({now + delay, m_order++, to_unit, std::string(text), from});
        }
    }

    // Runs until `until` (virtual seconds) or until `done` holds.
    template <typename Done>
    bool run(double until, Done done)
    {
        while (!done()) {
            double next = m_wire.empty() ? k_never : m_wire.top().due;
            for (auto& u : m_units) {
                next = std::min({next, u.net->next[0], u.net->next[1]});
            }
            next = std::min(next, media_deadline());
            if (next > until) {
                now = until;
                return done();
            }
            now = next;
            step();
            check_invariants();
        }
        return true;
    }

    void user(int i, const std::string& action)
    {
        auto& e = *m_units[i].engine;
        if (action == "call") {
            if (e.call(m_units[1 - i].address) == 0 && i == 0) {
                m_reconnect.enable(m_units[1].address, false);
            }
        } else {
            m_reconnecting = false;
            e.disconnect();
        }
        drain();
    }

    int media_timeouts = 0;
    int bad_connects = 0;
    int redials = 0;
    double worst_half_connected = 0;
    double worst_transient = 0;

private:
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }

    // When the next side hears no media long enough to hang up.
    double media_deadline() const
    {
        double t = k_never;
        for (int i = 0; i < 2; ++i) {
            const auto& me = m_units[i];
            const auto& peer = m_units[1 - i];
            if (me.state == ip_call::CONNECT && peer.state != ip_call::CONNECT) {
                t = std::min(t, std::max(me.since, peer.since) + k_rtp_timeout);
            }
        }
        return t;
    }

    void step()
    {
        if (!m_wire.empty() && m_wire.top().due <= now) {
            const datagram d = m_wire.top();
            m_wire.pop();
            m_units[d.to_unit].engine->receive_datagram(d.text, d.from);
        }
        for (auto& u : m_units) {
            for (int t = 0; t < 2; ++t) {
                if (u.net->next[t] <= now) {
                    u.net->next[t] += u.net->period[t];
                    if (t == 0) {
                        u.engine->retry_timer_expired();
                    } else {
                        u.engine->start_timer_expired();
                    }
                }
            }
        }
        drain();
        for (int i = 0; i < 2; ++i) {
            auto& me = m_units[i];
            if (me.state == ip_call::CONNECT && m_units[1 - i].state != ip_call::CONNECT &&
                now >= std::max(me.since, m_units[1 - i].since) + k_rtp_timeout) {
                ++media_timeouts;
                m_reconnecting = m_reconnecting || i == 0;
                me.engine->disconnect();
                drain();
            }
        }
    }

    // The controllers take the state reports the engines posted.
    void drain()
    {
        bool more = true;
        while (more) {
            more = false;
            for (int i = 0; i < 2; ++i) {
                auto& u = m_units[i];
                const auto states = u.host.states();
                for (; u.handled < states.size(); ++u.handled) {
                    more = true;
                    u.state = states[u.handled].first;
                    u.since = now;
                    if (u.state == ip_call::CONNECT) {
                        // Media start from the agreed data: it must be the peer's.
                        ipc_connect_data local, remote;
                        u.engine->call_connect_data(local, remote);
                        if (m_units[1 - i].address != remote.media_addr || remote.audio_port == 0) {
                            ++bad_connects;
                        }
                    }
                    if (u.state == ip_call::INCOMING) {
                        u.engine->send_start(u.engine->peer());
                    } else if (u.state == ip_call::CONNECT && i == 0) {
                        m_reconnecting = false;
                    } else if (u.state == ip_call::IDLE && i == 0 && m_reconnecting) {
                        if (m_reconnect.retry()) {
                            ++redials;
                            u.engine->call(m_units[1].address);
                        } else {
                            m_reconnecting = false;
                        }
                    }
                }
            }
        }
    }

    void check_invariants()
    {
        const auto& a = m_units[0];
        const auto& b = m_units[1];
        const bool half = (a.state == ip_call::CONNECT && b.state == ip_call::IDLE) ||
                          (b.state == ip_call::CONNECT && a.state == ip_call::IDLE);
        if (half) {
            worst_half_connected = std::max(worst_half_connected, now - std::max(a.since, b.since));
        }
        for (const auto& u : m_units) {
            if (u.state != ip_call::IDLE && u.state != ip_call::CONNECT) {
                worst_transient = std::max(worst_transient, now - u.since);
            }
        }
    }

    impairment m_imp;
    std::mt19937 m_rng;
    sim_unit m_units[2];
    std::priority_queue<datagram, std::vector<datagram>, std::greater<>> m_wire;
    uint64_t m_order = 0;
    reconnector m_reconnect{m_units[0].host, false, 5};
    bool m_reconnecting = false;
};

int sim_transport::send_to(std::string_view text, const sockaddr_in& to)
{
    m_net.send(m_unit, text, to);
    return 0;
}

int sim_transport::start(ipc_timer t, int ms)
{
    next[index(t)] = m_net.now + ms / 1000.0;
    period[index(t)] = ms / 1000.0;
    return 0;
}

class quiet_log : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_level = log_s.level();
        log_s.set_level(getenv("SIM_LOG") ? 3 : -1);  // thousands of calls
    }
    void TearDown() override { log_s.set_level(m_level); }

private:
    int m_level = 3;
};

// One run per network, each its own test entry so that they run side by side.
class IpCallSimulatedNetwork : public quiet_log, public ::testing::WithParamInterface<impairment> {};

const impairment k_networks[] = {
    {"lossy", 0.3, 0.1, 0.2, 1},          // 30 % loss, 10 % duplicates, reordering
    {"lossy_other_seed", 0.3, 0.1, 0.2, 2},
    {"half_lost", 0.5, 0.0, 0.1, 3},
    {"doubled_and_reordered", 0.0, 0.5, 0.5, 4},
    {"clean", 0.0, 0.0, 0.0, 5},
};

INSTANTIATE_TEST_SUITE_P(Networks, IpCallSimulatedNetwork, ::testing::ValuesIn(k_networks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(IpCallSimulatedNetwork, CallsNeverLeaveTheUnitsApart)
{
    const impairment& c = GetParam();
    {
        sim_net net(c);
        std::mt19937 rng(c.seed);
        auto& a = net.unit(0);
        auto& b = net.unit(1);
        auto both = [&](int s) { return [&a, &b, s] { return a.state == s && b.state == s; }; };
        int connected = 0;
        const int calls = 250;
        for (int i = 0; i < calls; ++i) {
            net.user(0, "call");
            if (net.run(net.now + 30, both(ip_call::CONNECT))) {
                ++connected;
                net.run(net.now + std::uniform_real_distribution<double>(0.1, 3)(rng), [] { return false; });
            }
            // A hang-up the other side does not hear looks like a dropped call to it: its media
            // stop, it hangs up and the caller redials. Hang up again then.
            bool idle = false;
            for (int tries = 0; tries < 5 && !idle; ++tries) {
                net.user(rng() % 2, "disconnect");
                net.run(net.now + 30, [&] { return both(ip_call::IDLE)() || both(ip_call::CONNECT)(); });
                idle = both(ip_call::IDLE)();
            }
            ASSERT_TRUE(idle) << c.name << ": call " << i << " left states " << a.state << "/" << b.state;
            net.run(net.now + std::uniform_real_distribution<double>(0, 0.5)(rng), [] { return false; });
        }
        EXPECT_EQ(net.bad_connects, 0) << c.name;
        EXPECT_LE(net.worst_half_connected, k_rtp_timeout + 0.01) << c.name;
        EXPECT_LE(net.worst_transient, 20.0) << c.name;
        EXPECT_GE(connected, c.loss < 0.4 ? calls * 3 / 4 : calls / 3) << c.name;
        if (c.loss == 0 && c.dup == 0) {
            EXPECT_EQ(connected, calls);
            EXPECT_EQ(net.media_timeouts, 0);
        }
        std::printf("%s: %d/%d connected, %d media time-outs, %d redials, worst half-connected %.2f s, "
                    "longest transient %.2f s\n",
                    c.name, connected, calls, net.media_timeouts, net.redials, net.worst_half_connected,
                    net.worst_transient);
    }
}

}  // namespace
