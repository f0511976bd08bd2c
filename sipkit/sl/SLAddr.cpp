// Address records and the resolver.
#include "SLAddr.h"

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "SLMsgPool.h"
#include "SLSipMsgPriv.h"

using namespace slmsg;

struct SLAddr {
  SLAddr *next;
  char *address;
  uint16_t port;
  uint8_t prefixLen;
  int transport;
  int flags;
  int family;
};

namespace {
Pool gPool;
constexpr int kFlagTls = 1, kFlagSigcomp = 2;
constexpr int kInvalid = err(kModCommon, kInval);
constexpr int kNoMemory = err(kModCommon, kNoMem);
constexpr int kRslvInvalid = err(kModRslv, kInval);

void setTransport(SLAddr *a, int transport, int tls) {
  if (transport == SL_URI_TRANSPORT_TLS) {
    a->transport = SL_ADDR_TCP;
    a->flags |= kFlagTls;
  } else {
    a->transport = transport;
    a->flags = tls ? (a->flags | kFlagTls) : (a->flags & ~kFlagTls);
  }
}
}  // namespace

SFResult SLAddrInitialize(void) { return 0; }
void SLAddrCleanup(void) {}

SFResult SLAddrCreate(SLAddr **out, const char *host, uint16_t port, int transport, int tls) {
  if (!out) return kInvalid;
  *out = static_cast<SLAddr *>(alloc(gPool, sizeof(SLAddr)));
  if (!*out) return kNoMemory;
  if (!setText(gPool, &(*out)->address, host)) {
    release(gPool, *out);
    *out = nullptr;
    return kNoMemory;
  }
  (*out)->port = port;
  setTransport(*out, transport, tls);
  return 0;
}

SFResult SLAddrClone(SLAddr **out, const SLAddr *s) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!s) return kInvalid;
  int r = SLAddrCreate(out, s->address, s->port, s->transport, 0);
  if (r == 0) {
    (*out)->flags = s->flags;
    (*out)->family = s->family;
    (*out)->prefixLen = s->prefixLen;
  }
  return r;
}

void SLAddrDestroy(SLAddr *a) {
  if (!a) return;
  release(gPool, a->address);
  release(gPool, a);
}

int SLAddrCompare(const SLAddr *a, const SLAddr *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  if (a->transport != b->transport) return a->transport < b->transport ? -1 : 1;
  if (a->flags != b->flags) return a->flags < b->flags ? -1 : 1;
  if (int r = icmp(a->address, b->address)) return r;
  if (a->port != b->port) return a->port < b->port ? -1 : 1;
  return 0;
}

SLAddr *SLAddrGetNext(const SLAddr *a) { return a ? a->next : nullptr; }
const char *SLAddrGetAddress(const SLAddr *a) { return a ? a->address : nullptr; }
SFResult SLAddrSetAddress(SLAddr *a, const char *h) {
  if (!a) return kInvalid;
  return setText(gPool, &a->address, h) ? 0 : kNoMemory;
}
uint16_t SLAddrGetPort(const SLAddr *a) { return a ? a->port : 0; }
SFResult SLAddrSetPort(SLAddr *a, uint16_t p) {
  if (!a) return kInvalid;
  a->port = p;
  return 0;
}
int SLAddrGetTransport(const SLAddr *a) { return a ? a->transport : 0; }
SFResult SLAddrSetTransport(SLAddr *a, int t, int tls) {
  if (!a) return kInvalid;
  setTransport(a, t, tls);
  return 0;
}
int SLAddrIsTlsMode(const SLAddr *a) { return a && (a->flags & kFlagTls) ? 1 : 0; }
int SLAddrIsReliableTransport(const SLAddr *a) { return a && a->transport > SL_ADDR_UDP ? 1 : 0; }
int SLAddrGetSigcomp(const SLAddr *a) { return a && (a->flags & kFlagSigcomp) ? 1 : 0; }
SFResult SLAddrSetSigcomp(SLAddr *a, int on) {
  if (!a) return kInvalid;
  a->flags = on ? (a->flags | kFlagSigcomp) : (a->flags & ~kFlagSigcomp);
  return 0;
}
int SLAddrGetAddressFamily(const SLAddr *a) { return a ? a->family : 0; }
SFResult SLAddrSetAddressFamily(SLAddr *a, int f) {
  if (!a) return kInvalid;
  a->family = f;
  return 0;
}
uint8_t SLAddrGetPrefixLen(const SLAddr *a) { return a ? a->prefixLen : 0; }
SFResult SLAddrSetPrefixLen(SLAddr *a, uint8_t l) {
  if (!a) return kInvalid;
  a->prefixLen = l;
  return 0;
}

