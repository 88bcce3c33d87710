// The start-up and check task every checker build shares: the domain number
// read before main, the ident block and handshake with the firmware, the
// executable self-test with its event sink, the files and checks read at
// start-up, the check task's spawn and its loop. Each build's entry wires its
// own static objects, opens its cycle semaphores and relays its cycle; its
// main hands them to StartChecker and its check task runs RunCheckTask.
#pragma once
#include "ScmTypes.h"
#include "vxworks.h"

namespace Util {
class CProcessImageTester;
}
namespace Check {
class CPersistentUdidChecker;
class CPersistentFirmwareChecker;
class CPersistentParameterChecker;
class CPersistentAdditionalParameterCatalog;
}  // namespace Check

namespace Main {

class CDefaultMessaging;
class CDefaultPersistence;
class CDefaultSession;
class CSession;

/// Reads the domain number; outside 1 to 1023 prints the environment message and exits -1.
u16 ReadSafetyDomainNumberOrExit();

/// What a checker build's entry hands to the shared start-up.
struct SStartUpParts {
  CDefaultMessaging& m_Messaging;                                     ///< the fourteen queues
  void (*m_OpenCycleSemaphores)();                                    ///< the build's cycle semaphores (throws its errors)
  Util::CProcessImageTester& m_Tester;                                ///< the memory self-test
  CDefaultSession& m_Session;                                         ///< the relay
  bool& m_ProcessImageValid;                                          ///< false for good after the memory test failed
  const u8*& m_FwIdent;                                               ///< set to the firmware ident block
  CDefaultPersistence& m_Persistence;                                 ///< the files
  Check::CPersistentUdidChecker& m_UdidChecker;                       ///< required and acknowledged UDIDs
  Check::CPersistentFirmwareChecker& m_FirmwareChecker;               ///< required and acknowledged identities
  Check::CPersistentParameterChecker& m_ParameterChecker;             ///< required checksums
  Check::CPersistentAdditionalParameterCatalog& m_AdditionalCatalog;  ///< expected headers
  int m_Priority;                                                     ///< the check task's priority
  FUNCPTR m_Run;                                                      ///< the check task's body
};

/// The whole start-up, from main: the ident block (else its message), the wait for host
/// condition 0, the queues, the executable self-test, the build's cycle semaphores and the
/// session (a failure of these ends the start with -1), then the reference CRCs, files and
/// checks (a failure is logged at once and fails safe once the firmware answered the
/// handshake), the ident-word handshake, the initial copy and the check task's spawn (a
/// failed spawn: -1). After a good start the initial task ends itself; this never returns then.
int StartChecker(const SStartUpParts& parts);

/// What the check task does in every cycle of its loop.
struct SCheckTask {
  Util::CProcessImageTester* m_Tester;  ///< the memory self-test
  CSession* m_Session;                  ///< the relay
  bool* m_ProcessImageValid;            ///< false for good after the memory test failed
  void (*m_RelayOneCycle)();            ///< the build's guarded relay cycle (throws its errors)
  void (*m_AfterCycle)();               ///< the build's step after the relay, or null
};

/// The check task's loop: gap warning, memory step, guarded relay cycle, the
/// build's step after it, delay. Never returns.
[[noreturn]] void RunCheckTask(const SCheckTask& task);

}  // namespace Main
