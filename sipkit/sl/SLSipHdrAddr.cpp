// Typed headers that carry addresses: From/To, address lists, P-DCS-Trace-Party-ID, Translate
// and Contact.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "SLSipHdrPriv.h"

using namespace slmsg;
using namespace slhdr;

namespace {
constexpr size_t kMaxTag = 256;

// Builds a one-field header `name` from a name-addr and parameters.
int nameAddrHeader(SLGenHdr **out, const char *name, const char *display, const SLUri *uri, const SLParam *params,
                   bool brackets) {
  *out = nullptr;
  SLGenHdr *h;
  int r = newHeader(&h, name);
  if (r < 0) return r;
  SLGenField *f;
  if ((r = SLSipHdrNameAddrEncode(&f, h->type, display, uri, brackets)) < 0 ||
      (r = paramCloneList(&f->params, params)) < 0) {
    if (r < 0 && f) SLGenFieldDestroy(f);
    SLGenHdrDestroy(h);
    return r < 0 ? r : kNoMemory;
  }
  addField(h, f);
  *out = h;
  return 0;
}
}  // namespace

// ---- From / To ---------------------------------------------------------------------------------

SFResult SLSipHdrFromCreate(SLSipHdrFrom **out, const SLUri *uri, const char *displayName, const char *tag) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *h = make<SLSipHdrFrom>();
  if (!h) return kNoMemory;
  if (cloneUri(h->uri, uri) < 0 || !copyText(h->displayName, displayName) || !copyText(h->tag, tag)) {
    SLSipHdrFromDestroy(h);
    return kNoMemory;
  }
  *out = h;
  return 0;
}

void SLSipHdrFromDestroy(SLSipHdrFrom *h) {
  if (!h) return;
  SLUriDestroy(h->uri);
  drop(h->displayName);
  drop(h->tag);
  drop(h);
}

SFResult SLSipHdrFromClone(SLSipHdrFrom **out, const SLSipHdrFrom *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  return SLSipHdrFromCreate(out, src->uri, src->displayName, src->tag);
}

SFResult SLSipHdrFromParseHdr(SLSipHdrFrom **out, const SLGenHdr *hdr, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!hdr || !name || !named(hdr, name)) return kInvalid;
  const SLGenField *f = firstField(hdr);
  if (!f) return kInvalid;
  auto *h = make<SLSipHdrFrom>();
  if (!h) return kNoMemory;
  int r = nameAddr(f, h->displayName, h->uri);
  if (r == 0) {
    if (const SLParam *tag = paramFind(f->params, "tag")) {
      const char *v = tag->value ? tag->value : "";
      if (strlen(v) > kMaxTag) r = kSyntaxErr;
      else if (!copyText(h->tag, v)) r = kNoMemory;
    }
  }
  if (r < 0) {
    SLSipHdrFromDestroy(h);
    return r;
  }
  *out = h;
  return 0;
}

SFResult SLSipHdrFromParse(SLSipHdrFrom **out, const SLGenHdr *hdr) { return SLSipHdrFromParseHdr(out, hdr, "From"); }

SFResult SLSipHdrFromEncodeHdr(SLGenHdr **out, const SLSipHdrFrom *h, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !name) return kInvalid;
  SLParam *params = nullptr;
  if (h->tag && paramAppend(&params, SL_PARAM_TOKEN, "tag", h->tag, strlen(h->tag)) < 0) return kNoMemory;
  int r = nameAddrHeader(out, name, h->displayName, h->uri, params, true);
  paramDestroyList(&params);
  return r;
}

