#include "CProcessImageTester.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"
#include "HNFiff_Crc.h"

namespace Util {

namespace {

/// Copies bytes one by one through volatile reads, so that neither the sanitizer
/// checks them nor the compiler turns the loop into an intercepted memcpy: the
/// tested sections hold the guard zones the sanitizer puts around globals.
__attribute__((no_sanitize("address"))) void CopyUninstrumented(const u8* source, u32 length, u8* target) {
  const volatile u8* from = source;
  for (u32 i = 0; i < length; ++i) {
    target[i] = from[i];
  }
}

}  // namespace

CProcessImageTester::CProcessImageTester(u32 sectionCount, const CProcessImageTesterSectionMap* const* maps)
    : m_SectionCount(sectionCount), m_Maps(maps), m_Section(0), m_Block(0), m_Tested(0), m_Crc(0) {
  UTIL_CHECK(maps != nullptr);
  for (u32 i = 0; i < sectionCount; ++i) {
    const CProcessImageTesterSectionMap* map = maps[i];
    UTIL_CHECK(map != nullptr);
    UTIL_CHECK(map->GetStart() != nullptr);
    UTIL_CHECK(map->GetEnd() != nullptr);
    UTIL_CHECK(map->GetCrcTableStart() != nullptr);
    UTIL_CHECK(map->GetCrcTableEnd() != nullptr);
    UTIL_CHECK(map->GetEnd() >= map->GetStart());
    UTIL_CHECK(map->GetCrcTableEnd() >= map->GetCrcTableStart());
    const auto length = static_cast<u64>(map->GetEnd() - map->GetStart());
    const u64 blocks = (length + ms_CrcBlockLength - 1) / ms_CrcBlockLength;
    UTIL_CHECK(static_cast<u64>(map->GetCrcTableEnd() - map->GetCrcTableStart()) == blocks);
  }
}

CProcessImageTester::~CProcessImageTester() = default;

u32 CProcessImageTester::GetRemaining() const {
  const CProcessImageTesterSectionMap* map = m_Maps[m_Section];
  const u64 length = static_cast<u64>(map->GetEnd() - map->GetStart());
  const u64 blockStart = static_cast<u64>(m_Block) * ms_CrcBlockLength;
  if (blockStart >= length) {
    return 0;
  }
  // Only the first 16 KiB of the rest are ever used, so a 32-bit count suffices.
  const u64 rest = length - blockStart;
  return rest > ms_CrcBlockLength ? ms_CrcBlockLength + 1 : static_cast<u32>(rest);
}

void CProcessImageTester::Advance() {
  ++m_Block;
  m_Tested = 0;
  m_Crc = 0;
  if (GetRemaining() == 0) {
    m_Block = 0;
    m_Section = (m_Section + 1) % m_SectionCount;
  }
}

u32 CProcessImageTester::ContinueCrc(u32 seed, const u8* data, u32 length) {
  u8 piece[ms_PartialCrcBlockLength] = {};
  u32 crc = seed;
  while (length > 0) {
    const u32 n = length < ms_PartialCrcBlockLength ? length : ms_PartialCrcBlockLength;
    CopyUninstrumented(data, n, piece);
    crc = HNFiff_Crc32CalcSwp(crc, static_cast<i32>(n), piece);
    data += n;
    length -= n;
  }
  return crc;
}

void CProcessImageTester::Initialize() {
  if (m_SectionCount == 0) {
    return;
  }
  const u32 firstSection = m_Section;
  const u32 firstBlock = m_Block;
  do {
    const u32 remaining = GetRemaining();
    if (remaining != 0) {
      const CProcessImageTesterSectionMap* map = m_Maps[m_Section];
      const u8* blockStart = map->GetStart() + static_cast<u64>(m_Block) * ms_CrcBlockLength;
      const u32 n = remaining < ms_CrcBlockLength ? remaining : ms_CrcBlockLength;
      map->GetCrcTableStart()[m_Block] = ContinueCrc(0, blockStart, n);
    }
    Advance();
  } while (m_Section != firstSection || m_Block != firstBlock);
}

void CProcessImageTester::TestOneMemoryBlock() {
  if (m_SectionCount == 0) {
    return;
  }
  const u32 remaining = GetRemaining();
  if (remaining == 0) {
    Advance();
    return;
  }
  const CProcessImageTesterSectionMap* map = m_Maps[m_Section];
  const u8* blockStart = map->GetStart() + static_cast<u64>(m_Block) * ms_CrcBlockLength;
  u32 n = remaining - m_Tested;
  if (n > ms_PartialCrcBlockLength) {
    n = ms_PartialCrcBlockLength;
  }
  m_Crc = ContinueCrc(m_Crc, blockStart + m_Tested, n);
  m_Tested += n;
  if (m_Tested == ms_CrcBlockLength || m_Tested == remaining) {
    if (m_Crc != map->GetCrcTableStart()[m_Block]) {
      throw CException(ErrorCodes::ms_MemoryBlockCrcDiffers, static_cast<u16>(m_Section), m_Block);
    }
    Advance();
  }
}

}  // namespace Util
