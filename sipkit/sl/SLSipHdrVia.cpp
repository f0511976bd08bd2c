// Via header (RFC 3261, rport of RFC 3581).
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "SLSipHdrPriv.h"

using namespace slmsg;
using namespace slhdr;

namespace {

bool readPort(std::string_view s, uint16_t &port) {
  uint32_t v;
  if (!readNumber(s, v) || v > 65535) return false;
  port = static_cast<uint16_t>(v);
  return true;
}

int parseItem(SLSipHdrViaItem *i, const SLGenField *field) {
  std::string_view v = fieldValue(field);
  size_t s1 = v.find('/');
  if (s1 == std::string_view::npos) return kSyntaxErr;
  size_t s2 = v.find('/', s1 + 1);
  if (s2 == std::string_view::npos) return kSyntaxErr;
  size_t t = s2 + 1;
  size_t e = t;
  while (e < v.size() && !isWs(static_cast<unsigned char>(v[e]))) ++e;
  std::string_view name = trim(v.substr(0, s1)), ver = trim(v.substr(s1 + 1, s2 - s1 - 1));
  // White space may surround the slashes (RFC 3261 LWS); the transport follows after it.
  while (t < v.size() && isWs(static_cast<unsigned char>(v[t]))) ++t;
  e = t;
  while (e < v.size() && !isWs(static_cast<unsigned char>(v[e]))) ++e;
  std::string_view transport = v.substr(t, e - t);
  std::string_view sentBy = trim(v.substr(e));
  if (name.empty() || ver.empty() || transport.empty() || sentBy.empty()) return kSyntaxErr;
  std::string_view host = sentBy, port;
  size_t rb = sentBy.find(']');
  if (rb != std::string_view::npos) {
    size_t lb = sentBy.find('[');
    if (lb == std::string_view::npos || lb > rb) return kSyntaxErr;
    host = sentBy.substr(lb + 1, rb - lb - 1);
    std::string_view rest = trim(sentBy.substr(rb + 1));
    if (!rest.empty()) {
      if (rest[0] != ':') return kSyntaxErr;
      port = trim(rest.substr(1));
      if (port.empty()) return kSyntaxErr;
    }
  } else {
    size_t colon = sentBy.find(':');
    if (colon != std::string_view::npos) {
      host = trim(sentBy.substr(0, colon));
      port = trim(sentBy.substr(colon + 1));
      if (port.empty()) return kSyntaxErr;
    }
  }
  if (host.empty()) return kSyntaxErr;
  if (!port.empty() && !readPort(port, i->port)) return kSyntaxErr;
  if (!(i->protocolName = dup(gPool, name)) || !(i->protocolVer = dup(gPool, ver)) ||
      !(i->transport = dup(gPool, transport)) || !(i->host = dup(gPool, host)))
    return kNoMemory;
  for (const SLParam *p = field->params; p; p = p->next) {
    if (!p->name) continue;
    const char *val = p->value ? p->value : "";
    if (strcasecmp(p->name, "ttl") == 0) {
      uint32_t ttl;
      if (strlen(val) > 3 || !readNumber(val, ttl) || ttl > 255) return kSyntaxErr;
      i->ttl = static_cast<uint8_t>(ttl);
    } else if (strcasecmp(p->name, "maddr") == 0) {
      if (!copyText(i->maddr, val)) return kNoMemory;
    } else if (strcasecmp(p->name, "received") == 0) {
      if (!copyText(i->received, val)) return kNoMemory;
    } else if (strcasecmp(p->name, "branch") == 0) {
      if (!copyText(i->branch, val)) return kNoMemory;
    } else if (strcasecmp(p->name, "comp") == 0) {
      if (!copyText(i->comp, val)) return kNoMemory;
    } else if (strcasecmp(p->name, "rport") == 0) {
      i->hasRport = 1;
      if (*val) {
        uint16_t rp;
        if (!readPort(val, rp)) return kSyntaxErr;
        i->rport = rp;
      } else {
        i->rport = -1;
      }
    }
  }
  return 0;
}

void destroyOne(SLSipHdrViaItem *i) {
  for (char *s : {i->protocolName, i->protocolVer, i->transport, i->host, i->maddr, i->received, i->branch, i->comp})
    drop(s);
  drop(i);
}


}  // namespace

