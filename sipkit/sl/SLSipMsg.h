// SIP message: start line, generic header list, typed header table, body; parser with the
// framing rules of datagrams, streams and fragments; encoder.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "SFResult.h"
#include "SLGenHdr.h"
#include "SLSipHdrTable.h"
#include "SLUri.h"

typedef struct SLSipMsg SLSipMsg;
typedef struct SLSipMsgStartLine SLSipMsgStartLine;
typedef struct SLSipMsgBody SLSipMsgBody;

// Transport of the data given to the parser.
enum { SL_SIPMSG_MODE_FRAGMENT = 0, SL_SIPMSG_MODE_UDP = 1, SL_SIPMSG_MODE_TCP = 2, SL_SIPMSG_MODE_TLS = 4 };
// Framing codes reported through the length (not errors): the data cannot be framed (-1), wait
// for the rest of the header section (-2), wait for the rest of the body (-3).
enum { SL_SIPMSG_FRAME_DROP = -1, SL_SIPMSG_FRAME_MORE_HEADER = -2, SL_SIPMSG_FRAME_MORE_BODY = -3 };
// Largest start line and header section the parser takes.
enum { SL_SIPMSG_MAX_HEADER_SECTION = 3000 };

SFResult SLSipMsgInitialize(void);
void SLSipMsgCleanup(void);
/** Live allocations of the module (for leak checks). */
int SLSipMsgGetLiveCount(void);

SFResult SLSipMsgCreate(SLSipMsg **out);
SFResult SLSipMsgCreateRequest(SLSipMsg **out, const char *method, const char *requestUri, const char *version);
SFResult SLSipMsgCreateResponse(SLSipMsg **out, const char *version, unsigned statusCode, const char *reason);
/** Request built from a URI (RFC 3261 section 19.1.5): method parameter, URI headers, body. */
SFResult SLSipMsgCreateRequestFromUri(SLSipMsg **out, const SLUri *uri);
void SLSipMsgDestroy(SLSipMsg *msg);
/** Copies start line, headers and body; deep also copies the parsed Request-URI and the table.
 *  A missing source gives a missing copy and 0. */
SFResult SLSipMsgClone(SLSipMsg **out, const SLSipMsg *msg, int deep);
/** 0 when both are the same message (start line, header lines and body). */
int SLSipMsgCompare(const SLSipMsg *a, const SLSipMsg *b);

/** Parses data[0..*length) in the given mode. On return *length holds the bytes consumed or a
 *  negative framing code; *out is set only when a message was made. */
SFResult SLSipMsgParse(SLSipMsg **out, const char *data, int *length, int mode);
/** Writes the message; *size: capacity in, full length needed out. 0, 0xA0AB800B, 0xA0AB800A. */
SFResult SLSipMsgEncode(const SLSipMsg *msg, char *buffer, size_t *size);
SFResult SLSipMsgParseSipHdr(SLSipMsg *msg);
SFResult SLSipMsgEncodeSipHdr(SLSipMsg *msg);
SFResult SLSipMsgParseReqUri(SLSipMsg *msg);

