// The checker's safety domain number, read once at static construction by the
// program's entry (which defines this function); every queue, semaphore and
// task name and every host system call takes it.
#pragma once
#include "ScmTypes.h"

/// The domain number (1 to 1023) of this checker.
u16 GetSafetyDomainNumber();
