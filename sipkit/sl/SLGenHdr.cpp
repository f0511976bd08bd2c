// Generic header model: header name tables, block/line/value/field parsers and encoders.
#include "SLGenHdrPriv.h"

#include <string.h>
#include <strings.h>

#include <string>

using namespace slmsg;

namespace {

Pool gPool;

constexpr int kInvalid = err(kModHdr, kInval);
constexpr int kNoMemory = err(kModHdr, kNoMem);
constexpr int kSyntaxErr = err(kModHdr, kSyntax);
constexpr int kShort = err(kModHdr, kTooSmall);
constexpr int kEmptyName = err(kModHdr, kEmpty);
constexpr size_t kMaxFieldText = 512;
constexpr int kMaxParams = 30;

struct FormRow {
  const char *longName;
  char compact;
};
// Compact (one-letter) header names.
const FormRow SipHdrFormMap[] = {
    {"Accept-Contact", 'a'}, {"Referred-By", 'b'},     {"Content-Type", 'c'},  {"Request-Disposition", 'd'},
    {"Content-Encoding", 'e'}, {"From", 'f'},           {"Call-ID", 'i'},       {"Reject-Contact", 'j'},
    {"Supported", 'k'},      {"Content-Length", 'l'},  {"Contact", 'm'},       {"Event", 'o'},
    {"Refer-To", 'r'},       {"Subject", 's'},         {"To", 't'},            {"Allow-Events", 'u'},
    {"Via", 'v'},            {"Session-Expires", 'x'}, {nullptr, 0}};

struct TypeRow {
  const char *name;
  int type;
};
// Parse class of each known header name; names not listed are raw (class 0).
const TypeRow stTypeList[] = {
    {"accept", 2}, {"accept-contact", 2}, {"accept-disposition", 2}, {"accept-encoding", 2},
    {"accept-language", 2}, {"allow", 2}, {"allow-events", 2}, {"authentication-info", 4},
    {"authorization", 3}, {"call-id", 0}, {"contact", 2}, {"content-disposition", 1},
    {"content-encoding", 2}, {"content-language", 2}, {"content-length", 2}, {"content-type", 1},
    {"cseq", 1}, {"date", 6}, {"event", 1}, {"expires", 0}, {"from", 7}, {"history-info", 2}, {"join", 1},
    {"max-breadth", 1}, {"max-forwards", 1}, {"min-expires", 0}, {"min-se", 0}, {"organization", 0},
    {"priority", 1}, {"proxy-authenticate", 3}, {"proxy-authorization", 3}, {"proxy-require", 2},
    {"rack", 1}, {"refer-to", 7}, {"referred-by", 7}, {"record-route", 2}, {"reject-contact", 2},
    {"replaces", 1}, {"request-disposition", 2}, {"require", 2}, {"retry-after", 1}, {"route", 2},
    {"rseq", 1}, {"security-client", 1}, {"security-server", 1}, {"security-verify", 1}, {"server", 0},
    {"service-route", 2}, {"session-expires", 1}, {"subscription-state", 1}, {"supported", 2},
    {"target-dialog", 1}, {"to", 7}, {"timestamp", 0}, {"translate", 7}, {"unsupported", 2},
    {"user-agent", 0}, {"via", 1}, {"warning", 1}, {"www-authenticate", 3}, {"privacy", 5},
    {"p-access-network-info", 1}, {"p-asserted-identity", 2}, {"p-associated-uri", 2},
    {"p-called-party-id", 7}, {"p-charging-function-addresses", 1}, {"p-charging-vector", 1},
    {"p-dcs-billing-info", 1}, {"p-dcs-laes", 1}, {"p-dcs-osps", 1}, {"p-dcs-redirect", 1},
    {"p-dcs-trace-party-id", 7}, {"p-early-media", 2}, {"p-media-authorization", 2},
    {"p-preferred-identity", 2}, {"p-visited-network-id", 2}, {"reason", 2}, {"refer-sub", 1},
    {"sip-etag", 1}, {"sip-if-match", 1}, {nullptr, 0}};
static_assert(sizeof stTypeList / sizeof stTypeList[0] == 81, "80 header names and the end row");
static_assert(sizeof SipHdrFormMap / sizeof SipHdrFormMap[0] == 19, "18 compact forms and the end row");

const char *longFormOf(std::string_view name) {
  if (name.size() != 1) return nullptr;
  char c = static_cast<char>(name[0] | 0x20);
  for (const FormRow *r = SipHdrFormMap; r->longName; ++r)
    if (r->compact == c) return r->longName;
  return nullptr;
}

int typeOf(std::string_view name) {
  if (const char *l = longFormOf(name)) name = l;
  for (const TypeRow *r = stTypeList; r->name; ++r)
    if (ieq(name, r->name)) return r->type;
  return 0;
}

// Same header name, or one is the compact form of the other.
bool sameName(const char *have, const char *want) {
  if (strcasecmp(have, want) == 0) return true;
  const char *a = longFormOf(have), *b = longFormOf(want);
  if (a) return strcasecmp(a, want) == 0;
  if (b) return strcasecmp(have, b) == 0;
  return false;
}

bool isTokenChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c && strchr("-.!%*_+'~/`", c));
}

