#include "CDefaultPersistence.h"

#include <cstring>

#include "CCorvaneDatUdidReader.h"
#include "CException.h"
#include "CFwRevCnfBinMinorRevisionReader.h"
#include "CInternalError.h"
#include "CInvertingMinorRevisionReader.h"
#include "ErrorCodes.h"
#include "SafetyDomainNumber.h"
#include "ScmSystemCalls.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

namespace {

constexpr u16 ms_OldCorvaneDatVersion = 1;         ///< "corvane.dat" version the firmware still reads
constexpr u16 ms_OldFwRevCnfBinVersion = 0x0100;   ///< "fwrevcnf.bin" version the firmware still reads

/// The codes of one pair of streams read in step.
struct SStepCodes {
  u16 m_ChkFewer;      ///< the copy ended first
  u16 m_ChkMore;       ///< the copy has an entry more
  u16 m_SadrDiffers;   ///< SADRs differ
  u16 m_ValueDiffers;  ///< values differ
};

/// One (SADR, UDID) entry.
struct SUdidEntry {
  u16 m_Sadr = 0;               ///< safety address
  const u8* m_Udid = nullptr;   ///< 6 complemented bytes
  template <class TStream>
  bool Read(TStream& stream) { return stream.TryReadNext(m_Sadr, m_Udid); }
  bool HasValueOf(const SUdidEntry& other) const {
    return std::memcmp(m_Udid, other.m_Udid, CDefaultPersistence::ms_UdidLength) == 0;
  }
};

/// One (SADR, minor revision) entry.
struct SRevisionEntry {
  u16 m_Sadr = 0;      ///< safety address
  u16 m_Revision = 0;  ///< complemented minor revision
  template <class TStream>
  bool Read(TStream& stream) { return stream.TryReadNext(m_Sadr, m_Revision); }
  bool HasValueOf(const SRevisionEntry& other) const { return m_Revision == other.m_Revision; }
};

/// Reads a plain file's complemented stream a and its copy's stream b in step and throws the
/// first difference. Both are closed at the end and before a difference is thrown; a stream
/// whose own read fails has freed its file itself, so only the other one is closed then.
template <class TEntry, class TStreamA, class TStreamB>
void CompareInStep(TStreamA& a, TStreamB& b, const SStepCodes& codes) {
  a.Open();
  try {
    b.Open();
  } catch (...) {
    a.Close();
    throw;
  }
  for (;;) {
    TEntry entryA;
    TEntry entryB;
    bool hasA = false;
    bool hasB = false;
    try {
      hasA = entryA.Read(a);
    } catch (...) {
      b.Close();
      throw;
    }
    try {
      hasB = entryB.Read(b);
    } catch (...) {
      a.Close();
      throw;
    }
    if (!hasA && !hasB) {
      a.Close();
      b.Close();
      return;
    }
    u16 code = 0;
    if (!hasA) {
      code = codes.m_ChkMore;
    } else if (!hasB) {
      code = codes.m_ChkFewer;
    } else if (entryA.m_Sadr != entryB.m_Sadr) {
      code = codes.m_SadrDiffers;
    } else if (!entryA.HasValueOf(entryB)) {
      code = codes.m_ValueDiffers;
    }
    if (code != 0) {
      a.Close();
      b.Close();
      if (hasA && hasB) {
        throw CException(code, entryA.m_Sadr, entryB.m_Sadr);
      }
      throw CException(code);
    }
  }
}

/// True when the complement of length plain bytes equals the complemented bytes.
bool IsComplementOf(const u8* plain, const u8* inverted, u32 length) {
  for (u32 i = 0; i < length; ++i) {
    if (static_cast<u8>(~plain[i]) != inverted[i]) {
      return false;
    }
  }
  return true;
}

/// Writes the complement of length bytes of source into target.
void Complement(u8* target, const u8* source, u32 length) {
  for (u32 i = 0; i < length; ++i) {
    target[i] = static_cast<u8>(~source[i]);
  }
}

/// One value of "fwrevcnf.bin" against its copy: absent in both is consistent.
void CheckValuePair(bool plainHas, const u8* plain, bool chkHas, const u8* inverted, u32 length, u16 chkOnlyCode,
                    u16 plainOnlyCode, u16 differsCode) {
  if (!plainHas && !chkHas) {
    return;
  }
  if (!plainHas) {
    throw CException(chkOnlyCode);
  }
  if (!chkHas) {
    throw CException(plainOnlyCode);
  }
  if (!IsComplementOf(plain, inverted, length)) {
    throw CException(differsCode);
  }
}

/// A version word of a plain file that the firmware still reads and this channel refuses.
struct SOldVersion {
  u16 m_Code;     ///< the file object's version code; 0 when no older version is kept
  u16 m_Version;  ///< the version word
};

/// Reads a single file into its object; a refused content is logged and left empty in memory.
template <class TFile>
bool TryReadSingleFile(const CFileStorage& storage, const char* name, u32 capacity, u8* buffer, TFile& file,
                       u32& length) {
  length = storage.Read(name, capacity, buffer);
  try {
    file.ReadContent(length);
    return true;
  } catch (const CException& error) {
    CException::LogError(error);
    file.ReadContent(0);
    return false;
  }
}

/// Reads a plain file and its copy and runs the pair's checks. A refused content or a
/// mismatch is logged and empties both, on the storage too, except for a plain file of the
/// older version, which is the firmware's valid data: that pair is only emptied in memory.
template <class TPlain, class TChk, class TCheck>
bool TryReadFilePair(const CFileStorage& storage, u32 capacity, const char* plainName, u8* plainBuffer,
                     TPlain& plain, const char* chkName, u8* chkBuffer, TChk& chk, SOldVersion old,
                     TCheck check) {
  const u32 plainLength = storage.Read(plainName, capacity, plainBuffer);
  const u32 chkLength = storage.Read(chkName, capacity, chkBuffer);
  bool plainRead = false;
  try {
    plain.ReadContent(plainLength);
    plainRead = true;
    chk.ReadContent(chkLength);
    check();
    return true;
  } catch (const CException& error) {
    CException::LogError(error);
    const bool oldVersion =
        !plainRead && old.m_Code != 0 && error.GetCode() == old.m_Code && error.GetInformation1() == old.m_Version;
    if (!oldVersion) {
      storage.Delete(plainName);
      storage.Delete(chkName);
    }
    plain.ReadContent(0);
    chk.ReadContent(0);
    return false;
  }
}

}  // namespace

