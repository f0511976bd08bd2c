// Drift slip and stream statistics.
#include <gtest/gtest.h>

#include <cstdlib>

#include "recording_listener.h"
#include "slip.h"
#include "stream_statistics.h"
#include "test_signal.h"

using namespace orva;

namespace {

struct slip_run {
  std::vector<int> per_call;  // sample frames out per call
  std::vector<short> out;
};

slip_run run_slip(slip& s, slip::mode_e mode, int frame, int calls) {
  slip_run r;
  EXPECT_TRUE(s.slip_mode(mode));
  for (int k = 0; k < calls; ++k) {
    const auto in = test::stereo_tone(frame, 440, 660, 12000, 48000, k * frame);
    r.per_call.push_back(s.apply(r.out, in));
  }
  return r;
}

}  // namespace

TEST(Slip, InsertAndDropChangeTheLengthByExactlyOneFrame) {
  struct row { const char* what; slip::mode_e mode; int frame; int total_delta; int changed_call; };
  const row rows[] = {
      // 960-frame cross-fade over 128-frame calls: completes in the 8th call (index 7).
      {"insert, 128-frame calls", slip::insert, 128, +1, 7},
      {"insert, one 960-frame call", slip::insert, 960, +1, 0},
      {"drop, 128-frame calls", slip::drop, 128, -1, 0},
      {"none", slip::none, 128, 0, -1},
  };
  for (const row& r : rows) {
    slip s(48000, r.frame, 2);
    const slip_run got = run_slip(s, r.mode, r.frame, 12);
    int total = 0;
    for (size_t k = 0; k < got.per_call.size(); ++k) {
      total += got.per_call[k];
      const int expect = static_cast<int>(k) == r.changed_call ? r.frame + r.total_delta : r.frame;
      EXPECT_EQ(got.per_call[k], expect) << r.what << " call " << k;
    }
    EXPECT_EQ(total, 12 * r.frame + r.total_delta) << r.what;
    EXPECT_FALSE(s.active()) << r.what;
    // The cross-fade keeps the waveform smooth: no step larger than the tones' own slope allows.
    int max_step = 0;
    for (size_t i = 2; i < got.out.size(); ++i) max_step = std::max(max_step, std::abs(got.out[i] - got.out[i - 2]));
    EXPECT_LT(max_step, 1200) << r.what;
  }
}

TEST(Slip, NewModeIsRefusedWhileACrossFadeRuns) {
  slip s(48000, 128, 2);
  std::vector<short> out;
  const auto in = test::stereo_tone(128, 440, 440, 1000);
  ASSERT_TRUE(s.slip_mode(slip::insert));
  s.apply(out, in);
  EXPECT_TRUE(s.active());
  EXPECT_FALSE(s.slip_mode(slip::drop));
  int total = 128;
  for (int k = 0; k < 10; ++k) total += s.apply(out, in);
  EXPECT_EQ(total, 11 * 128 + 1) << "the running insert completes";
  EXPECT_TRUE(s.slip_mode(slip::drop));
}

TEST(StreamStatistics, ErrorsAreReportedOnceAndClearedAfterTheHoldTime) {
  test::recording_listener l;
  stream_statistics st(&l);
  // Before counting starts (frame 1875 and earlier) nothing is counted or reported.
  for (int f = 1; f <= 1875; ++f) {
    EXPECT_FALSE(st.count_frame());
    EXPECT_EQ(st.error_event(stream_statistics::packet_losses), 0);
  }
  EXPECT_TRUE(st.count_frame());  // frame 1876
  EXPECT_TRUE(l.events().empty());
  while (st.frames() < 2000) st.count_frame();
  EXPECT_EQ(st.error_event(stream_statistics::packet_losses), 1);
  EXPECT_EQ(st.error_event(stream_statistics::alsa_underflows), 1);
  while (st.frames() < 2375) {
    st.count_frame();
    st.good_packet();
  }
  ASSERT_EQ(l.events().size(), 1u) << "one report for the marked error, none while it holds";
  st.count_frame();  // frame 2376
  st.good_packet();
  const auto ev = l.events();
  ASSERT_EQ(ev.size(), 2u);
  const std::vector<unsigned char> error = {1, 0, 0, 0, 1, 0, 0, 0}, good = {1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ev[0].value, 35);
  EXPECT_EQ(ev[0].payload, error);
  EXPECT_EQ(ev[1].value, 35);
  EXPECT_EQ(ev[1].payload, good);
  EXPECT_EQ(st.counter(stream_statistics::good_packets), 376);
  st.set_state(stream_statistics::ended);
  EXPECT_EQ(st.error_event(stream_statistics::packet_losses), 0);
  EXPECT_FALSE(st.count_frame()) << "counting does not restart for the same stream";
  st.reset();
  EXPECT_EQ(st.counter(stream_statistics::packet_losses), 0);
  EXPECT_EQ(st.state(), stream_statistics::idle);
}
