// URI record, parser and encoder.
#include "SLUri.h"

#include <string.h>
#include <strings.h>

#include <string>

#include "SLMsgPool.h"

using namespace slmsg;

struct SLUri {
  char *scheme;
  char *user;
  char *password;
  char *host;
  uint16_t port;
  SLUriNameValue *paths;
  char *param;
  char *search;
  SLUriNameValue *params;
  SLUriNameValue *headers;
  int authority;
};

namespace {

Pool gPool;
bool gStarted = false;

constexpr int kInvalid = err(kModUri, kInval);
constexpr int kNoMemory = err(kModUri, kNoMem);
constexpr int kSyntaxErr = err(kModUri, kSyntax);
constexpr int kShort = err(kModUri, kTooSmall);
// A single component is parsed into a work string of this many characters at most.
constexpr size_t kMaxComponent = 1499;

void freeItems(SLUriNameValue *&head) {
  while (head) {
    SLUriNameValue *n = head->next;
    release(gPool, head->name);
    release(gPool, head->value);
    release(gPool, head);
    head = n;
  }
}

int append(SLUriNameValue *&head, const char *name, long nlen, const char *value, long vlen) {
  auto *item = static_cast<SLUriNameValue *>(alloc(gPool, sizeof(SLUriNameValue)));
  if (!item) return kNoMemory;
  item->name = dup(gPool, name ? name : "", name ? nlen : 0);
  item->value = value ? dup(gPool, value, vlen) : nullptr;
  if (!item->name || (value && !item->value)) {
    release(gPool, item->name);
    release(gPool, item->value);
    release(gPool, item);
    return kNoMemory;
  }
  SLUriNameValue **tail = &head;
  while (*tail) tail = &(*tail)->next;
  *tail = item;
  return 0;
}

int copyItems(SLUriNameValue *&dst, const SLUriNameValue *src) {
  for (; src; src = src->next) {
    int r = append(dst, src->name, -1, src->value, -1);
    if (r < 0) return r;
  }
  return 0;
}

SLUriNameValue *findItem(SLUriNameValue *head, const char *name) {
  for (; head; head = head->next)
    if (strcasecmp(head->name, name) == 0) return head;
  return nullptr;
}

void removeNamed(SLUriNameValue *&head, const char *name) {
  for (SLUriNameValue **p = &head; *p;) {
    if (strcasecmp((*p)->name, name) == 0) {
      SLUriNameValue *dead = *p;
      *p = dead->next;
      release(gPool, dead->name);
      release(gPool, dead->value);
      release(gPool, dead);
    } else {
      p = &(*p)->next;
    }
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool readPort(const std::string &s, uint16_t &port) {
  const char *end;
  int error;
  uint32_t v = strtoui(s.c_str(), &end, &error);
  if (error != 0 || *end != '\0' || v > 65535) return false;
  port = static_cast<uint16_t>(v);
  return true;
}

// Parser states.
enum State { kScheme = 1, kUser, kPassword, kHost, kIpv6, kAfterLiteral, kPort, kPath, kPathParam,
             kParamName, kParamValue, kSearch, kHeaderName, kHeaderValue };

// Delimiters of each state and the state each leads to.
struct Delim {
  char c;
  State next;
};
struct StateRow {
  Delim d[5];
};
const StateRow kStates[] = {
    {},                                                                                  // unused 0
    {{{':', kUser}, {'/', kHost}}},                                                      // scheme
    {{{':', kPassword}, {'@', kHost}}},                                                  // user
    {{{'@', kHost}}},                                                                    // password
    {{{'[', kIpv6}, {':', kPort}, {'/', kPath}, {';', kParamName}, {'?', kHeaderName}}},  // host
    {{{']', kAfterLiteral}}},                                                            // IPv6 literal
    {{{':', kPort}, {'/', kPath}, {';', kParamName}, {'?', kHeaderName}}},               // after literal
    {{{'/', kPath}, {';', kParamName}, {'?', kHeaderName}}},                             // port
    {{{'/', kPath}, {';', kPathParam}, {'?', kSearch}}},                                 // path segment
    {{{'/', kPath}, {'?', kSearch}}},                                                    // path parameter
    {{{'=', kParamValue}, {';', kParamName}, {'?', kHeaderName}}},                       // parameter name
    {{{';', kParamName}, {'?', kHeaderName}}},                                           // parameter value
    {},                                                                                  // search
    {{{'=', kHeaderValue}, {'&', kHeaderName}}},                                         // header name
    {{{'&', kHeaderName}}},                                                              // header value
};

struct Parser {
  SLUri *uri = nullptr;
  bool hasAt = false;
  bool opaque = false;
  std::string comp;
  std::string pending;     // name waiting for its value (parameter, header, path segment)
  bool havePending = false;
  bool hostSeen = false;

  int addParam(const std::string &name, const std::string *value) {
    if (name.empty()) return 0;
    if (opaque && findItem(uri->params, name.c_str())) return 0;  // first occurrence wins
    return append(uri->params, name.data(), long(name.size()), value ? value->data() : nullptr,
                  value ? long(value->size()) : 0);
  }

  // Stores the finished component of `state`; `delim` is what ended it (0 at the end).
  int finish(State state, char delim) {
    int r = 0;
    switch (state) {
      case kScheme:
        if (!setText(gPool, &uri->scheme, comp.c_str())) return kNoMemory;
        opaque = SLUriIsSchemeOpaque(uri->scheme);
        break;
      case kUser:
        if (comp.empty()) return kSyntaxErr;
        if (!setText(gPool, &uri->user, comp.c_str())) return kNoMemory;
        break;
      case kPassword:
        if (!setText(gPool, &uri->password, comp.c_str())) return kNoMemory;
        break;
      case kHost:
        if (delim == '[' && comp.empty()) break;  // the literal follows
        if (!setText(gPool, &uri->host, comp.c_str())) return kNoMemory;
        hostSeen = true;
        break;
      case kIpv6:
        if (delim != ']') return kSyntaxErr;
        if (!setText(gPool, &uri->host, comp.c_str())) return kNoMemory;
        hostSeen = true;
        break;
      case kAfterLiteral:
        if (!comp.empty()) return kSyntaxErr;
        break;
      case kPort:
        if (!readPort(comp, uri->port)) return kSyntaxErr;
        break;
      case kPath:
        if (delim == ';') {
          pending = comp;
          havePending = true;
        } else {
          r = append(uri->paths, comp.data(), long(comp.size()), nullptr, 0);
        }
        break;
      case kPathParam:
        r = append(uri->paths, pending.data(), long(pending.size()), comp.data(), long(comp.size()));
        havePending = false;
        break;
      case kParamName:
        if (delim == '=') {
          pending = comp;
          havePending = true;
        } else {
          r = addParam(comp, nullptr);
        }
        break;
      case kParamValue:
        r = addParam(pending, &comp);
        havePending = false;
        break;
      case kSearch:
        if (!setText(gPool, &uri->search, comp.c_str()) || !setText(gPool, &uri->param, comp.c_str()))
          return kNoMemory;
        break;
      case kHeaderName:
        if (delim == '=') {
          pending = comp;
          havePending = true;
        }  // a header name without "=" is dropped
        break;
      case kHeaderValue:
        if (!pending.empty()) r = append(uri->headers, pending.data(), long(pending.size()), comp.data(), long(comp.size()));
        havePending = false;
        break;
    }
    comp.clear();
    return r;
  }

  int run(const char *text) {
    const char *p = text;
    while (isWs(static_cast<unsigned char>(*p))) ++p;
    char term = 0;
    if (*p == '<') term = '>';
    else if (*p == '"') term = '"';
    if (term) ++p;
    while (isWs(static_cast<unsigned char>(*p))) ++p;
    State state = kScheme;
    while (*p && *p != term && !isWs(static_cast<unsigned char>(*p))) {
      char c = *p++;
      const Delim *hit = nullptr;
      for (const Delim &d : kStates[state].d)
        if (d.c && d.c == c) {
          hit = &d;
          break;
        }
      if (hit) {
        int r = finish(state, c);
        if (r < 0) return r;
        State next = hit->next;
        if (state == kScheme && c == ':') {
          if (!opaque && p[0] == '/' && p[1] == '/') {
            uri->authority = 1;
            p += 2;
            next = hasAt ? kUser : kHost;
          } else {
            next = hasAt ? kUser : kHost;
          }
        }
        state = next;
        while (isWs(static_cast<unsigned char>(*p))) ++p;
        continue;
      }
      if (c == '%') {
        int v = 0, digits = 0;
        while (digits < 2 && hexValue(*p) >= 0) {
          v = v * 16 + hexValue(*p++);
          ++digits;
        }
        if (v == 0) return kSyntaxErr;
        c = static_cast<char>(v);
      }
      if (comp.size() >= kMaxComponent) return kSyntaxErr;
      comp.push_back(c);
    }
    int r = finish(state, 0);
    if (r < 0) return r;
    if (!hostSeen && !uri->host) {
      // sip:host:port without user: what was read as user and password is host and port.
      if (uri->user) {
        uri->host = uri->user;
        uri->user = nullptr;
        if (uri->password) {
          if (!readPort(uri->password, uri->port)) return kSyntaxErr;
          release(gPool, uri->password);
          uri->password = nullptr;
        }
      }
    }
    return 0;
  }
};

// Characters written unescaped (besides letters and digits), per component.
constexpr const char *kUserSet = "-_.!~'()&=+$,;?/";
constexpr const char *kPasswordSet = "-_.!~*'()&=+$,";
constexpr const char *kPathSet = "-_.!~*'():@&=+$,";
constexpr const char *kSearchSet = "-_.!~*'();/?:@&=+$,";
constexpr const char *kParamSet = "-_.!~*'()[]/:&+$";
constexpr const char *kHeaderSet = "-_.!~*'()[]/?:+$";

void putEscaped(Out &o, const char *s, const char *allowed) {
  static const char kHex[] = "0123456789ABCDEF";
  for (; *s; ++s) {
    unsigned char c = static_cast<unsigned char>(*s);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c && strchr(allowed, c))) {
      o.putc(static_cast<char>(c));
    } else if (c == '*') {
      o.put("%2a", 3);
    } else {
      char e[3] = {'%', kHex[c >> 4], kHex[c & 15]};
      o.put(e, 3);
    }
  }
}

int compareItemsInOrder(const SLUriNameValue *a, const SLUriNameValue *b, bool caseless) {
  for (; a && b; a = a->next, b = b->next) {
    int r = caseless ? icmp(a->name, b->name) : scmp(a->name, b->name);
    if (r) return r;
    r = caseless ? icmp(a->value, b->value) : scmp(a->value, b->value);
    if (r) return r;
  }
  return a ? 1 : (b ? -1 : 0);
}

int countItems(const SLUriNameValue *a) {
  int n = 0;
  for (; a; a = a->next) ++n;
  return n;
}

// Headers compare in any order, case-sensitively.
int compareHeadersNoOrder(const SLUriNameValue *a, const SLUriNameValue *b) {
  int na = countItems(a), nb = countItems(b);
  if (na != nb) return na < nb ? -1 : 1;
  for (const SLUriNameValue *x = a; x; x = x->next) {
    bool found = false;
    for (const SLUriNameValue *y = b; y && !found; y = y->next)
      found = scmp(x->name, y->name) == 0 && scmp(x->value, y->value) == 0;
    if (!found) return 1;
  }
  return 0;
}

SFResult setPart(SLUri *uri, char **slot, const char *text) {
  if (!uri) return kInvalid;
  return setText(gPool, slot, text) ? 0 : kNoMemory;
}

}  // namespace

