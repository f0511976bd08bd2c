// URI parser, encoder with escaping, comparison and the SIP layer.
#include "sl_fixture.h"

namespace {

class SLUriTest : public SLLayerTest {
protected:
  SLUri *parse(const char *text, int expect = 0) {
    SLUri *u = nullptr;
    EXPECT_EQ(0, SLUriCreate(&u));
    EXPECT_EQ(expect, SLUriParse(u, text)) << text;
    owned_.push_back(u);
    return u;
  }
  std::string encode(const SLUri *u, int omit = 0) {
    return encodeToString([&](char *b, size_t *s) { return SLUriEncode(u, b, s, omit); });
  }
  void TearDown() override {
    for (SLUri *u : owned_) SLUriDestroy(u);
    SLLayerTest::TearDown();
  }
  std::vector<SLUri *> owned_;
};

TEST_F(SLUriTest, ComponentsOfAFullSipUriAndBack) {
  SLUri *u = parse("sip:alice@h:5070;transport=tcp;lr?subject=hi");
  EXPECT_STREQ("sip", SLUriGetScheme(u));
  EXPECT_STREQ("alice", SLUriGetUser(u));
  EXPECT_STREQ("h", SLUriGetHost(u));
  EXPECT_EQ(5070, SLUriGetPort(u));
  SLUriNameValue *p = SLUriGetHeadParameter(u);
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("transport", p->name);
  EXPECT_STREQ("tcp", p->value);
  p = SLUriGetNextParameter(p);
  ASSERT_NE(nullptr, p);
  EXPECT_STREQ("lr", p->name);
  EXPECT_EQ(nullptr, p->value);
  EXPECT_EQ(nullptr, SLUriGetNextParameter(p));
  SLUriNameValue *h = SLUriGetHeadHeader(u);
  ASSERT_NE(nullptr, h);
  EXPECT_STREQ("subject", h->name);
  EXPECT_STREQ("hi", h->value);
  EXPECT_EQ("sip:alice@h:5070;transport=tcp;lr?subject=hi", encode(u));
  EXPECT_EQ("sip:alice@h:5070?subject=hi", encode(u, SL_URI_OMIT_PARAMS));
  EXPECT_EQ("sip:alice@h:5070;transport=tcp;lr", encode(u, SL_URI_OMIT_HEADERS));
}

TEST_F(SLUriTest, HostsUsersAndLiterals) {
  SLUri *u = parse("sip:alice.example.net");
  EXPECT_EQ(nullptr, SLUriGetUser(u));
  EXPECT_STREQ("alice.example.net", SLUriGetHost(u));
  u = parse("sip:[2001:db8::1]:5061");
  EXPECT_STREQ("2001:db8::1", SLUriGetHost(u));
  EXPECT_EQ(5061, SLUriGetPort(u));
  EXPECT_EQ("sip:[2001:db8::1]:5061", encode(u));
  u = parse("<sip:bob@h;x=1> ;tag=abc");
  EXPECT_STREQ("bob", SLUriGetUser(u));
  EXPECT_EQ("sip:bob@h;x=1", encode(u));
  u = parse("sip:al%20ice@h");
  EXPECT_STREQ("al ice", SLUriGetUser(u));
  EXPECT_EQ("sip:al%20ice@h", encode(u));
  u = parse("sip:a*b@h");
  EXPECT_EQ("sip:a%2ab@h", encode(u));
  u = parse("sip:h;lr;lr");
  EXPECT_EQ("sip:h;lr", encode(u)) << "first occurrence wins";
  u = parse("*");
  EXPECT_EQ("*", encode(u));
  u = parse("http://www.example.com/a/b;p?q=1");
  EXPECT_TRUE(SLUriHasAuthority(u));
  EXPECT_STREQ("www.example.com", SLUriGetHost(u));
  EXPECT_EQ("http://www.example.com/a/b;p?q=1", encode(u));
  u = parse("tel:+1-201-555-0123");
  EXPECT_STREQ("+1-201-555-0123", SLUriGetHost(u));
}

TEST_F(SLUriTest, SyntaxErrors) {
  for (const char *bad : {"sip:@h", "sip:h:65536", "sip:h\xc3\xa9", "sip:a%00b@h", "sip:a%zz@h", "sip:[::1"})
    parse(bad, kUriSyntax);
}

TEST_F(SLUriTest, EncodingIntoAShortBufferReportsTheSize) {
  SLUri *u = parse("sip:alice@example.com");
  char buf[8];
  size_t size = sizeof buf;
  EXPECT_EQ(static_cast<int>(0xA0AA800Au), SLUriEncode(u, buf, &size, 0));
  EXPECT_EQ(strlen("sip:alice@example.com"), size);
}

TEST_F(SLUriTest, SipComparisonRules) {
  const struct {
    const char *a, *b;
    bool equal;
  } cases[] = {
      {"sip:alice@h", "sip:alice@h;transport=tcp", false},
      {"sip:alice@h", "sip:alice@h;foo=1", true},
      {"sip:alice@H.example", "sip:alice@h.EXAMPLE", true},
      {"sip:Alice@h", "sip:alice@h", false},
      {"sip:alice@h", "sip:alice@h:5060", false},
      {"sip:alice@h;maddr=x", "sip:alice@h", false},
      {"sip:alice@h?a=1&b=2", "sip:alice@h?b=2&a=1", true},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.equal, SLSipUriCompare(parse(c.a), parse(c.b)) == 0) << c.a << " vs " << c.b;
}

TEST_F(SLUriTest, TransportAndCompParameters) {
  SLUri *u = parse("sip:h;transport=udp;x=1");
  EXPECT_EQ(SL_URI_TRANSPORT_UDP, SLSipUriGetTransport(u));
  EXPECT_EQ(0, SLSipUriSetTransport(u, SL_URI_TRANSPORT_TCP));
  EXPECT_EQ("sip:h;x=1;transport=tcp", encode(u));
  EXPECT_EQ(static_cast<int>(0xA0AA800Bu), SLSipUriSetTransport(u, SL_URI_TRANSPORT_OTHER));
  EXPECT_EQ(static_cast<int>(0xA0AA800Bu), SLSipUriSetComp(u, ""));
  EXPECT_EQ(0, SLSipUriSetComp(u, "SigComp"));
  EXPECT_TRUE(SLSipUriIsSigcomp(u));
  EXPECT_EQ(0, SLSipUriSetComp(u, nullptr));
  EXPECT_FALSE(SLSipUriIsSigcomp(u));
  EXPECT_EQ(SL_URI_TRANSPORT_OTHER, SLSipUriGetTransportType("xyz"));
  SLUri *c = nullptr;
  ASSERT_EQ(0, SLSipUriCreate(&c, "sips", "bob", "h", 5061, SL_URI_TRANSPORT_TLS));
  owned_.push_back(c);
  EXPECT_EQ("sips:bob@h:5061;transport=tls", encode(c));
}

TEST_F(SLUriTest, TrimmingByContext) {
  SLUri *u = parse("sip:a@h:5070;method=INVITE;maddr=m;ttl=1;transport=tcp;lr;x?h=1");
  SLUri *aor = nullptr;
  ASSERT_EQ(0, SLUriClone(&aor, u));
  owned_.push_back(aor);
  SLSipUriAorTrimComponents(aor);
  EXPECT_EQ("sip:a@h;x", encode(aor));
  SLSipUriDialogContactHdrTrimComponents(u);
  EXPECT_EQ("sip:a@h:5070;maddr=m;transport=tcp;lr;x", encode(u));
}

}  // namespace
