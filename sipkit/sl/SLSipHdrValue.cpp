// Typed headers made of values with parameters: the Accept-style lists, Event-style single
// values, option tags and the authentication headers.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "SLSipHdrPriv.h"

using namespace slmsg;
using namespace slhdr;

namespace {

// Items and lists of the value-with-parameters shape.
template <class Item>
void destroyChain(Item *i) {
  while (i) {
    Item *n = i->next;
    drop(i->value);
    paramDestroyList(&i->params);
    drop(i);
    i = n;
  }
}

template <class Item>
int createItem(Item **out, const char *value, bool starDefault, int copyFailure) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (starDefault && (!value || !*value)) value = "*";
  if (!value || !*value) return kInvalid;
  Item *i = make<Item>();
  if (!i) return kNoMemory;
  if (!copyText(i->value, value)) {
    drop(i);
    return copyFailure;
  }
  *out = i;
  return 0;
}

template <class Item>
int cloneOne(Item **out, const Item *s) {
  int r = createItem(out, s->value, false, kNoMemory);
  if (r == 0 && paramCloneList(&(*out)->params, s->params) < 0) {
    destroyChain(*out);
    *out = nullptr;
    r = kNoMemory;
  }
  return r;
}

template <class Item>
int cloneChain(Item **out, const Item *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  Item **t = out;
  for (; s; s = s->next) {
    int r = cloneOne(t, s);
    if (r < 0) {
      destroyChain(*out);
      *out = nullptr;
      return r;
    }
    t = &(*t)->next;
  }
  return 0;
}

template <class Item>
int parseItem(Item **out, const SLGenField *f, bool starDefault) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!f) return kInvalid;
  std::string v(fieldValue(f));
  if (v.empty() && !starDefault) return kSyntaxErr;
  int r = createItem(out, v.c_str(), starDefault, kNoMemory);
  if (r < 0) return r;
  if ((r = copyParams(&(*out)->params, f->params)) < 0) {
    destroyChain(*out);
    *out = nullptr;
  }
  return r;
}

template <class Item>
int encodeItem(SLGenField **out, const Item *i, int parseClass) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!i) return kInvalid;
  return makeField(out, parseClass, i->value, i->params);
}

template <class Item>
int itemsEqual(const Item *a, const Item *b, bool caseSensitive) {
  if (!a || !b) return a == b;
  int c = caseSensitive ? scmp(a->value, b->value) : icmp(a->value, b->value);
  return c == 0 && paramCompareList(a->params, b->params) == 0;
}

template <class List, class Item>
int parseList(List **out, const SLGenHdr *hdr, const char *name, bool starDefault) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name || !named(hdr, name)) return kInvalid;
  List *l = make<List>();
  if (!l) return kNoMemory;
  Item **t = &l->head;
  for (const SLGenField *f = hdr->fields; f; f = f->next) {
    int r = parseItem(t, f, starDefault);
    if (r < 0) {
      destroyChain(l->head);
      drop(l);
      return r;
    }
    t = &(*t)->next;
  }
  *out = l;
  return 0;
}

template <class List>
int encodeList(SLGenHdr **out, const List *l, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!l || !name) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, name);
  if (r < 0) return r;
  for (auto *i = l->head; i; i = i->next) {
    SLGenField *f;
    if ((r = encodeItem(&f, i, g->type)) < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
    addField(g, f);
  }
  *out = g;
  return 0;
}

// A header holding one item.
template <class Item>
int encodeSingle(SLGenHdr **out, const Item *i, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!i || !name) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, name);
  if (r < 0) return r;
  SLGenField *f;
  if ((r = encodeItem(&f, i, g->type)) < 0) {
    SLGenHdrDestroy(g);
    return r;
  }
  addField(g, f);
  *out = g;
  return 0;
}

}  // namespace

