// orva-udp-relay: forwards UDP datagrams arriving on a loopback port to another loopback port
// with loss, duplication, reordering and jitter, for trying two units against a bad network.
//   orva-udp-relay DEST_PORT [loss dup reorder delay_ms jitter_ms seed]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "udp_relay.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DEST_PORT [loss dup reorder delay_ms jitter_ms seed]\n", argv[0]);
    return 2;
  }
  orva::test::impairment imp;
  auto arg = [&](int i, double d) { return argc > i ? std::atof(argv[i]) : d; };
  imp.loss = arg(2, 0.05);
  imp.duplicate = arg(3, 0.02);
  imp.reorder = arg(4, 0.05);
  imp.delay_ms = static_cast<int>(arg(5, 5));
  imp.jitter_ms = static_cast<int>(arg(6, 10));
  imp.seed = static_cast<uint32_t>(arg(7, 1));
  orva::test::udp_relay relay(static_cast<uint16_t>(std::atoi(argv[1])), imp);
  std::printf("%u\n", relay.port());
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
