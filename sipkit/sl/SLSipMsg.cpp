// SIP message record, parser with stream framing, encoder and message-level helpers.
#include "SLSipMsg.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "SLAuth.h"
#include "SLGenHdrPriv.h"
#include "SLMsgPool.h"
#include "SLSipMsgPriv.h"

using namespace slmsg;

namespace {

Pool gPool;
constexpr int kInvalid = err(kModHdr, kInval);
constexpr int kNoMemory = err(kModHdr, kNoMem);
constexpr int kSyntaxErr = err(kModHdr, kSyntax);
constexpr int kShort = err(kModHdr, kTooSmall);

bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// End of the header section: just after the first blank line, counted only when the whole line
// end sequence lies inside the data (a sequence cut at the end means the rest has not arrived).
size_t headerEnd(const char *d, size_t n) {
  for (size_t i = 0; i + 1 < n; ++i) {
    if (d[i] == '\n' && d[i + 1] == '\r') {
      if (i + 2 < n && d[i + 2] == '\n') return i + 3;
    } else if (d[i] == '\n' && d[i + 1] == '\n') {
      return i + 2;
    } else if (d[i] == '\r' && d[i + 1] == '\r') {
      return i + 2;
    }
  }
  return 0;
}

int parseStartLine(SLSipMsg *m, std::string_view line) {
  line = trim(line);
  size_t w = 0;
  while (w < line.size() && !isWs(static_cast<unsigned char>(line[w]))) ++w;
  std::string first(line.substr(0, w));
  std::string_view rest = trim(line.substr(w));
  if (ieq(first, "SIP/2.0")) {
    size_t c = 0;
    while (c < rest.size() && !isWs(static_cast<unsigned char>(rest[c]))) ++c;
    std::string_view code = rest.substr(0, c);
    if (code.size() != 3) return kSyntaxErr;
    for (char ch : code)
      if (ch < '0' || ch > '9') return kSyntaxErr;
    unsigned v = unsigned((code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0'));
    std::string reason(trim(rest.substr(c)));
    return SLSipMsgStartLineCreateStatusLine(&m->startLine, first.c_str(), v, reason.c_str());
  }
  size_t last = rest.size();
  while (last > 0 && !isWs(static_cast<unsigned char>(rest[last - 1]))) --last;
  if (first.empty() || rest.empty() || last == 0) return kInvalid;
  std::string uri(trim(rest.substr(0, last)));
  std::string version(rest.substr(last));
  if (uri.empty() || version.empty()) return kInvalid;
  return SLSipMsgStartLineCreateRequestLine(&m->startLine, first.c_str(), uri.c_str(), version.c_str());
}

// Content-Length read from the header list: -1 absent or empty, -2 malformed.
long contentLength(const SLGenHdrList *list) {
  const SLGenHdr *h = SLGenHdrListFindItem(list, nullptr, "Content-Length");
  if (!h || !h->fields || !h->fields->value) return -1;
  std::string v(trim(h->fields->value));
  if (v.empty()) return -1;
  const char *end;
  int error;
  uint32_t n = strtoui(v.c_str(), &end, &error);
  if (error != 0 || *end != '\0' || n > 2147483647u) return -2;
  return long(n);
}

void startLineFree(SLSipMsgStartLine *l) {
  release(gPool, l->version);
  release(gPool, l->method);
  release(gPool, l->requestUri);
  release(gPool, l->reason);
  release(gPool, l);
}

const SLGenField *firstFieldOf(const SLSipMsg *m, const char *name) {
  return m ? SLGenHdrListGetField(m->headers, name, 0) : nullptr;
}

// Tag derived from the request, so that a retransmitted request always gets the same To tag.
std::string derivedTag(const SLSipMsg *m) {
  SLMD5Context ctx;
  SLMD5Init(&ctx);
  SLMD5Update(&ctx, "A", 1);
  for (const char *name : {"Via", "Call-ID", "From", "To", "CSeq"}) {
    SLMD5Update(&ctx, "/", 1);
    const SLGenField *f = firstFieldOf(m, name);
    if (f && f->element) SLMD5Update(&ctx, f->element, strlen(f->element));
  }
  unsigned char d[16];
  SLMD5Final(d, &ctx);
  uint32_t v = 0;
  for (int k = 0; k < 8; ++k) v += (uint32_t(d[k]) << (2 * k)) + (uint32_t(d[k + 8]) << (3 * k + 3));
  return std::to_string(v);
}

}  // namespace

SFResult SLSipMsgInitialize(void) { return 0; }
void SLSipMsgCleanup(void) {}
int SLSipMsgGetLiveCount(void) { return gPool.live(); }

// ---- Start line --------------------------------------------------------------------------------

SFResult SLSipMsgStartLineCreate(SLSipMsgStartLine **out) {
  if (!out) return kInvalid;
  *out = static_cast<SLSipMsgStartLine *>(alloc(gPool, sizeof(SLSipMsgStartLine)));
  return *out ? 0 : kNoMemory;
}

SFResult SLSipMsgStartLineCreateRequestLine(SLSipMsgStartLine **out, const char *method, const char *uri,
                                            const char *version) {
  int r = SLSipMsgStartLineCreate(out);
  if (r < 0) return r;
  SLSipMsgStartLine *l = *out;
  l->isRequest = 1;
  if (!setText(gPool, &l->method, method) || !setText(gPool, &l->requestUri, uri) ||
      !setText(gPool, &l->version, version)) {
    startLineFree(l);
    *out = nullptr;
    return kNoMemory;
  }
  return 0;
}

SFResult SLSipMsgStartLineCreateStatusLine(SLSipMsgStartLine **out, const char *version, unsigned code,
                                           const char *reason) {
  int r = SLSipMsgStartLineCreate(out);
  if (r < 0) return r;
  SLSipMsgStartLine *l = *out;
  l->statusCode = code;
  if (!setText(gPool, &l->version, version) || !setText(gPool, &l->reason, reason)) {
    startLineFree(l);
    *out = nullptr;
    return kNoMemory;
  }
  return 0;
}

SFResult SLSipMsgStartLineClone(SLSipMsgStartLine **out, const SLSipMsgStartLine *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = s->isRequest ? SLSipMsgStartLineCreateRequestLine(out, s->method, s->requestUri, s->version)
                       : SLSipMsgStartLineCreateStatusLine(out, s->version, s->statusCode, s->reason);
  if (r == 0) {
    (*out)->statusCode = s->statusCode;
    if (!setText(gPool, &(*out)->reason, s->reason) || !setText(gPool, &(*out)->method, s->method) ||
        !setText(gPool, &(*out)->requestUri, s->requestUri)) {
      startLineFree(*out);
      *out = nullptr;
      r = kNoMemory;
    }
  }
  return r;
}

void SLSipMsgStartLineDestroy(SLSipMsgStartLine *l) {
  if (l) startLineFree(l);
}

int SLSipMsgStartLineCompare(const SLSipMsgStartLine *a, const SLSipMsgStartLine *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  if (a->isRequest != b->isRequest) return a->isRequest ? 1 : -1;
  if (int r = icmp(a->version, b->version)) return r;
  if (a->isRequest) {
    if (int r = scmp(a->method, b->method)) return r;
    return icmp(a->requestUri, b->requestUri);
  }
  if (a->statusCode != b->statusCode) return a->statusCode < b->statusCode ? -1 : 1;
  return scmp(a->reason, b->reason);
}

int SLSipMsgStartLineIsRequestLine(const SLSipMsgStartLine *l) { return l ? l->isRequest : 0; }
SFResult SLSipMsgStartLineSetRequestLine(SLSipMsgStartLine *l, int isRequest) {
  if (!l) return kInvalid;
  l->isRequest = isRequest ? 1 : 0;
  return 0;
}
const char *SLSipMsgStartLineGetMethod(const SLSipMsgStartLine *l) { return l ? l->method : nullptr; }
SFResult SLSipMsgStartLineSetMethod(SLSipMsgStartLine *l, const char *t) {
  if (!l) return kInvalid;
  return setText(gPool, &l->method, t) ? 0 : kNoMemory;
}
const char *SLSipMsgStartLineGetRequestUri(const SLSipMsgStartLine *l) { return l ? l->requestUri : nullptr; }
SFResult SLSipMsgStartLineSetRequestUri(SLSipMsgStartLine *l, const char *text, const SLUri *uri) {
  if (!l) return kInvalid;
  if (text || !uri) return setText(gPool, &l->requestUri, text) ? 0 : kNoMemory;
  size_t size = 0;
  SLUriEncode(uri, nullptr, &size, 0);
  std::string buf(size, '\0');
  int r = SLUriEncode(uri, buf.data(), &size, 0);
  if (r < 0) return r;
  return setText(gPool, &l->requestUri, buf.c_str()) ? 0 : kNoMemory;
}
const char *SLSipMsgStartLineGetVersion(const SLSipMsgStartLine *l) { return l ? l->version : nullptr; }
SFResult SLSipMsgStartLineSetVersion(SLSipMsgStartLine *l, const char *t) {
  if (!l) return kInvalid;
  return setText(gPool, &l->version, t) ? 0 : kNoMemory;
}
unsigned SLSipMsgStartLineGetStatusCode(const SLSipMsgStartLine *l) { return l ? l->statusCode : 0; }
SFResult SLSipMsgStartLineSetStatusCode(SLSipMsgStartLine *l, unsigned code) {
  if (!l) return kInvalid;
  l->statusCode = code;
  return 0;
}
const char *SLSipMsgStartLineGetReasonPhrase(const SLSipMsgStartLine *l) { return l ? l->reason : nullptr; }
SFResult SLSipMsgStartLineSetReasonPhrase(SLSipMsgStartLine *l, const char *t) {
  if (!l) return kInvalid;
  return setText(gPool, &l->reason, t) ? 0 : kNoMemory;
}

// ---- Body --------------------------------------------------------------------------------------

SFResult SLSipMsgBodyCreate(SLSipMsgBody **out, const void *data, int length) {
  if (!out) return kInvalid;
  *out = static_cast<SLSipMsgBody *>(alloc(gPool, sizeof(SLSipMsgBody)));
  if (!*out) return kNoMemory;
  int r = data ? SLSipMsgBodySetData(*out, data, length) : 0;
  if (r < 0) {
    release(gPool, *out);
    *out = nullptr;
  }
  return r;
}

SFResult SLSipMsgBodyClone(SLSipMsgBody **out, const SLSipMsgBody *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  return SLSipMsgBodyCreate(out, s->data, s->length);
}

void SLSipMsgBodyDestroy(SLSipMsgBody *b) {
  if (!b) return;
  release(gPool, b->data);
  release(gPool, b);
}

int SLSipMsgBodyGetLength(const SLSipMsgBody *b) { return b ? b->length : -1; }
const char *SLSipMsgBodyGetData(const SLSipMsgBody *b) { return b ? b->data : nullptr; }

SFResult SLSipMsgBodySetData(SLSipMsgBody *b, const void *data, int length) {
  if (!b || length < 0 || (length > 0 && !data)) return kInvalid;
  char *copy = nullptr;
  if (length > 0) {
    copy = static_cast<char *>(alloc(gPool, size_t(length) + 1));
    if (!copy) return kNoMemory;
    memcpy(copy, data, size_t(length));
  }
  release(gPool, b->data);
  b->data = copy;
  b->length = length;
  return 0;
}

int SLSipMsgBodyCompare(const SLSipMsgBody *a, const SLSipMsgBody *b) {
  int la = a ? a->length : 0, lb = b ? b->length : 0;
  if (la != lb) return la < lb ? -1 : 1;
  return la ? memcmp(a->data, b->data, size_t(la)) : 0;
}

// ---- Message -----------------------------------------------------------------------------------

SFResult SLSipMsgCreate(SLSipMsg **out) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *m = static_cast<SLSipMsg *>(alloc(gPool, sizeof(SLSipMsg)));
  if (!m) return kNoMemory;
  SLSipHdrTableInit(&m->table);
  if (SLGenHdrListCreate(&m->headers) < 0 || SLSipMsgBodyCreate(&m->body, nullptr, 0) < 0) {
    SLSipMsgDestroy(m);
    return kNoMemory;
  }
  *out = m;
  return 0;
}

SFResult SLSipMsgCreateRequest(SLSipMsg **out, const char *method, const char *uri, const char *version) {
  int r = SLSipMsgCreate(out);
  if (r < 0) return r;
  if ((r = SLSipMsgStartLineCreateRequestLine(&(*out)->startLine, method, uri, version)) < 0) {
    SLSipMsgDestroy(*out);
    *out = nullptr;
  }
  return r;
}

SFResult SLSipMsgCreateResponse(SLSipMsg **out, const char *version, unsigned code, const char *reason) {
  int r = SLSipMsgCreate(out);
  if (r < 0) return r;
  if ((r = SLSipMsgStartLineCreateStatusLine(&(*out)->startLine, version, code, reason)) < 0) {
    SLSipMsgDestroy(*out);
    *out = nullptr;
  }
  return r;
}

void SLSipMsgDestroy(SLSipMsg *m) {
  if (!m) return;
  SLSipMsgStartLineDestroy(m->startLine);
  SLGenHdrListDestroy(m->headers);
  SLSipMsgBodyDestroy(m->body);
  SLUriDestroy(m->requestUri);
  SLSipHdrTableClear(&m->table);
  release(gPool, m);
}

SFResult SLSipMsgClone(SLSipMsg **out, const SLSipMsg *src, int deep) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return 0;
  auto *m = static_cast<SLSipMsg *>(alloc(gPool, sizeof(SLSipMsg)));
  if (!m) return kNoMemory;
  SLSipHdrTableInit(&m->table);
  int r = 0;
  if (src->startLine) r = SLSipMsgStartLineClone(&m->startLine, src->startLine);
  if (r == 0) r = SLGenHdrListClone(&m->headers, src->headers);
  if (r == 0) r = src->body ? SLSipMsgBodyClone(&m->body, src->body) : SLSipMsgBodyCreate(&m->body, nullptr, 0);
  if (r == 0 && deep) {
    if (src->requestUri) r = SLUriClone(&m->requestUri, src->requestUri);
    if (r == 0) r = SLSipHdrTableCopy(&m->table, &src->table);
  }
  if (r < 0) {
    SLSipMsgDestroy(m);
    return r;
  }
  *out = m;
  return 0;
}

