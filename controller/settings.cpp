// The setters the panel's menus call (on the panel thread) and the remaining settings helpers.
#include "unit_controller.h"

#include "hp_volume.h"
#include "key_led.h"
#include "log.h"
#include "network_manager.h"

#include <cmath>

int unit_controller::change_hp_volume(int step)
{
    const int now = m_hp_volume ? m_hp_volume->set(m_hp_volume->get() + step) : config().get<int>("headphone.volume");
    config().set("headphone.volume", now);
    return now;
}

int unit_controller::set_pkts_for_pback(int codec_id, int mode, int packets)
{
    const char* key = get_pkts_for_pback_key(codec_id, mode);
    if (!key)
        return 0;
    config().set(key, packets);
    save_config_file();
    return 1;
}

int unit_controller::set_ms_for_pback(int codec_id, int mode, int ms)
{
    const orva::codec* k = m_codec_manager ? m_codec_manager->get(codec_id) : nullptr;
    if (!k || k->frame_samples() <= 0)
        return 0;
    const int packets =
        static_cast<int>(std::lround(ms * static_cast<double>(k->sampling_frequency()) / 1000.0 / k->frame_samples()));
    return set_pkts_for_pback(codec_id, mode, packets);
}

int unit_controller::get_ms_for_pback(int codec_id, int mode) const
{
    const orva::codec* k = m_codec_manager ? m_codec_manager->get(codec_id) : nullptr;
    if (!k || !get_pkts_for_pback_key(codec_id, mode) || k->sampling_frequency() <= 0)
        return 0;
    return static_cast<int>(
        std::lround(get_pkts_for_pback(codec_id, mode) * k->frame_samples() * 1000.0 / k->sampling_frequency()));
}

void unit_controller::set_incom_enable(bool on)
{
    config().set("incom.enable", on ? 1 : 0);
    setup_ip_call();
    log_s.info("incom mode = %s", on ? "ON" : "OFF");
}

void unit_controller::set_control_enable(bool on)
{
    config().set("control.enable", on ? 1 : 0);
    setup_ip_call();
    log_s.info("set control mode = %s", on ? "ON" : "OFF");
}

bool unit_controller::video_enable(int mode)
{
    static const char* const names[] = {"disable", "send", "receive"};
    if (mode < 0 || mode > 2) {
        log_s.warn("illegal video mode : %d", mode);
        return false;
    }
    config().set("video.enable", mode);
    save_config_file();
    setup_ip_call();
    log_s.info("video mode = %s", names[mode]);
    return true;
}

bool unit_controller::baudrate(int speed)
{
    static const int speeds[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (int s : speeds) {
        if (s == speed) {
            config().set("comm.speed", speed);
            save_config_file();
            log_s.info("set baudrate: %d [bit/s]", speed);
            return true;
        }
    }
    log_s.warn("invalid baudrate %d", speed);
    return false;
}

void unit_controller::analog_in_gain(const std::pair<float, float>& db)
{
    m_audio->input_gain(db);
    config().set("audio.analog_in_l_gain", db.first);
    config().set("audio.analog_in_r_gain", db.second);
}

void unit_controller::digital_in_gain(const std::pair<float, float>& db)
{
    m_audio->digital_in_gain(db);
    config().set("audio.digital_in_l_gain", db.first);
    config().set("audio.digital_in_r_gain", db.second);
}

void unit_controller::output_gain(const std::pair<float, float>& db)
{
    m_audio->output_gain(db);
    config().set("audio.out_l_gain", db.first);
    config().set("audio.out_r_gain", db.second);
}

void unit_controller::incom_gain(const std::pair<float, float>& db)
{
    m_incom->input_base_gain(db.first);
    m_incom->output_base_gain(db.second);
    config().set("incom.in_gain", db.first);
    config().set("incom.out_gain", db.second);
}

void unit_controller::contact_address(const std::string& address)
{
    config().set("ip_call.contact_addr", address);
    if (m_ip_call)
        m_ip_call->set_contact_address(address);
    save_config_file();
}

void unit_controller::set_test_sound(int id)
{
    m_audio->set_test_sound(static_cast<orva::test_sound_id>(id));
    if (id != 0) {
        m_audio->set_hp_src(1);
        config().set("headphone.source", 1);
        save_config_file();
    }
}

void unit_controller::restore_default_settings()
{
    log_s.warn("restore settings to default value.");
    config().restore_default();
    save_config_file();
    try {
        network_manager lan("eth0");
        if (!lan.dhcp() && !lan.set_dhcp())
            log_s.error("can' to change to DHCP mode.");
    } catch (const std::exception&) {
        log_s.error("can' to change to DHCP mode.");
    }
    app_controller::post(command(appcmd_quit));
}
