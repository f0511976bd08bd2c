// Typed headers with small fixed records: Call-ID, CSeq, numbers, Timestamp, RAck,
// Session-Expires, Retry-After and the dialog identifiers (Replaces, Join, Target-Dialog).
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "SLSipHdrPriv.h"

using namespace slmsg;
using namespace slhdr;

namespace {

// A one-field header of that name whose value is `value` (and parameters).
int simpleHeader(SLGenHdr **out, const char *name, const std::string &value, const SLParam *params = nullptr) {
  *out = nullptr;
  SLGenHdr *h;
  int r = newHeader(&h, name);
  if (r < 0) return r;
  SLGenField *f;
  if ((r = makeField(&f, h->type, value.c_str(), params)) < 0) {
    SLGenHdrDestroy(h);
    return r;
  }
  addField(h, f);
  *out = h;
  return 0;
}

// First field of a header that must have the given name.
int firstOf(const SLGenHdr *hdr, const char *name, const SLGenField *&field) {
  if (!named(hdr, name)) return kInvalid;
  field = firstField(hdr);
  return field ? 0 : kInvalid;
}

std::string uitoa(unsigned long v) { return std::to_string(v); }

}  // namespace

// ---- Call-ID -----------------------------------------------------------------------------------

SFResult SLSipHdrCallIdCreate(SLSipHdrCallId **out, const char *localId, const char *host) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!localId || !*localId) return kInvalid;
  auto *h = make<SLSipHdrCallId>();
  if (!h) return kNoMemory;
  if (!copyText(h->localId, localId) || !copyText(h->host, host)) {
    SLSipHdrCallIdDestroy(h);
    return kNoMemory;
  }
  *out = h;
  return 0;
}
void SLSipHdrCallIdDestroy(SLSipHdrCallId *h) {
  if (!h) return;
  drop(h->localId);
  drop(h->host);
  drop(h);
}
SFResult SLSipHdrCallIdClone(SLSipHdrCallId **out, const SLSipHdrCallId *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  return s ? SLSipHdrCallIdCreate(out, s->localId, s->host) : kInvalid;
}
namespace {
int splitCallId(std::string_view v, SLSipHdrCallId **out) {
  size_t at = v.find('@');
  std::string local(v.substr(0, at));
  if (local.empty()) return kSyntaxErr;
  std::string host = at == std::string_view::npos ? std::string() : std::string(v.substr(at + 1));
  return SLSipHdrCallIdCreate(out, local.c_str(), at == std::string_view::npos ? nullptr : host.c_str());
}
std::string callIdText(const SLSipHdrCallId *c) {
  std::string s = c->localId ? c->localId : "";
  if (c->host) s += std::string("@") + c->host;
  return s;
}
}  // namespace
SFResult SLSipHdrCallIdParse(SLSipHdrCallId **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (int r = firstOf(hdr, "Call-ID", f); r < 0) return r;
  return splitCallId(fieldValue(f), out);
}
SFResult SLSipHdrCallIdEncode(SLGenHdr **out, const SLSipHdrCallId *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !h->localId) return kInvalid;
  return simpleHeader(out, "Call-ID", callIdText(h));
}
const char *SLSipHdrCallIdGetLocalId(const SLSipHdrCallId *h) { return h ? h->localId : nullptr; }
SFResult SLSipHdrCallIdSetLocalId(SLSipHdrCallId *h, const char *t) {
  if (!h || !t || !*t) return kInvalid;
  return copyText(h->localId, t) ? 0 : kNoMemory;
}
const char *SLSipHdrCallIdGetHost(const SLSipHdrCallId *h) { return h ? h->host : nullptr; }
SFResult SLSipHdrCallIdSetHost(SLSipHdrCallId *h, const char *t) {
  return h ? (copyText(h->host, t) ? 0 : kNoMemory) : kInvalid;
}
int SLSipHdrCallIdIsEqual(const SLSipHdrCallId *a, const SLSipHdrCallId *b) {
  if (!a || !b) return a == b;
  return scmp(a->localId, b->localId) == 0 && scmp(a->host, b->host) == 0;
}

// ---- CSeq --------------------------------------------------------------------------------------

