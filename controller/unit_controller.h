#pragma once
// The controller of the running unit: `app_controller` of the application core with every
// manager, device and thread of the unit and the handlers of the call, media, settings and status
// commands. It lives above the media engine, the IP call, the panel and the remote server, which
// the application core may not see; `make_unit_controller` is the factory `orva700` runs.

#include "app_controller.h"
#include "audio_manager.h"
#include "codec_manager.h"
#include "comm_status.h"
#include "ip_call_app.h"
#include "media_listener.h"
#include "reconnector.h"
#include "remote_cmd_handler.h"
#include "start_rtp_data.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class SPI;
class LCD;
class key_LED;
class key_led_thr_f;
class gpio_out_dev;
class hp_volume;
class watch_thr_f;
struct key_event;
template <typename T>
class waitable_queue;

class unit_controller : public app_controller, public orva::media_listener {
public:
    enum app_mode_e { mode_sip = 0, mode_ip_call = 1 };

    struct options {
        uint16_t remote_port = remote_cmd_handler::default_port;
        bool panel = true;                               // panel bus, key/LED board and display
        orva::audio_device_factory* devices = nullptr;   // sound cards (null: ALSA)
    };

    unit_controller(app_config& config, bool first_start);
    unit_controller(app_config& config, bool first_start, const options& o);
    ~unit_controller() override;

    // media_listener (receive thread) and app_controller.
    void notify_rtp_stat(bool receiving) override;
    void notify_rcv_end_packet() override;
    void post(int command_id, std::vector<unsigned char> payload) override;
    using app_controller::post;

    // Call and media.
    int stop_rtp();
    int restart_audio_stream(int codec_id);
    int setup_ip_call();
    int get_pkts_for_pback(int codec_id, int mode) const;
    static const char* get_pkts_for_pback_key(int codec_id, int mode);
    void on_reconnection_not_achieved();

    // Settings.
    void app_mode(int mode, bool save);
    void set_audio_src(int source, bool save);
    void toggle_hp_src();
    void reconnect_enable(bool on) { config().set("reconnect.enable", on ? 1 : 0); }
    void reconnect_times(int n);
    // Panel-menu setters (panel thread).
    int change_hp_volume(int step);
    int set_pkts_for_pback(int codec_id, int mode, int packets);
    int set_pkts_for_pback(int codec_id, int packets) { return set_pkts_for_pback(codec_id, mode(), packets); }
    int set_ms_for_pback(int codec_id, int mode, int ms);
    int get_ms_for_pback(int codec_id, int mode) const;
    void set_incom_enable(bool on);
    void set_control_enable(bool on);
    bool video_enable(int mode);
    bool baudrate(int speed);
    void analog_in_gain(const std::pair<float, float>& db);
    void digital_in_gain(const std::pair<float, float>& db);
    void output_gain(const std::pair<float, float>& db);
    void incom_gain(const std::pair<float, float>& db);
    void contact_address(const std::string& address);
    void set_test_sound(int id);
    void restore_default_settings();
    void restore_config();
    void restore_audio_config();

    // Status.
    void send_status_command(bool periodic);
    void send_setting();
    void send_mode();
    int status() const { return m_comm_status ? m_comm_status->status() : comm_status::IDLE; }
    void set_status(int s);
    bool is_valid_codec(int id) { return m_codec_manager && m_codec_manager->get(id) != nullptr; }
    app_mode_e mode() const { return m_app_mode.load(); }
    unsigned char led(int i) const { return m_led[i].load(); }
    bool reconnecting() const { return m_reconnecting.load(); }
    std::string current_destination() const;
    remote_cmd_handler* remote() { return m_remote.get(); }
    ip_call_app* ip_call() { return m_ip_call.get(); }
    orva::audio_manager& main_engine() { return *m_audio; }
    // The serious-error screen's two lines (empty when not shown).
    std::pair<std::string, std::string> serious_error() const;

