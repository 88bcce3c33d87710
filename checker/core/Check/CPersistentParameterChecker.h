// Compares the parameter checksums seen on the network with those the node
// list requires, read once at start-up. Every checksum is kept complemented.
#pragma once
#include "Check/CParameterChecker.h"
#include "Check/CSafetyAddressRange.h"

namespace Param {
class CInvertedParameterChecksumReader;
}

namespace Check {

class CPersistentParameterChecker : public CParameterChecker {
 public:
  static constexpr u32 ms_ChecksumLengthMax = 256;  ///< longest checksum in bytes
  static constexpr u32 ms_ChecksumLengthStep = 4;   ///< checksum lengths are multiples of this

  explicit CPersistentParameterChecker(Param::CInvertedParameterChecksumReader& requiredChecksums);
  ~CPersistentParameterChecker() override;

  CPersistentParameterChecker(const CPersistentParameterChecker&) = delete;
  CPersistentParameterChecker& operator=(const CPersistentParameterChecker&) = delete;

  void AddDiscoveredModule(u16 sadr, u32 length, const u8* invertedChecksum) override;
  void RemoveDiscoveredModule(u16 sadr) override;
  bool IsRequiredModule(u16 sadr) const override;
  bool IsDiscoveredModule(u16 sadr) const override;
  bool IsCompatibleModule(u16 sadr) const override;
  bool IsValidModule(u16 sadr) const override;
  /// Reads the required checksums once; every other operation throws 0xE200 before.
  virtual void Initialize();

 private:
  /// Throws 0xE200 before Initialize and 0xE2E3 (i1 SADR) outside 1..1023; returns the entry.
  u16 GetCheckedIndex(u16 sadr) const;

  static constexpr u16 ms_Count = CSafetyAddressRange::ms_SafetyAddressCount;  ///< table entries

  bool m_Required[ms_Count];                               ///< the node list names a checksum
  u32 m_RequiredLength[ms_Count];                          ///< required checksum length in bytes
  u8 m_RequiredChecksum[ms_Count][ms_ChecksumLengthMax];   ///< required checksum, complemented
  bool m_Discovered[ms_Count];                             ///< a checksum was seen since it was last removed
  bool m_Compatible[ms_Count];                             ///< the checksum seen equals the required one
  Param::CInvertedParameterChecksumReader& m_RequiredChecksums;  ///< node-list stream, not owned
  bool m_Initialized;                                      ///< Initialize ran
};

}  // namespace Check
