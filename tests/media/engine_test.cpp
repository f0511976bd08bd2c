// Two engines over loopback: audio quality per codec, end of stream, receive time-out, and
// the engine's own error paths.
#include "engine_fixture.h"

#include <cstring>

using namespace orva;
using namespace orva::test;
using namespace std::chrono_literals;

TEST(EngineLoopback, LpcmArrivesBitExactAfterStartUp) {
  realtime_tries(3, [](bool last) {
    engine_side a({0, position_signal}), b;
    codec* ca = a.start(audio_codec_LPCM);
    codec* cb = b.start(audio_codec_LPCM);
    const uint16_t pa = free_udp_port(), pb = free_udp_port();
    // Twelve packets of buffer (the IP-call default).
    EXPECT_EQ(a.stream_to(pa, pb, ca, {12, 512, 256}), 0);
    EXPECT_EQ(b.stream_to(pb, pa, cb, {12, 512, 256}), 0);
    EXPECT_TRUE(wait_for([&] { return b.listener.count(recording_listener::event::rtp_stat, 1) == 1; }, 10s));
    std::this_thread::sleep_for(3s);
    const auto played = b.cards.record->copy();
    a.engine.stop_rtp();
    const bool ended = wait_for([&] { return b.listener.count(recording_listener::event::end_packet, 0) == 1; }, 2s);
    b.engine.stop_rtp();
    // Bit for bit: any fault of the path (byte order, channels, a sample lost or added) leaves
    // no exact run at all; a stall may break a run, so: one run over half a second, and most of
    // the three seconds exact.
    const bool ok = longest_exact_run(played) > 48000u / 2 && exact_frames(played) > 3u * 48000u / 2;
    if (ok || last) {
      EXPECT_GT(longest_exact_run(played), 48000u / 2);
      EXPECT_GT(exact_frames(played), 3u * 48000u / 2);
      EXPECT_TRUE(ended) << "end packet reported";
      EXPECT_EQ(b.listener.count(recording_listener::event::rtp_stat, 1), 1) << "first packet reported once";
      EXPECT_EQ(b.listener.count(recording_listener::event::rtp_stat, 0), 0);
    }
    return ok;
  });
}

TEST(EngineLoopback, LossyCodecsCarryAToneAboveTheirThreshold) {
  // µ-law: G.711's quantisation leaves about 38 dB for a tone at -10 dBFS; 30 dB allows for the
  // 1:6 converters. Opus at 384 kbit/s: far above 30 dB; a wrong frame size, channel mix-up or
  // concealed stream would fall far below it.
  struct row { int id; double min_snr; };
  for (const row& r : {row{audio_codec_PCMU, 30.0}, row{audio_codec_opus, 30.0}}) {
    realtime_tries(3, [&](bool last) {
      engine_side a({0, tone_signal(1000, 10000)}), b;
      codec* ca = a.start(r.id);
      codec* cb = b.start(r.id);
      const uint16_t pa = free_udp_port(), pb = free_udp_port();
      EXPECT_EQ(a.stream_to(pa, pb, ca), 0);
      EXPECT_EQ(b.stream_to(pb, pa, cb), 0);
      // The capture thread discards its first 100 periods (2 s of 960-frame periods).
      EXPECT_TRUE(wait_for([&] { return b.listener.count(recording_listener::event::rtp_stat, 1) == 1; }, 10s));
      std::this_thread::sleep_for(2000ms);
      const auto played = b.cards.record->copy();
      a.engine.stop_rtp();
      b.engine.stop_rtp();
      if (played.size() <= 2u * 48000u) {
        EXPECT_FALSE(last) << "too little played";
        return false;
      }
      // The last second before the stop.
      const size_t frames = played.size() / 2;
      const double l = median_block_snr_db(played, 2, 0, 1000, 48000, frames - 48000, 48000, 960);
      const double rr = median_block_snr_db(played, 2, 1, 1000, 48000, frames - 48000, 48000, 960);
      const bool ok = l > r.min_snr && rr > r.min_snr;
      if (!ok && last) {
        EXPECT_GT(l, r.min_snr) << r.id;
        EXPECT_GT(rr, r.min_snr) << r.id;
      }
      return ok;
    });
  }
}