SFResult SLSipHdrCSeqCreate(SLSipHdrCSeq **out, uint32_t seqNo, int methodId, const char *methodText) {
  if (!out) return kInvalid;
  *out = nullptr;
  const char *text = methodId ? SLSipHdrGetMethodStr(methodId) : methodText;
  if (!text || !*text) return kInvalid;
  auto *h = make<SLSipHdrCSeq>();
  if (!h) return kInvalid;
  if (!copyText(h->methodText, text)) {
    drop(h);
    return kInvalid;
  }
  h->seqNo = seqNo;
  h->method = methodId;
  *out = h;
  return 0;
}
void SLSipHdrCSeqDestroy(SLSipHdrCSeq *h) {
  if (!h) return;
  drop(h->methodText);
  drop(h);
}
SFResult SLSipHdrCSeqClone(SLSipHdrCSeq **out, const SLSipHdrCSeq *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  return s ? SLSipHdrCSeqCreate(out, s->seqNo, s->method, s->methodText) : kInvalid;
}
SFResult SLSipHdrCSeqParse(SLSipHdrCSeq **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (int r = firstOf(hdr, "CSeq", f); r < 0) return r;
  std::string_view v = fieldValue(f);
  size_t ws = 0;
  while (ws < v.size() && !isWs(static_cast<unsigned char>(v[ws]))) ++ws;
  if (ws == v.size() || v.empty() || v[0] < '0' || v[0] > '9') return kSyntaxErr;
  uint32_t n;
  if (!readNumber(v.substr(0, ws), n)) return kSyntaxErr;
  std::string method(trim(v.substr(ws)));
  if (method.empty()) return kSyntaxErr;
  int id = SLSipHdrGetMethod(method.c_str());
  int r = SLSipHdrCSeqCreate(out, n, id, method.c_str());
  return r == kInvalid ? kNoMemory : r;
}
SFResult SLSipHdrCSeqEncode(SLGenHdr **out, const SLSipHdrCSeq *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !h->methodText) return kInvalid;
  return simpleHeader(out, "CSeq", uitoa(h->seqNo) + " " + h->methodText);
}
uint32_t SLSipHdrCSeqGetSeqNo(const SLSipHdrCSeq *h) { return h ? h->seqNo : 0; }
SFResult SLSipHdrCSeqSetSeqNo(SLSipHdrCSeq *h, uint32_t n) {
  if (!h) return kInvalid;
  h->seqNo = n;
  return 0;
}
int SLSipHdrCSeqGetMethod(const SLSipHdrCSeq *h) { return h ? h->method : 0; }
SFResult SLSipHdrCSeqSetMethod(SLSipHdrCSeq *h, int id, const char *text) {
  if (!h) return kInvalid;
  const char *t = id ? SLSipHdrGetMethodStr(id) : text;
  if (!t || !*t) return kInvalid;
  if (!copyText(h->methodText, t)) return kNoMemory;
  h->method = id;
  return 0;
}
const char *SLSipHdrCSeqGetMethodStr(const SLSipHdrCSeq *h) { return h ? h->methodText : nullptr; }
SFResult SLSipHdrCSeqIncrementSeqNo(SLSipHdrCSeq *h) {
  if (!h) return kInvalid;
  ++h->seqNo;
  return 0;
}
int SLSipHdrCSeqIsEqual(const SLSipHdrCSeq *a, const SLSipHdrCSeq *b) {
  if (!a || !b) return a == b;
  if (a->seqNo != b->seqNo || a->method != b->method) return 0;
  return a->method != 0 || scmp(a->methodText, b->methodText) == 0;
}

// ---- Numbers -----------------------------------------------------------------------------------

