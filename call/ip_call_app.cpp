#include "ip_call_app.h"

#include <exception>

#include "log.h"

ip_call_app::ip_call_app(ip_call_host& host, const ipc_connect_data& own, uint16_t port,
                         const std::string& local_addr, const std::string& contact_addr)
    : ip_call(own, port, local_addr, contact_addr), m_host(host)
{
}

ip_call_app::ip_call_app(ip_call_host& host, const ipc_connect_data& own, uint16_t port,
                         const std::string& local_addr, const std::string& contact_addr,
                         std::unique_ptr<ipc_transport> transport)
    : ip_call(own, port, local_addr, contact_addr, std::move(transport)), m_host(host)
{
}

int ip_call_app::own_contact_count(const app_config& config)
{
    return config.get<int>("control.use_all_gpio") != 0 ? 4 : 2;
}

ipc_connect_data ip_call_app::connect_data_from_config(const app_config& config)
{
    ipc_connect_data d{};
    d.audio_port = config.get<unsigned short>("audio.port");
    d.video_port = config.get<unsigned short>("video.port");
    d.control_port = config.get<unsigned short>("control.port");
    d.incom_port = config.get<unsigned short>("incom.port");
    const int video = config.get<int>("video.enable");
    d.video_mode = video;
    d.ctrl_enable = config.get<int>("control.enable") != 0;
    d.incom_enable = config.get<int>("incom.enable") != 0;
    // The receiving side opens the video connection; the caller opens the control connection
    // (the callee's answer inverts it).
    d.v_tcp_active = video == 2;
    d.c_tcp_active = true;
    d.gpio = d.ctrl_enable ? own_contact_count(config) : 0;
    d.codec = config.get<int>("audio.codec_id");
    return d;
}

int ip_call_app::on_incoming(const ipc_msg_call& call)
{
    if (const int code = ip_call::on_incoming(call); code != 0) {
        return code;
    }
    app_config& config = m_host.config();
    if (config.get<int>("application.mode") != 1) {
        return IPC_RESULT_NGN_MODE;
    }
    if (!m_host.is_valid_codec(call.data.codec)) {
        return IPC_RESULT_NOT_SUPPORTED;
    }
    if (call.data.gpio != 0 && call.data.gpio != own_contact_count(config)) {
        return IPC_RESULT_INVALID_SETTING;
    }
    return IPC_RESULT_OK;
}

void ip_call_app::on_update_status(status_e old_status, status_e new_status, int result)
{
    if (old_status == new_status) {
        return;
    }
    const appcmd_state_result payload{new_status, result};
    m_host.post(command(appcmd_ip_call_status, &payload, sizeof payload));
}

int setup_ip_call(ip_call* engine, const app_config& config)
{
    if (!engine) {
        return 0;
    }
    try {
        const ipc_connect_data d = ip_call_app::connect_data_from_config(config);
        engine->port(static_cast<uint16_t>(config.get<int>("ip_call.port")));
        engine->default_connect_data(d);
    } catch (const std::exception& e) {
        log_s.error("can't set up IP_call: %s", e.what());
    }
    return 1;
}
