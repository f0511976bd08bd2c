#pragma once
// The modules that SLSipInitialize starts, in start-up order, each with its place in the clean-up
// order. A module joins by filling its entry in SLSipModules.cpp with its
//     int <Module>Initialize(void);   (negative result: failure)
//     void <Module>Cleanup(void);
// An entry without an initialise routine is a module not in this build and is skipped.

#include <cstddef>
#include <cstdint>

typedef struct SLSipModule {
    uint32_t flag;
    const char* name;
    int cleanupRank;  // 0 is cleaned up first
    int (*initialize)(void);
    void (*cleanup)(void);
} SLSipModule;

// The table in force (the build's own unless replaced).
const SLSipModule* SLSipGetModules(size_t* count);
// Replaces the table (none restores the build's own); only while the layer is stopped. For tests
// of the start-up and roll-back order.
void SLSipSetModules(const SLSipModule* modules, size_t count);