CDefaultPersistence::CDefaultPersistence(CFileStorage& storage, CCorvaneCopySource& corvaneCopySource,
                                         const SPersistenceProfile& profile)
    : m_Storage(storage),
      m_CorvaneCopySource(corvaneCopySource),
      m_Profile(profile),
      m_CorvaneUid(ms_CorvaneUidCapacity, m_CorvaneUidBuffer),
      m_CorvaneUidChk(ms_CorvaneUidCapacity, m_CorvaneUidChkBuffer),
      m_CorvaneCpu(ms_CorvaneCpuCapacity, m_CorvaneCpuBuffer),
      m_CorvaneDat(ms_CorvaneDatCapacity, m_CorvaneDatBuffer),
      m_CorvaneDatChk(ms_CorvaneDatCapacity, m_CorvaneDatChkBuffer),
      m_KelParaSaf(ms_KelParaSafCapacity, m_KelParaSafBuffer),
      m_AutoCnfBin(ms_AutoCnfBinCapacity, m_AutoCnfBinBuffer),
      m_ParData1Bin(ms_ParData1BinCapacity, m_ParData1BinBuffer),
      m_FwRevCnfBin(ms_FwRevCnfBinCapacity, m_FwRevCnfBinBuffer, profile.m_FwRevCnfFlagSet),
      m_FwRevCnfBinChk(ms_FwRevCnfBinCapacity, m_FwRevCnfBinChkBuffer, profile.m_FwRevCnfFlagSet),
      m_NodeList(m_KelParaSaf),
      m_RequiredSafetyAddresses(m_NodeList),
      m_CorvaneDatChkUdids(m_CorvaneDatChk),
      m_AutoCnfBinUdids(m_AutoCnfBin),
      m_InvertedAutoCnfBinUdids(m_AutoCnfBinUdids),
      m_AcknowledgedUdids(m_CorvaneDatChkUdids, m_InvertedAutoCnfBinUdids),
      m_AcknowledgedUdidWriter(m_CorvaneDatChk),
      m_FirmwareVersions(m_NodeList),
      m_RequiredFirmwareVersions(m_FirmwareVersions),
      m_AcknowledgedMinorRevisions(m_FwRevCnfBinChk),
      m_AcknowledgedMinorRevisionWriter(m_FwRevCnfBinChk),
      m_ParameterChecksums(m_NodeList),
      m_RequiredParameterChecksums(m_ParameterChecksums),
      m_NodeListHeaders(m_NodeList),
      m_InvertedNodeListHeaders(m_NodeListHeaders),
      m_ParData1BinHeaders(m_ParData1Bin),
      m_InvertedParData1BinHeaders(m_ParData1BinHeaders),
      m_RequiredAdditionalParameterHeaders(m_InvertedNodeListHeaders, m_MachineOptionHeader,
                                           profile.m_ReadsParData1Bin ? &m_InvertedParData1BinHeaders : nullptr),
      m_PlainCommissioningFlags(m_NodeList),
      m_CommissioningFlags(m_PlainCommissioningFlags),
      m_PlainConfigurationData(m_NodeList),
      m_ConfigurationData(m_PlainConfigurationData) {}