void fieldFree(SLGenField *f) {
  release(gPool, f->element);
  release(gPool, f->value);
  release(gPool, f->comment);
  paramDestroyList(&f->params);
  release(gPool, f);
}

void appendField(SLGenHdr *hdr, SLGenField *f) {
  SLGenField **t = &hdr->fields;
  while (*t) t = &(*t)->next;
  *t = f;
}

// Skips a quoted string starting at s[i] == '"'; returns the index after it, or npos.
size_t skipQuoted(std::string_view s, size_t i) {
  for (++i; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
      continue;
    }
    if (s[i] == '"') return i + 1;
  }
  return std::string_view::npos;
}

// Skips a (nested) comment starting at s[i] == '('; returns the index after it, or npos.
size_t skipComment(std::string_view s, size_t i) {
  int depth = 0;
  for (; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
      continue;
    }
    if (s[i] == '(') ++depth;
    else if (s[i] == ')' && --depth == 0) return i + 1;
  }
  return std::string_view::npos;
}

// Field parser state machine.
enum PState { kAfterValue, kName, kAfterName, kValue, kQuoted };

int parseField(SLGenField *f, int cls, std::string_view t) {
  if (cls == SL_HDR_CLASS_RAW || cls == SL_HDR_CLASS_DATE) {
    f->value = dup(gPool, t);
    return f->value ? 0 : kNoMemory;
  }
  const char sep = (cls == SL_HDR_CLASS_AUTH || cls == SL_HDR_CLASS_AUTHINFO) ? ',' : ';';
  size_t i = 0, n = t.size();
  while (i < n && isWs(static_cast<unsigned char>(t[i]))) ++i;
  std::string value, comment;
  bool haveComment = false;
  PState state = kAfterValue;
  auto takeComment = [&](size_t &k) -> int {
    size_t end = skipComment(t, k);
    if (end == std::string_view::npos) return kSyntaxErr;
    if (haveComment) comment.push_back(' ');
    comment.append(t.substr(k + 1, end - k - 2));
    haveComment = true;
    k = end;
    return 0;
  };
  if (cls == SL_HDR_CLASS_AUTHINFO) {
    state = kName;
  } else {
    while (i < n && t[i] != '\0') {
      char c = t[i];
      if (c == sep) break;
      if (c == '"') {
        size_t end = skipQuoted(t, i);
        if (end == std::string_view::npos) end = n;
        value.append(t.substr(i, end - i));
        i = end;
        continue;
      }
      if (c == '<') {
        size_t end = t.find('>', i);
        end = end == std::string_view::npos ? n : end + 1;
        value.append(t.substr(i, end - i));
        i = end;
        continue;
      }
      if (cls == SL_HDR_CLASS_AUTH && (isWs(static_cast<unsigned char>(c)) || c == '(')) {
        state = kName;  // the scheme is followed by its parameters without a separator
        break;
      }
      if (c == '(') {
        int r = takeComment(i);
        if (r < 0) return r;
        continue;
      }
      value.push_back(c);
      ++i;
    }
  }
  // Parameters.
  int count = 0;
  std::string pvalue;
  SLParam *current = nullptr;
  bool skipping = true;  // passing over white space before the pending state
  while (i < n && t[i] != '\0') {
    char c = t[i];
    bool ws = isWs(static_cast<unsigned char>(c));
    if (skipping && ws && state != kQuoted) {
      ++i;
      continue;
    }
    skipping = false;
    switch (state) {
      case kAfterValue:
        if (c == sep) {
          state = kName;
          skipping = true;
          ++i;
        } else if (c == '(') {
          int r = takeComment(i);
          if (r < 0) return r;
          skipping = true;
        } else if (ws) {
          ++i;
        } else {
          return kSyntaxErr;
        }
        break;
      case kName: {
        size_t b = i;
        while (i < n && isTokenChar(static_cast<unsigned char>(t[i]))) ++i;
        if (i == b) {
          if (c == sep) {  // empty parameter, as in a;;b
            ++i;
            skipping = true;
            break;
          }
          return kSyntaxErr;
        }
        if (++count > kMaxParams) return kSyntaxErr;
        int r = paramAppend(&f->params, SL_PARAM_TOKEN, t.substr(b, i - b), nullptr, 0);
        if (r < 0) return r;
        current = f->params;
        while (current->next) current = current->next;
        state = kAfterName;
        break;
      }
      case kAfterName:
        if (c == '=') {
          state = kValue;
          skipping = true;
          pvalue.clear();
          if (SLParamSetValue(current, "") < 0) return kNoMemory;
        } else if (c == sep) {
          state = kName;
          skipping = true;
        }
        ++i;
        break;
      case kValue:
        if (c == '"') {
          state = kQuoted;
          pvalue.clear();
          ++i;
          break;
        }
        {
          size_t b = i;
          while (i < n && t[i] != sep && t[i] != '\0' && !isWs(static_cast<unsigned char>(t[i]))) ++i;
          if (SLParamSetValue(current, std::string(t.substr(b, i - b)).c_str()) < 0) return kNoMemory;
          state = kAfterValue;
        }
        break;
      case kQuoted:
        if (c == '\\' && i + 1 < n) {
          pvalue.push_back(t[i + 1]);
          i += 2;
        } else if (c == '"') {
          if (SLParamSetValue(current, pvalue.c_str()) < 0) return kNoMemory;
          SLParamSetValueType(current, SL_PARAM_QUOTED);
          state = kAfterValue;
          ++i;
        } else {
          pvalue.push_back(c);
          ++i;
        }
        break;
    }
  }
  if (state == kQuoted) return kSyntaxErr;
  if (haveComment) {
    f->comment = dup(gPool, comment);
    if (!f->comment) return kNoMemory;
  }
  f->value = dup(gPool, trim(value));
  return f->value ? 0 : kNoMemory;
}

