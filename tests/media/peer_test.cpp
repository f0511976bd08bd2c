// Our RTP against independent peers: tshark dissects what we send, ffmpeg decodes our streams
// through an SDP file, and ffmpeg as a sender is played by our receive path.
#include <fstream>
#include <map>

#include "engine_fixture.h"
#include "peer_process.h"

using namespace orva;
using namespace orva::test;
using namespace std::chrono_literals;

namespace {

struct rtp_row {
  int pt, seq, marker;
  uint32_t ts;
  int udp_len;
  bool ext;
  unsigned dsfield;
  double time;
};

std::vector<rtp_row> dissect(const std::string& pcap, uint16_t port) {
  const std::string out = shell_output("tshark -r " + pcap + " -d udp.port==" + std::to_string(port) +
                                       ",rtp -Y rtp -T fields -E separator=, -e rtp.p_type -e rtp.seq -e rtp.marker "
                                       "-e rtp.timestamp -e udp.length -e rtp.ext -e ip.dsfield -e frame.time_relative "
                                       "2>/dev/null");
  std::vector<rtp_row> rows;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ls(line);
    std::string x;
    while (std::getline(ls, x, ',')) f.push_back(x);
    if (f.size() < 8) continue;
    rtp_row r{};
    r.pt = std::stoi(f[0]);
    r.seq = std::stoi(f[1]);
    r.marker = (f[2] == "1" || f[2] == "True") ? 1 : 0;
    r.ts = static_cast<uint32_t>(std::stoul(f[3]));
    r.udp_len = std::stoi(f[4]);
    r.ext = f[5] == "1" || f[5] == "True";
    r.dsfield = static_cast<unsigned>(std::stoul(f[6], nullptr, 16));
    r.time = std::stod(f[7]);
    rows.push_back(r);
  }
  return rows;
}

bool wait_for_log(peer_process& p, const std::string& text, std::chrono::milliseconds limit) {
  return wait_for([&] { return p.log_contains(text); }, limit);
}

std::string write_sdp(const std::string& dir, uint16_t port, int pt, const std::string& rtpmap) {
  const std::string path = dir + "/stream.sdp";
  std::ofstream(path) << "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=orva\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\nm=audio " << port
                      << " RTP/AVP " << pt << "\r\na=rtpmap:" << pt << " " << rtpmap << "\r\n";
  return path;
}

}  // namespace

TEST(RtpPeers, TsharkDissectsOurPackets) {
  struct row { int id; uint32_t step; };
  for (const row& r : {row{audio_codec_LPCM, 128}, row{audio_codec_opus, 960}}) {
    const std::string dir = temp_dir();
    udp_socket sink;
    engine_side a({0, tone_signal(1000, 5000)});
    codec* c = a.start(r.id);
    peer_process tshark("exec tshark -i lo -f 'udp dst port " + std::to_string(sink.port()) + "' -w " + dir +
                            "/rtp.pcap -a duration:30",
                        dir + "/tshark.log");
    ASSERT_TRUE(wait_for_log(tshark, "Capturing on", 20s)) << tshark.log();
    std::this_thread::sleep_for(300ms);
    const uint16_t local = free_udp_port();
    ASSERT_EQ(a.stream_to(local, sink.port(), c), 0);
    ASSERT_TRUE(wait_for([&] { return !sink.receive(100ms).empty(); }, 10s));
    std::this_thread::sleep_for(500ms);
    a.engine.stop_rtp();
    std::this_thread::sleep_for(300ms);
    tshark.stop();
    const auto rows = dissect(dir + "/rtp.pcap", sink.port());
    ASSERT_GT(rows.size(), 20u) << tshark.log();
    const size_t n = rows.size();
    EXPECT_EQ(rows[0].seq, 60000);
    EXPECT_EQ(rows[0].ts, 0u);
    EXPECT_EQ(rows[0].marker, 1);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(rows[i].pt, r.id) << i;
      EXPECT_EQ(rows[i].dsfield, 0x80u) << i;
      if (i > 0) {
        EXPECT_EQ(rows[i].marker, 0) << i;
        EXPECT_EQ(rows[i].seq, (rows[i - 1].seq + 1) % 65536) << i;
        EXPECT_EQ(rows[i].ts - rows[i - 1].ts, r.step) << i;
      }
    }
    // Ten end packets of 20 bytes, with the header extension, about 5 ms apart.
    for (size_t i = n - 10; i < n; ++i) {
      EXPECT_EQ(rows[i].udp_len, 8 + 20) << i;
      EXPECT_TRUE(rows[i].ext) << i;
    }
    EXPECT_FALSE(rows[n - 11].ext);
    const double span = rows[n - 1].time - rows[n - 10].time;
    EXPECT_GT(span, 9 * 0.004);
    EXPECT_LT(span, 0.5);
    shell_output("rm -rf " + dir);
  }
}

