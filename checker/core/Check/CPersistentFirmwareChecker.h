// Compares the identity the SCM reads from each node with the node list and
// the acknowledged minor revisions, and stores new acknowledgements in
// "fwrevcnf.bin.chk" through the persistence. Every value is kept complemented;
// a complemented value of all one bits means none.
#pragma once
#include "Check/CFirmwareChecker.h"
#include "Check/CSafetyAddressRange.h"

namespace Param {
class CInvertedFirmwareVersionReader;
class CInvertedMinorRevisionReader;
class CInvertedMinorRevisionWriter;
}  // namespace Param

namespace Check {

class CPersistentFirmwareCheckerCallback;

class CPersistentFirmwareChecker : public CFirmwareChecker {
 public:
  CPersistentFirmwareChecker(Param::CInvertedFirmwareVersionReader& required,
                             Param::CInvertedMinorRevisionReader& acknowledged,
                             Param::CInvertedMinorRevisionWriter& acknowledgedWriter,
                             CPersistentFirmwareCheckerCallback& callback);
  ~CPersistentFirmwareChecker() override;

  CPersistentFirmwareChecker(const CPersistentFirmwareChecker&) = delete;
  CPersistentFirmwareChecker& operator=(const CPersistentFirmwareChecker&) = delete;

  void AddDiscoveredModule(u16 sadr, u32 invertedVendorId, u32 invertedProductCode, u16 invertedRevisionHigh,
                           u16 invertedRevisionLow) override;
  void RemoveDiscoveredModule(u16 sadr) override;
  bool TryAcknowledgeModules() override;
  bool IsRequiredModule(u16 sadr) const override;
  bool IsAcknowledgedModule(u16 sadr) const override;
  bool IsDiscoveredModule(u16 sadr) const override;
  bool IsCompatibleModule(u16 sadr) const override;
  bool IsMatchingModule(u16 sadr) const override;
  bool IsValidModule(u16 sadr) const override;
  /// Reads the required identities and the acknowledged minor revisions once;
  /// every other operation throws 0xE200 before.
  virtual void Initialize();

 private:
  /// Throws 0xE200 before Initialize and 0xE2DC (i1 SADR) outside 1..1023; returns the entry.
  u16 GetCheckedIndex(u16 sadr) const;

  /// What the checker keeps per SADR; values complemented, all ones = none.
  struct SModule {
    bool required;                  ///< the node list names an identity
    u32 requiredVendorId;           ///< required vendor id
    u32 requiredProductCode;        ///< required product code
    u16 requiredMajorRevision;      ///< required major revision
    u16 requiredMinorRevision;      ///< lowest minor revision allowed
    bool acknowledged;              ///< a minor revision is acknowledged
    u16 acknowledgedMinorRevision;  ///< the acknowledged minor revision
    bool discovered;                ///< an identity was read since it was last removed
    bool compatible;                ///< the identity read fits the node list
    bool matching;                  ///< compatible and the minor revision read is the acknowledged one
    u16 discoveredMinorRevision;    ///< minor revision read
  };

  SModule m_Modules[CSafetyAddressRange::ms_SafetyAddressCount];  ///< entry SADR - 1
  Param::CInvertedFirmwareVersionReader& m_Required;           ///< node-list stream, not owned
  Param::CInvertedMinorRevisionReader& m_Acknowledged;         ///< "fwrevcnf.bin.chk" stream, not owned
  Param::CInvertedMinorRevisionWriter& m_AcknowledgedWriter;   ///< "fwrevcnf.bin.chk" writer, not owned
  CPersistentFirmwareCheckerCallback& m_Callback;              ///< stores the file, not owned
  bool m_Initialized;                                          ///< Initialize ran
};

}  // namespace Check
