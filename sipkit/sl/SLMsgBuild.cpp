// Messages built from a request (CANCEL, ACK for a non-2xx final response, responses) and the
// validation that answers malformed requests with 400.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "SLMsg.h"
#include "SLMsgPool.h"
#include "SLSipHdrPriv.h"
#include "SLSipMsgPriv.h"

using namespace slmsg;

namespace {

constexpr int kInvalid = err(kModMsg, kInval);
constexpr int kNoMemory = err(kModMsg, kNoMem);

// Appends the request's header of that name to msg: the wire form when there is one, else the
// typed view written out.
int copyHeader(SLSipMsg *msg, const SLSipMsg *src, const char *name) {
  const SLGenHdr *h = SLGenHdrListFindItem(src->headers, nullptr, name);
  SLGenHdr *c = nullptr;
  int r = h ? SLGenHdrClone(&c, h) : slhdr::encodeSlotNamed(&src->table, name, &c);
  if (r < 0) return r;
  if (c) SLGenHdrListInsertItemPtr(msg->headers, nullptr, c);
  return 0;
}

int cseqWithMethod(SLSipMsg *msg, const SLSipMsg *src, int method) {
  SLSipHdrCSeq *cseq = nullptr;
  const SLGenHdr *h = SLGenHdrListFindItem(src->headers, nullptr, "CSeq");
  int r;
  if (h) r = SLSipHdrCSeqParse(&cseq, h);
  else r = src->table.CSeq ? SLSipHdrCSeqClone(&cseq, src->table.CSeq) : kInvalid;
  if (r < 0) return r;
  SLGenHdr *g = nullptr;
  if ((r = SLSipHdrCSeqSetMethod(cseq, method, nullptr)) == 0 && (r = SLSipHdrCSeqEncode(&g, cseq)) == 0)
    SLGenHdrListInsertItemPtr(msg->headers, nullptr, g);
  SLSipHdrCSeqDestroy(cseq);
  return r;
}

const SLSipMsg *requestOf(const SLMsgData *d) {
  const SLSipMsg *m = d ? d->sipMsg : nullptr;
  return m && m->startLine && m->startLine->isRequest ? m : nullptr;
}

int wrap(SLMsgData **out, SLSipMsg *msg, int type) {
  SLMsgData *d = SLMsgDataCreate();
  if (!d) {
    SLSipMsgDestroy(msg);
    return kNoMemory;
  }
  d->type = type;
  d->sipMsg = msg;
  *out = d;
  return 0;
}

int mapError(int r) { return r == err(kModHdr, kNoMem) ? kNoMemory : r; }

}  // namespace

SFResult SLMsgMakeCancelRequest(SLMsgData **out, const SLMsgData *request) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLSipMsg *req = requestOf(request);
  if (!req) return kInvalid;
  SLSipMsg *m;
  int r = SLSipMsgCreateRequest(&m, "CANCEL", req->startLine->requestUri, req->startLine->version);
  if (r < 0) return mapError(r);
  for (const char *name : {"Via", "Route", "Max-Forwards", "Call-ID", "From", "To"})
    if (r == 0) r = copyHeader(m, req, name);
  if (r == 0) r = cseqWithMethod(m, req, SL_METHOD_CANCEL);
  if (r == 0) r = SLSipMsgSetContentLength(m, 0);
  if (r < 0) {
    SLSipMsgDestroy(m);
    return mapError(r);
  }
  return wrap(out, m, SL_MSGDATA_REQUEST);
}

SFResult SLMsgMakeAckRequest(SLMsgData **out, const SLMsgData *request, const SLMsgData *response) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLSipMsg *req = requestOf(request);
  if (!req) return kInvalid;
  SLSipMsg *m;
  int r = SLSipMsgCreateRequest(&m, "ACK", req->startLine->requestUri, req->startLine->version);
  if (r < 0) return mapError(r);
  for (const char *name : {"Via", "Route", "Max-Forwards", "Call-ID", "From", "To", "Proxy-Authorization",
                           "Authorization"})
    if (r == 0) r = copyHeader(m, req, name);
  if (r == 0) {
    const char *tag = response ? SLSipMsgGetTag(response->sipMsg, "To") : nullptr;
    if (tag) r = SLSipMsgEnsureTag(m, "To", tag);
  }
  if (r == 0) r = cseqWithMethod(m, req, SL_METHOD_ACK);
  if (r == 0) r = SLSipMsgSetContentLength(m, 0);
  if (r < 0) {
    SLSipMsgDestroy(m);
    return mapError(r);
  }
  return wrap(out, m, SL_MSGDATA_REQUEST);
}

