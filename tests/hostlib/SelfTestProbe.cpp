// A minimal program that runs the executable self-test on itself, built like
// the system's programs (with its CRC companion), so that tests can run it and
// copies of it spoilt in one way each. Prints each event and the result;
// exits 0 when the executable matched, else 1.
#include <cstdio>

#include "HNFevt_EventHook.h"
#include "HNFhwt_SelfTest.h"

/// Bytes nothing reads: tests flip one of them to spoil the file without changing what it does.
extern "C" __attribute__((used)) const char ScmProbeFlipTarget[] = "scm-selftest-probe-flip-target:0123456789abcdef";

void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level) {
  std::printf("event code=0x%08X information0=%u information1=%u level=%u\n", static_cast<unsigned>(code),
              static_cast<unsigned>(information0), static_cast<unsigned>(information1), static_cast<unsigned>(level));
  std::fflush(stdout);
}

int main() {
  const u8 result = HNFhwt_VerifyExecutable();
  std::printf("result=%u\n", static_cast<unsigned>(result));
  std::fflush(stdout);
  return result == 1 ? 0 : 1;
}
