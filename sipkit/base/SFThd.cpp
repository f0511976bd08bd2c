// Threads and mutexes over POSIX.
#include "SFThd.h"

#include <cerrno>
#include <cstring>

namespace {

void* trampoline(void* record)
{
    SFThdThread* thread = static_cast<SFThdThread*>(record);
    thread->procedure(thread, thread->argument);
    return nullptr;
}

}  // namespace

int SFThdInitialize(void) { return 0; }
void SFThdCleanup(void) {}

int SFThdBeginThread(SFThdThread* thread, SFThdProcedure procedure, void* argument)
{
    if (!thread || !procedure)
        return EINVAL;
    // Stored before the thread starts: the thread reads them from the record.
    thread->procedure = procedure;
    thread->argument = argument;
    const int rc = pthread_create(&thread->id, nullptr, trampoline, thread);
    if (rc != 0) {
        thread->procedure = nullptr;
        thread->argument = nullptr;
    }
    return rc;
}

int SFThdEndThread(SFThdThread* thread)
{
    if (!thread || !thread->procedure)
        return 0;
    const int rc = pthread_join(thread->id, nullptr);
    std::memset(&thread->id, 0, sizeof thread->id);
    thread->procedure = nullptr;
    thread->argument = nullptr;
    return rc;
}

int SFThdInitializeMutex(SFThdMutex* mutex)
{
    if (!mutex)
        return EINVAL;
    mutex->initialized = 0;
    const int rc = pthread_mutex_init(&mutex->mutex, nullptr);
    if (rc == 0)
        mutex->initialized = 1;
    return rc;
}

void SFThdDeleteMutex(SFThdMutex* mutex)
{
    if (!mutex || !mutex->initialized)
        return;
    pthread_mutex_destroy(&mutex->mutex);
    mutex->initialized = 0;
}

int SFThdLockMutex(SFThdMutex* mutex)
{
    return mutex ? pthread_mutex_lock(&mutex->mutex) : EINVAL;
}

int SFThdReleaseMutex(SFThdMutex* mutex)
{
    return mutex ? pthread_mutex_unlock(&mutex->mutex) : EINVAL;
}