TEST(RtpPeers, FfmpegDecodesOurStreamsThroughAnSdpFile) {
  // ffmpeg's own decoders are the reference here: a 1 kHz tone must come out as that tone. The
  // thresholds are those of our own loopback (µ-law about 38 dB at best, Opus far more), less
  // a margin for ffmpeg's start of stream inside the measured second.
  struct row { int id; const char* rtpmap; int rate; int channels; double min_snr; };
  for (const row& r : {row{audio_codec_PCMU, "PCMU/8000", 8000, 1, 25.0}, row{audio_codec_opus, "opus/48000/2", 48000, 2, 25.0}}) {
    const std::string dir = temp_dir();
    const uint16_t port = free_udp_port();
    const std::string sdp = write_sdp(dir, port, r.id, r.rtpmap);
    engine_side a({0, tone_signal(1000, 10000)});
    codec* c = a.start(r.id);
    peer_process ff("exec ffmpeg -hide_banner -nostdin -loglevel info -protocol_whitelist file,udp,rtp -i " + sdp +
                        " -t 2 -y " + dir + "/out.wav",
                    dir + "/ffmpeg.log");
    std::this_thread::sleep_for(1s);
    const uint16_t local = free_udp_port();
    ASSERT_EQ(a.stream_to(local, port, c), 0);
    const int status = ff.wait(30s);
    a.engine.stop_rtp();
    ASSERT_EQ(status, 0) << ff.log();
    const wav_data w = read_wav(dir + "/out.wav");
    ASSERT_EQ(w.rate, r.rate) << ff.log();
    ASSERT_EQ(w.channels, r.channels);
    const size_t frames = w.samples.size() / r.channels;
    ASSERT_GT(frames, static_cast<size_t>(r.rate));
    for (int ch = 0; ch < r.channels; ++ch)
      EXPECT_GT(median_block_snr_db(w.samples, r.channels, ch, 1000, r.rate, frames - r.rate, r.rate, r.rate / 50), r.min_snr)
          << r.id;  // the median over 20 ms blocks: a stalled sender spoils a block, not the verdict
    shell_output("rm -rf " + dir);
  }
}

TEST(RtpPeers, FfmpegAsSenderIsPlayedByOurReceivePath) {
  struct row { int id; std::string encode; double min_snr; };
  const row rows[] = {
      {audio_codec_PCMU, "-f lavfi -i sine=frequency=1000:sample_rate=8000 -c:a pcm_mulaw", 25.0},
      {audio_codec_opus,
       "-f lavfi -i sine=frequency=1000:sample_rate=48000 -ac 2 -c:a libopus -b:a 256k -frame_duration 20", 25.0},
  };
  for (const row& r : rows) {
    engine_side b;
    codec* c = b.start(r.id);
    const uint16_t port = free_udp_port();
    udp_socket unused;
    ASSERT_EQ(b.stream_to(port, unused.port(), c, {4, 256, 128}, 0), 0);
    const std::string dir = temp_dir();
    peer_process ff("exec ffmpeg -hide_banner -nostdin -loglevel error -re " + r.encode + " -t 4 -f rtp rtp://127.0.0.1:" +
                        std::to_string(port) + "?pkt_size=1400",
                    dir + "/ffmpeg.log");
    ASSERT_TRUE(wait_for([&] { return b.listener.count(recording_listener::event::rtp_stat, 1) == 1; }, 15s)) << ff.log();
    std::this_thread::sleep_for(2500ms);
    const auto played = b.cards.record->copy();
    EXPECT_EQ(ff.wait(20s), 0) << ff.log();
    b.engine.stop_rtp();
    const size_t frames = played.size() / 2;
    ASSERT_GT(frames, 48000u);
    for (int ch = 0; ch < 2; ++ch)
      EXPECT_GT(median_block_snr_db(played, 2, ch, 1000, 48000, frames - 48000, 48000, 960), r.min_snr)
          << r.id << " ch " << ch;
    shell_output("rm -rf " + dir);
  }
}
