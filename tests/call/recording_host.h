#pragma once
// A stand-in for the controller as the IP call binding and the reconnector see it: it keeps
// every posted command and answers from its own configuration store and codec list.

#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "ip_call_app.h"

class recording_host : public ip_call_host {
public:
    recording_host() { cfg.set("application.mode", 1); }

    void post(const command& c) override
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(c);
    }
    app_config& config() override { return cfg; }
    bool is_valid_codec(int codec) override { return codecs.count(codec) != 0; }

    std::vector<command> posted() const
    {
        std::lock_guard lock(m_mutex);
        return m_posted;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_posted.clear();
    }
    // The {state, result} pairs of the commands 9 posted so far.
    std::vector<std::pair<int, int>> states() const
    {
        std::vector<std::pair<int, int>> out;
        for (const auto& c : posted()) {
            if (c.id == appcmd_ip_call_status && c.data.size() == sizeof(appcmd_state_result)) {
                appcmd_state_result r;
                std::memcpy(&r, c.data.data(), sizeof r);
                out.emplace_back(r.state, r.result);
            }
        }
        return out;
    }

    app_config cfg;
    std::set<int> codecs = {0, 96, 97, 99, 100};

private:
    mutable std::mutex m_mutex;
    std::vector<command> m_posted;
};
