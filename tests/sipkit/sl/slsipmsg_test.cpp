// SIP message parser (stream framing, torture messages in the spirit of RFC 4475), encoder,
// builders and validation.
#include <string.h>

#include <atomic>
#include <thread>

#include "SLMsg.h"
#include "sl_fixture.h"

namespace {

const char kInvite[] =
    "INVITE sip:bob@biloxi.example.com SIP/2.0\r\n"
    "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK776asdhds\r\n"
    "Max-Forwards: 70\r\n"
    "To: Bob <sip:bob@biloxi.example.com>\r\n"
    "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
    "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n"
    "CSeq: 314159 INVITE\r\n"
    "Contact: <sip:alice@pc33.atlanta.example.com>\r\n"
    "Content-Type: application/sdp\r\n"
    "Content-Length: 4\r\n"
    "\r\n"
    "v=0\n";

class SLSipMsgTest : public SLLayerTest {
protected:
  // Parses and keeps the message; returns the result, the consumed count in *consumed.
  int parse(const std::string &data, int mode, int *consumed, SLSipMsg **out = nullptr) {
    SLSipMsg *m = nullptr;
    int n = int(data.size());
    int r = SLSipMsgParse(&m, data.data(), &n, mode);
    *consumed = n;
    if (m) msgs.push_back(m);
    if (out) *out = m;
    return r;
  }
  SLSipMsg *parseOk(const std::string &data, int mode = SL_SIPMSG_MODE_UDP) {
    SLSipMsg *m = nullptr;
    int n;
    EXPECT_EQ(0, parse(data, mode, &n, &m)) << data;
    EXPECT_NE(nullptr, m) << data;
    return m;
  }
  std::string encode(const SLSipMsg *m) {
    return encodeToString([&](char *b, size_t *s) { return SLSipMsgEncode(m, b, s); });
  }
  SLMsgData *wrap(SLSipMsg *m) {
    SLMsgData *d = SLMsgDataCreate();
    SLSipMsg *c = nullptr;
    EXPECT_EQ(0, SLSipMsgClone(&c, m, 1));
    d->type = SLSipMsgStartLineIsRequestLine(SLSipMsgGetStartLine(m)) ? SL_MSGDATA_REQUEST : SL_MSGDATA_RESPONSE;
    SLMsgDataSetSipMsgPtr(d, c);
    envs.push_back(d);
    return d;
  }
  void TearDown() override {
    for (auto *m : msgs) SLSipMsgDestroy(m);
    for (auto *d : envs) SLMsgDataDestroy(d);
    SLLayerTest::TearDown();
  }
  std::vector<SLSipMsg *> msgs;
  std::vector<SLMsgData *> envs;
};

TEST_F(SLSipMsgTest, ParsesAnInviteAndEncodesItBack) {
  SLSipMsg *m = parseOk(kInvite);
  EXPECT_STREQ("INVITE", SLSipMsgGetMethod(m));
  EXPECT_STREQ("sip:bob@biloxi.example.com", SLSipMsgGetRequestUri(m));
  EXPECT_STREQ("SIP/2.0", SLSipMsgGetVersion(m));
  EXPECT_EQ(4, SLSipMsgBodyGetLength(SLSipMsgGetBody(m)));
  EXPECT_STREQ("v=0\n", SLSipMsgBodyGetData(SLSipMsgGetBody(m)));
  EXPECT_EQ(kInvite, encode(m));
  ASSERT_EQ(0, SLSipMsgParseSipHdr(m));
  const SLSipHdrTable *t = SLSipMsgGetHdrTable(m);
  EXPECT_EQ(314159u, SLSipHdrCSeqGetSeqNo(t->CSeq));
  EXPECT_STREQ("1928301774", SLSipHdrFromGetTag(t->From));
  EXPECT_STREQ("Alice", SLSipHdrFromGetDisplayName(t->From));
  EXPECT_STREQ("application/sdp", SLSipHdrAcceptItemGetValue(t->ContentType));
  EXPECT_EQ(70u, SLSipHdrMaxForwardsGetDigit(t->MaxForwards));
  ASSERT_EQ(0, SLSipMsgParseReqUri(m));
  EXPECT_STREQ("biloxi.example.com", SLUriGetHost(SLSipMsgGetParsedReqUri(m)));
}

TEST_F(SLSipMsgTest, EncodingIntoAShortBufferReportsTheExactSize) {
  SLSipMsg *m = parseOk(kInvite);
  char small[16];
  size_t size = sizeof small;
  EXPECT_EQ(kHdrShort, SLSipMsgEncode(m, small, &size));
  EXPECT_EQ(strlen(kInvite), size);
  std::string buf(size, '\0');
  EXPECT_EQ(0, SLSipMsgEncode(m, buf.data(), &size));
  EXPECT_EQ(kInvite, buf);
}

TEST_F(SLSipMsgTest, StreamFraming) {
  std::string head =
      "OPTIONS sip:h SIP/2.0\r\nVia: SIP/2.0/TCP a;branch=z9hG4bK1\r\nTo: <sip:h>\r\nFrom: <sip:a>;tag=1\r\n"
      "Call-ID: c1\r\nCSeq: 1 OPTIONS\r\n";
  const struct {
    std::string name, data;
    int mode, consumed;
    bool message;
  } cases[] = {
      {"keep-alive before a request", "\r\n\r\n" + head + "Content-Length: 0\r\n\r\n", SL_SIPMSG_MODE_TCP, 4, false},
      {"head without blank line", head, SL_SIPMSG_MODE_TCP, SL_SIPMSG_FRAME_MORE_HEADER, false},
      {"datagram without blank line", head, SL_SIPMSG_MODE_UDP, SL_SIPMSG_FRAME_DROP, false},
      {"body still arriving", head + "Content-Length: 100\r\n\r\n" + std::string(40, 'x'), SL_SIPMSG_MODE_TCP,
       SL_SIPMSG_FRAME_MORE_BODY, false},
      {"stream without Content-Length", head + "\r\n", SL_SIPMSG_MODE_TCP, SL_SIPMSG_FRAME_DROP, false},
      // End of the header section cut inside the data: nothing may be read past the end.
      {"CRLF CR at the end", head + "Content-Length: 0\r\n\r", SL_SIPMSG_MODE_TCP, SL_SIPMSG_FRAME_MORE_HEADER, false},
      {"CRLF CR at the end of a datagram", head + "Content-Length: 0\r\n\r", SL_SIPMSG_MODE_UDP, SL_SIPMSG_FRAME_DROP,
       false},
      {"single LF at the end", head + "Content-Length: 0\n", SL_SIPMSG_MODE_TCP, SL_SIPMSG_FRAME_MORE_HEADER, false},
      {"single CR at the end", head + "Content-Length: 0\r", SL_SIPMSG_MODE_TCP, SL_SIPMSG_FRAME_MORE_HEADER, false},
      {"LF LF ends the head", head + "Content-Length: 0\n\n", SL_SIPMSG_MODE_TCP, int(head.size() + 19), true},
  };
  for (const auto &c : cases) {
    // The data sit at the very end of an allocation so that a read past them is caught.
    std::vector<char> exact(c.data.begin(), c.data.end());
    SLSipMsg *m = nullptr;
    int n = int(exact.size());
    EXPECT_EQ(0, SLSipMsgParse(&m, exact.data(), &n, c.mode)) << c.name;
    EXPECT_EQ(c.consumed, n) << c.name;
    EXPECT_EQ(c.message, m != nullptr) << c.name;
    SLSipMsgDestroy(m);
  }
}

TEST_F(SLSipMsgTest, PipelinedRequestsAreTakenOnePerCall) {
  std::string one =
      "MESSAGE sip:h SIP/2.0\r\nVia: SIP/2.0/TCP a;branch=z9hG4bK1\r\nContent-Length: 5\r\n\r\nhello";
  std::string two = "MESSAGE sip:h SIP/2.0\r\nVia: SIP/2.0/TCP a;branch=z9hG4bK2\r\nl: 3\r\n\r\nbye";
  std::string data = one + two;
  int n;
  SLSipMsg *m;
  ASSERT_EQ(0, parse(data, SL_SIPMSG_MODE_TCP, &n, &m));
  EXPECT_EQ(int(one.size()), n);
  EXPECT_STREQ("hello", SLSipMsgBodyGetData(SLSipMsgGetBody(m)));
  ASSERT_EQ(0, parse(data.substr(size_t(n)), SL_SIPMSG_MODE_TCP, &n, &m));
  EXPECT_EQ(int(two.size()), n);
  EXPECT_STREQ("bye", SLSipMsgBodyGetData(SLSipMsgGetBody(m)));
}

TEST_F(SLSipMsgTest, BadContentLengthOnAStreamCannotBeFramed) {
  int n;
  EXPECT_EQ(kHdrSyntax, parse("MESSAGE sip:h SIP/2.0\r\nContent-Length: abc\r\n\r\n", SL_SIPMSG_MODE_TCP, &n));
  EXPECT_EQ(-1, n);
}

TEST_F(SLSipMsgTest, DatagramBodies) {
  std::string head = "MESSAGE sip:h SIP/2.0\r\nVia: SIP/2.0/UDP a\r\n";
  std::string body(25, 'b');
  int n;
  SLSipMsg *m;
  ASSERT_EQ(0, parse(head + "Content-Length: 10\r\n\r\n" + body, SL_SIPMSG_MODE_UDP, &n, &m));
  EXPECT_EQ(10, SLSipMsgBodyGetLength(SLSipMsgGetBody(m)));
  EXPECT_EQ(int(head.size() + 22 + 25), n);
  ASSERT_EQ(0, parse(head + "\r\n" + body, SL_SIPMSG_MODE_UDP, &n, &m));
  EXPECT_EQ(25, SLSipMsgBodyGetLength(SLSipMsgGetBody(m)));
}

// Messages in the spirit of RFC 4475: each either parses (and its typed headers too) or is
// refused with the given result.
TEST_F(SLSipMsgTest, TortureMessages) {
  const std::string common =
      "Via: SIP/2.0/UDP host1.example.com;branch=z9hG4bK1\r\nTo: <sip:b@h>\r\nFrom: <sip:a@h>;tag=9\r\n"
      "Call-ID: c@h\r\nCSeq: 1 INVITE\r\n";
  const struct {
    const char *name;
    std::string text;
    int parse, headers;
  } cases[] = {
      {"folded and odd white space",
       "INVITE sip:b@h SIP/2.0\r\nVia  : SIP/2.0/UDP host1.example.com;branch=z9hG4bK1\r\nTo:\r\n  <sip:b@h>\r\n"
       "From:<sip:a@h>\t;\ttag=9\r\nCall-ID: c@h\r\nCSeq:\r\n\t1\r\n INVITE\r\nl: 0\r\n\r\n",
       0, 0},
      {"compact forms", "INVITE sip:b@h SIP/2.0\r\nv: SIP/2.0/UDP h;branch=z9hG4bK1\r\nt: <sip:b@h>\r\n"
       "f: <sip:a@h>;tag=9\r\ni: c@h\r\nCSeq: 1 INVITE\r\nm: <sip:a@h>;expires=0\r\nl: 0\r\n\r\n", 0, 0},
      {"escaped user and quoted display name", "INVITE sip:sip%3Auser%40example.com@h;other-param=summit SIP/2.0\r\n" +
       common + "Contact: \"Quoted \\\"name\\\" with , comma\" <sip:a@h>\r\nContent-Length: 0\r\n\r\n", 0, 0},
      {"unknown headers and methods", "NEWMETHOD sip:b@h SIP/2.0\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\n"
       "X-Weird: ;;,, odd stuff\r\nCSeq: 8 NEWMETHOD\r\nContent-Length: 0\r\n\r\n", 0, 0},
      {"IPv6 Via with rport", "OPTIONS sip:[2001:db8::10] SIP/2.0\r\nVia: SIP/2.0/UDP [2001:db8::9]:5070;rport;branch=z9hG4bK1\r\n"
       "Content-Length: 0\r\n\r\n", 0, 0},
      {"status line without reason phrase", "SIP/2.0 100 \r\n" + common + "\r\n", 0, 0},
      {"reason phrase with UTF-8", "SIP/2.0 200 \xc3\x84nderung OK\r\n" + common + "\r\n", 0, 0},
      {"bad Content-Length", "INVITE sip:b@h SIP/2.0\r\n" + common + "Content-Length: abc\r\n\r\n", kHdrSyntax, 0},
      {"negative Content-Length", "INVITE sip:b@h SIP/2.0\r\n" + common + "Content-Length: -5\r\n\r\n", kHdrSyntax, 0},
      {"huge Content-Length", "INVITE sip:b@h SIP/2.0\r\n" + common + "Content-Length: 99999999999\r\n\r\n", kHdrSyntax, 0},
      {"status code of two digits", "SIP/2.0 18 Ringing\r\n" + common + "\r\n", kHdrSyntax, 0},
      {"status code of four digits", "SIP/2.0 1800 Ringing\r\n" + common + "\r\n", kHdrSyntax, 0},
      {"status code with a letter", "SIP/2.0 18a Ringing\r\n" + common + "\r\n", kHdrSyntax, 0},
      {"request line without version", "INVITE sip:b@h\r\n" + common + "\r\n", kHdrInvalid, 0},
      {"header without colon", "INVITE sip:b@h SIP/2.0\r\n" + common + "Bogus header\r\n\r\n", kHdrInvalid, 0},
      {"bad CSeq", "INVITE sip:b@h SIP/2.0\r\nCSeq: x INVITE\r\n\r\n", 0, kHdrSyntax},
      {"Via without transport", "INVITE sip:b@h SIP/2.0\r\nVia: SIP/2.0 host\r\n\r\n", 0, kHdrSyntax},
      {"Via port too large", "INVITE sip:b@h SIP/2.0\r\nVia: SIP/2.0/UDP h:70000\r\n\r\n", 0, kHdrSyntax},
      {"bad URI in To", "INVITE sip:b@h SIP/2.0\r\nTo: <sip:@h>\r\n\r\n", 0, kHdrSyntax},
      {"unterminated To", "INVITE sip:b@h SIP/2.0\r\nTo: Bob <sip:b@h\r\n\r\n", 0, kHdrSyntax},
      {"header section too long", "INVITE sip:b@h SIP/2.0\r\nX-Long: " + std::string(3000, 'a') + "\r\n\r\n",
       kHdrInvalid, 0},
  };
  for (const auto &c : cases) {
    int n;
    SLSipMsg *m = nullptr;
    EXPECT_EQ(c.parse, parse(c.text, SL_SIPMSG_MODE_UDP, &n, &m)) << c.name;
    if (c.parse != 0) {
      EXPECT_EQ(nullptr, m) << c.name;
      continue;
    }
    ASSERT_NE(nullptr, m) << c.name;
    EXPECT_EQ(c.headers, SLSipMsgParseSipHdr(m)) << c.name;
  }
}

TEST_F(SLSipMsgTest, FragmentsTakeTheWholeText) {
  int n;
  SLSipMsg *m;
  ASSERT_EQ(0, parse("SIP/2.0 200 OK\r\nCSeq: 1 INVITE\r\n", SL_SIPMSG_MODE_FRAGMENT, &n, &m));
  ASSERT_NE(nullptr, m);
  EXPECT_EQ(0, n);
  EXPECT_EQ(200u, SLSipMsgGetStatusCode(m));
  EXPECT_STREQ("OK", SLSipMsgGetReasonPhrase(m));
  EXPECT_EQ(kHdrSyntax, parse("", SL_SIPMSG_MODE_UDP, &n));
}

TEST_F(SLSipMsgTest, ResponsesGetTheSameTagForARetransmittedRequest) {
  SLMsgData *req = wrap(parseOk(kInvite));
  SLMsgData *again = wrap(parseOk(kInvite));
  SLMsgData *r1 = nullptr, *r2 = nullptr, *trying = nullptr;
  ASSERT_EQ(0, SLMsgMakeResponse(&r1, req, 180, "Ringing", nullptr, 1));
  ASSERT_EQ(0, SLMsgMakeResponse(&r2, again, 180, "Ringing", nullptr, 1));
  ASSERT_EQ(0, SLMsgMakeResponse(&trying, req, 100, "Trying", nullptr, 1));
  envs.insert(envs.end(), {r1, r2, trying});
  const char *tag = SLSipMsgGetTag(r1->sipMsg, "To");
  ASSERT_NE(nullptr, tag);
  EXPECT_STREQ(tag, SLSipMsgGetTag(r2->sipMsg, "To"));
  EXPECT_EQ(nullptr, SLSipMsgGetTag(trying->sipMsg, "To"));
  EXPECT_EQ(0, SLSipMsgCompare(req->sipMsg, again->sipMsg)) << "a retransmission is the same message";
  std::string text = encode(r1->sipMsg);
  EXPECT_EQ(0u, text.find("SIP/2.0 180 Ringing\r\nVia: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK776asdhds\r\n"
                          "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n"));
  EXPECT_NE(std::string::npos, text.find("To: Bob <sip:bob@biloxi.example.com>;tag="));
  EXPECT_NE(std::string::npos, text.find("\r\nContent-Length: 0\r\n\r\n"));
}

TEST_F(SLSipMsgTest, SameMessageDespiteOrderAndSpellingButNotOtherwise) {
  SLSipMsg *original = parseOk(kInvite);
  // The same request rebuilt from its typed headers: other order, compact names, other spacing.
  SLSipMsg *rebuilt = parseOk(
      "INVITE sip:bob@biloxi.example.com SIP/2.0\r\n"
      "i: a84b4c76e66710@pc33.atlanta.example.com\r\n"
      "f: \"Alice\" <sip:alice@atlanta.example.com>;TAG=1928301774\r\n"
      "t: <sip:bob@biloxi.example.com>\r\n"
      "CSeq:   314159   INVITE\r\n"
      "v: SIP/2.0/UDP pc33.atlanta.example.com:5060;rport;branch=z9hG4bK776asdhds\r\n"
      "c: application/sdp\r\nl: 4\r\n\r\nv=0\n");
  EXPECT_EQ(0, SLSipMsgCompare(original, rebuilt));
  const char *changes[][2] = {
      {"CSeq: 314159 INVITE", "CSeq: 314160 INVITE"},
      {"branch=z9hG4bK776asdhds", "branch=z9hG4bK776asdhdX"},
      {"tag=1928301774", "tag=1928301775"},
      {"a84b4c76e66710@", "a84b4c76e66711@"},
      {"v=0\n", "v=1\n"},
      {"INVITE sip:bob@", "INVITE sip:rob@"},
  };
  for (const auto &c : changes) {
    std::string text = kInvite;
    text.replace(text.find(c[0]), strlen(c[0]), c[1]);
    EXPECT_NE(0, SLSipMsgCompare(original, parseOk(text))) << c[1];
  }
}

TEST_F(SLSipMsgTest, ParsingRunsOnSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&good] {
      for (int i = 0; i < 300; ++i) {
        SLSipMsg *m = nullptr;
        int n = int(strlen(kInvite));
        if (SLSipMsgParse(&m, kInvite, &n, SL_SIPMSG_MODE_UDP) == 0 && m && SLSipMsgParseSipHdr(m) == 0 &&
            SLSipHdrCSeqGetSeqNo(SLSipMsgGetHdrTable(m)->CSeq) == 314159)
          ++good;
        SLSipMsgDestroy(m);
      }
    });
  for (auto &t : threads) t.join();
  EXPECT_EQ(1200, good.load());
}