int newField(SLGenField **out) {
  *out = static_cast<SLGenField *>(alloc(gPool, sizeof(SLGenField)));
  return *out ? 0 : kNoMemory;
}

int parseFieldInto(SLGenHdr *hdr, std::string_view piece) {
  SLGenField *f;
  int r = SLGenFieldParse(&f, hdr->type, piece.data(), piece.size());
  if (r < 0) return r;
  appendField(hdr, f);
  return 0;
}

void encodeField(Out &o, const SLGenField *f, int cls) {
  if (f->value) o.put(f->value);
  if (cls == SL_HDR_CLASS_RAW || cls == SL_HDR_CLASS_DATE) return;
  if (f->comment) {
    o.putc('(');
    o.put(f->comment);
    o.putc(')');
  }
  if (cls == SL_HDR_CLASS_PRIVACY) return;
  bool authLike = cls == SL_HDR_CLASS_AUTH || cls == SL_HDR_CLASS_AUTHINFO;
  bool first = true;
  for (const SLParam *p = f->params; p; p = p->next) {
    // A parameter that does not fit whole is left out.
    Out one(nullptr, 0);
    one.put(first ? (cls == SL_HDR_CLASS_AUTH ? " " : cls == SL_HDR_CLASS_AUTHINFO ? "" : ";")
                  : (authLike ? "," : ";"));
    putParam(one, p);
    std::string tmp(one.needed, '\0');
    Out w(tmp.data(), tmp.size());
    w.put(first ? (cls == SL_HDR_CLASS_AUTH ? " " : cls == SL_HDR_CLASS_AUTHINFO ? "" : ";")
                : (authLike ? "," : ";"));
    putParam(w, p);
    o.put(tmp);
    first = false;
  }
}

void encodeHeader(Out &o, const SLGenHdr *h) {
  o.put(h->name);
  o.put(": ", 2);
  for (const SLGenField *f = h->fields; f; f = f->next) {
    if (f != h->fields) {
      if (h->type == SL_HDR_CLASS_LIST) o.putc(',');
      else if (h->type == SL_HDR_CLASS_PRIVACY) o.putc(';');
      else {
        o.put("\r\n", 2);
        o.put(h->name);
        o.put(": ", 2);
      }
    }
    encodeField(o, f, h->type);
  }
}

// One header line (without its line end) into the list.
int parseLine(SLGenHdrList *list, std::string_view line) {
  size_t i = 0;
  while (i < line.size() && line[i] != ':' && !isWs(static_cast<unsigned char>(line[i]))) ++i;
  if (i == 0) return kEmptyName;
  std::string name(line.substr(0, i));
  while (i < line.size() && isWs(static_cast<unsigned char>(line[i]))) ++i;
  if (i >= line.size() || line[i] != ':') return kInvalid;
  std::string_view value = line.substr(i + 1);
  if (const char *l = longFormOf(name)) name = l;
  SLGenHdr *h = SLGenHdrListFindItem(list, nullptr, name.c_str());
  bool created = false;
  if (!h) {
    int r = SLGenHdrCreate(&h, name.c_str());
    if (r < 0) return r;
    created = true;
  }
  int r = SLGenHdrParseHeaderValue(h, value.data(), value.size());
  if (r < 0) {
    if (created) SLGenHdrDestroy(h);
    return r;
  }
  if (created) SLGenHdrListInsertItemPtr(list, nullptr, h);
  return 0;
}

}  // namespace

