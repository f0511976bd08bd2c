// Message envelopes between the stack's layers (SLMsgData) and to and from the network thread
// (SLMsg), the bridges between raw bytes and SLMsg, and the message builders and validation
// that work on envelopes.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "SFResult.h"
#include "SLSipMsg.h"

// Envelope types.
enum { SL_MSGDATA_REQUEST = 1, SL_MSGDATA_RESPONSE = 2, SL_MSGDATA_INTERNAL = 3, SL_MSGDATA_EVENT = 4,
       SL_MSGDATA_CALLBACK = 5, SL_MSGDATA_BINARY = 6 };
// Network message types.
enum { SL_MSG_REQUEST = 1, SL_MSG_RESPONSE = 2, SL_MSG_EVENT = 3, SL_MSG_BINARY = 6 };

typedef struct SLMsgData SLMsgData;
// A routine queued to run on the stack thread; it receives its envelope.
typedef void (*SLMsgDataCallback)(SLMsgData *data);

struct SLMsgData {
  int type;
  uintptr_t id;                // event or internal-message id (types 3 and 4)
  SLMsgDataCallback callback;  // routine of type 5
  SLSipMsg *sipMsg;            // owned
  void *binary;                // owned
  uint32_t binaryLength;
  uintptr_t param[3];          // meaning belongs to the sender
};

typedef struct SLMsg SLMsg;

SFResult SLMsgDataInitialize(void);
void SLMsgDataCleanup(void);
SLMsgData *SLMsgDataCreate(void);
void SLMsgDataDestroy(SLMsgData *data);
/** Type 4 envelope with the id and the first min(count, 3) values as parameters. */
SLMsgData *SLMsgDataCreateEventMsg(uintptr_t id, const uintptr_t *values, int count);
int SLMsgDataGetMsgType(const SLMsgData *data);
SFResult SLMsgDataSetMsgType(SLMsgData *data, int type);
uintptr_t SLMsgDataGetMsgId(const SLMsgData *data);
SFResult SLMsgDataSetMsgId(SLMsgData *data, uintptr_t id);
SFResult SLMsgDataSetMsgId3(SLMsgData *data, uintptr_t id, uintptr_t p1, uintptr_t p2, uintptr_t p3);
SLMsgDataCallback SLMsgDataGetCallback(const SLMsgData *data);
SFResult SLMsgDataSetCallback(SLMsgData *data, SLMsgDataCallback callback);
SFResult SLMsgDataSetCallback3(SLMsgData *data, SLMsgDataCallback callback, uintptr_t p1, uintptr_t p2, uintptr_t p3);
/** Type 3 with the id; takes the message (none allowed). */
SFResult SLMsgDataSetInternalMsg(SLMsgData *data, uintptr_t id, SLSipMsg *msg);
SLSipMsg *SLMsgDataGetSipMsg(const SLMsgData *data);
/** Takes the message, destroying the one held. */
SFResult SLMsgDataSetSipMsgPtr(SLMsgData *data, SLSipMsg *msg);
/** Stores a clone. */
SFResult SLMsgDataSetSipMsg(SLMsgData *data, const SLSipMsg *msg, int deep);
SFResult SLMsgDataSetRequest(SLMsgData *data, const SLSipMsg *msg, int deep);
SFResult SLMsgDataSetResponse(SLMsgData *data, const SLSipMsg *msg, int deep);
/** The message, which the envelope forgets. */
SLSipMsg *SLMsgDataDetachSipMsg(SLMsgData *data);
/** Takes a malloc'd block when both data and length are non-zero (frees what was held). */
SFResult SLMsgDataSetBinaryPtr(SLMsgData *data, void *bytes, uint32_t length);
SFResult SLMsgDataSetBinary(SLMsgData *data, const void *bytes, uint32_t length);
/** The binary data, which the envelope forgets; the caller frees it with free(). */
void *SLMsgDataDetachBinary(SLMsgData *data);
/** Index 1..3: parameters; 0: the binary length; others read 0 and are ignored. */
uintptr_t SLMsgDataGetParam(const SLMsgData *data, int index);
SFResult SLMsgDataSetParam(SLMsgData *data, int index, uintptr_t value);
SFResult SLMsgDataClearParams(SLMsgData *data);
SLMsgData *SLMsgDataClone(const SLMsgData *data, int deep);

SFResult SLMsgInitialize(void);
void SLMsgCleanup(void);
SLMsg *SLMsgCreate(int type, uint16_t eventCode, int interfaceId);
void SLMsgDestroy(SLMsg *msg);
SLMsg *SLMsgClone(const SLMsg *msg);
int SLMsgGetMsgType(const SLMsg *msg);
uint16_t SLMsgGetEventCode(const SLMsg *msg);
SLSipMsg *SLMsgGetSipMsg(const SLMsg *msg);
SFResult SLMsgSetSipMsg(SLMsg *msg, SLSipMsg *sipMsg);
int SLMsgGetInterfaceId(const SLMsg *msg);
SFResult SLMsgSetInterfaceId(SLMsg *msg, int interfaceId);
/** 0, or -1 without record, text or memory; an empty text clears. */
int SLMsgSetRecvAddress(SLMsg *msg, const char *text);
int SLMsgSetAddress(SLMsg *msg, const char *text);
const char *SLMsgGetRecvAddress(const SLMsg *msg);
const char *SLMsgGetAddress(const SLMsg *msg);
SFResult SLMsgSetRecvPort(SLMsg *msg, uint16_t port);
uint16_t SLMsgGetRecvPort(const SLMsg *msg);
SFResult SLMsgSetPort(SLMsg *msg, uint16_t port);
uint16_t SLMsgGetPort(const SLMsg *msg);
SFResult SLMsgSetRecvTransport(SLMsg *msg, int transport);
int SLMsgGetRecvTransport(const SLMsg *msg);
SFResult SLMsgSetTransport(SLMsg *msg, int transport);
int SLMsgGetTransport(const SLMsg *msg);
/** Non-zero on success. */
int SLMsgSetBinary(SLMsg *msg, const void *bytes, uint32_t length);
const void *SLMsgGetBinary(const SLMsg *msg, uint32_t *length);
uintptr_t *SLMsgGetEventData(SLMsg *msg);
/** Frames and parses received bytes: bytes consumed, a negative framing code, or -1. */
int SLMsgSipMsgParse(SLMsg **out, const char *data, int length, int mode);
/** Encodes the record's message into buffer; *size: capacity in, bytes written out (0 on failure). */
SFResult SLMsgSipMsgEncode(const SLMsg *msg, char *buffer, size_t *size);

// Builders and validation.
typedef SFResult (*SLMsgReplyMaker)(SLMsgData **out, const SLMsgData *request, unsigned status,
                                    const char *reason, const char *tag, void *context);
typedef SFResult (*SLMsgValidator)(const SLMsgData *data, void *context, SLMsgReplyMaker maker, int *valid,
                                   SLMsgData **reply);

SFResult SLMsgMakeCancelRequest(SLMsgData **out, const SLMsgData *request);
SFResult SLMsgMakeAckRequest(SLMsgData **out, const SLMsgData *request, const SLMsgData *response);
SFResult SLMsgMakeResponse(SLMsgData **out, const SLMsgData *request, unsigned status, const char *reason,
                           const char *tag, int addTag);
SFResult SLMsgValidate(const SLMsgData *data, int *valid, SLMsgData **reply, SLMsgValidator extra,
                       SLMsgReplyMaker maker, void *context);
SFResult SLMsgSimpleValidate(const SLMsgData *data, void *context, SLMsgReplyMaker maker, int *valid,
                             SLMsgData **reply);
