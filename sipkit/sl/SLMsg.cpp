// Envelopes between the stack's layers and records exchanged with the network thread.
#include "SLMsg.h"

#include <stdlib.h>
#include <string.h>

#include "SLMsgPool.h"
#include "SLSipMsgPriv.h"

using namespace slmsg;

struct SLMsg {
  int type;
  uint16_t eventCode;
  int interfaceId;
  char *recvAddress;
  uint16_t recvPort;
  int recvTransport;
  char *address;
  uint16_t port;
  int transport;
  SLSipMsg *sipMsg;
  uint32_t binaryLength;
  void *binary;
  uintptr_t eventData[4];
};

namespace {
Pool gDataPool, gMsgPool;
constexpr int kInvalid = err(kModMsg, kInval);
constexpr int kNoMemory = err(kModMsg, kNoMem);
}  // namespace

SFResult SLMsgDataInitialize(void) { return 0; }
void SLMsgDataCleanup(void) {}

SLMsgData *SLMsgDataCreate(void) { return static_cast<SLMsgData *>(alloc(gDataPool, sizeof(SLMsgData))); }

void SLMsgDataDestroy(SLMsgData *d) {
  if (!d) return;
  SLSipMsgDestroy(d->sipMsg);
  release(gDataPool, d->binary);
  release(gDataPool, d);
}

SLMsgData *SLMsgDataCreateEventMsg(uintptr_t id, const uintptr_t *values, int count) {
  SLMsgData *d = SLMsgDataCreate();
  if (!d) return nullptr;
  d->type = SL_MSGDATA_EVENT;
  d->id = id;
  for (int i = 0; values && i < count && i < 3; ++i) d->param[i] = values[i];
  return d;
}

