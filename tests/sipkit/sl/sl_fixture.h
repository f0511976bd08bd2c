// Starts the SIP layer around each test and checks that every object was given back.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "SLGenHdr.h"
#include "SLSip.h"
#include "SLSipHdr.h"
#include "SLSipMsg.h"
#include "SLUri.h"

class SLLayerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(0, SLSipInitialize());
    uris_ = SLUriGetLiveCount();
    gen_ = SLGenHdrGetLiveCount();
    hdrs_ = SLSipHdrGetLiveCount();
    msgs_ = SLSipMsgGetLiveCount();
  }
  void TearDown() override {
    EXPECT_EQ(uris_, SLUriGetLiveCount()) << "URI objects leaked";
    EXPECT_EQ(gen_, SLGenHdrGetLiveCount()) << "generic header objects leaked";
    EXPECT_EQ(hdrs_, SLSipHdrGetLiveCount()) << "typed header objects leaked";
    EXPECT_EQ(msgs_, SLSipMsgGetLiveCount()) << "message objects leaked";
    EXPECT_EQ(0, SLSipCleanup());
  }
  int uris_ = 0, gen_ = 0, hdrs_ = 0, msgs_ = 0;
};

inline constexpr int kHdrSyntax = static_cast<int>(0xA0ABA001u);
inline constexpr int kHdrInvalid = static_cast<int>(0xA0AB800Bu);
inline constexpr int kHdrNoMem = static_cast<int>(0xA0AB8008u);
inline constexpr int kHdrShort = static_cast<int>(0xA0AB800Au);
inline constexpr int kUriSyntax = static_cast<int>(0xA0AAA001u);

// Encoders write into a caller's buffer and report the size they need.
template <class F>
std::string encodeToString(F encode) {
  size_t size = 0;
  encode(static_cast<char *>(nullptr), &size);
  std::string s(size, '\0');
  size_t cap = size;
  int r = encode(s.data(), &cap);
  if (r != 0) return "<error " + std::to_string(r) + ">";
  s.resize(cap);
  return s;
}