SFResult SLUriInitialize(void) {
  gStarted = true;
  return 0;
}

SFResult SLUriCleanup(void) {
  if (!gStarted) return err(kModUri, kNotInit);
  gStarted = false;
  return 0;
}

int SLUriGetLiveCount(void) { return gPool.live(); }

SFResult SLUriCreate(SLUri **out) {
  if (!out) return kInvalid;
  *out = static_cast<SLUri *>(alloc(gPool, sizeof(SLUri)));
  return *out ? 0 : kNoMemory;
}

void SLUriClear(SLUri *uri) {
  if (!uri) return;
  for (char **s : {&uri->scheme, &uri->user, &uri->password, &uri->host, &uri->param, &uri->search}) {
    release(gPool, *s);
    *s = nullptr;
  }
  freeItems(uri->paths);
  freeItems(uri->params);
  freeItems(uri->headers);
  uri->port = 0;
  uri->authority = 0;
}

void SLUriDestroy(SLUri *uri) {
  if (!uri) return;
  SLUriClear(uri);
  release(gPool, uri);
}

SFResult SLUriClone(SLUri **out, const SLUri *src) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!src) return kInvalid;
  SLUri *u;
  int r = SLUriCreate(&u);
  if (r < 0) return r;
  bool ok = setText(gPool, &u->scheme, src->scheme) && setText(gPool, &u->user, src->user) &&
            setText(gPool, &u->password, src->password) && setText(gPool, &u->host, src->host) &&
            setText(gPool, &u->param, src->param) && setText(gPool, &u->search, src->search);
  u->port = src->port;
  u->authority = src->authority;
  if (!ok || copyItems(u->paths, src->paths) < 0 || copyItems(u->params, src->params) < 0 ||
      copyItems(u->headers, src->headers) < 0) {
    SLUriDestroy(u);
    return kNoMemory;
  }
  *out = u;
  return 0;
}