namespace {

// The identity of a message as the transaction and dialog layers see it, read from the wire
// headers or, for a header only held in the typed view, from the table.
struct Identity {
  std::string callId, fromTag, toTag, branch, cseqMethod;
  uint32_t cseq = 0;
  bool cseqOk = false;
  SLSipHdrViaItem *via = nullptr;
  ~Identity() { SLSipHdrViaItemDestroy(via); }
};

void readIdentity(const SLSipMsg *m, Identity &id) {
  auto text = [](const char *t) { return std::string(t ? t : ""); };
  const SLGenHdrList *l = m->headers;
  const SLSipHdrTable &t = m->table;
  if (const char *v = SLGenHdrListGetHdr(l, "Call-ID", 0)) id.callId = trim(v);
  else if (t.CallId) id.callId = text(SLSipHdrCallIdGetLocalId(t.CallId)) + "@" + text(SLSipHdrCallIdGetHost(t.CallId));
  id.fromTag = SLGenHdrListFindItem(l, nullptr, "From") ? text(SLSipMsgGetTag(m, "From")) : text(SLSipHdrFromGetTag(t.From));
  id.toTag = SLGenHdrListFindItem(l, nullptr, "To") ? text(SLSipMsgGetTag(m, "To")) : text(SLSipHdrFromGetTag(t.To));
  for (char &c : id.fromTag) c = char(tolower(static_cast<unsigned char>(c)));
  for (char &c : id.toTag) c = char(tolower(static_cast<unsigned char>(c)));
  SLSipHdrCSeq *cseq = nullptr;
  if (const SLGenHdr *h = SLGenHdrListFindItem(l, nullptr, "CSeq")) SLSipHdrCSeqParse(&cseq, h);
  else if (t.CSeq) SLSipHdrCSeqClone(&cseq, t.CSeq);
  if (cseq) {
    id.cseqOk = true;
    id.cseq = SLSipHdrCSeqGetSeqNo(cseq);
    id.cseqMethod = text(SLSipHdrCSeqGetMethodStr(cseq));
    SLSipHdrCSeqDestroy(cseq);
  }
  if (const SLGenField *f = SLGenHdrListGetField(l, "Via", 0)) SLSipHdrViaItemParse(&id.via, f);
  else if (const SLSipHdrViaItem *v = SLSipHdrViaGetHeadItem(t.Via)) SLSipHdrViaItemClone(&id.via, v);
  if (id.via) id.branch = text(SLSipHdrViaItemGetBranch(id.via));
}

}  // namespace

