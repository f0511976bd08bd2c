// Typical messages of a call, built the way the layers above build them: parsed INVITE with
// SDP, responses and requests made by the builders, REGISTER with digest credentials from typed
// headers, and a NOTIFY carrying a sipfrag body. Shared by the peer check and the benchmark.
#pragma once
#include <stdio.h>

#include <string>
#include <vector>

#include "SLAuth.h"
#include "SLMsg.h"
#include "SipFrag.h"

namespace slsample {

inline const char kInviteWithSdp[] =
    "INVITE sip:0312345678@ngn.example.net SIP/2.0\r\n"
    "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK74bf9;rport\r\n"
    "Max-Forwards: 70\r\n"
    "From: \"ORVA-700\" <sip:0311112222@ngn.example.net>;tag=9fxced76sl\r\n"
    "To: <sip:0312345678@ngn.example.net>\r\n"
    "Call-ID: 3848276298220188511@192.0.2.10\r\n"
    "CSeq: 1 INVITE\r\n"
    "Contact: <sip:0311112222@192.0.2.10:5060>\r\n"
    "Supported: 100rel,timer\r\n"
    "Session-Expires: 1800;refresher=uac\r\n"
    "Allow: INVITE,ACK,CANCEL,BYE,UPDATE,PRACK,INFO,NOTIFY,REFER\r\n"
    "Content-Type: application/sdp\r\n"
    "Content-Length: 145\r\n"
    "\r\n"
    "v=0\r\n"
    "o=- 8 8 IN IP4 192.0.2.10\r\n"
    "s=-\r\n"
    "c=IN IP4 192.0.2.10\r\n"
    "t=0 0\r\n"
    "m=application 50000 udp audio-LDALS\r\n"
    "a=sendrecv\r\n"
    "m=application 50002 udp incom\r\n";

inline const char kRegister401[] =
    "SIP/2.0 401 Unauthorized\r\n"
    "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bKnashds7;received=192.0.2.10\r\n"
    "From: <sip:0311112222@ngn.example.net>;tag=a73kszlfl\r\n"
    "To: <sip:0311112222@ngn.example.net>;tag=1410948204\r\n"
    "Call-ID: 1j9FpLxk3uxtm8tn@192.0.2.10\r\n"
    "CSeq: 1 REGISTER\r\n"
    "WWW-Authenticate: Digest realm=\"ngn.example.net\", qop=\"auth\", nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\", "
    "algorithm=MD5, stale=FALSE\r\n"
    "Content-Length: 0\r\n\r\n";

// Builds the REGISTER that answers kRegister401 (digest credentials, CSeq 2).
inline SLSipMsg *buildRegister() {
  SLSipMsg *m = nullptr;
  if (SLSipMsgCreateRequest(&m, "REGISTER", "sip:ngn.example.net", "SIP/2.0") != 0) return nullptr;
  SLSipHdrTable *t = SLSipMsgGetHdrTable(m);
  SLUri *aor = nullptr, *contactUri = nullptr;
  SLSipUriCreate(&aor, "sip", "0311112222", "ngn.example.net", 0, 0);
  SLSipUriCreate(&contactUri, "sip", "0311112222", "192.0.2.10", 5060, 0);
  SLSipHdrVia *via = nullptr;
  SLSipHdrViaItem *vi = nullptr;
  SLSipHdrViaCreate(&via);
  SLSipHdrViaItemCreate(&vi, "SIP", "2.0", "UDP", "192.0.2.10", 5060);
  SLSipHdrViaItemSetBranch(vi, "z9hG4bKnashds8");
  int32_t rport = -1;
  SLSipHdrViaItemSetRPort(vi, &rport);
  SLSipHdrViaAddItem(via, vi);
  SLSipHdrTableSetVia(t, via);
  SLSipHdrViaDestroy(via);
  SLSipHdrMaxForwards *mf = nullptr;
  SLSipHdrMaxForwardsCreate(&mf, 70);
  SLSipHdrTableSetMaxForwards(t, mf);
  SLSipHdrMaxForwardsDestroy(mf);
  SLSipHdrFrom *from = nullptr, *to = nullptr;
  SLSipHdrFromCreate(&from, aor, nullptr, "a73kszlfl");
  SLSipHdrFromCreate(&to, aor, nullptr, nullptr);
  SLSipHdrTableSetFrom(t, from);
  SLSipHdrTableSetTo(t, to);
  SLSipHdrFromDestroy(from);
  SLSipHdrFromDestroy(to);
  SLSipHdrCallId *cid = nullptr;
  SLSipHdrCallIdCreate(&cid, "1j9FpLxk3uxtm8tn", "192.0.2.10");
  SLSipHdrTableSetCallId(t, cid);
  SLSipHdrCallIdDestroy(cid);
  SLSipHdrCSeq *cseq = nullptr;
  SLSipHdrCSeqCreate(&cseq, 2, SL_METHOD_REGISTER, nullptr);
  SLSipHdrTableSetCSeq(t, cseq);
  SLSipHdrCSeqDestroy(cseq);
  SLSipHdrContact *contact = nullptr;
  SLSipHdrContactCreate(&contact, contactUri);
  uint32_t expires = 3600;
  SLSipHdrContactItemSetDeltaSeconds(SLSipHdrContactGetHeadItem(contact), &expires);
  SLSipHdrTableSetContact(t, contact);
  SLSipHdrContactDestroy(contact);
  char response[33];
  SLAuthCalcDigestCredential({"\"ngn.example.net\"", 1}, {"\"ea9c8e88df84f1cec4341ae6cbe5a359\"", 1}, SL_AUTH_ALG_MD5,
                             SL_AUTH_QOP_AUTH, 1, {"0a4f113b", 0}, {"0311112222", 0}, {"secret", 0}, "REGISTER",
                             "sip:ngn.example.net", nullptr, 0, response);
  SLSipHdrAuth *auth = nullptr;
  SLSipHdrAuthItem *ai = nullptr;
  SLSipHdrAuthCreate(&auth);
  SLSipHdrAuthItemCreate(&ai, "Digest");
  SLSipHdrAuthItemSetParam(ai, "username", "\"0311112222\"");
  SLSipHdrAuthItemSetParam(ai, "realm", "\"ngn.example.net\"");
  SLSipHdrAuthItemSetParam(ai, "nonce", "\"ea9c8e88df84f1cec4341ae6cbe5a359\"");
  SLSipHdrAuthItemSetParam(ai, "uri", "\"sip:ngn.example.net\"");
  char quoted[40];
  snprintf(quoted, sizeof quoted, "\"%s\"", response);
  SLSipHdrAuthItemSetParam(ai, "response", quoted);
  SLSipHdrAuthItemSetParam(ai, "algorithm", "MD5");
  SLSipHdrAuthItemSetParam(ai, "cnonce", "\"0a4f113b\"");
  SLSipHdrAuthItemSetParam(ai, "qop", "auth");
  SLSipHdrAuthItemSetNC(ai, 1);
  SLSipHdrAuthAddItem(auth, ai);
  SLSipHdrTableSetAuthorization(t, auth);
  SLSipHdrAuthDestroy(auth);
  SLSipHdrDeltaSeconds *exp = nullptr;
  SLSipHdrDeltaSecondsCreate(&exp, 3600);
  SLSipHdrTableSetExpires(t, exp);
  SLSipHdrDeltaSecondsDestroy(exp);
  SLUriDestroy(aor);
  SLUriDestroy(contactUri);
  SLSipMsgEncodeSipHdr(m);
  SLSipMsgSetContentLength(m, 0);
  return m;
}

inline SLMsgData *envelope(const char *text) {
  SLSipMsg *m = nullptr;
  int n = int(std::char_traits<char>::length(text));
  if (SLSipMsgParse(&m, text, &n, SL_SIPMSG_MODE_UDP) != 0 || !m) return nullptr;
  SLMsgData *d = SLMsgDataCreate();
  d->type = SLSipMsgStartLineIsRequestLine(SLSipMsgGetStartLine(m)) ? SL_MSGDATA_REQUEST : SL_MSGDATA_RESPONSE;
  d->sipMsg = m;
  return d;
}

inline std::string encode(const SLSipMsg *m) {
  size_t n = 0;
  SLSipMsgEncode(m, nullptr, &n);
  std::string s(n, '\0');
  if (SLSipMsgEncode(m, s.data(), &n) != 0) return {};
  return s;
}

// Every message of the set, encoded.
inline std::vector<std::string> allEncoded() {
  std::vector<std::string> out;
  SLMsgData *invite = envelope(kInviteWithSdp);
  out.push_back(encode(invite->sipMsg));
  SLMsgData *trying = nullptr, *ringing = nullptr, *ok = nullptr, *busy = nullptr, *ack = nullptr, *cancel = nullptr;
  SLMsgMakeResponse(&trying, invite, 100, "Trying", nullptr, 1);
  SLMsgMakeResponse(&ringing, invite, 180, "Ringing", nullptr, 1);
  SLMsgMakeResponse(&ok, invite, 200, "OK", nullptr, 1);
  // The answer carries SDP like the offer.
  const char *sdp = "v=0\r\no=- 9 9 IN IP4 192.0.2.20\r\ns=-\r\nc=IN IP4 192.0.2.20\r\nt=0 0\r\nm=application 40000 udp audio-LDALS\r\n";
  SLGenHdrListAddHdr(SLSipMsgGetHdrList(ok->sipMsg), "Contact", "<sip:0312345678@192.0.2.20:5060>");
  SLGenHdrListAddHdr(SLSipMsgGetHdrList(ok->sipMsg), "Content-Type", "application/sdp");
  SLSipMsgSetBody(ok->sipMsg, sdp, int(std::char_traits<char>::length(sdp)));
  SLSipMsgSetContentLength(ok->sipMsg, int(std::char_traits<char>::length(sdp)));
  SLMsgMakeResponse(&busy, invite, 486, "Busy Here", "b7c1", 1);
  SLMsgMakeAckRequest(&ack, invite, busy);
  SLMsgMakeCancelRequest(&cancel, invite);
  for (SLMsgData *d : {trying, ringing, ok, busy, ack, cancel}) {
    out.push_back(encode(d->sipMsg));
    SLMsgDataDestroy(d);
  }
  SLSipMsg *reg = buildRegister();
  out.push_back(encode(reg));
  SLSipMsgDestroy(reg);
  // A transfer progress report: NOTIFY with the 180 as a sipfrag body.
  SLMsgData *r180 = nullptr;
  SLMsgMakeResponse(&r180, invite, 180, "Ringing", "x", 1);
  char frag[1024];
  SipFragBuffer fb{sizeof frag, frag};
  SipFragEncode(&fb, r180->sipMsg);
  SLSipMsg *notify = nullptr;
  SLSipMsgCreateRequest(&notify, "NOTIFY", "sip:0311112222@192.0.2.10:5060", "SIP/2.0");
  SLGenHdrList *l = SLSipMsgGetHdrList(notify);
  SLGenHdrListAddHdr(l, "Via", "SIP/2.0/UDP 192.0.2.20:5060;branch=z9hG4bKn1");
  SLGenHdrListAddHdr(l, "Max-Forwards", "70");
  SLGenHdrListAddHdr(l, "From", "<sip:0312345678@ngn.example.net>;tag=b7c1");
  SLGenHdrListAddHdr(l, "To", "<sip:0311112222@ngn.example.net>;tag=9fxced76sl");
  SLGenHdrListAddHdr(l, "Call-ID", "3848276298220188511@192.0.2.10");
  SLGenHdrListAddHdr(l, "CSeq", "5 NOTIFY");
  SLGenHdrListAddHdr(l, "Event", "refer");
  SLGenHdrListAddHdr(l, "Subscription-State", "active;expires=60");
  SLGenHdrListAddHdr(l, "Content-Type", "message/sipfrag;version=2.0");
  SLSipMsgSetBody(notify, frag, int(fb.length));
  SLSipMsgSetContentLength(notify, int(fb.length));
  out.push_back(encode(notify));
  SLSipMsgDestroy(notify);
  SLMsgDataDestroy(r180);
  SLMsgDataDestroy(invite);
  return out;
}

}  // namespace slsample
