// Settings of the stand-in from the environment. A test process reads them at
// every use, so that a test may change them while it runs; a program takes
// them once, before main (its environment is set by whoever starts it and
// does not change), so that no cycle of a running program scans the
// environment.
#include "rtp_internal.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace scmsim {
namespace {

/// Environment names of the settings, in the order of Setting.
constexpr const char* kNames[] = {"SCM_SIM_CLK_RATE", "SCM_SIM_HOST_SOCKET"};
/// Settings there are.
constexpr size_t kSettingCount = sizeof(kNames) / sizeof(kNames[0]);
/// Longest value kept, with its terminating NUL (socket paths stay below 108 bytes).
constexpr size_t kValueRoom = 256;

/// One setting as taken at start-up.
struct Kept {
  char value[kValueRoom];  ///< the value, when present
  bool present;            ///< the variable was set
  bool kept;               ///< taken (false: too long to keep, read at every use instead)
};

Kept gKept[kSettingCount];            ///< the values taken by FreezeSettings
std::atomic<bool> gFrozen{false};     ///< true once FreezeSettings ran

}  // namespace

const char* ReadSetting(Setting setting) {
  const size_t i = static_cast<size_t>(setting);
  if (gFrozen.load(std::memory_order_acquire) && gKept[i].kept) {
    return gKept[i].present ? gKept[i].value : nullptr;
  }
  return getenv(kNames[i]);
}

void FreezeSettings() {
  for (size_t i = 0; i < kSettingCount; ++i) {
    const char* value = getenv(kNames[i]);
    Kept& k = gKept[i];
    k.present = value != nullptr;
    k.kept = value == nullptr || strlen(value) < kValueRoom;
    if (value != nullptr && k.kept) {
      strcpy(k.value, value);
    }
  }
  gFrozen.store(true, std::memory_order_release);
}

}  // namespace scmsim
