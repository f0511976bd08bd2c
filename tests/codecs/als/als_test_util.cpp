#include "als_test_util.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace alstest {

void* Alloc(uint32_t, uint32_t, uint32_t size) { return std::malloc(size ? size : 1); }
void Free(void* p) { std::free(p); }

std::vector<uint8_t> MakePcm(const Config& c, uint32_t samples, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  const uint32_t bps = c.resolution / 8;
  std::vector<uint8_t> out(static_cast<size_t>(samples) * c.channels * bps);
  const double full = std::ldexp(1.0, static_cast<int>(c.resolution) - 1) - 1;
  double common = 0;
  uint8_t* p = out.data();
  for (uint32_t n = 0; n < samples; ++n) {
    double t = static_cast<double>(n) / c.frequency;
    common = 0.97 * common + 0.03 * noise(rng);
    // Segments: tones, a pulse train (periodic, for long-term prediction), silence, loud noise.
    uint32_t seg = (n / 1500) % 4;
    for (uint32_t ch = 0; ch < c.channels; ++ch) {
      double v;
      switch (seg) {
        case 0: v = 0.4 * std::sin(2 * M_PI * (220.0 + 30 * ch) * t) + 0.2 * std::sin(2 * M_PI * 3300 * t) + 0.3 * common; break;
        case 1: v = ((n % 97) < 3 ? 0.6 : 0.0) * (ch % 2 ? -1 : 1) + 0.05 * noise(rng) + 0.3 * common; break;
        case 2: v = (ch == 0 && n % 1500 > 700) ? 0.0 : 0.001 * noise(rng); break;
        default: v = 0.25 * noise(rng) + 0.5 * common; break;
      }
      if (ch % 3 == 2) v = 0.8 * v + 0.1 * std::sin(2 * M_PI * 1000 * t);
      double s = std::round(v * full);
      if (s > full) s = full;
      if (s < -full - 1) s = -full - 1;
      int64_t iv = static_cast<int64_t>(s);
      if (c.lsb_check && c.resolution > 8 && seg == 3 && ch == 1) iv &= ~int64_t{3};  // zero low bits
      if (bps == 1) {
        *p++ = c.msb_first ? static_cast<uint8_t>(iv) : static_cast<uint8_t>(iv + 128);
      } else {
        uint32_t u = static_cast<uint32_t>(iv);
        if (c.msb_first)
          for (uint32_t b = bps; b-- > 0;) *p++ = static_cast<uint8_t>(u >> (8 * b));
        else
          for (uint32_t b = 0; b < bps; ++b) *p++ = static_cast<uint8_t>(u >> (8 * b));
      }
    }
  }
  return out;
}

namespace {

struct CallbackData {
  const Config* cfg;
  NALS_STREAM positions;
};

int32_t InfoCallback(NALSE_IMPL* enc, int32_t code, void* out1, void* out2, void* out3) {
  auto* cd = static_cast<CallbackData*>(NALSE_GetUserPtr(enc));
  const Config& c = *cd->cfg;
  if (code == NALS_INFO_CH_SORTING) {
    if (c.positions.empty()) return 0;
    NALS_MemStream_Open(&cd->positions, const_cast<uint16_t*>(c.positions.data()), c.positions.size() * 2, "r");
    *static_cast<NALS_STREAM**>(out1) = &cd->positions;
    *static_cast<uint64_t*>(out2) = 0;
    *static_cast<uint64_t*>(out3) = c.positions.size() * 2;
    return 1;
  }
  auto put = [&](uint32_t v) {
    std::memcpy(out1, &v, 4);
    return 1;
  };
  switch (code) {
    case NALS_INFO_MCC_STAGES: return put(c.mcc_stages);
    case NALS_INFO_MCC_MODE: return put(c.mcc_mode);
    case NALS_INFO_COEFF_TABLE: return c.coeff_table >= 0 ? put(static_cast<uint32_t>(c.coeff_table)) : 0;
    case NALS_INFO_LSB_FORTH_SHIFT: return c.lsb_forth_shift ? put(c.lsb_forth_shift) : 0;
    default: return 0;
  }
}

}  // namespace

