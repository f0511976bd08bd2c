#pragma once
// The random device read by SFUid, replaceable for tests (short reads, missing device).

// Uses `path` in place of "/dev/urandom" (none restores it); `useSystem` 0 skips the getrandom
// fallback so that the last-resort generator can be exercised.
void SFUidSetSource(const char* path, int useSystem);
