// Generic header model: header blocks, lines, values, fields and their encoding.
#include "SLParam.h"
#include "sl_fixture.h"

namespace {

class SLGenHdrTest : public SLLayerTest {
protected:
  SLGenField *field(int cls, const std::string &text, int expect = 0) {
    SLGenField *f = nullptr;
    EXPECT_EQ(expect, SLGenFieldParse(&f, cls, text.data(), text.size())) << text;
    if (f) fields_.push_back(f);
    return f;
  }
  std::string encode(const SLGenField *f, int cls) {
    return encodeToString([&](char *b, size_t *s) { return SLGenFieldEncode(f, cls, b, s); });
  }
  std::string encode(const SLGenHdrList *l) {
    return encodeToString([&](char *b, size_t *s) { return SLGenHdrListEncode(l, b, s); });
  }
  SLGenHdrList *list(const std::string &block, int expect = 0) {
    SLGenHdrList *l = nullptr;
    EXPECT_EQ(0, SLGenHdrListCreate(&l));
    EXPECT_EQ(expect, SLGenHdrListParse(l, block.data(), block.size())) << block;
    lists_.push_back(l);
    return l;
  }
  void TearDown() override {
    for (auto *f : fields_) SLGenFieldDestroy(f);
    for (auto *l : lists_) SLGenHdrListDestroy(l);
    SLLayerTest::TearDown();
  }
  std::vector<SLGenField *> fields_;
  std::vector<SLGenHdrList *> lists_;
};

TEST_F(SLGenHdrTest, ContactValuesWithInnerParametersAndQuotedNames) {
  SLGenHdrList *l = list("Contact: <sip:a@h;x=1>;expires=60, \"Bob, Jr\" <sip:b@h>\r\n");
  SLGenHdr *h = SLGenHdrListFindItem(l, nullptr, "m");
  ASSERT_NE(nullptr, h);
  ASSERT_EQ(2, SLGenHdrGetFieldCount(h));
  SLGenField *f = SLGenHdrGetFieldList(h);
  EXPECT_STREQ("<sip:a@h;x=1>", SLGenFieldGetValue(f));
  SLParamList *ps = SLGenFieldGetParamList(f);
  ASSERT_NE(nullptr, ps->head);
  EXPECT_STREQ("expires", ps->head->name);
  EXPECT_STREQ("60", ps->head->value);
  EXPECT_EQ(nullptr, ps->head->next);
  EXPECT_STREQ("\"Bob, Jr\" <sip:b@h>", SLGenFieldGetValue(SLGenFieldGetNext(f)));
}

TEST_F(SLGenHdrTest, CommentsAndQuotedParameterValues) {
  SLGenField *f = field(SL_HDR_CLASS_PARAMS, "hello (greeting) ;a=1;b=\"x\\\"y\"");
  ASSERT_NE(nullptr, f);
  EXPECT_STREQ("hello", SLGenFieldGetValue(f));
  EXPECT_STREQ("greeting", SLGenFieldGetComment(f));
  SLParam *a = SLGenFieldFindParam(f, "a"), *b = SLGenFieldFindParam(f, "B");
  ASSERT_TRUE(a && b);
  EXPECT_STREQ("1", a->value);
  EXPECT_EQ(SL_PARAM_TOKEN, a->valueType);
  EXPECT_STREQ("x\"y", b->value);
  EXPECT_EQ(SL_PARAM_QUOTED, b->valueType);
  EXPECT_EQ("hello(greeting);a=1;b=\"x\\\"y\"", encode(f, SL_HDR_CLASS_PARAMS));
}

TEST_F(SLGenHdrTest, CredentialsSplitIntoSchemeAndParameters) {
  SLGenField *f = field(SL_HDR_CLASS_AUTH, "Digest username=\"u\", realm=\"r\",nc=00000001");
  ASSERT_NE(nullptr, f);
  EXPECT_STREQ("Digest", SLGenFieldGetValue(f));
  EXPECT_EQ(3, SLParamListGetCount(SLGenFieldGetParamList(f)));
  EXPECT_STREQ("00000001", SLGenFieldGetParam(f, "nc"));
  EXPECT_EQ("Digest username=\"u\",realm=\"r\",nc=00000001", encode(f, SL_HDR_CLASS_AUTH));
  f = field(SL_HDR_CLASS_AUTHINFO, "nextnonce=\"abc\", qop=auth");
  EXPECT_STREQ("abc", SLGenFieldGetParam(f, "nextnonce"));
}

TEST_F(SLGenHdrTest, FieldLengthLimit) {
  field(SL_HDR_CLASS_RAW, std::string(512, 'a'));
  field(SL_HDR_CLASS_RAW, std::string(513, 'a'), kHdrSyntax);
}

TEST_F(SLGenHdrTest, ParameterSyntaxErrorsAreSyntaxErrors) {
  // Answered 400 by the layers above: these must report the syntax code, not a memory failure.
  field(SL_HDR_CLASS_PARAMS, "v;a=1 x", kHdrSyntax);
  field(SL_HDR_CLASS_PARAMS, "v;=1", kHdrSyntax);
  field(SL_HDR_CLASS_PARAMS, "v;a=\"open", kHdrSyntax);
  std::string many = "v";
  for (int i = 0; i < 31; ++i) many += ";p" + std::to_string(i);
  field(SL_HDR_CLASS_PARAMS, many, kHdrSyntax);
  many.resize(many.rfind(';'));
  field(SL_HDR_CLASS_PARAMS, many);
  SLGenField *f = field(SL_HDR_CLASS_PARAMS, "v;a;;b");
  EXPECT_EQ(2, SLParamListGetCount(SLGenFieldGetParamList(f)));
}

TEST_F(SLGenHdrTest, LinesFoldingCompactNamesAndEncoding) {
  SLGenHdrList *l = list(
      "Via: SIP/2.0/UDP a;branch=z9hG4bK1, SIP/2.0/UDP b\r\n"
      "Allow: INVITE,\r\n ACK\r\n"
      "m: <sip:x@h>\r\n"
      "Contact: <sip:y@h>\r\n"
      "X-Unknown:   some raw text, with comma\r\n"
      "Subject:\r\n"
      "\r\n"
      "ignored: after blank line\r\n");
  EXPECT_EQ(2, SLGenHdrGetFieldCount(SLGenHdrListFindItem(l, nullptr, "v")));
  EXPECT_EQ(2, SLGenHdrGetFieldCount(SLGenHdrListFindItem(l, nullptr, "Allow")));
  SLGenHdr *contact = SLGenHdrListFindItem(l, nullptr, "Contact");
  EXPECT_STREQ("Contact", SLGenHdrGetName(contact));
  EXPECT_EQ(2, SLGenHdrGetFieldCount(contact));
  EXPECT_STREQ("some raw text, with comma", SLGenHdrListGetHdr(l, "x-unknown", 0));
  EXPECT_STREQ("", SLGenHdrListGetHdr(l, "Subject", 0));
  EXPECT_EQ(nullptr, SLGenHdrListFindItem(l, nullptr, "ignored"));
  EXPECT_EQ(
      "Via: SIP/2.0/UDP a;branch=z9hG4bK1\r\nVia: SIP/2.0/UDP b\r\n"
      "Allow: INVITE,ACK\r\n"
      "Contact: <sip:x@h>,<sip:y@h>\r\n"
      "X-Unknown: some raw text, with comma\r\n"
      "Subject: \r\n",
      encode(l));
}

TEST_F(SLGenHdrTest, MalformedHeaderBlocksAreRefusedAndLeaveTheListEmpty) {
  const struct {
    const char *block;
    int code;
  } cases[] = {
      {": no name\r\n", static_cast<int>(0xA0AB8001u)},
      {"Name value\r\n", kHdrInvalid},
      {"Name x: value\r\n", kHdrInvalid},
      {"To: \"unterminated <sip:a@h>\r\n", kHdrInvalid},
      {"Via: SIP/2.0/UDP a;(unclosed\r\n", kHdrInvalid},
  };
  for (const auto &c : cases) {
    SLGenHdrList *l = list(std::string("From: <sip:a@h>\r\n") + c.block, c.code);
    EXPECT_EQ(nullptr, SLGenHdrListGetFirst(l)) << c.block;
  }
  std::string withNul("From: a\0b\r\n", 11);
  EXPECT_EQ(nullptr, SLGenHdrListGetFirst(list(withNul, kHdrSyntax)));
}

TEST_F(SLGenHdrTest, ListOperations) {
  SLGenHdrList *l = list("");
  EXPECT_EQ(0, SLGenHdrListAddHdr(l, "Subject", "a;b=c"));
  EXPECT_STREQ("a;b=c", SLGenHdrListGetHdr(l, "Subject", 0));
  EXPECT_EQ(0, SLGenHdrListAddHdrParsed(l, "Route", "<sip:p1;lr>, <sip:p2;lr>"));
  EXPECT_EQ(0, SLGenHdrListAddHdrParsed(l, "Route", "<sip:p3>"));
  EXPECT_STREQ("<sip:p3>", SLGenHdrListGetHdr(l, "Route", -1));
  EXPECT_STREQ("<sip:p2;lr>", SLGenHdrListGetHdr(l, "Route", 1));
  EXPECT_EQ(nullptr, SLGenHdrListGetHdr(l, "Route", 3));
  SLGenHdr *h = nullptr;
  ASSERT_EQ(0, SLGenHdrCreate(&h, "Route"));
  EXPECT_EQ(kHdrInvalid, SLGenHdrListInsertItem(l, nullptr, h)) << "name already there";
  SLGenHdrDestroy(h);
  EXPECT_EQ(1, SLGenHdrListDeleteNamed(l, "route"));
  EXPECT_EQ(kHdrInvalid, SLGenHdrCreate(&h, ""));
  EXPECT_EQ(SL_HDR_CLASS_SINGLE, SLGenHdrGetHdrType("t"));
  EXPECT_STREQ("Session-Expires", SLGenHdrGetLongForm("X"));
  EXPECT_EQ(SL_HDR_CLASS_RAW, SLGenHdrGetHdrType("X-Other"));
}

}  // namespace