    // Handlers.
    void on_appcmd_connect_sip(const command& c);
    void on_appcmd_disconnect_sip(const command& c);
    void on_appcmd_ip_call_connect(const command& c);
    void on_appcmd_ip_call_disconnect(const command& c);
    void on_appcmd_ip_call_status(const command& c);
    void on_appcmd_disconnect(const command& c);
    int on_appcmd_start_rtp(const command& c);
    void on_appcmd_stop_rtp(const command& c);
    void on_appcmd_audio_src(const command& c);
    void on_appcmd_hp_src(const command& c);
    void on_appcmd_change_lan_stat(const command& c);
    void on_appcmd_rcv_rtp(const command& c);
    void on_appcmd_remote_term(const command& c);
    void on_appcmd_remote_cmd(const command& c);
    void on_appcmd_rmtcmd_send_status(const command& c);
    void on_appcmd_rmtcmd_send_setting(const command& c);
    void on_appcmd_rmtcmd_send_mode(const command& c);
    void on_appcmd_rmtcmd_set_mode(const command& c);
    void on_appcmd_rmtcmd_rtp_stat(const command& c);
    void on_appcmd_rmtcmd_reconnect(const command& c);
    void on_appcmd_rmtcmd_rtp_timeout(const command& c);
    void on_appcmd_error_status(const command& c);
    void on_appcmd_set_codec(const command& c);
    void on_appcmd_set_incom(const command& c);
    void on_appcmd_conn_by_gpio(const command& c);
    void on_appcmd_disconn_by_gpio(const command& c);
    void on_appcmd_meter_udp(const command& c);
    void on_appcmd_websetting_file(const command& c);
    void on_appcmd_change_ip_addr(const command& c);
    void on_appcmd_local_info(const command& c);
    void on_appcmd_connect_ip(const command& c);
    // Input impedance: GPIO 33 high for a non-zero mode; stored and written.
    void impedance(int mode);

    // The merge of a web-setting store into the unit's.
    void apply_setting(const app_config& src);
    void use_all_gpio(bool on);
    void disable_optional_streams();
    // The panel's error-message time in seconds as the web setting last gave it (-1: none).
    int err_msg_seconds() const { return m_err_msg_s; }

private:
    class ip_call_host_adapter;

    void construct(bool first_start);
    void delete_all();
    void install_handlers();
    void set_led(int index, unsigned char value);
    void show_serious_error(const char* line1, const char* line2);
    void clear_serious_error();
    void update_error_output();
    void read_lan_settings();
    void send_dial_result(int result);
    void ip_call_dial(const std::string& address);
    void copy_int(const app_config& src, const std::string& key);
    void apply_setting_app(const app_config& src);
    bool apply_setting_audio(const app_config& src);
    void apply_setting_lan(const app_config& src, int lan);

    options m_options;
    std::unique_ptr<gpio_out_dev> m_ready;          // GPIO 93
    std::unique_ptr<hp_volume> m_hp_volume;
    std::unique_ptr<gpio_out_dev> m_hp_source_out;  // GPIO 87
    std::unique_ptr<gpio_out_dev> m_input_out;      // GPIO 84
    std::unique_ptr<orva::audio_manager> m_audio;
    std::unique_ptr<orva::audio_manager_base> m_incom;
    std::unique_ptr<SPI> m_spi;
    std::unique_ptr<key_LED> m_key_led;
    std::unique_ptr<LCD> m_lcd;
    std::unique_ptr<waitable_queue<key_event>> m_key_queue;
    std::unique_ptr<key_led_thr_f> m_key_led_thr;
    std::thread m_key_led_thread;
    std::atomic<bool> m_use_error_output{false};
    std::atomic<bool> m_panel_error{false};
    std::atomic<bool> m_rtp_error{false};
    std::unique_ptr<gpio_out_dev> m_error_out;  // GPIO 102
    std::unique_ptr<ip_call_host_adapter> m_host;
    std::unique_ptr<reconnector> m_reconnector;
    std::atomic<bool> m_reconnecting{false};  // set by the receive thread's time-out too
    std::unique_ptr<comm_status> m_comm_status;
    std::atomic<app_mode_e> m_app_mode{mode_ip_call};
    std::array<std::atomic<unsigned char>, 8> m_led{};

    std::unique_ptr<orva::codec_manager> m_codec_manager;
    std::unique_ptr<ip_call_app> m_ip_call;
    std::unique_ptr<ip_call_thr_f> m_ip_call_thr;
    std::thread m_ip_call_thread;
    std::unique_ptr<watch_thr_f> m_watch;
    std::thread m_watch_thread;
    std::unique_ptr<remote_cmd_handler> m_remote;

    mutable std::mutex m_panel_mutex;  // guards the serious-error texts (receive thread and main)
    std::string m_error_line1, m_error_line2;
    int m_err_msg_s = -1;
};

// The factory that `orva700` runs.
std::unique_ptr<app_controller> make_unit_controller(app_config& config, bool first_start);
