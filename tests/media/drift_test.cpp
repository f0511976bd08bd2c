// The playback thread's drift correction in virtual time: a sender whose clock runs 200 ppm
// one way and a playback card 200 ppm the other, for two minutes of audio, computed without
// waiting for a real clock (so that a loaded test machine cannot disturb it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include <algorithm>

#include "audio_out_thr.h"
#include "codec_LPCM.h"
#include "packetbuf.h"
#include "rtp.h"

using namespace orva;

namespace {

// A playback card in virtual time: a write that does not fit advances the clock until it does.
class virtual_card : public audio_out_dev {
 public:
  virtual_card(double ppm, int period, int buffer) : m_rate(48000 * (1 + ppm * 1e-6)), m_period(period), m_buffer(buffer) {}
  int open(const char*, int, int, format, int, int) override { return 0; }
  int close() override { return 0; }
  int start() override { return 0; }
  int stop() override { return 0; }
  int sampling_frequency() const override { return 48000; }
  int frame_samples() const override { return m_period; }
  int channels() const override { return 2; }
  int write(const void*, int frames) override {
    const double consumed = m_time * m_rate;
    if (m_written + frames - consumed > m_buffer) m_time = (m_written + frames - m_buffer) / m_rate;
    m_written += frames;
    if (on_time) on_time(m_time);
    return frames;
  }
  int used_size() const override { return static_cast<int>(std::max(0.0, m_written - m_time * m_rate)); }
  double time() const { return m_time; }
  std::function<void(double)> on_time;

 private:
  double m_rate;
  int m_period, m_buffer;
  double m_time = 0, m_written = 0;
};

struct playback_probe : a_out_thr_base_f {
  using a_out_thr_base_f::a_out_thr_base_f;
  void start(codec* c) {
    set_next_codec(c);
    take_next_codec();
  }
  void frame() { network_frame(); }
};

struct drift_result {
  int min_level = 1 << 30, max_level = 0;
  int inserted = 0, dropped = 0;
};

// Sender at 48 kHz × (1 + sender_ppm), card at 48 kHz × (1 + card_ppm); 128-frame LPCM packets,
// start threshold 4, the SIP-mode thresholds 256 and 128, a card buffer of 3 periods.
drift_result run(double sender_ppm, double card_ppm, int seconds) {
  constexpr int frame = 128, pkts = 4;
  codec_LPCM c(frame);
  packet_buffer buffer(pkts, 5 * pkts);
  virtual_card card(card_ppm, frame, 3 * frame);
  playback_probe playback(&card, &buffer, nullptr);
  playback.buffer_ctrl_param(256, 128);
  RTP_factory f(100, 48000, frame);
  std::vector<short> pcm(frame * 2, 1000);
  unsigned char pay[frame * 4];
  c.encode(pay, sizeof pay, pcm.data(), frame);
  const double packet_s = frame / (48000 * (1 + sender_ppm * 1e-6));
  double next_packet = 0;
  card.on_time = [&](double t) {
    while (next_packet <= t) {
      RTP p;
      p.length = f.make_packet(p.data, sizeof p.data, pay, sizeof pay);
      buffer.add_packet(p);
      next_packet += packet_s;
    }
  };
  card.on_time(0);
  playback.start(&c);
  drift_result r;
  while (card.time() < seconds) {
    playback.frame();
    if (card.time() > 2) {  // after the start-up
      const int level = playback.buffering_samples();
      r.min_level = std::min(r.min_level, level);
      r.max_level = std::max(r.max_level, level);
    }
  }
  r.inserted = playback.inserted_frames();
  r.dropped = playback.dropped_frames();
  return r;
}

}  // namespace

TEST(DriftSlip, HoldsTheBufferingLevelWithCardsAt200PpmEitherWay) {
  // Start level num = 4 packets × 128 = 512 sample frames; the slip inserts as soon as the
  // level is below num, and drops after 5 s above num + 256, at which point 400 ppm has added
  // 5 s × 19.2 frames. The measure also holds up to one frame in the card and one in flight.
  constexpr int num = 512, dec = 256, seconds = 120;
  constexpr double drift = 400e-6 * 48000 * seconds;  // frames to correct over the run
  struct row { const char* what; double sender_ppm, card_ppm; bool level_rises; };
  for (const row& w : {row{"sender fast, card slow", 200, -200, true}, row{"sender slow, card fast", -200, 200, false}}) {
    const drift_result r = run(w.sender_ppm, w.card_ppm, seconds);
    std::printf("%s: level %d..%d, inserted %d, dropped %d\n", w.what, r.min_level, r.max_level, r.inserted, r.dropped);
    EXPECT_GE(r.min_level, num - 2 * 128) << w.what;
    EXPECT_LE(r.max_level, num + dec + 5 * 20 + 4 * 128) << w.what;
    // The slip did the correcting, in the right direction and by about the drift.
    const int net = w.level_rises ? r.dropped - r.inserted : r.inserted - r.dropped;
    EXPECT_NEAR(net, drift, 0.15 * drift) << w.what << ": inserted " << r.inserted << ", dropped " << r.dropped;
  }
}
