#pragma once
// Random identifiers for tags, branches, Call-IDs and nonces.
//
// Bytes come from the random device; a short read is completed, and when the device cannot be
// opened or read the system's random source (getrandom) is used instead, then a process-private
// generator that never repeats. A failure is never handed out as a random value.

#include <cstdint>

int SFUidInitialize(void);
void SFUidCleanup(void);

// Fills 16 random bytes; returns 0 (or 0xA083800B without a buffer).
int SFUidGenerateGuid(uint8_t guid[16]);
// 32 random bits.
uint32_t SFUidGenerateUniqueNumber(void);
