// Entry of scmchecker-legacy, the older release of the checker: its static
// objects in their building order (no commissioner; the key-medium copy from
// Qor variable 4; the older decoders and inspector), the start-up handshake
// with the firmware, which creates the cycle semaphores when the host has not,
// and the check task, which relays events last and resets the safety domain
// once when the Qor controller's channel comes back after a failed read.
#include <cerrno>

#include "CChannelQorVariableStorage.h"
#include "CDefaultMessaging.h"
#include "CDefaultPersistence.h"
#include "CDefaultSession.h"
#include "CException.h"
#include "CLegacyInspector.h"
#include "CManualAcknowledgementPolicy.h"
#include "CProcessImageTester.h"
#include "CQorVariableCorvaneCopySource.h"
#include "CRuntimeFileStorage.h"
#include "Check/CCheckingAdditionalParameterInspector.h"
#include "Check/CCheckingFirmwareInspector.h"
#include "Check/CCheckingParameterInspector.h"
#include "Check/CCheckingUdidInspector.h"
#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "Check/CPersistentFirmwareChecker.h"
#include "Check/CPersistentParameterChecker.h"
#include "Check/CPersistentUdidChecker.h"
#include "CheckerSections.h"
#include "CheckerStartUp.h"
#include "ErrorCodes.h"
#include "Hmi/CLegacyCommandDecoder.h"
#include "Hmi/CLegacyResponseDecoder.h"
#include "SafetyDomainNumber.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"


