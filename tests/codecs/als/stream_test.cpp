// Memory stream, CRC-32 and profile checks shared by the ALS encoder and decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "nals.h"

TEST(AlsCrc, KnownValues) {
  uint32_t state;
  NALS_CRC32_Init(&state);
  NALS_CRC32_ProcessBlock(&state, "abc", 3);
  EXPECT_EQ(NALS_CRC32_Get(&state), 0x352441C2u);
  NALS_CRC32_Set(&state, 0x352441C2u);
  EXPECT_EQ(NALS_CRC32_Get(&state), 0x352441C2u);
}

TEST(AlsMemStream, WriteStopsAtTheEnd) {
  uint8_t buf[8];
  NALS_STREAM s;
  ASSERT_EQ(NALS_MemStream_Open(&s, buf, sizeof buf, "w"), 1);
  uint8_t src[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(NALS_Stream_Write(src, 4, &s), 4u);
  EXPECT_EQ(NALS_Stream_Write(src, 10, &s), 4u);
  EXPECT_EQ(NALS_Stream_Write(src, 1, &s), 0u);
  uint8_t dst[4];
  EXPECT_EQ(NALS_Stream_Read(dst, 4, &s), 0u);  // not readable
  NALS_Stream_Close(&s);
}

TEST(AlsMemStream, SeekOutsideFailsAndKeepsPosition) {
  uint8_t buf[8] = {};
  NALS_STREAM s;
  ASSERT_EQ(NALS_MemStream_Open(&s, buf, sizeof buf, "rw"), 1);
  ASSERT_EQ(NALS_Stream_Seek(&s, 3, 0), 1);
  EXPECT_EQ(NALS_Stream_Seek(&s, -4, 1), 0);
  EXPECT_EQ(s.error, 1);
  uint64_t pos = 0;
  ASSERT_EQ(NALS_Stream_Tell(&s, &pos), 1);
  EXPECT_EQ(pos, 3u);
  EXPECT_EQ(NALS_Stream_Seek(&s, INT64_MIN, 1), 0);
  EXPECT_EQ(NALS_Stream_Seek(&s, INT64_MAX, 1), 0);
  EXPECT_EQ(NALS_Stream_Seek(&s, 1, 2), 0);
  EXPECT_EQ(NALS_Stream_Seek(&s, -8, 2), 1);
  EXPECT_EQ(NALS_Stream_Seek(&s, 0, 7), 0);
}

TEST(AlsMemStream, OpenRefusesBadArguments) {
  NALS_STREAM s;
  uint8_t b[1];
  EXPECT_EQ(NALS_MemStream_Open(nullptr, b, 1, "r"), 0);
  EXPECT_EQ(NALS_MemStream_Open(&s, nullptr, 1, "r"), 0);
  EXPECT_EQ(NALS_MemStream_Open(&s, b, 1, "a"), 0);
  EXPECT_EQ(NALS_MemStream_Open(&s, nullptr, 0, "r"), 1);
}

TEST(AlsMemStream, Read32AndCopy) {
  uint8_t buf[6] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  NALS_STREAM s, d;
  ASSERT_EQ(NALS_MemStream_Open(&s, buf, sizeof buf, "r"), 1);
  uint32_t v = 0;
  ASSERT_EQ(NALS_Stream_Read32BE(&s, &v), 1);
  EXPECT_EQ(v, 0x12345678u);
  EXPECT_EQ(NALS_Stream_Read32BE(&s, &v), 0);
  std::vector<uint8_t> out(4);
  ASSERT_EQ(NALS_MemStream_Open(&d, out.data(), out.size(), "w"), 1);
  EXPECT_EQ(StreamCopy(&s, 1, 3, &d), 0);
  EXPECT_EQ(out[0], 0x34);
  EXPECT_EQ(out[2], 0x78);
  uint64_t pos;
  NALS_Stream_Tell(&s, &pos);
  EXPECT_EQ(pos, 6u);  // restored
  EXPECT_EQ(StreamCopy(&s, 4, 10, &d), NALS_ERR_WRITE);
}

TEST(AlsProfile, LevelsFollowTheConfiguration) {
  struct Case {
    uint32_t channels, resolution;
    uint32_t expected;
  } cases[] = {{2, 16, 15}, {2, 24, 2 | 8}, {6, 16, 4 | 8}, {8, 16, 0}};
  for (const Case& c : cases) {
    NALS_ASC asc{};
    asc.channels = c.channels;
    asc.resolution = c.resolution;
    asc.frequency = 48000;
    asc.frame_length = 2048;
    asc.max_order = 15;
    uint32_t mask = NALS_Profile_All;
    NALS_Profile_CheckConformance_ASC(&mask, &asc);
    EXPECT_EQ(mask, c.expected) << c.channels << "ch " << c.resolution;
  }
  uint32_t mask = 15;
  EXPECT_EQ(NALS_Profile_CheckConformane_MCCStages(&mask, 1), 0);
  EXPECT_EQ(mask, 15u);
  EXPECT_EQ(NALS_Profile_CheckConformane_MCCStages(&mask, 2), 1);
  EXPECT_EQ(mask, 0u);
}
