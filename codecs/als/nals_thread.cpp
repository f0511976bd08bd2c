// Thread layer over POSIX threads, job queues and the block-switching worker set.
#include "nals_thread.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "nals.h"
#include "nalse_impl.h"

struct NALS_MUTEX {
  pthread_mutex_t m;
};

struct NALS_SIGNAL {
  pthread_mutex_t m;  // recursive
  pthread_cond_t cv;
  int32_t set;
  int32_t broadcast;
};

struct NALSE_BSQUEUE {
  NALSE_BSJOB* head;
  NALSE_BSJOB* tail;
  uint32_t count;
  uint32_t threshold;
  NALS_SIGNAL* signal;  // set while count >= threshold
  NALS_MUTEX* mutex;
};

namespace {

bool InitRecursive(pthread_mutex_t* m) {
  pthread_mutexattr_t a;
  if (pthread_mutexattr_init(&a)) return false;
  pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
  bool ok = pthread_mutex_init(m, &a) == 0;
  pthread_mutexattr_destroy(&a);
  return ok;
}

// Applies the queue's signal rule after a change of its count or threshold.
void UpdateSignal(NALSE_BSQUEUE* q, bool before) {
  bool after = q->count >= q->threshold;
  if (after == before) return;
  if (after) NALS_SetSignal(q->signal);
  else NALS_ResetSignal(q->signal);
}

}  // namespace

