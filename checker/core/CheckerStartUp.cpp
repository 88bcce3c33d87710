#include "CheckerStartUp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "CDefaultMessaging.h"
#include "CDefaultPersistence.h"
#include "CDefaultSession.h"
#include "CException.h"
#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "Check/CPersistentFirmwareChecker.h"
#include "Check/CPersistentParameterChecker.h"
#include "Check/CPersistentUdidChecker.h"
#include "CProcessImageTester.h"
#include "ErrorCodes.h"
#include "HNFevt_EventHook.h"
#include "HNFhwt_SelfTest.h"
#include "SafetyDomainNumber.h"
#include "ScmFirmwareIdent.h"
#include "ScmLog.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

namespace {

constexpr const char* ms_TaskNamePattern = "scm%04d/check";  ///< check task's name
constexpr unsigned ms_TaskNameLengthMax = 50;                ///< longest task name
constexpr size_t ms_CheckTaskStackSize = 0x4000;             ///< check task's stack in bytes
constexpr u32 ms_CycleGapLimit = 10000000;                   ///< microseconds between cycles before a warning
constexpr int ms_CycleDivisor = 100;                         ///< cycle period = clock rate / this
constexpr int ms_MinimumCycleTicks = 10;                     ///< shortest cycle period in ticks
constexpr u32 ms_IdentBlockMinimumLength = SCM_FW_IDENT_WORD_OFFSET + 4;  ///< block must hold the ident word

u32 HNFEventCode = 0;   ///< the executable self-test's failure, kept for the start-up
u16 HNFEventInfo0 = 0;  ///< its reason
u32 HNFEventInfo1 = 0;  ///< its value

/// The firmware ident block of the image, or null (after printing the signature message)
/// when it is shorter than the ident word needs.
const u8* GetFirmwareIdentBlock() {
  const auto identLength =
      reinterpret_cast<std::uintptr_t>(LdFwIdentEnd) - reinterpret_cast<std::uintptr_t>(LdFwIdentStart);
  if (identLength < ms_IdentBlockMinimumLength) {
    std::puts("SCM checker failed to start: invalid signature?");
    return nullptr;
  }
  return LdFwIdentStart;
}

/// The ident word at bytes 22 to 25 of the block, little-endian.
u32 ReadIdentWord(const u8* block) {
  u32 word = 0;
  for (u32 i = 0; i < 4; ++i) {
    word |= static_cast<u32>(block[SCM_FW_IDENT_WORD_OFFSET + i]) << (8 * i);
  }
  return word;
}

/// Opens the queues; false (after printing the queue message) when one is missing.
bool InitializeMessaging(CDefaultMessaging& messaging) {
  try {
    messaging.Initialize();
  } catch (const CException&) {
    std::puts("SCM checker failed to start: message queues are not available?");
    return false;
  }
  return true;
}

/// Runs the executable self-test; false after logging its failure (0xE202).
bool VerifyExecutable() {
  if (HNFhwt_VerifyExecutable() == 0) {
    CException::LogError(CException(static_cast<u16>(HNFEventCode), HNFEventInfo0, HNFEventInfo1));
    return false;
  }
  return true;
}

/// Opens the build's cycle semaphores, then the session; false after logging the failure.
bool OpenCycleSemaphoresAndSession(const SStartUpParts& parts) {
  try {
    parts.m_OpenCycleSemaphores();
    parts.m_Session.Initialize();
  } catch (const CException& error) {
    CException::LogError(error);
    return false;
  }
  return true;
}

/// Takes the memory test's reference CRCs; a failure is logged and clears processImageValid.
/// False when start-up is to fail safe.
bool InitializeProcessImageTester(Util::CProcessImageTester& tester, bool& processImageValid) {
  try {
    tester.Initialize();
  } catch (const CException& error) {
    CException::LogError(error);
    processImageValid = false;
    return false;
  }
  return true;
}

/// Reads the files, then initializes the UDID, firmware, parameter and
/// additional-parameter checks in this order; a failure is logged and skips
/// the rest. False when start-up is to fail safe.
bool InitializePersistenceAndCheckers(const SStartUpParts& parts) {
  try {
    const bool filesSound = parts.m_Persistence.TryInitialize();
    parts.m_UdidChecker.Initialize();
    parts.m_FirmwareChecker.Initialize();
    parts.m_ParameterChecker.Initialize();
    parts.m_AdditionalCatalog.Initialize();
    return filesSound;
  } catch (const CException& error) {
    CException::LogError(error);
    return false;
  }
}

/// Sets condition 1 to the ident word and waits for condition 2; another answer logs 0xE203 and fails safe.
void ExchangeIdentWord(u32 identWord, CSession& session) {
  const u16 sdn = GetSafetyDomainNumber();
  static_cast<void>(ScmSetCondition(sdn, 1, identWord));
  u32 answer = 0;
  static_cast<void>(ScmWaitForCondition(sdn, 2, &answer));
  if (answer != identWord) {
    ScmLogError(ErrorCodes::ms_FirmwareIdentDiffers, 0, answer);
    session.SwitchToFailSafe();
  }
}

/// Writes the initial "corvane.uid.chk"; a failure is logged and fails safe.
void SynchronizeInitialSignatures(CDefaultPersistence& persistence, CSession& session) {
  try {
    persistence.SynchronizeInitialSignatures();
  } catch (const CException& error) {
    CException::LogError(error);
    session.SwitchToFailSafe();
  }
}

/// Spawns the check task ("scm%04d/check", priority 128, 16 KiB); false after logging 0xE204.
bool SpawnCheckTask(int priority, FUNCPTR run) {
  char name[ms_TaskNameLengthMax + 1] = {};
  std::snprintf(name, sizeof(name), ms_TaskNamePattern, static_cast<int>(GetSafetyDomainNumber()));
  if (taskSpawn(name, priority, 0, ms_CheckTaskStackSize, run, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == TASK_ID_ERROR) {
    ScmLogError(ErrorCodes::ms_CheckTaskNotSpawned, 0, 0);
    return false;
  }
  return true;
}

}  // namespace

u16 ReadSafetyDomainNumberOrExit() {
  const u16 sdn = ScmGetSafetyDomainNumberFromEnvironment(SCM_SDN_ENVIRONMENT_NAME);
  if (sdn < SCM_SDN_MIN || sdn > SCM_SDN_MAX) {
    std::puts("SCM checker failed to start: environment not defined?");
    std::exit(-1);
  }
  return sdn;
}

int StartChecker(const SStartUpParts& parts) {
  parts.m_FwIdent = GetFirmwareIdentBlock();
  if (parts.m_FwIdent == nullptr) {
    return -1;
  }
  u32 go = 0;
  static_cast<void>(ScmWaitForCondition(GetSafetyDomainNumber(), 0, &go));
  if (!InitializeMessaging(parts.m_Messaging) || !VerifyExecutable() || !OpenCycleSemaphoresAndSession(parts)) {
    return -1;
  }
  const bool memorySound = InitializeProcessImageTester(parts.m_Tester, parts.m_ProcessImageValid);
  const bool filesSound = InitializePersistenceAndCheckers(parts);
  ExchangeIdentWord(ReadIdentWord(parts.m_FwIdent), parts.m_Session);
  // A fail-safe found before the handshake is logged at once but switched to only
  // now: the switch deletes the frame queues for everyone, and a firmware that has
  // not opened its queues yet (it does so early in its own start-up, which runs
  // beside this one) could then not start at all, so that it could neither report
  // why nor serve the unlock that brings the domain back. The firmware sets
  // condition 2 only after it opened its queues, and no frame is relayed before
  // the check task runs.
  if (!memorySound || !filesSound) {
    parts.m_Session.SwitchToFailSafe();
  }
  SynchronizeInitialSignatures(parts.m_Persistence, parts.m_Session);
  if (!SpawnCheckTask(parts.m_Priority, parts.m_Run)) {
    return -1;
  }
  taskExit(0);
}

void RunCheckTask(const SCheckTask& task) {
  int period = sysClkRateGet() / ms_CycleDivisor;
  if (period < ms_MinimumCycleTicks) {
    period = ms_MinimumCycleTicks;
  }
  u32 last = static_cast<u32>(ScmGetUSecCounter());
  for (;;) {
    const u32 now = static_cast<u32>(ScmGetUSecCounter());
    if (now - last > ms_CycleGapLimit) {
      ScmLogWarning(ErrorCodes::ms_CycleGapTooLong, GetSafetyDomainNumber(), now - last);
    }
    if (*task.m_ProcessImageValid) {
      try {
        task.m_Tester->TestOneMemoryBlock();
      } catch (const CException& error) {
        CException::LogError(error);
        task.m_Session->SwitchToFailSafe();
        *task.m_ProcessImageValid = false;
      }
    }
    try {
      task.m_RelayOneCycle();
    } catch (const CException& error) {
      CException::LogError(error);
      task.m_Session->SwitchToFailSafe();
    }
    if (task.m_AfterCycle != nullptr) {
      task.m_AfterCycle();
    }
    taskDelay(period);
    last = now;
  }
}

}  // namespace Main

void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8) {
  if (code == HNFHWT_EVENT_EXECUTABLE_CHECK) {
    Main::HNFEventCode = Util::ErrorCodes::ms_ExecutableCheckFailed;
    Main::HNFEventInfo0 = information0;
    Main::HNFEventInfo1 = information1;
    return;
  }
  throw Util::CException(static_cast<u16>(code & 0xFFFFu), information0, information1);
}