#define SL_NUMBER_IMPL(F, Get, Set, FixedName)                                                     \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out, uint32_t value) {                                 \
    if (!out) return kInvalid;                                                                      \
    *out = make<SLSipHdr##F>();                                                                     \
    if (!*out) return kNoMemory;                                                                    \
    (*out)->value = value;                                                                          \
    return 0;                                                                                       \
  }                                                                                                 \
  void SLSipHdr##F##Destroy(SLSipHdr##F *h) { drop(h); }                                            \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *s) {                            \
    if (!out) return kInvalid;                                                                      \
    *out = nullptr;                                                                                 \
    return s ? SLSipHdr##F##Create(out, s->value) : kInvalid;                                       \
  }                                                                                                 \
  SFResult SLSipHdr##F##ParseHdr(SLSipHdr##F **out, const SLGenHdr *hdr, const char *name) {        \
    if (!out) return kInvalid;                                                                      \
    *out = nullptr;                                                                                 \
    const SLGenField *f;                                                                            \
    if (!name) return kInvalid;                                                                     \
    if (int r = firstOf(hdr, name, f); r < 0) return r;                                             \
    uint32_t v;                                                                                     \
    if (!readNumber(fieldValue(f), v)) return kSyntaxErr;                                           \
    return SLSipHdr##F##Create(out, v);                                                             \
  }                                                                                                 \
  SFResult SLSipHdr##F##EncodeHdr(SLGenHdr **out, const SLSipHdr##F *h, const char *name) {         \
    if (!out) return kInvalid;                                                                      \
    *out = nullptr;                                                                                 \
    if (!h || !name) return kInvalid;                                                               \
    return simpleHeader(out, name, uitoa(h->value));                                                \
  }                                                                                                 \
  uint32_t SLSipHdr##F##Get(const SLSipHdr##F *h) { return h ? h->value : 0; }                      \
  SFResult SLSipHdr##F##Set(SLSipHdr##F *h, uint32_t v) {                                           \
    if (!h) return kInvalid;                                                                        \
    h->value = v;                                                                                   \
    return 0;                                                                                       \
  }
SL_NUMBER_IMPL(DeltaSeconds, GetValue, SetValue, nullptr)
SL_NUMBER_IMPL(RSeq, GetResNo, SetResNo, "RSeq")
SL_NUMBER_IMPL(MaxForwards, GetDigit, SetDigit, "Max-Forwards")
SL_NUMBER_IMPL(MaxBreadth, GetDigit, SetDigit, "Max-Breadth")
#undef SL_NUMBER_IMPL

SFResult SLSipHdrDeltaSecondsParse(SLSipHdrDeltaSeconds **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!hdr) return kInvalid;
  for (const char *n : {"Expires", "Min-Expires", "Min-SE"})
    if (named(hdr, n)) return SLSipHdrDeltaSecondsParseHdr(out, hdr, n);
  return kInvalid;
}
SFResult SLSipHdrRSeqParse(SLSipHdrRSeq **out, const SLGenHdr *hdr) { return SLSipHdrRSeqParseHdr(out, hdr, "RSeq"); }
SFResult SLSipHdrRSeqEncode(SLGenHdr **out, const SLSipHdrRSeq *h) { return SLSipHdrRSeqEncodeHdr(out, h, "RSeq"); }
SFResult SLSipHdrRSeqIncrementResNo(SLSipHdrRSeq *h) {
  if (!h) return kInvalid;
  ++h->value;
  return 0;
}
SFResult SLSipHdrMaxForwardsParse(SLSipHdrMaxForwards **out, const SLGenHdr *hdr) {
  return SLSipHdrMaxForwardsParseHdr(out, hdr, "Max-Forwards");
}
SFResult SLSipHdrMaxForwardsEncode(SLGenHdr **out, const SLSipHdrMaxForwards *h) {
  return SLSipHdrMaxForwardsEncodeHdr(out, h, "Max-Forwards");
}
SFResult SLSipHdrMaxBreadthParse(SLSipHdrMaxBreadth **out, const SLGenHdr *hdr) {
  return SLSipHdrMaxBreadthParseHdr(out, hdr, "Max-Breadth");
}
SFResult SLSipHdrMaxBreadthEncode(SLGenHdr **out, const SLSipHdrMaxBreadth *h) {
  return SLSipHdrMaxBreadthEncodeHdr(out, h, "Max-Breadth");
}

// ---- Timestamp ---------------------------------------------------------------------------------

