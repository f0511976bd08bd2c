#include "unit_controller.h"

#include "LCD.h"
#include "SPI.h"
#include "gpio_dev.h"
#include "hp_volume.h"
#include "key_led.h"
#include "key_led_thr_f.h"
#include "log.h"
#include "network_manager.h"
#include "waitable_queue.h"
#include "watch_thr_f.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

// Text of a payload: at most `size` bytes, up to the first NUL.
std::string bounded_text(const command& c, std::size_t size)
{
    const std::size_t n = std::min(size, c.data.size());
    const char* p = reinterpret_cast<const char*>(c.data.data());
    return std::string(p, strnlen(p, n));
}

template <typename T>
bool payload(const command& c, T& out, const char* handler)
{
    if (c.data.size() != sizeof(T)) {
        log_s.warn("%s: invalid data size %zu", handler, c.data.size());
        return false;
    }
    memcpy(&out, c.data.data(), sizeof(T));
    return true;
}

// The IPv4 address of a local interface, or "" when it has none.
std::string interface_address(const std::string& name)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return "";
    ifreq r{};
    strncpy(r.ifr_name, name.c_str(), IFNAMSIZ - 1);
    r.ifr_addr.sa_family = AF_INET;
    std::string text;
    if (::ioctl(s, SIOCGIFADDR, &r) == 0) {
        char buf[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&r.ifr_addr)->sin_addr, buf, sizeof buf);
        text = buf;
    }
    ::close(s);
    return text;
}

bool valid_ipv4(const std::string& text)
{
    in_addr a{};
    return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

using member_handler = void (unit_controller::*)(const command&);

struct handler_row {
    int32_t id;
    member_handler fn;
};

void start_rtp_handler(unit_controller& u, const command& c)
{
    u.on_appcmd_start_rtp(c);
}

}  // namespace

// The IP call binding's view of the controller.
class unit_controller::ip_call_host_adapter : public ip_call_host {
public:
    explicit ip_call_host_adapter(unit_controller& u) : m_u(u) {}
    void post(const command& c) override { m_u.app_controller::post(c); }
    app_config& config() override { return m_u.config(); }
    bool is_valid_codec(int codec) override { return m_u.is_valid_codec(codec); }

private:
    unit_controller& m_u;
};