Encoded Encode(const Config& c, const std::vector<uint8_t>& pcm) {
  Encoded e;
  NALSE_IMPL* enc = nullptr;
  if ((e.result = NALSE_Init(&enc, Alloc, Free))) return e;
  CallbackData cd{&c, {}};
  NALSE_SetUserPtr(enc, &cd);
  NALSE_SetInfoCallback(enc, InfoCallback);
  const uint32_t bps = c.resolution / 8;
  const uint32_t total = static_cast<uint32_t>(pcm.size() / (bps * c.channels));
  NALSE_PARAMS prm{};
  prm.frequency = c.frequency;
  prm.channels = c.channels;
  prm.resolution = c.resolution;
  prm.msb_first = c.msb_first;
  prm.samples_known = c.samples_known;
  prm.samples = total;
  prm.frame_length = c.frame_length;
  prm.random_access = c.random_access;
  prm.ra_location = c.ra_location;
  prm.crc_enabled = c.crc;
  prm.max_order = c.max_order;
  prm.adaptive = c.adaptive;
  prm.mcc = c.mcc;
  prm.joint_stereo = c.joint_stereo;
  prm.block_switching = c.block_switching;
  prm.ltp = c.ltp;
  prm.lsb_check = c.lsb_check;
  prm.lsb_roundup = c.lsb_roundup;
  prm.bs_thread_num = c.threads;
  if ((e.result = NALSE_Open(enc, &prm, sizeof prm))) {
    NALSE_Destroy(enc);
    return e;
  }
  uint32_t fl = 0, max_frame = 0, max_header = 0;
  NALSE_GetInfo(enc, NALS_INFO_FRAME_LENGTH, &fl);
  NALSE_GetMaximumFrameSize(enc, &max_frame);
  NALSE_GetMaximumHeaderSize(enc, &max_header);
  std::vector<uint8_t> buf(max_frame);
  if (c.ra_location == 1 && c.random_access > 1) {
    // Unit sizes in front of frames need one seekable stream for the whole unit.
    std::vector<uint8_t> all(static_cast<size_t>(max_frame) * (total / fl + 2));
    NALS_STREAM in, out;
    NALS_MemStream_Open(&in, const_cast<uint8_t*>(pcm.data()), pcm.size(), "r");
    NALS_MemStream_Open(&out, all.data(), all.size(), "rw");
    uint64_t last = 0;
    for (;;) {
      uint32_t got = 0;
      int32_t r = NALSE_EncodeFrame(enc, &in, &out, &got);
      if (r == NALS_ERR_END) break;
      if (r) {
        e.result = r;
        break;
      }
      uint64_t pos;
      NALS_Stream_Tell(&out, &pos);
      e.frames.emplace_back(all.begin() + static_cast<long>(last), all.begin() + static_cast<long>(pos));
      last = pos;
    }
    // Frames of one unit were rewritten later: take the final bytes.
    uint64_t pos = 0;
    for (auto& f : e.frames) {
      std::memcpy(f.data(), all.data() + pos, f.size());
      pos += f.size();
    }
  } else {
    for (uint32_t done = 0; done < total;) {
      uint32_t n = total - done < fl ? total - done : fl;
      uint32_t written = 0;
      int32_t r = NALSE_EncodeFrameOnMemory(enc, pcm.data() + static_cast<size_t>(done) * bps * c.channels, n,
                                            buf.data(), max_frame, &written);
      if (r) {
        e.result = r;
        break;
      }
      e.frames.emplace_back(buf.begin(), buf.begin() + written);
      done += n;
    }
  }
  e.header.resize(max_header + 64);
  uint32_t hw = 0;
  int32_t r = NALSE_OutputHeaderToMemory(enc, e.header.data(), static_cast<uint32_t>(e.header.size()), &hw);
  if (!e.result) e.result = r;
  e.header.resize(hw);
  NALSE_Close(enc);
  NALSE_Destroy(enc);
  return e;
}

namespace {
int32_t DecInfo(NALSD_IMPL* dec, int32_t code, uint64_t value, NALS_STREAM*, uint64_t) {
  if (code == NALS_INFO_CRC) *static_cast<uint32_t*>(NALSD_GetUserPtr(dec)) = static_cast<uint32_t>(value);
  return 0;
}
}  // namespace

int32_t Decode(const Encoded& e, std::vector<uint8_t>* pcm, uint32_t* crc_reported) {
  NALSD_IMPL* dec = nullptr;
  int32_t r = NALSD_Init(&dec, Alloc, Free);
  if (r) return r;
  uint32_t crc = 0;
  NALSD_SetUserPtr(dec, &crc);
  NALSD_SetInfoCallback(dec, DecInfo);
  NALSD_STREAM_INFO info{};
  r = NALSD_OpenOnMemory(dec, e.header.data(), static_cast<uint32_t>(e.header.size()), nullptr, &info, sizeof info);
  if (r) {
    NALSD_Destroy(dec);
    return r;
  }
  std::vector<uint8_t> frame(static_cast<size_t>(info.channels) * info.frame_length * (info.resolution / 8));
  pcm->clear();
  for (const auto& f : e.frames) {
    uint32_t consumed = 0, samples = 0;
    r = NALSD_DecodeFrameOnMemoryInterleaved(dec, f.data(), static_cast<uint32_t>(f.size()), &consumed, frame.data(),
                                             &samples, 0);
    if (r) break;
    if (consumed != f.size()) {
      r = -9999;
      break;
    }
    pcm->insert(pcm->end(), frame.begin(), frame.begin() + static_cast<long>(samples) * info.channels * (info.resolution / 8));
  }
  if (crc_reported) *crc_reported = crc;
  NALSD_Close(dec);
  NALSD_Destroy(dec);
  return r;
}