#define SL_VALUE_LIST_IMPL(F, StarDefault, CaseSensitive)                                                   \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out) {                                                         \
    if (!out) return kInvalid;                                                                              \
    *out = make<SLSipHdr##F>();                                                                             \
    return *out ? 0 : kNoMemory;                                                                            \
  }                                                                                                         \
  void SLSipHdr##F##Destroy(SLSipHdr##F *h) {                                                               \
    if (!h) return;                                                                                         \
    destroyChain(h->head);                                                                                  \
    drop(h);                                                                                                \
  }                                                                                                         \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *s) {                                    \
    if (!out) return kInvalid;                                                                              \
    *out = nullptr;                                                                                         \
    if (!s) return kInvalid;                                                                                \
    int r = SLSipHdr##F##Create(out);                                                                       \
    if (r == 0 && s->head && (r = cloneChain(&(*out)->head, s->head)) < 0) {                                \
      drop(*out);                                                                                           \
      *out = nullptr;                                                                                       \
    }                                                                                                       \
    return r;                                                                                               \
  }                                                                                                         \
  SFResult SLSipHdr##F##ParseHdr(SLSipHdr##F **out, const SLGenHdr *hdr, const char *name) {                \
    return parseList<SLSipHdr##F, SLSipHdr##F##Item>(out, hdr, name, StarDefault);                         \
  }                                                                                                         \
  SFResult SLSipHdr##F##EncodeHdr(SLGenHdr **out, const SLSipHdr##F *h, const char *name) {                 \
    return encodeList(out, h, name);                                                                        \
  }                                                                                                         \
  SFResult SLSipHdr##F##AddItem(SLSipHdr##F *h, SLSipHdr##F##Item *item) {                                  \
    if (!h || !item) return kInvalid;                                                                       \
    SLSipHdr##F##Item **t = &h->head;                                                                       \
    while (*t) t = &(*t)->next;                                                                             \
    *t = item;                                                                                              \
    return 0;                                                                                               \
  }                                                                                                         \
  SLSipHdr##F##Item *SLSipHdr##F##GetHeadItem(const SLSipHdr##F *h) { return h ? h->head : nullptr; }       \
  int SLSipHdr##F##IsEqual(const SLSipHdr##F *a, const SLSipHdr##F *b) {                                    \
    if (!a || !b) return a == b;                                                                            \
    const SLSipHdr##F##Item *x = a->head, *y = b->head;                                                     \
    for (; x && y; x = x->next, y = y->next)                                                                \
      if (!itemsEqual(x, y, CaseSensitive)) return 0;                                                       \
    return !x && !y;                                                                                        \
  }                                                                                                         \
  SFResult SLSipHdr##F##ItemCreate(SLSipHdr##F##Item **out, const char *value) {                            \
    return createItem(out, value, StarDefault, kInvalid);                                                   \
  }                                                                                                         \
  void SLSipHdr##F##ItemDestroy(SLSipHdr##F##Item *i) { destroyChain(i); }                                  \
  SFResult SLSipHdr##F##ItemClone(SLSipHdr##F##Item **out, const SLSipHdr##F##Item *s) {                    \
    if (!out) return kInvalid;                                                                              \
    *out = nullptr;                                                                                         \
    return s ? cloneOne(out, s) : kInvalid;                                                                 \
  }                                                                                                         \
  SFResult SLSipHdr##F##ItemParse(SLSipHdr##F##Item **out, const SLGenField *f) {                           \
    return parseItem(out, f, StarDefault);                                                                  \
  }                                                                                                         \
  SFResult SLSipHdr##F##ItemEncode(SLGenField **out, const SLSipHdr##F##Item *i) {                          \
    return encodeItem(out, i, SL_HDR_CLASS_LIST);                                                           \
  }                                                                                                         \
  SLSipHdr##F##Item *SLSipHdr##F##ItemGetNext(const SLSipHdr##F##Item *i) { return i ? i->next : nullptr; } \
  const char *SLSipHdr##F##ItemGetValue(const SLSipHdr##F##Item *i) { return i ? i->value : nullptr; }      \
  SFResult SLSipHdr##F##ItemSetValue(SLSipHdr##F##Item *i, const char *v) {                                 \
    if (!i || !v || !*v) return kInvalid;                                                                   \
    return copyText(i->value, v) ? 0 : kNoMemory;                                                           \
  }                                                                                                         \
  SLParam *SLSipHdr##F##ItemGetParam(const SLSipHdr##F##Item *i, const char *n) {                           \
    return i && n ? paramFind(i->params, n) : nullptr;                                                      \
  }                                                                                                         \
  SFResult SLSipHdr##F##ItemSetParam(SLSipHdr##F##Item *i, const char *n, const char *v) {                  \
    return i ? setParam(&i->params, n, v) : kInvalid;                                                       \
  }                                                                                                         \
  SLParamList *SLSipHdr##F##ItemGetParamList(const SLSipHdr##F##Item *i) { return i ? asList(&i->params) : nullptr; }    \
  int SLSipHdr##F##ItemIsEqual(const SLSipHdr##F##Item *a, const SLSipHdr##F##Item *b) {                    \
    return itemsEqual(a, b, CaseSensitive);                                                                 \
  }
