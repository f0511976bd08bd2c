// The modules of the lower SIP layer, in start-up order.
#include "SLSipModules.h"

#include "SLAddr.h"
#include "SLGenHdr.h"
#include "SLMem.h"
#include "SLMsg.h"
#include "SLParam.h"
#include "SLSip.h"
#include "SLSipHdr.h"
#include "SLSipMsg.h"
#include "SLUri.h"

namespace {

void uriCleanup(void) { SLUriCleanup(); }

// Clean-up order: SLCmg, SLCmgTimer, SLTrm, SLNet, SLIfm, SLMsg, SLMsgData, SLSipMsg, SLSipHdr,
// SLGenHdr, SLUri, SLAddr, SLParam, SLMem.
const SLSipModule kModules[] = {
    {SL_SIP_FLAG_MEM, "SLMem", 13, SLMemInitialize, SLMemCleanup},
    {SL_SIP_FLAG_PARAM, "SLParam", 12, SLParamInitialize, SLParamCleanup},
    {SL_SIP_FLAG_ADDR, "SLAddr", 11, SLAddrInitialize, SLAddrCleanup},
    {SL_SIP_FLAG_URI, "SLUri", 10, SLUriInitialize, uriCleanup},
    {SL_SIP_FLAG_GENHDR, "SLGenHdr", 9, SLGenHdrInitialize, SLGenHdrCleanup},
    {SL_SIP_FLAG_SIPHDR, "SLSipHdr", 8, SLSipHdrInitialize, SLSipHdrCleanup},
    {SL_SIP_FLAG_SIPMSG, "SLSipMsg", 7, SLSipMsgInitialize, SLSipMsgCleanup},
    {SL_SIP_FLAG_MSG, "SLMsg", 5, SLMsgInitialize, SLMsgCleanup},
    {SL_SIP_FLAG_MSGDATA, "SLMsgData", 6, SLMsgDataInitialize, SLMsgDataCleanup},
    {SL_SIP_FLAG_CMG_TIMER, "SLCmgTimer", 1, nullptr, nullptr},
    {SL_SIP_FLAG_CMG, "SLCmg", 0, nullptr, nullptr},
    {SL_SIP_FLAG_IFM, "SLIfm", 4, nullptr, nullptr},
    {SL_SIP_FLAG_NET, "SLNet", 3, nullptr, nullptr},
    {SL_SIP_FLAG_TRM, "SLTrm", 2, nullptr, nullptr},
};

const SLSipModule* g_modules = kModules;
size_t g_count = sizeof kModules / sizeof kModules[0];

}  // namespace

const SLSipModule* SLSipGetModules(size_t* count)
{
    if (count)
        *count = g_count;
    return g_modules;
}

void SLSipSetModules(const SLSipModule* modules, size_t count)
{
    if (modules) {
        g_modules = modules;
        g_count = count;
    } else {
        g_modules = kModules;
        g_count = sizeof kModules / sizeof kModules[0];
    }
}