SFResult SLMsgMakeResponse(SLMsgData **out, const SLMsgData *request, unsigned status, const char *reason,
                           const char *tag, int addTag) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLSipMsg *req = requestOf(request);
  if (!req) return kInvalid;
  SLSipMsg *m;
  int r = SLSipMsgCreateResponse(&m, "SIP/2.0", status, reason);
  if (r < 0) return mapError(r);
  for (const char *name : {"Via", "Call-ID", "From", "To", "CSeq"})
    if (r == 0) r = copyHeader(m, req, name);
  if (r == 0) {
    if (status == 100) {
      if (!SLGenHdrListFindItem(m->headers, nullptr, "Timestamp")) r = copyHeader(m, req, "Timestamp");
    } else if (addTag) {
      r = SLSipMsgEnsureTag(m, "To", tag);
    }
  }
  if (r == 0) r = SLSipMsgSetContentLength(m, 0);
  if (r < 0) {
    SLSipMsgDestroy(m);
    return mapError(r);
  }
  return wrap(out, m, SL_MSGDATA_RESPONSE);
}

SFResult SLMsgValidate(const SLMsgData *data, int *valid, SLMsgData **reply, SLMsgValidator extra,
                       SLMsgReplyMaker maker, void *context) {
  if (valid) *valid = 1;
  if (reply) *reply = nullptr;
  if (!data || !valid) return kInvalid;
  const SLSipMsg *m = data->sipMsg;
  if ((data->type != SL_MSGDATA_REQUEST && data->type != SL_MSGDATA_RESPONSE) || !m || !m->startLine ||
      m->startLine->isRequest != (data->type == SL_MSGDATA_REQUEST))
    return kInvalid;
  *valid = 0;
  const SLSipMsgStartLine *l = m->startLine;
  bool ok = l->version && *l->version;
  if (l->isRequest) ok = ok && l->method && *l->method && l->requestUri && *l->requestUri;
  else ok = ok && l->statusCode >= 100 && l->statusCode <= 699;
  if (!ok) return 0;
  *valid = 1;
  return extra ? extra(data, context, maker, valid, reply) : 0;
}

SFResult SLMsgSimpleValidate(const SLMsgData *data, void *context, SLMsgReplyMaker maker, int *valid,
                             SLMsgData **reply) {
  if (reply) *reply = nullptr;
  if (!data || !valid || !data->sipMsg || !data->sipMsg->startLine) return kInvalid;
  const SLSipMsg *m = data->sipMsg;
  bool request = m->startLine->isRequest != 0;
  bool ack = request && m->startLine->method && strcmp(m->startLine->method, "ACK") == 0;
  auto fail = [&](const std::string &reason) -> int {
    *valid = 0;
    if (!request || ack || !reply || reason.empty()) return 0;
    return maker ? maker(reply, data, 400, reason.c_str(), nullptr, context)
                 : SLMsgMakeResponse(reply, data, 400, reason.c_str(), nullptr, 1);
  };
  auto present = [&](const char *name) {
    const char *v = SLGenHdrListGetHdr(m->headers, name, 0);
    return v && *v;
  };
  if (!present("Via")) return fail("");
  for (const char *name : {"To", "From", "Call-ID"})
    if (!present(name)) return fail(std::string("Missing ") + name + " header field");
  if (!present("CSeq")) return fail("Missing CSeq header field");
  SLSipHdrCSeq *cseq = nullptr;
  int r = SLSipHdrCSeqParse(&cseq, SLGenHdrListFindItem(m->headers, nullptr, "CSeq"));
  if (r == err(kModHdr, kSyntax)) return fail("Illegal CSeq header field");
  if (r < 0) return r;
  bool cseqAck = SLSipHdrCSeqGetMethod(cseq) == SL_METHOD_ACK;
  bool methodOk = !request || strcmp(SLSipHdrCSeqGetMethodStr(cseq), m->startLine->method ? m->startLine->method : "") == 0;
  SLSipHdrCSeqDestroy(cseq);
  if (!request && cseqAck) return fail("");
  if (!methodOk) return fail("Illegal CSeq method");
  if (const SLGenHdr *cl = SLGenHdrListFindItem(m->headers, nullptr, "Content-Length")) {
    std::string v(trim(SLGenFieldGetValue(SLGenHdrGetFieldList(cl)) ? SLGenFieldGetValue(SLGenHdrGetFieldList(cl)) : ""));
    const char *end;
    int error;
    uint32_t n = v.empty() ? 0 : strtoui(v.c_str(), &end, &error);
    bool good = v.empty() || (error == 0 && *end == '\0');
    int bodyLen = SLSipMsgBodyGetLength(m->body);
    if (!good || long(n) != long(bodyLen < 0 ? 0 : bodyLen)) return fail("Illegal Content-Length header field");
  }
  if (SLSipMsgBodyGetLength(m->body) > 0 && !present("Content-Type"))
    return fail("Missing Content-Type header field");
  *valid = 1;
  return 0;
}
