#include "FwUnitSupport.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "EPSglobal.h"
#include "EPSod.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_Crc.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "FwRemoteSupport.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "SCMint.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"

namespace FwTest {

void PrintTo(const Event& e, std::ostream* os) {
  char text[80];
  std::snprintf(text, sizeof(text), "{level %u, 0x%08X, %u, 0x%X}", e.level, e.code, e.info0, e.info1);
  *os << text;
}

std::string ScmName(const char* suffix) {
  char name[SCM_QUEUE_NAME_SIZE];
  return GetQualifiedScmQueueName(kSdn, suffix, name);
}

std::vector<uint8_t> Complement(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> out(bytes);
  for (auto& b : out) {
    b = static_cast<uint8_t>(~b);
  }
  return out;
}

namespace {
/// errno of an injected host failure.
constexpr int kHostIo = 0x3E0005;
uint32_t* OutWord(_Vx_usr_arg_t word) { return reinterpret_cast<uint32_t*>(word); }
}  // namespace

void FakeHost::Install() {
  files.clear();
  busyOpens = 0;
  failing.clear();
  failAfterOpen = -1;
  shortReadBy = 0;
  shortWriteBy = 0;
  shortWrites = 0;
  faultyFile = "KEL_PARA.SAF";
  failNth.clear();
  failingCloses.clear();
  served_.clear();
  udids.clear();
  udidCalls = 0;
  conditions.clear();
  counter = 0;
  cpuProductCode = 0x00C0FFEE;
  cpuSerialNumber = 0x12345678;
  openHandles = 0;
  resetCalls = 0;
  calls.clear();
  onCall = nullptr;
  open_.clear();
  qorStates.clear();
  qorStateCalls = 0;
  qorRequests.clear();
  qorReplies.clear();
  qorVariables.clear();
  qorChannelsOpen = 0;
  lockResets = unlockResets = 0;
  qorPending_.clear();
  discardFaultyWrites = false;
  beforeWrite_.clear();
  faultyHandles_.clear();
  created_.clear();
  cutAtCall = 0;
  poweredOff = false;
  ScmMemSetSyscallHook([this](const _Vx_usr_arg_t w[8], int number) { return Serve(w, number); });
}

FakeHost::~FakeHost() { ScmMemSetSyscallHook({}); }

namespace {
bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }
}  // namespace

std::vector<uint8_t>* FakeHost::Find(const std::string& name) {
  for (auto& [stored, content] : files) {
    if (SameName(stored, name)) {
      return &content;
    }
  }
  return nullptr;
}

namespace {
/// The Qor variable of the key-medium copy in the older release.
constexpr uint8_t kQorKeyMediumVariable = 4;
}  // namespace