SFResult SLAddrListCreate(SLAddrList **out) {
  if (!out) return kInvalid;
  *out = static_cast<SLAddrList *>(alloc(gPool, sizeof(SLAddrList)));
  return *out ? 0 : kNoMemory;
}

void SLAddrListDestroy(SLAddrList *l) {
  if (!l) return;
  while (SLAddr *a = l->first) {
    l->first = a->next;
    SLAddrDestroy(a);
  }
  release(gPool, l);
}

SFResult SLAddrListClone(SLAddrList **out, const SLAddrList *s) {
  int r = SLAddrListCreate(out);
  if (r < 0 || !s) return r;
  SLAddr **t = &(*out)->first;
  for (const SLAddr *a = s->first; a; a = a->next) {
    if ((r = SLAddrClone(t, a)) < 0) {
      SLAddrListDestroy(*out);
      *out = nullptr;
      return r;
    }
    t = &(*t)->next;
  }
  return 0;
}

SFResult SLAddrListAddItem(SLAddrList *l, const char *host, uint16_t port, int transport, int tls) {
  if (!l) return kInvalid;
  SLAddr *a;
  int r = SLAddrCreate(&a, host, port, transport, tls);
  if (r < 0) return r;
  SLAddr **t = &l->first;
  while (*t) t = &(*t)->next;
  *t = a;
  return 0;
}

SLAddr *SLAddrListGetFirst(const SLAddrList *l) { return l ? l->first : nullptr; }

SLAddr *SLAddrListFindItem(const SLAddrList *l, const SLAddr *after, const SLAddr *addr) {
  if (!l) return nullptr;
  for (SLAddr *a = after ? after->next : l->first; a; a = a->next)
    if (SLAddrCompare(a, addr) == 0) return a;
  return nullptr;
}

// ---- Resolver ----------------------------------------------------------------------------------

namespace {

int resolveOne(SLAddrList **out, const char *host, uint16_t port, int transport, bool sips, bool sigcomp) {
  if (!host || !*host) return kRslvInvalid;
  std::string h(host);
  if (h[0] == '[') {
    if (h.size() < 3 || h.back() != ']') return kRslvInvalid;
    h = h.substr(1, h.size() - 2);
  }
  if (transport == 0) transport = sips ? SL_URI_TRANSPORT_TCP : SL_URI_TRANSPORT_UDP;
  if (port == 0) port = (sips || transport == SL_URI_TRANSPORT_TLS) ? 5061 : 5060;
  SLAddrList *l;
  int r = SLAddrListCreate(&l);
  if (r < 0) return err(kModRslv, kNoMem);
  if ((r = SLAddrListAddItem(l, h.c_str(), port, transport, sips ? 1 : 0)) < 0) {
    SLAddrListDestroy(l);
    return err(kModRslv, kNoMem);
  }
  SLAddrSetSigcomp(l->first, sigcomp);
  *out = l;
  return 0;
}

int viaTransport(const char *name) {
  int t = SLSipUriGetTransportType(name);
  return t == SL_URI_TRANSPORT_OTHER ? SL_URI_TRANSPORT_UDP : t;
}

}  // namespace

SFResult SLRslvResolveHost(SLAddrList **out, const char *host, uint16_t port, int transport, int sips, int sigcomp) {
  if (!out) return kInvalid;
  *out = nullptr;
  return resolveOne(out, host, port, transport, sips != 0, sigcomp != 0);
}