SFResult SLSipHdrTimestampCreate(SLSipHdrTimestamp **out, const char *timestamp) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!timestamp || !*timestamp) return kInvalid;
  auto *h = make<SLSipHdrTimestamp>();
  if (!h) return kNoMemory;
  if (!copyText(h->timestamp, timestamp)) {
    drop(h);
    return kNoMemory;
  }
  *out = h;
  return 0;
}
void SLSipHdrTimestampDestroy(SLSipHdrTimestamp *h) {
  if (!h) return;
  drop(h->timestamp);
  drop(h->delay);
  drop(h);
}
SFResult SLSipHdrTimestampClone(SLSipHdrTimestamp **out, const SLSipHdrTimestamp *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = SLSipHdrTimestampCreate(out, s->timestamp);
  if (r == 0 && !copyText((*out)->delay, s->delay)) {
    SLSipHdrTimestampDestroy(*out);
    *out = nullptr;
    r = kNoMemory;
  }
  return r;
}
SFResult SLSipHdrTimestampParse(SLSipHdrTimestamp **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (int r = firstOf(hdr, "Timestamp", f); r < 0) return r;
  std::string_view v = fieldValue(f);
  size_t ws = 0;
  while (ws < v.size() && !isWs(static_cast<unsigned char>(v[ws]))) ++ws;
  std::string ts(v.substr(0, ws)), delay(trim(v.substr(ws)));
  if (ts.empty()) return kSyntaxErr;
  int r = SLSipHdrTimestampCreate(out, ts.c_str());
  if (r == 0 && !delay.empty() && !copyText((*out)->delay, delay.c_str())) {
    SLSipHdrTimestampDestroy(*out);
    *out = nullptr;
    r = kNoMemory;
  }
  return r;
}
SFResult SLSipHdrTimestampEncode(SLGenHdr **out, const SLSipHdrTimestamp *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !h->timestamp) return kInvalid;
  std::string v = h->timestamp;
  if (h->delay) v += std::string(" ") + h->delay;
  return simpleHeader(out, "Timestamp", v);
}
const char *SLSipHdrTimestampGetTimestamp(const SLSipHdrTimestamp *h) { return h ? h->timestamp : nullptr; }
SFResult SLSipHdrTimestampSetTimestamp(SLSipHdrTimestamp *h, const char *t) {
  if (!h || !t || !*t) return kInvalid;
  return copyText(h->timestamp, t) ? 0 : kNoMemory;
}
const char *SLSipHdrTimestampGetDelay(const SLSipHdrTimestamp *h) { return h ? h->delay : nullptr; }
SFResult SLSipHdrTimestampSetDelay(SLSipHdrTimestamp *h, const char *t) {
  return h ? (copyText(h->delay, t) ? 0 : kNoMemory) : kInvalid;
}
int SLSipHdrTimestampIsEqual(const SLSipHdrTimestamp *a, const SLSipHdrTimestamp *b) {
  if (!a || !b) return a == b;
  return scmp(a->timestamp, b->timestamp) == 0 && scmp(a->delay, b->delay) == 0;
}

// ---- RAck --------------------------------------------------------------------------------------

