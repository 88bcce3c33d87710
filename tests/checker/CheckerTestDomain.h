// The domain number the checker's classes see in unit tests (the program's
// entry defines it from the environment; tests set it directly).
#pragma once
#include "ScmTypes.h"

/// Sets what GetSafetyDomainNumber() returns.
void SetCheckerTestDomain(u16 sdn);