SFResult SLSipHdrViaItemCreate(SLSipHdrViaItem **out, const char *protocolName, const char *protocolVer,
                               const char *transport, const char *host, uint16_t port) {
  if (!out) return kInvalid;
  *out = nullptr;
  auto *i = make<SLSipHdrViaItem>();
  if (!i) return kNoMemory;
  if (!copyText(i->protocolName, protocolName) || !copyText(i->protocolVer, protocolVer) ||
      !copyText(i->transport, transport) || !copyText(i->host, host)) {
    destroyOne(i);
    return kNoMemory;
  }
  i->port = port;
  *out = i;
  return 0;
}

void SLSipHdrViaItemDestroy(SLSipHdrViaItem *i) {
  if (i) destroyOne(i);
}

SFResult SLSipHdrViaItemClone(SLSipHdrViaItem **out, const SLSipHdrViaItem *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  SLSipHdrViaItem *i;
  int r = SLSipHdrViaItemCreate(&i, s->protocolName, s->protocolVer, s->transport, s->host, s->port);
  if (r < 0) return r;
  i->ttl = s->ttl;
  i->hasRport = s->hasRport;
  i->rport = s->rport;
  if (!copyText(i->maddr, s->maddr) || !copyText(i->received, s->received) || !copyText(i->branch, s->branch) ||
      !copyText(i->comp, s->comp)) {
    destroyOne(i);
    return kNoMemory;
  }
  *out = i;
  return 0;
}

SFResult SLSipHdrViaItemParse(SLSipHdrViaItem **out, const SLGenField *field) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!field) return kInvalid;
  auto *i = make<SLSipHdrViaItem>();
  if (!i) return kNoMemory;
  int r = parseItem(i, field);
  if (r < 0) {
    destroyOne(i);
    return r;
  }
  *out = i;
  return 0;
}

SFResult SLSipHdrViaItemEncode(SLGenField **out, const SLSipHdrViaItem *i) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!i) return kInvalid;
  std::string v;
  if (i->protocolName && i->protocolVer && i->transport) {
    v = std::string(i->protocolName) + "/" + i->protocolVer + "/" + i->transport;
  }
  if (i->host) {
    bool literal = strchr(i->host, ':') != nullptr;
    v.append(literal ? " [" : " ").append(i->host);
    if (literal) v.push_back(']');
  }
  if (i->port) {
    v.push_back(':');
    v.append(std::to_string(i->port));
  }
  SLParam *ps = nullptr;
  int r = 0;
  auto add = [&](const char *name, const char *value) {
    if (r == 0) r = paramAppend(&ps, SL_PARAM_TOKEN, name, value, value ? strlen(value) : 0);
  };
  if (i->ttl) add("ttl", std::to_string(i->ttl).c_str());
  if (i->maddr) add("maddr", i->maddr);
  if (i->received) add("received", i->received);
  if (i->branch) add("branch", i->branch);
  if (i->hasRport) add("rport", i->rport >= 0 ? std::to_string(i->rport).c_str() : nullptr);
  if (i->comp) add("comp", i->comp);
  if (r == 0) r = makeField(out, SL_HDR_CLASS_PARAMS, v.c_str(), ps);
  paramDestroyList(&ps);
  return r < 0 ? r : 0;
}

SLSipHdrViaItem *SLSipHdrViaItemGetNextItem(const SLSipHdrViaItem *i) { return i ? i->next : nullptr; }

#define SL_VIA_TEXT(Name, member)                                                 \
  const char *SLSipHdrViaItemGet##Name(const SLSipHdrViaItem *i) { return i ? i->member : nullptr; } \
  SFResult SLSipHdrViaItemSet##Name(SLSipHdrViaItem *i, const char *t) {          \
    return i ? (copyText(i->member, t) ? 0 : kNoMemory) : kInvalid;               \
  }
SL_VIA_TEXT(ProtocolName, protocolName)
SL_VIA_TEXT(ProtocolVer, protocolVer)
SL_VIA_TEXT(Transport, transport)
SL_VIA_TEXT(SentByHost, host)
SL_VIA_TEXT(MAddr, maddr)
SL_VIA_TEXT(Received, received)
SL_VIA_TEXT(Branch, branch)
SL_VIA_TEXT(Comp, comp)
#undef SL_VIA_TEXT