SFResult SLSipHdrFromEncode(SLGenHdr **out, const SLSipHdrFrom *h) { return SLSipHdrFromEncodeHdr(out, h, "From"); }
const SLUri *SLSipHdrFromGetUri(const SLSipHdrFrom *h) { return h ? h->uri : nullptr; }
SFResult SLSipHdrFromSetUri(SLSipHdrFrom *h, const SLUri *uri) { return h ? cloneUri(h->uri, uri) : kInvalid; }
const char *SLSipHdrFromGetDisplayName(const SLSipHdrFrom *h) { return h ? h->displayName : nullptr; }
SFResult SLSipHdrFromSetDisplayName(SLSipHdrFrom *h, const char *t) {
  return h ? (copyText(h->displayName, t) ? 0 : kNoMemory) : kInvalid;
}
const char *SLSipHdrFromGetTag(const SLSipHdrFrom *h) { return h ? h->tag : nullptr; }
SFResult SLSipHdrFromSetTag(SLSipHdrFrom *h, const char *t) {
  return h ? (copyText(h->tag, t) ? 0 : kNoMemory) : kInvalid;
}
int SLSipHdrFromIsEqualUri(const SLSipHdrFrom *a, const SLSipHdrFrom *b) {
  if (!a || !b) return a == b;
  return uriEqual(a->uri, b->uri);
}
int SLSipHdrFromIsEqualDisplayName(const SLSipHdrFrom *a, const SLSipHdrFrom *b) {
  if (!a || !b) return a == b;
  return scmp(a->displayName, b->displayName) == 0;
}
int SLSipHdrFromIsEqualTag(const SLSipHdrFrom *a, const SLSipHdrFrom *b) {
  if (!a || !b) return a == b;
  return icmp(a->tag, b->tag) == 0;
}

// ---- Address lists -----------------------------------------------------------------------------

SFResult SLSipHdrGenericIdItemCreate(SLSipHdrGenericIdItem **out, const char *displayName, const SLUri *uri) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *i = make<SLSipHdrGenericIdItem>();
  if (!i) return kNoMemory;
  if (cloneUri(i->uri, uri) < 0 || !copyText(i->displayName, displayName)) {
    SLSipHdrGenericIdItemDestroy(i);
    return kNoMemory;
  }
  *out = i;
  return 0;
}

void SLSipHdrGenericIdItemDestroy(SLSipHdrGenericIdItem *i) {
  while (i) {
    SLSipHdrGenericIdItem *n = i->next;
    SLUriDestroy(i->uri);
    drop(i->displayName);
    paramDestroyList(&i->params);
    drop(i);
    i = n;
  }
}

namespace {
int cloneOneId(SLSipHdrGenericIdItem **out, const SLSipHdrGenericIdItem *src) {
  int r = SLSipHdrGenericIdItemCreate(out, src->displayName, src->uri);
  if (r < 0) return r;
  if (paramCloneList(&(*out)->params, src->params) < 0) {
    SLSipHdrGenericIdItemDestroy(*out);
    *out = nullptr;
    return kNoMemory;
  }
  return 0;
}
}  // namespace

SFResult SLSipHdrGenericIdItemClone(SLSipHdrGenericIdItem **out, const SLSipHdrGenericIdItem *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLSipHdrGenericIdItem **t = out;
  for (; src; src = src->next) {
    int r = cloneOneId(t, src);
    if (r < 0) {
      SLSipHdrGenericIdItemDestroy(*out);
      *out = nullptr;
      return r;
    }
    t = &(*t)->next;
  }
  return 0;
}

SFResult SLSipHdrGenericIdItemCloneReverse(SLSipHdrGenericIdItem **out, const SLSipHdrGenericIdItem *first) {
  if (!out) return kInvalid;
  *out = nullptr;
  SLSipHdrGenericIdItem *head = nullptr;
  for (; first; first = first->next) {
    SLSipHdrGenericIdItem *c;
    int r = cloneOneId(&c, first);
    if (r < 0) {
      SLSipHdrGenericIdItemDestroy(head);
      return r;
    }
    c->next = head;
    head = c;
  }
  *out = head;
  return 0;
}

SFResult SLSipHdrGenericIdItemParse(SLSipHdrGenericIdItem **out, const SLGenField *field) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!field) return kInvalid;
  auto *i = make<SLSipHdrGenericIdItem>();
  if (!i) return kNoMemory;
  int r = nameAddr(field, i->displayName, i->uri);
  if (r == 0) r = copyParams(&i->params, field->params);
  if (r < 0) {
    SLSipHdrGenericIdItemDestroy(i);
    return r;
  }
  *out = i;
  return 0;
}

SFResult SLSipHdrGenericIdItemParseHdr(SLSipHdrGenericIdItem **out, const SLGenHdr *hdr, const char *) {
  if (!out) return kInvalid;
  *out = nullptr;
  const SLGenField *f = firstField(hdr);
  if (!f) return kInvalid;
  return SLSipHdrGenericIdItemParse(out, f);
}