TEST_F(SLSipMsgTest, CancelAndAckCopyTheRightHeaders) {
  SLMsgData *req = wrap(parseOk(kInvite));
  SLMsgData *resp = nullptr, *cancel = nullptr, *ack = nullptr;
  ASSERT_EQ(0, SLMsgMakeResponse(&resp, req, 486, "Busy Here", "xyz", 1));
  ASSERT_EQ(0, SLMsgMakeCancelRequest(&cancel, req));
  ASSERT_EQ(0, SLMsgMakeAckRequest(&ack, req, resp));
  envs.insert(envs.end(), {resp, cancel, ack});
  EXPECT_EQ(
      "CANCEL sip:bob@biloxi.example.com SIP/2.0\r\n"
      "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK776asdhds\r\n"
      "Max-Forwards: 70\r\n"
      "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n"
      "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
      "To: Bob <sip:bob@biloxi.example.com>\r\n"
      "CSeq: 314159 CANCEL\r\n"
      "Content-Length: 0\r\n\r\n",
      encode(cancel->sipMsg));
  std::string a = encode(ack->sipMsg);
  EXPECT_NE(std::string::npos, a.find("To: Bob <sip:bob@biloxi.example.com>;tag=xyz\r\n"));
  EXPECT_NE(std::string::npos, a.find("CSeq: 314159 ACK\r\n"));
  EXPECT_EQ(1, SLSipMsgCompareCSeq(req->sipMsg, ack->sipMsg, 1, 1, 1, 0));
  EXPECT_EQ(0, SLSipMsgCompareCSeq(req->sipMsg, ack->sipMsg, 1, 1, 0, 0));
  EXPECT_EQ(1, SLSipMsgCompareCallId(req->sipMsg, cancel->sipMsg));
}