uint16_t SLSipHdrViaItemGetSentByPort(const SLSipHdrViaItem *i) { return i ? i->port : 0; }
SFResult SLSipHdrViaItemSetSentByPort(SLSipHdrViaItem *i, uint16_t port) {
  if (!i) return kInvalid;
  i->port = port;
  return 0;
}
uint8_t SLSipHdrViaItemGetTTL(const SLSipHdrViaItem *i) { return i ? i->ttl : 255; }
SFResult SLSipHdrViaItemSetTTL(SLSipHdrViaItem *i, uint8_t ttl) {
  if (!i) return kInvalid;
  i->ttl = ttl;
  return 0;
}
const int32_t *SLSipHdrViaItemGetRPort(const SLSipHdrViaItem *i) { return i && i->hasRport ? &i->rport : nullptr; }
SFResult SLSipHdrViaItemSetRPort(SLSipHdrViaItem *i, const int32_t *rport) {
  if (!i) return kInvalid;
  i->hasRport = rport != nullptr;
  i->rport = rport ? (*rport < 0 ? -1 : *rport) : 0;
  return 0;
}

int SLSipHdrViaItemCompareSentBy(const SLSipHdrViaItem *a, const SLSipHdrViaItem *b) {
  if (!a || !b || icmp(a->host, b->host) != 0) return 0;
  auto effective = [](const SLSipHdrViaItem *i) -> int {
    if (i->port) return i->port;
    if (!i->transport) return -1;  // neither port nor transport: matches nothing
    return strcasecmp(i->transport, "TLS") == 0 ? 5061 : 5060;
  };
  int pa = effective(a), pb = effective(b);
  return pa >= 0 && pb >= 0 && pa == pb;
}

SFResult SLSipHdrViaCreate(SLSipHdrVia **out) {
  if (!out) return kInvalid;
  *out = make<SLSipHdrVia>();
  return *out ? 0 : kNoMemory;
}
void SLSipHdrViaDestroy(SLSipHdrVia *h) {
  if (!h) return;
  while (SLSipHdrViaItem *i = h->head) {
    h->head = i->next;
    destroyOne(i);
  }
  drop(h);
}
SFResult SLSipHdrViaClone(SLSipHdrVia **out, const SLSipHdrVia *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLSipHdrVia *h;
  int r = SLSipHdrViaCreate(&h);
  if (r < 0) return r;
  SLSipHdrViaItem **t = &h->head;
  for (const SLSipHdrViaItem *i = src->head; i; i = i->next) {
    if ((r = SLSipHdrViaItemClone(t, i)) < 0) {
      SLSipHdrViaDestroy(h);
      return r;
    }
    t = &(*t)->next;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrViaParse(SLSipHdrVia **out, const SLGenHdr *hdr) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!named(hdr, "Via")) return kInvalid;
  SLSipHdrVia *h;
  int r = SLSipHdrViaCreate(&h);
  if (r < 0) return r;
  SLSipHdrViaItem **t = &h->head;
  for (const SLGenField *f = hdr->fields; f; f = f->next) {
    if ((r = SLSipHdrViaItemParse(t, f)) < 0) {
      SLSipHdrViaDestroy(h);
      return r;
    }
    t = &(*t)->next;
  }
  *out = h;
  return 0;
}
SFResult SLSipHdrViaEncode(SLGenHdr **out, const SLSipHdrVia *h) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!h) return kInvalid;
  SLGenHdr *g;
  int r = newHeader(&g, "Via");
  if (r < 0) return r;
  for (const SLSipHdrViaItem *i = h->head; i; i = i->next) {
    SLGenField *f;
    if ((r = SLSipHdrViaItemEncode(&f, i)) < 0) {
      SLGenHdrDestroy(g);
      return r;
    }
    addField(g, f);
  }
  *out = g;
  return 0;
}
SFResult SLSipHdrViaAddItem(SLSipHdrVia *h, SLSipHdrViaItem *item) {
  if (!h || !item) return kInvalid;
  SLSipHdrViaItem **t = &h->head;
  while (*t) t = &(*t)->next;
  *t = item;
  return 0;
}
SLSipHdrViaItem *SLSipHdrViaGetHeadItem(const SLSipHdrVia *h) { return h ? h->head : nullptr; }