SFResult SLSipHdrGenericIdItemEncode2(SLGenField **out, const SLSipHdrGenericIdItem *i, int forceBrackets) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!i) return kInvalid;
  int r = SLSipHdrNameAddrEncode(out, SL_HDR_CLASS_LIST, i->displayName, i->uri, forceBrackets);
  if (r < 0) return r;
  if (paramCloneList(&(*out)->params, i->params) < 0) {
    SLGenFieldDestroy(*out);
    *out = nullptr;
    return kNoMemory;
  }
  return 0;
}

SFResult SLSipHdrGenericIdItemEncode(SLGenField **out, const SLSipHdrGenericIdItem *i) {
  return SLSipHdrGenericIdItemEncode2(out, i, 1);
}

SFResult SLSipHdrGenericIdItemEncodeHdr(SLGenHdr **out, const SLSipHdrGenericIdItem *i, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!i || !name) return kInvalid;
  return nameAddrHeader(out, name, i->displayName, i->uri, i->params, true);
}

SLSipHdrGenericIdItem *SLSipHdrGenericIdItemGetNext(const SLSipHdrGenericIdItem *i) { return i ? i->next : nullptr; }
const SLUri *SLSipHdrGenericIdItemGetUri(const SLSipHdrGenericIdItem *i) { return i ? i->uri : nullptr; }
SFResult SLSipHdrGenericIdItemSetUri(SLSipHdrGenericIdItem *i, const SLUri *uri) {
  return i ? cloneUri(i->uri, uri) : kInvalid;
}
const char *SLSipHdrGenericIdItemGetDisplayName(const SLSipHdrGenericIdItem *i) { return i ? i->displayName : nullptr; }
SFResult SLSipHdrGenericIdItemSetDisplayName(SLSipHdrGenericIdItem *i, const char *t) {
  return i ? (copyText(i->displayName, t) ? 0 : kNoMemory) : kInvalid;
}
SLParam *SLSipHdrGenericIdItemGetParam(const SLSipHdrGenericIdItem *i, const char *name) {
  return i && name ? paramFind(i->params, name) : nullptr;
}
SFResult SLSipHdrGenericIdItemSetParam(SLSipHdrGenericIdItem *i, const char *name, const char *value) {
  return i ? setParam(&i->params, name, value) : kInvalid;
}
SLParamList *SLSipHdrGenericIdItemGetParamList(const SLSipHdrGenericIdItem *i) { return i ? asList(&i->params) : nullptr; }

int SLSipHdrGenericIdItemIsEqualUri(const SLSipHdrGenericIdItem *a, const SLSipHdrGenericIdItem *b) {
  if (!a || !b) return a == b;
  return SLUriCompare(a->uri, b->uri) == 0;
}
int SLSipHdrGenericIdItemIsEqualDisplayName(const SLSipHdrGenericIdItem *a, const SLSipHdrGenericIdItem *b) {
  if (!a || !b) return a == b;
  return scmp(a->displayName, b->displayName) == 0;
}
int SLSipHdrGenericIdItemIsEqual(const SLSipHdrGenericIdItem *a, const SLSipHdrGenericIdItem *b) {
  if (!a || !b) return a == b;
  return SLUriCompare(a->uri, b->uri) == 0 && scmp(a->displayName, b->displayName) == 0 &&
         paramCompareList(a->params, b->params) == 0;
}