SFResult SLSipHdrRAckCreate(SLSipHdrRAck **out, uint32_t resNo, uint32_t cseqNo, int methodId, const char *text) {
  if (!out) return kInvalid;
  *out = nullptr;
  const char *t = methodId ? SLSipHdrGetMethodStr(methodId) : text;
  if (!t || !*t) return kInvalid;
  auto *h = make<SLSipHdrRAck>();
  if (!h) return kNoMemory;
  if (!copyText(h->methodText, t)) {
    drop(h);
    return kNoMemory;
  }
  h->resNo = resNo;
  h->cseqNo = cseqNo;
  h->method = methodId;
  *out = h;
  return 0;
}
void SLSipHdrRAckDestroy(SLSipHdrRAck *h) {
  if (!h) return;
  drop(h->methodText);
  drop(h);
}
SFResult SLSipHdrRAckClone(SLSipHdrRAck **out, const SLSipHdrRAck *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  return s ? SLSipHdrRAckCreate(out, s->resNo, s->cseqNo, s->method, s->methodText) : kInvalid;
}
SFResult SLSipHdrRAckParse(SLSipHdrRAck **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (int r = firstOf(hdr, "RAck", f); r < 0) return r;
  std::string_view v = fieldValue(f);
  std::string_view tok[2];
  for (auto &t : tok) {
    size_t e = 0;
    while (e < v.size() && !isWs(static_cast<unsigned char>(v[e]))) ++e;
    t = v.substr(0, e);
    v = trim(v.substr(e));
  }
  uint32_t a, b;
  if (!readNumber(tok[0], a) || !readNumber(tok[1], b) || v.empty()) return kSyntaxErr;
  std::string method(v);
  return SLSipHdrRAckCreate(out, a, b, SLSipHdrGetMethod(method.c_str()), method.c_str());
}
SFResult SLSipHdrRAckEncode(SLGenHdr **out, const SLSipHdrRAck *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !h->methodText) return kInvalid;
  return simpleHeader(out, "RAck", uitoa(h->resNo) + " " + uitoa(h->cseqNo) + " " + h->methodText);
}
uint32_t SLSipHdrRAckGetResNo(const SLSipHdrRAck *h) { return h ? h->resNo : 0; }
uint32_t SLSipHdrRAckGetCSeqNo(const SLSipHdrRAck *h) { return h ? h->cseqNo : 0; }
int SLSipHdrRAckGetMethod(const SLSipHdrRAck *h) { return h ? h->method : -1; }
const char *SLSipHdrRAckGetMethodStr(const SLSipHdrRAck *h) { return h ? h->methodText : nullptr; }
int SLSipHdrRAckIsEqualCSeq(const SLSipHdrRAck *rack, const SLSipHdrCSeq *cseq) {
  if (!rack || !cseq) return 0;
  if (rack->cseqNo != cseq->seqNo || rack->method != cseq->method) return 0;
  return rack->method != 0 || scmp(rack->methodText, cseq->methodText) == 0;
}

// ---- Session-Expires ---------------------------------------------------------------------------

SFResult SLSipHdrSessionExpiresCreate(SLSipHdrSessionExpires **out, uint32_t seconds) {
  if (!out) return kInvalid;
  *out = make<SLSipHdrSessionExpires>();
  if (!*out) return kNoMemory;
  (*out)->seconds = seconds;
  return 0;
}
void SLSipHdrSessionExpiresDestroy(SLSipHdrSessionExpires *h) {
  if (!h) return;
  drop(h->refresher);
  drop(h);
}
SFResult SLSipHdrSessionExpiresClone(SLSipHdrSessionExpires **out, const SLSipHdrSessionExpires *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = SLSipHdrSessionExpiresCreate(out, s->seconds);
  if (r == 0 && !copyText((*out)->refresher, s->refresher)) {
    SLSipHdrSessionExpiresDestroy(*out);
    *out = nullptr;
    r = kNoMemory;
  }
  return r;
}
SFResult SLSipHdrSessionExpiresParse(SLSipHdrSessionExpires **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (firstOf(hdr, "Session-Expires", f) < 0) return kNoMemory;  // the kit reports these as 0x8008
  uint32_t v;
  if (!readNumber(fieldValue(f), v)) return kSyntaxErr;
  int r = SLSipHdrSessionExpiresCreate(out, v);
  if (r < 0) return r;
  const SLParam *p = paramFind(f->params, "refresher");
  if (p && p->value && *p->value && !copyText((*out)->refresher, p->value)) {
    SLSipHdrSessionExpiresDestroy(*out);
    *out = nullptr;
    return kNoMemory;
  }
  return 0;
}
SFResult SLSipHdrSessionExpiresEncode(SLGenHdr **out, const SLSipHdrSessionExpires *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h) return kInvalid;
  SLParam *ps = nullptr;
  if (h->refresher && paramAppend(&ps, SL_PARAM_TOKEN, "refresher", h->refresher, strlen(h->refresher)) < 0)
    return kNoMemory;
  int r = simpleHeader(out, "Session-Expires", uitoa(h->seconds), ps);
  paramDestroyList(&ps);
  return r;
}
int64_t SLSipHdrSessionExpiresGetDeltaSeconds(const SLSipHdrSessionExpires *h) { return h ? int64_t(h->seconds) : -1; }
SFResult SLSipHdrSessionExpiresSetDeltaSeconds(SLSipHdrSessionExpires *h, uint32_t s) {
  if (!h) return kInvalid;
  h->seconds = s;
  return 0;
}
const char *SLSipHdrSessionExpiresGetRefresher(const SLSipHdrSessionExpires *h) { return h ? h->refresher : nullptr; }
SFResult SLSipHdrSessionExpiresSetRefresher(SLSipHdrSessionExpires *h, const char *t) {
  if (!h || !t || !*t) return kInvalid;
  return copyText(h->refresher, t) ? 0 : kNoMemory;
}