SFResult SLUriParse(SLUri *uri, const char *text) {
  if (!uri || !text) return kInvalid;
  SLUriClear(uri);
  if (strcmp(text, "*") == 0) return setText(gPool, &uri->scheme, "*") ? 0 : kNoMemory;
  if (!*text) return 0;
  for (const char *p = text; *p; ++p)
    if (static_cast<unsigned char>(*p) >= 128) return kSyntaxErr;
  Parser parser;
  parser.uri = uri;
  parser.hasAt = strchr(text, '@') != nullptr;
  return parser.run(text);
}

SFResult SLUriEncode(const SLUri *uri, char *buffer, size_t *size, int omit) {
  if (!uri || !size) return kInvalid;
  Out o(buffer, *size);
  if (buffer && *size) buffer[0] = '\0';
  if (uri->scheme && strcmp(uri->scheme, "*") == 0) {
    o.put("*", 1);
  } else {
    if (uri->scheme) {
      o.put(uri->scheme);
      o.putc(':');
    }
    if (uri->authority) o.put("//", 2);
    if (uri->user) {
      putEscaped(o, uri->user, kUserSet);
      if (uri->password) {
        o.putc(':');
        putEscaped(o, uri->password, kPasswordSet);
      }
      o.putc('@');
    }
    if (uri->host) {
      bool v6 = strchr(uri->host, ':') != nullptr;
      if (v6) o.putc('[');
      o.put(uri->host);
      if (v6) o.putc(']');
    }
    if (uri->port) {
      o.putc(':');
      o.putu(uri->port);
    }
    if (uri->paths) {
      if (!(omit & SL_URI_OMIT_PATHS)) {
        for (const SLUriNameValue *p = uri->paths; p; p = p->next) {
          o.putc('/');
          putEscaped(o, p->name, kPathSet);
          if (p->value) {
            o.putc(';');
            putEscaped(o, p->value, kPathSet);
          }
        }
      }
      if (!(omit & SL_URI_OMIT_SEARCH) && uri->search) {
        o.putc('?');
        putEscaped(o, uri->search, kSearchSet);
      }
    } else {
      if (!(omit & SL_URI_OMIT_PARAMS))
        for (const SLUriNameValue *p = uri->params; p; p = p->next) {
          if (!*p->name) continue;
          o.putc(';');
          putEscaped(o, p->name, kParamSet);
          if (p->value && *p->value) {
            o.putc('=');
            putEscaped(o, p->value, kParamSet);
          }
        }
      if (!(omit & SL_URI_OMIT_HEADERS)) {
        bool first = true;
        for (const SLUriNameValue *h = uri->headers; h; h = h->next) {
          if (!*h->name) continue;
          o.putc(first ? '?' : '&');
          first = false;
          putEscaped(o, h->name, kHeaderSet);
          o.putc('=');
          if (h->value) putEscaped(o, h->value, kHeaderSet);
        }
      }
    }
  }
  *size = o.needed;
  if (buffer && o.used < *size) {
    // Nothing partial is handed out.
    if (*size > 0 && buffer) buffer[0] = '\0';
  }
  return o.fits() ? 0 : kShort;
}