int SLSipMsgCompare(const SLSipMsg *a, const SLSipMsg *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  if (int r = SLSipMsgStartLineCompare(a->startLine, b->startLine)) return r;
  // Same message: same start line, dialog and transaction identity (Call-ID, tags, CSeq, top
  // Via branch and sent-by) and body. Header order and spelling do not matter, so a received
  // retransmission equals a copy that was rebuilt from its typed headers.
  Identity x, y;
  readIdentity(a, x);
  readIdentity(b, y);
  if (int r = x.callId.compare(y.callId)) return r;
  if (int r = x.fromTag.compare(y.fromTag)) return r;
  if (int r = x.toTag.compare(y.toTag)) return r;
  if (x.cseqOk != y.cseqOk) return x.cseqOk ? 1 : -1;
  if (x.cseq != y.cseq) return x.cseq < y.cseq ? -1 : 1;
  if (int r = x.cseqMethod.compare(y.cseqMethod)) return r;
  if ((x.via != nullptr) != (y.via != nullptr)) return x.via ? 1 : -1;
  if (x.via) {
    if (int r = x.branch.compare(y.branch)) return r;
    if (!SLSipHdrViaItemCompareSentBy(x.via, y.via)) {
      int r = icmp(SLSipHdrViaItemGetSentByHost(x.via), SLSipHdrViaItemGetSentByHost(y.via));
      return r ? r : 1;
    }
  }
  return SLSipMsgBodyCompare(a->body, b->body);
}

