// Start-up of the base services.
#include "SFCmn.h"

#include "SFMem.h"
#include "SFQue.h"
#include "SFStr.h"
#include "SFThd.h"
#include "SFTim.h"
#include "SFTmr.h"
#include "SFUid.h"

namespace {

struct Service {
    int (*initialize)(void);
    void (*cleanup)(void);
};

const Service kServices[] = {
    {SFStrInitialize, SFStrCleanup}, {SFMemInitialize, SFMemCleanup}, {SFThdInitialize, SFThdCleanup},
    {SFQueInitialize, SFQueCleanup}, {SFTmrInitialize, SFTmrCleanup}, {SFTimInitialize, SFTimCleanup},
    {SFUidInitialize, SFUidCleanup},
};

}  // namespace

int SFCmnInitialize(void)
{
    for (const Service& s : kServices) {
        const int rc = s.initialize();
        if (rc != 0)
            return rc;
    }
    return 0;
}

void SFCmnCleanup(void)
{
    for (auto it = std::rbegin(kServices); it != std::rend(kServices); ++it)
        it->cleanup();
}
