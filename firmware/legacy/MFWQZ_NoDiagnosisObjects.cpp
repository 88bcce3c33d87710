// The older release offers no diagnosis objects, so what the file loaders
// learn of "autocnf.bin" is not kept for them.
#include "MFWQZ_BusOd.h"

void MFWQZ_NoteAutoCnf(u32 timestamp, u32 length, u32 crc) {
  (void)timestamp;
  (void)length;
  (void)crc;
}
