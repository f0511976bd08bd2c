#include "config_keys.h"

namespace {

// key, type, default, minimum, maximum (nullptr: no limit). Float texts are normalised to the
// stream form when the trees are built.
constexpr config_key key_table[] = {
    {"application.mode", key_type::integer, "0", "0", "1"},
    {"audio.enable", key_type::integer, "1", "0", "1"},
    {"audio.line", key_type::integer, "1", "0", "1"},
    {"audio.analog_in_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.analog_in_l_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.analog_in_r_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.digital_in_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.digital_in_l_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.digital_in_r_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.out_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.out_l_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.out_r_gain", key_type::real, "0.0", "-10.0", "10.0"},
    {"audio.codec_id", key_type::integer, "97", "0", "100"},
    {"audio.sampling_freq_hz", key_type::integer, "48000", nullptr, nullptr},
    {"audio.frame_length_samples", key_type::integer, "128", nullptr, nullptr},
    {"audio.smpls_for_dec", key_type::integer, "256", "128", "96000"},
    {"audio.smpls_for_stop", key_type::integer, "128", "64", "96000"},
    {"audio.smpls_for_dec_ip", key_type::integer, "512", "128", "96000"},
    {"audio.smpls_for_stop_ip", key_type::integer, "256", "64", "96000"},
    {"audio.band_width_kbps", key_type::integer, "800", nullptr, nullptr},
    {"audio.port", key_type::integer, "15000", "1024", "65535"},
    {"audio.rtp_timeout_s", key_type::integer, "2", "0", "3600"},
    {"audio.in_delay", key_type::integer, "3", "2", "256"},
    {"audio.out_delay", key_type::integer, "3", "2", "256"},
    {"audio.loopback", key_type::integer, "0", "0", "1"},
    {"audio.impedance", key_type::integer, "0", "0", "1"},
    {"buffer.ngn_clear", key_type::integer, "4", "1", "1000"},
    {"buffer.ngn_opus", key_type::integer, "4", "1", "1000"},
    {"buffer.ngn_sbadpcm", key_type::integer, "4", "1", "1000"},
    {"buffer.ngn_tel", key_type::integer, "4", "1", "1000"},
    {"buffer.ngn_lpcm", key_type::integer, "4", "1", "1000"},
    {"buffer.ip_clear", key_type::integer, "12", "1", "1000"},
    {"buffer.ip_opus", key_type::integer, "12", "1", "1000"},
    {"buffer.ip_sbadpcm", key_type::integer, "12", "1", "1000"},
    {"buffer.ip_tel", key_type::integer, "12", "1", "1000"},
    {"buffer.ip_lpcm", key_type::integer, "12", "1", "1000"},
    {"video.enable", key_type::integer, "0", "0", "2"},
    {"video.frame_rate_fps", key_type::integer, "5", "1", "10"},
    {"video.band_width_kbps", key_type::integer, "800", "100", "1000"},
    {"video.port", key_type::integer, "26000", "10000", "65535"},
    {"incom.enable", key_type::integer, "0", "0", "1"},
    {"incom.in_gain", key_type::real, "0.0", "-20.0", "20.0"},
    {"incom.out_gain", key_type::real, "0.0", "-20.0", "20.0"},
    {"incom.codec_id", key_type::integer, "0", nullptr, nullptr},
    {"incom.sampling_freq_hz", key_type::integer, "8000", nullptr, nullptr},
    {"incom.frame_length_samples", key_type::integer, "160", nullptr, nullptr},
    {"incom.band_width_kbps", key_type::integer, "90", nullptr, nullptr},
    {"incom.pkts_for_pback", key_type::integer, "4", "1", "256"},
    {"incom.pkts_for_pback_ip", key_type::integer, "16", "2", "256"},
    {"incom.port", key_type::integer, "16000", "10000", "65535"},
    {"control.enable", key_type::integer, "0", "0", "1"},
    {"control.port", key_type::integer, "17000", "10000", "65535"},
    {"control.band_width_kbps", key_type::integer, "100", "20", "100"},
    {"control.use_all_gpio", key_type::integer, "0", "0", "1"},
    {"comm.speed", key_type::integer, "9600", "300", "115200"},
    {"comm.length", key_type::integer, "8", "7", "8"},
    {"comm.parity", key_type::integer, "0", "0", "2"},
    {"comm.stopbit", key_type::integer, "1", "1", "2"},
    {"comm.flowctrl", key_type::integer, "0", "0", "2"},
    {"ip_call.port", key_type::integer, "23500", nullptr, nullptr},
    {"ip_call.net_if", key_type::text, "eth0", nullptr, nullptr},
    {"ip_call.contact_addr", key_type::text, "", nullptr, nullptr},
    {"headphone.source", key_type::integer, "0", "0", "1"},
    {"headphone.volume", key_type::integer, "32", "0", "63"},
    {"ui.err_msg_s", key_type::integer, "3", "0", "60"},
    {"host.lan", key_type::text, "eth0", nullptr, nullptr},
    {"dial.last_number", key_type::text, "", nullptr, nullptr},
    {"dial.last_ip", key_type::text, "", nullptr, nullptr},
    {"dial.auto_connect", key_type::integer, "1", nullptr, nullptr},
    {"dial.contact", key_type::text, "", nullptr, nullptr},
    {"dial.contact_ip", key_type::text, "", nullptr, nullptr},
    {"dial.contact_mode", key_type::integer, "0", "0", "1"},
    {"dial.pulse_time", key_type::integer, "500", "100", "1000"},
    {"log.level", key_type::integer, "3", "0", "3"},
    {"log.max_files", key_type::integer, "30", "0", "100"},
    {"LAN1.ip_addr", key_type::text, "", nullptr, nullptr},
    {"LAN1.subnet_mask", key_type::text, "", nullptr, nullptr},
    {"LAN1.gw_addr", key_type::text, "", nullptr, nullptr},
    {"LAN2.ip_addr", key_type::text, "", nullptr, nullptr},
    {"LAN2.subnet_mask", key_type::text, "", nullptr, nullptr},
    {"reconnect.enable", key_type::integer, "0", "0", "1"},
    {"reconnect.times", key_type::integer, "10", "1", "9999"},
    {"debug.console", key_type::integer, "0", nullptr, nullptr},
    {"debug.test_packet_loss", key_type::integer, "0", nullptr, nullptr},
    {"debug.test_pb_overflow", key_type::integer, "0", nullptr, nullptr},
    {"debug.test_pb_underflow", key_type::integer, "0", nullptr, nullptr},
    {"debug.test_alsa_overflow", key_type::integer, "0", nullptr, nullptr},
    {"debug.test_alsa_underflow", key_type::integer, "0", nullptr, nullptr},
};

}  // namespace

std::span<const config_key> config_keys()
{
    return key_table;
}

const config_key* find_config_key(std::string_view key)
{
    for (const auto& k : key_table)
        if (key == k.key)
            return &k;
    return nullptr;
}
