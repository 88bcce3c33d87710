// Memory CRC manager: re-checks the program's own code and constant data, 256
// bytes per cycle, against reference CRCs taken once at start-up.
#include "HNFhwt.h"

#include "EPSglobal.h"
#include "HNFevt.h"
#include "HNFhwt_SelfTest.h"
#include "HNFiff_Crc.h"
#include "HNFiff_ModuleState.h"

HNFhwt_Position HNFhwt_gPosition;

/// The protected sections main handed over.
static const HNFhwt_Section* HNFhwt_pSections;
/// Entries of that table.
static u32 HNFhwt_ulSectionCount;

void HNFhwt_SetSections(const HNFhwt_Section* table, u32 count) {
  HNFhwt_pSections = table;
  HNFhwt_ulSectionCount = count;
  HNFhwt_gPosition = HNFhwt_Position{};
}

/// Copies protected bytes one by one through volatile reads: the address
/// sanitizer must not check them (its guard zones around globals lie in the
/// sections) and the compiler must not turn the loop into an intercepted memcpy.
__attribute__((no_sanitize("address"))) static void HNFhwt_CopyProtected(const u8* source, u32 length, u8* target) {
  const volatile u8* pucFrom = source;
  for (u32 i = 0; i < length; ++i) {
    target[i] = pucFrom[i];
  }
}

/// CRC-32 of protected bytes, continued from seed.
static u32 HNFhwt_Crc(u32 seed, const u8* data, u32 length) {
  u8 aucCopy[HNFhwt_kStepBytes];
  u32 ulCrc = seed;
  while (length > 0) {
    const u32 ulPart = length < HNFhwt_kStepBytes ? length : HNFhwt_kStepBytes;
    HNFhwt_CopyProtected(data, ulPart, aucCopy);
    ulCrc = HNFiff_Crc32CalcSwp(ulCrc, static_cast<i32>(ulPart), aucCopy);
    data += ulPart;
    length -= ulPart;
  }
  return ulCrc;
}

static u32 HNFhwt_Length(const HNFhwt_Section& rSection) {
  return static_cast<u32>(rSection.pucEnd - rSection.pucStart);
}

u8 HNFhwt_TakeReferences(void) {
  if (HNFhwt_pSections == nullptr || HNFhwt_ulSectionCount != HNFhwt_kSectionCount) {
    return 1;
  }
  for (u32 s = 0; s < HNFhwt_kSectionCount; ++s) {
    const HNFhwt_Section& rSection = HNFhwt_pSections[s];
    if (rSection.pucStart == nullptr || rSection.pucEnd < rSection.pucStart || rSection.pulCrcStart == nullptr ||
        rSection.pulCrcEnd < rSection.pulCrcStart) {
      return 1;
    }
    const u32 ulLength = HNFhwt_Length(rSection);
    const u32 ulBlocks = (ulLength + HNFhwt_kBlockSize - 1) / HNFhwt_kBlockSize;
    if (static_cast<u32>(rSection.pulCrcEnd - rSection.pulCrcStart) != ulBlocks) {
      return 1;
    }
    for (u32 b = 0; b < ulBlocks; ++b) {
      const u32 ulAt = b * HNFhwt_kBlockSize;
      const u32 ulSize = ulLength - ulAt < HNFhwt_kBlockSize ? ulLength - ulAt : HNFhwt_kBlockSize;
      rSection.pulCrcStart[b] = HNFhwt_Crc(0, rSection.pucStart + ulAt, ulSize);
    }
  }
  HNFhwt_gPosition = HNFhwt_Position{};
  return 0;
}

u8 HNFhwt_Init(void) {
  if (HNFhwt_VerifyExecutable() == 0) {
    return 1;
  }
  return HNFhwt_TakeReferences();
}

void HNFhwt_Manager(void) {
  if (HNFhwt_pSections == nullptr || HNFhwt_ulSectionCount != HNFhwt_kSectionCount ||
      HNFiff_ModuleStateRead() != HNFiff_kModuleStateNormal) {
    return;
  }
  HNFhwt_Position& rPos = HNFhwt_gPosition;
  for (u32 ulSkipped = 0; HNFhwt_Length(HNFhwt_pSections[rPos.ulSection]) == 0; ++ulSkipped) {
    if (ulSkipped == HNFhwt_kSectionCount) {
      return;  // nothing protected at all
    }
    rPos = HNFhwt_Position{(rPos.ulSection + 1) % HNFhwt_kSectionCount, 0, 0, 0};
  }
  const HNFhwt_Section& rSection = HNFhwt_pSections[rPos.ulSection];
  const u32 ulLength = HNFhwt_Length(rSection);
  const u32 ulBlockAt = rPos.ulBlock * HNFhwt_kBlockSize;
  const u32 ulBlockSize = ulLength - ulBlockAt < HNFhwt_kBlockSize ? ulLength - ulBlockAt : HNFhwt_kBlockSize;
  const u8* pucBlock = rSection.pucStart + ulBlockAt;
  const u32 ulRest = ulBlockSize - rPos.ulOffset;
  const u32 ulPart = ulRest < HNFhwt_kStepBytes ? ulRest : HNFhwt_kStepBytes;
  rPos.ulCrc = HNFhwt_Crc(rPos.ulCrc, pucBlock + rPos.ulOffset, ulPart);
  rPos.ulOffset += ulPart;
  if (rPos.ulOffset < ulBlockSize) {
    return;
  }
  if (rPos.ulCrc != rSection.pulCrcStart[rPos.ulBlock]) {
    HNFevt_EnregisterEventInfo(HNFhwt_kEvtMemoryCrc, 0,
                               static_cast<u32>(reinterpret_cast<uintptr_t>(pucBlock)));
  }
  rPos.ulCrc = 0;
  rPos.ulOffset = 0;
  ++rPos.ulBlock;
  if (ulBlockAt + ulBlockSize >= ulLength) {
    rPos.ulBlock = 0;
    rPos.ulSection = (rPos.ulSection + 1) % HNFhwt_kSectionCount;
  }
}