namespace slmsg {

int paramAppend(SLParam **head, int type, std::string_view name, const char *value, size_t vlen) {
  std::string n(name);
  std::string v = value ? std::string(value, vlen) : std::string();
  SLParam *p;
  int r = SLParamCreate(&p, type, n.c_str(), value ? v.c_str() : nullptr);
  if (r < 0) return r;
  SLParam **t = head;
  while (*t) t = &(*t)->next;
  *t = p;
  return 0;
}

SLParam *paramFind(SLParam *head, const char *name) {
  for (; head; head = head->next)
    if (head->name && strcasecmp(head->name, name) == 0) return head;
  return nullptr;
}

int paramSet(SLParam **head, int type, const char *name, const char *value, int module) {
  if (!head || !name || !*name) return err(unsigned(module), kInval);
  SLParam *old = paramFind(*head, name);
  if (!old) return paramAppend(head, type, name, value, value ? strlen(value) : 0);
  // The parameter's texts belong to the parameter module: replace the whole parameter.
  SLParam *fresh;
  int r = SLParamCreate(&fresh, type, old->name, value);
  if (r < 0) return r;
  for (SLParam **q = head; *q; q = &(*q)->next)
    if (*q == old) {
      fresh->next = old->next;
      *q = fresh;
      break;
    }
  old->next = nullptr;
  SLParamDestroy(old);
  return 0;
}

int paramCloneList(SLParam **dst, const SLParam *src) {
  SLParam **t = dst;
  while (*t) t = &(*t)->next;
  for (; src; src = src->next) {
    SLParam *p;
    int r = SLParamClone(&p, src);
    if (r < 0) return r;
    p->next = nullptr;
    *t = p;
    t = &p->next;
  }
  return 0;
}

void paramDestroyList(SLParam **head) {
  SLParam *p = *head;
  while (p) {
    SLParam *n = p->next;
    p->next = nullptr;
    SLParamDestroy(p);
    p = n;
  }
  *head = nullptr;
}

int paramCompareList(const SLParam *a, const SLParam *b) {
  for (; a && b; a = a->next, b = b->next)
    if (int r = SLParamCompare(a, b)) return r;
  return a ? 1 : (b ? -1 : 0);
}

bool paramRemove(SLParam **head, const char *name) {
  for (SLParam **q = head; *q; q = &(*q)->next)
    if ((*q)->name && strcasecmp((*q)->name, name) == 0) {
      SLParam *dead = *q;
      *q = dead->next;
      dead->next = nullptr;
      SLParamDestroy(dead);
      return true;
    }
  return false;
}

void putParam(Out &o, const SLParam *p) {
  o.put(p->name);
  if (p->valueType == SL_PARAM_QUOTED) {
    o.put("=\"", 2);
    for (const char *s = p->value ? p->value : ""; *s; ++s) {
      if (*s == '\\' || *s == '"') o.putc('\\');
      o.putc(*s);
    }
    o.putc('"');
  } else if (p->value && *p->value) {
    o.putc('=');
    o.put(p->value);
  }
}

}  // namespace slmsg

SFResult SLGenHdrInitialize(void) { return 0; }
void SLGenHdrCleanup(void) {}
int SLGenHdrGetLiveCount(void) { return gPool.live(); }

SFResult SLGenHdrCreate2(SLGenHdr **out, const char *name, int parseClass) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name || !*name) return kInvalid;
  auto *h = static_cast<SLGenHdr *>(alloc(gPool, sizeof(SLGenHdr)));
  if (!h) return kNoMemory;
  h->name = dup(gPool, name);
  if (!h->name) {
    release(gPool, h);
    return kNoMemory;
  }
  h->type = parseClass;
  *out = h;
  return 0;
}

SFResult SLGenHdrCreate(SLGenHdr **out, const char *name) {
  return SLGenHdrCreate2(out, name, name ? typeOf(name) : 0);
}

SFResult SLGenHdrParse(SLGenHdr **out, const char *line, size_t length) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!line) return kInvalid;
  SLGenHdrList list{};
  int r = parseLine(&list, std::string_view(line, length));
  if (r < 0) return r;
  *out = list.first;
  return 0;
}

SFResult SLGenHdrEncode(const SLGenHdr *hdr, char *buffer, size_t *size) {
  if (!hdr || !size) return kInvalid;
  Out o(buffer, *size);
  encodeHeader(o, hdr);
  *size = o.needed;
  return o.fits() ? 0 : kShort;
}

SFResult SLGenHdrClone(SLGenHdr **out, const SLGenHdr *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLGenHdr *h;
  int r = SLGenHdrCreate2(&h, src->name, src->type);
  if (r < 0) return r;
  for (const SLGenField *f = src->fields; f; f = f->next) {
    SLGenField *c;
    if ((r = SLGenFieldClone(&c, f)) < 0) {
      SLGenHdrDestroy(h);
      return r;
    }
    appendField(h, c);
  }
  *out = h;
  return 0;
}