SFResult SLUriSetScheme(SLUri *uri, const char *t) { return setPart(uri, uri ? &uri->scheme : nullptr, t); }
SFResult SLUriSetUser(SLUri *uri, const char *t) { return setPart(uri, uri ? &uri->user : nullptr, t); }
SFResult SLUriSetPassword(SLUri *uri, const char *t) { return setPart(uri, uri ? &uri->password : nullptr, t); }
SFResult SLUriSetHost(SLUri *uri, const char *t) { return setPart(uri, uri ? &uri->host : nullptr, t); }
SFResult SLUriSetParam(SLUri *uri, const char *t) { return setPart(uri, uri ? &uri->param : nullptr, t); }
SFResult SLUriSetSearch(SLUri *uri, const char *t) { return setPart(uri, uri ? &uri->search : nullptr, t); }
SFResult SLUriSetPort(SLUri *uri, uint16_t port) {
  if (!uri) return kInvalid;
  uri->port = port;
  return 0;
}
const char *SLUriGetScheme(const SLUri *uri) { return uri ? uri->scheme : nullptr; }
const char *SLUriGetUser(const SLUri *uri) { return uri ? uri->user : nullptr; }
const char *SLUriGetPassword(const SLUri *uri) { return uri ? uri->password : nullptr; }
const char *SLUriGetHost(const SLUri *uri) { return uri ? uri->host : nullptr; }
uint16_t SLUriGetPort(const SLUri *uri) { return uri ? uri->port : 0; }
const char *SLUriGetParam(const SLUri *uri) { return uri ? uri->param : nullptr; }
const char *SLUriGetSearch(const SLUri *uri) { return uri ? uri->search : nullptr; }
int SLUriHasAuthority(const SLUri *uri) { return uri ? uri->authority : 0; }

