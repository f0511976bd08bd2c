// An audio engine: one pair of sound-card streams, the capture, playback, send and receive
// threads over them, the sockets of an RTP stream, the send queue and the packet buffer.
// The intercom engine is a plain audio_manager_base; the main engine is an audio_manager.
//
// All operations run on the controller's thread, except the reports the receive thread makes
// through the listener and `stop_rtp_transmission`, which the controller may call from inside
// such a report. RTP start and stop are serialised; the send thread's lifetime is guarded so
// that the time-out path and a concurrent stop never touch a deleted thread object.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "audio_dev.h"
#include "audio_in_thr.h"
#include "audio_out_thr.h"
#include "audio_snd_thr.h"
#include "codec.h"
#include "line_queue.h"
#include "media_listener.h"
#include "packetbuf.h"
#include "rcv_thr.h"

namespace orva {

class audio_manager_base {
 public:
  struct buffer_ctrl {
    int pkts_pback;  // packets held before playback starts; the buffer holds five times this
    int smpls_dec;   // drift thresholds in sample frames
    int smpls_stop;
  };

  // `devices` null: the ALSA cards.
  audio_manager_base(media_listener* listener, bool main, const char* capture_name, const char* playback_name,
                     audio_device_factory* devices = nullptr);
  audio_manager_base(const audio_manager_base&) = delete;
  audio_manager_base& operator=(const audio_manager_base&) = delete;
  virtual ~audio_manager_base();

  virtual int start_threads(int sampling_frequency, int frame_samples);
  virtual void stop_threads();
  // Opens both devices for the codec; throws std::system_error when one cannot be opened.
  virtual bool open_streams(codec* c, int in_periods, int out_periods);
  virtual int start_streams() { return 0; }
  virtual void close_streams();
  // Restarts devices and threads for a codec; 0 or the failing step's code. A null codec throws
  // std::runtime_error "unsupported codec".
  virtual int restart(codec* c, int in_periods, int out_periods);
  virtual int start_rtp(const char* remote_address, const uint16_t* remote_ports, const uint16_t* local_ports, int num,
                        codec* c, const buffer_ctrl& ctrl);
  virtual int stop_rtp();
  virtual bool startable() const;

  // Ends the send thread only (it sends its end packets); receiving and playback go on. Safe
  // from the receive thread's reports.
  void stop_rtp_transmission();

  void notify_rtp_stat(bool receiving);
  void notify_rcv_end_packet();
  void set_recv_timeout(int ms);

  void input_base_gain(float db);
  void input_gain(const std::pair<float, float>& db);
  void output_base_gain(float db);
  void output_gain(const std::pair<float, float>& db);
  int sampling_frequency() const;
  int frame_size() const;
  void buffer_ctrl_param(int smpls_dec, int smpls_stop);

  codec* current_codec() const { return m_codec; }
  // Sample frames the playback thread's drift slip inserted and dropped (since its start).
  std::pair<int, int> slipped_frames() const;
  packet_buffer& buffer() { return m_buffer; }
  int rtp_socket(int line) const { return m_socket[line & 1]; }
  // The first packet number the running send thread will use next (for tests and tools).
  bool rtp_running() const;

 protected:
  int open_rtp_sock(const uint16_t* local_ports, int num);
  void close_rtp_sock();
  void apply_gains_to_threads();

  media_listener* m_listener;
  bool m_main;
  int m_socket[2] = {-1, -1};
  std::string m_capture_name, m_playback_name;
  audio_device_factory* m_devices;
  std::unique_ptr<audio_in_dev> m_in_dev;
  std::unique_ptr<audio_out_dev> m_out_dev;
  packet_buffer m_buffer{2, 16};
  std::unique_ptr<a_in_thr_base_f> m_in_thr;
  std::unique_ptr<a_snd_thr_f> m_snd_thr;
  std::unique_ptr<rcv_thr_f> m_rcv_thr;
  std::unique_ptr<a_out_thr_base_f> m_out_thr;
  std::thread m_in_thread, m_snd_thread, m_rcv_thread, m_out_thread;
  codec* m_codec = nullptr;
  line_queue m_send_queue;

  std::recursive_mutex m_rtp_mutex;  // serialises restart, start_rtp and stop_rtp
  mutable std::mutex m_snd_mutex;    // guards m_snd_thr against the receive thread's reports

  // Gains in force, re-applied to new threads after a restart.
  float m_in_base = 1.0f, m_in_left = 1.0f, m_in_right = 1.0f;
  float m_out_base = 1.0f, m_out_left = 1.0f, m_out_right = 1.0f;
  int m_smpls_dec = 0, m_smpls_stop = 0;
};

template <class T>
void stop_thread(std::unique_ptr<T>& obj, std::thread& t) {
  if (obj) obj->end();
  if (t.joinable()) t.join();
  obj.reset();
}

}  // namespace orva