void SLGenHdrDestroy(SLGenHdr *hdr) {
  if (!hdr) return;
  SLGenHdrDeleteAllFields(hdr);
  release(gPool, hdr->name);
  release(gPool, hdr);
}

int SLGenHdrCompare(const SLGenHdr *a, const SLGenHdr *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  if (a->type != b->type) return a->type < b->type ? -1 : 1;
  if (int r = icmp(a->name, b->name)) return r;
  const SLGenField *x = a->fields, *y = b->fields;
  for (; x && y; x = x->next, y = y->next)
    if (int r = SLGenFieldCompare(x, y)) return r;
  return x ? 1 : (y ? -1 : 0);
}

int SLGenHdrGetType(const SLGenHdr *hdr) { return hdr ? hdr->type : 0; }
const char *SLGenHdrGetName(const SLGenHdr *hdr) { return hdr ? hdr->name : nullptr; }
SLGenField *SLGenHdrGetFieldList(const SLGenHdr *hdr) { return hdr ? hdr->fields : nullptr; }
int SLGenHdrGetFieldCount(const SLGenHdr *hdr) {
  int n = 0;
  for (const SLGenField *f = hdr ? hdr->fields : nullptr; f; f = f->next) ++n;
  return n;
}
SLGenField *SLGenHdrGetNextField(const SLGenHdr *hdr, const SLGenField *field) {
  if (!hdr) return nullptr;
  return field ? field->next : hdr->fields;
}
SLGenField *SLGenHdrGetPrevField(const SLGenHdr *hdr, const SLGenField *field) {
  if (!hdr) return nullptr;
  SLGenField *prev = nullptr;
  for (SLGenField *f = hdr->fields; f; prev = f, f = f->next)
    if (f == field) return prev;
  return field ? nullptr : prev;
}

SFResult SLGenHdrInsertFieldPtr(SLGenHdr *hdr, SLGenField *before, SLGenField *field) {
  if (!hdr || !field) return kInvalid;
  SLGenField **t = &hdr->fields;
  while (*t && *t != before) t = &(*t)->next;
  field->next = *t;
  *t = field;
  return 0;
}

SFResult SLGenHdrInsertField(SLGenHdr *hdr, SLGenField *before, const SLGenField *field) {
  if (!hdr || !field) return kInvalid;
  SLGenField *c;
  int r = SLGenFieldClone(&c, field);
  if (r < 0) return r;
  return SLGenHdrInsertFieldPtr(hdr, before, c);
}

SFResult SLGenHdrRemoveField(SLGenHdr *hdr, SLGenField *field) {
  if (!hdr || !field) return kInvalid;
  for (SLGenField **t = &hdr->fields; *t; t = &(*t)->next)
    if (*t == field) {
      *t = field->next;
      field->next = nullptr;
      return 0;
    }
  return kInvalid;
}

SFResult SLGenHdrDeleteField(SLGenHdr *hdr, SLGenField *field) {
  int r = SLGenHdrRemoveField(hdr, field);
  if (r == 0) fieldFree(field);
  return r;
}

void SLGenHdrDeleteAllFields(SLGenHdr *hdr) {
  if (!hdr) return;
  while (SLGenField *f = hdr->fields) {
    hdr->fields = f->next;
    fieldFree(f);
  }
}

const char *SLGenHdrGetLongForm(const char *name) { return name ? longFormOf(name) : nullptr; }
int SLGenHdrGetHdrType(const char *name) { return name ? typeOf(name) : 0; }
int SLGenHdrIsNamed(const SLGenHdr *hdr, const char *name) {
  return hdr && name && hdr->name && sameName(hdr->name, name);
}

SFResult SLGenHdrParseHeaderValue(SLGenHdr *hdr, const char *text, size_t length) {
  if (!hdr || (!text && length)) return kInvalid;
  std::string_view v(text ? text : "", text ? length : 0);
  int cls = hdr->type;
  if (cls == SL_HDR_CLASS_RAW || cls == SL_HDR_CLASS_AUTH || cls == SL_HDR_CLASS_AUTHINFO ||
      cls == SL_HDR_CLASS_DATE) {
    size_t i = 0;
    while (i < v.size() && isWs(static_cast<unsigned char>(v[i]))) ++i;
    v = v.substr(i);
    if (v.empty() && cls != SL_HDR_CLASS_RAW) return 0;
    return parseFieldInto(hdr, v);
  }
  size_t start = 0, i = 0;
  auto cut = [&](size_t end) -> int {
    std::string_view piece = v.substr(start, end - start);
    size_t k = 0;
    while (k < piece.size() && isWs(static_cast<unsigned char>(piece[k]))) ++k;
    piece = piece.substr(k);
    if (piece.empty()) return 0;
    return parseFieldInto(hdr, piece);
  };
  while (i < v.size()) {
    char c = v[i];
    if (c == '"') {
      i = skipQuoted(v, i);
      if (i == std::string_view::npos) return kInvalid;
      continue;
    }
    if (c == '(') {
      i = skipComment(v, i);
      if (i == std::string_view::npos) return kInvalid;
      continue;
    }
    if ((c == ',' && cls != SL_HDR_CLASS_SINGLE) || (c == ';' && cls == SL_HDR_CLASS_PRIVACY)) {
      if (int r = cut(i); r < 0) return r;
      start = ++i;
      continue;
    }
    ++i;
  }
  return cut(v.size());
}