std::vector<Config> FeatureMatrix() {
  std::vector<Config> m;
  auto add = [&](const std::string& name, auto setup) {
    Config c;
    c.name = name;
    setup(c);
    m.push_back(c);
  };
  add("plain_stereo16", [](Config&) {});
  add("mono8", [](Config& c) { c.channels = 1; c.resolution = 8; });
  add("mono8_signed", [](Config& c) { c.channels = 1; c.resolution = 8; c.msb_first = 1; });
  add("stereo24", [](Config& c) { c.resolution = 24; });
  add("quad32", [](Config& c) { c.channels = 4; c.resolution = 32; c.frame_length = 1024; });
  for (uint32_t bs = 1; bs <= 5; ++bs)
    add("bs" + std::to_string(bs), [bs](Config& c) { c.block_switching = bs; c.frame_length = 4096; });
  add("js", [](Config& c) { c.joint_stereo = 1; });
  add("js_bs3", [](Config& c) { c.joint_stereo = 1; c.block_switching = 3; c.frame_length = 4096; });
  add("js_3ch_bs2", [](Config& c) { c.channels = 3; c.joint_stereo = 1; c.block_switching = 2; c.frame_length = 2048; });
  add("mcc3_stereo", [](Config& c) { c.mcc = 2; });
  add("mcc6_stereo", [](Config& c) { c.mcc = 2; c.mcc_mode = 2; });
  add("mcc3_6ch", [](Config& c) { c.channels = 6; c.mcc = 6; });
  add("mcc6_5ch_bs2", [](Config& c) { c.channels = 5; c.mcc = 5; c.mcc_mode = 2; c.block_switching = 2; c.frame_length = 2048; });
  add("mcc_js", [](Config& c) { c.mcc = 2; c.joint_stereo = 1; });
  add("mcc_js_256", [](Config& c) { c.mcc = 2; c.joint_stereo = 1; c.frame_length = 256; });
  add("mcc_js_general_3ch", [](Config& c) { c.channels = 3; c.mcc = 3; c.joint_stereo = 1; c.frame_length = 512; });
  add("mcc_js_bs4_8ch", [](Config& c) { c.channels = 8; c.mcc = 8; c.joint_stereo = 1; c.block_switching = 4; c.frame_length = 4096; });
  add("ltp", [](Config& c) { c.ltp = 1; c.frame_length = 4096; });
  add("ltp_mcc_bs1", [](Config& c) { c.ltp = 1; c.mcc = 2; c.block_switching = 1; c.frame_length = 4096; });
  for (int t = 0; t <= 3; ++t)
    add("coef_table" + std::to_string(t), [t](Config& c) { c.coeff_table = t; c.max_order = 40; });
  add("order127", [](Config& c) { c.max_order = 127; c.frame_length = 4096; });
  add("order1023", [](Config& c) { c.max_order = 1023; c.frame_length = 8192; c.channels = 1; });
  add("fixed_order20", [](Config& c) { c.adaptive = 0; c.max_order = 20; });
  add("ra0", [](Config& c) { c.random_access = 0; });
  add("ra10", [](Config& c) { c.random_access = 10; c.frame_length = 512; });
  add("ra10_loc1", [](Config& c) { c.random_access = 10; c.ra_location = 1; c.frame_length = 512; });
  add("ra1_loc1", [](Config& c) { c.ra_location = 1; });
  add("ra10_loc2", [](Config& c) { c.random_access = 10; c.ra_location = 2; c.frame_length = 512; });
  add("crc", [](Config& c) { c.crc = 1; });
  add("crc_8ch24", [](Config& c) { c.crc = 1; c.channels = 8; c.resolution = 24; });
  add("be16", [](Config& c) { c.msb_first = 1; });
  add("no_lsb_check", [](Config& c) { c.lsb_check = 0; });
  add("mcc2_stages", [](Config& c) { c.channels = 4; c.mcc = 4; c.mcc_stages = 2; c.mcc_mode = 0; });
  add("odd_frame_1000", [](Config& c) { c.frame_length = 1000; c.block_switching = 3; });
  add("threads", [](Config& c) { c.threads = 2; c.block_switching = 2; });
  // Pairs of one frame mix separate and joint coding: a joint pair after a separate one.
  add("js_mcc_7ch_bs5", [](Config& c) { c.channels = 7; c.frame_length = 1568; c.block_switching = 5; c.joint_stereo = 1; c.mcc = 6; c.mcc_mode = 2; c.mcc_stages = 2; c.ltp = 1; c.max_order = 74; c.coeff_table = 1; });
  add("bs3_5ch_independent", [](Config& c) { c.channels = 5; c.block_switching = 3; c.frame_length = 1024; });
  add("sorted_4ch", [](Config& c) { c.channels = 4; c.positions = {2, 0, 3, 1}; });
  add("sorted_6ch_mcc", [](Config& c) { c.channels = 6; c.mcc = 6; c.positions = {5, 4, 3, 2, 1, 0}; });
  return m;
}

}  // namespace alstest