TEST(EngineRtp, ReceiveTimeOutIsReportedAfterTwoSeconds) {
  engine_side b;
  codec* cb = b.start(audio_codec_LPCM);
  udp_socket peer;
  const uint16_t pb = free_udp_port();
  ASSERT_EQ(b.stream_to(pb, peer.port(), cb, {4, 256, 128}, 2000), 0);
  // Nothing received yet: no time-out however long the wait.
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(b.listener.count(recording_listener::event::rtp_stat, 0), 0);
  RTP_factory f(100, 48000, 128);
  unsigned char pkt[1600], pay[512] = {};
  for (int i = 0; i < 10; ++i) {
    const int n = f.make_packet(pkt, sizeof pkt, pay, sizeof pay);
    peer.send_to(pb, pkt, static_cast<size_t>(n));
    std::this_thread::sleep_for(3ms);
  }
  const auto last = std::chrono::steady_clock::now();
  ASSERT_TRUE(wait_for([&] { return b.listener.count(recording_listener::event::rtp_stat, 0) == 1; }, 6s));
  const double after = std::chrono::duration<double>(std::chrono::steady_clock::now() - last).count();
  EXPECT_GE(after, 2.0);
  EXPECT_LT(after, 4.0);
  EXPECT_EQ(b.listener.count(recording_listener::event::rtp_stat, 1), 1);
  b.engine.stop_rtp();
}

TEST(EngineRtp, StopSendsTenEndPacketsAndOnlyTheyEndTheReceiver) {
  engine_side a({0, tone_signal(1000, 5000)});
  codec* ca = a.start(audio_codec_LPCM);
  udp_socket peer;
  const uint16_t pa = free_udp_port();
  ASSERT_EQ(a.stream_to(pa, peer.port(), ca), 0);
  // A packet with a header extension that is not the end packet is received as audio.
  RTP_factory f(100, 48000, 128);
  unsigned char pkt[64] = {};
  ASSERT_EQ(f.make_end_packet(pkt, sizeof pkt), 20);
  pkt[15] = 2;  // two extension words: not the end packet
  unsigned char longer[28] = {};
  std::memcpy(longer, pkt, 20);
  peer.send_to(pa, longer, sizeof longer);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(a.listener.count(recording_listener::event::end_packet, 0), 0);
  EXPECT_EQ(a.listener.count(recording_listener::event::rtp_stat, 1), 1);
  // Collect while the stop runs: the end packets are paced by the sender.
  std::vector<std::chrono::steady_clock::time_point> ends;
  std::vector<uint16_t> end_seqs;
  std::atomic<bool> stopped{false};
  std::thread collector([&] {
    for (auto d = peer.receive(300ms); !d.empty() || !stopped; d = peer.receive(300ms))
      if (rtp_is_end_packet(d.data(), static_cast<int>(d.size()))) {
        ends.push_back(std::chrono::steady_clock::now());
        end_seqs.push_back(static_cast<uint16_t>((d[2] << 8) | d[3]));
      }
  });
  a.engine.stop_rtp();
  stopped = true;
  collector.join();
  for (size_t i = 1; i < end_seqs.size(); ++i) EXPECT_EQ(end_seqs[i], static_cast<uint16_t>(end_seqs[i - 1] + 1));
  ASSERT_EQ(ends.size(), 10u);
  const double span = std::chrono::duration<double>(ends.back() - ends.front()).count();
  EXPECT_GE(span, 9 * 0.004);
  EXPECT_LT(span, 1.0);
}