SFResult SLGenHdrListCreate(SLGenHdrList **out) {
  if (!out) return err(kModCommon, kInval);
  *out = static_cast<SLGenHdrList *>(alloc(gPool, sizeof(SLGenHdrList)));
  return *out ? 0 : err(kModCommon, kNoMem);
}

void SLGenHdrListClear(SLGenHdrList *list) {
  if (!list) return;
  while (SLGenHdr *h = list->first) {
    list->first = h->next;
    SLGenHdrDestroy(h);
  }
}

void SLGenHdrListDestroy(SLGenHdrList *list) {
  if (!list) return;
  SLGenHdrListClear(list);
  release(gPool, list);
}

SFResult SLGenHdrListClone(SLGenHdrList **out, const SLGenHdrList *src) {
  int r = SLGenHdrListCreate(out);
  if (r < 0 || !src) return r;
  SLGenHdr **t = &(*out)->first;
  for (const SLGenHdr *h = src->first; h; h = h->next) {
    if ((r = SLGenHdrClone(t, h)) < 0) {
      SLGenHdrListDestroy(*out);
      *out = nullptr;
      return r;
    }
    t = &(*t)->next;
  }
  return 0;
}

SFResult SLGenHdrListParse(SLGenHdrList *list, const char *text, size_t length) {
  if (!list || (!text && length)) return kInvalid;
  SLGenHdrListClear(list);
  if (length && memchr(text, '\0', length)) return kSyntaxErr;
  size_t pos = 0;
  while (pos < length) {
    if (text[pos] == '\r' || text[pos] == '\n') break;  // blank line ends the block
    size_t i = pos, eol = length, next = length;
    while (i < length) {
      char c = text[i];
      if (c == '\r' || c == '\n') {
        size_t after = i + 1;
        if (c == '\r' && after < length && text[after] == '\n') ++after;
        if (after < length && (text[after] == ' ' || text[after] == '\t')) {
          i = after;  // folded: the line goes on
          continue;
        }
        eol = i;
        next = after;
        break;
      }
      ++i;
    }
    int r = parseLine(list, std::string_view(text + pos, eol - pos));
    if (r < 0) {
      SLGenHdrListClear(list);
      return r;
    }
    pos = next;
  }
  return 0;
}

SFResult SLGenHdrListEncode(const SLGenHdrList *list, char *buffer, size_t *size) {
  if (!list || !size) return kInvalid;
  Out o(buffer, *size);
  for (const SLGenHdr *h = list->first; h; h = h->next) {
    // A header that does not fit is left out; the size still counts it.
    Out probe(nullptr, 0);
    encodeHeader(probe, h);
    if (o.data && o.capacity - o.used >= probe.needed + 2) {
      encodeHeader(o, h);
      o.put("\r\n", 2);
    } else {
      o.needed += probe.needed + 2;
    }
  }
  *size = o.needed;
  return o.fits() ? 0 : kShort;
}

SLGenHdr *SLGenHdrListGetFirst(const SLGenHdrList *list) { return list ? list->first : nullptr; }
SLGenHdr *SLGenHdrListGetNext(const SLGenHdr *hdr) { return hdr ? hdr->next : nullptr; }

SLGenHdr *SLGenHdrListFindItem(const SLGenHdrList *list, const SLGenHdr *after, const char *name) {
  if (!list || !name) return nullptr;
  for (SLGenHdr *h = after ? after->next : list->first; h; h = h->next)
    if (sameName(h->name, name)) return h;
  return nullptr;
}

SLGenField *SLGenHdrListGetField(const SLGenHdrList *list, const char *name, int index) {
  SLGenHdr *h = SLGenHdrListFindItem(list, nullptr, name);
  if (!h) return nullptr;
  SLGenField *f = h->fields;
  if (index == -1) {
    while (f && f->next) f = f->next;
    return f;
  }
  if (index < 0) return nullptr;
  for (int k = 0; f && k < index; ++k) f = f->next;
  return f;
}

const char *SLGenHdrListGetHdr(const SLGenHdrList *list, const char *name, int index) {
  SLGenField *f = SLGenHdrListGetField(list, name, index);
  return f ? f->value : nullptr;
}