SL_VALUE_LIST_IMPL(Accept, false, false)
SL_VALUE_LIST_IMPL(Reason, false, false)
SL_VALUE_LIST_IMPL(SecMechanism, false, false)
SL_VALUE_LIST_IMPL(AcceptContact, true, true)
#undef SL_VALUE_LIST_IMPL

SFResult SLSipHdrAcceptItemParseHdr(SLSipHdrAcceptItem **out, const SLGenHdr *hdr, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name || !named(hdr, name) || !firstField(hdr)) return kInvalid;
  return parseItem(out, firstField(hdr), false);
}
SFResult SLSipHdrAcceptItemEncodeHdr(SLGenHdr **out, const SLSipHdrAcceptItem *i, const char *name) {
  return encodeSingle(out, i, name);
}

// ---- Event-style single values -----------------------------------------------------------------

#define SL_VALUE_IMPL(F, Get, Set)                                                                  \
  SFResult SLSipHdr##F##Create(SLSipHdr##F **out, const char *value) {                              \
    return createItem(out, value, false, kNoMemory);                                                \
  }                                                                                                 \
  void SLSipHdr##F##Destroy(SLSipHdr##F *h) { destroyChain(h); }                                    \
  SFResult SLSipHdr##F##Clone(SLSipHdr##F **out, const SLSipHdr##F *s) {                            \
    if (!out) return kInvalid;                                                                      \
    *out = nullptr;                                                                                 \
    return s ? cloneOne(out, s) : kInvalid;                                                         \
  }                                                                                                 \
  SFResult SLSipHdr##F##ParseHdr(SLSipHdr##F **out, const SLGenHdr *hdr, const char *name) {        \
    if (!out) return kInvalid;                                                                      \
    *out = nullptr;                                                                                 \
    if (!name || !named(hdr, name) || !firstField(hdr)) return kInvalid;                            \
    return parseItem(out, firstField(hdr), false);                                                  \
  }                                                                                                 \
  SFResult SLSipHdr##F##EncodeHdr(SLGenHdr **out, const SLSipHdr##F *h, const char *name) {         \
    return encodeSingle(out, h, name);                                                              \
  }                                                                                                 \
  const char *SLSipHdr##F##Get(const SLSipHdr##F *h) { return h ? h->value : nullptr; }             \
  SFResult SLSipHdr##F##Set(SLSipHdr##F *h, const char *v) {                                        \
    if (!h || !v || !*v) return kInvalid;                                                           \
    return copyText(h->value, v) ? 0 : kNoMemory;                                                   \
  }                                                                                                 \
  SLParam *SLSipHdr##F##GetParam(const SLSipHdr##F *h, const char *n) {                             \
    return h && n ? paramFind(h->params, n) : nullptr;                                              \
  }                                                                                                 \
  SFResult SLSipHdr##F##SetParam(SLSipHdr##F *h, const char *n, const char *v) {                    \
    return h ? setParam(&h->params, n, v) : kInvalid;                                               \
  }                                                                                                 \
  SLParamList *SLSipHdr##F##GetParamList(const SLSipHdr##F *h) { return h ? asList(&h->params) : nullptr; }
SL_VALUE_IMPL(Event, GetEventType, SetEventType)
SL_VALUE_IMPL(PAccessNetworkInfo, GetAccessType, SetAccessType)
#undef SL_VALUE_IMPL

SFResult SLSipHdrEventParse(SLSipHdrEvent **out, const SLGenHdr *hdr) { return SLSipHdrEventParseHdr(out, hdr, "Event"); }
SFResult SLSipHdrEventEncode(SLGenHdr **out, const SLSipHdrEvent *h) { return SLSipHdrEventEncodeHdr(out, h, "Event"); }
SFResult SLSipHdrSubscriptionStateParse(SLSipHdrEvent **out, const SLGenHdr *hdr) {
  return SLSipHdrEventParseHdr(out, hdr, "Subscription-State");
}
SFResult SLSipHdrReferSubParse(SLSipHdrEvent **out, const SLGenHdr *hdr) {
  int r = SLSipHdrEventParseHdr(out, hdr, "Refer-Sub");
  if (r < 0) return r;
  const char *v = (*out)->value;
  const char *norm = strcasecmp(v, "true") == 0 ? "true" : strcasecmp(v, "false") == 0 ? "false" : nullptr;
  if (!norm || !copyText((*out)->value, norm)) {
    SLSipHdrEventDestroy(*out);
    *out = nullptr;
    return norm ? kNoMemory : kSyntaxErr;
  }
  return 0;
}
int SLSipHdrReferSubGetValue(const SLSipHdrEvent *h) { return h && h->value && strcasecmp(h->value, "false") == 0 ? 0 : 1; }
SFResult SLSipHdrPAccessNetworkInfoParse(SLSipHdrPAccessNetworkInfo **out, const SLGenHdr *hdr) {
  return SLSipHdrPAccessNetworkInfoParseHdr(out, hdr, "P-Access-Network-Info");
}
SFResult SLSipHdrPAccessNetworkInfoEncode(SLGenHdr **out, const SLSipHdrPAccessNetworkInfo *h) {
  return SLSipHdrPAccessNetworkInfoEncodeHdr(out, h, "P-Access-Network-Info");
}

