// Memory of the dialog manager, used by this layer for short-lived texts it builds on the
// dialog manager's behalf. Defined by the dialog manager.
#pragma once
#include <stddef.h>

void *SLDmMemAlloc(size_t size);
void SLDmMemFree(void *block);