SFResult SLGenHdrListInsertItemPtr(SLGenHdrList *list, SLGenHdr *before, SLGenHdr *hdr) {
  if (!list || !hdr) return kInvalid;
  SLGenHdr **t = &list->first;
  while (*t && *t != before) t = &(*t)->next;
  hdr->next = *t;
  *t = hdr;
  return 0;
}

SFResult SLGenHdrListInsertItem(SLGenHdrList *list, SLGenHdr *before, const SLGenHdr *hdr) {
  if (!list || !hdr) return kInvalid;
  if (SLGenHdrListFindItem(list, nullptr, hdr->name)) return kInvalid;
  SLGenHdr *c;
  int r = SLGenHdrClone(&c, hdr);
  if (r < 0) return r;
  return SLGenHdrListInsertItemPtr(list, before, c);
}

SFResult SLGenHdrListDeleteItem(SLGenHdrList *list, SLGenHdr *hdr) {
  if (!list || !hdr) return kInvalid;
  for (SLGenHdr **t = &list->first; *t; t = &(*t)->next)
    if (*t == hdr) {
      *t = hdr->next;
      SLGenHdrDestroy(hdr);
      return 0;
    }
  return kInvalid;
}

int SLGenHdrListDeleteNamed(SLGenHdrList *list, const char *name) {
  if (!list || !name) return 0;
  int n = 0;
  for (SLGenHdr **t = &list->first; *t;) {
    if (sameName((*t)->name, name)) {
      SLGenHdr *dead = *t;
      *t = dead->next;
      SLGenHdrDestroy(dead);
      ++n;
    } else {
      t = &(*t)->next;
    }
  }
  return n;
}

namespace {
SLGenHdr *headerFor(SLGenHdrList *list, const char *name, bool &created, int &r) {
  created = false;
  r = 0;
  SLGenHdr *h = SLGenHdrListFindItem(list, nullptr, name);
  if (h) return h;
  const char *l = longFormOf(name);
  r = SLGenHdrCreate(&h, l ? l : name);
  created = r == 0;
  return h;
}
}  // namespace

SFResult SLGenHdrListAddHdr(SLGenHdrList *list, const char *name, const char *text) {
  if (!list || !name || !*name) return kInvalid;
  bool created;
  int r;
  SLGenHdr *h = headerFor(list, name, created, r);
  if (r < 0) return r;
  SLGenField *f;
  if ((r = newField(&f)) < 0 || !(f->value = dup(gPool, text ? text : "")) ||
      !(f->element = dup(gPool, text ? text : ""))) {
    if (r == 0) fieldFree(f);
    if (created) SLGenHdrDestroy(h);
    return kNoMemory;
  }
  appendField(h, f);
  if (created) SLGenHdrListInsertItemPtr(list, nullptr, h);
  return 0;
}

SFResult SLGenHdrListAddHdrParsed(SLGenHdrList *list, const char *name, const char *text) {
  if (!list || !name || !*name) return kInvalid;
  bool created;
  int r;
  SLGenHdr *h = headerFor(list, name, created, r);
  if (r < 0) return r;
  SLGenField *last = h->fields;
  while (last && last->next) last = last->next;
  r = SLGenHdrParseHeaderValue(h, text ? text : "", text ? strlen(text) : 0);
  if (r < 0) {
    if (created) {
      SLGenHdrDestroy(h);
    } else {  // drop what this call appended
      SLGenField *extra = last ? last->next : h->fields;
      if (last) last->next = nullptr;
      else h->fields = nullptr;
      while (extra) {
        SLGenField *n = extra->next;
        fieldFree(extra);
        extra = n;
      }
    }
    return r;
  }
  if (created) SLGenHdrListInsertItemPtr(list, nullptr, h);
  return 0;
}

SFResult SLGenHdrListAddField(SLGenHdrList *list, const char *name, const SLGenField *field) {
  if (!list || !name || !*name || !field) return kInvalid;
  bool created;
  int r;
  SLGenHdr *h = headerFor(list, name, created, r);
  if (r < 0) return r;
  SLGenField *c;
  if ((r = SLGenFieldClone(&c, field)) < 0) {
    if (created) SLGenHdrDestroy(h);
    return r;
  }
  appendField(h, c);
  if (created) SLGenHdrListInsertItemPtr(list, nullptr, h);
  return 0;
}

SFResult SLGenFieldParse(SLGenField **out, int parseClass, const char *text, size_t length) {
  if (!out) return kInvalid;
  *out = nullptr;
  SLGenField *f;
  int r = newField(&f);
  if (r < 0) return r;
  if (!text) {
    *out = f;
    return 0;
  }
  if (length > kMaxFieldText) {
    fieldFree(f);
    return kSyntaxErr;
  }
  std::string_view t(text, length);
  f->element = dup(gPool, t);
  if (!f->element) {
    fieldFree(f);
    return kNoMemory;
  }
  if ((r = parseField(f, parseClass, t)) < 0) {
    fieldFree(f);
    return r;
  }
  *out = f;
  return 0;
}