TEST_F(SLSipMsgTest, ValidationAnswersMalformedRequestsWith400) {
  const std::string vias = "Via: SIP/2.0/UDP h;branch=z9hG4bK1\r\n";
  const std::string ids = "To: <sip:b@h>\r\nFrom: <sip:a@h>;tag=1\r\nCall-ID: c\r\n";
  const struct {
    const char *name;
    std::string text;
    int valid;
    const char *reason;  // of the 400, none when no reply
  } cases[] = {
      {"good", "BYE sip:b@h SIP/2.0\r\n" + vias + ids + "CSeq: 2 BYE\r\nContent-Length: 0\r\n\r\n", 1, nullptr},
      {"no Via", "BYE sip:b@h SIP/2.0\r\n" + ids + "CSeq: 2 BYE\r\n\r\n", 0, nullptr},
      {"no To", "BYE sip:b@h SIP/2.0\r\n" + vias + "From: <sip:a@h>\r\nCall-ID: c\r\nCSeq: 2 BYE\r\n\r\n", 0,
       "Missing To header field"},
      {"ACK without To gets no reply", "ACK sip:b@h SIP/2.0\r\n" + vias + "From: <sip:a@h>\r\nCall-ID: c\r\nCSeq: 2 ACK\r\n\r\n", 0, nullptr},
      {"no CSeq", "BYE sip:b@h SIP/2.0\r\n" + vias + ids + "\r\n", 0, "Missing CSeq header field"},
      {"bad CSeq", "BYE sip:b@h SIP/2.0\r\n" + vias + ids + "CSeq: two BYE\r\n\r\n", 0, "Illegal CSeq header field"},
      {"CSeq method differs", "BYE sip:b@h SIP/2.0\r\n" + vias + ids + "CSeq: 2 INVITE\r\n\r\n", 0, "Illegal CSeq method"},
      {"Content-Length differs", "BYE sip:b@h SIP/2.0\r\n" + vias + ids + "CSeq: 2 BYE\r\nContent-Length: 9\r\n\r\nabc", 0,
       "Illegal Content-Length header field"},
      {"body without type", "BYE sip:b@h SIP/2.0\r\n" + vias + ids + "CSeq: 2 BYE\r\nContent-Length: 3\r\n\r\nabc", 0,
       "Missing Content-Type header field"},
      {"response with CSeq ACK", "SIP/2.0 200 OK\r\n" + vias + ids + "CSeq: 2 ACK\r\n\r\n", 0, nullptr},
  };
  for (const auto &c : cases) {
    SLMsgData *env = wrap(parseOk(c.text));
    int valid = -1;
    SLMsgData *reply = nullptr;
    EXPECT_EQ(0, SLMsgValidate(env, &valid, &reply, SLMsgSimpleValidate, nullptr, nullptr)) << c.name;
    EXPECT_EQ(c.valid, valid) << c.name;
    if (c.reason) {
      ASSERT_NE(nullptr, reply) << c.name;
      EXPECT_EQ(400u, SLSipMsgGetStatusCode(reply->sipMsg)) << c.name;
      EXPECT_STREQ(c.reason, SLSipMsgGetReasonPhrase(reply->sipMsg)) << c.name;
    } else {
      EXPECT_EQ(nullptr, reply) << c.name;
    }
    SLMsgDataDestroy(reply);
  }
}