SFResult SLUriAddParameter(SLUri *uri, const char *name, const char *value) {
  if (!uri || !name) return kInvalid;
  return append(uri->params, name, -1, value, -1);
}
SFResult SLUriAddHeader(SLUri *uri, const char *name, const char *value) {
  if (!uri || !name) return kInvalid;
  return append(uri->headers, name, -1, value ? value : "", -1);
}
SFResult SLUriAddPath(SLUri *uri, const char *name, const char *value) {
  if (!uri || !name) return kInvalid;
  return append(uri->paths, name, -1, value, -1);
}

SFResult SLUriDeleteParameter(SLUri *uri, SLUriNameValue *item) {
  if (!uri || !item) return kInvalid;
  for (SLUriNameValue **p = &uri->params; *p; p = &(*p)->next)
    if (*p == item) {
      *p = item->next;
      release(gPool, item->name);
      release(gPool, item->value);
      release(gPool, item);
      return 0;
    }
  return kInvalid;
}
void SLUriDeleteParameters(SLUri *uri) {
  if (uri) freeItems(uri->params);
}
void SLUriDeleteHeaders(SLUri *uri) {
  if (uri) freeItems(uri->headers);
}
void SLUriDeletePaths(SLUri *uri) {
  if (uri) freeItems(uri->paths);
}
SLUriNameValue *SLUriGetHeadParameter(const SLUri *uri) { return uri ? uri->params : nullptr; }
SLUriNameValue *SLUriGetNextParameter(const SLUriNameValue *item) { return item ? item->next : nullptr; }
SLUriNameValue *SLUriGetHeadHeader(const SLUri *uri) { return uri ? uri->headers : nullptr; }
SLUriNameValue *SLUriGetNextHeader(const SLUriNameValue *item) { return item ? item->next : nullptr; }
SLUriNameValue *SLUriGetHeadPath(const SLUri *uri) { return uri ? uri->paths : nullptr; }
SLUriNameValue *SLUriGetNextPath(const SLUriNameValue *item) { return item ? item->next : nullptr; }
SLUriNameValue *SLUriFindParameter(const SLUri *uri, const char *name) {
  return uri && name ? findItem(uri->params, name) : nullptr;
}
int SLUriIsParamExist(const SLUri *uri, const char *name) { return SLUriFindParameter(uri, name) ? 1 : 0; }