SFResult SLGenFieldCreate(SLGenField **out, int parseClass, const char *value, const char *comment,
                          const SLParam *params) {
  if (!out) return kInvalid;
  *out = nullptr;
  SLGenField *f;
  int r = newField(&f);
  if (r < 0) return r;
  bool raw = parseClass == SL_HDR_CLASS_RAW || parseClass == SL_HDR_CLASS_DATE;
  if (raw && !value) value = "";
  if ((value && !(f->value = dup(gPool, value))) || (!raw && comment && !(f->comment = dup(gPool, comment))) ||
      (!raw && paramCloneList(&f->params, params) < 0)) {
    fieldFree(f);
    return kNoMemory;
  }
  *out = f;
  return 0;
}

SFResult SLGenFieldEncode(const SLGenField *field, int parseClass, char *buffer, size_t *size) {
  if (!field || !size) return kInvalid;
  Out o(buffer, *size);
  encodeField(o, field, parseClass);
  *size = o.needed;
  return o.fits() ? 0 : kShort;
}

namespace {
int cloneField(SLGenField **out, const SLGenField *src, bool element) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLGenField *f;
  int r = newField(&f);
  if (r < 0) return r;
  if ((src->value && !(f->value = dup(gPool, src->value))) ||
      (src->comment && !(f->comment = dup(gPool, src->comment))) ||
      (element && src->element && !(f->element = dup(gPool, src->element))) ||
      paramCloneList(&f->params, src->params) < 0) {
    fieldFree(f);
    return kNoMemory;
  }
  *out = f;
  return 0;
}
}  // namespace

SFResult SLGenFieldClone(SLGenField **out, const SLGenField *src) { return cloneField(out, src, true); }
SFResult SLGenFieldCloneNoElement(SLGenField **out, const SLGenField *src) { return cloneField(out, src, false); }

void SLGenFieldDestroy(SLGenField *field) {
  if (field) fieldFree(field);
}

int SLGenFieldCompare(const SLGenField *a, const SLGenField *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  if (int r = icmp(a->value, b->value)) return r;
  if (int r = icmp(a->comment, b->comment)) return r;
  return paramCompareList(a->params, b->params);
}

SLGenField *SLGenFieldGetNext(const SLGenField *field) { return field ? field->next : nullptr; }
const char *SLGenFieldGetElement(const SLGenField *f) { return f ? f->element : nullptr; }
const char *SLGenFieldGetValue(const SLGenField *f) { return f ? f->value : nullptr; }
const char *SLGenFieldGetComment(const SLGenField *f) { return f ? f->comment : nullptr; }
SFResult SLGenFieldSetElement(SLGenField *f, const char *t) {
  if (!f) return kInvalid;
  return setText(gPool, &f->element, t) ? 0 : kNoMemory;
}
SFResult SLGenFieldSetValue(SLGenField *f, const char *t) {
  if (!f) return kInvalid;
  return setText(gPool, &f->value, t) ? 0 : kNoMemory;
}
SFResult SLGenFieldSetComment(SLGenField *f, const char *t) {
  if (!f) return kInvalid;
  return setText(gPool, &f->comment, t) ? 0 : kNoMemory;
}
SLParamList *SLGenFieldGetParamList(const SLGenField *f) { return f ? asList(&f->params) : nullptr; }
SLParam *SLGenFieldFindParam(const SLGenField *f, const char *name) {
  return f && name ? paramFind(f->params, name) : nullptr;
}
const char *SLGenFieldGetParam(const SLGenField *f, const char *name) {
  SLParam *p = SLGenFieldFindParam(f, name);
  return p ? p->value : nullptr;
}
SFResult SLGenFieldSetParam(SLGenField *f, int valueType, const char *name, const char *value) {
  if (!f) return kInvalid;
  return paramSet(&f->params, valueType, name, value, kModHdr);
}

SFResult SLGenFieldListCreate(SLGenField ***out) {
  if (!out) return kInvalid;
  *out = static_cast<SLGenField **>(alloc(gPool, sizeof(SLGenField *)));
  return *out ? 0 : kNoMemory;
}

void SLGenFieldListDestroy(SLGenField **head) {
  if (!head) return;
  while (SLGenField *f = *head) {
    *head = f->next;
    fieldFree(f);
  }
  release(gPool, head);
}

SFResult SLGenFieldListClone(SLGenField ***out, SLGenField *const *src) {
  int r = SLGenFieldListCreate(out);
  if (r < 0 || !src) return r;
  SLGenField **t = *out;
  for (const SLGenField *f = *src; f; f = f->next) {
    if ((r = SLGenFieldClone(t, f)) < 0) {
      SLGenFieldListDestroy(*out);
      *out = nullptr;
      return r;
    }
    t = &(*t)->next;
  }
  return 0;
}
