// Resolver, address records, envelopes and sipfrag bodies.
#include <string.h>

#include "SLAddr.h"
#include "SLMsg.h"
#include "SipFrag.h"
#include "sl_fixture.h"

namespace {

constexpr int kRslvInvalid = static_cast<int>(0xA0A1800Bu);

class SLRslvTest : public SLLayerTest {
protected:
  SLSipMsg *msg(const std::string &text) {
    SLSipMsg *m = nullptr;
    int n = int(text.size());
    EXPECT_EQ(0, SLSipMsgParse(&m, text.data(), &n, SL_SIPMSG_MODE_UDP));
    msgs.push_back(m);
    return m;
  }
  struct Where {
    std::string host;
    int port, transport, tls;
  };
  Where first(SLAddrList *l) {
    const SLAddr *a = SLAddrListGetFirst(l);
    Where w{a ? SLAddrGetAddress(a) : "", SLAddrGetPort(a), SLAddrGetTransport(a), SLAddrIsTlsMode(a)};
    SLAddrListDestroy(l);
    return w;
  }
  void TearDown() override {
    for (auto *m : msgs) SLSipMsgDestroy(m);
    SLLayerTest::TearDown();
  }
  std::vector<SLSipMsg *> msgs;
};

TEST_F(SLRslvTest, RequestUris) {
  const struct {
    const char *uri;
    int result;
    Where where;
  } cases[] = {
      {"sip:bob@h", 0, {"h", 5060, SL_ADDR_UDP, 0}},
      {"sips:bob@h", 0, {"h", 5061, SL_ADDR_TCP, 1}},
      {"sip:bob@h;transport=tls", 0, {"h", 5061, SL_ADDR_TCP, 1}},
      {"sip:bob@h:5070;transport=tcp", 0, {"h", 5070, SL_ADDR_TCP, 0}},
      {"sip:bob@h;maddr=192.0.2.7", 0, {"192.0.2.7", 5060, SL_ADDR_UDP, 0}},
      {"sip:[2001:db8::1]", 0, {"2001:db8::1", 5060, SL_ADDR_UDP, 0}},
      {"sips:bob@h;transport=udp", kRslvInvalid, {}},
      {"sip:bob@h;transport=xyz", kRslvInvalid, {}},
      {"sip:[]", kRslvInvalid, {}},
      {"sip:bob@h;maddr", kRslvInvalid, {}},
  };
  for (const auto &c : cases) {
    SLAddrList *l = nullptr;
    EXPECT_EQ(c.result, SLRslvResolveUriStr(&l, c.uri)) << c.uri;
    if (c.result != 0) {
      EXPECT_EQ(nullptr, l);
      continue;
    }
    Where w = first(l);
    EXPECT_EQ(c.where.host, w.host) << c.uri;
    EXPECT_EQ(c.where.port, w.port) << c.uri;
    EXPECT_EQ(c.where.transport, w.transport) << c.uri;
    EXPECT_EQ(c.where.tls, w.tls) << c.uri;
  }
}

TEST_F(SLRslvTest, LooseRoutesGoFirst) {
  SLAddrList *l = nullptr;
  ASSERT_EQ(0, SLRslvResolveRequest(&l, msg("BYE sip:bob@far SIP/2.0\r\nRoute: <sip:proxy:5080;lr>, <sip:p2>\r\n\r\n")));
  EXPECT_EQ("proxy", first(l).host);
  ASSERT_EQ(0, SLRslvResolveRequest(&l, msg("BYE sip:bob@far SIP/2.0\r\nRoute: <sip:strict>\r\n\r\n")));
  EXPECT_EQ("far", first(l).host);
}

TEST_F(SLRslvTest, ResponsesFollowTheTopVia) {
  const struct {
    const char *via;
    Where where;
  } cases[] = {
      {"SIP/2.0/UDP h:5070;received=192.0.2.9;rport=5072", {"192.0.2.9", 5072, SL_ADDR_UDP, 0}},
      {"SIP/2.0/UDP h:5070;received=192.0.2.9;rport", {"192.0.2.9", 5070, SL_ADDR_UDP, 0}},
      {"SIP/2.0/UDP h;maddr=239.1.1.1;received=192.0.2.9", {"239.1.1.1", 5060, SL_ADDR_UDP, 0}},
      {"SIP/2.0/TCP h:5080;received=192.0.2.9;rport=1", {"192.0.2.9", 5080, SL_ADDR_TCP, 0}},
      {"SIP/2.0/TLS h", {"h", 5061, SL_ADDR_TCP, 1}},
      {"SIP/2.0/UDP h", {"h", 5060, SL_ADDR_UDP, 0}},
  };
  for (const auto &c : cases) {
    SLAddrList *l = nullptr;
    ASSERT_EQ(0, SLRslvResolveResponse(&l, msg(std::string("SIP/2.0 200 OK\r\nVia: ") + c.via + "\r\n\r\n"))) << c.via;
    Where w = first(l);
    EXPECT_EQ(c.where.host, w.host) << c.via;
    EXPECT_EQ(c.where.port, w.port) << c.via;
    EXPECT_EQ(c.where.transport, w.transport) << c.via;
    EXPECT_EQ(c.where.tls, w.tls) << c.via;
  }
  SLAddrList *l = nullptr;
  EXPECT_EQ(kRslvInvalid, SLRslvResolveResponse(&l, msg("SIP/2.0 200 OK\r\nCSeq: 1 X\r\n\r\n")));
}

TEST_F(SLRslvTest, AddressRecords) {
  SLAddr *a = nullptr, *b = nullptr;
  ASSERT_EQ(0, SLAddrCreate(&a, "H", 5061, SL_URI_TRANSPORT_TLS, 0));
  EXPECT_EQ(SL_ADDR_TCP, SLAddrGetTransport(a));
  EXPECT_TRUE(SLAddrIsTlsMode(a));
  EXPECT_TRUE(SLAddrIsReliableTransport(a));
  ASSERT_EQ(0, SLAddrClone(&b, a));
  SLAddrSetAddress(b, "h");
  EXPECT_EQ(0, SLAddrCompare(a, b));
  SLAddrSetSigcomp(b, 1);
  EXPECT_NE(0, SLAddrCompare(a, b));
  SLAddrDestroy(a);
  SLAddrDestroy(b);
}

TEST_F(SLRslvTest, Envelopes) {
  const uintptr_t values[] = {1, 2, 3, 4, 5};
  SLMsgData *e = SLMsgDataCreateEventMsg(17, values, 5);
  EXPECT_EQ(3u, SLMsgDataGetParam(e, 3));
  EXPECT_EQ(0u, SLMsgDataGetParam(e, 4));
  EXPECT_EQ(nullptr, SLMsgDataGetCallback(e));
  SLMsgDataSetCallback(e, [](SLMsgData *) {});
  EXPECT_EQ(0u, SLMsgDataGetMsgId(e));
  SLSipMsg *m = nullptr;
  ASSERT_EQ(0, SLSipMsgCreateRequest(&m, "BYE", "sip:b@h", "SIP/2.0"));
  e->type = SL_MSGDATA_REQUEST;
  SLMsgDataSetSipMsgPtr(e, m);
  SLMsgDataSetMsgId(e, 9);
  EXPECT_EQ(SL_MSGDATA_EVENT, SLMsgDataGetMsgType(e));
  EXPECT_EQ(m, SLMsgDataGetSipMsg(e));
  SLMsgDataSetBinary(e, "abc", 3);
  SLMsgData *c = SLMsgDataClone(e, 1);
  ASSERT_NE(nullptr, c);
  EXPECT_EQ(3u, SLMsgDataGetParam(c, 0));
  EXPECT_NE(m, SLMsgDataGetSipMsg(c));
  SLMsgDataDestroy(c);
  void *bytes = SLMsgDataDetachBinary(e);
  ASSERT_NE(nullptr, bytes);
  EXPECT_EQ(0, memcmp("abc", bytes, 3));
  EXPECT_EQ(0, SLMsgDataSetBinaryPtr(e, bytes, 3)) << "ownership goes back";
  EXPECT_EQ(3u, SLMsgDataGetParam(e, 0));
  SLMsgDataDestroy(e);
}

TEST_F(SLRslvTest, NetworkRecordsFrameKeepAlivesAndEncode) {
  SLMsg *rec = nullptr;
  EXPECT_EQ(4, SLMsgSipMsgParse(&rec, "\r\n\r\n", 4, SL_SIPMSG_MODE_TCP));
  ASSERT_NE(nullptr, rec);
  EXPECT_EQ(SL_MSG_BINARY, SLMsgGetMsgType(rec));
  uint32_t len = 0;
  EXPECT_EQ(0, memcmp("\r\n\r\n", SLMsgGetBinary(rec, &len), 4));
  SLMsgDestroy(rec);
  const char text[] = "OPTIONS sip:h SIP/2.0\r\nContent-Length: 0\r\n\r\n";
  ASSERT_EQ(int(strlen(text)), SLMsgSipMsgParse(&rec, text, int(strlen(text)), SL_SIPMSG_MODE_TCP));
  EXPECT_EQ(SL_MSG_REQUEST, SLMsgGetMsgType(rec));
  EXPECT_EQ(0xFFFF, SLMsgGetPort(nullptr));
  EXPECT_EQ(5, SLMsgGetTransport(nullptr));
  EXPECT_EQ(-1, SLMsgGetInterfaceId(nullptr));
  char buf[64];
  size_t size = strlen(text) - 1;
  EXPECT_EQ(kHdrShort, SLMsgSipMsgEncode(rec, buf, &size));
  EXPECT_EQ(0u, size);
  size = sizeof buf;
  EXPECT_EQ(0, SLMsgSipMsgEncode(rec, buf, &size));
  EXPECT_EQ(std::string(text), std::string(buf, size));
  SLMsgDestroy(rec);
  EXPECT_EQ(SL_SIPMSG_FRAME_MORE_HEADER, SLMsgSipMsgParse(&rec, text, 10, SL_SIPMSG_MODE_TCP));
  EXPECT_EQ(nullptr, rec);
}

TEST_F(SLRslvTest, SipfragBodies) {
  SLSipMsg *r = msg("SIP/2.0 200 OK\r\nCSeq: 1 INVITE\r\nContent-Type: application/sdp\r\nContent-Length: 3\r\n"
                    "Contact: <sip:c@h>\r\n\r\nv=0");
  char text[256];
  SipFragBuffer buf{sizeof text, text};
  ASSERT_EQ(0, SipFragEncode(&buf, r));
  EXPECT_EQ("SIP/2.0 200 OK\r\nCSeq: 1 INVITE\r\nContact: <sip:c@h>\r\n", std::string(text, buf.length));
  SLSipMsg *back = nullptr;
  ASSERT_EQ(0, SipFragParse(&back, &buf));
  EXPECT_EQ(200u, SLSipMsgGetStatusCode(back));
  EXPECT_NE(nullptr, SLSipMsgGetHdrTable(back)->CSeq);
  SLSipMsgDestroy(back);
  SLSipMsg *ringing = nullptr;
  ASSERT_EQ(0, SLSipMsgCreateResponse(&ringing, "SIP/2.0", 180, "Ringing"));
  msgs.push_back(ringing);
  buf.length = sizeof text;
  ASSERT_EQ(0, SipFragEncode(&buf, ringing));
  EXPECT_EQ("SIP/2.0 180 Ringing\r\n", std::string(text, buf.length));
  SLSipMsgStartLineSetStatusCode(SLSipMsgGetStartLine(ringing), 18);
  buf.length = sizeof text;
  ASSERT_EQ(0, SipFragEncode(&buf, ringing));
  EXPECT_EQ("SIP/2.0  18 Ringing\r\n", std::string(text, buf.length));
  buf.length = 0;
  EXPECT_EQ(static_cast<int>(0xA201800Bu), SipFragEncode(&buf, ringing));
  buf.length = 8;
  EXPECT_EQ(static_cast<int>(0xA201800Au), SipFragEncode(&buf, ringing));
  SipFragBuffer only{21, const_cast<char *>("SIP/2.0 180 Ringing\r\n")};
  ASSERT_EQ(0, SipFragParse(&back, &only));
  EXPECT_STREQ("Ringing", SLSipMsgGetReasonPhrase(back));
  SLSipMsgDestroy(back);
}

}  // namespace
