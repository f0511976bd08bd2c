// The main audio engine: the base engine plus the local monitor, the headphone-volume ramp
// around a restart, the input- and headphone-source lines, test sounds, level meters and the
// stream statistics.
#pragma once

#include "audio_manager_base.h"
#include "media_ports.h"
#include "stream_statistics.h"

namespace orva {

class audio_manager : public audio_manager_base {
 public:
  // The panel devices the engine drives (each may be null in tools and tests).
  struct ports {
    volume_port* hp_volume = nullptr;         // "/dev/spidev0.3"
    output_line_port* hp_source = nullptr;    // GPIO 87
    output_line_port* input_source = nullptr; // GPIO 84
  };

  audio_manager(media_listener* listener, bool main, const char* capture_name, const char* playback_name,
                const ports& p, audio_device_factory* devices = nullptr);
  ~audio_manager() override;

  int start_threads(int fs, int frame) override;
  int start_threads(int fs, int frame, level_meter_sink* meters);
  int restart(codec* c, int in_periods, int out_periods) override;
  int restart(codec* c, int in_periods, int out_periods, level_meter_sink* meters);
  int start_rtp(const char* remote_address, const uint16_t* remote_ports, const uint16_t* local_ports, int num,
                codec* c, const buffer_ctrl& ctrl) override;
  int start_rtp(const char* remote_address, const uint16_t* remote_ports, const uint16_t* local_ports, int num,
                codec* c, const buffer_ctrl& ctrl, int recv_timeout);
  int stop_rtp() override;

  void digital_in_base_gain(float db);
  void digital_in_gain(const std::pair<float, float>& db);
  void set_input_src(audio_src_e src);
  int get_input_src() const;
  void set_hp_src(int src);
  int get_hp_src() const;
  void set_test_sound(test_sound_id id);
  test_sound_id get_test_sound() const;
  int read_check_sound();
  int buffering_samples() const;

  void test_packet_loss();
  void test_pb_underflow();
  void test_pb_overflow();
  void test_alsa_overflow();
  void test_alsa_underflow();
  void serious_error() {}

  stream_statistics& statistics() { return m_statistics; }
  line_queue& monitor_queue() { return m_monitor_queue; }

 private:
  audio_in_thr_f* in_thr() const { return static_cast<audio_in_thr_f*>(m_in_thr.get()); }

  line_queue m_monitor_queue{128};
  // Local monitoring resumes when a stream stops (line 0).
  int m_monitor_restore_line = 0;
  ports m_ports;
  stream_statistics m_statistics;
  level_meter_sink* m_meters = nullptr;
  float m_dig_base = 1.0f, m_dig_left = 1.0f, m_dig_right = 1.0f;
  audio_src_e m_input_src = audio_src_analog;
  bool m_test_overflow = false, m_test_underflow = false, m_test_loss = false;
};

}  // namespace orva
