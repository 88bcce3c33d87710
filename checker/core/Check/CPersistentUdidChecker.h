// Keeps, per SADR, what is required (the node list), what was acknowledged
// ("corvane.dat.chk" and the UDID list of "autocnf.bin") and what was
// discovered on the network, and writes new acknowledgements back through the
// persistence. UDIDs are kept complemented.
//
// Invariant: the unacknowledged count is the number of SADRs that are required
// and discovered but not both matching and consistent.
#pragma once
#include "Check/CSafetyAddressRange.h"
#include "Check/CUdidChecker.h"

namespace Param {
class CSafetyAddressReader;
class CInvertedUdidReader;
class CInvertedUdidWriter;
}  // namespace Param

namespace Check {

class CPersistentUdidCheckerCallback;

class CPersistentUdidChecker : public CUdidChecker {
 public:
  static constexpr u32 ms_UdidLength = 6;  ///< bytes of a UDID

  CPersistentUdidChecker(Param::CSafetyAddressReader& required, Param::CInvertedUdidReader& acknowledged,
                         Param::CInvertedUdidWriter& acknowledgedWriter, CPersistentUdidCheckerCallback& callback);
  ~CPersistentUdidChecker() override;

  CPersistentUdidChecker(const CPersistentUdidChecker&) = delete;
  CPersistentUdidChecker& operator=(const CPersistentUdidChecker&) = delete;

  void AddDiscoveredModule(u16 sadr, const u8* invertedUdid) override;
  void RemoveDiscoveredModule(u16 sadr) override;
  void AddDiscoveredEncoder(u16 sadr) override;
  void RemoveDiscoveredEncoder(u16 sadr) override;
  u32 GetUnacknowledgedModuleCount() const override;
  bool TryAcknowledgeModules(u32 count) override;
  bool IsRequiredModule(u16 sadr) const override;
  bool IsAcknowledgedModule(u16 sadr) const override;
  bool IsDiscoveredModule(u16 sadr) const override;
  bool IsMatchingModule(u16 sadr) const override;
  bool IsConsistentModule(u16 sadr) const override;
  bool IsUniqueModule(u16 sadr) const override;
  bool IsValidModule(u16 sadr) const override;
  /// Reads the required SADRs and the acknowledged UDIDs once; every other operation throws 0xE200 before.
  virtual void Initialize();

 private:
  /// Throws 0xE200 before Initialize and 0xE2D4 (i1 SADR) outside 1..1023; returns the entry.
  u16 GetCheckedIndex(u16 sadr) const;
  /// Sets unique for every discovered SADR holding this complemented UDID.
  void UpdateUniqueness(const u8* invertedUdid);
  /// True when this entry counts as unacknowledged.
  bool IsUnacknowledged(u16 i) const;
  /// The unacknowledged count recomputed from the tables.
  u32 CountUnacknowledged() const;

  static constexpr u16 ms_Count = CSafetyAddressRange::ms_SafetyAddressCount;  ///< table entries

  bool m_Required[ms_Count];                       ///< the SADR is in the node list
  bool m_Acknowledged[ms_Count];                   ///< an acknowledged UDID is stored
  u8 m_AcknowledgedUdid[ms_Count][ms_UdidLength];  ///< acknowledged UDID, complemented
  u32 m_UnacknowledgedCount;                       ///< see the invariant
  bool m_Discovered[ms_Count];                     ///< a UDID is known from the network
  u8 m_DiscoveredUdid[ms_Count][ms_UdidLength];    ///< discovered UDID, complemented
  bool m_Unique[ms_Count];                         ///< no other discovered SADR has the same UDID
  bool m_Consistent[ms_Count];                     ///< no unacknowledged inconsistent-module report
  bool m_Matching[ms_Count];                       ///< required, acknowledged and discovered equal to acknowledged
  Param::CSafetyAddressReader& m_RequiredReader;           ///< node-list stream, not owned
  Param::CInvertedUdidReader& m_AcknowledgedReader;        ///< acknowledged UDIDs, not owned
  Param::CInvertedUdidWriter& m_AcknowledgedWriter;        ///< "corvane.dat.chk" writer, not owned
  CPersistentUdidCheckerCallback& m_Callback;              ///< stores the file, not owned
  bool m_Initialized;                                      ///< Initialize ran
};

}  // namespace Check
