#pragma once
// Kit message queues: each queue has its own worker thread, the single consumer of its elements.
//
// Any thread may enqueue. Elements are handled one at a time, in order, by handler(queue, payload,
// context), then passed to their completion routine. Handler, completion and threshold callbacks
// run without the queue mutex, so they may enqueue on the same queue.

#include <semaphore.h>

#include <atomic>
#include <cstdint>

#include "SFMem.h"
#include "SFThd.h"

struct SFQueQueue;
typedef void (*SFQueHandler)(SFQueQueue* queue, void* payload, void* context);
typedef void (*SFQueCompletion)(SFQueQueue* queue, void* payload, void* argument);
typedef void (*SFQueThresholdCallback)(SFQueQueue* queue, void* context);

// In front of every payload.
typedef struct SFQueElementHeader {
    SFQueElementHeader* next;
    SFQueElementHeader* prev;
    SFQueCompletion completion;
    void* completionArgument;
} SFQueElementHeader;
static_assert(sizeof(SFQueElementHeader) == 4 * sizeof(void*), "element header: links and completion");

typedef struct SFQueQueue {
    SFMemMemoryList elements;
    SFQueElementHeader* first;
    SFQueElementHeader* last;
    SFThdThread worker;
    SFThdMutex mutex;
    sem_t semaphore;  // one post per queued element
    int semaphoreReady;
    std::atomic<int> stop;
    SFQueHandler handler;
    void* context;
    std::atomic<uint32_t> count;
    uint32_t low;
    uint32_t high;
    SFQueThresholdCallback lowCallback;
    SFQueThresholdCallback highCallback;
    int aboveHigh;
} SFQueQueue;

int SFQueInitialize(void);
void SFQueCleanup(void);

// Creates the element list, mutex, semaphore and worker. On failure everything made is undone and
// 0xA0838008 (memory), -1 (semaphore) or the thread layer's error is returned.
int SFQueInitializeQueue(SFQueQueue* queue, uint32_t payloadSize, uint32_t initialCount, SFQueHandler handler,
                         void* context);
// Stops the worker (queued elements are not handled), passes every queued element to its completion
// in order and frees everything. Safe on a queue whose creation failed half-way.
void SFQueDeleteQueue(SFQueQueue* queue);
// A payload area for one element (not cleared), or none when memory runs out.
void* SFQuePrepareEnqueue(SFQueQueue* queue);
// Queues a payload obtained from SFQuePrepareEnqueue; sleeps 1 ms so the worker may run. Returns 0.
int SFQueEnqueue(SFQueQueue* queue, void* payload, SFQueCompletion completion, void* argument);
uint32_t SFQueGetCount(SFQueQueue* queue);
// After handling an element the worker reports, once per crossing, `high` or more waiting and then
// fewer than `low`; high 0 switches this off.
void SFQueSetThreshold(SFQueQueue* queue, uint32_t low, uint32_t high, SFQueThresholdCallback lowCallback,
                       SFQueThresholdCallback highCallback);
