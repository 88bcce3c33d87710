#include "CheckerTestDomain.h"

#include <atomic>

#include "SafetyDomainNumber.h"

namespace {
/// The domain number of the running test.
std::atomic<u16> testDomain{7};
}  // namespace

void SetCheckerTestDomain(u16 sdn) { testDomain.store(sdn); }

u16 GetSafetyDomainNumber() { return testDomain.load(); }
