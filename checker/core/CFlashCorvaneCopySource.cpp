#include "CFlashCorvaneCopySource.h"

#include "SafetyDomainNumber.h"
#include "ScmSystemCalls.h"

namespace Main {

i32 CFlashCorvaneCopySource::ReadCorvaneCopy(u32 capacity, u8* buffer) {
  return ScmReadQorFlashFile(GetSafetyDomainNumber(), ms_CorvaneFlashFile, ms_FlashFileWholeArea, capacity, buffer);
}

CFlashCorvaneCopySource& GetFlashCorvaneCopySource() {
  static CFlashCorvaneCopySource source;
  return source;
}

}  // namespace Main
