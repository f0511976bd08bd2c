#pragma once
// Kit threads and mutexes: a thin layer over POSIX threads.

#include <pthread.h>

#include <cstdint>

struct SFThdThread;
typedef void (*SFThdProcedure)(SFThdThread* thread, void* argument);

typedef struct SFThdThread {
    pthread_t id;
    SFThdProcedure procedure;  // none when no thread runs
    void* argument;
} SFThdThread;

// A plain (non-recursive) mutex: locking it twice on one thread deadlocks.
typedef struct SFThdMutex {
    pthread_mutex_t mutex;
    int initialized;
} SFThdMutex;

int SFThdInitialize(void);
void SFThdCleanup(void);

// Starts a joinable thread running procedure(thread, argument). Returns 0 or the POSIX error (the
// record then holds no procedure).
int SFThdBeginThread(SFThdThread* thread, SFThdProcedure procedure, void* argument);
// Joins a started thread and clears the record; never called from that thread. Returns the join
// result; a record without a thread is left alone (0).
int SFThdEndThread(SFThdThread* thread);

int SFThdInitializeMutex(SFThdMutex* mutex);
// Destroys the mutex only when it was created: deleting twice or after a failed creation is harmless.
void SFThdDeleteMutex(SFThdMutex* mutex);
int SFThdLockMutex(SFThdMutex* mutex);
int SFThdReleaseMutex(SFThdMutex* mutex);