int SLUriIsSchemeSipOrSips(const SLUri *uri) {
  return uri && uri->scheme && (strcasecmp(uri->scheme, "sip") == 0 || strcasecmp(uri->scheme, "sips") == 0);
}
int SLUriIsSchemeSips(const SLUri *uri) { return uri && uri->scheme && strcasecmp(uri->scheme, "sips") == 0; }
int SLUriIsSchemeOpaque(const char *scheme) {
  if (!scheme) return 0;
  for (const char *s : {"sip", "sips", "pres", "tel", "mailto", "news"})
    if (strcasecmp(scheme, s) == 0) return 1;
  return 0;
}

int SLUriPathCompare(const SLUri *a, const SLUri *b) { return compareItemsInOrder(a->paths, b->paths, false); }
int SLUriParameterCompare(const SLUri *a, const SLUri *b) { return compareItemsInOrder(a->params, b->params, true); }
int SLUriHeaderCompare(const SLUri *a, const SLUri *b) { return compareHeadersNoOrder(a->headers, b->headers); }

int SLUriCompare(const SLUri *a, const SLUri *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  int r;
  if ((r = icmp(a->scheme, b->scheme)) || (r = scmp(a->user, b->user)) || (r = scmp(a->password, b->password)) ||
      (r = icmp(a->host, b->host)))
    return r;
  if (a->port != b->port) return a->port < b->port ? -1 : 1;
  if ((r = icmp(a->param, b->param)) || (r = icmp(a->search, b->search)) || (r = SLUriPathCompare(a, b)) ||
      (r = SLUriParameterCompare(a, b)))
    return r;
  return SLUriHeaderCompare(a, b);
}

int SLSipUriGetTransportType(const char *name) {
  if (!name) return SL_URI_TRANSPORT_NONE;
  static const char *const kNames[] = {"udp", "tcp", "sctp", "tls"};
  for (int i = 0; i < 4; ++i)
    if (strcasecmp(name, kNames[i]) == 0) return i + 1;
  return SL_URI_TRANSPORT_OTHER;
}

SFResult SLSipUriCreate(SLUri **out, const char *scheme, const char *user, const char *host, uint16_t port,
                        int transport) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (transport == SL_URI_TRANSPORT_OTHER) return kInvalid;
  SLUri *u;
  int r = SLUriCreate(&u);
  if (r < 0) return r;
  if ((r = SLUriSetScheme(u, scheme)) < 0 || (r = SLUriSetUser(u, user)) < 0 || (r = SLUriSetHost(u, host)) < 0 ||
      (r = SLSipUriSetTransport(u, transport)) < 0) {
    SLUriDestroy(u);
    return r;
  }
  u->port = port;
  *out = u;
  return 0;
}