// ---- Option tags -------------------------------------------------------------------------------

namespace {
void destroyTags(SLSipHdrOptTag *t) {
  while (t) {
    SLSipHdrOptTag *n = t->next;
    drop(t->value);
    drop(t);
    t = n;
  }
}
int appendTag(SLSipHdrOptTag **head, const char *text) {
  if (!text || !*text) return kInvalid;
  SLSipHdrOptTag *t;
  int r = SLSipHdrOptTagCreate(&t, text);
  if (r < 0) return r;
  while (*head) head = &(*head)->next;
  *head = t;
  return 0;
}
int encodeTags(SLGenHdr **out, const SLSipHdrOptTag *t, const char *name, bool onlyFirst) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, name);
  if (r < 0) return r;
  for (; t; t = onlyFirst ? nullptr : t->next) {
    SLGenField *f;
    if ((r = makeField(&f, SL_HDR_CLASS_LIST, t->value, nullptr)) < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
    addField(g, f);
  }
  *out = g;
  return 0;
}
}  // namespace

SFResult SLSipHdrOptTagCreate(SLSipHdrOptTag **out, const char *tag) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!tag || !*tag) return kInvalid;
  auto *t = make<SLSipHdrOptTag>();
  if (!t) return kNoMemory;
  if (!copyText(t->value, tag)) {
    drop(t);
    return kNoMemory;
  }
  *out = t;
  return 0;
}
void SLSipHdrOptTagDestroy(SLSipHdrOptTag *t) { destroyTags(t); }
SFResult SLSipHdrOptTagClone(SLSipHdrOptTag **out, const SLSipHdrOptTag *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  SLSipHdrOptTag *head = nullptr;
  for (; s; s = s->next)
    if (int r = appendTag(&head, s->value); r < 0) {
      destroyTags(head);
      return r;
    }
  *out = head;
  return 0;
}
SFResult SLSipHdrOptTagParseHdr(SLSipHdrOptTag **out, const SLGenHdr *hdr, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name || !named(hdr, name) || !firstField(hdr)) return kInvalid;
  std::string v(fieldValue(firstField(hdr)));
  if (v.empty()) return kSyntaxErr;
  return SLSipHdrOptTagCreate(out, v.c_str());
}
SFResult SLSipHdrOptTagEncodeHdr(SLGenHdr **out, const SLSipHdrOptTag *t, const char *name) {
  if (!t) {
    if (out) *out = nullptr;
    return kInvalid;
  }
  return encodeTags(out, t, name, true);
}
const char *SLSipHdrOptTagGetValue(const SLSipHdrOptTag *t) { return t ? t->value : nullptr; }
SFResult SLSipHdrOptTagSetValue(SLSipHdrOptTag *t, const char *v) {
  if (!t || !v || !*v) return kInvalid;
  return copyText(t->value, v) ? 0 : kNoMemory;
}
SLSipHdrOptTag *SLSipHdrOptTagGetNext(const SLSipHdrOptTag *t) { return t ? t->next : nullptr; }