SFResult SLSipMsgParse(SLSipMsg **out, const char *data, int *length, int mode) {
  if (!out || !length) return kInvalid;
  *out = nullptr;
  int n = *length;
  if (n <= 0) return n == 0 ? kSyntaxErr : kInvalid;
  if (!data) return kInvalid;
  size_t size = size_t(n);
  if (!isLetter(static_cast<unsigned char>(data[0]))) {
    size_t k = 0;
    while (k < size && !isLetter(static_cast<unsigned char>(data[k]))) ++k;
    *length = int(k);
    return 0;
  }
  size_t end = headerEnd(data, size);
  bool wholeIsHeader = false;
  if (end == 0) {
    if (mode == SL_SIPMSG_MODE_FRAGMENT) {
      end = size;
      wholeIsHeader = true;
    } else {
      *length = mode == SL_SIPMSG_MODE_UDP ? SL_SIPMSG_FRAME_DROP : SL_SIPMSG_FRAME_MORE_HEADER;
      return 0;
    }
  }
  if (end >= SL_SIPMSG_MAX_HEADER_SECTION) return kInvalid;
  size_t eol = 0;
  while (eol < end && data[eol] != '\r' && data[eol] != '\n') ++eol;
  if (eol == end) return kSyntaxErr;  // no line end in the header section
  SLSipMsg *m;
  int r = SLSipMsgCreate(&m);
  if (r < 0) return r;
  if ((r = parseStartLine(m, std::string_view(data, eol))) < 0) {
    SLSipMsgDestroy(m);
    return r;
  }
  size_t hdrStart = eol + 1;
  if (data[eol] == '\r' && hdrStart < end && data[hdrStart] == '\n') ++hdrStart;
  if ((r = SLGenHdrListParse(m->headers, data + hdrStart, end - hdrStart)) < 0) {
    SLSipMsgDestroy(m);
    return r;
  }
  long cl = contentLength(m->headers);
  if (cl == -2) {
    SLSipMsgDestroy(m);
    *length = -1;
    return kSyntaxErr;
  }
  size_t remaining = size - end;
  size_t consumed = size;
  size_t bodyLen;
  if (wholeIsHeader) {
    bodyLen = 0;
    consumed = 0;
  } else if (mode == SL_SIPMSG_MODE_FRAGMENT || mode == SL_SIPMSG_MODE_UDP) {
    bodyLen = cl < 0 ? remaining : (size_t(cl) < remaining ? size_t(cl) : remaining);
  } else {
    if (!SLGenHdrListFindItem(m->headers, nullptr, "Content-Length")) {
      SLSipMsgDestroy(m);
      *length = SL_SIPMSG_FRAME_DROP;
      return 0;
    }
    bodyLen = cl < 0 ? 0 : size_t(cl);
    if (remaining < bodyLen) {
      SLSipMsgDestroy(m);
      *length = SL_SIPMSG_FRAME_MORE_BODY;
      return 0;
    }
    consumed = end + bodyLen;
  }
  if (bodyLen > 0 && (r = SLSipMsgBodySetData(m->body, data + end, int(bodyLen))) < 0) {
    SLSipMsgDestroy(m);
    return r;
  }
  *length = int(consumed);
  *out = m;
  return 0;
}

