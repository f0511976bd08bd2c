// Digest and Basic credentials (HTTP authentication for SIP), MD5 and Base64.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Scheme, algorithm and quality-of-protection kinds of a challenge.
enum { SL_AUTH_SCHEME_OTHER = 0, SL_AUTH_SCHEME_BASIC = 1, SL_AUTH_SCHEME_DIGEST = 2 };
enum { SL_AUTH_ALG_NONE = 0, SL_AUTH_ALG_MD5 = 2, SL_AUTH_ALG_MD5SESS = 3 };
enum { SL_AUTH_QOP_NONE = 0, SL_AUTH_QOP_OTHER = 1, SL_AUTH_QOP_AUTH = 2, SL_AUTH_QOP_AUTHINT = 3 };

// A value as it may come out of a challenge: with quoted set and a leading double quote the
// text between the quotes (escapes resolved) is used, otherwise the text as it is.
typedef struct SLAuthValue {
  const char *text;
  int quoted;
} SLAuthValue;

/** 1 "Basic", 2 "Digest", 0 otherwise (case-insensitive). */
int SLAuthGetAuthSchemeType(const char *scheme);
/** 2 "MD5", 3 "MD5-sess", 0 for none, empty or other names. */
int SLAuthGetAlgorithmType(const char *algorithm);
/** 2 "auth", 3 "auth-int", 1 other non-empty text, 0 none or empty. */
int SLAuthGetQopType(const char *qop);

/** Request-digest of RFC 2617 into response (33 bytes: 32 lower-case hex digits and NUL).
 *  Returns 0 or 0xA102800B. On any failure, and whenever a value needed for the response
 *  (method, digest URI, nonce, cnonce with qop) is missing, response is left as an empty
 *  text and 0xA102800B is returned. */
int SLAuthCalcDigestCredential(SLAuthValue realm, SLAuthValue nonce, int algorithm, int qop,
                               uint32_t nonceCount, SLAuthValue cnonce, SLAuthValue username,
                               SLAuthValue password, const char *method, const char *digestUri,
                               const void *body, int bodyLength, char *response);

/** Base64 of username ":" password, NUL-terminated, into out (size bytes).
 *  0, 0xA102800B (missing argument, size <= 0, ':' in the user name, output too small),
 *  0xA1028008 (no memory). */
int SLAuthCalcBasicCredential(const char *username, const char *password, char *out, int size);

/** 16 digest bytes as 32 lower-case hex digits and a NUL. */
void SLAuthConvertHex(const unsigned char digest[16], char out[33]);

typedef struct SLMD5Context {
  uint32_t state[4];
  uint64_t bits;
  unsigned char block[64];
} SLMD5Context;

void SLMD5Init(SLMD5Context *ctx);
void SLMD5Update(SLMD5Context *ctx, const void *data, size_t length);
/** Writes the digest and clears the context. */
void SLMD5Final(unsigned char digest[16], SLMD5Context *ctx);

/** Base64 (standard alphabet, '=' padding) of text (stops at length or a NUL).
 *  Returns the characters written (NUL added) or -1, leaving out empty, when it does not fit. */
int SLBase64Encode(const char *text, int length, char *out, int size);
/** Decodes Base64, skipping characters outside the alphabet. Returns the bytes written
 *  (NUL added) or -1 when they and the terminator do not fit. */
int SLBase64Decode(const char *text, int length, char *out, int size);