// ---- Retry-After -------------------------------------------------------------------------------

SFResult SLSipHdrRetryAfterCreate(SLSipHdrRetryAfter **out, uint32_t seconds, const char *comment,
                                  const uint32_t *duration) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *h = make<SLSipHdrRetryAfter>();
  if (!h) return kNoMemory;
  h->seconds = seconds;
  if (!copyText(h->comment, comment)) {
    drop(h);
    return kNoMemory;
  }
  if (duration) {
    h->hasDuration = 1;
    h->duration = *duration;
  }
  *out = h;
  return 0;
}
void SLSipHdrRetryAfterDestroy(SLSipHdrRetryAfter *h) {
  if (!h) return;
  drop(h->comment);
  paramDestroyList(&h->params);
  drop(h);
}
SFResult SLSipHdrRetryAfterClone(SLSipHdrRetryAfter **out, const SLSipHdrRetryAfter *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = SLSipHdrRetryAfterCreate(out, s->seconds, s->comment, s->hasDuration ? &s->duration : nullptr);
  if (r == 0 && paramCloneList(&(*out)->params, s->params) < 0) {
    SLSipHdrRetryAfterDestroy(*out);
    *out = nullptr;
    r = kNoMemory;
  }
  return r;
}
SFResult SLSipHdrRetryAfterParse(SLSipHdrRetryAfter **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (int r = firstOf(hdr, "Retry-After", f); r < 0) return r;
  uint32_t v;
  if (!readNumber(fieldValue(f), v)) return kSyntaxErr;
  SLSipHdrRetryAfter *h;
  int r = SLSipHdrRetryAfterCreate(&h, v, f->comment, nullptr);
  if (r < 0) return r;
  for (const SLParam *p = f->params; r == 0 && p; p = p->next) {
    if (!p->name || !*p->name) continue;
    if (strcasecmp(p->name, "duration") == 0) {
      if (!p->value || !readNumber(p->value, h->duration)) r = kSyntaxErr;
      else h->hasDuration = 1;
    } else {
      std::string q;
      const char *value = p->value;
      if (p->valueType == SL_PARAM_QUOTED) {
        q = requote(p->value);
        value = q.c_str();
      }
      r = setParam(&h->params, p->name, value);
    }
  }
  if (r < 0) {
    SLSipHdrRetryAfterDestroy(h);
    return r;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrRetryAfterEncode(SLGenHdr **out, const SLSipHdrRetryAfter *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h) return kInvalid;
  SLParam *ps = nullptr;
  int r = paramCloneList(&ps, h->params);
  if (r == 0 && h->hasDuration) {
    std::string d = uitoa(h->duration);
    r = paramAppend(&ps, SL_PARAM_TOKEN, "duration", d.c_str(), d.size());
  }
  if (r == 0) {
    SLGenHdr *g;
    if ((r = newHeader(&g, "Retry-After")) == 0) {
      SLGenField *f;
      if ((r = SLGenFieldCreate(&f, g->type, uitoa(h->seconds).c_str(), h->comment, ps)) < 0) {
        SLGenHdrDestroy(g);
      } else {
        addField(g, f);
        *out = g;
      }
    }
  }
  paramDestroyList(&ps);
  return r;
}
uint32_t SLSipHdrRetryAfterGetDeltaSeconds(const SLSipHdrRetryAfter *h) { return h ? h->seconds : 0; }
const char *SLSipHdrRetryAfterGetComment(const SLSipHdrRetryAfter *h) { return h ? h->comment : nullptr; }
SFResult SLSipHdrRetryAfterSetComment(SLSipHdrRetryAfter *h, const char *t) {
  return h ? (copyText(h->comment, t) ? 0 : kNoMemory) : kInvalid;
}
const uint32_t *SLSipHdrRetryAfterGetDuration(const SLSipHdrRetryAfter *h) {
  return h && h->hasDuration ? &h->duration : nullptr;
}
SFResult SLSipHdrRetryAfterSetDuration(SLSipHdrRetryAfter *h, const uint32_t *d) {
  if (!h) return kInvalid;
  h->hasDuration = d != nullptr;
  h->duration = d ? *d : 0;
  return 0;
}
SLParam *SLSipHdrRetryAfterGetParam(const SLSipHdrRetryAfter *h, const char *name) {
  return h && name ? paramFind(h->params, name) : nullptr;
}
SFResult SLSipHdrRetryAfterSetParam(SLSipHdrRetryAfter *h, const char *name, const char *value) {
  return h ? setParam(&h->params, name, value) : kInvalid;
}
SLParamList *SLSipHdrRetryAfterGetParamList(const SLSipHdrRetryAfter *h) { return h ? asList(&h->params) : nullptr; }
int SLSipHdrRetryAfterIsParamExist(const SLSipHdrRetryAfter *h, const char *name) {
  if (!h || !name) return 0;
  if (strcasecmp(name, "duration") == 0) return h->hasDuration;
  return paramFind(h->params, name) != nullptr;
}

// ---- Dialog identifiers ------------------------------------------------------------------------

namespace {

template <class T>
void destroyDialog(T *h) {
  if (!h) return;
  SLSipHdrCallIdDestroy(h->callId);
  drop(h->tag1);
  drop(h->tag2);
  paramDestroyList(&h->params);
  drop(h);
}

template <class T>
int createDialog(T **out, const SLSipHdrCallId *callId, const char *t1, const char *t2) {
  if (!out) return kInvalid;
  *out = nullptr;
  T *h = make<T>();
  if (!h) return kNoMemory;
  if ((callId && SLSipHdrCallIdClone(&h->callId, callId) < 0) || !copyText(h->tag1, t1) || !copyText(h->tag2, t2)) {
    destroyDialog(h);
    return kNoMemory;
  }
  *out = h;
  return 0;
}

template <class T>
int parseDialog(T **out, const SLGenHdr *hdr, const char *name, const char *n1, const char *n2) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f;
  if (int r = firstOf(hdr, name, f); r < 0) return r;
  T *h = make<T>();
  if (!h) return kNoMemory;
  int r = splitCallId(fieldValue(f), &h->callId);
  for (const SLParam *p = f->params; r == 0 && p; p = p->next) {
    if (!p->name || !*p->name) continue;
    bool first = strcasecmp(p->name, n1) == 0;
    if (first || strcasecmp(p->name, n2) == 0) {
      if (!p->value) r = kSyntaxErr;
      else if (!copyText(first ? h->tag1 : h->tag2, p->value)) r = kNoMemory;
    } else {
      std::string q;
      const char *value = p->value;
      if (p->valueType == SL_PARAM_QUOTED) {
        q = requote(p->value);
        value = q.c_str();
      }
      r = setParam(&h->params, p->name, value);
    }
  }
  if (r == 0 && (!h->tag1 || !h->tag2)) r = kSyntaxErr;
  if (r < 0) {
    destroyDialog(h);
    return r;
  }
  *out = h;
  return 0;
}

int encodeDialog(SLGenHdr **out, const char *name, const SLSipHdrCallId *callId, const char *t1, const char *t2,
                 const SLParam *params, const char *n1, const char *n2) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!callId || !callId->localId) return kInvalid;
  SLParam *ps = nullptr;
  int r = paramCloneList(&ps, params);
  auto tag = [](const char *t) { return t && *t ? t : "0"; };
  if (r == 0) r = paramAppend(&ps, SL_PARAM_TOKEN, n1, tag(t1), strlen(tag(t1)));
  if (r == 0) r = paramAppend(&ps, SL_PARAM_TOKEN, n2, tag(t2), strlen(tag(t2)));
  if (r == 0) r = simpleHeader(out, name, callIdText(callId), ps);
  paramDestroyList(&ps);
  return r < 0 ? (r == kInvalid ? r : r) : 0;
}

}  // namespace