int SLMsgDataGetMsgType(const SLMsgData *d) { return d ? d->type : 0; }
SFResult SLMsgDataSetMsgType(SLMsgData *d, int type) {
  if (!d) return kInvalid;
  d->type = type;
  return 0;
}
uintptr_t SLMsgDataGetMsgId(const SLMsgData *d) {
  return d && (d->type == SL_MSGDATA_INTERNAL || d->type == SL_MSGDATA_EVENT) ? d->id : 0;
}
SFResult SLMsgDataSetMsgId(SLMsgData *d, uintptr_t id) {
  if (!d) return kInvalid;
  d->id = id;
  d->type = SL_MSGDATA_EVENT;
  return 0;
}
SFResult SLMsgDataSetMsgId3(SLMsgData *d, uintptr_t id, uintptr_t p1, uintptr_t p2, uintptr_t p3) {
  if (!d) return kInvalid;
  SLMsgDataSetMsgId(d, id);
  d->param[0] = p1;
  d->param[1] = p2;
  d->param[2] = p3;
  return 0;
}
SLMsgDataCallback SLMsgDataGetCallback(const SLMsgData *d) {
  return d && d->type == SL_MSGDATA_CALLBACK ? d->callback : nullptr;
}
SFResult SLMsgDataSetCallback(SLMsgData *d, SLMsgDataCallback cb) {
  if (!d) return kInvalid;
  d->callback = cb;
  d->type = SL_MSGDATA_CALLBACK;
  return 0;
}
SFResult SLMsgDataSetCallback3(SLMsgData *d, SLMsgDataCallback cb, uintptr_t p1, uintptr_t p2, uintptr_t p3) {
  if (!d) return kInvalid;
  SLMsgDataSetCallback(d, cb);
  d->param[0] = p1;
  d->param[1] = p2;
  d->param[2] = p3;
  return 0;
}
SFResult SLMsgDataSetInternalMsg(SLMsgData *d, uintptr_t id, SLSipMsg *msg) {
  if (!d) return kInvalid;
  d->type = SL_MSGDATA_INTERNAL;
  d->id = id;
  if (msg != d->sipMsg) {
    SLSipMsgDestroy(d->sipMsg);
    d->sipMsg = msg;
  }
  return 0;
}
SLSipMsg *SLMsgDataGetSipMsg(const SLMsgData *d) { return d ? d->sipMsg : nullptr; }
SFResult SLMsgDataSetSipMsgPtr(SLMsgData *d, SLSipMsg *msg) {
  if (!d) return kInvalid;
  if (msg != d->sipMsg) {
    SLSipMsgDestroy(d->sipMsg);
    d->sipMsg = msg;
  }
  return 0;
}
SFResult SLMsgDataSetSipMsg(SLMsgData *d, const SLSipMsg *msg, int deep) {
  if (!d) return kInvalid;
  SLSipMsg *c = nullptr;
  if (msg && SLSipMsgClone(&c, msg, deep) < 0) return kNoMemory;
  SLSipMsgDestroy(d->sipMsg);
  d->sipMsg = c;
  return 0;
}
SFResult SLMsgDataSetRequest(SLMsgData *d, const SLSipMsg *msg, int deep) {
  int r = SLMsgDataSetSipMsg(d, msg, deep);
  if (r == 0) d->type = SL_MSGDATA_REQUEST;
  return r;
}
SFResult SLMsgDataSetResponse(SLMsgData *d, const SLSipMsg *msg, int deep) {
  int r = SLMsgDataSetSipMsg(d, msg, deep);
  if (r == 0) d->type = SL_MSGDATA_RESPONSE;
  return r;
}
SLSipMsg *SLMsgDataDetachSipMsg(SLMsgData *d) {
  if (!d) return nullptr;
  SLSipMsg *m = d->sipMsg;
  d->sipMsg = nullptr;
  return m;
}
SFResult SLMsgDataSetBinaryPtr(SLMsgData *d, void *bytes, uint32_t length) {
  if (!d) return kInvalid;
  release(gDataPool, d->binary);
  d->binary = nullptr;
  d->binaryLength = 0;
  if (bytes && length) {
    // Ownership passes: the caller's malloc'd block is moved into the module's counted pool.
    void *copy = alloc(gDataPool, length);
    if (!copy) return kNoMemory;
    memcpy(copy, bytes, length);
    free(bytes);
    d->binary = copy;
    d->binaryLength = length;
  }
  return 0;
}
SFResult SLMsgDataSetBinary(SLMsgData *d, const void *bytes, uint32_t length) {
  if (!d) return kInvalid;
  void *copy = nullptr;
  if (bytes && length) {
    copy = alloc(gDataPool, length);
    if (!copy) return kNoMemory;
    memcpy(copy, bytes, length);
  }
  release(gDataPool, d->binary);
  d->binary = copy;
  d->binaryLength = copy ? length : 0;
  return 0;
}
void *SLMsgDataDetachBinary(SLMsgData *d) {
  if (!d) return nullptr;
  if (!d->binary) return nullptr;
  // The caller frees what it gets with free().
  void *b = malloc(d->binaryLength ? d->binaryLength : 1);
  if (!b) return nullptr;
  memcpy(b, d->binary, d->binaryLength);
  release(gDataPool, d->binary);
  d->binary = nullptr;
  return b;
}
uintptr_t SLMsgDataGetParam(const SLMsgData *d, int index) {
  if (!d) return 0;
  if (index == 0) return d->binaryLength;
  return index >= 1 && index <= 3 ? d->param[index - 1] : 0;
}
SFResult SLMsgDataSetParam(SLMsgData *d, int index, uintptr_t value) {
  if (!d) return kInvalid;
  if (index == 0) d->binaryLength = static_cast<uint32_t>(value);
  else if (index >= 1 && index <= 3) d->param[index - 1] = value;
  return 0;
}
SFResult SLMsgDataClearParams(SLMsgData *d) {
  if (!d) return kInvalid;
  d->param[0] = d->param[1] = d->param[2] = 0;
  return 0;
}
SLMsgData *SLMsgDataClone(const SLMsgData *s, int deep) {
  if (!s || s->type < 1 || s->type > 6) return nullptr;
  SLMsgData *d = SLMsgDataCreate();
  if (!d) return nullptr;
  d->type = s->type;
  d->id = s->id;
  d->callback = s->callback;
  memcpy(d->param, s->param, sizeof d->param);
  if ((s->sipMsg && SLSipMsgClone(&d->sipMsg, s->sipMsg, deep) < 0) ||
      SLMsgDataSetBinary(d, s->binary, s->binaryLength) < 0) {
    SLMsgDataDestroy(d);
    return nullptr;
  }
  d->binaryLength = s->binaryLength;
  return d;
}

// ---- Network messages --------------------------------------------------------------------------

SFResult SLMsgInitialize(void) { return 0; }
void SLMsgCleanup(void) {}

SLMsg *SLMsgCreate(int type, uint16_t eventCode, int interfaceId) {
  auto *m = static_cast<SLMsg *>(alloc(gMsgPool, sizeof(SLMsg)));
  if (!m) return nullptr;
  m->type = type;
  m->eventCode = eventCode;
  m->interfaceId = interfaceId;
  return m;
}

void SLMsgDestroy(SLMsg *m) {
  if (!m) return;
  release(gMsgPool, m->recvAddress);
  release(gMsgPool, m->address);
  release(gMsgPool, m->binary);
  SLSipMsgDestroy(m->sipMsg);
  release(gMsgPool, m);
}

SLMsg *SLMsgClone(const SLMsg *s) {
  if (!s) return nullptr;
  SLMsg *m = SLMsgCreate(s->type, s->eventCode, s->interfaceId);
  if (!m) return nullptr;
  m->recvPort = s->recvPort;
  m->recvTransport = s->recvTransport;
  m->port = s->port;
  m->transport = s->transport;
  memcpy(m->eventData, s->eventData, sizeof m->eventData);
  if (!setText(gMsgPool, &m->recvAddress, s->recvAddress) || !setText(gMsgPool, &m->address, s->address) ||
      (s->sipMsg && SLSipMsgClone(&m->sipMsg, s->sipMsg, 1) < 0) ||
      (s->binary && !SLMsgSetBinary(m, s->binary, s->binaryLength))) {
    SLMsgDestroy(m);
    return nullptr;
  }
  return m;
}