SFResult SLSipHdrGenericIdCreate(SLSipHdrGenericId **out) {
  if (!out) return kInvalid;
  *out = make<SLSipHdrGenericId>();
  return *out ? 0 : kNoMemory;
}
void SLSipHdrGenericIdDestroy(SLSipHdrGenericId *h) {
  if (!h) return;
  SLSipHdrGenericIdItemDestroy(h->head);
  drop(h);
}
SFResult SLSipHdrGenericIdClone(SLSipHdrGenericId **out, const SLSipHdrGenericId *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  int r = SLSipHdrGenericIdCreate(out);
  if (r < 0) return r;
  if (src->head && (r = SLSipHdrGenericIdItemClone(&(*out)->head, src->head)) < 0) {
    SLSipHdrGenericIdDestroy(*out);
    *out = nullptr;
  }
  return r;
}
SFResult SLSipHdrGenericIdParse(SLSipHdrGenericId **out, const SLGenHdr *hdr, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!hdr || !name || !named(hdr, name)) return kInvalid;
  SLSipHdrGenericId *h;
  int r = SLSipHdrGenericIdCreate(&h);
  if (r < 0) return r;
  SLSipHdrGenericIdItem **t = &h->head;
  for (const SLGenField *f = hdr->fields; f; f = f->next) {
    if ((r = SLSipHdrGenericIdItemParse(t, f)) < 0) {
      SLSipHdrGenericIdDestroy(h);
      return r;
    }
    t = &(*t)->next;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrGenericIdEncode2(SLGenHdr **out, const SLSipHdrGenericId *h, const char *name, int force) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !name) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, name);
  if (r < 0) return r;
  for (const SLSipHdrGenericIdItem *i = h->head; i; i = i->next) {
    SLGenField *f;
    if ((r = SLSipHdrGenericIdItemEncode2(&f, i, force)) < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
    addField(g, f);
  }
  *out = g;
  return 0;
}
SFResult SLSipHdrGenericIdEncode(SLGenHdr **out, const SLSipHdrGenericId *h, const char *name) {
  return SLSipHdrGenericIdEncode2(out, h, name, 1);
}
SFResult SLSipHdrGenericIdAddItem(SLSipHdrGenericId *h, SLSipHdrGenericIdItem *item) {
  if (!h || !item) return kInvalid;
  SLSipHdrGenericIdItem **t = &h->head;
  while (*t) t = &(*t)->next;
  *t = item;
  return 0;
}
SLSipHdrGenericIdItem *SLSipHdrGenericIdGetHeadItem(const SLSipHdrGenericId *h) { return h ? h->head : nullptr; }
int SLSipHdrGenericIdIsEqual(const SLSipHdrGenericId *a, const SLSipHdrGenericId *b) {
  if (!a || !b) return a == b;
  const SLSipHdrGenericIdItem *x = a->head, *y = b->head;
  for (; x && y; x = x->next, y = y->next)
    if (!SLSipHdrGenericIdItemIsEqual(x, y)) return 0;
  return !x && !y;
}

// ---- P-DCS-Trace-Party-ID -----------------------------------------------------------------------

SFResult SLSipHdrPDCSTracePartyIdCreate(SLSipHdrPDCSTracePartyId **out, const SLUri *uri, const char *displayName) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *h = make<SLSipHdrPDCSTracePartyId>();
  if (!h) return kNoMemory;
  if (cloneUri(h->uri, uri) < 0 || !copyText(h->displayName, displayName)) {
    SLSipHdrPDCSTracePartyIdDestroy(h);
    return kNoMemory;
  }
  *out = h;
  return 0;
}
void SLSipHdrPDCSTracePartyIdDestroy(SLSipHdrPDCSTracePartyId *h) {
  if (!h) return;
  SLUriDestroy(h->uri);
  drop(h->displayName);
  drop(h);
}
SFResult SLSipHdrPDCSTracePartyIdClone(SLSipHdrPDCSTracePartyId **out, const SLSipHdrPDCSTracePartyId *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  return src ? SLSipHdrPDCSTracePartyIdCreate(out, src->uri, src->displayName) : kInvalid;
}
SFResult SLSipHdrPDCSTracePartyIdParseHdr(SLSipHdrPDCSTracePartyId **out, const SLGenHdr *hdr, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!hdr || !name || !named(hdr, name) || !firstField(hdr)) return kInvalid;
  auto *h = make<SLSipHdrPDCSTracePartyId>();
  if (!h) return kNoMemory;
  int r = nameAddr(firstField(hdr), h->displayName, h->uri);
  if (r < 0) {
    SLSipHdrPDCSTracePartyIdDestroy(h);
    return r;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrPDCSTracePartyIdEncode(SLGenHdr **out, const SLSipHdrPDCSTracePartyId *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h) return kInvalid;
  return nameAddrHeader(out, "P-DCS-Trace-Party-ID", h->displayName, h->uri, nullptr, true);
}
const SLUri *SLSipHdrPDCSTracePartyIdGetUri(const SLSipHdrPDCSTracePartyId *h) { return h ? h->uri : nullptr; }
SFResult SLSipHdrPDCSTracePartyIdSetUri(SLSipHdrPDCSTracePartyId *h, const SLUri *uri) {
  return h ? cloneUri(h->uri, uri) : kInvalid;
}
const char *SLSipHdrPDCSTracePartyIdGetDisplayName(const SLSipHdrPDCSTracePartyId *h) {
  return h ? h->displayName : nullptr;
}
SFResult SLSipHdrPDCSTracePartyIdSetDisplayName(SLSipHdrPDCSTracePartyId *h, const char *t) {
  return h ? (copyText(h->displayName, t) ? 0 : kNoMemory) : kInvalid;
}
int SLSipHdrPDCSTracePartyIdIsEqualUri(const SLSipHdrPDCSTracePartyId *a, const SLSipHdrPDCSTracePartyId *b) {
  if (!a || !b) return a == b;
  return uriEqual(a->uri, b->uri);
}
int SLSipHdrPDCSTracePartyIdIsEqualDisplayName(const SLSipHdrPDCSTracePartyId *a,
                                               const SLSipHdrPDCSTracePartyId *b) {
  if (!a || !b) return a == b;
  return scmp(a->displayName, b->displayName) == 0;
}

