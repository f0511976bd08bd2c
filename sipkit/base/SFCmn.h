#pragma once
// Start-up of the kit's base services, called once after the kit's log channel is created.

// Starts strings, memory, threads, queues, timers, time and ids in that order; 0 or the first error
// (the steps already done stay in force).
int SFCmnInitialize(void);
// Cleans them up in the reverse order (stops the timer thread).
void SFCmnCleanup(void);