SFResult SLSipHdrOptTagListCreate(SLSipHdrOptTagList **out, const char *firstTag) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *l = make<SLSipHdrOptTagList>();
  if (!l) return kNoMemory;
  if (firstTag && *firstTag) {
    int r = appendTag(&l->head, firstTag);
    if (r < 0) {
      drop(l);
      return r;
    }
  }
  *out = l;
  return 0;
}
void SLSipHdrOptTagListDestroy(SLSipHdrOptTagList *l) {
  if (!l) return;
  destroyTags(l->head);
  drop(l);
}
SFResult SLSipHdrOptTagListClone(SLSipHdrOptTagList **out, const SLSipHdrOptTagList *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = SLSipHdrOptTagListCreate(out, nullptr);
  if (r == 0 && s->head && (r = SLSipHdrOptTagClone(&(*out)->head, s->head)) < 0) {
    drop(*out);
    *out = nullptr;
  }
  return r;
}
SFResult SLSipHdrOptTagListParse(SLSipHdrOptTagList **out, const SLGenHdr *hdr, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name || !named(hdr, name)) return kInvalid;
  SLSipHdrOptTagList *l;
  int r = SLSipHdrOptTagListCreate(&l, nullptr);
  if (r < 0) return r;
  for (const SLGenField *f = hdr->fields; f; f = f->next) {
    std::string v(fieldValue(f));
    if (v.empty()) continue;
    if ((r = appendTag(&l->head, v.c_str())) < 0) {
      SLSipHdrOptTagListDestroy(l);
      return r;
    }
  }
  *out = l;
  return 0;
}
SFResult SLSipHdrOptTagListEncode(SLGenHdr **out, const SLSipHdrOptTagList *l, const char *name) {
  if (!l) {
    if (out) *out = nullptr;
    return kInvalid;
  }
  return encodeTags(out, l->head, name, false);
}
SFResult SLSipHdrOptTagListAddOptTag(SLSipHdrOptTagList *l, const char *tag) {
  return l ? appendTag(&l->head, tag) : kInvalid;
}
SLSipHdrOptTag *SLSipHdrOptTagListGetHeadOptTag(const SLSipHdrOptTagList *l) { return l ? l->head : nullptr; }
int SLSipHdrOptTagListIsEqual(const SLSipHdrOptTagList *a, const SLSipHdrOptTagList *b) {
  if (!a || !b) return a == b;
  const SLSipHdrOptTag *x = a->head, *y = b->head;
  for (; x && y; x = x->next, y = y->next)
    if (icmp(x->value, y->value) != 0) return 0;
  return !x && !y;
}

// ---- Authentication ----------------------------------------------------------------------------

namespace {
void destroyAuth(SLSipHdrAuthItem *i) {
  while (i) {
    SLSipHdrAuthItem *n = i->next;
    drop(i->scheme);
    paramDestroyList(&i->params);
    drop(i);
    i = n;
  }
}
}  // namespace

SFResult SLSipHdrAuthItemCreate(SLSipHdrAuthItem **out, const char *scheme) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *i = make<SLSipHdrAuthItem>();
  if (!i) return kNoMemory;
  if (!copyText(i->scheme, scheme)) {
    drop(i);
    return kNoMemory;
  }
  *out = i;
  return 0;
}
void SLSipHdrAuthItemDestroy(SLSipHdrAuthItem *i) { destroyAuth(i); }
SFResult SLSipHdrAuthItemClone(SLSipHdrAuthItem **out, const SLSipHdrAuthItem *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  SLSipHdrAuthItem **t = out;
  for (; s; s = s->next) {
    int r = SLSipHdrAuthItemCreate(t, s->scheme);
    if (r == 0 && paramCloneList(&(*t)->params, s->params) < 0) r = kNoMemory;
    if (r < 0) {
      destroyAuth(*out);
      *out = nullptr;
      return r;
    }
    t = &(*t)->next;
  }
  return 0;
}
SLSipHdrAuthItem *SLSipHdrAuthItemGetNext(const SLSipHdrAuthItem *i) { return i ? i->next : nullptr; }
const char *SLSipHdrAuthItemGetAuthScheme(const SLSipHdrAuthItem *i) { return i ? i->scheme : nullptr; }
SFResult SLSipHdrAuthItemSetScheme(SLSipHdrAuthItem *i, const char *s) {
  return i ? (copyText(i->scheme, s) ? 0 : kNoMemory) : kInvalid;
}
SLParam *SLSipHdrAuthItemGetParam(const SLSipHdrAuthItem *i, const char *n) {
  return i && n ? paramFind(i->params, n) : nullptr;
}
const char *SLSipHdrAuthItemGetParamValue(const SLSipHdrAuthItem *i, const char *n) {
  SLParam *p = SLSipHdrAuthItemGetParam(i, n);
  return p ? p->value : nullptr;
}
SFResult SLSipHdrAuthItemSetParam(SLSipHdrAuthItem *i, const char *n, const char *v) {
  return i ? setParam(&i->params, n, v) : kInvalid;
}
SLParamList *SLSipHdrAuthItemGetParamList(const SLSipHdrAuthItem *i) { return i ? asList(&i->params) : nullptr; }
SFResult SLSipHdrAuthItemSetStale(SLSipHdrAuthItem *i, int stale) {
  return SLSipHdrAuthItemSetParam(i, "stale", stale ? "true" : "false");
}
int SLSipHdrAuthItemGetStale(const SLSipHdrAuthItem *i) {
  const char *v = SLSipHdrAuthItemGetParamValue(i, "stale");
  if (!v) return -1;
  if (strcasecmp(v, "true") == 0) return 1;
  if (strcasecmp(v, "false") == 0) return 0;
  return -1;
}
SFResult SLSipHdrAuthItemSetNC(SLSipHdrAuthItem *i, uint32_t count) {
  char b[9];
  snprintf(b, sizeof b, "%08x", count);
  return SLSipHdrAuthItemSetParam(i, "nc", b);
}
uint32_t SLSipHdrAuthItemGetNC(const SLSipHdrAuthItem *i) {
  const char *v = SLSipHdrAuthItemGetParamValue(i, "nc");
  return v ? static_cast<uint32_t>(strtoul(v, nullptr, 16)) : 0;
}

