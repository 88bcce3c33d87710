// Owner of every file the checker reads or writes: the key and parameter files,
// the checker's complemented ".chk" copies and the controller's copy of the key
// medium's identity. At start-up it reads them in a fixed order, cross-checks
// each file with its copy and empties a pair that does not agree; then it hands
// the checks their streams of required and acknowledged values, rewrites the
// copies after acknowledgements and holds the key-medium, password and
// setup-mode state. Every buffer is embedded: nothing is allocated.
#pragma once
#include "CAuthentification.h"
#include "CCorvane.h"
#include "CCorvaneCopySource.h"
#include "CFileStorage.h"
#include "CFlashCorvaneCopySource.h"
#include "SPersistenceProfile.h"
#include "Check/CPersistentFirmwareCheckerCallback.h"
#include "Check/CPersistentUdidCheckerCallback.h"
#include "CAppendingInvertedAdditionalParameterHeaderReader.h"
#include "CAutoCnfBin.h"
#include "CAutoCnfBinUdidSectionUdidReader.h"
#include "CComputedInvertedAdditionalParameterHeaderReader.h"
#include "CCorvaneDat.h"
#include "CCorvaneDatChk.h"
#include "CCorvaneDatChkInvertedUdidReader.h"
#include "CCorvaneDatChkInvertedUdidWriter.h"
#include "CCorvaneUid.h"
#include "CCorvaneUidChk.h"
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinChk.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionReader.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionWriter.h"
#include "CInvertingAdditionalParameterHeaderReader.h"
#include "CInvertingCommissioningFlagReader.h"
#include "CInvertingConfigurationDataReader.h"
#include "CInvertingFirmwareVersionReader.h"
#include "CInvertingParameterChecksumReader.h"
#include "CInvertingUdidReader.h"
#include "CKelParaSaf.h"
#include "CKelParaSafScmSectionParameterReader.h"
#include "CMergingInvertedUdidReader.h"
#include "CParData1Bin.h"
#include "CParData1BinAdditionalParameterHeaderReader.h"
#include "CParameterAdditionalParameterHeaderReader.h"
#include "CParameterCommissioningFlagReader.h"
#include "CParameterConfigurationDataReader.h"
#include "CParameterFirmwareVersionReader.h"
#include "CParameterParameterChecksumReader.h"
#include "CParameterSafetyAddressReader.h"

