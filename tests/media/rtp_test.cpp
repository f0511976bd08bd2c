// RTP header writer and the receive-side parsing helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "rtp.h"

using namespace orva;

TEST(RtpFactory, FirstPacketsCarrySequenceTimestampAndMarker) {
  RTP_factory f(100, 48000, 128);
  unsigned char b[1600];
  const unsigned char pay[4] = {1, 2, 3, 4};
  struct row { uint16_t seq; uint32_t ts; bool marker; };
  const row rows[] = {{60000, 0, true}, {60001, 128, false}, {60002, 256, false}};
  for (const row& r : rows) {
    ASSERT_EQ(f.make_packet(b, sizeof b, pay, 4), 16);
    EXPECT_EQ(b[0], 0x80);
    EXPECT_EQ((b[1] & 0x80) != 0, r.marker);
    EXPECT_EQ(b[1] & 0x7f, 100);
    EXPECT_EQ((b[2] << 8) | b[3], r.seq);
    EXPECT_EQ((uint32_t{b[4]} << 24) | (b[5] << 16) | (b[6] << 8) | b[7], r.ts);
    uint32_t ssrc;
    std::memcpy(&ssrc, b + 8, 4);
    EXPECT_EQ(ssrc, f.ssrc());
    EXPECT_EQ(std::memcmp(b + 12, pay, 4), 0);
  }
}

TEST(RtpFactory, SkipsAndEndPacketsUseUpNumbersAndSteps) {
  RTP_factory f(0, 48000, 160);
  unsigned char b[1600];
  EXPECT_EQ(f.proc_error_packet(), 60000);
  ASSERT_EQ(f.make_packet(b, sizeof b, b, 0), 12);
  EXPECT_EQ((b[2] << 8) | b[3], 60001);
  EXPECT_NE(b[1] & 0x80, 0) << "a skip leaves the marker for the first real packet";
  EXPECT_EQ(b[7], 160);
  ASSERT_EQ(f.make_end_packet(b, sizeof b), 20);
  const unsigned char ext[8] = {0, 1, 0, 1, 0, 0, 0, 1};
  EXPECT_EQ(b[0], 0x90);
  EXPECT_EQ(std::memcmp(b + 12, ext, 8), 0);
  EXPECT_EQ((b[2] << 8) | b[3], 60002);
  EXPECT_TRUE(rtp_is_end_packet(b, 20));
  EXPECT_EQ(f.make_end_packet(b, 19), -2);
  EXPECT_EQ(f.make_end_packet(nullptr, 20), -1);
  EXPECT_EQ(f.make_packet(b, 15, b, 4), -2);
  EXPECT_EQ(f.make_packet(nullptr, 15, b, 4), -1);
}

TEST(RtpFactory, SequenceWrapsAt65536) {
  RTP_factory f(96, 48000, 960);
  unsigned char b[64];
  for (int i = 0; i < 5535; ++i) f.proc_error_packet();
  ASSERT_EQ(f.make_packet(b, sizeof b, b, 0), 12);
  EXPECT_EQ((b[2] << 8) | b[3], 65535);
  ASSERT_EQ(f.make_packet(b, sizeof b, b, 0), 12);
  EXPECT_EQ((b[2] << 8) | b[3], 0);
}

TEST(RtpParse, PayloadOffsetFollowsTheHeader) {
  struct row {
    const char* what;
    std::vector<unsigned char> pkt;
    bool ok;
    int offset, length;
  };
  std::vector<unsigned char> plain(12 + 8, 0);
  plain[0] = 0x80;
  std::vector<unsigned char> csrc(12 + 8 + 8, 0);
  csrc[0] = 0x82;
  std::vector<unsigned char> ext(12 + 4 + 8 + 8, 0);
  ext[0] = 0x90;
  ext[15] = 2;  // two extension words
  std::vector<unsigned char> pad(12 + 8, 0);
  pad[0] = 0xa0;
  pad.back() = 3;
  std::vector<unsigned char> badpad = pad;
  badpad.back() = 200;
  std::vector<unsigned char> badext(12 + 4, 0);
  badext[0] = 0x90;
  badext[15] = 9;
  std::vector<unsigned char> v1(20, 0);
  v1[0] = 0x40;
  const row rows[] = {
      {"plain", plain, true, 12, 8},
      {"two CSRCs", csrc, true, 20, 8},
      {"extension of 2 words", ext, true, 24, 8},
      {"padding of 3", pad, true, 12, 5},
      {"padding beyond the payload", badpad, false, 0, 0},
      {"extension beyond the datagram", badext, false, 0, 0},
      {"version 1", v1, false, 0, 0},
  };
  for (const row& r : rows) {
    int off = -1, len = -1;
    EXPECT_EQ(rtp_payload(r.pkt.data(), static_cast<int>(r.pkt.size()), &off, &len), r.ok) << r.what;
    if (r.ok) {
      EXPECT_EQ(off, r.offset) << r.what;
      EXPECT_EQ(len, r.length) << r.what;
    }
  }
}

TEST(RtpParse, OnlyTheExactEndPacketEndsTheStream) {
  unsigned char end[20] = {0x90, 100, 0, 1, 0, 0, 0, 0, 1, 2, 3, 4, 0, 1, 0, 1, 0, 0, 0, 1};
  EXPECT_TRUE(rtp_is_end_packet(end, 20));
  EXPECT_FALSE(rtp_is_end_packet(end, 21)) << "longer";
  unsigned char other_profile[20];
  std::memcpy(other_profile, end, 20);
  other_profile[13] = 0xde;
  EXPECT_FALSE(rtp_is_end_packet(other_profile, 20));
  unsigned char two_words[20];
  std::memcpy(two_words, end, 20);
  two_words[15] = 2;
  EXPECT_FALSE(rtp_is_end_packet(two_words, 20));
  unsigned char v1[20];
  std::memcpy(v1, end, 20);
  v1[0] = 0x50;
  EXPECT_FALSE(rtp_is_end_packet(v1, 20));
}