SFResult SLSipMsgEncode(const SLSipMsg *m, char *buffer, size_t *size) {
  if (!m || !size) return kInvalid;
  Out o(buffer, *size);
  if (const SLSipMsgStartLine *l = m->startLine) {
    if (l->isRequest) {
      if (!l->method || !l->requestUri || !l->version) return kInvalid;
      o.put(l->method);
      o.putc(' ');
      o.put(l->requestUri);
      o.putc(' ');
      o.put(l->version);
    } else {
      if (!l->version) return kInvalid;
      o.put(l->version);
      o.putc(' ');
      o.putu(l->statusCode);
      if (l->reason) {
        o.putc(' ');
        o.put(l->reason);
      }
    }
    o.put("\r\n", 2);
  }
  size_t hsize = o.capacity > o.used ? o.capacity - o.used : 0;
  char *hbuf = o.data && hsize ? o.data + o.used : nullptr;
  int r = SLGenHdrListEncode(m->headers, hbuf, &hsize);
  if (r == 0) o.used += hsize;
  o.needed += hsize;
  if (r < 0) o.capacity = o.used;  // nothing more fits
  o.put("\r\n", 2);
  if (m->body && m->body->length) {
    if (!m->body->data) return kInvalid;
    o.put(m->body->data, size_t(m->body->length));
  }
  *size = o.needed;
  return o.fits() ? 0 : kShort;
}

