// Playback threads: take packets from the packet buffer in sequence order, decode them (or
// conceal a missing one), hold the buffering level between the drift thresholds with a sample
// slip, apply the output gains and write to the playback device. The main engine's thread also
// plays the local monitor while no stream runs.
#pragma once

#include <atomic>
#include <boost/circular_buffer.hpp>
#include <memory>
#include <vector>

#include "audio_dev.h"
#include "codec.h"
#include "line_queue.h"
#include "media_ports.h"
#include "packetbuf.h"
#include "slip.h"
#include "stream_statistics.h"
#include "thread_function.h"

namespace orva {

class a_out_thr_base_f : public thread_function {
 public:
  enum resample_mode { mode_off = 0, mode_increment = 1, mode_decrement = 2 };

  a_out_thr_base_f(audio_out_dev* device, packet_buffer* buffer, stream_statistics* statistics);

  bool pre_proc() override;
  void main_loop() override;

  // The codec of the next stream (null: back to idle after the current frame).
  void set_next_codec(codec* c) { m_next_codec = c; }
  void set_network_mode(bool on) { m_network_mode = on; }
  void buffer_ctrl_param(int smpls_dec, int smpls_stop) {
    m_smpls_dec = smpls_dec;
    m_smpls_stop = smpls_stop;
  }
  void set_base_gain(float g) { m_base_gain = g; }
  void set_gain(float left, float right) {
    m_left_gain = left;
    m_right_gain = right;
  }
  void set_underflow_test(bool on) { m_underflow_test = on; }

  bool started() const { return m_started.load(); }
  void clear_buffer();
  // Buffered sample frames: queued in the device, in the PCM buffer, and in the packet buffer.
  int total_used_size() const;
  int buffering_samples() const { return m_buffering.load(); }
  resample_mode mode() const { return m_mode.load(); }
  // Sample frames the drift slip has inserted and dropped since the thread started.
  int inserted_frames() const { return m_inserted.load(); }
  int dropped_frames() const { return m_dropped.load(); }
  void write_setting_log() const;
  stream_statistics* statistics() const { return m_statistics; }

 protected:
  virtual std::vector<short> resample(const std::vector<short>& frame);
  virtual void before_output(std::vector<short>& frame);
  virtual void after_output(const std::vector<short>&) {}

  void prime_device();
  void network_frame();
  void get_output_frame(std::vector<short>& out);
  void take_next_codec() { m_codec = m_next_codec.load(); }
  void reset_stream_counters();
  const char* codec_name() const { return m_codec ? m_codec->name().c_str() : "---"; }

  audio_out_dev* m_device;
  packet_buffer* m_buffer;
  boost::circular_buffer<short> m_pcm;
  codec* m_codec = nullptr;  // owned by the playback thread
  std::atomic<codec*> m_next_codec{nullptr};
  std::atomic<bool> m_started{false};
  std::atomic<float> m_base_gain{1.0f}, m_left_gain{1.0f}, m_right_gain{1.0f};
  int m_decode_count = 0, m_decode_count_logged = -1;
  std::unique_ptr<slip> m_slip;
  std::atomic<resample_mode> m_mode{mode_off};
  std::atomic<int> m_smpls_dec{0}, m_smpls_stop{0};
  int m_above_count = 0;
  std::atomic<bool> m_network_mode{false};
  int m_frame_count = 0;
  stream_statistics* m_statistics;
  std::atomic<int> m_buffering{0};
  std::atomic<int> m_inserted{0}, m_dropped{0};
  std::atomic<bool> m_underflow_test{false};
  int m_channels, m_period;
  std::vector<short> m_frame, m_decoded, m_slipped;
  RTP m_packet;
};

class out_thr_f : public a_out_thr_base_f {
 public:
  out_thr_f(audio_out_dev* device, packet_buffer* buffer, line_queue* monitor_queue, level_meter_sink* meters,
            stream_statistics* statistics);

  bool pre_proc() override;
  void main_loop() override;

 protected:
  void after_output(const std::vector<short>& frame) override;

 private:
  void idle_loop();

  line_queue* m_monitor_queue;
  level_meter_sink* m_meters;
};

}  // namespace orva
