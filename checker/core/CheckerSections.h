// The protected sections of a checker program's image for its memory
// self-test: .init, .text, .fini, .rodata and .rodata1 with their
// reference-CRC tables, bracketed by the program's linker-script fragment
// (cmake/ScmProtectedSections.ld). Included by each program's entry only.
#pragma once
#include "CProcessImageTesterSectionMap.h"
#include "ScmTypes.h"

// Bounds of the protected sections and their reference-CRC tables, defined by
// the program's linker-script fragment.
extern "C" {
extern const u8 LdInitStart[], LdInitEnd[], LdTextStart[], LdTextEnd[], LdFiniStart[], LdFiniEnd[];
extern const u8 LdRoDataStart[], LdRoDataEnd[], LdRoData1Start[], LdRoData1End[];
extern u32 LdInitCrcStart[], LdInitCrcEnd[], LdTextCrcStart[], LdTextCrcEnd[], LdFiniCrcStart[],
    LdFiniCrcEnd[];
extern u32 LdRoDataCrcStart[], LdRoDataCrcEnd[], LdRoData1CrcStart[], LdRoData1CrcEnd[];
}

namespace Main {

inline constexpr u32 ms_SectionCount = 5;  ///< protected sections of the image

inline constexpr Util::CProcessImageTesterSectionMap initSectionMap(LdInitStart, LdInitEnd, LdInitCrcStart,
                                                                    LdInitCrcEnd);  ///< .init
inline constexpr Util::CProcessImageTesterSectionMap textSectionMap(LdTextStart, LdTextEnd, LdTextCrcStart,
                                                                    LdTextCrcEnd);  ///< .text
inline constexpr Util::CProcessImageTesterSectionMap finiSectionMap(LdFiniStart, LdFiniEnd, LdFiniCrcStart,
                                                                    LdFiniCrcEnd);  ///< .fini
inline constexpr Util::CProcessImageTesterSectionMap roDataSectionMap(LdRoDataStart, LdRoDataEnd,
                                                                      LdRoDataCrcStart,
                                                                      LdRoDataCrcEnd);  ///< .rodata
inline constexpr Util::CProcessImageTesterSectionMap roData1SectionMap(LdRoData1Start, LdRoData1End,
                                                                       LdRoData1CrcStart,
                                                                       LdRoData1CrcEnd);  ///< .rodata1
/// The five maps in testing order.
inline constexpr const Util::CProcessImageTesterSectionMap* sectionMaps[ms_SectionCount] = {
    &initSectionMap, &textSectionMap, &finiSectionMap, &roDataSectionMap, &roData1SectionMap};

}  // namespace Main