// ---- Translate ---------------------------------------------------------------------------------

SFResult SLSipHdrTranslateCreate(SLSipHdrTranslate **out, const SLUri *uri) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *h = make<SLSipHdrTranslate>();
  if (!h) return kNoMemory;
  if (cloneUri(h->uri, uri) < 0) {
    drop(h);
    return kNoMemory;
  }
  *out = h;
  return 0;
}
void SLSipHdrTranslateDestroy(SLSipHdrTranslate *h) {
  if (!h) return;
  SLUriDestroy(h->uri);
  drop(h);
}
SFResult SLSipHdrTranslateClone(SLSipHdrTranslate **out, const SLSipHdrTranslate *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  int r = SLSipHdrTranslateCreate(out, src->uri);
  if (r == 0) (*out)->natType = src->natType;
  return r;
}
SFResult SLSipHdrTranslateParse(SLSipHdrTranslate **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!named(hdr, "Translate") || !firstField(hdr)) return kInvalid;
  const SLGenField *f = firstField(hdr);
  auto *h = make<SLSipHdrTranslate>();
  if (!h) return kNoMemory;
  char *display = nullptr;
  int r = nameAddr(f, display, h->uri);
  drop(display);
  if (r < 0) {
    SLSipHdrTranslateDestroy(h);
    return r;
  }
  if (const SLParam *nat = paramFind(f->params, "nat")) {
    if (nat->value && strcasecmp(nat->value, "sym") == 0) h->natType = SL_NAT_SYM;
    else if (nat->value && strcasecmp(nat->value, "cone") == 0) h->natType = SL_NAT_CONE;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrTranslateEncode(SLGenHdr **out, const SLSipHdrTranslate *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h) return kInvalid;
  SLParam *params = nullptr;
  if (h->natType == SL_NAT_SYM || h->natType == SL_NAT_CONE) {
    const char *v = h->natType == SL_NAT_SYM ? "sym" : "cone";
    if (paramAppend(&params, SL_PARAM_TOKEN, "nat", v, strlen(v)) < 0) return kNoMemory;
  }
  int r = nameAddrHeader(out, "Translate", nullptr, h->uri, params, true);
  paramDestroyList(&params);
  return r;
}
const SLUri *SLSipHdrTranslateGetUri(const SLSipHdrTranslate *h) { return h ? h->uri : nullptr; }
SFResult SLSipHdrTranslateSetUri(SLSipHdrTranslate *h, const SLUri *uri) { return h ? cloneUri(h->uri, uri) : kInvalid; }
int SLSipHdrTranslateGetNatTypes(const SLSipHdrTranslate *h) { return h ? h->natType : 0; }
SFResult SLSipHdrTranslateSetNatTypes(SLSipHdrTranslate *h, int natType) {
  if (!h) return kInvalid;
  h->natType = natType;
  return 0;
}

// ---- Contact -----------------------------------------------------------------------------------