namespace {

struct wrap_start_rtp {
    static void call(unit_controller& u, const command& c) { start_rtp_handler(u, c); }
};

const handler_row handler_table[] = {
    {appcmd_connect_sip, &unit_controller::on_appcmd_connect_sip},
    {appcmd_disconnect_sip, &unit_controller::on_appcmd_disconnect_sip},
    {appcmd_ip_call_connect, &unit_controller::on_appcmd_ip_call_connect},
    {appcmd_ip_call_disconnect, &unit_controller::on_appcmd_ip_call_disconnect},
    {appcmd_ip_call_status, &unit_controller::on_appcmd_ip_call_status},
    {appcmd_disconnect, &unit_controller::on_appcmd_disconnect},
    {appcmd_stop_rtp, &unit_controller::on_appcmd_stop_rtp},
    {appcmd_audio_src, &unit_controller::on_appcmd_audio_src},
    {appcmd_hp_src, &unit_controller::on_appcmd_hp_src},
    {appcmd_change_lan_stat, &unit_controller::on_appcmd_change_lan_stat},
    {appcmd_rcv_rtp, &unit_controller::on_appcmd_rcv_rtp},
    {appcmd_remote_term, &unit_controller::on_appcmd_remote_term},
    {appcmd_remote_command, &unit_controller::on_appcmd_remote_cmd},
    {appcmd_send_status, &unit_controller::on_appcmd_rmtcmd_send_status},
    {appcmd_send_setting, &unit_controller::on_appcmd_rmtcmd_send_setting},
    {appcmd_send_mode, &unit_controller::on_appcmd_rmtcmd_send_mode},
    {appcmd_rmtcmd_set_mode, &unit_controller::on_appcmd_rmtcmd_set_mode},
    {appcmd_rmtcmd_rtp_stat, &unit_controller::on_appcmd_rmtcmd_rtp_stat},
    {appcmd_rmtcmd_reconnect, &unit_controller::on_appcmd_rmtcmd_reconnect},
    {appcmd_rmtcmd_rtp_timeout, &unit_controller::on_appcmd_rmtcmd_rtp_timeout},
    {appcmd_error_status, &unit_controller::on_appcmd_error_status},
    {appcmd_set_codec, &unit_controller::on_appcmd_set_codec},
    {appcmd_set_incom, &unit_controller::on_appcmd_set_incom},
    {appcmd_conn_by_gpio, &unit_controller::on_appcmd_conn_by_gpio},
    {appcmd_disconn_by_gpio, &unit_controller::on_appcmd_disconn_by_gpio},
    {appcmd_meter_udp, &unit_controller::on_appcmd_meter_udp},
    {appcmd_websetting_file, &unit_controller::on_appcmd_websetting_file},
    {appcmd_change_ip_addr, &unit_controller::on_appcmd_change_ip_addr},
    {appcmd_local_info, &unit_controller::on_appcmd_local_info},
    {appcmd_connect_ip, &unit_controller::on_appcmd_connect_ip},
};

std::array<member_handler, appcmd_last + 1>& member_table()
{
    static std::array<member_handler, appcmd_last + 1> table{};
    return table;
}

void trampoline(app_controller& c, const command& cmd)
{
    auto& u = static_cast<unit_controller&>(c);
    if (cmd.id == appcmd_start_rtp) {
        wrap_start_rtp::call(u, cmd);
        return;
    }
    if (member_handler fn = member_table()[cmd.id])
        (u.*fn)(cmd);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and teardown

unit_controller::unit_controller(app_config& config, bool first_start) : unit_controller(config, first_start, options{})
{
}

unit_controller::unit_controller(app_config& config, bool first_start, const options& o)
    : app_controller(config, first_start), m_options(o)
{
    m_ready = std::make_unique<gpio_out_dev>(93, true);
    m_ready->set(false);
    m_hp_volume = std::make_unique<hp_volume>("/dev/spidev0.3");
    m_hp_source_out = std::make_unique<gpio_out_dev>(87, true);
    m_input_out = std::make_unique<gpio_out_dev>(84, true);
    orva::audio_manager::ports ports;
    ports.hp_volume = m_hp_volume.get();
    ports.hp_source = m_hp_source_out.get();
    ports.input_source = m_input_out.get();
    m_audio = std::make_unique<orva::audio_manager>(this, true, "default:CARD=orvaainhp", "default:CARD=orvadin",
                                                    ports, o.devices);
    m_incom = std::make_unique<orva::audio_manager_base>(this, false, "default:CARD=orvaincom",
                                                         "default:CARD=orvaincom", o.devices);
    m_key_queue = std::make_unique<waitable_queue<key_event>>();
    if (o.panel) {
        m_spi = std::make_unique<SPI>("/dev/spidev4.0");
        m_key_led = std::make_unique<key_LED>(*m_spi, m_key_queue.get());
        m_lcd = std::make_unique<LCD>(*m_spi);
    }
    m_use_error_output = config.get<int>("control.use_all_gpio") == 0;
    m_error_out = std::make_unique<gpio_out_dev>(102, true);
    if (m_use_error_output)
        m_error_out->set(false);
    set_led(key_LED::led_err, 0);
    m_host = std::make_unique<ip_call_host_adapter>(*this);
    m_reconnector =
        std::make_unique<reconnector>(*m_host, config.get<int>("application.mode") == 0, config.get<int>("reconnect.times"));
    m_comm_status = std::make_unique<comm_status>([this] { send_status_command(false); }, m_key_led.get(),
                                                  std::make_unique<gpio_out_dev>(103, true), m_use_error_output.load());
    m_app_mode = config.get<int>("application.mode") == 0 ? mode_sip : mode_ip_call;
    try {
        construct(first_start);
    } catch (...) {
        delete_all();
        throw;
    }
}

void unit_controller::read_lan_settings()
{
    // A unit without NetworkManager (or without the wired profile) keeps its stored LAN keys:
    // that is a degraded start, not a reason to stop the unit at every boot.
    try {
        network_manager lan1("eth0");
        config().set("LAN1.ip_addr", lan1.ip_address());
        config().set("LAN1.subnet_mask", lan1.subnet_mask());
        config().set("LAN1.gw_addr", lan1.gateway_addr());
    } catch (const std::exception& e) {
        log_s.warn("app_controller: LAN1 settings kept, no network service: %s", e.what());
    }
    try {
        network_manager lan2("eth1");
        config().set("LAN2.ip_addr", lan2.ip_address());
        config().set("LAN2.subnet_mask", lan2.subnet_mask());
    } catch (const std::exception& e) {
        log_s.warn("app_controller: LAN2 settings kept, no network service: %s", e.what());
    }
    save_config_file();
}

void unit_controller::construct(bool)
{
    app_config& cfg = config();
    m_ready->set(false);
    impedance(cfg.get<int>("audio.impedance"));
    read_lan_settings();
    m_codec_manager = std::make_unique<orva::codec_manager>(cfg.get<int>("audio.frame_length_samples"));

    const std::string lan = cfg.get<std::string>("host.lan");
    std::string local = interface_address(lan.empty() ? "eth0" : lan);
    if (local.empty())
        local = cfg.get<std::string>("LAN1.ip_addr");
    m_ip_call = std::make_unique<ip_call_app>(*m_host, ip_call_app::connect_data_from_config(cfg),
                                              cfg.get<unsigned short>("ip_call.port"), local,
                                              cfg.get<std::string>("ip_call.contact_addr"));
    m_ip_call_thr = std::make_unique<ip_call_thr_f>(*m_ip_call);
    m_ip_call_thread = std::thread(std::ref(*m_ip_call_thr));

    if (m_key_led) {
        m_key_led_thr = std::make_unique<key_led_thr_f>(*m_key_led, this);
        m_key_led_thread = std::thread(std::ref(*m_key_led_thr));
    }
    m_watch = std::make_unique<watch_thr_f>(lan.c_str(), *this);
    m_watch_thread = std::thread(std::ref(*m_watch));

    int codec_id = cfg.get<int>("audio.codec_id");
    if (codec_id == 98) {
        codec_id = 96;
        cfg.set("audio.codec_id", 96);
        save_config_file();
    }
    orva::codec* programme = m_codec_manager->get(codec_id);
    if (!programme)
        throw std::runtime_error("unsupported codec");
    orva::codec* incom = m_codec_manager->get(cfg.get<int>("incom.codec_id"), true);
    const int in_delay = cfg.get<int>("audio.in_delay");
    const int out_delay = cfg.get<int>("audio.out_delay");

    m_ready->set(false);
    m_audio->restart(programme, in_delay, out_delay, m_key_led.get());
    if (incom)
        m_incom->restart(incom, in_delay, out_delay);
    for (int i = 0; i < 1000; ++i) {
        if (m_audio->startable() && (!incom || m_incom->startable())) {
            log_s.info("start waiting %d", i);
            break;
        }
        usleep(1000);
    }
    install_handlers();
    m_remote = std::make_unique<remote_cmd_handler>(
        *this, [this] { return m_app_mode.load() == mode_sip; }, m_options.remote_port);
    restore_config();
    m_ready->set(true);
}

void unit_controller::install_handlers()
{
    for (const auto& row : handler_table) {
        member_table()[row.id] = row.fn;
        set_handler(row.id, &trampoline);
    }
    set_handler(appcmd_start_rtp, &trampoline);
}

void unit_controller::delete_all()
{
    // The remote server first: nothing may ask for the status while the rest goes down.
    m_remote.reset();
    if (m_watch)
        m_watch->end();
    if (m_watch_thread.joinable())
        m_watch_thread.join();
    m_watch.reset();
    if (m_key_led_thr)
        m_key_led_thr->end();
    if (m_key_led_thread.joinable())
        m_key_led_thread.join();
    m_key_led_thr.reset();
    if (m_ip_call_thr)
        m_ip_call_thr->end();
    if (m_ip_call_thread.joinable())
        m_ip_call_thread.join();
    m_ip_call_thr.reset();
    m_ip_call.reset();
    // The engines' threads (and a running call's streams) use the codec objects: stop them all
    // before the codec manager goes.
    if (m_audio) {
        m_audio->stop_rtp();
        m_audio->stop_threads();
        m_audio->close_streams();
    }
    if (m_incom) {
        m_incom->stop_rtp();
        m_incom->stop_threads();
        m_incom->close_streams();
    }
    m_codec_manager.reset();
}

unit_controller::~unit_controller()
{
    delete_all();
    for (const auto& row : handler_table)
        set_handler(row.id, nullptr);
    set_handler(appcmd_start_rtp, nullptr);
}

std::unique_ptr<app_controller> make_unit_controller(app_config& config, bool first_start)
{
    return std::make_unique<unit_controller>(config, first_start);
}

// ---------------------------------------------------------------------------------------------
// Media listener

void unit_controller::post(int command_id, std::vector<unsigned char> data)
{
    app_controller::post(command(command_id, data.data(), data.size()));
}

void unit_controller::notify_rtp_stat(bool receiving)
{
    if (receiving) {
        app_controller::post(command(appcmd_rcv_rtp));
        if (m_remote)
            m_remote->send_rtp_timeout_command(false);
        return;
    }
    log_s.warn("app_controller: ----- detect RTP timeout, disconnect !!! ----");
    app_controller::post(command(appcmd_disconnect));
    // On the receive thread: the engine and the IP call serialise these calls themselves.
    m_audio->stop_rtp_transmission();
    if (m_ip_call)
        m_ip_call->disconnect();
    if (config().get<int>("reconnect.enable") != 0) {
        m_reconnecting.store(true);
        show_serious_error("!!ERROR:          !!", "!!RE-CONNECTING   !!");
    } else {
        show_serious_error("!!ERROR: ABNORMAL !!", "!!   DISCONNECTION!!");
    }
    if (m_remote)
        m_remote->send_rtp_timeout_command(true);
}

void unit_controller::notify_rcv_end_packet()
{
    app_controller::post(command(appcmd_disconnect));
    log_s.info("RTP: receive end packet");
}

// ---------------------------------------------------------------------------------------------
// Panel-facing state

void unit_controller::set_led(int index, unsigned char value)
{
    m_led[index].store(value);
    if (m_key_led)
        m_key_led->led[index].store(value);
}

void unit_controller::show_serious_error(const char* line1, const char* line2)
{
    std::lock_guard<std::mutex> lock(m_panel_mutex);
    m_error_line1 = line1;
    m_error_line2 = line2;
}

void unit_controller::clear_serious_error()
{
    std::lock_guard<std::mutex> lock(m_panel_mutex);
    m_error_line1.clear();
    m_error_line2.clear();
}

std::pair<std::string, std::string> unit_controller::serious_error() const
{
    std::lock_guard<std::mutex> lock(m_panel_mutex);
    return {m_error_line1, m_error_line2};
}

void unit_controller::set_status(int s)
{
    // The lamp first: the STATUS line that the update sends reports it.
    set_led(key_LED::led_con, comm_status::connected(s) ? key_LED::led_bit[key_LED::led_con] : 0);
    if (m_comm_status)
        m_comm_status->update(s);
}

void unit_controller::send_dial_result(int result)
{
    if (m_remote && result != 0)
        m_remote->send_dial_result_command(result);
}

// ---------------------------------------------------------------------------------------------
// Call and media handlers

void unit_controller::on_appcmd_connect_sip(const command&)
{
    if (mode() == mode_ip_call) {
        log_s.error("connect_sip: IP mode");
        send_dial_result(remote_cmd_handler::dial_ip_mode);
        return;
    }
    // No SIP controller in this build: the dial cannot be placed.
    log_s.error("connect_sip: no SIP service");
    send_dial_result(remote_cmd_handler::dial_not_registered);
}

void unit_controller::on_appcmd_disconnect_sip(const command&)
{
    if (status() == comm_status::SIP_CALLING)
        send_dial_result(remote_cmd_handler::dial_canceled);
    m_audio->stop_rtp_transmission();
    if (!m_reconnecting) {
        m_reconnector->disable();
        log_s.info("disable reconnector");
    }
}

void unit_controller::ip_call_dial(const std::string& address)
{
    if (mode() != mode_ip_call || !m_ip_call)
        return;
    if (!valid_ipv4(address)) {
        log_s.warn("app_controller::on_appcmd_ip_call_connect: invalid dst address.");
        send_dial_result(remote_cmd_handler::dial_rejected);
        return;
    }
    log_s.info("IP_call: call to %s", address.c_str());
    const int r = m_ip_call->call(address);
    if (r != 0) {
        log_s.error("IP_call: call failed: %s", r < 0 ? strerror(-r) : (r == 1 ? "not idle" : "no local address"));
        if (r == 1)
            send_dial_result(remote_cmd_handler::dial_not_idle);
    } else if (!m_reconnecting && config().get<int>("reconnect.enable") != 0) {
        m_reconnector->enable(address, false);
    }
    config().set("dial.last_ip", address);
    save_config_file();
}

void unit_controller::on_appcmd_ip_call_connect(const command& c)
{
    ip_call_dial(bounded_text(c, 32));
}

void unit_controller::on_appcmd_ip_call_disconnect(const command&)
{
    log_s.info("IP_call: disconnect.");
    if (m_ip_call)
        m_ip_call->disconnect();
}

void unit_controller::on_appcmd_ip_call_status(const command& c)
{
    appcmd_state_result d{};
    if (!payload(c, d, "on_appcmd_ip_call_status"))
        return;
    int next = comm_status::IDLE;
    switch (d.state) {
    case ip_call::IDLE:
        if (status() != comm_status::IDLE)
            app_controller::post(command(appcmd_stop_rtp));
        if (d.result != 0)
            send_dial_result(ip_call_res_to_remote_result(d.result));
        if (m_reconnecting) {
            if (m_reconnector->retry())
                log_s.warn("reconnect %d", m_reconnector->count());
            else
                on_reconnection_not_achieved();
        }
        next = comm_status::IDLE;
        break;
    case ip_call::CALLING:
        next = comm_status::IP_CALLING;
        break;
    case ip_call::INCOMING: {
        const int r = m_ip_call->send_start(m_ip_call->peer());
        if (r < 0)
            log_s.error("IP_call: start_media failed: %s", strerror(-r));
        next = comm_status::IP_INCOMING;
        break;
    }
    case ip_call::CONNECT: {
        ipc_connect_data local{}, remote{};
        m_ip_call->call_connect_data(local, remote);
        const orva::codec* k = m_codec_manager->get(remote.codec);
        if (k) {
            const appcmd_start_rtp_data rec = ip_call_start_rtp_data(*k, local, remote, m_ip_call->peer(), config());
            app_controller::post(command(appcmd_start_rtp, &rec, sizeof rec));
        }
        send_dial_result(remote_cmd_handler::dial_ok);
        m_reconnecting = false;
        // A new count of attempts for the next drop; the destination stays armed.
        if (m_reconnector->armed())
            m_reconnector->enable(m_reconnector->destination(), false);
        clear_serious_error();
        next = comm_status::IP_CONNECT;
        break;
    }
    case ip_call::DISCONNECTING:
        next = comm_status::IP_DISCONNECT;
        break;
    default:
        next = comm_status::IDLE;
        break;
    }
    set_status(next);
}

void unit_controller::on_appcmd_disconnect(const command&)
{
    const int s = status();
    if (s == comm_status::SIP_CALLING || s == comm_status::SIP_CONNECT || s == comm_status::SIP_INCOMING) {
        m_audio->stop_rtp_transmission();
        return;
    }
    if (s == comm_status::IP_CALLING || s == comm_status::IP_INCOMING || s == comm_status::IP_CONNECT ||
        s == comm_status::IP_DISCONNECT) {
        log_s.info("disconnect ip call");
        stop_rtp();
        // The call itself ends too: a lost DISCONNECT would otherwise leave the engine in CONNECT
        // and refuse the next call.
        if (m_ip_call) {
            const auto st = m_ip_call->status();
            if (st == ip_call::CALLING || st == ip_call::INCOMING || st == ip_call::CONNECT)
                m_ip_call->disconnect();
        }
        set_status(comm_status::IDLE);
    }
}

int unit_controller::on_appcmd_start_rtp(const command& c)
{
    if (c.data.size() != sizeof(appcmd_start_rtp_data)) {
        log_s.warn("app_controller::on_appcmd_start_rtp: invalid data size %u", static_cast<unsigned>(c.data.size()));
        return -1;
    }
    appcmd_start_rtp_data d;
    memcpy(&d, c.data.data(), sizeof d);
    d.remote_addr[sizeof d.remote_addr - 1] = 0;
    log_s.info("on_appcmd_stop_rtp");
    stop_rtp();
    log_s.info("%s", "on_appcmd_start_rtp");
    log_s.info("remote_addr: %s", d.remote_addr);
    log_s.info("audio codec: %d", d.audio_codec);
    for (int i = 0; i < 2; ++i)
        log_s.info("audio port %d: %hu", i, d.audio_port[i]);
    log_s.info("audio band_w: %d", d.audio_bw);
    log_s.info("video_codec: %d", d.video_codec);
    log_s.info("video port: %hu", d.video_port);
    log_s.info("video band_w: %d", d.video_bw);
    log_s.info("control port: %hu", d.control_port);
    if (!valid_ipv4(d.remote_addr)) {
        log_s.warn("app_controller::on_appcmd_start_rtp: invalid dst address.");
        return -1;
    }
    if (d.audio_port[0] == 0) {
        log_s.warn("app_controller::on_appcmd_start_rtp: invalid audio port.");
        return -1;
    }
    app_config& cfg = config();
    const bool ip = mode() == mode_ip_call;
    if (d.incom_bw > 0) {
        orva::codec* k = m_codec_manager->get(d.incom_codec, true);
        const int fl = cfg.get<int>("incom.frame_length_samples");
        const orva::audio_manager_base::buffer_ctrl b{
            cfg.get<int>(ip ? "incom.pkts_for_pback_ip" : "incom.pkts_for_pback"), 4 * fl, 2 * fl};
        const uint16_t local = cfg.get<unsigned short>("incom.port");
        if (k)
            m_incom->start_rtp(d.remote_addr, &d.incom_port, &local, 1, k, b);
    }
    if (d.audio_bw <= 0)
        return 0;
    if (d.audio_codec != cfg.get<int>("audio.codec_id"))
        restart_audio_stream(d.audio_codec);
    orva::codec* k = m_codec_manager->get(d.audio_codec);
    if (!k) {
        log_s.error("unsupported codec: %d", d.audio_codec);
        return -1;
    }
    const orva::audio_manager_base::buffer_ctrl b{
        get_pkts_for_pback(cfg.get<int>("audio.codec_id"), mode()),
        cfg.get<int>(ip ? "audio.smpls_for_dec_ip" : "audio.smpls_for_dec"),
        cfg.get<int>(ip ? "audio.smpls_for_stop_ip" : "audio.smpls_for_stop")};
    const int count = d.audio_port_count == 2 ? 2 : 1;
    const uint16_t base = cfg.get<unsigned short>("audio.port");
    const uint16_t local[2] = {base, static_cast<uint16_t>(base + 2)};
    m_audio->start_rtp(d.remote_addr, d.audio_port, local, count, k, b, cfg.get<int>("audio.rtp_timeout_s") * 1000);
    if (cfg.get<int>("debug.test_packet_loss") != 0)
        m_audio->test_packet_loss();
    return 0;
}

int unit_controller::stop_rtp()
{
    const orva::codec* running = m_audio->current_codec();
    log_s.debug("app_controller::stop_rtp 1");
    m_audio->stop_rtp();
    log_s.debug("app_controller::stop_rtp 2");
    m_incom->stop_rtp();
    log_s.debug("app_controller::stop_rtp 3");
    // A codec changed during the call (or negotiated for it) takes effect now.
    const int configured = config().get<int>("audio.codec_id");
    if (running && running->id() != configured)
        restart_audio_stream(configured);
    return 0;
}

void unit_controller::on_appcmd_stop_rtp(const command&)
{
    log_s.info("on_appcmd_stop_rtp");
    stop_rtp();
}

int unit_controller::restart_audio_stream(int codec_id)
{
    orva::codec* k = m_codec_manager ? m_codec_manager->get(codec_id) : nullptr;
    if (!k)
        return 0;
    if (m_audio->restart(k, config().get<int>("audio.in_delay"), config().get<int>("audio.out_delay"),
                         m_key_led.get()) != 0) {
        log_s.error("can't restart audio manager");
        return 0;
    }
    log_s.info("restart audio stream: frame = %d samples", k->frame_samples());
    restore_audio_config();
    return 1;
}

const char* unit_controller::get_pkts_for_pback_key(int codec_id, int mode)
{
    const bool ip = mode == mode_ip_call;
    switch (codec_id) {
    case 0: return ip ? "buffer.ip_tel" : "buffer.ngn_tel";
    case 96: return ip ? "buffer.ip_opus" : "buffer.ngn_opus";
    case 97: return ip ? "buffer.ip_clear" : "buffer.ngn_clear";
    case 99: return ip ? "buffer.ip_sbadpcm" : "buffer.ngn_sbadpcm";
    case 100: return ip ? "buffer.ip_lpcm" : "buffer.ngn_lpcm";
    default: return nullptr;
    }
}

int unit_controller::get_pkts_for_pback(int codec_id, int mode) const
{
    const char* key = get_pkts_for_pback_key(codec_id, mode);
    return key ? const_cast<unit_controller*>(this)->config().get<int>(key) : 0;
}

int unit_controller::setup_ip_call()
{
    return ::setup_ip_call(m_ip_call.get(), config());
}

void unit_controller::on_reconnection_not_achieved()
{
    log_s.warn("can't reconnect %d times", config().get<int>("reconnect.times"));
    m_reconnecting = false;
    clear_serious_error();
    show_serious_error("!!ERROR: ABNORMAL !!", "!!   DISCONNECTION!!");
}

void unit_controller::on_appcmd_rcv_rtp(const command&)
{
    if (status() == comm_status::IP_CALLING)
        set_status(comm_status::IP_CONNECT);
}

void unit_controller::on_appcmd_conn_by_gpio(const command&)
{
    if (mode() == mode_ip_call)
        ip_call_dial(config().get<std::string>("dial.contact_ip").substr(0, 31));
    else
        on_appcmd_connect_sip(command(appcmd_connect_sip));
}

void unit_controller::on_appcmd_disconn_by_gpio(const command& c)
{
    if (mode() == mode_sip)
        on_appcmd_disconnect(c);
    else
        on_appcmd_ip_call_disconnect(c);
}

// ---------------------------------------------------------------------------------------------
// Settings

void unit_controller::app_mode(int mode, bool save)
{
    m_app_mode = mode == 0 ? mode_sip : mode_ip_call;
    config().set("application.mode", mode == 0 ? 0 : 1);
    set_led(key_LED::led_ipc, mode != 0 ? key_LED::led_bit[key_LED::led_ipc] : 0);
    set_led(key_LED::led_ngn, mode == 0 ? key_LED::led_bit[key_LED::led_ngn] : 0);
    if (mode != 0 && m_ip_call) {
        const std::string a = interface_address(config().get<std::string>("host.lan"));
        if (!a.empty())
            m_ip_call->update_address(a);
    }
    if (save)
        save_config_file();
    log_s.info("app mode = %s", mode != 0 ? "IP" : "NGN");
    send_status_command(false);
    send_mode();
}

void unit_controller::set_audio_src(int source, bool save)
{
    m_audio->set_input_src(static_cast<orva::audio_src_e>(source));
    log_s.info("set_audio_src: src = %s", source == 1 ? "ANALOG" : "DIGITAL");
    config().set("audio.line", source);
    if (save)
        save_config_file();
}

void unit_controller::toggle_hp_src()
{
    int src = m_audio->get_test_sound() != 0 ? 1 : (m_audio->get_hp_src() == 0 ? 1 : 0);
    m_audio->set_hp_src(src);
    config().set("headphone.source", src);
    set_led(key_LED::led_in, src == 0 ? key_LED::led_bit[key_LED::led_in] : 0);
    set_led(key_LED::led_out, src != 0 ? key_LED::led_bit[key_LED::led_out] : 0);
    send_status_command(false);
}

void unit_controller::reconnect_times(int n)
{
    config().set("reconnect.times", n);
    m_reconnector->set_max_times(n);
}

void unit_controller::restore_audio_config()
{
    app_config& cfg = config();
    m_audio->input_base_gain(cfg.get<float>("audio.analog_in_gain"));
    m_audio->input_gain({cfg.get<float>("audio.analog_in_l_gain"), cfg.get<float>("audio.analog_in_r_gain")});
    m_audio->digital_in_base_gain(cfg.get<float>("audio.digital_in_gain"));
    m_audio->digital_in_gain({cfg.get<float>("audio.digital_in_l_gain"), cfg.get<float>("audio.digital_in_r_gain")});
    m_audio->output_base_gain(cfg.get<float>("audio.out_gain"));
    m_audio->output_gain({cfg.get<float>("audio.out_l_gain"), cfg.get<float>("audio.out_r_gain")});
    if (m_hp_volume)
        m_hp_volume->set(cfg.get<int>("headphone.volume"));
    const int hp = cfg.get<int>("headphone.source");
    m_audio->set_hp_src(hp);
    set_led(key_LED::led_in, hp == 0 ? key_LED::led_bit[key_LED::led_in] : 0);
    set_led(key_LED::led_out, hp != 0 ? key_LED::led_bit[key_LED::led_out] : 0);
    m_audio->set_input_src(static_cast<orva::audio_src_e>(cfg.get<int>("audio.line")));
    const bool ip = mode() == mode_ip_call;
    m_audio->buffer_ctrl_param(cfg.get<int>(ip ? "audio.smpls_for_dec_ip" : "audio.smpls_for_dec"),
                               cfg.get<int>("audio.smpls_for_stop"));
}

void unit_controller::restore_config()
{
    app_config& cfg = config();
    app_mode(cfg.get<int>("application.mode"), false);
    restore_audio_config();
    if (const orva::codec* k = m_incom->current_codec())
        m_incom->buffer_ctrl_param(k->frame_samples(), k->frame_samples() / 2);
    setup_ip_call();
    if (cfg.get<int>("debug.test_pb_overflow"))
        m_audio->test_pb_overflow();
    if (cfg.get<int>("debug.test_pb_underflow"))
        m_audio->test_pb_underflow();
    if (cfg.get<int>("debug.test_alsa_overflow"))
        m_audio->test_alsa_overflow();
    if (cfg.get<int>("debug.test_alsa_underflow"))
        m_audio->test_alsa_underflow();
}

void unit_controller::on_appcmd_audio_src(const command& c)
{
    int32_t src = 0;
    if (!payload(c, src, "on_appcmd_audio_src"))
        return;
    m_audio->set_input_src(static_cast<orva::audio_src_e>(src));
    config().set("audio.line", src != 0 ? 1 : 0);
    log_s.info("set audio src %u", src == 0 ? 1u : 0u);
}

void unit_controller::on_appcmd_hp_src(const command& c)
{
    int32_t src = 0;
    if (!payload(c, src, "on_appcmd_hp_src"))
        return;
    m_audio->set_hp_src(src);
    config().set("headphone.source", src);
    set_led(key_LED::led_in, src == 0 ? key_LED::led_bit[key_LED::led_in] : 0);
    set_led(key_LED::led_out, src != 0 ? key_LED::led_bit[key_LED::led_out] : 0);
    send_status_command(false);
}

void unit_controller::on_appcmd_set_codec(const command& c)
{
    int32_t id = 0;
    if (!payload(c, id, "on_appcmd_set_codec"))
        return;
    const orva::codec* k = m_codec_manager->get(id);
    if (!k) {
        log_s.warn("on_appcmd_set_codec: unknown codec %d", id);
        return;
    }
    app_config& cfg = config();
    if (id == 100) {
        cfg.set("video.enable", 0);
        save_config_file();
        setup_ip_call();
        log_s.info("video mode = %s", "disable");
    }
    if (id == cfg.get<int>("audio.codec_id"))
        return;
    // During a call the running stream keeps its codec; stop_rtp applies the new one.
    const int s = status();
    if (s == comm_status::IDLE || s == comm_status::INIT)
        restart_audio_stream(id);
    cfg.set("audio.codec_id", id);
    save_config_file();
    setup_ip_call();
    log_s.info("set codec: %s", k->name().c_str());
}

void unit_controller::on_appcmd_set_incom(const command& c)
{
    uint8_t on = 0;
    if (!payload(c, on, "on_appcmd_set_incom"))
        return;
    config().set("incom.enable", on ? 1 : 0);
    setup_ip_call();
    log_s.info("incom mode = %s", on ? "ON" : "OFF");
    save_config_file();
    setup_ip_call();
}

// ---------------------------------------------------------------------------------------------
// Status, report and remote handlers

std::string unit_controller::current_destination() const
{
    if (!m_ip_call)
        return "";
    const sockaddr_in p = m_ip_call->peer();
    if (p.sin_addr.s_addr == 0)
        return "";
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &p.sin_addr, buf, sizeof buf);
    return buf;
}

void unit_controller::send_status_command(bool periodic)
{
    if (!m_remote)
        return;
    remote_cmd_handler::status_data d;
    d.state = remote_state_text(status());
    d.destination = current_destination();
    d.line = m_audio->get_input_src();
    d.lan_led = m_led[key_LED::led_lan] != 0;
    d.gw_led = m_led[key_LED::led_gw] != 0;
    d.con_led = m_led[key_LED::led_con] != 0;
    d.in_led = m_led[key_LED::led_in] != 0;
    // The real error lamp: a media or a panel error.
    d.err_led = m_led[key_LED::led_err] != 0;
    m_remote->send_status_command(d, periodic);
}

void unit_controller::send_setting()
{
    if (m_remote)
        m_remote->send_setting_command({config().get<int>("audio.codec_id"), config().get<int>("incom.enable") != 0});
}

void unit_controller::send_mode()
{
    if (m_remote)
        m_remote->send_mode_command(mode() == mode_sip);
}

void unit_controller::on_appcmd_change_lan_stat(const command& c)
{
    // Byte 0 says up or down; the LAN watch adds the address (8 bytes in all).
    if (c.data.empty() || c.data.size() > 8) {
        log_s.warn("on_appcmd_change_lan_stat: invalid data size %zu", c.data.size());
        return;
    }
    const bool up = c.data[0] != 0;
    const unsigned char before = m_led[key_LED::led_lan];
    set_led(key_LED::led_lan, up ? key_LED::led_bit[key_LED::led_lan] : 0);
    if (up) {
        try {
            network_manager lan1("eth0");
            config().set("LAN1.ip_addr", lan1.ip_address());
            config().set("LAN1.subnet_mask", lan1.subnet_mask());
            config().set("LAN1.gw_addr", lan1.gateway_addr());
        } catch (const std::exception& e) {
            log_s.warn("app_controller: LAN1 settings kept, no network service: %s", e.what());
        }
    } else {
        set_led(key_LED::led_gw, 0);
        if (mode() == mode_sip) {
            config().set("LAN1.ip_addr", "");
            config().set("LAN1.subnet_mask", "");
            config().set("LAN1.gw_addr", "");
        }
    }
    save_config_file();
    if (before != m_led[key_LED::led_lan])
        send_status_command(false);
}

void unit_controller::on_appcmd_remote_term(const command& c)
{
    appcmd_remote_term_data d{};
    if (!payload(c, d, "on_appcmd_remote_term"))
        return;
    d.address[sizeof d.address - 1] = 0;
    if (d.connected) {
        log_s.info("connect from remote: %s:%hu", d.address, d.port);
        send_status_command(true);
        send_setting();
    } else {
        log_s.info("disconnect from remote");
        if (m_key_led)
            m_key_led->disable_meter_udp();
    }
}

void unit_controller::on_appcmd_remote_cmd(const command& c)
{
    if (m_remote)
        m_remote->recv_remote_command(bounded_text(c, 1024).c_str());
}

void unit_controller::on_appcmd_rmtcmd_send_status(const command&)
{
    send_status_command(true);
}

void unit_controller::on_appcmd_rmtcmd_send_setting(const command&)
{
    send_setting();
}

void unit_controller::on_appcmd_rmtcmd_send_mode(const command&)
{
    send_mode();
}

void unit_controller::on_appcmd_rmtcmd_set_mode(const command& c)
{
    uint8_t sip = 0;
    if (!payload(c, sip, "on_appcmd_rmtcmd_set_mode"))
        return;
    if (status() != comm_status::IDLE) {
        send_mode();
        return;
    }
    const int asked = sip ? 0 : 1;
    if ((mode() == mode_sip ? 0 : 1) != asked) {
        appcmd_change_ip_addr_data d{};
        try {
            network_manager lan("eth0");
            if (sip) {
                lan.set_dhcp();
                d.recreate_service = 1;
            } else {
                const std::string ip = config().get<std::string>("LAN1.ip_addr");
                const std::string mask = config().get<std::string>("LAN1.subnet_mask");
                const std::string gw = config().get<std::string>("LAN1.gw_addr");
                lan.set_static_addr(ip.c_str(), mask.c_str(), gw.c_str());
                strncpy(d.address, ip.c_str(), sizeof d.address - 1);
                strncpy(d.netmask, mask.c_str(), sizeof d.netmask - 1);
                strncpy(d.gateway, gw.c_str(), sizeof d.gateway - 1);
            }
        } catch (const std::exception& e) {
            log_s.error("app_controller: can't change the LAN1 address: %s", e.what());
        }
        on_appcmd_change_ip_addr(command(appcmd_change_ip_addr, &d, sizeof d));
    }
    app_mode(asked, true);
}

void unit_controller::on_appcmd_rmtcmd_rtp_stat(const command&)
{
    if (!m_remote)
        return;
    const auto& s = m_audio->statistics();
    using st = orva::stream_statistics;
    m_remote->send_rtp_stat_command(
        static_cast<unsigned>(s.counter(st::packet_losses)),
        static_cast<unsigned>(s.counter(st::alsa_overflows) + s.counter(st::pb_overflows)),
        static_cast<unsigned>(s.counter(st::alsa_underflows)));
}

void unit_controller::on_appcmd_rmtcmd_reconnect(const command& c)
{
    appcmd_reconnect_data d{};
    if (!payload(c, d, "on_appcmd_rmtcmd_reconnect"))
        return;
    bool stored = false;
    if (d.enable >= 0) {
        config().set("reconnect.enable", d.enable);
        stored = true;
    }
    if (d.times >= 1 && d.times <= 9999) {
        reconnect_times(d.times);
        stored = true;
    }
    if (stored)
        save_config_file();
    if (m_remote)
        m_remote->send_reconnect_command(config().get<int>("reconnect.enable") != 0, config().get<int>("reconnect.times"));
}

void unit_controller::on_appcmd_rmtcmd_rtp_timeout(const command& c)
{
    uint8_t clear = 0;
    if (!payload(c, clear, "on_appcmd_rmtcmd_rtp_timeout"))
        return;
    if (clear) {
        clear_serious_error();
        usleep(50000);
    }
    if (m_remote)
        m_remote->send_rtp_timeout_command(!serious_error().first.empty());
}

void unit_controller::update_error_output()
{
    const bool on = m_panel_error || m_rtp_error;
    if (m_use_error_output && m_error_out)
        m_error_out->set(on);
    set_led(key_LED::led_err, on ? 8 : 0);
}

void unit_controller::on_appcmd_error_status(const command& c)
{
    appcmd_error_status_data d{};
    if (!payload(c, d, "on_appcmd_error_status"))
        return;
    if (d.kind != 0) {
        m_rtp_error = d.value != 0;
        update_error_output();
        on_appcmd_rmtcmd_rtp_stat(c);
    } else {
        m_panel_error = d.value != 0;
        update_error_output();
    }
    send_status_command(false);
}

void unit_controller::on_appcmd_meter_udp(const command& c)
{
    appcmd_meter_udp_data d{};
    if (!payload(c, d, "on_appcmd_meter_udp") || !m_key_led)
        return;
    if (d.on)
        m_key_led->enable_meter_udp(&d.address);
    else
        m_key_led->disable_meter_udp();
}

void unit_controller::impedance(int mode)
{
    config().set("audio.impedance", mode != 0 ? 1 : 0);
    try {
        gpio_out_dev line(33, true);
        line.set(mode != 0);
    } catch (const std::exception& e) {
        log_s.error("impedance: %s", e.what());
    }
    save_config_file();
    log_s.info("set input impedance : %s", mode != 0 ? "HIGH" : "600ohm");
}

void unit_controller::on_appcmd_change_ip_addr(const command& c)
{
    if (c.data.size() != sizeof(appcmd_change_ip_addr_data)) {
        log_s.warn("on_appcmd_change_ip_addr: invalid data size %zu", c.data.size());
        return;
    }
    // No SIP service in this build: only the addresses are taken over.
    set_led(key_LED::led_gw, 0);
    try {
        network_manager lan1("eth0");
        config().set("LAN1.ip_addr", lan1.ip_address());
        config().set("LAN1.subnet_mask", lan1.subnet_mask());
        config().set("LAN1.gw_addr", lan1.gateway_addr());
    } catch (const std::exception& e) {
        log_s.warn("app_controller: LAN1 settings kept, no network service: %s", e.what());
    }
    save_config_file();
    if (m_ip_call) {
        const std::string a = config().get<std::string>("LAN1.ip_addr");
        if (valid_ipv4(a))
            m_ip_call->update_address(a);
    }
}

void unit_controller::on_appcmd_local_info(const command&)
{
    // Without a SIP service there are no own numbers and no SIP identity.
    printf("-------------------\n");
    printf("local informations.\n");
    printf("EXT  : %s\n", "");
    printf("IP   : %s\n", "");
    fflush(stdout);
}

void unit_controller::on_appcmd_connect_ip(const command& c)
{
    if (status() != comm_status::IDLE)
        return;
    const std::string address = bounded_text(c, 32);
    if (!valid_ipv4(address)) {
        log_s.warn("app_controller::on_appcmd_connect_ip: invalid dst address.");
        return;
    }
    app_config& cfg = config();
    // Video and the control link have no manager in this build; audio and intercom start.
    if (cfg.get<int>("audio.enable") != 0) {
        const int codec_id = cfg.get<int>("audio.codec_id");
        orva::codec* k = m_codec_manager->get(codec_id);
        const uint16_t base = cfg.get<unsigned short>("audio.port");
        const uint16_t ports[2] = {base, static_cast<uint16_t>(base + 2)};
        const orva::audio_manager_base::buffer_ctrl b{get_pkts_for_pback(codec_id, mode()),
                                                      cfg.get<int>("audio.smpls_for_dec_ip"),
                                                      cfg.get<int>("audio.smpls_for_stop_ip")};
        if (k)
            m_audio->start_rtp(address.c_str(), ports, ports, codec_id == 100 ? 2 : 1, k, b,
                               cfg.get<int>("audio.rtp_timeout_s") * 1000);
        if (cfg.get<int>("debug.test_packet_loss") != 0)
            m_audio->test_packet_loss();
    }
    if (cfg.get<int>("incom.enable") != 0) {
        const uint16_t port = cfg.get<unsigned short>("incom.port");
        const int fl = cfg.get<int>("incom.frame_length_samples");
        const orva::audio_manager_base::buffer_ctrl b{cfg.get<int>("incom.pkts_for_pback"), 4 * fl, 2 * fl};
        if (orva::codec* k = m_codec_manager->get(cfg.get<int>("incom.codec_id"), true))
            m_incom->start_rtp(address.c_str(), &port, &port, 1, k, b);
    }
    set_status(comm_status::IP_CALLING);
    cfg.set("dial.last_ip", address);
    save_config_file();
}
