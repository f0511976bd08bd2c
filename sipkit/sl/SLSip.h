#pragma once
// Start-up and clean-up of the lower SIP layer as one unit (called by the dialog manager).

#include <cstdint>

#include "SFResult.h"

constexpr SFResult SL_SIP_ERR_ALREADY_STARTED = SFResultError(SF_MODULE_SIP, SF_CODE_ALREADY_INITIALIZED);
constexpr SFResult SL_SIP_ERR_NOT_STARTED = SFResultError(SF_MODULE_SIP, SF_CODE_NOT_INITIALIZED);

// Start-up flags: one bit per module, set after the module started.
enum : uint32_t {
    SL_SIP_FLAG_STARTED = 0x1,
    SL_SIP_FLAG_CMG = 0x4,
    SL_SIP_FLAG_CMG_TIMER = 0x8,
    SL_SIP_FLAG_TRM = 0x10,
    SL_SIP_FLAG_GENHDR = 0x20,
    SL_SIP_FLAG_SIPHDR = 0x40,
    SL_SIP_FLAG_SIPMSG = 0x80,
    SL_SIP_FLAG_MSG = 0x100,
    SL_SIP_FLAG_MSGDATA = 0x200,
    SL_SIP_FLAG_URI = 0x400,
    SL_SIP_FLAG_NET = 0x800,
    SL_SIP_FLAG_IFM = 0x1000,
    SL_SIP_FLAG_MEM = 0x2000,
    SL_SIP_FLAG_PARAM = 0x4000,
    SL_SIP_FLAG_ADDR = 0x8000,
};

// Starts every module in order; on a failure the modules already started are cleaned up and the
// failing module's error is returned. 0xA0A1800D when already started.
int SLSipInitialize(void);
// Cleans up the started modules; 0, or 0xA0A1800C when not started.
int SLSipCleanup(void);
// Stops only the stack message thread and the stack timers so the dialog manager can drain before
// the full clean-up; 0, or 0xA0A1800C when not started.
int SLSipStopMsgQueue(void);
// The start-up flags now in force.
uint32_t SLSipGetFlags(void);
// 87340.
uint32_t SLSipGetVersion(void);
