#include "CQorVariableCorvaneCopySource.h"

#include "CException.h"

namespace Main {

i32 CQorVariableCorvaneCopySource::ReadCorvaneCopy(u32 capacity, u8* buffer) {
  const u8 maxLength = capacity < ms_CorvaneLength ? static_cast<u8>(capacity) : ms_CorvaneLength;
  try {
    return m_Storage.Read(ms_CorvaneVariable, maxLength, buffer);
  } catch (const Util::CException&) {
    return ms_NoCopy;
  }
}

}  // namespace Main
