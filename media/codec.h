// Audio codec interface of the media engine.
//
// Every audio codec is a class derived from `codec`. The audio threads see only this interface:
// the send thread encodes one captured frame per RTP packet, the playback thread decodes one
// payload per frame or asks for a concealment frame when a packet is missing. Frames are
// interleaved signed 16-bit samples; "frames" always counts samples per channel.
//
// A codec object is used at the same time by one send thread (encode) and one playback thread
// (decode, concealment): encoder and decoder state must be separate members, no lock is taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva {

// The codec identifier; it is also the RTP payload type on the wire.
enum audio_codec_id : int {
  audio_codec_PCMU = 0,
  audio_codec_opus = 96,
  audio_codec_LDALS = 97,
  audio_codec_SBADPCM = 99,
  audio_codec_LPCM = 100,
};

// Largest RTP payload any codec may produce: a packet area is 1600 bytes, 12 of them header.
constexpr int codec_max_payload = 1588;

class codec {
 public:
  codec() = default;
  codec(const codec&) = delete;
  codec& operator=(const codec&) = delete;
  virtual ~codec() = default;

  // Forgets encoder and decoder history at the start of a stream. Returns 0.
  virtual int reset() { return 0; }

  // Encodes one frame of `frames` interleaved sample frames into `out`, which holds
  // `out_capacity` bytes. Returns the payload length in bytes; below 1 on failure (the sender
  // then skips one sequence number).
  virtual int encode(unsigned char* out, int out_capacity, const short* in, int frames) {
    (void)out, (void)out_capacity, (void)in, (void)frames;
    return 0;
  }

  // Decodes one payload of `length` bytes into `out`, which has room for `out_frames` sample
  // frames of channels() samples each. Never writes beyond that room. Returns the sample frames
  // written; 0 when the payload is refused.
  virtual int decode(short* out, int out_frames, const unsigned char* in, int length) {
    (void)out, (void)out_frames, (void)in, (void)length;
    return 0;
  }

  // The same into a vector that is sized to what was decoded (empty on failure).
  virtual int decode(std::vector<short>& out, const unsigned char* in, int length);

  // Produces one concealment frame for a lost packet into `out` (room for `out_frames` sample
  // frames). Returns the sample frames written; 0 when the codec has nothing to conceal with.
  virtual int get_PLC_data(short* out, int out_frames) {
    (void)out, (void)out_frames;
    return 0;
  }

  // RTP timestamp step per packet.
  virtual int timestamp_interval() const { return m_frame_samples; }

  // Sample frames that one decoded payload may hold at most; sizes the decode buffers.
  virtual int max_decoded_frames() const { return m_frame_samples; }

  int id() const { return m_id; }
  int payload_type() const { return m_id; }
  int sampling_frequency() const { return m_sampling_frequency; }
  int frame_samples() const { return m_frame_samples; }
  const std::string& name() const { return m_name; }
  int bit_rate() const { return m_bit_rate; }
  int channels() const { return m_channels; }

 protected:
  codec(int id, int sampling_frequency, int frame_samples, const char* name, int bit_rate,
        int channels)
      : m_id(id), m_sampling_frequency(sampling_frequency), m_frame_samples(frame_samples),
        m_name(name), m_bit_rate(bit_rate), m_channels(channels) {}

  int m_id = -1;
  int m_sampling_frequency = 0;
  int m_frame_samples = 0;
  std::string m_name;
  int m_bit_rate = 0;  // kbit/s
  int m_channels = 0;
};

}  // namespace orva
