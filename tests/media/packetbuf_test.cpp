// The jitter buffer: order, losses, refusals and the recovery from a restarted sender.
#include <gtest/gtest.h>

#include <cstring>

#include "packetbuf.h"

using namespace orva;

namespace {

RTP packet(uint16_t seq, uint32_t ssrc = 0x11223344, int length = 16) {
  RTP p{};
  p.data[0] = 0x80;
  p.data[1] = 100;
  p.data[2] = static_cast<unsigned char>(seq >> 8);
  p.data[3] = static_cast<unsigned char>(seq);
  std::memcpy(p.data + 8, &ssrc, 4);
  p.length = length;
  return p;
}

// Adds the packets, then takes `gets` results; returns the codes and handed-out numbers.
std::vector<int> run(packet_buffer& b, const std::vector<int>& seqs, int gets) {
  for (int s : seqs) b.add_packet(packet(static_cast<uint16_t>(s)));
  std::vector<int> got;
  for (int i = 0; i < gets; ++i) {
    RTP p;
    const int r = b.get_packet(&p);
    got.push_back(r == 0 ? p.seq() : r);
  }
  return got;
}

}  // namespace

TEST(PacketBuffer, HandsOutInSequenceOrder) {
  struct row { const char* what; int threshold; std::vector<int> in; std::vector<int> out; };
  const row rows[] = {
      {"reordered", 3, {10, 12, 11}, {10, 11, 12, -301}},
      {"wraps", 2, {65535, 0, 65534}, {65534, 65535, 0, -301}},
      {"not started below the threshold", 3, {1, 2}, {-305, -305}},
      {"loss of 11 counted once, then 12", 3, {10, 12, 13}, {10, -303, 12, 13, -301}},
  };
  for (const row& r : rows) {
    packet_buffer b(r.threshold, 16);
    EXPECT_EQ(run(b, r.in, static_cast<int>(r.out.size())), r.out) << r.what;
  }
}

TEST(PacketBuffer, RefusesBadDuplicateAndLatePackets) {
  packet_buffer b(1, 16);
  RTP p = packet(100);
  ASSERT_EQ(b.add_packet(p), 0);
  EXPECT_EQ(b.add_packet(p), packet_buffer::err_duplicate);
  RTP shorty = packet(101, 0x11223344, 11);
  EXPECT_EQ(b.add_packet(shorty), packet_buffer::err_short);
  RTP v1 = packet(101);
  v1.data[0] = 0x40;
  EXPECT_EQ(b.add_packet(v1), packet_buffer::err_version);
  RTP lying = packet(101);
  lying.data[0] = 0x8f;  // fifteen CSRCs in a 16-byte datagram
  EXPECT_EQ(b.add_packet(lying), packet_buffer::err_short);
  EXPECT_EQ(b.add_packet(packet(101, 0x55555555)), packet_buffer::err_ssrc);
  RTP out;
  ASSERT_EQ(b.get_packet(&out), 0);
  // Behind the last handed out (100), modulo 65536: refused, never left to block the buffer.
  for (int s : {100, 99, 50, 1, 65535, 40000})
    EXPECT_EQ(b.add_packet(packet(static_cast<uint16_t>(s))), packet_buffer::err_late) << s;
  ASSERT_EQ(b.add_packet(packet(101)), 0);
  ASSERT_EQ(b.get_packet(&out), 0);
  EXPECT_EQ(out.seq(), 101);
}

TEST(PacketBuffer, LateNumbersAcrossTheWrapAreRefused) {
  packet_buffer b(1, 16);
  ASSERT_EQ(run(b, {2}, 1), std::vector<int>{2});
  EXPECT_EQ(b.add_packet(packet(65530)), packet_buffer::err_late);
  EXPECT_EQ(b.add_packet(packet(3)), 0);
}

TEST(PacketBuffer, OverflowClearsAndForgetsTheSender) {
  packet_buffer b(2, 4);
  for (int s = 0; s < 4; ++s) ASSERT_EQ(b.add_packet(packet(static_cast<uint16_t>(s))), 0);
  EXPECT_EQ(b.add_packet(packet(4)), packet_buffer::err_overflow);
  EXPECT_EQ(b.size(), 0);
  EXPECT_EQ(b.add_packet(packet(9, 0x99)), 0) << "a new sender is accepted after an overflow";
}

TEST(PacketBuffer, RestartedSenderIsLearnedAgain) {
  // New SSRC while the buffer is idle: learned at once.
  {
    packet_buffer b(1, 16);
    ASSERT_EQ(run(b, {500, 501}, 2), (std::vector<int>{500, 501}));
    EXPECT_EQ(b.add_packet(packet(60000, 0xabcdef)), 0);
    EXPECT_EQ(run(b, {}, 1), std::vector<int>{60000});
  }
  // Same SSRC restarting its numbers behind the last played one: learned after consecutive
  // refusals, instead of silence for the rest of the call.
  {
    packet_buffer b(2, 1000);
    std::vector<int> first;
    for (int s = 62000; s < 62010; ++s) first.push_back(s);
    run(b, first, 9);
    int refused = 0;
    uint16_t seq = 60000;
    for (int i = 0; i < 2 * packet_buffer::relearn_after; ++i, ++seq)
      if (b.add_packet(packet(seq)) != 0) ++refused;
    EXPECT_EQ(refused, packet_buffer::relearn_after - 1);
    RTP p;
    int handed = 0;
    for (int i = 0; i < 60; ++i)
      if (b.get_packet(&p) == 0) ++handed;
    EXPECT_GE(handed, packet_buffer::relearn_after);
  }
  // A new SSRC while packets of the old one are held: learned after consecutive refusals.
  {
    packet_buffer b(5, 100);
    run(b, {1, 2, 3}, 0);
    int refused = 0;
    for (int i = 0; i < packet_buffer::relearn_after + 5; ++i)
      if (b.add_packet(packet(static_cast<uint16_t>(700 + i), 0x77)) != 0) ++refused;
    EXPECT_EQ(refused, packet_buffer::relearn_after - 1);
  }
}

TEST(PacketBuffer, ASequenceJumpResynchronisesAtOnce) {
  packet_buffer b(1, 16);
  ASSERT_EQ(run(b, {10}, 1), std::vector<int>{10});
  EXPECT_EQ(run(b, {5000}, 1), std::vector<int>{5000})
      << "a jump far beyond any burst of losses is taken at once, not concealed frame by frame";
  EXPECT_EQ(run(b, {5002}, 2), (std::vector<int>{-303, 5002})) << "a short gap is concealed";
}

TEST(PacketBuffer, ClearForgetsEverything) {
  packet_buffer b(1, 16);
  run(b, {7, 8}, 1);
  b.clear();
  EXPECT_EQ(b.size(), 0);
  EXPECT_EQ(run(b, {3}, 1), std::vector<int>{3}) << "no last number, no SSRC after a clear";
}