SFResult SLRslvResolveUri(SLAddrList **out, const SLUri *uri) {
  if (!out) return kRslvInvalid;
  *out = nullptr;
  if (!uri) return kRslvInvalid;
  bool sips = SLUriIsSchemeSips(uri);
  bool sigcomp = SLSipUriIsSigcomp(uri);
  const char *host = SLUriGetHost(uri);
  if (const SLUriNameValue *maddr = SLUriFindParameter(uri, "maddr")) {
    if (!maddr->value || !*maddr->value) return kRslvInvalid;
    host = maddr->value;
  }
  if (!host || !*host) return kRslvInvalid;
  int transport = SLSipUriGetTransport(uri);
  if (transport == SL_URI_TRANSPORT_OTHER || (sips && transport == SL_URI_TRANSPORT_UDP)) return kRslvInvalid;
  return resolveOne(out, host, SLUriGetPort(uri), transport, sips, sigcomp);
}

SFResult SLRslvResolveUriStr(SLAddrList **out, const char *text) {
  if (!out) return kRslvInvalid;
  *out = nullptr;
  if (!text) return kRslvInvalid;
  SLUri *u;
  int r = SLUriCreate(&u);
  if (r < 0) return err(kModRslv, kNoMem);
  if ((r = SLUriParse(u, text)) == 0) r = SLRslvResolveUri(out, u);
  SLUriDestroy(u);
  return r;
}

SFResult SLRslvResolveVia(SLAddrList **out, const SLSipHdrViaItem *via) {
  if (!out) return kRslvInvalid;
  *out = nullptr;
  if (!via) return kRslvInvalid;
  int transport = viaTransport(SLSipHdrViaItemGetTransport(via));
  const char *comp = SLSipHdrViaItemGetComp(via);
  bool sigcomp = comp && strcasecmp(comp, "sigcomp") == 0;
  const char *received = SLSipHdrViaItemGetReceived(via);
  const char *maddr = SLSipHdrViaItemGetMAddr(via);
  uint16_t port = SLSipHdrViaItemGetSentByPort(via);
  const char *host = SLSipHdrViaItemGetSentByHost(via);
  if (received && !*received) received = nullptr;
  if (maddr && !*maddr) maddr = nullptr;
  if (transport == SL_URI_TRANSPORT_UDP) {
    if (maddr) {
      host = maddr;
    } else if (received) {
      host = received;
      const int32_t *rport = SLSipHdrViaItemGetRPort(via);
      if (rport && *rport > 0) port = static_cast<uint16_t>(*rport);
    }
  } else if (received) {
    host = received;
  }
  return resolveOne(out, host, port, transport, false, sigcomp);
}

SFResult SLRslvResolveResponse(SLAddrList **out, const SLSipMsg *response) {
  if (!out) return kRslvInvalid;
  *out = nullptr;
  if (!response) return kRslvInvalid;
  const SLSipHdrViaItem *top = SLSipHdrViaGetHeadItem(response->table.Via);
  if (top) return SLRslvResolveVia(out, top);
  const SLGenHdr *h = SLGenHdrListFindItem(response->headers, nullptr, "Via");
  const SLGenField *f = h ? SLGenHdrGetFieldList(h) : nullptr;
  if (!f) return kRslvInvalid;
  SLSipHdrViaItem *via;
  int r = SLSipHdrViaItemParse(&via, f);
  if (r < 0) return r;
  r = SLRslvResolveVia(out, via);
  SLSipHdrViaItemDestroy(via);
  return r;
}

SFResult SLRslvResolveRequest(SLAddrList **out, const SLSipMsg *request) {
  if (!out) return kRslvInvalid;
  *out = nullptr;
  if (!request || !request->startLine || !request->startLine->requestUri) return kRslvInvalid;
  // A loose route goes first; a strict route (without lr) leaves the Request-URI in charge.
  const SLSipHdrGenericIdItem *first = SLSipHdrGenericIdGetHeadItem(request->table.Route);
  SLSipHdrGenericIdItem *parsed = nullptr;
  if (!first) {
    if (const SLGenField *f = SLGenHdrListGetField(request->headers, "Route", 0)) {
      int r = SLSipHdrGenericIdItemParse(&parsed, f);
      if (r < 0) return r;
      first = parsed;
    }
  }
  int r;
  const SLUri *routeUri = SLSipHdrGenericIdItemGetUri(first);
  if (routeUri && SLUriIsParamExist(routeUri, "lr")) r = SLRslvResolveUri(out, routeUri);
  else r = SLRslvResolveUriStr(out, request->startLine->requestUri);
  SLSipHdrGenericIdItemDestroy(parsed);
  return r;
}
