// Message queues with one worker thread each.
#include "SFQue.h"

#include <sys/select.h>

#include <cerrno>

namespace {

SFQueElementHeader* headerOf(void* payload)
{
    return reinterpret_cast<SFQueElementHeader*>(static_cast<char*>(payload) - sizeof(SFQueElementHeader));
}

void* payloadOf(SFQueElementHeader* header)
{
    return reinterpret_cast<char*>(header) + sizeof(SFQueElementHeader);
}

// Takes the head element; none when the queue is empty. Called with the mutex held.
SFQueElementHeader* takeHead(SFQueQueue* queue)
{
    SFQueElementHeader* element = queue->first;
    if (!element)
        return nullptr;
    queue->first = element->next;
    if (queue->first)
        queue->first->prev = nullptr;
    else
        queue->last = nullptr;
    element->next = element->prev = nullptr;
    return element;
}

void worker(SFThdThread*, void* argument)
{
    SFQueQueue* queue = static_cast<SFQueQueue*>(argument);
    for (;;) {
        while (sem_wait(&queue->semaphore) != 0 && errno == EINTR) {
        }
        if (queue->stop.load())
            return;
        SFThdLockMutex(&queue->mutex);
        SFQueElementHeader* element = takeHead(queue);
        SFThdReleaseMutex(&queue->mutex);
        // A wake-up without an element (a failed wait, a stray post) has nothing to handle.
        if (!element)
            continue;
        void* payload = payloadOf(element);
        queue->handler(queue, payload, queue->context);
        if (element->completion)
            element->completion(queue, payload, element->completionArgument);

        SFQueThresholdCallback report = nullptr;
        SFThdLockMutex(&queue->mutex);
        SFMemFreeToMemoryList(&queue->elements, element);
        const uint32_t waiting = --queue->count;
        if (queue->high != 0) {
            if (!queue->aboveHigh && waiting >= queue->high) {
                queue->aboveHigh = 1;
                report = queue->highCallback;
            } else if (queue->aboveHigh && waiting < queue->low) {
                queue->aboveHigh = 0;
                report = queue->lowCallback;
            }
        }
        SFThdReleaseMutex(&queue->mutex);
        if (report)
            report(queue, queue->context);
    }
}

void clear(SFQueQueue* queue)
{
    queue->elements = SFMemMemoryList{};
    queue->first = queue->last = nullptr;
    queue->worker = SFThdThread{};
    queue->mutex.initialized = 0;
    queue->semaphoreReady = 0;
    queue->stop = 0;
    queue->handler = nullptr;
    queue->context = nullptr;
    queue->count = 0;
    queue->low = queue->high = 0;
    queue->lowCallback = queue->highCallback = nullptr;
    queue->aboveHigh = 0;
}

}  // namespace

int SFQueInitialize(void) { return 0; }
void SFQueCleanup(void) {}

int SFQueInitializeQueue(SFQueQueue* queue, uint32_t payloadSize, uint32_t initialCount, SFQueHandler handler,
                         void* context)
{
    if (!queue || !handler)
        return SFResultError(SF_MODULE_MEM, SF_CODE_INVALID_ARGUMENT);
    clear(queue);
    queue->handler = handler;
    queue->context = context;
    int rc = SFMemInitializeMemoryList(&queue->elements, payloadSize + sizeof(SFQueElementHeader), initialCount);
    if (rc != 0)
        return rc;
    rc = SFThdInitializeMutex(&queue->mutex);
    if (rc != 0) {
        SFQueDeleteQueue(queue);
        return SFResultError(SF_MODULE_MEM, SF_CODE_NO_MEMORY);
    }
    if (sem_init(&queue->semaphore, 0, 0) != 0) {
        SFQueDeleteQueue(queue);
        return -1;
    }
    queue->semaphoreReady = 1;
    rc = SFThdBeginThread(&queue->worker, worker, queue);
    if (rc != 0) {
        SFQueDeleteQueue(queue);
        return rc;
    }
    return 0;
}

void SFQueDeleteQueue(SFQueQueue* queue)
{
    if (!queue)
        return;
    if (queue->worker.procedure) {
        queue->stop = 1;
        sem_post(&queue->semaphore);
        SFThdEndThread(&queue->worker);
    }
    if (queue->semaphoreReady) {
        sem_destroy(&queue->semaphore);
        queue->semaphoreReady = 0;
    }
    SFThdDeleteMutex(&queue->mutex);
    while (SFQueElementHeader* element = takeHead(queue)) {
        if (element->completion)
            element->completion(queue, payloadOf(element), element->completionArgument);
        SFMemFreeToMemoryList(&queue->elements, element);
    }
    queue->count = 0;
    SFMemDeleteMemoryList(&queue->elements);
    queue->first = queue->last = nullptr;
}

void* SFQuePrepareEnqueue(SFQueQueue* queue)
{
    if (!queue || !queue->mutex.initialized)
        return nullptr;
    SFThdLockMutex(&queue->mutex);
    void* element = SFMemAllocateFromMemoryList(&queue->elements);
    SFThdReleaseMutex(&queue->mutex);
    if (!element)
        return nullptr;
    *static_cast<SFQueElementHeader*>(element) = SFQueElementHeader{};
    return payloadOf(static_cast<SFQueElementHeader*>(element));
}

int SFQueEnqueue(SFQueQueue* queue, void* payload, SFQueCompletion completion, void* argument)
{
    if (!queue || !payload)
        return SFResultError(SF_MODULE_MEM, SF_CODE_INVALID_ARGUMENT);
    SFQueElementHeader* element = headerOf(payload);
    element->completion = completion;
    element->completionArgument = argument;
    SFThdLockMutex(&queue->mutex);
    element->next = nullptr;
    element->prev = queue->last;
    if (queue->last)
        queue->last->next = element;
    else
        queue->first = element;
    queue->last = element;
    ++queue->count;
    SFThdReleaseMutex(&queue->mutex);
    sem_post(&queue->semaphore);
    // Gives the worker a chance to run at once and throttles producers.
    struct timeval pause = {0, 1000};
    select(0, nullptr, nullptr, nullptr, &pause);
    return 0;
}

uint32_t SFQueGetCount(SFQueQueue* queue)
{
    return queue ? queue->count.load() : 0;
}

void SFQueSetThreshold(SFQueQueue* queue, uint32_t low, uint32_t high, SFQueThresholdCallback lowCallback,
                       SFQueThresholdCallback highCallback)
{
    if (!queue)
        return;
    SFThdLockMutex(&queue->mutex);
    queue->low = low;
    queue->high = high;
    queue->lowCallback = lowCallback;
    queue->highCallback = highCallback;
    queue->aboveHigh = 0;
    SFThdReleaseMutex(&queue->mutex);
}
