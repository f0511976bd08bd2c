// The merge of a web-setting file (command 24) into the running unit.
#include "unit_controller.h"

#include "config_keys.h"
#include "gpio_dev.h"
#include "hp_volume.h"
#include "key_led.h"
#include "log.h"
#include "network_manager.h"

#include <arpa/inet.h>

#include <boost/property_tree/exceptions.hpp>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <regex>

namespace {

// The key table's limits of an integer key (the whole int range where it gives none).
std::pair<int, int> int_limits(const std::string& key)
{
    const config_key* k = find_config_key(key);
    int lo = INT_MIN, hi = INT_MAX;
    if (k && k->min)
        lo = std::atoi(k->min);
    if (k && k->max)
        hi = std::atoi(k->max);
    return {lo, hi};
}

template <typename T>
bool file_value(const app_config& src, const std::string& key, T& out)
{
    try {
        out = src.get_f<T>(key);
        return true;
    } catch (...) {
        return false;
    }
}

// Four decimal numbers separated by points, each from 0 to `top`.
bool dotted(const std::string& text, int top)
{
    static const std::regex form(R"((\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3}))");
    std::smatch m;
    if (!std::regex_match(text, m, form))
        return false;
    for (int i = 1; i <= 4; ++i)
        if (std::stoi(m[i].str()) > top)
            return false;
    return true;
}

std::string gain_text(float v)
{
    char b[32];
    snprintf(b, sizeof b, "%f", v);
    return b;
}

constexpr const char* absent_marker = "default_value_confirm_value";

}  // namespace

void unit_controller::copy_int(const app_config& src, const std::string& key)
{
    const auto [lo, hi] = int_limits(key);
    copy_setting<int>(src, key, lo, hi);
}

void unit_controller::apply_setting_app(const app_config& src)
{
    int mode;
    if (!file_value(src, "application.mode", mode))
        return;
    mode = std::clamp(mode, 0, 1);
    if (mode == config().get<int>("application.mode"))
        return;
    try {
        network_manager lan("eth0");
        if (mode == 1) {
            std::string ip, mask, gw;
            if (!file_value(src, "LAN1.ip_addr", ip) || !file_value(src, "LAN1.subnet_mask", mask) ||
                !file_value(src, "LAN1.gw_addr", gw))
                return;
            if (!lan.set_static_addr(ip.c_str(), mask.c_str(), gw.c_str())) {
                log_s.error("web setting: can't change IP address.");
                return;
            }
            log_s.info("IP %s, SNM %s, GW %s", ip.c_str(), mask.c_str(), gw.c_str());
        } else {
            if (!lan.set_dhcp()) {
                log_s.error("web setting: can't change to DHCP mode.");
                return;
            }
            log_s.info("web setting: change to DHCP mode.");
        }
    } catch (const std::exception& e) {
        log_s.error("%s", mode == 1 ? "web setting: can't change IP address." : "web setting: can't change to DHCP mode.");
        return;
    }
    app_mode(mode, false);
}