namespace {

// q-value grammar of RFC 3261: "0" ["." 0*3DIGIT] / "1" ["." 0*3("0")], at most five characters.
bool validQ(const char *q) {
  if (!q) return false;
  size_t n = strlen(q);
  if (n == 0 || n > 5 || (q[0] != '0' && q[0] != '1')) return false;
  if (n == 1) return true;
  if (q[1] != '.') return false;
  for (size_t i = 2; i < n; ++i) {
    if (q[0] == '1' ? q[i] != '0' : (q[i] < '0' || q[i] > '9')) return false;
  }
  return true;
}

void freeMethods(SLSipHdrMethodsParam *&m) {
  while (m) {
    SLSipHdrMethodsParam *n = m->next;
    drop(m);
    m = n;
  }
}

int setMethods(SLSipHdrContactItem *i, const char *text) {
  freeMethods(i->methods);
  if (!text) return 0;
  std::string_view s(text);
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    if (comma == std::string_view::npos) comma = s.size();
    std::string piece(trim(s.substr(start, comma - start)));
    if (SLSipHdrContactItemAddMethod(i, SLSipHdrGetMethod(piece.c_str())) < 0) {
      freeMethods(i->methods);
      return kNoMemory;
    }
    start = comma + 1;
  }
  return 0;
}

bool setExpires(SLSipHdrContactItem *i, const uint32_t *seconds) {
  if (!seconds) {
    drop(i->expires);
    i->expires = nullptr;
    return true;
  }
  if (!i->expires && !(i->expires = make<SLSipHdrDeltaSeconds>())) return false;
  i->expires->value = *seconds;
  return true;
}

}  // namespace

SFResult SLSipHdrContactItemCreate(SLSipHdrContactItem **out, const SLUri *uri) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *i = make<SLSipHdrContactItem>();
  if (!i) return kInvalid;
  if (cloneUri(i->uri, uri) < 0) {
    drop(i);
    return kInvalid;
  }
  *out = i;
  return 0;
}

void SLSipHdrContactItemDestroy(SLSipHdrContactItem *i) {
  if (!i) return;
  drop(i->displayName);
  SLUriDestroy(i->uri);
  drop(i->qValue);
  drop(i->action);
  drop(i->expires);
  freeMethods(i->methods);
  paramDestroyList(&i->extensions);
  drop(i);
}

SFResult SLSipHdrContactItemClone(SLSipHdrContactItem **out, const SLSipHdrContactItem *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLSipHdrContactItem *i;
  int r = SLSipHdrContactItemCreate(&i, src->uri);
  if (r < 0) return r;
  bool ok = copyText(i->displayName, src->displayName) && copyText(i->qValue, src->qValue) &&
            copyText(i->action, src->action) && setExpires(i, src->expires ? &src->expires->value : nullptr) &&
            paramCloneList(&i->extensions, src->extensions) == 0;
  for (const SLSipHdrMethodsParam *m = src->methods; ok && m; m = m->next)
    ok = SLSipHdrContactItemAddMethod(i, m->method) == 0;
  if (!ok) {
    SLSipHdrContactItemDestroy(i);
    return kNoMemory;
  }
  *out = i;
  return 0;
}

SFResult SLSipHdrContactItemParse(SLSipHdrContactItem **out, const SLGenField *field) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!field) return kInvalid;
  auto *i = make<SLSipHdrContactItem>();
  if (!i) return kNoMemory;
  int r = nameAddr(field, i->displayName, i->uri);
  for (const SLParam *p = field->params; r == 0 && p; p = p->next) {
    if (!p->name || !*p->name) continue;
    if (strcasecmp(p->name, "q") == 0) {
      if (!validQ(p->value)) r = kSyntaxErr;
      else if (!copyText(i->qValue, p->value)) r = kNoMemory;
    } else if (strcasecmp(p->name, "action") == 0) {
      if (!copyText(i->action, p->value ? p->value : "")) r = kNoMemory;
    } else if (strcasecmp(p->name, "expires") == 0) {
      uint32_t v = 0;
      if (p->value && *p->value && !readNumber(p->value, v)) r = kSyntaxErr;
      else if (!setExpires(i, &v)) r = kNoMemory;
    } else if (strcasecmp(p->name, "methods") == 0) {
      r = setMethods(i, p->value ? p->value : "");
    } else {
      std::string v;
      const char *value = p->value;
      if (p->valueType == SL_PARAM_QUOTED) {
        v = requote(p->value);
        value = v.c_str();
      }
      r = setParam(&i->extensions, p->name, value);
    }
  }
  if (r < 0) {
    SLSipHdrContactItemDestroy(i);
    return r;
  }
  *out = i;
  return 0;
}

