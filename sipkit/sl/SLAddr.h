// Network addresses of the SIP layer and the resolver that picks where a request or response
// goes (RFC 3261 sections 8.1.2 and 18.2.2, RFC 3263 without DNS, RFC 3581).
#pragma once
#include <stdint.h>

#include "SFResult.h"
#include "SLSipHdr.h"
#include "SLSipMsg.h"
#include "SLUri.h"

// Stored transports (URI transport 4, TLS, is stored as TCP with the TLS flag).
enum { SL_ADDR_UDP = 1, SL_ADDR_TCP = 2, SL_ADDR_SCTP = 3 };

typedef struct SLAddr SLAddr;
typedef struct SLAddrList {
  SLAddr *first;
} SLAddrList;

SFResult SLAddrInitialize(void);
void SLAddrCleanup(void);
SFResult SLAddrCreate(SLAddr **out, const char *host, uint16_t port, int transport, int tls);
SFResult SLAddrClone(SLAddr **out, const SLAddr *src);
void SLAddrDestroy(SLAddr *addr);
int SLAddrCompare(const SLAddr *a, const SLAddr *b);
SLAddr *SLAddrGetNext(const SLAddr *addr);
const char *SLAddrGetAddress(const SLAddr *addr);
SFResult SLAddrSetAddress(SLAddr *addr, const char *host);
uint16_t SLAddrGetPort(const SLAddr *addr);
SFResult SLAddrSetPort(SLAddr *addr, uint16_t port);
int SLAddrGetTransport(const SLAddr *addr);
SFResult SLAddrSetTransport(SLAddr *addr, int transport, int tls);
int SLAddrIsTlsMode(const SLAddr *addr);
int SLAddrIsReliableTransport(const SLAddr *addr);
int SLAddrGetSigcomp(const SLAddr *addr);
SFResult SLAddrSetSigcomp(SLAddr *addr, int on);
int SLAddrGetAddressFamily(const SLAddr *addr);
SFResult SLAddrSetAddressFamily(SLAddr *addr, int family);
uint8_t SLAddrGetPrefixLen(const SLAddr *addr);
SFResult SLAddrSetPrefixLen(SLAddr *addr, uint8_t length);

SFResult SLAddrListCreate(SLAddrList **out);
void SLAddrListDestroy(SLAddrList *list);
SFResult SLAddrListClone(SLAddrList **out, const SLAddrList *src);
SFResult SLAddrListAddItem(SLAddrList *list, const char *host, uint16_t port, int transport, int tls);
SLAddr *SLAddrListGetFirst(const SLAddrList *list);
SLAddr *SLAddrListFindItem(const SLAddrList *list, const SLAddr *after, const SLAddr *addr);

// Resolver: each returns 0 and a new list with one address, or an error and no list.
SFResult SLRslvResolveRequest(SLAddrList **out, const SLSipMsg *request);
SFResult SLRslvResolveResponse(SLAddrList **out, const SLSipMsg *response);
SFResult SLRslvResolveUri(SLAddrList **out, const SLUri *uri);
SFResult SLRslvResolveUriStr(SLAddrList **out, const char *uri);
SFResult SLRslvResolveVia(SLAddrList **out, const SLSipHdrViaItem *via);
SFResult SLRslvResolveHost(SLAddrList **out, const char *host, uint16_t port, int transport, int sips, int sigcomp);
