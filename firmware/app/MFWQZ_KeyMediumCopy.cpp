// The key-medium copy in the Qor controller's flash file 16. A failed call
// raises nothing: the caller counts the identity as not available.
#include "MFWQZ_KeyMedium.h"

#include "HNFstp.h"
#include "ScmSystemCalls.h"

u8 MFWQZ_ReadKeyMediumCopy(u8 id[MFWQZ_kCorvaneUidBytes]) {
  return ScmReadQorFlashFile(HNFstp_usSdn, MFWQZ_kQorFlashArea, MFWQZ_kQorFlashWhole, MFWQZ_kCorvaneUidBytes, id) ==
                 static_cast<i32>(MFWQZ_kCorvaneUidBytes)
             ? 1
             : 0;
}

u8 MFWQZ_WriteKeyMediumCopy(const u8 id[MFWQZ_kCorvaneUidBytes]) {
  return ScmWriteQorFlashFile(HNFstp_usSdn, MFWQZ_kQorFlashArea, MFWQZ_kQorFlashWhole, MFWQZ_kCorvaneUidBytes, id) ==
                 static_cast<i32>(MFWQZ_kCorvaneUidBytes)
             ? 1
             : 0;
}
