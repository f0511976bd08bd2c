// Two engines through the impairment relay: audio keeps flowing, losses are concealed and
// counted, and the relay itself repeats a run exactly for a seed.
#include "engine_fixture.h"
#include "udp_relay.h"

using namespace orva;
using namespace orva::test;
using namespace std::chrono_literals;

TEST(UdpRelay, SameSeedSameImpairments) {
  auto run = [](uint32_t seed) {
    udp_socket sink, source;
    impairment imp;
    imp.loss = 0.2;
    imp.duplicate = 0.1;
    imp.seed = seed;
    relay_counts c;
    {
      udp_relay relay(sink.port(), imp);
      for (int i = 0; i < 200; ++i) source.send_to(relay.port(), &i, sizeof i);
      wait_for([&] { return relay.counts().received == 200; }, 5s);
      std::this_thread::sleep_for(50ms);
      c = relay.counts();
    }
    int got = 0;
    while (!sink.receive(50ms).empty()) ++got;
    EXPECT_EQ(got, c.sent);
    return std::vector<int>{c.received, c.dropped, c.duplicated, c.sent};
  };
  const auto a = run(7), b = run(7), c = run(8);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a[0], 200);
  EXPECT_EQ(a[3], 200 - a[1] + a[2]);
  EXPECT_GT(a[1], 10);
  EXPECT_LT(a[1], 80);
}

TEST(EngineThroughRelay, AudioKeepsFlowingAndLossesAreConcealedAndCounted) {
  realtime_tries(3, [](bool last) {
    engine_side a({0, tone_signal(1000, 10000)}), b;
    codec* ca = a.start(audio_codec_LPCM);
    codec* cb = b.start(audio_codec_LPCM);
    b.engine.statistics().start_delay = 50;
    const uint16_t pa = free_udp_port(), pb = free_udp_port();
    impairment imp;
    imp.loss = 0.05;
    imp.duplicate = 0.03;
    imp.reorder = 0.05;
    imp.reorder_ms = 8;
    imp.delay_ms = 2;
    imp.jitter_ms = 6;
    imp.seed = 4;
    udp_relay relay(pb, imp);
    // Forty packets (107 ms) of buffer absorb the relay's jitter and reordering.
    EXPECT_EQ(a.stream_to(pa, relay.port(), ca, {40, 1024, 512}), 0);
    EXPECT_EQ(b.stream_to(pb, pa, cb, {40, 1024, 512}), 0);
    EXPECT_TRUE(wait_for([&] { return b.listener.count(recording_listener::event::rtp_stat, 1) == 1; }, 10s));
    std::this_thread::sleep_for(3s);
    const auto played = b.cards.record->copy();
    const relay_counts rc = relay.counts();
    const int losses = b.engine.statistics().counter(stream_statistics::packet_losses);
    a.engine.stop_rtp();
    b.engine.stop_rtp();
    EXPECT_GT(rc.dropped, 20);
    EXPECT_GT(rc.duplicated, 5);
    EXPECT_GT(rc.reordered, 20);
    // Every 20 ms of the last two seconds carries the tone: concealment fills the gaps.
    const size_t frames = played.size() / 2;
    int quiet_blocks = 100;
    if (frames > 2u * 48000u) {
      quiet_blocks = 0;
      for (size_t start = frames - 2 * 48000; start + 960 <= frames; start += 960) {
        double e = 0;
        for (size_t i = start; i < start + 960; ++i) e += double(played[2 * i]) * played[2 * i];
        if (std::sqrt(e / 960) < 1000) ++quiet_blocks;
      }
    }
    // Each dropped packet is a loss; duplicates add none.
    const bool raised = b.listener.count(recording_listener::event::command, 35) >= 1;
    const bool ok = quiet_blocks <= 2 && losses >= rc.dropped / 2 && losses <= rc.dropped * 2 + 10 && raised;
    if (last && !ok) {
      EXPECT_LE(quiet_blocks, 2);
      EXPECT_GE(losses, rc.dropped / 2);
      EXPECT_LE(losses, rc.dropped * 2 + 10);
      EXPECT_TRUE(raised) << "the error indication was raised";
    }
    return ok;
  });
}