bool unit_controller::apply_setting_audio(const app_config& src)
{
    app_config& cfg = config();
    bool restart = false;
    copy_int(src, "audio.enable");
    int line;
    if (file_value(src, "audio.line", line)) {
        line = std::clamp(line, 0, 1);
        if (line != cfg.get<int>("audio.line")) {
            set_audio_src(line, false);
            log_s.info("web setting - %s : %d", "audio.line", line);
        }
    }
    struct base_gain {
        const char* key;
        void (orva::audio_manager::*apply)(float);
    };
    const base_gain bases[] = {{"audio.analog_in_gain", &orva::audio_manager::input_base_gain},
                               {"audio.digital_in_gain", &orva::audio_manager::digital_in_base_gain},
                               {"audio.out_gain", &orva::audio_manager::output_base_gain}};
    for (const auto& b : bases) {
        float v;
        if (!file_value(src, b.key, v))
            continue;
        v = std::clamp(v, -10.0f, 10.0f);
        if (v == cfg.get<float>(b.key))
            continue;
        cfg.set(b.key, v);
        ((*m_audio).*b.apply)(v);
        log_s.info("web setting - %s: %f", b.key, v);
    }
    struct pair_gain {
        const char* left;
        const char* right;
        void (orva::audio_manager::*apply)(const std::pair<float, float>&);
    };
    const pair_gain pairs[] = {
        {"audio.analog_in_l_gain", "audio.analog_in_r_gain", &orva::audio_manager::input_gain},
        {"audio.digital_in_l_gain", "audio.digital_in_r_gain", &orva::audio_manager::digital_in_gain},
        {"audio.out_l_gain", "audio.out_r_gain", &orva::audio_manager::output_gain}};
    for (const auto& p : pairs) {
        float l = cfg.get<float>(p.left), r = cfg.get<float>(p.right);
        const bool has_l = file_value(src, p.left, l);
        const bool has_r = file_value(src, p.right, r);
        if (!has_l && !has_r)
            continue;
        l = std::clamp(l, -10.0f, 10.0f);
        r = std::clamp(r, -10.0f, 10.0f);
        if (l == cfg.get<float>(p.left) && r == cfg.get<float>(p.right))
            continue;
        cfg.set(p.left, l);
        cfg.set(p.right, r);
        ((*m_audio).*p.apply)({l, r});
        log_s.info("web setting - %s : %s, %s", p.left, gain_text(l).c_str(), gain_text(r).c_str());
    }
    int codec;
    if (file_value(src, "audio.codec_id", codec)) {
        if (is_valid_codec(codec)) {
            if (codec != cfg.get<int>("audio.codec_id")) {
                copy_int(src, "audio.codec_id");
                restart = true;
            }
        } else {
            log_s.warn("websetting: invalid codec_id %d", codec);
        }
    }
    for (const char* key : {"audio.smpls_for_dec", "audio.smpls_for_stop", "audio.smpls_for_dec_ip",
                            "audio.smpls_for_stop_ip", "audio.port", "audio.rtp_timeout_s"})
        copy_int(src, key);
    for (const char* key : {"audio.in_delay", "audio.out_delay"}) {
        int v;
        if (!file_value(src, key, v))
            continue;
        v = std::clamp(v, 2, 256);
        if (v != cfg.get<int>(key)) {
            cfg.set(key, v);
            restart = true;
        }
    }
    return restart;
}

