// Entry of scmchecker: the checker's static objects in their building order,
// the start-up handshake with the firmware and the check task, which paces
// the firmware's cycle and runs one step of the memory self-test per cycle.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "CDefaultCommissioner.h"
#include "CDefaultInspector.h"
#include "CDefaultMessaging.h"
#include "CDefaultPersistence.h"
#include "CDefaultSession.h"
#include "CException.h"
#include "Check/CCheckingAdditionalParameterInspector.h"
#include "Check/CCheckingFirmwareInspector.h"
#include "Check/CCheckingParameterInspector.h"
#include "Check/CCheckingUdidInspector.h"
#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "Check/CPersistentFirmwareChecker.h"
#include "Check/CPersistentParameterChecker.h"
#include "Check/CPersistentUdidChecker.h"
#include "CProcessImageTester.h"
#include "CProcessImageTesterSectionMap.h"
#include "CRuntimeFileStorage.h"
#include "ErrorCodes.h"
#include "HNFevt_EventHook.h"
#include "HNFhwt_SelfTest.h"
#include "SafetyDomainNumber.h"
#include "ScmFirmwareIdent.h"
#include "ScmLog.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

// Bounds of the protected sections and their reference-CRC tables, defined by
// the program's linker-script fragment.
extern "C" {
extern const u8 LdInitStart[], LdInitEnd[], LdTextStart[], LdTextEnd[], LdFiniStart[], LdFiniEnd[];
extern const u8 LdRoDataStart[], LdRoDataEnd[], LdRoData1Start[], LdRoData1End[];
extern u32 LdInitCrcStart[], LdInitCrcEnd[], LdTextCrcStart[], LdTextCrcEnd[], LdFiniCrcStart[],
    LdFiniCrcEnd[];
extern u32 LdRoDataCrcStart[], LdRoDataCrcEnd[], LdRoData1CrcStart[], LdRoData1CrcEnd[];
}