// ---- start-up ----

bool CDefaultPersistence::TryInitialize() {
  UTIL_CHECK(!m_InitializeCalled);
  m_InitializeCalled = true;
  const bool corvaneUids = TryInitializeCorvaneUids();
  const bool corvaneCpu = TryInitializeCorvaneCpu();
  const bool corvaneDats = TryInitializeCorvaneDats();
  const bool kelParaSaf = TryInitializeKelParaSaf();
  const bool autoCnfBin = TryInitializeAutoCnfBin();
  // A build without "pardata1.bin" never opens it.
  const bool parData1Bin = !m_Profile.m_ReadsParData1Bin || TryInitializeParData1Bin();
  const bool fwRevCnfBins = TryInitializeFwRevCnfBins();
  CompareCorvaneAndCpuSignatures();
  if (m_Profile.m_HasCommissioning && !MachineOptionsActivationsAreConsistent()) {
    m_Initialized = true;
    return false;
  }
  if (m_AutoCnfBin.HasMachineOptionSection()) {
    u16 length = 0;
    const u8* data = nullptr;
    m_AutoCnfBin.GetRawMachineOptionSection(length, data);
    m_MachineOptionHeader.SetAdditionalParameter(ms_MachineOptionSafetyAddress, ms_MachineOptionParameterNumber,
                                                 m_AutoCnfBin.GetTimestamp(), length, data);
  }
  if (m_Profile.m_HasCommissioning) {
    DetermineAutomaticSetupMode();
  }
  m_Initialized = true;
  return corvaneUids && corvaneCpu && corvaneDats && kelParaSaf && autoCnfBin && parData1Bin && fwRevCnfBins;
}

bool CDefaultPersistence::TryInitializeCorvaneUids() {
  return TryReadFilePair(m_Storage, ms_CorvaneUidCapacity, ms_CorvaneUidName, m_CorvaneUidBuffer, m_CorvaneUid,
                         ms_CorvaneUidChkName, m_CorvaneUidChkBuffer, m_CorvaneUidChk, SOldVersion{0, 0},
                         [this] { CheckSignatureConsistency(); });
}

