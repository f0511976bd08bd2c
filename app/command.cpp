#include "command.h"

#include <array>

command::command(int32_t id_, const void* payload, std::size_t size) : id(id_)
{
    if (payload && size > 0) {
        const auto* p = static_cast<const unsigned char*>(payload);
        data.assign(p, p + size);
    }
}

namespace {

constexpr command_info command_table[] = {
    {appcmd_quit, "main_loop end", 0},
    {appcmd_sip_service_status, "on_appcmd_sip_service_status", 8},
    {appcmd_sip_session_status, "on_appcmd_sip_session_status", 8},
    {appcmd_connect_sip, "on_appcmd_connect_sip", 33},
    {appcmd_disconnect_sip, "on_appcmd_disconnect_sip", 0},
    {appcmd_sip_accept, "sip_controller::accept", 0},
    {appcmd_ip_call_connect, "on_appcmd_ip_call_connect", 32},
    {appcmd_ip_call_disconnect, "IP-call disconnect", 0},
    {appcmd_ip_call_status, "on_appcmd_ip_call_status", 8},
    {appcmd_connect_ip, "on_appcmd_connect_ip", -1},
    {appcmd_disconnect, "on_appcmd_disconnect", 0},
    {appcmd_start_rtp, "on_appcmd_start_rtp", static_cast<int>(appcmd_start_rtp_data_size)},
    {appcmd_stop_rtp, "on_appcmd_stop_rtp", 0},
    {appcmd_video_connected_socket, "video_manager::set_connected_socket", 4},
    {appcmd_video_accepted_socket, "video_manager::set_accepted_socket", 4},
    {appcmd_audio_src, "on_appcmd_audio_src", 4},
    {appcmd_hp_src, "on_appcmd_hp_src", 4},
    {appcmd_change_ip_addr, "on_appcmd_change_ip_addr", 97},
    {appcmd_change_lan_stat, "on_appcmd_change_lan_stat", 1},
    {appcmd_rcv_rtp, "on_appcmd_rcv_rtp", 0},
    {appcmd_websetting_file, "on_appcmd_websetting_file", 64},
    {appcmd_remote_term, "on_appcmd_remote_term", 36},
    {appcmd_remote_command, "remote_cmd_handler::recv_remote_command", -1},
    {appcmd_send_status, "send_status_command", 0},
    {appcmd_send_setting, "send_setting", 0},
    {appcmd_send_mode, "remote_cmd_handler::send_mode_command", 0},
    {appcmd_rmtcmd_set_mode, "on_appcmd_rmtcmd_set_mode", 1},
    {appcmd_rmtcmd_rtp_stat, "on_appcmd_rmtcmd_rtp_stat", 0},
    {appcmd_rmtcmd_reconnect, "on_appcmd_rmtcmd_reconnect", 8},
    {appcmd_rmtcmd_rtp_timeout, "on_appcmd_rmtcmd_rtp_timeout", 1},
    {appcmd_error_status, "on_appcmd_error_status", 8},
    {appcmd_set_codec, "on_appcmd_set_codec", 4},
    {appcmd_set_incom, "on_appcmd_set_incom", 1},
    {appcmd_conn_by_gpio, "on_appcmd_conn_by_gpio", 0},
    {appcmd_disconn_by_gpio, "on_appcmd_disconn_by_gpio", 0},
    {appcmd_meter_udp, "on_appcmd_meter_udp", 20},
    {appcmd_local_info, "on_appcmd_local_info", 0},
};

}  // namespace

const command_info* find_command_info(int32_t id)
{
    for (const auto& row : command_table)
        if (row.id == id)
            return &row;
    return nullptr;
}

int command_queue::push(const command& c)
{
    int n;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(c);
    n = static_cast<int>(m_queue.size());
    m_cond.notify_all();
    return n;
}

command command_queue::wait_pop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return !m_queue.empty(); });
    command c = std::move(m_queue.front());
    m_queue.pop_front();
    return c;
}

int command_queue::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_queue.size());
}