SFResult SLSipMsgParseSipHdr(SLSipMsg *m) {
  if (!m) return kInvalid;
  return SLSipHdrTableParse(&m->table, m->headers);
}

SFResult SLSipMsgEncodeSipHdr(SLSipMsg *m) {
  if (!m) return kInvalid;
  return SLSipHdrTableEncode(&m->table, m->headers);
}

SFResult SLSipMsgParseReqUri(SLSipMsg *m) {
  if (!m) return kInvalid;
  if (!m->startLine || !m->startLine->isRequest) return 0;
  SLUri *u;
  int r = SLUriCreate(&u);
  if (r < 0) return kNoMemory;
  r = SLUriParse(u, m->startLine->requestUri ? m->startLine->requestUri : "");
  if (r < 0) {
    SLUriDestroy(u);
    return r == err(kModUri, kSyntax) ? kSyntaxErr : r;
  }
  SLUriDestroy(m->requestUri);
  m->requestUri = u;
  return 0;
}

SLSipMsgStartLine *SLSipMsgGetStartLine(const SLSipMsg *m) { return m ? m->startLine : nullptr; }
SFResult SLSipMsgSetStartLine(SLSipMsg *m, const SLSipMsgStartLine *line) {
  if (!m) return kInvalid;
  SLSipMsgStartLine *c = nullptr;
  if (line) {
    int r = SLSipMsgStartLineClone(&c, line);
    if (r < 0) return r;
  }
  SLSipMsgStartLineDestroy(m->startLine);
  m->startLine = c;
  return 0;
}
SLGenHdrList *SLSipMsgGetHdrList(const SLSipMsg *m) { return m ? m->headers : nullptr; }
SLSipHdrTable *SLSipMsgGetHdrTable(const SLSipMsg *m) { return m ? const_cast<SLSipHdrTable *>(&m->table) : nullptr; }
SLSipMsgBody *SLSipMsgGetBody(const SLSipMsg *m) { return m ? m->body : nullptr; }
SFResult SLSipMsgSetBody(SLSipMsg *m, const void *data, int length) {
  if (!m) return kInvalid;
  return SLSipMsgBodySetData(m->body, data, data ? length : 0);
}
const SLUri *SLSipMsgGetParsedReqUri(const SLSipMsg *m) { return m ? m->requestUri : nullptr; }
const char *SLSipMsgGetMethod(const SLSipMsg *m) {
  return m && m->startLine && m->startLine->isRequest ? m->startLine->method : nullptr;
}
const char *SLSipMsgGetRequestUri(const SLSipMsg *m) {
  return m && m->startLine && m->startLine->isRequest ? m->startLine->requestUri : nullptr;
}
unsigned SLSipMsgGetStatusCode(const SLSipMsg *m) {
  return m && m->startLine && !m->startLine->isRequest ? m->startLine->statusCode : 0;
}
const char *SLSipMsgGetReasonPhrase(const SLSipMsg *m) {
  return m && m->startLine && !m->startLine->isRequest ? m->startLine->reason : nullptr;
}
const char *SLSipMsgGetVersion(const SLSipMsg *m) { return m && m->startLine ? m->startLine->version : nullptr; }

