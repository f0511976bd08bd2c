// Digest credentials (RFC 2617 section 3.2.2) and the challenge keyword tables.
#include "SLAuth.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

namespace {

constexpr int kInvalid = static_cast<int>(0xA102800Bu);

// Resolves the quoting of a value taken from a challenge; false when there is no text.
bool valueText(const SLAuthValue &v, std::string &out) {
  out.clear();
  if (!v.text) return false;
  const char *s = v.text;
  if (v.quoted && *s == '"') {
    for (++s; *s && *s != '"'; ++s) {
      if (*s == '\\' && s[1]) ++s;
      out.push_back(*s);
    }
  } else {
    out = s;
  }
  return true;
}

void md5Hex(SLMD5Context &ctx, char hex[33]) {
  unsigned char d[16];
  SLMD5Final(d, &ctx);
  SLAuthConvertHex(d, hex);
}

void update(SLMD5Context &ctx, const std::string &s) { SLMD5Update(&ctx, s.data(), s.size()); }
void update(SLMD5Context &ctx, const char *s) { SLMD5Update(&ctx, s, strlen(s)); }

}  // namespace

int SLAuthGetAuthSchemeType(const char *scheme) {
  if (!scheme) return SL_AUTH_SCHEME_OTHER;
  if (strcasecmp(scheme, "Basic") == 0) return SL_AUTH_SCHEME_BASIC;
  if (strcasecmp(scheme, "Digest") == 0) return SL_AUTH_SCHEME_DIGEST;
  return SL_AUTH_SCHEME_OTHER;
}

int SLAuthGetAlgorithmType(const char *algorithm) {
  if (!algorithm || !*algorithm) return SL_AUTH_ALG_NONE;
  if (strcasecmp(algorithm, "MD5") == 0) return SL_AUTH_ALG_MD5;
  if (strcasecmp(algorithm, "MD5-sess") == 0) return SL_AUTH_ALG_MD5SESS;
  return SL_AUTH_ALG_NONE;
}

int SLAuthGetQopType(const char *qop) {
  if (!qop || !*qop) return SL_AUTH_QOP_NONE;
  if (strcasecmp(qop, "auth") == 0) return SL_AUTH_QOP_AUTH;
  if (strcasecmp(qop, "auth-int") == 0) return SL_AUTH_QOP_AUTHINT;
  return SL_AUTH_QOP_OTHER;
}

void SLAuthConvertHex(const unsigned char digest[16], char out[33]) {
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    out[i * 2] = kHex[digest[i] >> 4];
    out[i * 2 + 1] = kHex[digest[i] & 15];
  }
  out[32] = '\0';
}

int SLAuthCalcDigestCredential(SLAuthValue realm, SLAuthValue nonce, int algorithm, int qop,
                               uint32_t nonceCount, SLAuthValue cnonce, SLAuthValue username,
                               SLAuthValue password, const char *method, const char *digestUri,
                               const void *body, int bodyLength, char *response) {
  if (!response) return kInvalid;
  // Every refusal leaves an empty response, so a caller never sends stale bytes.
  response[0] = '\0';
  std::string user, rlm, pass, non, cnon;
  if (!valueText(username, user) || !valueText(realm, rlm) || !valueText(password, pass)) return kInvalid;
  if (algorithm == 1 || algorithm > SL_AUTH_ALG_MD5SESS || algorithm < 0) return kInvalid;
  if (qop == SL_AUTH_QOP_OTHER || qop < 0 || qop > SL_AUTH_QOP_AUTHINT) return kInvalid;
  bool haveNonce = valueText(nonce, non);
  bool haveCnonce = valueText(cnonce, cnon);
  bool withQop = qop == SL_AUTH_QOP_AUTH || qop == SL_AUTH_QOP_AUTHINT;
  if (!method || !digestUri || !haveNonce || (withQop && !haveCnonce)) return kInvalid;

  char ha1[33], ha2[33], resp[33];
  SLMD5Context ctx;
  SLMD5Init(&ctx);
  update(ctx, user);
  update(ctx, ":");
  update(ctx, rlm);
  update(ctx, ":");
  update(ctx, pass);
  md5Hex(ctx, ha1);
  if (algorithm == SL_AUTH_ALG_MD5SESS) {
    if (!haveCnonce) return kInvalid;
    SLMD5Init(&ctx);
    update(ctx, ha1);
    update(ctx, ":");
    update(ctx, non);
    update(ctx, ":");
    update(ctx, cnon);
    md5Hex(ctx, ha1);
  }

  SLMD5Init(&ctx);
  update(ctx, method);
  update(ctx, ":");
  update(ctx, digestUri);
  if (qop == SL_AUTH_QOP_AUTHINT) {
    char bodyHex[33];
    SLMD5Context b;
    SLMD5Init(&b);
    if (body && bodyLength > 0) SLMD5Update(&b, body, size_t(bodyLength));
    md5Hex(b, bodyHex);
    update(ctx, ":");
    update(ctx, bodyHex);
  }
  md5Hex(ctx, ha2);

  SLMD5Init(&ctx);
  update(ctx, ha1);
  update(ctx, ":");
  update(ctx, non);
  update(ctx, ":");
  if (withQop) {
    char nc[9];
    snprintf(nc, sizeof nc, "%08x", nonceCount);
    update(ctx, nc);
    update(ctx, ":");
    update(ctx, cnon);
    update(ctx, ":");
    update(ctx, qop == SL_AUTH_QOP_AUTH ? "auth" : "auth-int");
    update(ctx, ":");
  }
  update(ctx, ha2);
  md5Hex(ctx, resp);
  memcpy(response, resp, sizeof resp);
  return 0;
}
