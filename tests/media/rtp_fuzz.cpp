// Received datagrams are untrusted: parse them, buffer them and hand them to every decoder.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec_manager.h"
#include "packetbuf.h"
#include "rtp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orva;
  static codec_manager codecs(128);
  static packet_buffer buffer(2, 10);
  if (size > RTP::capacity) return 0;
  RTP p{};
  std::memcpy(p.data, data, size);
  p.length = static_cast<int>(size);
  rtp_is_end_packet(p.data, p.length);
  buffer.add_packet(p);
  RTP out;
  if (buffer.get_packet(&out) == 0) {
    int offset = 0, length = 0;
    if (rtp_payload(out.data, out.length, &offset, &length)) {
      for (bool list_b : {false, true})
        for (codec* c : codecs.list(list_b)) {
          std::vector<short> pcm(static_cast<size_t>(c->max_decoded_frames()) * c->channels());
          const int n = c->decode(pcm.data(), c->max_decoded_frames(), out.data + offset, length);
          if (n > c->max_decoded_frames()) __builtin_trap();
          c->get_PLC_data(pcm.data(), c->max_decoded_frames());
        }
    }
  }
  return 0;
}
