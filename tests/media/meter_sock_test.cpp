#include "meter_sock.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using orva::meter_sock;

struct pack_case {
  const char* name;
  std::vector<unsigned char> groups;  // 12 bytes
  uint32_t values[4];
};

uint32_t be32(const unsigned char* p) { return (uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

TEST(MeterSock, PacksFourTwentyBitValuesBigEndian) {
  const pack_case cases[] = {
      {"all zero", std::vector<unsigned char>(12, 0), {0, 0, 0, 0}},
      {"full and low nibble dropped",
       {0xFF, 0xFF, 0xF0, 0x12, 0x34, 0x5F, 0x00, 0x00, 0x10, 0x80, 0x00, 0x0F},
       {0xFFFFF, 0x12345, 0x00001, 0x80000}},
  };
  for (const auto& c : cases) {
    unsigned char out[orva::meter_datagram_size];
    orva::meter_pack(c.groups.data(), out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "ORVA") << c.name;
    for (int m = 0; m < 4; ++m)
      EXPECT_EQ(be32(out + 4 + 4 * m), c.values[m]) << c.name << " meter " << m;
  }
}

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

TEST(MeterSock, RefusesShortInputAndSendsNothingWhenDisabled) {
  const unsigned char data[12] = {};
  meter_sock off;
  EXPECT_EQ(off.send(data, 12), -1);
  meter_sock on(loopback(9));
  EXPECT_EQ(on.send(data, 11), -2);
  on.disable();
  EXPECT_EQ(on.send(data, 12), -1);
  EXPECT_TRUE(on.enable(loopback(9)));
  EXPECT_TRUE(on.enabled());
}

TEST(MeterSock, DatagramsAreDecodedByAnIndependentReader) {
  const std::string cmd = std::string("python3 ") + ORVA_SOURCE_DIR "/tests/media/meter_decode.py 2 10";
  FILE* reader = ::popen(cmd.c_str(), "r");
  ASSERT_NE(reader, nullptr);
  char line[128];
  ASSERT_NE(std::fgets(line, sizeof line, reader), nullptr);
  const int port = std::atoi(line);
  ASSERT_GT(port, 0);

  meter_sock sock(loopback(static_cast<uint16_t>(port)));
  const unsigned char zeros[12] = {};
  const unsigned char levels[12] = {0xFF, 0xFF, 0xF0, 0x12, 0x34, 0x5F, 0x00, 0x00, 0x10, 0x80, 0x00, 0x0F};
  EXPECT_EQ(sock.send(zeros, 12), 20);
  EXPECT_EQ(sock.send(levels, 12), 20);
  std::vector<std::string> lines;
  while (std::fgets(line, sizeof line, reader))
    lines.emplace_back(line);
  ::pclose(reader);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "ORVA 00000 00000 00000 00000\n");
  EXPECT_EQ(lines[1], "ORVA fffff 12345 00001 80000\n");
}

TEST(MeterSock, SwitchingOnAndOffWhileSendingIsSafe) {
  meter_sock sock;
  const unsigned char data[12] = {};
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    while (!stop)
      sock.send(data, 12);
  });
  for (int i = 0; i < 2000; ++i) {
    sock.enable(loopback(9));
    sock.disable();
  }
  stop = true;
  sender.join();
  EXPECT_FALSE(sock.enabled());
}

}  // namespace
