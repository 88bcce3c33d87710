// What the object readers share: the object ranges of the node list, and the
// refusal that first closes the record stream, so that the file's section is
// free again when the error reaches the caller.
#pragma once
#include "CParameterReader.h"
#include "ScmTypes.h"

namespace Param {

class CObjectRecord {
 public:
  static constexpr u16 ms_NodeIndexFirst = 0xC400;        ///< first node list object
  static constexpr u16 ms_NodeIndexLast = 0xC7FE;         ///< last node list object
  static constexpr u16 ms_UdidIndexBase = 0xCC00;         ///< UDID object = base + SADR
  static constexpr u16 ms_UdidIndexFirst = 0xCC01;        ///< first UDID object
  static constexpr u16 ms_UdidIndexLast = 0xCFFF;         ///< last UDID object
  static constexpr u16 ms_HeaderIndexFirst = 0xE400;      ///< first additional-parameter list
  static constexpr u16 ms_HeaderIndexLast = 0xE7FE;       ///< last additional-parameter list
  static constexpr u16 ms_CommissioningIndex = 0x210B;    ///< commissioning settings object
  static constexpr u16 ms_ConfigurationIndex = 0x2106;    ///< automatic configuration object
  static constexpr u32 ms_FlagLength = 4;                 ///< bytes of a flag object (u32)
  static constexpr u32 ms_SafetyAddressLength = 2;        ///< bytes of a SADR sub-index
  static constexpr u32 ms_HeaderLength = 16;              ///< bytes of an additional-parameter header
  static constexpr u8 ms_ParameterNumberMax = 15;         ///< highest additional-parameter number

  /// True for the node list objects 0xC400 to 0xC7FE.
  static bool IsNodeIndex(u16 index) { return index >= ms_NodeIndexFirst && index <= ms_NodeIndexLast; }

  /// The SADR of a sub-index 1 record; a length other than 2 (0xE2B4 (1, length)) or a value
  /// outside 1 to 1023 (0xE2B6) closes the record stream and throws.
  static u16 TakeSafetyAddress(CParameterReader& records, u32 length, const u8* data);
  /// Closes the record stream, then throws (code, information0, information1).
  [[noreturn]] static void CloseAndRefuse(CParameterReader& records, u16 code, u16 information0, u32 information1);

  CObjectRecord() = delete;
};

}  // namespace Param
