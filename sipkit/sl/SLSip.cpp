// Start-up and clean-up of the lower SIP layer.
#include "SLSip.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "SLSipModules.h"

namespace {

std::mutex g_mutex;  // start-up and clean-up may be called from any thread, never at once
uint32_t g_flags = 0;

// Cleans up the started modules among those whose flag is in `which`, in clean-up order.
void cleanupStarted(uint32_t which)
{
    size_t count = 0;
    const SLSipModule* modules = SLSipGetModules(&count);
    std::vector<const SLSipModule*> order;
    for (size_t i = 0; i < count; ++i)
        if ((g_flags & which & modules[i].flag) != 0)
            order.push_back(&modules[i]);
    std::stable_sort(order.begin(), order.end(),
                     [](const SLSipModule* a, const SLSipModule* b) { return a->cleanupRank < b->cleanupRank; });
    for (const SLSipModule* m : order) {
        if (m->cleanup)
            m->cleanup();
        g_flags &= ~m->flag;
    }
}

}  // namespace

int SLSipInitialize(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_flags & SL_SIP_FLAG_STARTED)
        return SL_SIP_ERR_ALREADY_STARTED;
    g_flags = SL_SIP_FLAG_STARTED;
    size_t count = 0;
    const SLSipModule* modules = SLSipGetModules(&count);
    for (size_t i = 0; i < count; ++i) {
        if (!modules[i].initialize)
            continue;
        const int rc = modules[i].initialize();
        if (rc < 0) {
            cleanupStarted(~SL_SIP_FLAG_STARTED);
            g_flags = 0;
            return rc;
        }
        g_flags |= modules[i].flag;
    }
    return 0;
}

int SLSipCleanup(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!(g_flags & SL_SIP_FLAG_STARTED))
        return SL_SIP_ERR_NOT_STARTED;
    cleanupStarted(~SL_SIP_FLAG_STARTED);
    g_flags = 0;
    return 0;
}

int SLSipStopMsgQueue(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!(g_flags & SL_SIP_FLAG_STARTED))
        return SL_SIP_ERR_NOT_STARTED;
    cleanupStarted(SL_SIP_FLAG_CMG | SL_SIP_FLAG_CMG_TIMER);
    return 0;
}

uint32_t SLSipGetFlags(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_flags;
}

uint32_t SLSipGetVersion(void) { return 87340; }
