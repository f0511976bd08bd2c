// URIs: table-driven parser, encoder with per-component escaping, comparison, and the SIP
// layer (transport and compression parameters, RFC 3261 section 19.1.4 comparison, trimming).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "SFResult.h"

typedef struct SLUri SLUri;

// A parameter, header or path segment of a URI: name and optional value.
typedef struct SLUriNameValue {
  struct SLUriNameValue *next;
  char *name;
  char *value;  // none when absent
} SLUriNameValue;

// Transport numbers of the "transport" parameter.
enum { SL_URI_TRANSPORT_NONE = 0, SL_URI_TRANSPORT_UDP = 1, SL_URI_TRANSPORT_TCP = 2, SL_URI_TRANSPORT_SCTP = 3,
       SL_URI_TRANSPORT_TLS = 4, SL_URI_TRANSPORT_OTHER = 5 };

// Encoder omit flags.
enum { SL_URI_OMIT_HEADERS = 1, SL_URI_OMIT_PARAMS = 2, SL_URI_OMIT_PATHS = 4, SL_URI_OMIT_SEARCH = 8 };

SFResult SLUriInitialize(void);
SFResult SLUriCleanup(void);
/** Live URI allocations (for leak checks). */
int SLUriGetLiveCount(void);

SFResult SLUriCreate(SLUri **out);
void SLUriDestroy(SLUri *uri);
SFResult SLUriClone(SLUri **out, const SLUri *src);
/** Clears the URI and parses the NUL-terminated text; 0, 0xA0AAA001 syntax, 0xA0AA800B, 0xA0AA8008.
 *  A failed parse leaves the components stored so far. */
SFResult SLUriParse(SLUri *uri, const char *text);
/** Writes the URI text (no terminator) into buffer; *size is the capacity on entry and the full
 *  length needed on return. 0, 0xA0AA800B, or 0xA0AA800A when it did not fit. */
SFResult SLUriEncode(const SLUri *uri, char *buffer, size_t *size, int omitFlags);
/** Empties every component. */
void SLUriClear(SLUri *uri);

SFResult SLUriSetScheme(SLUri *uri, const char *text);
SFResult SLUriSetUser(SLUri *uri, const char *text);
SFResult SLUriSetPassword(SLUri *uri, const char *text);
SFResult SLUriSetHost(SLUri *uri, const char *text);
SFResult SLUriSetPort(SLUri *uri, uint16_t port);
SFResult SLUriSetParam(SLUri *uri, const char *text);
SFResult SLUriSetSearch(SLUri *uri, const char *text);
const char *SLUriGetScheme(const SLUri *uri);
const char *SLUriGetUser(const SLUri *uri);
const char *SLUriGetPassword(const SLUri *uri);
const char *SLUriGetHost(const SLUri *uri);
uint16_t SLUriGetPort(const SLUri *uri);
const char *SLUriGetParam(const SLUri *uri);
const char *SLUriGetSearch(const SLUri *uri);
int SLUriHasAuthority(const SLUri *uri);

SFResult SLUriAddParameter(SLUri *uri, const char *name, const char *value);
SFResult SLUriAddHeader(SLUri *uri, const char *name, const char *value);
SFResult SLUriAddPath(SLUri *uri, const char *name, const char *value);
/** Unlinks and frees one parameter of the URI. */
SFResult SLUriDeleteParameter(SLUri *uri, SLUriNameValue *item);
void SLUriDeleteParameters(SLUri *uri);
void SLUriDeleteHeaders(SLUri *uri);
void SLUriDeletePaths(SLUri *uri);
SLUriNameValue *SLUriGetHeadParameter(const SLUri *uri);
SLUriNameValue *SLUriGetNextParameter(const SLUriNameValue *item);
SLUriNameValue *SLUriGetHeadHeader(const SLUri *uri);
SLUriNameValue *SLUriGetNextHeader(const SLUriNameValue *item);
SLUriNameValue *SLUriGetHeadPath(const SLUri *uri);
SLUriNameValue *SLUriGetNextPath(const SLUriNameValue *item);
/** First parameter of that name (case-insensitive), or none. */
SLUriNameValue *SLUriFindParameter(const SLUri *uri, const char *name);
int SLUriIsParamExist(const SLUri *uri, const char *name);

int SLUriIsSchemeSipOrSips(const SLUri *uri);
int SLUriIsSchemeSips(const SLUri *uri);
/** 1 for sip, sips, pres, tel, mailto and news (schemes without an authority part). */
int SLUriIsSchemeOpaque(const char *scheme);

/** 0 when equal (generic comparison); a missing URI is smaller. */
int SLUriCompare(const SLUri *a, const SLUri *b);
int SLUriParameterCompare(const SLUri *a, const SLUri *b);
int SLUriHeaderCompare(const SLUri *a, const SLUri *b);
int SLUriPathCompare(const SLUri *a, const SLUri *b);

// SIP layer.
SFResult SLSipUriCreate(SLUri **out, const char *scheme, const char *user, const char *host, uint16_t port,
                        int transport);
/** Number of a transport name: 1 udp, 2 tcp, 3 sctp, 4 tls, 5 other text, 0 no text. */
int SLSipUriGetTransportType(const char *name);
int SLSipUriGetTransport(const SLUri *uri);
SFResult SLSipUriSetTransport(SLUri *uri, int transport);
SFResult SLSipUriDeleteTransport(SLUri *uri);
const char *SLSipUriGetComp(const SLUri *uri);
SFResult SLSipUriSetComp(SLUri *uri, const char *comp);
int SLSipUriIsSigcomp(const SLUri *uri);
/** 0 when equal by RFC 3261 section 19.1.4. */
int SLSipUriCompare(const SLUri *a, const SLUri *b);
int SLSipUriParameterCompare(const SLUri *a, const SLUri *b);
SFResult SLSipUriRequestUriTrimComponents(SLUri *uri);
SFResult SLSipUriAorTrimComponents(SLUri *uri);
SFResult SLSipUriRegRedirContactHdrTrimComponents(SLUri *uri);
SFResult SLSipUriDialogContactHdrTrimComponents(SLUri *uri);