_Vx_usr_arg_t FakeHost::Serve(const _Vx_usr_arg_t w[8], int number) {
  calls.push_back(number);
  if (onCall) {
    onCall(number);
  }
  // What a power cut stops: storage, flash and the reset calls (the rest keeps the firmware's loops turning).
  const bool cuttable = (number >= SCM_SC_OPEN_STORAGE && number <= SCM_SC_WRITE_STORAGE) ||
                        (number >= SCM_SC_LOCK_RESET && number <= SCM_SC_RESET) || number >= SCM_SC_RESET_PLC;
  if (cuttable && number == cutAtCall) {
    cutAtCall = 0;
    for (const auto& [handle, before] : beforeWrite_) {
      if (created_.count(handle) != 0) {
        files.erase(open_[handle].name);
      } else {
        files[open_[handle].name] = before;
      }
    }
    created_.clear();
    beforeWrite_.clear();
    faultyHandles_.clear();
    open_.clear();
    openHandles = 0;
    unlockResets = lockResets;
    poweredOff = true;
  }
  if (cuttable && poweredOff) {
    errno = kHostIo;
    return -1;
  }
  const int occurrence = ++served_[number];
  const auto nth = failNth.find(number);
  if (failing.count(number) != 0 || (nth != failNth.end() && nth->second == occurrence)) {
    if (number == SCM_SC_CLOSE_STORAGE && open_.erase(static_cast<int>(w[0])) != 0) {
      --openHandles;  // a failed close loses the handle all the same
    }
    errno = kHostIo;
    return -1;
  }
  switch (number) {
    case SCM_SC_GET_USEC_COUNTER:
      *OutWord(w[0]) = static_cast<uint32_t>(counter);
      *OutWord(w[1]) = static_cast<uint32_t>(counter >> 32);
      return 0;
    case SCM_SC_GET_CPU_PRODUCT_CODE:
      *OutWord(w[0]) = cpuProductCode;
      return 0;
    case SCM_SC_GET_CPU_SERIAL_NUMBER:
      *OutWord(w[0]) = cpuSerialNumber;
      return 0;
    case SCM_SC_REQUEST_QOR_UDID: {
      ++udidCalls;
      if (!udids.empty()) {
        const size_t index = static_cast<size_t>(udidCalls - 1) < udids.size() ? udidCalls - 1 : udids.size() - 1;
        std::memcpy(reinterpret_cast<void*>(w[1]), udids[index].data(), 6);
      }
      return 0;
    }
    case SCM_SC_OPEN_STORAGE: {
      if (busyOpens > 0) {
        --busyOpens;
        errno = SCM_STORAGE_BUSY_ERRNO;
        return -1;
      }
      std::string name = reinterpret_cast<const char*>(w[1]);
      std::vector<uint8_t>* file = Find(name);
      const bool write = static_cast<char>(w[2]) == 'w';
      if (file == nullptr && !write) {
        errno = 0x3E0003;
        return -1;
      }
      if (file == nullptr) {
        created_.insert(nextHandle_);
        // A write open creates the file, named in lower case as the host keeps names.
        for (auto& c : name) {
          c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        file = &files[name];
      }
      // A write open starts the file anew: harder than the host, which replaces it only at the close.
      if (write) {
        beforeWrite_[nextHandle_] = *file;
        file->clear();
      }
      for (const auto& [stored, content] : files) {
        if (&content == file) {
          name = stored;
        }
      }
      open_[nextHandle_] = Open{name, 0};
      *OutWord(w[3]) = static_cast<uint32_t>(nextHandle_++);
      ++openHandles;
      return 0;
    }
    case SCM_SC_CLOSE_STORAGE: {
      const int handle = static_cast<int>(w[0]);
      auto it = open_.find(handle);
      if (it == open_.end()) {
        errno = 0x3E0004;
        return -1;
      }
      const std::string name = it->second.name;
      open_.erase(it);
      --openHandles;
      const bool discard = discardFaultyWrites && faultyHandles_.erase(handle) != 0;
      if (discard) {
        files[name] = beforeWrite_[handle];
      }
      beforeWrite_.erase(handle);
      created_.erase(handle);
      if (discard) {
        errno = kHostIo;
        return -1;
      }
      if (failCloses > 0) {
        --failCloses;
        errno = kHostIo;
        return -1;
      }
      for (const auto& failingName : failingCloses) {
        if (SameName(failingName, name)) {
          errno = kHostIo;
          return -1;
        }
      }
      return 0;
    }
    case SCM_SC_GET_STORAGE_LENGTH: {
      auto it = open_.find(static_cast<int>(w[0]));
      if (it == open_.end() || (failAfterOpen == number && SameName(it->second.name, faultyFile))) {
        errno = 0x3E0004;
        return -1;
      }
      *OutWord(w[1]) = static_cast<uint32_t>(files[it->second.name].size());
      return 0;
    }
    case SCM_SC_READ_STORAGE: {
      auto it = open_.find(static_cast<int>(w[0]));
      if (it == open_.end() || (failAfterOpen == number && SameName(it->second.name, faultyFile))) {
        errno = 0x3E0004;
        return -1;
      }
      const auto& data = files[it->second.name];
      size_t count = std::min<size_t>(static_cast<size_t>(w[1]), data.size() - it->second.pos);
      if (SameName(it->second.name, faultyFile)) {
        count = count > static_cast<size_t>(shortReadBy) ? count - shortReadBy : 0;
      }
      if (count != 0) {  // an empty file's data() may be null
        std::memcpy(reinterpret_cast<void*>(w[2]), data.data() + it->second.pos, count);
      }
      it->second.pos += count;
      *OutWord(w[3]) = static_cast<uint32_t>(count);
      return 0;
    }
    case SCM_SC_WRITE_STORAGE: {
      auto it = open_.find(static_cast<int>(w[0]));
      if (it == open_.end()) {
        errno = 0x3E0004;
        return -1;
      }
      if (failWrites > 0) {
        --failWrites;
        faultyHandles_.insert(static_cast<int>(w[0]));
        errno = kHostIo;
        return -1;
      }
      auto& data = files[it->second.name];
      const auto* src = reinterpret_cast<const uint8_t*>(w[2]);
      size_t count = static_cast<size_t>(w[1]);
      if (shortAnyWrites > 0 && count > 0) {
        --shortAnyWrites;
        --count;
        faultyHandles_.insert(static_cast<int>(w[0]));
      }
      if (shortWrites > 0 && SameName(it->second.name, faultyFile)) {
        --shortWrites;
        count = count > static_cast<size_t>(shortWriteBy) ? count - shortWriteBy : 0;
        faultyHandles_.insert(static_cast<int>(w[0]));
      }
      data.insert(data.end(), src, src + count);
      *OutWord(w[3]) = static_cast<uint32_t>(count);
      return 0;
    }
    case SCM_SC_READ_QOR_FLASH_FILE: {
      if (!flash) {
        errno = kHostIo;
        return -1;
      }
      const size_t count = std::min<size_t>(static_cast<size_t>(w[3]), flash->size());
      std::memcpy(reinterpret_cast<void*>(w[4]), flash->data(), count);
      *OutWord(w[5]) = static_cast<uint32_t>(count);
      return 0;
    }
    case SCM_SC_WRITE_QOR_FLASH_FILE: {
      ++flashWrites;
      if (!flash) {
        errno = kHostIo;
        return -1;
      }
      if (shortFlashWrites > 0 && w[3] > 0) {
        // a transfer cut short stores nothing: the area keeps its old content
        --shortFlashWrites;
        *OutWord(w[5]) = static_cast<uint32_t>(w[3] - 1);
        return 0;
      }
      const auto* src = reinterpret_cast<const uint8_t*>(w[4]);
      flash->assign(src, src + w[3]);
      *OutWord(w[5]) = static_cast<uint32_t>(w[3]);
      return 0;
    }
    case SCM_SC_LOCK_RESET:
      ++lockResets;
      return 0;
    case SCM_SC_UNLOCK_RESET:
      ++unlockResets;
      return 0;
    case SCM_SC_GET_QOR_FAIL_SAFE_STATE: {
      ++qorStateCalls;
      const size_t index = std::min<size_t>(static_cast<size_t>(qorStateCalls - 1), qorStates.size() - 1);
      *reinterpret_cast<uint8_t*>(w[1]) = qorStates.empty() ? 0 : qorStates[index];
      return 0;
    }
    case SCM_SC_OPEN_CHANNEL:
      if (w[1] != 6) {
        errno = kHostIo;
        return -1;
      }
      qorPending_[nextHandle_] = std::nullopt;
      *OutWord(w[4]) = static_cast<uint32_t>(nextHandle_++);
      ++qorChannelsOpen;
      return 0;
    case SCM_SC_CLOSE_CHANNEL:
      if (qorPending_.erase(static_cast<int>(w[0])) == 0) {
        errno = 0x3E0004;
        return -1;
      }
      --qorChannelsOpen;
      return 0;
    case SCM_SC_SEND_CHANNEL: {
      auto it = qorPending_.find(static_cast<int>(w[0]));
      if (it == qorPending_.end()) {
        errno = 0x3E0004;
        return -1;
      }
      const auto* src = reinterpret_cast<const uint8_t*>(w[2]);
      const std::vector<uint8_t> request(src, src + w[1]);
      qorRequests.push_back(request);
      if (!qorReplies.empty()) {
        it->second = qorReplies.front();
        qorReplies.pop_front();
      } else if (request.size() >= 2 && (request[0] & 0xF8) == 0x20 && request.size() == 2u + request[1]) {
        qorVariables[request[0] & 0x07] = std::vector<uint8_t>(request.begin() + 2, request.end());
        it->second = std::vector<uint8_t>{static_cast<uint8_t>(request[0] | 0x80), 0};
      } else if (request.size() == 1 && request[0] < 8 && (qorVariables.count(request[0]) != 0 ||
                                                           (request[0] == kQorKeyMediumVariable && flash))) {
        // A read: the variable as stored; the key-medium copy is kept once, as flash
        // area 16 and as variable 4, whichever the release reads.
        const std::vector<uint8_t>& value =
            qorVariables.count(request[0]) != 0 ? qorVariables[request[0]] : *flash;
        std::vector<uint8_t> reply = {static_cast<uint8_t>(request[0] | 0x80), static_cast<uint8_t>(value.size())};
        reply.insert(reply.end(), value.begin(), value.end());
        it->second = reply;
      } else {
        it->second = std::vector<uint8_t>{static_cast<uint8_t>(request.empty() ? 0x80 : request[0] | 0x80), 0};
      }
      *OutWord(w[3]) = static_cast<uint32_t>(request.size());
      return 0;
    }
    case SCM_SC_RECEIVE_CHANNEL: {
      auto it = qorPending_.find(static_cast<int>(w[0]));
      if (it == qorPending_.end()) {
        errno = 0x3E0004;
        return -1;
      }
      size_t count = 0;
      if (it->second) {
        count = std::min<size_t>(static_cast<size_t>(w[1]), it->second->size());
        if (count != 0) {
          std::memcpy(reinterpret_cast<void*>(w[2]), it->second->data(), count);
        }
        it->second.reset();
      }
      *OutWord(w[3]) = static_cast<uint32_t>(count);
      return 0;
    }
    case SCM_SC_RESET:
      ++resetCalls;
      return 0;
    case SCM_SC_WAIT_FOR_CONDITION: {
      auto it = conditions.find(static_cast<uint32_t>(w[1]));
      if (it == conditions.end()) {
        errno = kHostIo;
        return -1;
      }
      *OutWord(w[2]) = it->second;
      return 0;
    }
    case SCM_SC_SET_CONDITION:
      conditions[static_cast<uint32_t>(w[1])] = static_cast<uint32_t>(w[2]);
      return 0;
    default:
      errno = SCM_ERRNO_HOST_CALL;
      return -1;
  }
}

#if !SCM_PROFILE_LEGACY
const u32 kSetupOff = MFWQZ_k_SM_OFF;
const u32 kSetupOn = MFWQZ_k_SM_ON;
const u32 kSetupOnRequested = MFWQZ_k_SM_ON_REQ;
const u32 kSetupOffRequested = MFWQZ_k_SM_OFF_REQ;
const u32 kSetupError = MFWQZ_k_SM_ERROR;
u32 SetupState() { return MFWQZ_SetupModeDesc.ulState; }
u32 SetupFromInit() { return MFWQZ_SetupModeDesc.ulFromInit; }
void SetSetupState(u32 state) { MFWQZ_SetupModeDesc.ulState = state; }
void ActivateSetupModeFromInit() { MFWQZ_ActivateSetupMode(1); }
u32 SetupModeTrigger() { return HNFcyc_TriggerSendSetupModeToQorInBgTask; }
void SetSetupModeTrigger(u32 value) { HNFcyc_TriggerSendSetupModeToQorInBgTask = value; }
void ResetSetupMode() {
  MFWQZ_SetupModeDesc = MFWQZ_SetupModeRecord{};
  MFWQZ_gbSetupKeyDone = MFWQZ_gbSetupUdidDone = MFWQZ_gbSetupFwDone = 0;
  MFWQZ_gbSetupErrorReported = 0;
  MFWQZ_gullSetupLogUs = 0;
}
i32 SendSetupModeToQor(u32 on) { return MFWQZ_SendSetupModeToQor(on); }
#else
// The older release's build has no setup mode.
const u32 kSetupOff = kSetupAbsent;
const u32 kSetupOn = kSetupAbsent;
const u32 kSetupOnRequested = kSetupAbsent;
const u32 kSetupOffRequested = kSetupAbsent;
const u32 kSetupError = kSetupAbsent;
u32 SetupState() { return kSetupAbsent; }
u32 SetupFromInit() { return 0; }
void SetSetupState(u32 state) { (void)state; }
void ActivateSetupModeFromInit() {}
u32 SetupModeTrigger() { return 0; }
void SetSetupModeTrigger(u32 value) { (void)value; }
void ResetSetupMode() {}
i32 SendSetupModeToQor(u32 on) {
  (void)on;
  return -1;
}
#endif

void ResetApplication() {
  std::memset(MFWQZ_ModuleInfo, 0, sizeof(MFWQZ_ModuleInfo));
  std::memset(MFWQZ_gaaucModuleFlagArrays, 0, sizeof(MFWQZ_gaaucModuleFlagArrays));
  std::memset(MFWQZ_gaucBcmFlags, 0, sizeof(MFWQZ_gaucBcmFlags));
  std::memset(MFWQZ_gaucOptFlags_SOD, 0, sizeof(MFWQZ_gaucOptFlags_SOD));
  std::memset(MFWQZ_gaucStpFlags_SOD, 0, sizeof(MFWQZ_gaucStpFlags_SOD));
  std::memset(MFWQZ_gaucNprFlags_SOD, 0, sizeof(MFWQZ_gaucNprFlags_SOD));
  std::memset(MFWQZ_gaucPassword, 0, sizeof(MFWQZ_gaucPassword));
  MFWQZ_gbModuleFlagsStatus = 0;
  MFWQZ_ulNumberOfUdidMisMatches = MFWQZ_ulNumberOfDiffFirmware = MFWQZ_ulNumberOfErroneousModules = 0;
  MFWQZ_gulModuleCount = MFWQZ_gulModuleScanned = MFWQZ_gulModuleFound = 0;
  MFWQZ_usSaddr = 0;
  MFWQZ_gbStartScan = MFWQZ_gbScanInit = MFWQZ_gbScanStarted = MFWQZ_gbStartQuit = 0;
  MFWQZ_gbQuitAll = MFWQZ_gbQuitUdid = MFWQZ_gbAckDone = MFWQZ_gbAckError = 0;
  MFWQZ_gusQuitSaddr = MFWQZ_susQuitSaddr = MFWQZ_gusAckHandle = 0;
  MFWQZ_gbUdidSaving = 0;
  MFWQZ_gbLockPost = 1;
  MFWQZ_gbScanning = MFWQZ_gbScanAfterQuit = 0;
  MFWQZ_gbStartUp = 1;
  MFWQZ_gbEndOfStartUp = 0;
  MFWQZ_gusStartUpModule = 1;
  MFWQZ_bSioChanged = 0;
  MFWQZ_ulScansAtStartup = MFWQZ_kScansAtStartupDefault;
  MFWQZ_gbQorFound = 0;
  MFWQZ_InitState = 0;
  std::memset(MFWQZ_aActTargetId, 0, sizeof(MFWQZ_aActTargetId));
  MFWQZ_bMacIdInitialized = 0;
  MFWQZ_sReqHardwareId = MFWQZ_ReqHardwareId{};
  MFWQZ_pucActQzUdid = nullptr;
  MFWQZ_bCorvaneChanged = MFWQZ_bTargetMacAvailable = MFWQZ_bCvnChanged = MFWQZ_bCvnFromQorAvailable = 0;
  MFWQZ_ulSeconds = 0;
  MFWQZ_ullLastCheckUs = 0;
  MFWQZ_bHaveLastCheck = 0;
  MFWQZ_gbStartupFinished = MFWQZ_ulStartupTimerSeconds = MFWQZ_bStartupTimerRunning = 0;
  MFWQZ_gbTriggerReloadRev = MFWQZ_gbScanAfterReloadRev = MFWQZ_gbTriggerReloadCVid = 0;
  MFWqz_gucPtDbgInfo = 0;
  MFWQZ_ValidFiles = 1;
  MFWQZ_gbLockPostFw = 0;
  MFWQZ_geMachineOptionsStatus = 2;
  MFWQZ_AcknowledgeFwMismatches = 1;
  MFWQZ_CvEmptyBeforeBoot = 0;
  MFWQZ_SetupModeFlagRead = 2;
  MFWQZ_bFwRevTargetIdRead = 0;
  MFWQZ_ulFwRevGoodLen = 0;
  MFWQZ_bFwRevGoodKnown = 0;
  MFWQZ_bCorvaneUidKnown = 0;
  std::memset(MFWQZ_aucCorvaneUid, 0, sizeof(MFWQZ_aucCorvaneUid));
  std::memset(MFWQZ_aucMachineOptions, 0, sizeof(MFWQZ_aucMachineOptions));
  MFWQZ_Confirm = MFWQZ_ConfirmState{};
  MFWQZ_ModChg = MFWQZ_MachineState{};
  MFWQZ_KeyCnf = MFWQZ_MachineState{};
  MFWQZ_KeyFormat = MFWQZ_MachineState{};
  MFWQZ_UsrDataFormat = MFWQZ_UsrDataFormatState{};
  MFWQZ_gulConfirmCode = 0;
  MFWQZ_gulHandedSelection = 0;
  ResetSetupMode();
  MFWQZ_gbQorFailed = MFWQZ_gbQorRecovered = 0;
}

void FwFixture::SetUp() {
  ScmMemReset();
  host.Install();
  static const struct {
    const char* suffix;
    int length;
  } kQueues[] = {{"unlock-request", 21}, {"unlock-response", 8}, {"frame-send", 521}, {"frame-receive", 521},
                 {"command", 42},        {"status", 280},        {"event", 11}};
  for (const auto& q : kQueues) {
    const int capacity = std::strcmp(q.suffix, "event") == 0 ? kEventCapacity : kCapacity;
    ASSERT_EQ(ScmMemCreateQueue(ScmName(q.suffix).c_str(), capacity, q.length), OK);
  }
  glFailSafeA = HNFiff_kModuleStateNormal;
  glFailSafeB = HNFiff_kModuleStateNormal;
  HNFevt_ulEventCount = 0;
  HNFevt_ulEventsSinceFailSafe = 0;
  HNFevt_sulCalled = 0;
  HNFevt_pEventQueue = nullptr;
  HNFstp_usSdn = kSdn;
  EPS_gGlobal = EPS_Global{};
  HNFcyc_statusInfo[0] = HNFcyc_statusInfo[1] = 0;
  HNFcyc_gbCalledFromCyc = 0;
  HNFcyc_ulStartUpProgress = 1;
  HNFcyc_bHaveLastUsec = 0;
  HNFcyc_ullLastUsec = 0;
  HNFcyc_TriggerSendScmVersionToQorInBgTask = 0;
  HNFcyc_TriggerSendPasswordToQorInBgTask = 0;
  HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 0;
  SetSetupModeTrigger(0);
  ResetApplication();
  ResetRemoteControl();
  // The loaded files and the object list's node storage: a start-up that loads no key file finds no node.
  for (HNFstp_File& rFile : HNFstp_Files) {
    rFile = HNFstp_File{};
  }
  for (EPS_NodeBlock& rNode : EPS_gaNodes) {
    rNode = EPS_NodeBlock{};
  }
  std::memset(EPS_gaucUdid, 0, sizeof(EPS_gaucUdid));
  std::memset(EPS_gausAddSadr, 0, sizeof(EPS_gausAddSadr));
  // The configuration manager's node blocks: every node at state 0 with no event.
  std::memset(SCM_as_FsmCb, 0, sizeof(SCM_as_FsmCb));
  ASSERT_EQ(HNFcom_Init(), 0);
}

void FwFixture::TearDown() { ScmMemReset(); }

std::vector<Event> FwFixture::TakeEvents() {
  std::vector<Event> events;
  const std::string name = ScmName("event");
  for (const auto& raw : ScmMemQueueContents(name.c_str())) {
    const auto m = Complement(raw);
    EXPECT_EQ(m.size(), 11u);
    if (m.size() != 11u) {
      continue;
    }
    Event e{};
    e.level = m[0];
    e.code = m[1] | (m[2] << 8) | (m[3] << 16) | (static_cast<uint32_t>(m[4]) << 24);
    e.info0 = static_cast<uint16_t>(m[5] | (m[6] << 8));
    e.info1 = m[7] | (m[8] << 8) | (m[9] << 16) | (static_cast<uint32_t>(m[10]) << 24);
    events.push_back(e);
  }
  ScmMemQueueClear(name.c_str());
  return events;
}

std::vector<uint32_t> FwFixture::TakeCodes() {
  std::vector<uint32_t> codes;
  for (const auto& e : TakeEvents()) {
    codes.push_back(e.code);
  }
  return codes;
}

void FwFixture::PutComplemented(const char* suffix, const std::vector<uint8_t>& plain) {
  const auto bytes = Complement(plain);
  ASSERT_EQ(ScmMemQueuePut(ScmName(suffix).c_str(), bytes.data(), bytes.size()), OK);
}

std::vector<std::vector<uint8_t>> FwFixture::TakePlain(const char* suffix) {
  std::vector<std::vector<uint8_t>> out;
  const std::string name = ScmName(suffix);
  for (const auto& raw : ScmMemQueueContents(name.c_str())) {
    out.push_back(Complement(raw));
  }
  ScmMemQueueClear(name.c_str());
  return out;
}

std::string WriteCheckedExecutable(const std::string& tag) {
  const std::string path = "/tmp/scmfw-" + tag + "-" + std::to_string(getpid()) + ".bin";
  std::vector<uint8_t> body(20000);
  for (size_t i = 0; i < body.size(); ++i) {
    body[i] = static_cast<uint8_t>(i * 7);
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(body.data()), body.size());
  std::ofstream companion(path + ".vxe", std::ios::binary);
  for (size_t at = 0; at < body.size(); at += 16384) {
    const size_t n = std::min<size_t>(16384, body.size() - at);
    const uint32_t crc = HNFiff_Crc32CalcSwp(0, static_cast<int>(n), body.data() + at);
    const uint8_t le[4] = {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc >> 16),
                           static_cast<uint8_t>(crc >> 24)};
    companion.write(reinterpret_cast<const char*>(le), 4);
  }
  return path;
}

}  // namespace FwTest