bool CDefaultPersistence::TryInitializeCorvaneCpu() {
  const i32 result = m_CorvaneCopySource.ReadCorvaneCopy(ms_CorvaneCpuCapacity, m_CorvaneCpuBuffer);
  if (result == CCorvaneCopySource::ms_NoCopy) {
    m_CorvaneCpu.ReadContent(0);
    return false;
  }
  if (result == static_cast<i32>(ms_CorvaneCpuCapacity)) {
    try {
      m_CorvaneCpu.ReadContent(ms_CorvaneCpuCapacity);
    } catch (const CException& error) {
      CException::LogWarning(error);
      m_CorvaneCpu.ReadContent(0);
    }
    return true;
  }
  CException::LogError(CException(ErrorCodes::ms_CorvaneCpuReadFailed, static_cast<u32>(result)));
  m_CorvaneCpu.ReadContent(0);
  return false;
}

bool CDefaultPersistence::TryInitializeCorvaneDats() {
  return TryReadFilePair(m_Storage, ms_CorvaneDatCapacity, ms_CorvaneDatName, m_CorvaneDatBuffer, m_CorvaneDat,
                         ms_CorvaneDatChkName, m_CorvaneDatChkBuffer, m_CorvaneDatChk,
                         SOldVersion{ErrorCodes::ms_CorvaneDatVersion, ms_OldCorvaneDatVersion},
                         [this] { CheckUdidConsistency(); });
}

bool CDefaultPersistence::TryInitializeKelParaSaf() {
  u32 length = 0;
  const bool read =
      TryReadSingleFile(m_Storage, ms_KelParaSafName, ms_KelParaSafCapacity, m_KelParaSafBuffer, m_KelParaSaf, length);
  m_CorvaneEmpty = length == 0;
  return read;
}

bool CDefaultPersistence::TryInitializeAutoCnfBin() {
  u32 length = 0;
  return TryReadSingleFile(m_Storage, ms_AutoCnfBinName, ms_AutoCnfBinCapacity, m_AutoCnfBinBuffer, m_AutoCnfBin,
                           length);
}

bool CDefaultPersistence::TryInitializeParData1Bin() {
  u32 length = 0;
  return TryReadSingleFile(m_Storage, ms_ParData1BinName, ms_ParData1BinCapacity, m_ParData1BinBuffer, m_ParData1Bin,
                           length);
}

bool CDefaultPersistence::TryInitializeFwRevCnfBins() {
  return TryReadFilePair(m_Storage, ms_FwRevCnfBinCapacity, ms_FwRevCnfBinName, m_FwRevCnfBinBuffer, m_FwRevCnfBin,
                         ms_FwRevCnfBinChkName, m_FwRevCnfBinChkBuffer, m_FwRevCnfBinChk,
                         SOldVersion{ErrorCodes::ms_FwRevCnfBinVersion, ms_OldFwRevCnfBinVersion}, [this] {
                           CheckFirmwareConsistency();
                           CheckAuthentificationConsistency();
                         });
}

void CDefaultPersistence::CompareCorvaneAndCpuSignatures() {
  // An absent copy on the storage acknowledges nothing, whatever the controller holds.
  if (m_CorvaneCpu.GetContentLength() == 0 || m_CorvaneUidChk.GetContentLength() == 0) {
    return;
  }
  if (IsComplementOf(m_CorvaneCpu.GetQorUdid(), m_CorvaneUidChk.GetInvertedQorUdid(), ms_UdidLength) &&
      m_CorvaneUidChk.GetInvertedTimestamp() == ~m_CorvaneCpu.GetTimestamp()) {
    m_Acknowledged = true;
  }
}

bool CDefaultPersistence::MachineOptionsActivationsAreConsistent() {
  bool notActive = true;
  m_ConfigurationData.Open();
  if (!m_ConfigurationData.TryReadNext(notActive)) {
    notActive = true;
  }
  m_ConfigurationData.Close();
  return m_AutoCnfBin.HasMachineOptionSection() == !notActive;
}