extern "C" {

NALS_THREAD NALS_StartThread(void* (*fn)(void*), void* arg) {
  pthread_t t;
  if (pthread_create(&t, nullptr, fn, arg) != 0) return 0;
  return static_cast<NALS_THREAD>(t);
}

void NALS_StopThread(NALS_THREAD thread) {
  if (thread) pthread_join(static_cast<pthread_t>(thread), nullptr);
}

void NALS_Sleep(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

NALS_SIGNAL* NALS_CreateSignal(int32_t broadcast) {
  auto* s = static_cast<NALS_SIGNAL*>(std::calloc(1, sizeof(NALS_SIGNAL)));
  if (!s) return nullptr;
  if (!InitRecursive(&s->m)) {
    std::free(s);
    return nullptr;
  }
  if (pthread_cond_init(&s->cv, nullptr)) {
    pthread_mutex_destroy(&s->m);
    std::free(s);
    return nullptr;
  }
  s->broadcast = broadcast ? 1 : 0;
  return s;
}

void NALS_DestroySignal(NALS_SIGNAL* s) {
  if (!s) return;
  pthread_cond_destroy(&s->cv);
  pthread_mutex_destroy(&s->m);
  std::free(s);
}

void NALS_SetSignal(NALS_SIGNAL* s) {
  if (!s) return;
  pthread_mutex_lock(&s->m);
  s->set = 1;
  if (s->broadcast) pthread_cond_broadcast(&s->cv);
  else pthread_cond_signal(&s->cv);
  pthread_mutex_unlock(&s->m);
}

void NALS_ResetSignal(NALS_SIGNAL* s) {
  if (!s) return;
  pthread_mutex_lock(&s->m);
  s->set = 0;
  pthread_mutex_unlock(&s->m);
}

int32_t NALS_WaitSignal(NALS_SIGNAL* s, uint32_t ms) {
  if (!s) return 0;
  timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += ms / 1000;
  deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (deadline.tv_nsec > 999999999L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  pthread_mutex_lock(&s->m);
  while (!s->set) {
    if (pthread_cond_timedwait(&s->cv, &s->m, &deadline) == ETIMEDOUT) break;
  }
  int32_t got = s->set;
  if (got && !s->broadcast) s->set = 0;
  pthread_mutex_unlock(&s->m);
  return got ? 1 : 0;
}

NALS_MUTEX* NALS_CreateMutex(void) {
  auto* m = static_cast<NALS_MUTEX*>(std::calloc(1, sizeof(NALS_MUTEX)));
  if (m && !InitRecursive(&m->m)) {
    std::free(m);
    return nullptr;
  }
  return m;
}

void NALS_DestroyMutex(NALS_MUTEX* m) {
  if (!m) return;
  pthread_mutex_destroy(&m->m);
  std::free(m);
}

int32_t NALS_LockMutex(NALS_MUTEX* m) { return m && pthread_mutex_lock(&m->m) == 0 ? 1 : 0; }
int32_t NALS_UnlockMutex(NALS_MUTEX* m) { return m && pthread_mutex_unlock(&m->m) == 0 ? 1 : 0; }

int32_t NALSE_BSJob_Init(NALSE_BSJOB** out, int32_t (*work)(void*), const void* arg, uint32_t size) {
  if (!out || !work || (size && !arg)) return NALS_ERR_ARGUMENT;
  auto* j = static_cast<NALSE_BSJOB*>(std::calloc(1, sizeof(NALSE_BSJOB)));
  if (!j) return NALS_ERR_MEMORY;
  j->work = work;
  if (size) {
    j->arg = std::malloc(size);
    if (!j->arg) {
      std::free(j);
      return NALS_ERR_MEMORY;
    }
    std::memcpy(j->arg, arg, size);
  }
  *out = j;
  return 0;
}

int32_t NALSE_BSJob_Destroy(NALSE_BSJOB* job) {
  if (!job) return NALS_ERR_ARGUMENT;
  if (job->prev) job->prev->next = job->next;
  if (job->next) job->next->prev = job->prev;
  std::free(job->arg);
  std::free(job);
  return 0;
}

int32_t NALSE_BSQueue_Init(NALSE_BSQUEUE** out) {
  if (!out) return NALS_ERR_ARGUMENT;
  auto* q = static_cast<NALSE_BSQUEUE*>(std::calloc(1, sizeof(NALSE_BSQUEUE)));
  if (!q) return NALS_ERR_MEMORY;
  q->threshold = 1;
  q->signal = NALS_CreateSignal(1);
  if (!q->signal) {
    std::free(q);
    return NALS_ERR_SIGNAL;
  }
  q->mutex = NALS_CreateMutex();
  if (!q->mutex) {
    NALS_DestroySignal(q->signal);
    std::free(q);
    return NALS_ERR_MUTEX;
  }
  *out = q;
  return 0;
}

int32_t NALSE_BSQueue_Put(NALSE_BSQUEUE* q, NALSE_BSJOB* job) {
  if (!q || !job) return NALS_ERR_ARGUMENT;
  NALS_LockMutex(q->mutex);
  bool before = q->count >= q->threshold;
  job->next = nullptr;
  job->prev = q->tail;
  if (q->tail) q->tail->next = job;
  else q->head = job;
  q->tail = job;
  q->count += 1;
  UpdateSignal(q, before);
  NALS_UnlockMutex(q->mutex);
  return 0;
}

int32_t NALSE_BSQueue_Get(NALSE_BSQUEUE* q, NALSE_BSJOB** out) {
  if (!q || !out) return NALS_ERR_ARGUMENT;
  NALS_LockMutex(q->mutex);
  NALSE_BSJOB* j = q->head;
  if (j) {
    bool before = q->count >= q->threshold;
    q->head = j->next;
    if (q->head) q->head->prev = nullptr;
    else q->tail = nullptr;
    j->next = j->prev = nullptr;
    q->count -= 1;
    UpdateSignal(q, before);
  }
  NALS_UnlockMutex(q->mutex);
  *out = j;
  return 0;
}

int32_t NALSE_BSQueue_Wait(NALSE_BSQUEUE* q, uint32_t ms) {
  if (!q) return NALS_ERR_ARGUMENT;
  return NALS_WaitSignal(q->signal, ms) ? 0 : NALS_ERR_SIGNAL;
}

uint32_t NALSE_BSQueue_GetSize(NALSE_BSQUEUE* q) {
  if (!q) return 0;
  NALS_LockMutex(q->mutex);
  uint32_t n = q->count;
  NALS_UnlockMutex(q->mutex);
  return n;
}

int32_t NALSE_BSQueue_SetThreshold(NALSE_BSQUEUE* q, uint32_t threshold) {
  if (!q) return NALS_ERR_ARGUMENT;
  NALS_LockMutex(q->mutex);
  bool before = q->count >= q->threshold;
  q->threshold = threshold;
  UpdateSignal(q, before);
  NALS_UnlockMutex(q->mutex);
  return 0;
}

int32_t NALSE_BSQueue_Destroy(NALSE_BSQUEUE* q) {
  if (!q) return NALS_ERR_ARGUMENT;
  NALSE_BSJOB* j = q->head;
  while (j) {
    NALSE_BSJOB* next = j->next;
    j->prev = j->next = nullptr;
    NALSE_BSJob_Destroy(j);
    j = next;
  }
  NALS_DestroyMutex(q->mutex);
  NALS_DestroySignal(q->signal);
  std::free(q);
  return 0;
}

}  // extern "C"

namespace nals {

struct BS_WORKER {
  uint32_t index;
  NALS_THREAD thread;
  BS_THREADS* pool;
};

struct BS_THREADS {
  NALS_SIGNAL* stop;
  NALSE_BSQUEUE* jobs;
  NALSE_BSQUEUE* done;
  uint32_t started;
  BS_WORKER workers[15];
};

namespace {

void* NALSE_BSThread(void* arg) {
  auto* w = static_cast<BS_WORKER*>(arg);
  BS_THREADS* pool = w->pool;
  while (!NALS_WaitSignal(pool->stop, 0)) {
    if (NALSE_BSQueue_Wait(pool->jobs, 100) != 0) continue;
    NALSE_BSJOB* job = nullptr;
    NALSE_BSQueue_Get(pool->jobs, &job);
    if (!job) continue;
    job->result = job->work(job->arg);
    NALSE_BSQueue_Put(pool->done, job);
  }
  return nullptr;
}

}  // namespace

int32_t NALSE_BSThreads_Destroy(BS_THREADS* pool) {
  if (!pool) return NALS_ERR_ARGUMENT;
  NALS_SetSignal(pool->stop);
  for (uint32_t i = 0; i < pool->started; ++i) NALS_StopThread(pool->workers[i].thread);
  NALSE_BSQueue_Destroy(pool->jobs);
  NALSE_BSQueue_Destroy(pool->done);
  NALS_DestroySignal(pool->stop);
  std::free(pool);
  return 0;
}

int32_t NALSE_BSThreads_Init(BS_THREADS** out, uint32_t count) {
  if (!out) return NALS_ERR_ARGUMENT;
  *out = nullptr;
  if (count == 0) return 0;
  if (count > 15) count = 15;
  auto* pool = static_cast<BS_THREADS*>(std::calloc(1, sizeof(BS_THREADS)));
  if (!pool) return NALS_ERR_MEMORY;
  pool->stop = NALS_CreateSignal(1);
  if (!pool->stop) {
    std::free(pool);
    return NALS_ERR_SIGNAL;
  }
  int32_t r = NALSE_BSQueue_Init(&pool->jobs);
  if (!r) r = NALSE_BSQueue_Init(&pool->done);
  if (r) {
    if (pool->jobs) NALSE_BSQueue_Destroy(pool->jobs);
    NALS_DestroySignal(pool->stop);
    std::free(pool);
    return r;
  }
  for (uint32_t i = 0; i < count; ++i) {
    pool->workers[i].index = i + 1;
    pool->workers[i].pool = pool;
    pool->workers[i].thread = NALS_StartThread(NALSE_BSThread, &pool->workers[i]);
    if (!pool->workers[i].thread) break;
    pool->started += 1;
  }
  if (pool->started < count) {
    NALSE_BSThreads_Destroy(pool);
    return NALS_ERR_THREADS;
  }
  *out = pool;
  return 0;
}

namespace {
struct RunArg {
  void (*fn)(void*, uint32_t);
  void* arg;
  uint32_t index;
};
int32_t RunOne(void* p) {
  auto* a = static_cast<RunArg*>(p);
  a->fn(a->arg, a->index);
  return 0;
}
}  // namespace

void BSThreads_Run(BS_THREADS* pool, uint32_t count, void (*fn)(void* arg, uint32_t i), void* arg) {
  if (!pool) {
    for (uint32_t i = 0; i < count; ++i) fn(arg, i);
    return;
  }
  uint32_t queued = 0;
  for (uint32_t i = 0; i < count; ++i) {
    RunArg ra{fn, arg, i};
    NALSE_BSJOB* job = nullptr;
    if (NALSE_BSJob_Init(&job, RunOne, &ra, sizeof ra) != 0) {
      fn(arg, i);
      continue;
    }
    NALSE_BSQueue_Put(pool->jobs, job);
    ++queued;
  }
  while (queued) {
    NALSE_BSJOB* job = nullptr;
    if (NALSE_BSQueue_Wait(pool->done, 1000) != 0) continue;
    NALSE_BSQueue_Get(pool->done, &job);
    if (!job) continue;
    NALSE_BSJob_Destroy(job);
    --queued;
  }
}

}  // namespace nals