std::vector<std::vector<uint8_t>> FwTest::FwFixture::ExchangeCommand(const std::vector<uint8_t>& message) {
  PutComplemented("command", message);
  HNFiff_CmdChnlRcv();
  return TakePlain("status");
}

std::vector<uint8_t> FwTest::FwFixture::AnswerTo(const std::vector<uint8_t>& message) {
  const std::vector<std::vector<uint8_t>> answers = ExchangeCommand(message);
  EXPECT_EQ(answers.size(), 1u);
  return answers.size() == 1 ? answers[0] : std::vector<uint8_t>{};
}

// ---- remote control ----
namespace FwTest {

namespace {
/// The check table as the program starts with it, taken before any test changes it.
struct PowerUp {
  MFWQZ_RemoteCheckRow table[MFWQZ_kCheckRows];
  PowerUp() { std::memcpy(table, MFWQZ_RemoteCheckTable, sizeof(table)); }
};
const PowerUp& Initial() {
  static const PowerUp s_initial;
  return s_initial;
}
// Taken at static initialisation, before any test ran.
[[maybe_unused]] const PowerUp& g_taken = Initial();

#if !SCM_PROFILE_LEGACY
/// The diagnosis file records as the program starts with them.
struct PowerUpFiles {
  MFWQZ_DiagnoseFileInfo files[MFWQZ_kDiagnoseFiles];
  PowerUpFiles() { std::memcpy(files, MFWQZ_aDiagnoseFileInfo, sizeof(files)); }
};
/// Taken at static initialisation, before any test ran.
const PowerUpFiles g_initialFiles;
/// Puts the diagnosis file records back as the program starts with them.
void ResetDiagnosisRecords() { std::memcpy(MFWQZ_aDiagnoseFileInfo, g_initialFiles.files, sizeof(MFWQZ_aDiagnoseFileInfo)); }
#else
/// The older release's build holds no diagnosis records.
void ResetDiagnosisRecords() {}
#endif
}  // namespace

void ResetRemoteControl() {
  std::memcpy(MFWQZ_RemoteCheckTable, Initial().table, sizeof(MFWQZ_RemoteCheckTable));
  ResetDiagnosisRecords();
  std::memset(MFWQZ_RemoteCmd, 0, sizeof(MFWQZ_RemoteCmd));
  std::memset(MFWQZ_gaucPassword, 0, sizeof(MFWQZ_gaucPassword));
  std::memset(MFWQZ_aucRemoteAnswer, 0, sizeof(MFWQZ_aucRemoteAnswer));
  MFWQZ_Remote = MFWQZ_RemoteState{};
  MFWQZ_gbRemoteActive = 0;
  MFWQZ_RequiredReloadedFileMissing = 0;
  MFWQZ_Confirm = MFWQZ_ConfirmState{};
  MFWQZ_ModChg = MFWQZ_MachineState{};
  MFWQZ_KeyCnf = MFWQZ_MachineState{};
  MFWQZ_KeyFormat = MFWQZ_MachineState{};
  MFWQZ_UsrDataFormat = MFWQZ_UsrDataFormatState{};
  ResetSetupMode();
  SetSetupState(kSetupOff);
  MFWQZ_ulNumberOfUdidMisMatches = 0;
  MFWQZ_ulNumberOfDiffFirmware = 0;
  MFWQZ_ulNumberOfErroneousModules = 0;
  MFWQZ_gulModuleCount = 0;
  MFWQZ_gulModuleScanned = 0;
  MFWQZ_gulModuleFound = 0;
  MFWQZ_gbScanning = 0;
  MFWQZ_gbQuitAll = 0;
  MFWQZ_gbStartQuit = 0;
  MFWQZ_gbStartScan = 0;
  MFWQZ_gbStartUp = 1;
  MFWQZ_bCorvaneChanged = 0;
  MFWQZ_bTargetMacAvailable = 0;
  MFWQZ_ValidFiles = 1;
  MFWQZ_gbTriggerReloadRev = 0;
  MFWQZ_gbScanAfterReloadRev = 0;
  MFWQZ_bCvnFromQorAvailable = 0;
}

}  // namespace FwTest