namespace {

using Util::CException;
using Util::ErrorCodes;

constexpr u32 ms_SectionCount = 5;                        ///< protected sections of the image
constexpr const char* TaskNamePattern = "scm%04d/check";  ///< check task's name
constexpr unsigned ms_TaskNameLengthMax = 50;             ///< longest task name
constexpr size_t ms_CheckTaskStackSize = 0x4000;          ///< check task's stack in bytes
constexpr u32 ms_CycleGapLimit = 10000000;                ///< microseconds between cycles before a warning
constexpr int ms_CycleDivisor = 100;                      ///< cycle period = clock rate / this
constexpr int ms_MinimumCycleTicks = 10;                  ///< shortest cycle period in ticks
constexpr u32 ms_IdentBlockMinimumLength = SCM_FW_IDENT_WORD_OFFSET + 4;  ///< block must hold the ident word

constexpr Util::CProcessImageTesterSectionMap initSectionMap(LdInitStart, LdInitEnd, LdInitCrcStart,
                                                             LdInitCrcEnd);
constexpr Util::CProcessImageTesterSectionMap textSectionMap(LdTextStart, LdTextEnd, LdTextCrcStart,
                                                             LdTextCrcEnd);
constexpr Util::CProcessImageTesterSectionMap finiSectionMap(LdFiniStart, LdFiniEnd, LdFiniCrcStart,
                                                             LdFiniCrcEnd);
constexpr Util::CProcessImageTesterSectionMap roDataSectionMap(LdRoDataStart, LdRoDataEnd, LdRoDataCrcStart,
                                                               LdRoDataCrcEnd);
constexpr Util::CProcessImageTesterSectionMap roData1SectionMap(LdRoData1Start, LdRoData1End,
                                                                LdRoData1CrcStart, LdRoData1CrcEnd);
/// The five maps in testing order.
constexpr const Util::CProcessImageTesterSectionMap* sectionMaps[ms_SectionCount] = {
    &initSectionMap, &textSectionMap, &finiSectionMap, &roDataSectionMap, &roData1SectionMap};

/// Reads the domain number; outside 1 to 1023 the checker stops before main.
u16 ReadSafetyDomainNumber() {
  const u16 sdn = ScmGetSafetyDomainNumberFromEnvironment(SCM_SDN_ENVIRONMENT_NAME);
  if (sdn < SCM_SDN_MIN || sdn > SCM_SDN_MAX) {
    std::puts("SCM checker failed to start: environment not defined?");
    std::exit(-1);
  }
  return sdn;
}

// ---- the static objects, in building order ----
constexpr int TaskPriority = Main::CDefaultSession::ms_TimeoutTaskPriority + 1;  ///< 1: check task's priority
Util::CProcessImageTester processImageTester(ms_SectionCount, sectionMaps);      ///< 2: memory self-test
const u16 safetyDomainNumber = ReadSafetyDomainNumber();                         ///< 3: domain number
Main::CDefaultMessaging messaging;                                               ///< 4: the fourteen queues
Main::CRuntimeFileStorage fileStorage;                                           ///< 5: host storage
Main::CDefaultPersistence persistence(fileStorage);                              ///< 6: files and acknowledged values
Main::CDefaultCommissioner commissioner(persistence,
                                        persistence.GetInvertedCommissioningFlagReader());  ///< 7: acknowledgement policy
Check::CPersistentUdidChecker udidChecker(persistence.GetRequiredSafetyAddressReader(),
                                          persistence.GetAcknowledgedInvertedUdidReader(),
                                          persistence.GetAcknowledgedInvertedUdidWriter(),
                                          persistence);  ///< 8: required, acknowledged and discovered UDIDs
Check::CCheckingUdidInspector udidInspector(udidChecker, commissioner);  ///< 9: UDID check
Check::CPersistentFirmwareChecker firmwareChecker(
    persistence.GetRequiredInvertedFirmwareVersionReader(), persistence.GetAcknowledgedInvertedMinorRevisionReader(),
    persistence.GetAcknowledgedInvertedMinorRevisionWriter(), persistence);  ///< 10: required and acknowledged identities
Check::CCheckingFirmwareInspector firmwareInspector(firmwareChecker, commissioner);  ///< 11: firmware check
Check::CPersistentParameterChecker parameterChecker(
    persistence.GetRequiredInvertedParameterChecksumReader());  ///< 12: required parameter checksums
Check::CCheckingParameterInspector parameterInspector(parameterChecker);  ///< 13: parameter-checksum check
Check::CPersistentAdditionalParameterCatalog additionalParameterCatalog(
    persistence.GetRequiredInvertedAdditionalParameterHeaderReader());  ///< 14: expected additional-parameter headers
Check::CCheckingAdditionalParameterInspector additionalParameterInspector(
    additionalParameterCatalog);  ///< 15: additional-parameter check
Main::CDefaultInspector inspector(persistence, commissioner, persistence, udidInspector, firmwareInspector,
                                  parameterInspector, additionalParameterInspector);  ///< 16: checks of every message
Main::CDefaultSession session(messaging, inspector);                             ///< 17: the relay

bool processImageValid = true;                  ///< false for good after the memory test failed
const u8* fwIdent = nullptr;                    ///< the firmware ident block
SEM_ID frameQueueToScmSemaphoreId = nullptr;    ///< given to let the firmware run its cycle
SEM_ID frameQueueFromScmSemaphoreId = nullptr;  ///< given by the firmware after its cycle
u32 HNFEventCode = 0;                           ///< the executable self-test's failure, kept for main
u16 HNFEventInfo0 = 0;                          ///< its reason
u32 HNFEventInfo1 = 0;                          ///< its value

/// The ident word at bytes 22 to 25 of the block, little-endian.
u32 ReadIdentWord(const u8* block) {
  u32 word = 0;
  for (u32 i = 0; i < 4; ++i) {
    word |= static_cast<u32>(block[SCM_FW_IDENT_WORD_OFFSET + i]) << (8 * i);
  }
  return word;
}

/// Opens one cycle semaphore by name; a missing one throws 0xE206 with its number.
SEM_ID OpenCycleSemaphore(char* (*nameBuilder)(u16, char*), u16 number) {
  char name[SCM_QUEUE_NAME_SIZE] = {};
  SEM_ID semaphore = semOpen(nameBuilder(safetyDomainNumber, name), 0, 0, 0, 0, nullptr);
  if (semaphore == nullptr) {
    throw CException(ErrorCodes::ms_CycleSemaphoreFailed, number, static_cast<u32>(errno));
  }
  return semaphore;
}

/// One guarded relay cycle: what goes to the firmware, its cycle, what comes back.
void RelayOneCycle() {
  session.HandleAllUnlockRequests();
  session.HandleAllUnlockResponses();
  session.HandleAllReceivedFrames();
  if (semGive(frameQueueToScmSemaphoreId) != OK) {
    throw CException(ErrorCodes::ms_CycleSemaphoreFailed, 2, static_cast<u32>(errno));
  }
  if (semTake(frameQueueFromScmSemaphoreId, WAIT_FOREVER) != OK) {
    throw CException(ErrorCodes::ms_CycleSemaphoreFailed, 3, static_cast<u32>(errno));
  }
  session.HandleAllEvents();
  session.HandleAllSentFrames();
  session.HandleAllCommands();
  session.HandleAllResponses();
}

/// The check task: never returns.
int Run(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
        _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  int period = sysClkRateGet() / ms_CycleDivisor;
  if (period < ms_MinimumCycleTicks) {
    period = ms_MinimumCycleTicks;
  }
  u32 last = static_cast<u32>(ScmGetUSecCounter());
  for (;;) {
    const u32 now = static_cast<u32>(ScmGetUSecCounter());
    if (now - last > ms_CycleGapLimit) {
      ScmLogWarning(ErrorCodes::ms_CycleGapTooLong, safetyDomainNumber, now - last);
    }
    if (processImageValid) {
      try {
        processImageTester.TestOneMemoryBlock();
      } catch (const CException& error) {
        CException::LogError(error);
        session.SwitchToFailSafe();
        processImageValid = false;
      }
    }
    try {
      RelayOneCycle();
    } catch (const CException& error) {
      CException::LogError(error);
      session.SwitchToFailSafe();
    }
    taskDelay(period);
    last = now;
  }
}

/// Reads the files and fills the checks; any failure fails safe and start-up goes on.
void InitializePersistenceAndCheckers() {
  try {
    if (!persistence.TryInitialize()) {
      session.SwitchToFailSafe();
    }
    udidChecker.Initialize();
    firmwareChecker.Initialize();
    parameterChecker.Initialize();
    additionalParameterCatalog.Initialize();
  } catch (const CException& error) {
    CException::LogError(error);
    session.SwitchToFailSafe();
  }
}

/// Start-up after condition 0; returns -1 on a failed start, else ends the initial task.
int Start() {
  try {
    messaging.Initialize();
  } catch (const CException&) {
    std::puts("SCM checker failed to start: message queues are not available?");
    return -1;
  }
  if (HNFhwt_VerifyExecutable() == 0) {
    CException::LogError(CException(static_cast<u16>(HNFEventCode), HNFEventInfo0, HNFEventInfo1));
    return -1;
  }
  try {
    frameQueueToScmSemaphoreId = OpenCycleSemaphore(ScmGetFrameQueueToScmName, 0);
    frameQueueFromScmSemaphoreId = OpenCycleSemaphore(ScmGetFrameQueueFromScmName, 1);
    session.Initialize();
  } catch (const CException& error) {
    CException::LogError(error);
    return -1;
  }
  try {
    processImageTester.Initialize();
  } catch (const CException& error) {
    CException::LogError(error);
    session.SwitchToFailSafe();
    processImageValid = false;
  }
  InitializePersistenceAndCheckers();
  const u32 identWord = ReadIdentWord(fwIdent);
  static_cast<void>(ScmSetCondition(safetyDomainNumber, 1, identWord));
  u32 answer = 0;
  static_cast<void>(ScmWaitForCondition(safetyDomainNumber, 2, &answer));
  if (answer != identWord) {
    ScmLogError(ErrorCodes::ms_FirmwareIdentDiffers, 0, answer);
    session.SwitchToFailSafe();
  }
  try {
    persistence.SynchronizeInitialSignatures();
  } catch (const CException& error) {
    CException::LogError(error);
    session.SwitchToFailSafe();
  }
  char name[ms_TaskNameLengthMax + 1] = {};
  std::snprintf(name, sizeof(name), TaskNamePattern, static_cast<int>(safetyDomainNumber));
  if (taskSpawn(name, TaskPriority, 0, ms_CheckTaskStackSize, Run, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) ==
      TASK_ID_ERROR) {
    ScmLogError(ErrorCodes::ms_CheckTaskNotSpawned, 0, 0);
    return -1;
  }
  taskExit(0);
}

}  // namespace

u16 GetSafetyDomainNumber() { return safetyDomainNumber; }

void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8) {
  if (code == HNFHWT_EVENT_EXECUTABLE_CHECK) {
    HNFEventCode = ErrorCodes::ms_ExecutableCheckFailed;
    HNFEventInfo0 = information0;
    HNFEventInfo1 = information1;
    return;
  }
  throw CException(static_cast<u16>(code & 0xFFFFu), information0, information1);
}

int main() {
  const auto identLength =
      reinterpret_cast<std::uintptr_t>(LdFwIdentEnd) - reinterpret_cast<std::uintptr_t>(LdFwIdentStart);
  if (identLength < ms_IdentBlockMinimumLength) {
    std::puts("SCM checker failed to start: invalid signature?");
    return -1;
  }
  fwIdent = LdFwIdentStart;
  u32 go = 0;
  static_cast<void>(ScmWaitForCondition(safetyDomainNumber, 0, &go));
  return Start();
}