SFResult SLSipHdrContactItemEncode(SLGenField **out, const SLSipHdrContactItem *i) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!i) return kInvalid;
  const char *scheme = SLUriGetScheme(i->uri);
  if (scheme && strcmp(scheme, "*") == 0) return makeField(out, SL_HDR_CLASS_LIST, "*", nullptr);
  int r = SLSipHdrNameAddrEncode(out, SL_HDR_CLASS_LIST, i->displayName, i->uri, 1);
  if (r < 0) return r;
  SLParam **ps = &(*out)->params;
  auto add = [&](const char *name, const char *value, int type) {
    return r == 0 && (r = paramAppend(ps, type, name, value, value ? strlen(value) : 0)) == 0;
  };
  if (i->qValue) add("q", i->qValue, SL_PARAM_TOKEN);
  if (i->action) add("action", i->action, SL_PARAM_TOKEN);
  if (i->expires) {
    char b[16];
    snprintf(b, sizeof b, "%lu", static_cast<unsigned long>(i->expires->value));
    add("expires", b, SL_PARAM_TOKEN);
  }
  std::string methods;
  for (const SLSipHdrMethodsParam *m = i->methods; m; m = m->next)
    if (const char *t = SLSipHdrGetMethodStr(m->method)) {
      if (!methods.empty()) methods.push_back(',');
      methods += t;
    }
  if (!methods.empty()) add("methods", methods.c_str(), SL_PARAM_QUOTED);
  if (r == 0 && paramCloneList(ps, i->extensions) < 0) r = kNoMemory;
  if (r < 0) {
    SLGenFieldDestroy(*out);
    *out = nullptr;
  }
  return r;
}

SLSipHdrContactItem *SLSipHdrContactItemGetNextItem(const SLSipHdrContactItem *i) { return i ? i->next : nullptr; }
const char *SLSipHdrContactItemGetDisplayName(const SLSipHdrContactItem *i) { return i ? i->displayName : nullptr; }
SFResult SLSipHdrContactItemSetDisplayName(SLSipHdrContactItem *i, const char *t) {
  return i ? (copyText(i->displayName, t) ? 0 : kNoMemory) : kInvalid;
}
const SLUri *SLSipHdrContactItemGetUri(const SLSipHdrContactItem *i) { return i ? i->uri : nullptr; }
SFResult SLSipHdrContactItemSetUri(SLSipHdrContactItem *i, const SLUri *uri) { return i ? cloneUri(i->uri, uri) : kInvalid; }
const char *SLSipHdrContactItemGetQValue(const SLSipHdrContactItem *i) { return i ? i->qValue : nullptr; }
SFResult SLSipHdrContactItemSetQValue(SLSipHdrContactItem *i, const char *t) {
  return i ? (copyText(i->qValue, t) ? 0 : kNoMemory) : kInvalid;
}
const char *SLSipHdrContactItemGetAction(const SLSipHdrContactItem *i) { return i ? i->action : nullptr; }
SFResult SLSipHdrContactItemSetAction(SLSipHdrContactItem *i, const char *t) {
  return i ? (copyText(i->action, t) ? 0 : kNoMemory) : kInvalid;
}
const SLSipHdrDeltaSeconds *SLSipHdrContactItemGetDeltaSeconds(const SLSipHdrContactItem *i) {
  return i ? i->expires : nullptr;
}
SFResult SLSipHdrContactItemSetDeltaSeconds(SLSipHdrContactItem *i, const uint32_t *seconds) {
  if (!i) return kInvalid;
  return setExpires(i, seconds) ? 0 : kNoMemory;
}
SLSipHdrMethodsParam *SLSipHdrContactItemGetHeadMethod(const SLSipHdrContactItem *i) { return i ? i->methods : nullptr; }
SFResult SLSipHdrContactItemAddMethod(SLSipHdrContactItem *i, int methodId) {
  if (!i) return kInvalid;
  SLSipHdrMethodsParam *m;
  int r = SLSipHdrMethodsParamCreate(&m, methodId);
  if (r < 0) return r;
  SLSipHdrMethodsParam **t = &i->methods;
  while (*t) t = &(*t)->next;
  *t = m;
  return 0;
}
SFResult SLSipHdrContactItemSetMethods(SLSipHdrContactItem *i, const char *text) {
  return i ? setMethods(i, text) : kInvalid;
}
SFResult SLSipHdrContactItemAddExtension(SLSipHdrContactItem *i, SLParam *param) {
  if (!i || !param) return kInvalid;
  SLParam **t = &i->extensions;
  while (*t) t = &(*t)->next;
  *t = param;
  return 0;
}
SLParamList *SLSipHdrContactItemGetExtensionList(const SLSipHdrContactItem *i) { return i ? asList(&i->extensions) : nullptr; }
int SLSipHdrContactItemIsParamExist(const SLSipHdrContactItem *i, const char *name) {
  if (!i || !name) return 0;
  if (strcasecmp(name, "q") == 0) return i->qValue != nullptr;
  if (strcasecmp(name, "action") == 0) return i->action != nullptr;
  if (strcasecmp(name, "expires") == 0) return i->expires != nullptr;
  if (strcasecmp(name, "methods") == 0) return i->methods != nullptr;
  return paramFind(i->extensions, name) != nullptr;
}