int SLSipUriGetTransport(const SLUri *uri) {
  const SLUriNameValue *p = SLUriFindParameter(uri, "transport");
  return p ? SLSipUriGetTransportType(p->value ? p->value : "") : SL_URI_TRANSPORT_NONE;
}

SFResult SLSipUriSetTransport(SLUri *uri, int transport) {
  if (!uri || transport == SL_URI_TRANSPORT_OTHER) return kInvalid;
  if (SLSipUriGetTransport(uri) == transport) return 0;
  removeNamed(uri->params, "transport");
  if (transport >= 1 && transport <= 4) {
    static const char *const kNames[] = {"udp", "tcp", "sctp", "tls"};
    return append(uri->params, "transport", -1, kNames[transport - 1], -1);
  }
  return 0;
}

SFResult SLSipUriDeleteTransport(SLUri *uri) {
  if (!uri) return kInvalid;
  removeNamed(uri->params, "transport");
  return 0;
}

const char *SLSipUriGetComp(const SLUri *uri) {
  const SLUriNameValue *p = SLUriFindParameter(uri, "comp");
  return p ? p->value : nullptr;
}

SFResult SLSipUriSetComp(SLUri *uri, const char *comp) {
  if (!uri || (comp && !*comp)) return kInvalid;
  removeNamed(uri->params, "comp");
  return comp ? append(uri->params, "comp", -1, comp, -1) : 0;
}

int SLSipUriIsSigcomp(const SLUri *uri) {
  const char *c = SLSipUriGetComp(uri);
  return c && strcasecmp(c, "sigcomp") == 0;
}

namespace {
bool sipParamMustMatch(const char *name) {
  for (const char *s : {"user", "method", "maddr", "ttl", "transport"})
    if (strcasecmp(name, s) == 0) return true;
  return false;
}
int oneSide(const SLUri *a, const SLUri *b) {
  for (const SLUriNameValue *p = a->params; p; p = p->next) {
    const SLUriNameValue *q = findItem(b->params, p->name);
    if (q) {
      if (icmp(p->value, q->value) != 0) return 1;
    } else if (sipParamMustMatch(p->name)) {
      return 1;
    }
  }
  return 0;
}
}  // namespace

int SLSipUriParameterCompare(const SLUri *a, const SLUri *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  if (oneSide(a, b)) return 1;
  if (oneSide(b, a)) return -1;
  return 0;
}

int SLSipUriCompare(const SLUri *a, const SLUri *b) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  int r;
  if ((r = icmp(a->scheme, b->scheme)) || (r = scmp(a->user, b->user)) || (r = scmp(a->password, b->password)) ||
      (r = icmp(a->host, b->host)))
    return r;
  if (a->port != b->port) return a->port < b->port ? -1 : 1;
  if ((r = icmp(a->search, b->search)) || (r = SLSipUriParameterCompare(a, b))) return r;
  return compareHeadersNoOrder(a->headers, b->headers);
}

SFResult SLSipUriRequestUriTrimComponents(SLUri *uri) {
  if (!uri) return kInvalid;
  removeNamed(uri->params, "method");
  freeItems(uri->headers);
  return 0;
}

SFResult SLSipUriAorTrimComponents(SLUri *uri) {
  if (!uri) return kInvalid;
  uri->port = 0;
  for (const char *n : {"method", "maddr", "ttl", "transport", "lr"}) removeNamed(uri->params, n);
  freeItems(uri->headers);
  return 0;
}

SFResult SLSipUriRegRedirContactHdrTrimComponents(SLUri *uri) {
  if (!uri) return kInvalid;
  removeNamed(uri->params, "method");
  removeNamed(uri->params, "lr");
  return 0;
}

SFResult SLSipUriDialogContactHdrTrimComponents(SLUri *uri) {
  if (!uri) return kInvalid;
  removeNamed(uri->params, "method");
  removeNamed(uri->params, "ttl");
  freeItems(uri->headers);
  return 0;
}