SFResult SLSipHdrAuthCreate(SLSipHdrAuth **out) {
  if (!out) return kInvalid;
  *out = make<SLSipHdrAuth>();
  return *out ? 0 : kNoMemory;
}
void SLSipHdrAuthDestroy(SLSipHdrAuth *h) {
  if (!h) return;
  destroyAuth(h->head);
  drop(h);
}
SFResult SLSipHdrAuthClone(SLSipHdrAuth **out, const SLSipHdrAuth *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = SLSipHdrAuthCreate(out);
  if (r == 0 && s->head && (r = SLSipHdrAuthItemClone(&(*out)->head, s->head)) < 0) {
    drop(*out);
    *out = nullptr;
  }
  return r;
}
SFResult SLSipHdrAuthParse(SLSipHdrAuth **out, const SLGenHdr *hdr, const char *name, int kind) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!name || !named(hdr, name)) return kInvalid;
  SLSipHdrAuth *h;
  int r = SLSipHdrAuthCreate(&h);
  if (r < 0) return r;
  SLSipHdrAuthItem **t = &h->head;
  for (const SLGenField *f = hdr->fields; r == 0 && f; f = f->next) {
    std::string scheme(fieldValue(f));
    if ((r = SLSipHdrAuthItemCreate(t, kind == SL_AUTH_KIND_INFO ? nullptr : scheme.c_str())) < 0) break;
    bool basic = kind == SL_AUTH_KIND_CREDENTIALS && strcasecmp(scheme.c_str(), "Basic") == 0;
    for (const SLParam *p = f->params; r == 0 && p; p = p->next) {
      if (!p->name || !*p->name) continue;
      if (p->valueType == SL_PARAM_QUOTED) {
        r = setParam(&(*t)->params, p->name, requote(p->value).c_str());
      } else if (basic) {
        // Base64 credentials keep their "=" padding as one name.
        std::string whole = p->value ? std::string(p->name) + "=" + p->value : std::string(p->name);
        r = setParam(&(*t)->params, whole.c_str(), nullptr);
      } else {
        r = setParam(&(*t)->params, p->name, p->value);
      }
    }
    t = &(*t)->next;
  }
  if (r < 0) {
    SLSipHdrAuthDestroy(h);
    return r;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrAuthEncode(SLGenHdr **out, const SLSipHdrAuth *h, const char *name) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h || !name) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, name);
  if (r < 0) return r;
  for (const SLSipHdrAuthItem *i = h->head; i; i = i->next) {
    SLGenField *f;
    if ((r = makeField(&f, i->scheme ? SL_HDR_CLASS_AUTH : SL_HDR_CLASS_AUTHINFO, i->scheme, i->params)) < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
    addField(g, f);
  }
  *out = g;
  return 0;
}
SFResult SLSipHdrAuthAddItem(SLSipHdrAuth *h, SLSipHdrAuthItem *item) {
  if (!h || !item) return kInvalid;
  SLSipHdrAuthItem **t = &h->head;
  while (*t) t = &(*t)->next;
  *t = item;
  return 0;
}
SLSipHdrAuthItem *SLSipHdrAuthGetHeadItem(const SLSipHdrAuth *h) { return h ? h->head : nullptr; }