namespace {

using Util::CException;
using Util::ErrorCodes;

/// Mode of a cycle semaphore the checker creates: exclusive, deleted with its last handle.
constexpr int ms_CreateSemaphoreMode = OM_CREATE | OM_EXCL | OM_DELETE_ON_LAST_CLOSE;


// ---- the static objects, in building order ----
constexpr int TaskPriority = Main::CDefaultSession::ms_TimeoutTaskPriority + 1;  ///< check task's priority
Util::CProcessImageTester processImageTester(Main::ms_SectionCount, Main::sectionMaps);      ///< memory self-test
const u16 safetyDomainNumber = Main::ReadSafetyDomainNumberOrExit();             ///< domain number
Main::CDefaultMessaging messaging;                                               ///< the fourteen queues
Main::CRuntimeFileStorage fileStorage;                                           ///< host storage
Main::CChannelQorVariableStorage qorVariableStorage;                             ///< Qor variables over channel 6
Main::CQorVariableCorvaneCopySource corvaneCopySource(qorVariableStorage);       ///< the identity in variable 4
Main::CDefaultPersistence persistence(fileStorage, corvaneCopySource,
                                      Main::ms_LegacyPersistenceProfile);  ///< files and acknowledged values
Check::CManualAcknowledgementPolicy acknowledgementPolicy;  ///< manual acknowledgements only
Check::CPersistentUdidChecker udidChecker(persistence.GetRequiredSafetyAddressReader(),
                                          persistence.GetAcknowledgedInvertedUdidReader(),
                                          persistence.GetAcknowledgedInvertedUdidWriter(),
                                          persistence);  ///< required, acknowledged and discovered UDIDs
Check::CCheckingUdidInspector udidInspector(udidChecker, acknowledgementPolicy);  ///< UDID check
Check::CPersistentFirmwareChecker firmwareChecker(
    persistence.GetRequiredInvertedFirmwareVersionReader(), persistence.GetAcknowledgedInvertedMinorRevisionReader(),
    persistence.GetAcknowledgedInvertedMinorRevisionWriter(), persistence);  ///< required and acknowledged identities
Check::CCheckingFirmwareInspector firmwareInspector(firmwareChecker, acknowledgementPolicy);  ///< firmware check
Check::CPersistentParameterChecker parameterChecker(
    persistence.GetRequiredInvertedParameterChecksumReader());  ///< required parameter checksums
Check::CCheckingParameterInspector parameterInspector(parameterChecker);  ///< parameter-checksum check
Check::CPersistentAdditionalParameterCatalog additionalParameterCatalog(
    persistence.GetRequiredInvertedAdditionalParameterHeaderReader());  ///< expected additional-parameter headers
Check::CCheckingAdditionalParameterInspector additionalParameterInspector(
    additionalParameterCatalog);  ///< additional-parameter check
Main::CLegacyInspector inspector(persistence, persistence, udidInspector, firmwareInspector, parameterInspector,
                                 additionalParameterInspector);  ///< checks of every message
Hmi::CLegacyCommandDecoder commandDecoder;    ///< the older firmware's commands
Hmi::CLegacyResponseDecoder responseDecoder;  ///< the older firmware's status responses
Main::CDefaultSession session(messaging, inspector, commandDecoder, responseDecoder,
                              nullptr);  ///< the relay, events only relayed

bool processImageValid = true;                  ///< false for good after the memory test failed
const u8* fwIdent = nullptr;                    ///< the firmware ident block
SEM_ID frameQueueToScmSemaphoreId = nullptr;    ///< given to let the firmware run its cycle
SEM_ID frameQueueFromScmSemaphoreId = nullptr;  ///< given by the firmware after its cycle
bool domainResetAfterRecovery = false;          ///< the one reset after the controller came back was made

/// Opens one cycle semaphore by name, else creates it empty; neither throws 0xE206 with number.
SEM_ID OpenOrCreateCycleSemaphore(char* (*nameBuilder)(u16, char*), u16 number) {
  char name[SCM_QUEUE_NAME_SIZE] = {};
  nameBuilder(safetyDomainNumber, name);
  SEM_ID semaphore = semOpen(name, 0, 0, 0, 0, nullptr);
  if (semaphore == nullptr) {
    semaphore = semOpen(name, SEM_TYPE_BINARY, SEM_EMPTY, 0, ms_CreateSemaphoreMode, nullptr);
  }
  if (semaphore == nullptr) {
    throw CException(ErrorCodes::ms_CycleSemaphoreFailed, number, static_cast<u32>(errno));
  }
  return semaphore;
}

/// Calls a semaphore operation; a failure throws 0xE206 with number.
void CycleSemaphoreStep(STATUS (*operation)(SEM_ID), SEM_ID semaphore, u16 number) {
  if (operation(semaphore) != OK) {
    throw CException(ErrorCodes::ms_CycleSemaphoreFailed, number, static_cast<u32>(errno));
  }
}

/// Gives the firmware-side "frame-send" semaphore: the firmware may run its cycle.
STATUS GiveFrameSend(SEM_ID semaphore) { return semGive(semaphore); }
/// Waits without limit for the firmware's end of cycle.
STATUS TakeFrameReceive(SEM_ID semaphore) { return semTake(semaphore, WAIT_FOREVER); }

/// One guarded relay cycle: what goes to the firmware, its cycle, what comes back, events last.
void RelayOneCycle() {
  session.HandleAllUnlockRequests();
  session.HandleAllUnlockResponses();
  session.HandleAllReceivedFrames();
  CycleSemaphoreStep(GiveFrameSend, frameQueueToScmSemaphoreId, 0);
  CycleSemaphoreStep(TakeFrameReceive, frameQueueFromScmSemaphoreId, 1);
  session.HandleAllSentFrames();
  session.HandleAllCommands();
  session.HandleAllResponses();
  session.HandleAllEvents();
}

/// After a failed read of the controller, the first cycle that finds it back resets the domain,
/// once in the life of the task.
void ResetDomainOnceRecovered() {
  if (domainResetAfterRecovery || !qorVariableStorage.HasFailed() || !qorVariableStorage.HasRecovered()) {
    return;
  }
  static_cast<void>(ScmReset(safetyDomainNumber));
  domainResetAfterRecovery = true;
}

/// The check task: never returns.
int Run(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
        _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t) {
  Main::RunCheckTask({&processImageTester, &session, &processImageValid, RelayOneCycle, ResetDomainOnceRecovered});
}

/// Opens both cycle semaphores, else creates them, and leaves each given once.
void OpenCycleSemaphores() {
  frameQueueToScmSemaphoreId = OpenOrCreateCycleSemaphore(ScmGetFrameQueueToScmName, 2);
  frameQueueFromScmSemaphoreId = OpenOrCreateCycleSemaphore(ScmGetFrameQueueFromScmName, 3);
  CycleSemaphoreStep(semFlush, frameQueueToScmSemaphoreId, 4);
  CycleSemaphoreStep(semFlush, frameQueueFromScmSemaphoreId, 5);
  CycleSemaphoreStep(semGive, frameQueueToScmSemaphoreId, 6);
  CycleSemaphoreStep(semGive, frameQueueFromScmSemaphoreId, 7);
}

}  // namespace

u16 GetSafetyDomainNumber() { return safetyDomainNumber; }

/// Returns -1 on a failed start, else ends the initial task.
int main() {
  return Main::StartChecker({messaging, OpenCycleSemaphores, processImageTester, session, processImageValid, fwIdent,
                             persistence, udidChecker, firmwareChecker, parameterChecker, additionalParameterCatalog,
                             TaskPriority, Run});
}
