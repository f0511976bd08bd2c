// MD5 (RFC 1321 test suite), Base64 (RFC 4648 vectors), digest and Basic credentials.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

#include "SLAuth.h"
#include "SLDmMem.h"

// Stand-ins for the dialog manager's memory (the layer above provides the real ones).
void *SLDmMemAlloc(size_t size) { return malloc(size); }
void SLDmMemFree(void *block) { free(block); }

namespace {

constexpr int kInvalid = static_cast<int>(0xA102800Bu);

std::string md5(const std::string &s) {
  SLMD5Context ctx;
  SLMD5Init(&ctx);
  SLMD5Update(&ctx, s.data(), s.size());
  unsigned char d[16];
  SLMD5Final(d, &ctx);
  char hex[33];
  SLAuthConvertHex(d, hex);
  return hex;
}

TEST(SLMD5, MatchesTheTestSuiteOfRfc1321) {
  const struct {
    const char *in, *out;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto &c : cases) EXPECT_EQ(c.out, md5(c.in)) << c.in;
}

TEST(SLMD5, PiecewiseUpdatesGiveTheSameDigest) {
  std::string text(1000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('a' + i % 26);
  SLMD5Context ctx;
  SLMD5Init(&ctx);
  for (size_t i = 0; i < text.size(); i += 7) SLMD5Update(&ctx, text.data() + i, std::min<size_t>(7, text.size() - i));
  unsigned char d[16];
  SLMD5Final(d, &ctx);
  char hex[33];
  SLAuthConvertHex(d, hex);
  EXPECT_EQ(md5(text), hex);
}

TEST(SLBase64, EncodesAndDecodesRfc4648Vectors) {
  const struct {
    const char *plain, *coded;
  } cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
               {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"}};
  for (const auto &c : cases) {
    char out[32];
    EXPECT_EQ(int(strlen(c.coded)), SLBase64Encode(c.plain, int(strlen(c.plain)), out, sizeof out));
    EXPECT_STREQ(c.coded, out);
    EXPECT_EQ(int(strlen(c.plain)), SLBase64Decode(c.coded, int(strlen(c.coded)), out, sizeof out));
    EXPECT_STREQ(c.plain, out);
  }
}

TEST(SLBase64, EdgeCases) {
  char out[8];
  EXPECT_EQ(-1, SLBase64Encode("abc", 3, out, 4)) << "no room for the terminator";
  EXPECT_STREQ("", out);
  EXPECT_EQ(3, SLBase64Decode("YW Jj", 5, out, sizeof out));
  EXPECT_STREQ("abc", out);
  EXPECT_EQ(1, SLBase64Decode("YQ==", 4, out, sizeof out));
  EXPECT_STREQ("a", out);
  EXPECT_EQ(0, SLBase64Decode("YQ==", 0, out, sizeof out));
  EXPECT_EQ(-1, SLBase64Decode("YWJj", 4, out, 3));
  EXPECT_EQ(2, SLBase64Encode("ab\0cd", 5, out, sizeof out) / 2) << "stops at NUL";
}

TEST(SLBase64, AgreesWithPythonOnRandomTexts) {
  ASSERT_EQ(0, system("command -v python3 >/dev/null")) << "python3 is needed (scripts/deps installs it)";
  char dir[] = "/tmp/slb64XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  std::string in = std::string(dir) + "/in.txt", out = std::string(dir) + "/out.txt";
  std::vector<std::string> texts;
  unsigned seed = 12345;
  FILE *f = fopen(in.c_str(), "w");
  ASSERT_NE(nullptr, f);
  for (int i = 0; i < 300; ++i) {
    std::string t;
    for (int k = 0, n = i % 47; k < n; ++k) {
      seed = seed * 1103515245u + 12345u;
      t.push_back(char(1 + (seed >> 16) % 255));  // any byte but NUL and LF
      if (t.back() == '\n') t.back() = 'x';
    }
    texts.push_back(t);
    fwrite(t.data(), 1, t.size(), f);
    fputc('\n', f);
  }
  fclose(f);
  std::string cmd = "python3 -c \"import base64,sys\nfor l in open(sys.argv[1],'rb').read().split(b'\\\\n')[:-1]: "
                    "print(base64.b64encode(l).decode())\" " + in + " > " + out;
  ASSERT_EQ(0, system(cmd.c_str()));
  std::ifstream expected(out);
  for (const std::string &t : texts) {
    std::string want;
    std::getline(expected, want);
    std::vector<char> buf(t.size() * 2 + 8);
    ASSERT_EQ(int(want.size()), SLBase64Encode(t.data(), int(t.size()), buf.data(), int(buf.size())));
    EXPECT_EQ(want, buf.data());
    std::vector<char> back(t.size() + 1);
    ASSERT_EQ(int(t.size()), SLBase64Decode(buf.data(), int(want.size()), back.data(), int(back.size())));
    EXPECT_EQ(0, memcmp(t.data(), back.data(), t.size()));
  }
  system((std::string("rm -rf ") + dir).c_str());
}

SLAuthValue v(const char *t, int quoted = 0) { return SLAuthValue{t, quoted}; }

TEST(SLAuthDigest, Rfc2617Section35Example) {
  char resp[33];
  ASSERT_EQ(0, SLAuthCalcDigestCredential(v("testrealm@host.com"), v("dcd98b7102dd2f0e8b11d0f600bfb0c093"),
                                          SL_AUTH_ALG_NONE, SL_AUTH_QOP_AUTH, 1, v("0a4f113b"), v("Mufasa"),
                                          v("Circle Of Life"), "GET", "/dir/index.html", nullptr, 0, resp));
  EXPECT_STREQ("6629fae49393a05397450978507c4ef1", resp);
  // The same values as received, with their quotes.
  ASSERT_EQ(0, SLAuthCalcDigestCredential(v("\"testrealm@host.com\"", 1), v("\"dcd98b7102dd2f0e8b11d0f600bfb0c093\"", 1),
                                          SL_AUTH_ALG_MD5, SL_AUTH_QOP_AUTH, 1, v("\"0a4f113b\"", 1), v("Mufasa"),
                                          v("Circle Of Life"), "GET", "/dir/index.html", nullptr, 0, resp));
  EXPECT_STREQ("6629fae49393a05397450978507c4ef1", resp);
}

TEST(SLAuthDigest, WithoutQopAndWithSessAndAuthInt) {
  char resp[33];
  // RFC 2069 form: MD5(HA1:nonce:HA2).
  ASSERT_EQ(0, SLAuthCalcDigestCredential(v("r"), v("n"), SL_AUTH_ALG_MD5, SL_AUTH_QOP_NONE, 0, v(nullptr), v("u"),
                                          v("p"), "REGISTER", "sip:h", nullptr, 0, resp));
  std::string ha1 = md5("u:r:p"), ha2 = md5("REGISTER:sip:h");
  EXPECT_EQ(md5(ha1 + ":n:" + ha2), resp);
  ASSERT_EQ(0, SLAuthCalcDigestCredential(v("r"), v("n"), SL_AUTH_ALG_MD5SESS, SL_AUTH_QOP_AUTHINT, 2, v("c"),
                                          v("u"), v("p"), "INVITE", "sip:h", "body", 4, resp));
  std::string sess = md5(ha1 + ":n:c"), ha2i = md5("INVITE:sip:h:" + md5("body"));
  EXPECT_EQ(md5(sess + ":n:00000002:c:auth-int:" + ha2i), resp);
}

TEST(SLAuthDigest, MissingValuesAreRefusedWithAnEmptyResponse) {
  const struct {
    const char *name, *nonce, *cnonce, *method, *uri;
    int qop;
  } cases[] = {
      {"no method", "n", "c", nullptr, "sip:h", SL_AUTH_QOP_AUTH},
      {"no uri", "n", "c", "INVITE", nullptr, SL_AUTH_QOP_AUTH},
      {"no nonce", nullptr, "c", "INVITE", "sip:h", SL_AUTH_QOP_AUTH},
      {"no cnonce with qop", "n", nullptr, "INVITE", "sip:h", SL_AUTH_QOP_AUTH},
  };
  for (const auto &c : cases) {
    char resp[33];
    memset(resp, 'X', sizeof resp);
    EXPECT_EQ(kInvalid, SLAuthCalcDigestCredential(v("r"), v(c.nonce), SL_AUTH_ALG_MD5, c.qop, 1, v(c.cnonce), v("u"),
                                                   v("p"), c.method, c.uri, nullptr, 0, resp))
        << c.name;
    EXPECT_STREQ("", resp) << c.name;
  }
  char resp[33];
  EXPECT_EQ(kInvalid, SLAuthCalcDigestCredential(v("r"), v("n"), SL_AUTH_ALG_MD5, SLAuthGetQopType("auth-conf"), 1,
                                                 v("c"), v("u"), v("p"), "A", "B", nullptr, 0, resp));
  EXPECT_EQ(kInvalid, SLAuthCalcDigestCredential(v("r"), v("n"), 1, SL_AUTH_QOP_NONE, 1, v("c"), v("u"), v("p"), "A",
                                                 "B", nullptr, 0, resp));
  EXPECT_EQ(kInvalid, SLAuthCalcDigestCredential(v("r"), v("n"), SL_AUTH_ALG_MD5, 0, 1, v("c"), v(nullptr), v("p"),
                                                 "A", "B", nullptr, 0, resp));
}

TEST(SLAuthKeywords, SchemesAlgorithmsAndQop) {
  EXPECT_EQ(SL_AUTH_SCHEME_DIGEST, SLAuthGetAuthSchemeType("digest"));
  EXPECT_EQ(SL_AUTH_SCHEME_BASIC, SLAuthGetAuthSchemeType("Basic"));
  EXPECT_EQ(SL_AUTH_SCHEME_OTHER, SLAuthGetAuthSchemeType(nullptr));
  EXPECT_EQ(SL_AUTH_ALG_MD5SESS, SLAuthGetAlgorithmType("md5-SESS"));
  EXPECT_EQ(SL_AUTH_ALG_NONE, SLAuthGetAlgorithmType("SHA-256"));
  EXPECT_EQ(SL_AUTH_QOP_AUTHINT, SLAuthGetQopType("AUTH-INT"));
  EXPECT_EQ(SL_AUTH_QOP_OTHER, SLAuthGetQopType("auth-conf"));
  EXPECT_EQ(SL_AUTH_QOP_NONE, SLAuthGetQopType(""));
}

TEST(SLAuthBasic, EncodesUserColonPassword) {
  char out[64];
  ASSERT_EQ(0, SLAuthCalcBasicCredential("Aladdin", "open sesame", out, sizeof out));
  EXPECT_STREQ("QWxhZGRpbjpvcGVuIHNlc2FtZQ==", out);
  ASSERT_EQ(0, SLAuthCalcBasicCredential("user", "", out, sizeof out));
  EXPECT_STREQ("dXNlcjo=", out);
  EXPECT_EQ(kInvalid, SLAuthCalcBasicCredential("us:er", "x", out, sizeof out));
  EXPECT_EQ(kInvalid, SLAuthCalcBasicCredential("user", "x", out, 4));
  EXPECT_EQ(kInvalid, SLAuthCalcBasicCredential("user", "x", out, 0));
}

}  // namespace