void CDefaultPersistence::DetermineAutomaticSetupMode() {
  if (!m_FwRevCnfBinChk.WasCorvaneEmpty() || !m_FwRevCnfBinChk.HasQorUdid()) {
    return;
  }
  bool setupModeNotActive = true;
  bool autoConfirmCorvaneNegated = true;
  bool autoConfirmFirmwareNegated = true;
  m_CommissioningFlags.Open();
  if (!m_CommissioningFlags.TryReadNext(setupModeNotActive, autoConfirmCorvaneNegated, autoConfirmFirmwareNegated)) {
    setupModeNotActive = true;
  }
  m_CommissioningFlags.Close();
  if (setupModeNotActive) {
    return;
  }
  u8 udid[ms_UdidLength] = {};
  if (!TryRequestQorUdid(udid)) {
    return;
  }
  if (IsComplementOf(udid, m_FwRevCnfBinChk.GetInvertedQorUdid(), ms_UdidLength)) {
    // The firmware switches the setup mode on without writing its file; the copy follows
    // in memory and reaches the storage with the next write, so the pair stays equal.
    m_FwRevCnfBinChk.SetSetupModeActive(true);
  }
}

void CDefaultPersistence::SynchronizeInitialSignatures() {
  // After a start-up whose storage error escaped, the files are not known: nothing to copy.
  if (!m_Initialized || m_CorvaneUidChk.GetContentLength() != 0) {
    return;
  }
  const u32 length = m_Storage.Read(ms_CorvaneUidName, ms_CorvaneUidCapacity, m_CorvaneUidBuffer);
  m_CorvaneUid.ReadContent(length);
  m_CorvaneUidChk.ReadContent(0);
  u8 invertedUdid[ms_UdidLength] = {};
  Complement(invertedUdid, m_CorvaneUid.GetQorUdid(), ms_UdidLength);
  m_CorvaneUidChk.SetInvertedQorUdid(invertedUdid);
  m_CorvaneUidChk.SetInvertedTimestamp(~m_CorvaneUid.GetTimestamp());
  m_CorvaneUidChk.WriteContent();
  m_Storage.Write(ms_CorvaneUidChkName, m_CorvaneUidChk.GetContentLength(), m_CorvaneUidChkBuffer);
}

// ---- consistency of the pairs ----

void CDefaultPersistence::CheckSignatureConsistency() const {
  const bool plainHas = m_CorvaneUid.GetContentLength() != 0;
  const bool chkHas = m_CorvaneUidChk.GetContentLength() != 0;
  if (!plainHas && !chkHas) {
    return;
  }
  if (!plainHas) {
    throw CException(ErrorCodes::ms_CorvaneUidChkWithoutPlain);
  }
  if (!chkHas) {
    throw CException(ErrorCodes::ms_CorvaneUidPlainWithoutChk);
  }
  if (!IsComplementOf(m_CorvaneUid.GetQorUdid(), m_CorvaneUidChk.GetInvertedQorUdid(), ms_UdidLength)) {
    throw CException(ErrorCodes::ms_CorvaneUidQorUdidDiffers);
  }
  if (m_CorvaneUidChk.GetInvertedTimestamp() != ~m_CorvaneUid.GetTimestamp()) {
    throw CException(ErrorCodes::ms_CorvaneUidTimestampDiffers);
  }
}

void CDefaultPersistence::CheckUdidConsistency() {
  Param::CCorvaneDatUdidReader plain(m_CorvaneDat);
  Param::CInvertingUdidReader inverted(plain);
  CompareInStep<SUdidEntry>(inverted, m_CorvaneDatChkUdids,
                            {ErrorCodes::ms_CorvaneDatChkFewer, ErrorCodes::ms_CorvaneDatChkMore,
                             ErrorCodes::ms_CorvaneDatSadrDiffers, ErrorCodes::ms_CorvaneDatUdidDiffers});
}

void CDefaultPersistence::CheckFirmwareConsistency() {
  Param::CFwRevCnfBinMinorRevisionReader plain(m_FwRevCnfBin);
  Param::CInvertingMinorRevisionReader inverted(plain);
  CompareInStep<SRevisionEntry>(inverted, m_AcknowledgedMinorRevisions,
                                {ErrorCodes::ms_FwRevCnfBinChkFewer, ErrorCodes::ms_FwRevCnfBinChkMore,
                                 ErrorCodes::ms_FwRevCnfBinSadrDiffers, ErrorCodes::ms_FwRevCnfBinMinorRevisionDiffers});
}

