// The older release has no new status record: its code is answered as an
// unknown status code, nothing built.
#include "MFWQZ_Remote.h"

u32 MFWQZ_NewStatusRecord(u8* answer, const u8* cmd) {
  (void)answer;
  (void)cmd;
  return 0;
}