SFResult SLSipHdrMethodsParamCreate(SLSipHdrMethodsParam **out, int methodId) {
  if (!out) return kInvalid;
  *out = make<SLSipHdrMethodsParam>();
  if (!*out) return kNoMemory;
  (*out)->method = methodId;
  return 0;
}
void SLSipHdrMethodsParamDestroy(SLSipHdrMethodsParam *m) { drop(m); }
int SLSipHdrMethodsParamGetMethod(const SLSipHdrMethodsParam *m) { return m ? m->method : 0; }
SLSipHdrMethodsParam *SLSipHdrMethodsParamGetNext(const SLSipHdrMethodsParam *m) { return m ? m->next : nullptr; }

SFResult SLSipHdrContactCreate(SLSipHdrContact **out, const SLUri *firstUri) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *h = make<SLSipHdrContact>();
  if (!h) return kNoMemory;
  if (firstUri) {
    int r = SLSipHdrContactItemCreate(&h->head, firstUri);
    if (r < 0) {
      drop(h);
      return r;
    }
  }
  *out = h;
  return 0;
}
void SLSipHdrContactDestroy(SLSipHdrContact *h) {
  if (!h) return;
  while (SLSipHdrContactItem *i = h->head) {
    h->head = i->next;
    SLSipHdrContactItemDestroy(i);
  }
  drop(h);
}
SFResult SLSipHdrContactClone(SLSipHdrContact **out, const SLSipHdrContact *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLSipHdrContact *h;
  int r = SLSipHdrContactCreate(&h, nullptr);
  if (r < 0) return r;
  SLSipHdrContactItem **t = &h->head;
  for (const SLSipHdrContactItem *i = src->head; i; i = i->next) {
    if ((r = SLSipHdrContactItemClone(t, i)) < 0) {
      SLSipHdrContactDestroy(h);
      return r;
    }
    t = &(*t)->next;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrContactParse(SLSipHdrContact **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!named(hdr, "Contact")) return kInvalid;
  SLSipHdrContact *h;
  int r = SLSipHdrContactCreate(&h, nullptr);
  if (r < 0) return r;
  SLSipHdrContactItem **t = &h->head;
  for (const SLGenField *f = hdr->fields; f; f = f->next) {
    if ((r = SLSipHdrContactItemParse(t, f)) < 0) {
      SLSipHdrContactDestroy(h);
      return r;
    }
    t = &(*t)->next;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrContactEncode(SLGenHdr **out, const SLSipHdrContact *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, "Contact");
  if (r < 0) return r;
  for (const SLSipHdrContactItem *i = h->head; i; i = i->next) {
    SLGenField *f;
    if ((r = SLSipHdrContactItemEncode(&f, i)) < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
    addField(g, f);
  }
  *out = g;
  return 0;
}
SFResult SLSipHdrContactAddItem(SLSipHdrContact *h, SLSipHdrContactItem *item) {
  if (!h || !item) return kInvalid;
  SLSipHdrContactItem **t = &h->head;
  while (*t) t = &(*t)->next;
  *t = item;
  return 0;
}
SLSipHdrContactItem *SLSipHdrContactGetHeadItem(const SLSipHdrContact *h) { return h ? h->head : nullptr; }