SFResult SLSipMsgSetContentLength(SLSipMsg *m, int length) {
  if (!m || length < 0) return kInvalid;
  SLGenHdrListDeleteNamed(m->headers, "Content-Length");
  return SLGenHdrListAddHdr(m->headers, "Content-Length", std::to_string(length).c_str());
}

const char *SLSipMsgGetTag(const SLSipMsg *m, const char *name) {
  return SLGenFieldGetParam(firstFieldOf(m, name), "tag");
}

SFResult SLSipMsgEnsureTag(SLSipMsg *m, const char *name, const char *tag) {
  if (!m || !name) return kInvalid;
  SLGenField *f = SLGenHdrListGetField(m->headers, name, 0);
  if (!f || SLGenFieldFindParam(f, "tag")) return 0;
  std::string t = tag ? std::string(tag) : derivedTag(m);
  int r = SLGenFieldSetParam(f, SL_PARAM_TOKEN, "tag", t.c_str());
  if (r < 0) return r;
  // Keep the typed view in step with the wire form.
  SLSipHdrFrom *typed = strcasecmp(name, "To") == 0 ? m->table.To : strcasecmp(name, "From") == 0 ? m->table.From : nullptr;
  if (typed && !SLSipHdrFromGetTag(typed)) r = SLSipHdrFromSetTag(typed, t.c_str());
  return r;
}