void unit_controller::apply_setting(const app_config& src)
{
    app_config& cfg = config();
    apply_setting_app(src);
    const bool restart = apply_setting_audio(src);
    for (const char* key : {"buffer.ngn_clear", "buffer.ngn_opus", "buffer.ngn_sbadpcm", "buffer.ngn_tel",
                            "buffer.ngn_lpcm", "buffer.ip_clear", "buffer.ip_opus", "buffer.ip_sbadpcm",
                            "buffer.ip_tel", "buffer.ip_lpcm"})
        copy_int(src, key);
    for (const char* key : {"video.enable", "video.frame_rate_fps", "video.band_width_kbps", "video.port"})
        copy_int(src, key);

    // Intercom.
    copy_int(src, "incom.enable");
    for (const char* key : {"incom.in_gain", "incom.out_gain"}) {
        float v;
        if (!file_value(src, key, v))
            continue;
        v = std::clamp(v, -20.0f, 20.0f);
        if (v == cfg.get<float>(key))
            continue;
        cfg.set(key, v);
        if (std::strcmp(key, "incom.in_gain") == 0) {
            m_incom->input_base_gain(v);
            log_s.info("web setting - %s: %f", key, v);
        } else {
            m_incom->output_base_gain(v);
        }
    }
    for (const char* key : {"incom.pkts_for_pback", "incom.pkts_for_pback_ip", "incom.port"})
        copy_int(src, key);

    // Control link.
    const int all_gpio = cfg.get<int>("control.use_all_gpio");
    for (const char* key : {"control.enable", "control.port", "control.band_width_kbps", "control.use_all_gpio"})
        copy_int(src, key);
    if (cfg.get<int>("control.use_all_gpio") != all_gpio)
        use_all_gpio(cfg.get<int>("control.use_all_gpio") != 0);

    // Serial port.
    int speed;
    if (file_value(src, "comm.speed", speed) && speed != cfg.get<int>("comm.speed")) {
        static const int speeds[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
        if (std::find(std::begin(speeds), std::end(speeds), speed) != std::end(speeds)) {
            cfg.set("comm.speed", speed);
            log_s.info("web setting - %s : %d", "comm.speed", speed);
        }
    }
    for (const char* key : {"comm.length", "comm.parity", "comm.stopbit"})
        copy_int(src, key);

    // IP call.
    copy_setting<unsigned short>(src, "ip_call.port", 10000, 65535);
    std::string contact;
    try {
        contact = src.get_f<std::string>("ip_call.contact_addr");
    } catch (const boost::property_tree::ptree_bad_path&) {
        contact = absent_marker;
    } catch (const std::exception&) {
        contact.clear();  // present but empty
    }
    in_addr probe{};
    if (contact != absent_marker && (contact.empty() || inet_pton(AF_INET, contact.c_str(), &probe) == 1)) {
        if (contact != cfg.get<std::string>("ip_call.contact_addr")) {
            cfg.set("ip_call.contact_addr", contact);
            log_s.info("web setting - %s : %s", "ip_call.contact_addr", contact.c_str());
        }
        if (m_ip_call)
            m_ip_call->set_contact_address(cfg.get<std::string>("ip_call.contact_addr"));
    } else {
        log_s.warn("web setting: invalid ip_call.contact_addr: %s", contact == absent_marker ? "" : contact.c_str());
    }

    // Headphone.
    int hp;
    if (file_value(src, "headphone.source", hp)) {
        hp = std::clamp(hp, 0, 1);
        if (hp != cfg.get<int>("headphone.source")) {
            toggle_hp_src();
            log_s.info("web setting - %s : %d", "headphone.source", hp);
        }
    }
    int volume;
    if (file_value(src, "headphone.volume", volume)) {
        volume = std::clamp(volume, 0, 63);
        if (volume != cfg.get<int>("headphone.volume")) {
            if (m_hp_volume)
                m_hp_volume->set(volume);
            cfg.set("headphone.volume", volume);
            log_s.info("web setting - %s : %02X", "headphone.volume", volume);
        }
    }

    // The panel's error-message time (the store keeps its own value).
    int err_s;
    if (file_value(src, "ui.err_msg_s", err_s)) {
        err_s = std::clamp(err_s, 0, 60);
        if (err_s != cfg.get<int>("ui.err_msg_s")) {
            m_err_msg_s = err_s;
            log_s.info("web setting - %s : %d", "ui.err_msg_s", err_s);
        }
    }

    // Dial texts and contact dialling.
    for (const char* key : {"dial.last_number", "dial.last_ip", "dial.contact", "dial.contact_ip"}) {
        try {
            const std::string v = src.get_f<std::string>(key);
            if (v != cfg.get<std::string>(key)) {
                cfg.set(key, v);
                log_s.info("web setting - %s : %s", key, v.c_str());
            }
        } catch (const std::exception& e) {
            log_s.warn("websetting: %s, %s", e.what(), key);
        }
    }
    copy_int(src, "dial.contact_mode");
    copy_int(src, "dial.pulse_time");
    copy_int(src, "log.level");
    copy_int(src, "log.max_files");

    apply_setting_lan(src, 1);
    apply_setting_lan(src, 2);

    copy_int(src, "reconnect.enable");
    copy_int(src, "reconnect.times");
    save_config_file();
    m_reconnector->set_max_times(cfg.get<int>("reconnect.times"));
    save_config_file();
    if (mode() == mode_sip) {
        const int codec = cfg.get<int>("audio.codec_id");
        if (codec == 96 || codec == 0)
            disable_optional_streams();
    }
    setup_ip_call();
    if (restart)
        restart_audio_stream(cfg.get<int>("audio.codec_id"));
    log_s.notify_reload();
}

void unit_controller::apply_setting_lan(const app_config& src, int lan)
{
    const bool first = lan == 1;
    if (first && mode() != mode_ip_call) {
        log_s.info("web setting - LAN1: ignore for NGN mode");
        return;
    }
    const std::string prefix = first ? "LAN1." : "LAN2.";
    const char* keys[3] = {"ip_addr", "subnet_mask", "gw_addr"};
    const int count = first ? 3 : 2;
    std::string value[3];
    for (int i = 0; i < count; ++i) {
        std::string v;
        if (file_value(src, prefix + keys[i], v) && dotted(v, i == 1 ? 255 : 254))
            value[i] = v;
    }
    if (value[0].empty())
        return;
    std::unique_ptr<network_manager> nm;
    try {
        nm = std::make_unique<network_manager>(first ? "eth0" : "eth1");
    } catch (const std::exception&) {
    }
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        if (value[i].empty() && nm)
            value[i] = i == 0 ? nm->ip_address() : i == 1 ? nm->subnet_mask() : nm->gateway_addr();
        const std::string key = prefix + keys[i];
        if (value[i] != config().get<std::string>(key)) {
            config().set(key, value[i]);
            changed = true;
            if (i == 0 && first && m_ip_call)
                m_ip_call->update_address(value[0]);
        }
    }
    if (!changed)
        return;
    save_config_file();
    if (first)
        log_s.info("web setting - LAN1: %s, %s, %s", value[0].c_str(), value[1].c_str(), value[2].c_str());
    else
        log_s.info("web setting - LAN2: %s, %s", value[0].c_str(), value[1].c_str());
    if (status() != comm_status::IDLE)
        return;
    const bool ok = nm && nm->set_static_addr(value[0].c_str(), value[1].c_str(), first ? value[2].c_str() : nullptr);
    if (first) {
        if (ok)
            log_s.info("change LAN1 address %s, %s, %s", value[0].c_str(), value[1].c_str(), value[2].c_str());
        else
            log_s.error("can't change LAN1 address");
    } else {
        if (ok)
            log_s.info("change LAN2 address %s, %s", value[0].c_str(), value[1].c_str());
        else
            log_s.error("web setting - LAN2: update failed.");
    }
}