#define SL_DIALOG_IMPL(F, Tag1, Tag2, Name, N1, N2)                                                      \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out, const SLSipHdrCallId *c, const char *a, const char *b) { \
    return createDialog(out, c, a, b);                                                                    \
  }                                                                                                       \
  void SLSipHdr##F##Destroy(SLSipHdr##F *h) { destroyDialog(h); }                                         \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *s) {                                  \
    if (!out) return kInvalid;                                                                            \
    *out = nullptr;                                                                                       \
    if (!s) return kInvalid;                                                                              \
    int r = createDialog(out, s->callId, s->tag1, s->tag2);                                               \
    if (r == 0 && paramCloneList(&(*out)->params, s->params) < 0) {                                       \
      destroyDialog(*out);                                                                                \
      *out = nullptr;                                                                                     \
      r = kNoMemory;                                                                                      \
    }                                                                                                     \
    return r;                                                                                             \
  }                                                                                                       \
  SFResult SLSipHdr##F##Parse(SLSipHdr##F **out, const SLGenHdr *hdr) { return parseDialog(out, hdr, Name, N1, N2); } \
  SFResult SLSipHdr##F##Encode(SLGenHdr **out, const SLSipHdr##F *h) {                                     \
    if (!h) {                                                                                             \
      if (out) *out = nullptr;                                                                            \
      return kInvalid;                                                                                    \
    }                                                                                                     \
    return encodeDialog(out, Name, h->callId, h->tag1, h->tag2, h->params, N1, N2);                       \
  }                                                                                                       \
  const SLSipHdrCallId *SLSipHdr##F##GetCallId(const SLSipHdr##F *h) { return h ? h->callId : nullptr; }   \
  const char *SLSipHdr##F##Get##Tag1(const SLSipHdr##F *h) { return h ? h->tag1 : nullptr; }               \
  SFResult SLSipHdr##F##Set##Tag1(SLSipHdr##F *h, const char *t) {                                         \
    return h ? (copyText(h->tag1, t) ? 0 : kNoMemory) : kInvalid;                                         \
  }                                                                                                       \
  const char *SLSipHdr##F##Get##Tag2(const SLSipHdr##F *h) { return h ? h->tag2 : nullptr; }               \
  SFResult SLSipHdr##F##Set##Tag2(SLSipHdr##F *h, const char *t) {                                         \
    return h ? (copyText(h->tag2, t) ? 0 : kNoMemory) : kInvalid;                                         \
  }                                                                                                       \
  SLParam *SLSipHdr##F##GetParam(const SLSipHdr##F *h, const char *n) {                                    \
    return h && n ? paramFind(h->params, n) : nullptr;                                                    \
  }                                                                                                       \
  SFResult SLSipHdr##F##SetParam(SLSipHdr##F *h, const char *n, const char *v) {                           \
    return h ? setParam(&h->params, n, v) : kInvalid;                                                     \
  }                                                                                                       \
  SLParamList *SLSipHdr##F##GetParamList(const SLSipHdr##F *h) { return h ? asList(&h->params) : nullptr; }             \
  int SLSipHdr##F##IsParamExist(const SLSipHdr##F *h, const char *n) {                                     \
    if (!h || !n) return 0;                                                                               \
    if (strcasecmp(n, N1) == 0) return h->tag1 != nullptr;                                                \
    if (strcasecmp(n, N2) == 0) return h->tag2 != nullptr;                                                \
    return paramFind(h->params, n) != nullptr;                                                            \
  }
SL_DIALOG_IMPL(Replaces, ToTag, FromTag, "Replaces", "to-tag", "from-tag")
SL_DIALOG_IMPL(Join, ToTag, FromTag, "Join", "to-tag", "from-tag")
SL_DIALOG_IMPL(TargetDialog, RemoteTag, LocalTag, "Target-Dialog", "remote-tag", "local-tag")
#undef SL_DIALOG_IMPL

SFResult SLSipHdrReplacesEncodeParts(SLGenHdr **out, const SLSipHdrCallId *callId, const char *toTag,
                                     const char *fromTag, const SLParam *params) {
  return encodeDialog(out, "Replaces", callId, toTag, fromTag, params, "to-tag", "from-tag");
}