int SLSipMsgCompareTag(const SLSipMsg *a, const SLSipMsg *b, const char *name) {
  return icmp(SLSipMsgGetTag(a, name), SLSipMsgGetTag(b, name)) == 0;
}

int SLSipMsgCompareCallId(const SLSipMsg *a, const SLSipMsg *b) {
  const char *x = a ? SLGenHdrListGetHdr(a->headers, "Call-ID", 0) : nullptr;
  const char *y = b ? SLGenHdrListGetHdr(b->headers, "Call-ID", 0) : nullptr;
  return x && y && strcmp(x, y) == 0;
}

int SLSipMsgCompareRequestUri(const SLSipMsg *a, const SLSipMsg *b) {
  return icmp(SLSipMsgGetRequestUri(a), SLSipMsgGetRequestUri(b)) == 0;
}

int SLSipMsgCompareCSeq(const SLSipMsg *a, const SLSipMsg *b, int numbers, int methods, int ackOption,
                        int cancelOption) {
  if (!a || !b) return 0;
  SLSipHdrCSeq *x = nullptr, *y = nullptr;
  int same = 0;
  if (SLSipHdrCSeqParse(&x, SLGenHdrListFindItem(a->headers, nullptr, "CSeq")) == 0 &&
      SLSipHdrCSeqParse(&y, SLGenHdrListFindItem(b->headers, nullptr, "CSeq")) == 0) {
    same = 1;
    if (numbers && SLSipHdrCSeqGetSeqNo(x) != SLSipHdrCSeqGetSeqNo(y)) same = 0;
    if (same && methods) {
      int mb = SLSipHdrCSeqGetMethod(y);
      bool wild = (ackOption && mb == SL_METHOD_ACK) || (cancelOption && mb == SL_METHOD_CANCEL);
      if (!wild) {
        int ma = SLSipHdrCSeqGetMethod(x);
        same = ma == mb && (ma != 0 || scmp(SLSipHdrCSeqGetMethodStr(x), SLSipHdrCSeqGetMethodStr(y)) == 0);
      }
    }
  }
  SLSipHdrCSeqDestroy(x);
  SLSipHdrCSeqDestroy(y);
  return same;
}

SFResult SLSipMsgCreateRequestFromUri(SLSipMsg **out, const SLUri *uri) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!uri) return kInvalid;
  SLSipMsg *m;
  int r = SLSipMsgCreateRequest(&m, "INVITE", "", "SIP/2.0");
  if (r < 0) return r;
  if (!SLUriIsSchemeSipOrSips(uri)) {
    r = SLSipMsgStartLineSetRequestUri(m->startLine, nullptr, uri);
  } else {
    SLUri *copy;
    r = SLUriClone(&copy, uri);
    if (r < 0) {
      SLSipMsgDestroy(m);
      return kNoMemory;
    }
    if (SLUriNameValue *method = SLUriFindParameter(copy, "method")) {
      if (method->value && *method->value) {
        r = SLSipMsgStartLineSetMethod(m->startLine, method->value);
        if (r == 0) r = SLUriDeleteParameter(copy, method);
      }
    }
    bool bodySet = false;
    for (const SLUriNameValue *h = SLUriGetHeadHeader(copy); r == 0 && h; h = h->next) {
      if (strcasecmp(h->name, "body") == 0) {
        if (!bodySet && h->value) r = SLSipMsgSetBody(m, h->value, int(strlen(h->value)));
        bodySet = true;
        continue;
      }
      r = SLGenHdrListAddHdrParsed(m->headers, h->name, h->value ? h->value : "");
    }
    SLUriDeleteHeaders(copy);
    if (r == 0) r = SLSipMsgStartLineSetRequestUri(m->startLine, nullptr, copy);
    SLUriDestroy(copy);
  }
  if (r < 0) {
    SLSipMsgDestroy(m);
    return r;
  }
  *out = m;
  return 0;
}
