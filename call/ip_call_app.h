#pragma once
// The IP call engine as the application uses it.
//
// `ip_call_app` vets incoming calls against the unit's mode, codec and contact settings and turns
// every change of call state into command 9 for the controller, which then sends START, starts
// or stops the media and updates the panel and the remote client. Both hooks run on whichever
// thread changed the state, with the engine's mutex held: they read the configuration and post,
// and never wait for the controller.

#include <cstdint>
#include <memory>
#include <string>

#include "app_config.h"
#include "app_controller.h"
#include "ip_call.h"

// What the binding needs of the controller: a place to post commands, the configuration, and
// whether the codec manager knows a codec.
class ip_call_host : public command_sink {
public:
    virtual app_config& config() = 0;
    virtual bool is_valid_codec(int codec) = 0;
};

class ip_call_app : public ip_call {
public:
    ip_call_app(ip_call_host& host, const ipc_connect_data& own, uint16_t port, const std::string& local_addr,
                const std::string& contact_addr);
    ip_call_app(ip_call_host& host, const ipc_connect_data& own, uint16_t port, const std::string& local_addr,
                const std::string& contact_addr, std::unique_ptr<ipc_transport> transport);

    // The unit's own connection data as the configuration gives it (media address left empty:
    // the engine fills in the contact or local address).
    static ipc_connect_data connect_data_from_config(const app_config& config);
    // The contact count this unit carries when the control link is on: 4 or 2.
    static int own_contact_count(const app_config& config);

protected:
    int on_incoming(const ipc_msg_call& call) override;
    void on_update_status(status_e old_status, status_e new_status, int result) override;

private:
    ip_call_host& m_host;
};

// Installs the configuration's connection data and port in `engine`. 0 when there is no engine,
// else 1; a configuration that cannot be read is logged ("can't set up IP_call: %s") and the
// engine keeps its previous data.
int setup_ip_call(ip_call* engine, const app_config& config);
