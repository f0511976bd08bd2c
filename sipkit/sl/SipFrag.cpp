// sipfrag bodies: status line and header lines of a response, without Content-Type,
// Content-Length or body.
#include "SipFrag.h"

#include <stdio.h>

#include "SLMsgPool.h"
#include "SLSipMsgPriv.h"

namespace {
constexpr int kInvalid = slmsg::err(0x201, slmsg::kInval);
constexpr int kShort = slmsg::err(0x201, slmsg::kTooSmall);
}  // namespace

SFResult BuildFragmentString(SipFragBuffer *buf, char *buffer, const SLSipMsg *msg) {
  if (!buf || !buffer || !msg) return kInvalid;
  size_t capacity = buf->length;
  int n = snprintf(buffer, capacity, "%s %3u %s\r\n", "SIP/2.0", SLSipMsgGetStatusCode(msg),
                   SLSipMsgGetReasonPhrase(msg) ? SLSipMsgGetReasonPhrase(msg) : "");
  if (n < 0 || size_t(n) >= capacity) return kShort;
  SLGenHdrList *list = nullptr;
  int r = 0;
  if (SLGenHdrListGetFirst(msg->headers)) {
    r = SLGenHdrListClone(&list, msg->headers);
    if (r == 0) {
      SLGenHdrListDeleteNamed(list, "Content-Type");
      SLGenHdrListDeleteNamed(list, "Content-Length");
    }
  } else {
    SLSipHdrTable copy;
    SLSipHdrTableInit(&copy);
    r = SLSipHdrTableCopy(&copy, &msg->table);
    if (r == 0) {
      SLSipHdrTableSetContentType(&copy, nullptr);
      if ((r = SLGenHdrListCreate(&list)) == 0) r = SLSipHdrTableEncode(&copy, list);
    }
    SLSipHdrTableClear(&copy);
  }
  if (r == 0 && list) {
    size_t size = capacity - size_t(n);
    r = SLGenHdrListEncode(list, buffer + n, &size);
    if (r == 0) buf->length = uint32_t(size_t(n) + size);
  } else if (r == 0) {
    buf->length = uint32_t(n);
  }
  SLGenHdrListDestroy(list);
  return r;
}

SFResult SipFragEncode(SipFragBuffer *buf, const SLSipMsg *msg) {
  if (!buf || !buf->text || buf->length == 0 || !msg) return kInvalid;
  return BuildFragmentString(buf, buf->text, msg);
}

SFResult SipFragParse(SLSipMsg **out, const SipFragBuffer *buf) {
  if (!out) return kInvalid;
  *out = nullptr;
  if (!buf || !buf->text || buf->length == 0 || buf->length > 0x7FFFFFFFu) return kInvalid;
  int n = int(buf->length);
  SLSipMsg *m = nullptr;
  int r = SLSipMsgParse(&m, buf->text, &n, SL_SIPMSG_MODE_FRAGMENT);
  if (r < 0) return r;
  if (!m) return kInvalid;  // incomplete or nothing but leading bytes
  if ((r = SLSipMsgParseSipHdr(m)) < 0) {
    SLSipMsgDestroy(m);
    return r;
  }
  *out = m;
  return 0;
}
