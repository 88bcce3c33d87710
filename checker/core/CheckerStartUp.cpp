#include "CheckerStartUp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "CDefaultPersistence.h"
#include "CException.h"
#include "CDefaultMessaging.h"
#include "CProcessImageTester.h"
#include "CSession.h"
#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "Check/CPersistentFirmwareChecker.h"
#include "Check/CPersistentParameterChecker.h"
#include "Check/CPersistentUdidChecker.h"
#include "ErrorCodes.h"
#include "HNFevt_EventHook.h"
#include "HNFhwt_SelfTest.h"
#include "SafetyDomainNumber.h"
#include "ScmFirmwareIdent.h"
#include "ScmLog.h"
#include "ScmSystemCalls.h"

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

}  // namespace

u16 ReadSafetyDomainNumberOrExit() {
  const u16 sdn = ScmGetSafetyDomainNumberFromEnvironment(SCM_SDN_ENVIRONMENT_NAME);
  if (sdn < SCM_SDN_MIN || sdn > SCM_SDN_MAX) {
    std::puts("SCM checker failed to start: environment not defined?");
    std::exit(-1);
  }
  return sdn;
}

const u8* GetFirmwareIdentBlock() {
  const auto identLength =
      reinterpret_cast<std::uintptr_t>(LdFwIdentEnd) - reinterpret_cast<std::uintptr_t>(LdFwIdentStart);
  if (identLength < ms_IdentBlockMinimumLength) {
    std::puts("SCM checker failed to start: invalid signature?");
    return nullptr;
  }
  return LdFwIdentStart;
}

u32 ReadIdentWord(const u8* block) {
  u32 word = 0;
  for (u32 i = 0; i < 4; ++i) {
    word |= static_cast<u32>(block[SCM_FW_IDENT_WORD_OFFSET + i]) << (8 * i);
  }
  return word;
}

bool InitializeMessaging(CDefaultMessaging& messaging) {
  try {
    messaging.Initialize();
  } catch (const CException&) {
    std::puts("SCM checker failed to start: message queues are not available?");
    return false;
  }
  return true;
}

bool VerifyExecutable() {
  if (HNFhwt_VerifyExecutable() == 0) {
    CException::LogError(CException(static_cast<u16>(HNFEventCode), HNFEventInfo0, HNFEventInfo1));
    return false;
  }
  return true;
}

void InitializeProcessImageTester(Util::CProcessImageTester& tester, CSession& session, bool& processImageValid) {
  try {
    tester.Initialize();
  } catch (const CException& error) {
    CException::LogError(error);
    session.SwitchToFailSafe();
    processImageValid = false;
  }
}

void InitializePersistenceAndCheckers(CDefaultPersistence& persistence, Check::CPersistentUdidChecker& udidChecker,
                                      Check::CPersistentFirmwareChecker& firmwareChecker,
                                      Check::CPersistentParameterChecker& parameterChecker,
                                      Check::CPersistentAdditionalParameterCatalog& additionalParameterCatalog,
                                      CSession& session) {
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

void SynchronizeInitialSignatures(CDefaultPersistence& persistence, CSession& session) {
  try {
    persistence.SynchronizeInitialSignatures();
  } catch (const CException& error) {
    CException::LogError(error);
    session.SwitchToFailSafe();
  }
}

bool SpawnCheckTask(int priority, FUNCPTR run) {
  char name[ms_TaskNameLengthMax + 1] = {};
  std::snprintf(name, sizeof(name), ms_TaskNamePattern, static_cast<int>(GetSafetyDomainNumber()));
  if (taskSpawn(name, priority, 0, ms_CheckTaskStackSize, run, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == TASK_ID_ERROR) {
    ScmLogError(ErrorCodes::ms_CheckTaskNotSpawned, 0, 0);
    return false;
  }
  return true;
}

bool AwaitGo(const u8*& fwIdent) {
  fwIdent = GetFirmwareIdentBlock();
  if (fwIdent == nullptr) {
    return false;
  }
  u32 go = 0;
  static_cast<void>(ScmWaitForCondition(GetSafetyDomainNumber(), 0, &go));
  return true;
}

bool CompleteStartUp(const SStartUpParts& parts, u32 identWord, int priority, FUNCPTR run) {
  InitializeProcessImageTester(parts.m_Tester, parts.m_Session, parts.m_ProcessImageValid);
  InitializePersistenceAndCheckers(parts.m_Persistence, parts.m_UdidChecker, parts.m_FirmwareChecker,
                                   parts.m_ParameterChecker, parts.m_AdditionalCatalog, parts.m_Session);
  ExchangeIdentWord(identWord, parts.m_Session);
  SynchronizeInitialSignatures(parts.m_Persistence, parts.m_Session);
  return SpawnCheckTask(priority, run);
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
