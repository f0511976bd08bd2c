// Every message the encoder and the builders write is decoded by tshark as SIP, without
// malformed packets or expert errors and warnings.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "sl_fixture.h"
#include "sl_messages.h"

namespace {

std::string run(const std::string &cmd) {
  std::string out;
  FILE *p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

class SLTsharkTest : public SLLayerTest {};

TEST_F(SLTsharkTest, EncodedMessagesDecodeCleanly) {
  ASSERT_EQ(0, system("command -v tshark >/dev/null && command -v text2pcap >/dev/null"))
      << "tshark and text2pcap are needed (scripts/deps installs them)";
  std::vector<std::string> msgs = slsample::allEncoded();
  ASSERT_EQ(9u, msgs.size());
  char dir[] = "/tmp/sltsharkXXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  std::string hex = std::string(dir) + "/msgs.txt", pcap = std::string(dir) + "/msgs.pcap";
  {
    std::ofstream f(hex);
    for (const std::string &m : msgs) {
      ASSERT_FALSE(m.empty());
      for (size_t i = 0; i < m.size(); ++i) {
        if (i % 16 == 0) {
          char off[32];
          snprintf(off, sizeof off, "%s%06zx ", i ? "\n" : "", i);
          f << off;
        }
        char b[4];
        snprintf(b, sizeof b, " %02x", static_cast<unsigned char>(m[i]));
        f << b;
      }
      f << "\n";
    }
  }
  ASSERT_EQ(0, system(("text2pcap -q -u 5060,5060 " + hex + " " + pcap + " 2>/dev/null").c_str()));
  std::string frames = run("tshark -n -r " + pcap + " -Y sip -T fields -e frame.number -e sip.Method -e sip.Status-Code 2>&1");
  int count = 0;
  std::istringstream lines(frames);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && isdigit(static_cast<unsigned char>(line[0]))) ++count;
  EXPECT_EQ(int(msgs.size()), count) << frames;
  std::string detail = run("tshark -n -r " + pcap + " -V 2>&1");
  EXPECT_EQ(std::string::npos, detail.find("Malformed")) << detail;
  std::string expert = run("tshark -n -r " + pcap + " -z expert,warn -q 2>&1");
  EXPECT_EQ(std::string::npos, expert.find("Warning")) << expert;
  EXPECT_EQ(std::string::npos, expert.find("Error")) << expert;
  // The fields tshark reads agree with what was written.
  std::string fields = run("tshark -n -r " + pcap + " -Y sip -T fields -E separator=, -e sip.CSeq.method -e sip.Call-ID "
                           "-e sip.from.tag -e sip.auth.digest.response 2>/dev/null");
  const char *expected[] = {"INVITE", "INVITE", "INVITE", "INVITE", "INVITE", "ACK", "CANCEL", "REGISTER", "NOTIFY"};
  std::istringstream fl(fields);
  size_t i = 0;
  for (std::string line; std::getline(fl, line) && i < 9; ++i) {
    EXPECT_EQ(0u, line.find(std::string(expected[i]) + ",")) << line;
    if (i < 7) {
      EXPECT_NE(std::string::npos, line.find(",9fxced76sl")) << "From tag of frame " << i + 1 << ": " << line;
    }
  }
  EXPECT_EQ(9u, i) << fields;
  EXPECT_NE(std::string::npos, fields.find("REGISTER,1j9FpLxk3uxtm8tn@192.0.2.10,a73kszlfl,")) << fields;
  // The sipfrag body of the NOTIFY is decoded as a status line of its own.
  EXPECT_NE(std::string::npos, detail.find("message/sipfrag")) << detail;
  run(std::string("rm -rf ") + dir);
}

}  // namespace