TEST(EngineRtp, ErrorPathsReturnCodesInsteadOfCrashing) {
  engine_side a;
  codec* c = a.codecs.get(audio_codec_LPCM, false);
  const uint16_t port = free_udp_port(), remote = 9;
  // Before any restart there is no playback thread.
  EXPECT_EQ(a.engine.start_rtp("127.0.0.1", &remote, &port, 1, c, {4, 256, 128}, 0), -2);
  EXPECT_THROW(a.engine.restart(nullptr, 3, 3), std::runtime_error);
  a.start(audio_codec_LPCM);
  EXPECT_EQ(a.engine.start_rtp(nullptr, &remote, &port, 1, c, {4, 256, 128}, 0), -1);
  EXPECT_EQ(a.engine.start_rtp("127.0.0.1", &remote, &port, 1, nullptr, {4, 256, 128}, 0), -3);
  EXPECT_EQ(a.engine.start_rtp("127.0.0.1", &remote, &port, 0, c, {4, 256, 128}, 0), 0);
  EXPECT_FALSE(a.engine.rtp_running()) << "num 0 opens nothing and starts no thread";
  // A port that is taken: the stream must not be reported as started.
  udp_socket taken;
  const uint16_t busy = taken.port();
  EXPECT_EQ(a.engine.start_rtp("127.0.0.1", &remote, &busy, 1, c, {4, 256, 128}, 0), -1);
  EXPECT_FALSE(a.engine.rtp_running());
  EXPECT_EQ(a.engine.rtp_socket(0), -1);
  // Stop without a stream still reports the audio error cleared.
  a.listener.clear();
  EXPECT_EQ(a.engine.stop_rtp(), 0);
  const auto ev = a.listener.events();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].value, 35);
  EXPECT_EQ(ev[0].payload, (std::vector<unsigned char>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(EngineRtp, TwoLinesAlternateAndCarryDscp) {
  engine_side a({0, tone_signal(1000, 5000)});
  codec* c = a.start(audio_codec_LPCM);
  udp_socket r0, r1;
  const uint16_t remote[2] = {r0.port(), r1.port()};
  const uint16_t local[2] = {free_udp_port(), free_udp_port()};
  ASSERT_EQ(a.engine.start_rtp("127.0.0.1", remote, local, 2, c, {4, 256, 128}, 0), 0);
  int tos = 0;
  socklen_t len = sizeof tos;
  ASSERT_EQ(getsockopt(a.engine.rtp_socket(0), IPPROTO_IP, IP_TOS, &tos, &len), 0);
  EXPECT_EQ(tos, 0x80);
  std::vector<int> seq0, seq1;
  for (int i = 0; i < 20; ++i) {
    auto d0 = r0.receive(5s);
    auto d1 = r1.receive(5s);
    ASSERT_FALSE(d0.empty());
    ASSERT_FALSE(d1.empty());
    seq0.push_back((d0[2] << 8) | d0[3]);
    seq1.push_back((d1[2] << 8) | d1[3]);
  }
  for (int i = 0; i < 20; ++i) EXPECT_EQ((seq1[i] - seq0[i] + 65536) % 65536, 1) << i;
  a.engine.stop_rtp();
}

TEST(EngineRtp, TimeOutReportRacingAStopNeverUsesADeletedSender) {
  // The controller stops sending from inside the time-out report (on the receive thread) while
  // its own thread may be stopping the stream. Run the race repeatedly; ASan watches.
  struct stopping_listener : recording_listener {
    audio_manager_base* engine = nullptr;
    void notify_rtp_stat(bool receiving) override {
      recording_listener::notify_rtp_stat(receiving);
      if (!receiving && engine) {
        engine->stop_rtp_transmission();
        engine->stop_rtp();  // from the receive thread: must not join itself
      }
    }
  };
  stopping_listener l;
  fake_cards cards;
  codec_manager codecs(128);
  audio_manager e(&l, true, "c", "p", {}, &cards);
  l.engine = &e;
  codec* c = codecs.get(audio_codec_LPCM, false);
  ASSERT_EQ(e.restart(c, 3, 3), 0);
  ASSERT_TRUE(wait_for([&] { return e.startable(); }, 2s));
  udp_socket peer;
  RTP_factory f(100, 48000, 128);
  unsigned char pkt[1600], pay[512] = {};
  for (int round = 0; round < 4; ++round) {
    const uint16_t port = free_udp_port();
    ASSERT_EQ(e.start_rtp("127.0.0.1", &port, &port, 1, c, {4, 256, 128}, 100), 0);
    const int n = f.make_packet(pkt, sizeof pkt, pay, sizeof pay);
    peer.send_to(port, pkt, static_cast<size_t>(n));
    // The time-out fires after about 200 ms; stop at about that moment from this thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + 25 * round));
    e.stop_rtp();
  }
  SUCCEED();
}

TEST(EngineIntercom, EightKilohertzMonoMuLawCarriesTheTone) {
  // The intercom engine is the plain base engine on one card, mono at 8 kHz.
  auto tone8k = [](int64_t pos, short* f, int channels) {
    const double pi = std::acos(-1.0);
    for (int c = 0; c < channels; ++c) f[c] = static_cast<short>(std::lround(8000 * std::sin(2 * pi * 1000.0 * pos / 8000.0)));
  };
  realtime_tries(3, [&](bool last) {
    recording_listener la, lb;
    fake_cards ca({0, tone8k}), cb;
    codec_manager ma(128), mb(128);
    audio_manager_base a(&la, false, "c", "p", &ca), b(&lb, false, "c", "p", &cb);
    codec* c_a = ma.get(audio_codec_PCMU, true);
    codec* c_b = mb.get(audio_codec_PCMU, true);
    EXPECT_EQ(a.restart(c_a, 3, 3), 0);
    EXPECT_EQ(b.restart(c_b, 3, 3), 0);
    EXPECT_TRUE(wait_for([&] { return a.startable() && b.startable(); }, 5s));
    const uint16_t pa = free_udp_port(), pb = free_udp_port();
    EXPECT_EQ(a.start_rtp("127.0.0.1", &pb, &pa, 1, c_a, {16, 640, 320}), 0);
    EXPECT_EQ(b.start_rtp("127.0.0.1", &pa, &pb, 1, c_b, {16, 640, 320}), 0);
    EXPECT_TRUE(wait_for([&] { return lb.count(recording_listener::event::rtp_stat, 1) == 1; }, 10s));
    std::this_thread::sleep_for(1500ms);
    const auto played = cb.record->copy();
    a.stop_rtp();
    b.stop_rtp();
    EXPECT_EQ(cb.record->channels, 1);
    if (played.size() <= 8000u) {
      EXPECT_FALSE(last) << "too little played";
      return false;
    }
    // G.711 on a -12 dBFS tone: about 38 dB; the base engine adds nothing lossy.
    const double snr = median_block_snr_db(played, 1, 0, 1000, 8000, played.size() - 8000, 8000, 160);
    if (last) {
      EXPECT_GT(snr, 33.0);
    }
    return snr > 33.0;
  });
}

namespace {
struct recording_volume : volume_port {
  int v = 0;
  std::vector<int> writes;
  int get() const override { return v; }
  int set(int x) override {
    writes.push_back(x);
    return v = x;
  }
};
struct recording_line : output_line_port {
  bool on = false;
  int set(bool x) override {
    on = x;
    return 0;
  }
  bool get() const override { return on; }
};
struct no_cards : audio_device_factory {
  std::unique_ptr<audio_in_dev> open_in(const char*, int, int, int, int) override {
    throw std::system_error(ENOENT, std::system_category(), "snd_pcm_open");
  }
  std::unique_ptr<audio_out_dev> open_out(const char*, int, int, int, int) override { return nullptr; }
};
}  // namespace

TEST(EngineMain, HeadphoneRampAndSourceLines) {
  recording_volume vol;
  recording_line hp, input;
  recording_listener l;
  fake_cards cards;
  codec_manager codecs(128);
  audio_manager e(&l, true, "c", "p", {&vol, &hp, &input}, &cards);
  struct row { int volume; std::vector<int> writes; };
  for (const row& r : {row{0, {0}}, row{3, {3, 2, 1, 0, 1, 2, 3}}}) {
    vol.v = r.volume;
    vol.writes.clear();
    ASSERT_EQ(e.restart(codecs.get(audio_codec_LPCM, false), 3, 3), 0);
    EXPECT_EQ(vol.writes, r.writes) << r.volume;
  }
  e.set_hp_src(0);
  EXPECT_TRUE(hp.on);
  EXPECT_EQ(e.get_hp_src(), 0);
  e.set_hp_src(1);
  EXPECT_FALSE(hp.on);
  EXPECT_EQ(e.get_hp_src(), 1);
  e.set_input_src(audio_src_analog);
  EXPECT_TRUE(input.on);
  EXPECT_EQ(e.get_input_src(), 1);
  e.set_input_src(audio_src_digital);
  EXPECT_EQ(e.get_input_src(), 0);
  // A card that cannot be opened: the error comes out, nothing runs, the volume is back.
  no_cards none;
  audio_manager f(&l, true, "c", "p", {&vol, &hp, &input}, &none);
  vol.v = 2;
  vol.writes.clear();
  EXPECT_THROW(f.restart(codecs.get(audio_codec_LPCM, false), 3, 3), std::system_error);
  EXPECT_FALSE(f.startable());
  EXPECT_EQ(vol.writes, (std::vector<int>{2, 1, 0, 1, 2}));
}