TEST_F(SLSipMsgTest, TypedHeadersAreWrittenBackBeforeTheWireHeaders) {
  SLSipMsg *m = nullptr;
  ASSERT_EQ(0, SLSipMsgCreateRequest(&m, "REGISTER", "sip:registrar.example.com", "SIP/2.0"));
  msgs.push_back(m);
  SLSipHdrTable *t = SLSipMsgGetHdrTable(m);
  SLSipHdrCSeq *cseq = nullptr;
  ASSERT_EQ(0, SLSipHdrCSeqCreate(&cseq, 7, SL_METHOD_REGISTER, nullptr));
  EXPECT_EQ(0, SLSipHdrTableSetCSeq(t, cseq));
  SLSipHdrCSeqDestroy(cseq);
  SLSipHdrCallId *cid = nullptr;
  ASSERT_EQ(0, SLSipHdrCallIdCreate(&cid, "abc", "h"));
  EXPECT_EQ(0, SLSipHdrTableSetCallId(t, cid));
  SLSipHdrCallIdDestroy(cid);
  SLSipHdrMaxForwards *mf = nullptr;
  ASSERT_EQ(0, SLSipHdrMaxForwardsCreate(&mf, 70));
  EXPECT_EQ(0, SLSipHdrTableSetMaxForwards(t, mf));
  SLSipHdrMaxForwardsDestroy(mf);
  ASSERT_EQ(0, SLGenHdrListAddHdr(SLSipMsgGetHdrList(m), "User-Agent", "orva"));
  ASSERT_EQ(0, SLGenHdrListAddHdr(SLSipMsgGetHdrList(m), "Call-ID", "wire-wins"));
  ASSERT_EQ(0, SLSipMsgEncodeSipHdr(m));
  ASSERT_EQ(0, SLSipMsgSetContentLength(m, 0));
  EXPECT_EQ(
      "REGISTER sip:registrar.example.com SIP/2.0\r\n"
      "Max-Forwards: 70\r\nCSeq: 7 REGISTER\r\nUser-Agent: orva\r\nCall-ID: wire-wins\r\nContent-Length: 0\r\n\r\n",
      encode(m));
}

TEST_F(SLSipMsgTest, RequestFromAUriTakesMethodHeadersAndBody) {
  SLUri *u = nullptr;
  ASSERT_EQ(0, SLUriCreate(&u));
  ASSERT_EQ(0, SLUriParse(u, "sip:bob@h;method=REFER?Subject=hi&Route=%3Csip:p;lr%3E&body=xyz"));
  SLSipMsg *m = nullptr;
  ASSERT_EQ(0, SLSipMsgCreateRequestFromUri(&m, u));
  SLUriDestroy(u);
  msgs.push_back(m);
  EXPECT_STREQ("REFER", SLSipMsgGetMethod(m));
  EXPECT_STREQ("sip:bob@h", SLSipMsgGetRequestUri(m));
  EXPECT_STREQ("hi", SLGenHdrListGetHdr(SLSipMsgGetHdrList(m), "Subject", 0));
  EXPECT_STREQ("<sip:p;lr>", SLGenHdrListGetHdr(SLSipMsgGetHdrList(m), "Route", 0));
  EXPECT_STREQ("xyz", SLSipMsgBodyGetData(SLSipMsgGetBody(m)));
}

}  // namespace