SLSipMsgStartLine *SLSipMsgGetStartLine(const SLSipMsg *msg);
SFResult SLSipMsgSetStartLine(SLSipMsg *msg, const SLSipMsgStartLine *line);
SLGenHdrList *SLSipMsgGetHdrList(const SLSipMsg *msg);
SLSipHdrTable *SLSipMsgGetHdrTable(const SLSipMsg *msg);
SLSipMsgBody *SLSipMsgGetBody(const SLSipMsg *msg);
/** Replaces the body's data with a copy (none clears it). */
SFResult SLSipMsgSetBody(SLSipMsg *msg, const void *data, int length);
const SLUri *SLSipMsgGetParsedReqUri(const SLSipMsg *msg);
const char *SLSipMsgGetMethod(const SLSipMsg *msg);
const char *SLSipMsgGetRequestUri(const SLSipMsg *msg);
unsigned SLSipMsgGetStatusCode(const SLSipMsg *msg);
const char *SLSipMsgGetReasonPhrase(const SLSipMsg *msg);
const char *SLSipMsgGetVersion(const SLSipMsg *msg);
/** Replaces every Content-Length header by one at the end of the list. */
SFResult SLSipMsgSetContentLength(SLSipMsg *msg, int length);
/** "tag" of the header's first field, or none. */
const char *SLSipMsgGetTag(const SLSipMsg *msg, const char *headerName);
/** Adds a tag (the given one, or one derived from the request) when the header's first field has none. */
SFResult SLSipMsgEnsureTag(SLSipMsg *msg, const char *headerName, const char *tag);
int SLSipMsgCompareTag(const SLSipMsg *a, const SLSipMsg *b, const char *headerName);
int SLSipMsgCompareCallId(const SLSipMsg *a, const SLSipMsg *b);
int SLSipMsgCompareRequestUri(const SLSipMsg *a, const SLSipMsg *b);
int SLSipMsgCompareCSeq(const SLSipMsg *a, const SLSipMsg *b, int numbers, int methods, int ackOption,
                        int cancelOption);

// Start lines.
SFResult SLSipMsgStartLineCreate(SLSipMsgStartLine **out);
SFResult SLSipMsgStartLineCreateRequestLine(SLSipMsgStartLine **out, const char *method, const char *requestUri,
                                            const char *version);
SFResult SLSipMsgStartLineCreateStatusLine(SLSipMsgStartLine **out, const char *version, unsigned code,
                                           const char *reason);
SFResult SLSipMsgStartLineClone(SLSipMsgStartLine **out, const SLSipMsgStartLine *src);
void SLSipMsgStartLineDestroy(SLSipMsgStartLine *line);
int SLSipMsgStartLineCompare(const SLSipMsgStartLine *a, const SLSipMsgStartLine *b);
int SLSipMsgStartLineIsRequestLine(const SLSipMsgStartLine *line);
SFResult SLSipMsgStartLineSetRequestLine(SLSipMsgStartLine *line, int isRequest);
const char *SLSipMsgStartLineGetMethod(const SLSipMsgStartLine *line);
SFResult SLSipMsgStartLineSetMethod(SLSipMsgStartLine *line, const char *method);
const char *SLSipMsgStartLineGetRequestUri(const SLSipMsgStartLine *line);
/** From text, or from a URI (encoded); with neither the Request-URI is cleared. */
SFResult SLSipMsgStartLineSetRequestUri(SLSipMsgStartLine *line, const char *text, const SLUri *uri);
const char *SLSipMsgStartLineGetVersion(const SLSipMsgStartLine *line);
SFResult SLSipMsgStartLineSetVersion(SLSipMsgStartLine *line, const char *version);
unsigned SLSipMsgStartLineGetStatusCode(const SLSipMsgStartLine *line);
SFResult SLSipMsgStartLineSetStatusCode(SLSipMsgStartLine *line, unsigned code);
const char *SLSipMsgStartLineGetReasonPhrase(const SLSipMsgStartLine *line);
SFResult SLSipMsgStartLineSetReasonPhrase(SLSipMsgStartLine *line, const char *reason);

// Bodies.
SFResult SLSipMsgBodyCreate(SLSipMsgBody **out, const void *data, int length);
SFResult SLSipMsgBodyClone(SLSipMsgBody **out, const SLSipMsgBody *src);
void SLSipMsgBodyDestroy(SLSipMsgBody *body);
/** -1 for a missing body. */
int SLSipMsgBodyGetLength(const SLSipMsgBody *body);
const char *SLSipMsgBodyGetData(const SLSipMsgBody *body);
SFResult SLSipMsgBodySetData(SLSipMsgBody *body, const void *data, int length);
int SLSipMsgBodyCompare(const SLSipMsgBody *a, const SLSipMsgBody *b);
