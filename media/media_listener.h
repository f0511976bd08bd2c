// What the media engine reports to the unit's controller. The controller implements this
// narrow interface; the engine holds a pointer that may be null (reports are then dropped).
#pragma once

#include <vector>

namespace orva {

class media_listener {
 public:
  virtual ~media_listener() = default;
  // The receive thread saw the first packet of a stream (true) or the receive time-out
  // (false). Runs on the receive thread.
  virtual void notify_rtp_stat(bool receiving) = 0;
  // The peer's end-of-stream packet arrived. Runs on the receive thread.
  virtual void notify_rcv_end_packet() = 0;
  // Posts a command to the controller's queue (id and byte payload); any thread.
  virtual void post(int command_id, std::vector<unsigned char> payload) = 0;
};

// Command 35: error status of a media source; payload {32-bit source, byte error, 3 zeros}.
constexpr int media_cmd_error_status = 35;
constexpr int media_error_source_audio = 1;
std::vector<unsigned char> media_error_status_payload(int source, bool error);

}  // namespace orva