namespace Main {

class CDefaultPersistence : public CCorvane,
                            public CAuthentification,
                            public Check::CPersistentUdidCheckerCallback,
                            public Check::CPersistentFirmwareCheckerCallback {
 public:
  static constexpr u8 ms_MachineOptionParameterNumber = 2;  ///< machine options as additional parameter 2 of SADR 1
  static constexpr u16 ms_MachineOptionSafetyAddress = 1;   ///< the SADR the machine options belong to

  static constexpr u32 ms_CorvaneUidCapacity = 256;        ///< bytes for "corvane.uid" and its copy
  static constexpr u32 ms_CorvaneCpuCapacity = 18;         ///< bytes of the controller's flash copy
  static constexpr u32 ms_CorvaneDatCapacity = 0x10000;    ///< bytes for "corvane.dat" and its copy
  static constexpr u32 ms_KelParaSafCapacity = 0x40000;    ///< bytes for "kel_para.saf"
  static constexpr u32 ms_AutoCnfBinCapacity = 0x10000;    ///< bytes for "autocnf.bin"
  static constexpr u32 ms_ParData1BinCapacity = 196608;    ///< bytes for "pardata1.bin", the firmware's limit
  static constexpr u32 ms_FwRevCnfBinCapacity = 0x10000;   ///< bytes for "fwrevcnf.bin" and its copy
  static constexpr u32 ms_CpuIdLength = 8;                 ///< bytes of the CPU id (product code, serial number)
  static constexpr u32 ms_CpuIdComparedLength = 6;         ///< CPU id bytes the pair check compares
  static constexpr u32 ms_UdidLength = 6;                  ///< bytes of a UDID

  static constexpr const char* ms_CorvaneUidName = "corvane.uid";          ///< key-medium identity
  static constexpr const char* ms_CorvaneUidChkName = "corvane.uid.chk";   ///< its acknowledged copy
  static constexpr const char* ms_CorvaneDatName = "corvane.dat";          ///< SADR-to-UDID list
  static constexpr const char* ms_CorvaneDatChkName = "corvane.dat.chk";   ///< acknowledged UDIDs
  static constexpr const char* ms_KelParaSafName = "kel_para.saf";         ///< node list and parameters
  static constexpr const char* ms_AutoCnfBinName = "autocnf.bin";          ///< automatic configuration
  static constexpr const char* ms_ParData1BinName = "pardata1.bin";        ///< additional parameter sets
  static constexpr const char* ms_FwRevCnfBinName = "fwrevcnf.bin";        ///< firmware revisions, password, flags
  static constexpr const char* ms_FwRevCnfBinChkName = "fwrevcnf.bin.chk"; ///< acknowledged copy

  /// Builds buffers, file objects and streams for the build the profile
  /// describes, with the controller copy from corvaneCopySource; reads nothing.
  CDefaultPersistence(CFileStorage& storage, CCorvaneCopySource& corvaneCopySource,
                      const SPersistenceProfile& profile);
  /// The current build: the copy in flash area 16, every file.
  explicit CDefaultPersistence(CFileStorage& storage)
      : CDefaultPersistence(storage, GetFlashCorvaneCopySource(), ms_CurrentPersistenceProfile) {}
  ~CDefaultPersistence() override = default;
  CDefaultPersistence(const CDefaultPersistence&) = delete;
  CDefaultPersistence& operator=(const CDefaultPersistence&) = delete;

  // Main::CCorvane
  void Acknowledge() override;
  bool IsAcknowledged() const override;
  bool IsSetupModeActive() const override;
  void SetSetupModeActive(bool active) override;
  // Main::CAuthentification
  bool HasPassword() const override;
  bool IsValidInvertedPassword(const u8* invertedPassword) const override;
  void SetInvertedPassword(const u8* invertedPassword) override;
  // Check::CPersistentUdidCheckerCallback
  void WriteAcknowledgedInvertedUdids() override;
  // Check::CPersistentFirmwareCheckerCallback
  void WriteAcknowledgedInvertedMinorRevisions() override;

  /// Reads and cross-checks every file, once at start-up; false: start-up fails safe and goes on.
  /// Storage errors escape; a second call throws 0xE200.
  bool TryInitialize();
  /// Writes "corvane.uid.chk" from "corvane.uid" when the copy is empty (nothing when
  /// TryInitialize did not complete); errors escape.
  void SynchronizeInitialSignatures();
  /// The key medium was empty ("kel_para.saf" of length 0) when TryInitialize read it;
  /// a build without commissioning throws 0xE200.
  bool IsEmpty() const;

  // Streams for the checks and the commissioner (no checks of the state).
  Param::CSafetyAddressReader& GetRequiredSafetyAddressReader() { return m_RequiredSafetyAddresses; }
  Param::CInvertedUdidReader& GetAcknowledgedInvertedUdidReader() { return m_AcknowledgedUdids; }
  Param::CInvertedUdidWriter& GetAcknowledgedInvertedUdidWriter() { return m_AcknowledgedUdidWriter; }
  Param::CInvertedFirmwareVersionReader& GetRequiredInvertedFirmwareVersionReader() {
    return m_RequiredFirmwareVersions;
  }
  Param::CInvertedMinorRevisionReader& GetAcknowledgedInvertedMinorRevisionReader() {
    return m_AcknowledgedMinorRevisions;
  }
  Param::CInvertedMinorRevisionWriter& GetAcknowledgedInvertedMinorRevisionWriter() {
    return m_AcknowledgedMinorRevisionWriter;
  }
  Param::CInvertedParameterChecksumReader& GetRequiredInvertedParameterChecksumReader() {
    return m_RequiredParameterChecksums;
  }
  Param::CInvertedAdditionalParameterHeaderReader& GetRequiredInvertedAdditionalParameterHeaderReader() {
    return m_RequiredAdditionalParameterHeaders;
  }
  /// A build without commissioning throws 0xE200.
  Param::CInvertedCommissioningFlagReader& GetInvertedCommissioningFlagReader();

 private:
  bool TryInitializeCorvaneUids();
  bool TryInitializeCorvaneCpu();
  bool TryInitializeCorvaneDats();
  bool TryInitializeKelParaSaf();
  bool TryInitializeAutoCnfBin();
  bool TryInitializeParData1Bin();
  bool TryInitializeFwRevCnfBins();
  void CompareCorvaneAndCpuSignatures();
  bool MachineOptionsActivationsAreConsistent();
  void DetermineAutomaticSetupMode();

  void CheckSignatureConsistency() const;
  void CheckUdidConsistency();
  void CheckFirmwareConsistency();
  void CheckAuthentificationConsistency() const;
  void CheckCpuUdidConsistency() const;
  void CheckQorUdidConsistency() const;
  void CheckPasswordConsistency() const;
  void CheckSetupModeConsistency() const;

  /// Binds the copy to the present controller and CPU and stores "fwrevcnf.bin.chk".
  void WriteFwRevCnfBinChk();
  /// The present controller UDID into udid (6 bytes); false when the host call failed or gave zeros.
  static bool TryRequestQorUdid(u8* udid);
  /// Throws 0xE200 before TryInitialize.
  void CheckInitialized() const;

  /// Throws 0xE200 in a build without commissioning.
  void CheckCommissioning() const;

  const CFileStorage& m_Storage;  ///< the host's storage, not owned
  CCorvaneCopySource& m_CorvaneCopySource;  ///< the controller's copy of the identity, not owned
  const SPersistenceProfile m_Profile;      ///< the build's files

  u8 m_CorvaneUidBuffer[ms_CorvaneUidCapacity] = {};     ///< "corvane.uid"
  u8 m_CorvaneUidChkBuffer[ms_CorvaneUidCapacity] = {};  ///< "corvane.uid.chk"
  u8 m_CorvaneCpuBuffer[ms_CorvaneCpuCapacity] = {};     ///< controller's copy
  u8 m_CorvaneDatBuffer[ms_CorvaneDatCapacity] = {};     ///< "corvane.dat"
  u8 m_CorvaneDatChkBuffer[ms_CorvaneDatCapacity] = {};  ///< "corvane.dat.chk"
  u8 m_KelParaSafBuffer[ms_KelParaSafCapacity] = {};     ///< "kel_para.saf"
  u8 m_AutoCnfBinBuffer[ms_AutoCnfBinCapacity] = {};     ///< "autocnf.bin"
  u8 m_ParData1BinBuffer[ms_ParData1BinCapacity] = {};   ///< "pardata1.bin"
  u8 m_FwRevCnfBinBuffer[ms_FwRevCnfBinCapacity] = {};   ///< "fwrevcnf.bin"
  u8 m_FwRevCnfBinChkBuffer[ms_FwRevCnfBinCapacity] = {};  ///< "fwrevcnf.bin.chk"

  Param::CCorvaneUid m_CorvaneUid;        ///< "corvane.uid"
  Param::CCorvaneUidChk m_CorvaneUidChk;  ///< "corvane.uid.chk"
  Param::CCorvaneUid m_CorvaneCpu;        ///< controller's copy
  Param::CCorvaneDat m_CorvaneDat;        ///< "corvane.dat"
  Param::CCorvaneDatChk m_CorvaneDatChk;  ///< "corvane.dat.chk"
  Param::CKelParaSaf m_KelParaSaf;        ///< "kel_para.saf"
  Param::CAutoCnfBin m_AutoCnfBin;        ///< "autocnf.bin"
  Param::CParData1Bin m_ParData1Bin;      ///< "pardata1.bin"
  Param::CFwRevCnfBin m_FwRevCnfBin;      ///< "fwrevcnf.bin"
  Param::CFwRevCnfBinChk m_FwRevCnfBinChk;  ///< "fwrevcnf.bin.chk"

  // (1) node list
  Param::CKelParaSafScmSectionParameterReader m_NodeList;  ///< records of the SCM section
  // (2) required SADRs
  Param::CParameterSafetyAddressReader m_RequiredSafetyAddresses;  ///< SADRs of the node list
  // (3) acknowledged UDIDs
  Param::CCorvaneDatChkInvertedUdidReader m_CorvaneDatChkUdids;       ///< acknowledged, complemented
  Param::CAutoCnfBinUdidSectionUdidReader m_AutoCnfBinUdids;          ///< automatically configured, plain
  Param::CInvertingUdidReader m_InvertedAutoCnfBinUdids;              ///< the same, complemented
  Param::CMergingInvertedUdidReader m_AcknowledgedUdids;              ///< both, the copy winning
  // (4) acknowledged UDID writer
  Param::CCorvaneDatChkInvertedUdidWriter m_AcknowledgedUdidWriter;  ///< writes "corvane.dat.chk"
  // (5) required firmware versions
  Param::CParameterFirmwareVersionReader m_FirmwareVersions;           ///< plain, from the node list
  Param::CInvertingFirmwareVersionReader m_RequiredFirmwareVersions;   ///< complemented
  // (6) acknowledged minor revisions
  Param::CFwRevCnfBinChkInvertedMinorRevisionReader m_AcknowledgedMinorRevisions;     ///< reads the copy
  Param::CFwRevCnfBinChkInvertedMinorRevisionWriter m_AcknowledgedMinorRevisionWriter;  ///< writes the copy
  // (7) required parameter checksums
  Param::CParameterParameterChecksumReader m_ParameterChecksums;           ///< plain, from the node list
  Param::CInvertingParameterChecksumReader m_RequiredParameterChecksums;   ///< complemented
  // (8) required additional-parameter headers
  Param::CParameterAdditionalParameterHeaderReader m_NodeListHeaders;          ///< plain, from the node list
  Param::CInvertingAdditionalParameterHeaderReader m_InvertedNodeListHeaders;  ///< complemented
  Param::CComputedInvertedAdditionalParameterHeaderReader m_MachineOptionHeader;  ///< from the machine options
  Param::CParData1BinAdditionalParameterHeaderReader m_ParData1BinHeaders;      ///< plain, from "pardata1.bin"
  Param::CInvertingAdditionalParameterHeaderReader m_InvertedParData1BinHeaders;  ///< complemented
  Param::CAppendingInvertedAdditionalParameterHeaderReader m_RequiredAdditionalParameterHeaders;  ///< all sources of the build
  // (9) commissioning flags
  Param::CParameterCommissioningFlagReader m_PlainCommissioningFlags;  ///< plain, from the node list
  Param::CInvertingCommissioningFlagReader m_CommissioningFlags;       ///< negated
  // (10) configuration data
  Param::CParameterConfigurationDataReader m_PlainConfigurationData;   ///< plain, from the node list
  Param::CInvertingConfigurationDataReader m_ConfigurationData;        ///< negated

  bool m_Acknowledged = false;   ///< the key medium is acknowledged
  bool m_InitializeCalled = false;  ///< TryInitialize was entered
  bool m_Initialized = false;    ///< TryInitialize ran to its end
  bool m_CorvaneEmpty = false;   ///< "kel_para.saf" was empty when TryInitialize read it
};

}  // namespace Main