void CDefaultPersistence::CheckAuthentificationConsistency() const {
  CheckCpuUdidConsistency();
  CheckQorUdidConsistency();
  CheckPasswordConsistency();
  if (m_Profile.m_HasCommissioning) {
    CheckSetupModeConsistency();
  }
}

void CDefaultPersistence::CheckCpuUdidConsistency() const {
  CheckValuePair(m_FwRevCnfBin.HasCpuId(), m_FwRevCnfBin.GetCpuId(), m_FwRevCnfBinChk.HasCpuId(),
                 m_FwRevCnfBinChk.GetInvertedCpuId(), ms_CpuIdComparedLength, ErrorCodes::ms_CpuIdChkWithoutPlain,
                 ErrorCodes::ms_CpuIdPlainWithoutChk, ErrorCodes::ms_CpuIdDiffers);
}

void CDefaultPersistence::CheckQorUdidConsistency() const {
  CheckValuePair(m_FwRevCnfBin.HasQorUdid(), m_FwRevCnfBin.GetQorUdid(), m_FwRevCnfBinChk.HasQorUdid(),
                 m_FwRevCnfBinChk.GetInvertedQorUdid(), ms_UdidLength, ErrorCodes::ms_QorUdidChkWithoutPlain,
                 ErrorCodes::ms_QorUdidPlainWithoutChk, ErrorCodes::ms_QorUdidDiffers);
}

void CDefaultPersistence::CheckPasswordConsistency() const {
  CheckValuePair(m_FwRevCnfBin.HasPassword(), m_FwRevCnfBin.GetPassword(), m_FwRevCnfBinChk.HasPassword(),
                 m_FwRevCnfBinChk.GetInvertedPassword(), ms_PasswordLength, ErrorCodes::ms_PasswordChkWithoutPlain,
                 ErrorCodes::ms_PasswordPlainWithoutChk, ErrorCodes::ms_PasswordDiffers);
}

void CDefaultPersistence::CheckSetupModeConsistency() const {
  const bool plainEmpty = m_FwRevCnfBin.WasCorvaneEmpty();
  const bool chkEmpty = m_FwRevCnfBinChk.WasCorvaneEmpty();
  const bool plainSetup = m_FwRevCnfBin.IsSetupModeActive();
  const bool chkSetup = m_FwRevCnfBinChk.IsSetupModeActive();
  if (plainEmpty != chkEmpty || plainSetup != chkSetup) {
    const u32 flags = (plainEmpty ? 0x01u : 0u) | (chkEmpty ? 0x02u : 0u) | (plainSetup ? 0x10u : 0u) |
                      (chkSetup ? 0x20u : 0u);
    throw CException(ErrorCodes::ms_SetupModeFlagsDiffer, flags);
  }
}

// ---- key medium, password and writers ----

void CDefaultPersistence::CheckInitialized() const { UTIL_CHECK(m_Initialized); }

void CDefaultPersistence::CheckCommissioning() const { UTIL_CHECK(m_Profile.m_HasCommissioning); }

Param::CInvertedCommissioningFlagReader& CDefaultPersistence::GetInvertedCommissioningFlagReader() {
  CheckCommissioning();
  return m_CommissioningFlags;
}

void CDefaultPersistence::Acknowledge() {
  CheckInitialized();
  m_Acknowledged = true;
}

bool CDefaultPersistence::IsAcknowledged() const { return m_Acknowledged; }

bool CDefaultPersistence::IsSetupModeActive() const {
  CheckCommissioning();
  CheckInitialized();
  return m_FwRevCnfBinChk.IsSetupModeActive();
}

void CDefaultPersistence::SetSetupModeActive(bool active) {
  CheckCommissioning();
  CheckInitialized();
  m_FwRevCnfBinChk.SetSetupModeActive(active);
  WriteFwRevCnfBinChk();
}