int SLMsgGetMsgType(const SLMsg *m) { return m ? m->type : 0; }
uint16_t SLMsgGetEventCode(const SLMsg *m) { return m ? m->eventCode : 0; }
SLSipMsg *SLMsgGetSipMsg(const SLMsg *m) { return m ? m->sipMsg : nullptr; }
SFResult SLMsgSetSipMsg(SLMsg *m, SLSipMsg *sip) {
  if (!m) return kInvalid;
  if (sip != m->sipMsg) {
    SLSipMsgDestroy(m->sipMsg);
    m->sipMsg = sip;
  }
  return 0;
}
int SLMsgGetInterfaceId(const SLMsg *m) { return m ? m->interfaceId : -1; }
SFResult SLMsgSetInterfaceId(SLMsg *m, int id) {
  if (!m) return kInvalid;
  m->interfaceId = id;
  return 0;
}
namespace {
int setAddress(SLMsg *m, char **slot, const char *text) {
  if (!m || !text) return -1;
  return setText(gMsgPool, slot, *text ? text : nullptr) ? 0 : -1;
}
}  // namespace
int SLMsgSetRecvAddress(SLMsg *m, const char *t) { return setAddress(m, m ? &m->recvAddress : nullptr, t); }
int SLMsgSetAddress(SLMsg *m, const char *t) { return setAddress(m, m ? &m->address : nullptr, t); }
const char *SLMsgGetRecvAddress(const SLMsg *m) { return m ? m->recvAddress : nullptr; }
const char *SLMsgGetAddress(const SLMsg *m) { return m ? m->address : nullptr; }
SFResult SLMsgSetRecvPort(SLMsg *m, uint16_t p) {
  if (!m) return kInvalid;
  m->recvPort = p;
  return 0;
}
uint16_t SLMsgGetRecvPort(const SLMsg *m) { return m ? m->recvPort : 0xFFFF; }
SFResult SLMsgSetPort(SLMsg *m, uint16_t p) {
  if (!m) return kInvalid;
  m->port = p;
  return 0;
}
uint16_t SLMsgGetPort(const SLMsg *m) { return m ? m->port : 0xFFFF; }
SFResult SLMsgSetRecvTransport(SLMsg *m, int t) {
  if (!m) return kInvalid;
  m->recvTransport = t;
  return 0;
}
int SLMsgGetRecvTransport(const SLMsg *m) { return m ? m->recvTransport : 5; }
SFResult SLMsgSetTransport(SLMsg *m, int t) {
  if (!m) return kInvalid;
  m->transport = t;
  return 0;
}
int SLMsgGetTransport(const SLMsg *m) { return m ? m->transport : 5; }
int SLMsgSetBinary(SLMsg *m, const void *bytes, uint32_t length) {
  if (!m) return 0;
  release(gMsgPool, m->binary);
  m->binary = nullptr;
  m->binaryLength = 0;
  if (bytes && length) {
    m->binary = alloc(gMsgPool, length);
    if (!m->binary) return 0;
    memcpy(m->binary, bytes, length);
    m->binaryLength = length;
  }
  return 1;
}
const void *SLMsgGetBinary(const SLMsg *m, uint32_t *length) {
  if (length) *length = m ? m->binaryLength : 0;
  return m ? m->binary : nullptr;
}
uintptr_t *SLMsgGetEventData(SLMsg *m) { return m ? m->eventData : nullptr; }

int SLMsgSipMsgParse(SLMsg **out, const char *data, int length, int mode) {
  if (!out || !data || length <= 0) return -1;
  *out = nullptr;
  SLSipMsg *sip = nullptr;
  int n = length;
  if (SLSipMsgParse(&sip, data, &n, mode) < 0) return -1;
  if (n < 0) return n;
  SLMsg *m;
  if (sip) {
    m = SLMsgCreate(SLSipMsgStartLineIsRequestLine(SLSipMsgGetStartLine(sip)) ? SL_MSG_REQUEST : SL_MSG_RESPONSE, 0, 0);
    if (!m) {
      SLSipMsgDestroy(sip);
      return -1;
    }
    m->sipMsg = sip;
  } else {
    m = SLMsgCreate(SL_MSG_BINARY, 0, 0);
    if (!m || !SLMsgSetBinary(m, data, uint32_t(n))) {
      SLMsgDestroy(m);
      return -1;
    }
  }
  *out = m;
  return n;
}

SFResult SLMsgSipMsgEncode(const SLMsg *m, char *buffer, size_t *size) {
  if (!m || !buffer || !size || *size == 0 || !m->sipMsg) {
    if (size) *size = 0;
    return kInvalid;
  }
  memset(buffer, 0, *size);
  size_t n = *size;
  int r = SLSipMsgEncode(m->sipMsg, buffer, &n);
  *size = r < 0 ? 0 : n;
  return r;
}
