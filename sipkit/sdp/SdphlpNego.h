#pragma once
// The negotiation engine behind the offer/answer sessions; called with the module lock held.

#include <cstdint>

#include "Sdphlp.h"

struct SdphlpNego {
    int32_t role;  // 0 none, 1 local offerer, 2 local answerer
    SdpAnnouncement* offer;
    SdpAnnouncement* answer;
    SdpAnnouncement* negotiatedOffer;
    SdpAnnouncement* negotiatedAnswer;
};

// Index of a control value (1000..1006) in a session's control array.
inline int32_t SdphlpControlIndex(int32_t type) { return type - 1000; }

void SdphlpNegoClear(SdphlpNego* nego);
int SdphlpNegoCopy(SdphlpNego* destination, const SdphlpNego* source);
int SdphlpNegoSetAgentType(SdphlpNego* nego, int32_t role);
int SdphlpNegoCreateOffer(SdphlpNego* nego, const SdpAnnouncement* previousLocal, const SdpAnnouncement* capability,
                          int increment);
int SdphlpNegoSetOffer(SdphlpNego* nego, const SdpAnnouncement* offer);
int SdphlpNegoSetAnswer(const int32_t* controls, SdphlpNego* nego, const SdpAnnouncement* answer,
                        const SdpAttribute* staticMap, SdphlpFmtpCheck check, void* user);
int SdphlpNegoCreateAnswer(SdphlpNego* nego, const int32_t* controls, const SdpAnnouncement* capability,
                           int capabilityChanged, int increment, const SdpAnnouncement* previousLocal,
                           const SdpAnnouncement* previousRemote, const SdpAnnouncement* previousNegotiatedLocal,
                           const SdpAnnouncement* previousNegotiatedRemote, const SdpAttribute* staticMap,
                           SdphlpFmtpNegotiate negotiate, void* user);
int32_t SdphlpGetOfferToolMode(const SdpAnnouncement* offer, const SdpMedia* offerMedia, const SdpAnnouncement* answer,
                               const SdpMedia* answerMedia);
