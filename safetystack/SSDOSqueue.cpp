// The SSDO server's preload queue size (the older release has no preload and
// leaves this source out).
#include "SSDOS.h"
#include "SSDOSint.h"

namespace {
constexpr u8 k_QUEUE_MAX = 15;  ///< largest preload queue size
}  // namespace

bool SSDOS_SetQueueSize(u8 size) {
  SCFM_Tack();
  if (size < 1 || size > k_QUEUE_MAX) {
    SSDOS_ucQueueSize = 1;
    return false;
  }
  SSDOS_ucQueueSize = size;
  return true;
}
