// Entry of scmchecker: the checker's static objects in their building order,
// the start-up handshake with the firmware and the check task, which paces
// the firmware's cycle and runs one step of the memory self-test per cycle.
#include <cerrno>

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
#include "CRuntimeFileStorage.h"
#include "CheckerSections.h"
#include "CheckerStartUp.h"
#include "ErrorCodes.h"
#include "SafetyDomainNumber.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"


namespace {

using Util::CException;
using Util::ErrorCodes;



// ---- the static objects, in building order ----
constexpr int TaskPriority = Main::CDefaultSession::ms_TimeoutTaskPriority + 1;  ///< 1: check task's priority
Util::CProcessImageTester processImageTester(Main::ms_SectionCount, Main::sectionMaps);      ///< 2: memory self-test
const u16 safetyDomainNumber = Main::ReadSafetyDomainNumberOrExit();             ///< 3: domain number
Main::CDefaultMessaging messaging;                                               ///< 4: the fourteen queues
Main::CRuntimeFileStorage fileStorage;                                           ///< 5: host storage
Main::CDefaultPersistence persistence(fileStorage, Main::GetFlashCorvaneCopySource(),
                                      Main::ms_CurrentPersistenceProfile);       ///< 6: files and acknowledged values
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
  Main::RunCheckTask({&processImageTester, &session, &processImageValid, RelayOneCycle, nullptr});
}

/// Step 5 of the start-up: opens (never creates) both cycle semaphores the host made.
void OpenCycleSemaphores() {
  frameQueueToScmSemaphoreId = OpenCycleSemaphore(ScmGetFrameQueueToScmName, 0);
  frameQueueFromScmSemaphoreId = OpenCycleSemaphore(ScmGetFrameQueueFromScmName, 1);
}

}  // namespace

u16 GetSafetyDomainNumber() { return safetyDomainNumber; }

/// Returns -1 on a failed start, else ends the initial task.
int main() {
  return Main::StartChecker({messaging, OpenCycleSemaphores, processImageTester, session, processImageValid, fwIdent,
                             persistence, udidChecker, firmwareChecker, parameterChecker, additionalParameterCatalog,
                             TaskPriority, Run});
}
