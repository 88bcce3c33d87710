// The start-up steps and check-task pieces every checker build shares: the
// domain number read before main, the ident block and handshake with the
// firmware, the executable self-test with its event sink, the files and
// checks read at start-up, the check task's spawn and its loop. Each build's
// entry wires its own static objects and cycle through these.
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

class CSession;
class CDefaultMessaging;
class CDefaultPersistence;

/// Reads the domain number; outside 1 to 1023 prints the environment message and exits -1.
u16 ReadSafetyDomainNumberOrExit();
/// The firmware ident block of the image, or null (after printing the signature message)
/// when it is shorter than the ident word needs.
const u8* GetFirmwareIdentBlock();
/// The ident word at bytes 22 to 25 of the block, little-endian.
u32 ReadIdentWord(const u8* block);
/// Opens the queues; false (after printing the queue message) when one is missing.
bool InitializeMessaging(CDefaultMessaging& messaging);
/// Runs the executable self-test; false after logging its failure (0xE202).
bool VerifyExecutable();
/// Takes the memory test's reference CRCs; a failure is logged, fails safe and clears processImageValid.
void InitializeProcessImageTester(Util::CProcessImageTester& tester, CSession& session, bool& processImageValid);

/// Reads the files, then initializes the UDID, firmware, parameter and
/// additional-parameter checks in this order; any failure is logged and fails
/// safe, and start-up goes on.
void InitializePersistenceAndCheckers(CDefaultPersistence& persistence, Check::CPersistentUdidChecker& udidChecker,
                                      Check::CPersistentFirmwareChecker& firmwareChecker,
                                      Check::CPersistentParameterChecker& parameterChecker,
                                      Check::CPersistentAdditionalParameterCatalog& additionalParameterCatalog,
                                      CSession& session);
/// Sets condition 1 to the ident word and waits for condition 2; another answer logs 0xE203 and fails safe.
void ExchangeIdentWord(u32 identWord, CSession& session);
/// Writes the initial "corvane.uid.chk"; a failure is logged and fails safe.
void SynchronizeInitialSignatures(CDefaultPersistence& persistence, CSession& session);
/// Spawns the check task ("scm%04d/check", priority 128, 16 KiB); false after logging 0xE204.
bool SpawnCheckTask(int priority, FUNCPTR run);

/// The objects the start-up after the cycle semaphores works on.
struct SStartUpParts {
  Util::CProcessImageTester& m_Tester;                               ///< the memory self-test
  CSession& m_Session;                                               ///< the relay
  bool& m_ProcessImageValid;                                         ///< false for good after the memory test failed
  CDefaultPersistence& m_Persistence;                                ///< the files
  Check::CPersistentUdidChecker& m_UdidChecker;                      ///< required and acknowledged UDIDs
  Check::CPersistentFirmwareChecker& m_FirmwareChecker;              ///< required and acknowledged identities
  Check::CPersistentParameterChecker& m_ParameterChecker;            ///< required checksums
  Check::CPersistentAdditionalParameterCatalog& m_AdditionalCatalog;  ///< expected headers
};

/// The ident block found (else false after its message), then the wait for host condition 0.
bool AwaitGo(const u8*& fwIdent);
/// The start-up after the cycle semaphores: reference CRCs, files and checks, the handshake
/// with identWord, the initial copy, the check task's spawn; false after a failed spawn.
bool CompleteStartUp(const SStartUpParts& parts, u32 identWord, int priority, FUNCPTR run);

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