void unit_controller::on_appcmd_websetting_file(const command& c)
{
    const std::size_t n = std::min<std::size_t>(c.data.size(), 64);
    const std::string path(reinterpret_cast<const char*>(c.data.data()),
                           strnlen(reinterpret_cast<const char*>(c.data.data()), n));
    log_s.info("found web setting file. %s", path.c_str());
    app_config src;
    src.read_file(path.c_str());  // not ini: throws, the file stays for a look
    int codec;
    if (file_value(src, "audio.codec_id", codec) && codec == 100)
        src.set("video.enable", 0);
    apply_setting(src);
    ::remove(path.c_str());
}

void unit_controller::disable_optional_streams()
{
    bool changed = false;
    for (const char* key : {"video.enable", "incom.enable", "control.enable"}) {
        if (config().get<int>(key) != 0) {
            config().set(key, 0);
            log_s.info("disable %s for NGN audio stream.", key);
            changed = true;
        }
    }
    if (changed)
        save_config_file();
}

void unit_controller::use_all_gpio(bool on)
{
    config().set("control.use_all_gpio", on ? 1 : 0);
    m_use_error_output = !on;
    if (on && m_error_out)
        m_error_out->set(false);
    if (m_comm_status)
        m_comm_status->enable_gpio(!on);
    setup_ip_call();
    log_s.info("app_controller: use_all_gpio = %d", on ? 1 : 0);
}