bool CDefaultPersistence::HasPassword() const {
  CheckInitialized();
  if (!m_FwRevCnfBinChk.HasPassword()) {
    return false;
  }
  // 16 zero bytes are the firmware's "no password".
  const u8* inverted = m_FwRevCnfBinChk.GetInvertedPassword();
  for (u32 i = 0; i < ms_PasswordLength; ++i) {
    if (inverted[i] != 0xFF) {
      return true;
    }
  }
  return false;
}

bool CDefaultPersistence::IsValidInvertedPassword(const u8* invertedPassword) const {
  CheckInitialized();
  UTIL_CHECK(invertedPassword != nullptr);
  if (!HasPassword()) {
    return true;
  }
  return std::memcmp(invertedPassword, m_FwRevCnfBinChk.GetInvertedPassword(), ms_PasswordLength) == 0;
}

void CDefaultPersistence::SetInvertedPassword(const u8* invertedPassword) {
  UTIL_CHECK(invertedPassword != nullptr);
  m_FwRevCnfBinChk.SetInvertedPassword(invertedPassword);
  WriteFwRevCnfBinChk();
}

void CDefaultPersistence::WriteAcknowledgedInvertedUdids() {
  CheckInitialized();
  m_CorvaneDatChk.WriteContent();
  m_Storage.Write(ms_CorvaneDatChkName, m_CorvaneDatChk.GetContentLength(), m_CorvaneDatChkBuffer);
}

void CDefaultPersistence::WriteAcknowledgedInvertedMinorRevisions() {
  CheckInitialized();
  WriteFwRevCnfBinChk();
}

bool CDefaultPersistence::IsEmpty() const {
  CheckCommissioning();
  return m_CorvaneEmpty;
}

bool CDefaultPersistence::TryRequestQorUdid(u8* udid) {
  std::memset(udid, 0, ms_UdidLength);
  if (ScmRequestQorUdid(GetSafetyDomainNumber(), udid) != 0) {
    return false;
  }
  for (u32 i = 0; i < ms_UdidLength; ++i) {
    if (udid[i] != 0) {
      return true;
    }
  }
  return false;
}

void CDefaultPersistence::WriteFwRevCnfBinChk() {
  // Every write binds the copy to the running controller and CPU, as the firmware's own
  // file is; a failed host call keeps the value stored before.
  if (m_Profile.m_HasCommissioning) {
    m_FwRevCnfBinChk.SetCorvaneEmpty(m_CorvaneEmpty);
  }
  const u32 productCode = ScmGetCpuProductCode();
  const u32 serialNumber = ScmGetCpuSerialNumber();
  if (productCode != 0 && serialNumber != 0) {
    u8 invertedCpuId[ms_CpuIdLength] = {};
    for (u32 i = 0; i < 4; ++i) {
      invertedCpuId[i] = static_cast<u8>(~(productCode >> (8 * i)));
      invertedCpuId[4 + i] = static_cast<u8>(~(serialNumber >> (8 * i)));
    }
    m_FwRevCnfBinChk.SetInvertedCpuId(invertedCpuId);
  }
  u8 udid[ms_UdidLength] = {};
  if (TryRequestQorUdid(udid)) {
    u8 invertedUdid[ms_UdidLength] = {};
    Complement(invertedUdid, udid, ms_UdidLength);
    m_FwRevCnfBinChk.SetInvertedQorUdid(invertedUdid);
  }
  if (!m_FwRevCnfBinChk.HasPassword()) {
    u8 noPassword[ms_PasswordLength];
    std::memset(noPassword, 0xFF, sizeof(noPassword));
    m_FwRevCnfBinChk.SetInvertedPassword(noPassword);
  }
  m_FwRevCnfBinChk.WriteContent();
  m_Storage.Write(ms_FwRevCnfBinChkName, m_FwRevCnfBinChk.GetContentLength(), m_FwRevCnfBinChkBuffer);
}

}  // namespace Main
