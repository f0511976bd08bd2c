/* Portable thread layer of the ALS encoder: threads, signals, recursive mutexes, job queues and
 * the block-switching worker set. */
#ifndef NALS_THREAD_H
#define NALS_THREAD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct NALS_SIGNAL NALS_SIGNAL;
typedef struct NALS_MUTEX NALS_MUTEX;
typedef uintptr_t NALS_THREAD;

NALS_THREAD NALS_StartThread(void* (*fn)(void*), void* arg);
void NALS_StopThread(NALS_THREAD thread);
void NALS_Sleep(uint32_t ms);
NALS_SIGNAL* NALS_CreateSignal(int32_t broadcast);
void NALS_DestroySignal(NALS_SIGNAL* s);
void NALS_SetSignal(NALS_SIGNAL* s);
void NALS_ResetSignal(NALS_SIGNAL* s);
/* 1 when the signal is or becomes set within ms (an auto-reset signal is consumed), else 0. */
int32_t NALS_WaitSignal(NALS_SIGNAL* s, uint32_t ms);
NALS_MUTEX* NALS_CreateMutex(void);
void NALS_DestroyMutex(NALS_MUTEX* m);
int32_t NALS_LockMutex(NALS_MUTEX* m);
int32_t NALS_UnlockMutex(NALS_MUTEX* m);

typedef struct NALSE_BSJOB {
  struct NALSE_BSJOB* prev;
  struct NALSE_BSJOB* next;
  int32_t (*work)(void* arg);
  void* arg;      /* private copy of the caller's argument block */
  int32_t result;
} NALSE_BSJOB;

typedef struct NALSE_BSQUEUE NALSE_BSQUEUE;

int32_t NALSE_BSJob_Init(NALSE_BSJOB** out, int32_t (*work)(void*), const void* arg, uint32_t size);
int32_t NALSE_BSJob_Destroy(NALSE_BSJOB* job);
int32_t NALSE_BSQueue_Init(NALSE_BSQUEUE** out);
int32_t NALSE_BSQueue_Put(NALSE_BSQUEUE* q, NALSE_BSJOB* job);
int32_t NALSE_BSQueue_Get(NALSE_BSQUEUE* q, NALSE_BSJOB** out);
int32_t NALSE_BSQueue_Wait(NALSE_BSQUEUE* q, uint32_t ms);
uint32_t NALSE_BSQueue_GetSize(NALSE_BSQUEUE* q);
int32_t NALSE_BSQueue_SetThreshold(NALSE_BSQUEUE* q, uint32_t threshold);
int32_t NALSE_BSQueue_Destroy(NALSE_BSQUEUE* q);

#ifdef __cplusplus
}
#endif

#endif
