// The Qor controller's flash-file calls 0x94 and 0x95. Only the current
// release's host library carries them: the older release's list leaves this
// file out, so a use in older code fails to link.
#include "ScmSyscallWords.h"
#include "ScmSystemCalls.h"

using namespace ScmSyscall;

namespace {

/// Flash-file calls: SDN, area, offset, count, buffer, count word.
i32 FlashCall(int number, u16 sdn, u32 area, u32 offset, u32 count, const void* buffer) {
  if (MissingBuffer(buffer, count)) {
    return -1;
  }
  u32 done = 0;
  const _Vx_usr_arg_t result =
      Call(number, Word(sdn), Word(area), Word(offset), Word(count), Address(buffer), Address(&done));
  return Count(result, done, count);
}

}  // namespace

i32 ScmReadQorFlashFile(u16 sdn, u32 area, u32 offset, u32 count, void* buffer) {
  return FlashCall(SCM_SC_READ_QOR_FLASH_FILE, sdn, area, offset, count, buffer);
}

i32 ScmWriteQorFlashFile(u16 sdn, u32 area, u32 offset, u32 count, const void* buffer) {
  return FlashCall(SCM_SC_WRITE_QOR_FLASH_FILE, sdn, area, offset, count, buffer);
}

