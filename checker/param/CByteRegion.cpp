#include "CByteRegion.h"

#include "CInternalError.h"

namespace Param {

void CByteRegion::Initialize(u32 size, u8* buffer) {
  UTIL_CHECK(!m_Open);
  UTIL_CHECK(buffer != nullptr);
  m_Region = buffer;
  m_Size = size;
  m_Position = 0;
}

void CByteRegion::Initialize(u32 size, const u8* buffer) {
  // Readers never write through the cursor; one cursor type serves readers and writers.
  Initialize(size, const_cast<u8*>(buffer));
}

void CByteRegion::Open() {
  UTIL_CHECK(!m_Open);
  UTIL_CHECK(m_Region != nullptr);
  m_Position = 0;
  m_Open = true;
}

void CByteRegion::Close() {
  UTIL_CHECK(m_Open);
  m_Open = false;
}

void CByteRegion::CheckOpen() const { UTIL_CHECK(m_Open); }

}  // namespace Param
