// The relay between the host runtime and the firmware: complements or
// restores the bytes of every message kind, decodes what needs checking and
// hands it to the inspector, holds the host's reset lock around events,
// commands and responses, owns the fail-safe switch and arms the unlock
// deadline that its own timeout task enforces.
#pragma once
#include <atomic>

#include "CInspector.h"
#include "CMessaging.h"
#include "CSession.h"
#include "Event/CEventDecoder.h"
#include "Frame/CDecodedFrameVisitor.h"
#include "Frame/CFrameDecoder.h"
#include "Hmi/CCommandDecoder.h"
#include "Hmi/CCommandDecoding.h"
#include "Hmi/CDecodedResponseVisitor.h"
#include "Hmi/CResponseDecoder.h"
#include "Hmi/CResponseDecoding.h"
#include "ScmTypes.h"
#include "vxworks.h"

namespace Main {

class CDefaultSession : public CSession,
                        public Frame::CDecodedFrameVisitor,
                        public Hmi::CDecodedResponseVisitor {
 public:
  static constexpr const char* ms_TimeoutTaskNamePattern = "scm%04d/timeout";  ///< timeout task's name
  static constexpr unsigned ms_TimeoutTaskNameLengthMax = 50;                  ///< longest task name
  static constexpr size_t ms_TimeoutTaskStackSize = 4096;  ///< timeout task's stack in bytes
  static constexpr int ms_TimeoutTaskPriority = 127;       ///< timeout task's priority
  static constexpr u32 ms_NoResetTimestamp = 0;            ///< deadline value: not armed
  static constexpr u32 ms_UnlockResetDelay = 20;  ///< seconds from the first unlock request to the reset
  static constexpr u32 ms_DoppedSentFrameWarningInterval = 60000000;  ///< microseconds between drop warnings

  static constexpr u8 ms_UnlockMessageLengthMax = 21;        ///< longest unlock request or response
  static constexpr u16 ms_FrameLengthMax = 521;              ///< longest frame
  static constexpr u8 ms_CommandLengthMax = 42;              ///< longest command
  static constexpr u16 ms_ResponseLengthMax = 280;           ///< longest status response
  static constexpr u8 ms_EventLengthMax = 11;                ///< longest event
  static constexpr unsigned ms_UnlockRequestsPerCycle = 1;   ///< unlock requests relayed per cycle
  static constexpr unsigned ms_UnlockResponsesPerCycle = 1;  ///< unlock responses relayed per cycle
  static constexpr unsigned ms_ReceivedFramesPerCycle = 20;  ///< frames to the firmware per cycle
  static constexpr unsigned ms_EventsPerCycle = 10;          ///< events per cycle
  static constexpr unsigned ms_SentFramesPerCycle = 20;      ///< frames from the firmware per cycle
  static constexpr unsigned ms_CommandsPerCycle = 1;         ///< commands per cycle
  static constexpr unsigned ms_ResponsesPerCycle = 1;        ///< responses per cycle
  static constexpr _Vx_usr_arg_t ms_PlcResetWord = 32;       ///< argument of the controller reset

  /// The current build's session: its own command, response and event decoders.
  /// Stores both references and clears every buffer; nothing else runs.
  CDefaultSession(CMessaging& messaging, CInspector& inspector);
  /// A session with the given decoders; events == nullptr is the build without
  /// events, whose events are only complemented and relayed (no reset lock, no
  /// decoding, no inspection).
  CDefaultSession(CMessaging& messaging, CInspector& inspector, Hmi::CCommandDecoding& commandDecoder,
                  Hmi::CResponseDecoding& responseDecoder, Event::CEventDecoder* eventDecoder);
  ~CDefaultSession() override;

  CDefaultSession(const CDefaultSession&) = delete;
  CDefaultSession& operator=(const CDefaultSession&) = delete;

  /// Spawns the timeout task (failure 0xE209); once only (again: 0xE200).
  void Initialize();
  /// The unlock deadline in real-time seconds, 0 while not armed.
  u32 GetPlcResetTimestamp() const;

  void HandleAllUnlockRequests() override;
  void HandleAllUnlockResponses() override;
  void HandleAllReceivedFrames() override;
  void HandleAllSentFrames() override;
  void HandleAllCommands() override;
  void HandleAllResponses() override;
  void HandleAllEvents() override;
  void SwitchToFailSafe() override;

  /// An assign-UDID-of-SCM request sets the UDID used to decode later frames.
  void VisitSnmtAssignUdidScm(const Frame::CDecodedSnmtAssignUdidScm& frame) override;
  /// Marks a status response with the fail-safe state and, on success, inspects the postponed command.
  void VisitStatus(Hmi::CDecodedStatus& status) override;
  void VisitStatusNew(Hmi::CDecodedStatusNew& status) override;

  /// Body of the timeout task: enforces the unlock deadline once a second.
  static int WaitForUnlockTimeout(_Vx_usr_arg_t session, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                                  _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                                  _Vx_usr_arg_t);

 private:
  /// 0xE200 unless initialized.
  void CheckInitialized() const;
  bool IsFailSafe() const;
  /// Relays up to perCycle messages of one kind while its source has one and its destination room.
  void RelayWhileReady(unsigned perCycle, bool (CMessaging::*canReceive)(), bool (CMessaging::*canSend)(),
                       void (CDefaultSession::*handle)());
  /// Writes the fail-safe state into a status response; on success inspects the postponed command,
  /// and if that throws, fails safe and marks the response again before the error goes on.
  template <class TStatus>
  void MarkAndInspect(TStatus& status, void (TStatus::*setFailSafe)(bool));
  void HandleUnlockRequest();
  void HandleUnlockResponse();
  void HandleReceivedFrame();
  void HandleSentFrame();
  void DropSentFrame();
  void WarnOfDroppedSentFrames();
  void HandleEvent();
  /// Reset lock, decoding and inspection of one plain event.
  void InspectEvent(u8 length);
  void HandleCommand();
  void HandleResponse();
  /// Decodes the postponed command and hands it to the inspector.
  void InspectPostponedCommand();
  /// ScmLockReset; failure throws 0xE20C.
  void LockReset();
  /// ScmUnlockReset; failure throws 0xE20D.
  void UnlockReset();
  /// The timeout task's loop; returns when the deadline fired or the clock failed.
  void EnforceUnlockDeadline();

  CMessaging& m_Messaging;                        ///< the fourteen queues
  CInspector& m_Inspector;                        ///< checks of every decoded message
  TASK_ID m_TimeoutTaskId{TASK_ID_ERROR}; ///< timeout task, -1 until spawned
  std::atomic<bool> m_Initialized{false}; ///< set once by Initialize
  std::atomic<u32> m_PlcResetTimestamp{ms_NoResetTimestamp}; ///< unlock deadline in real-time seconds, 0 = not armed
  u8 m_UnlockMessage[ms_UnlockMessageLengthMax]{}; ///< unlock request or response in transit
  u8 m_Frame[ms_FrameLengthMax]{}; ///< frame in transit
  u8 m_RestoredFrame[ms_FrameLengthMax]{}; ///< plain copy of a sent frame
  u8 m_PostponedCommand[ms_CommandLengthMax]{}; ///< last command from the host, plain
  u8 m_PostponedCommandLength{0}; ///< its length
  u8 m_InvertedCommand[ms_CommandLengthMax]{}; ///< its complemented copy for the firmware
  u8 m_Response[ms_ResponseLengthMax]{}; ///< status response in transit
  u8 m_Event[ms_EventLengthMax]{}; ///< event in transit
  Frame::CFrameDecoder m_FrameDecoder;            ///< decodes frames both ways
  Hmi::CCommandDecoder m_OwnCommandDecoder;       ///< the current build's command decoder
  Hmi::CResponseDecoder m_OwnResponseDecoder;     ///< the current build's response decoder
  Event::CEventDecoder m_OwnEventDecoder;         ///< the current build's event decoder
  Hmi::CCommandDecoding& m_CommandDecoder;        ///< decodes the postponed command
  Hmi::CResponseDecoding& m_ResponseDecoder;      ///< decodes status responses
  Event::CEventDecoder* m_pEventDecoder;          ///< decodes events; null: events are only relayed
  u8 m_ScmUdid[6]{}; ///< SCM UDID for descrambling SSDO frames, zero until assigned
  std::atomic<bool> m_NotFailSafe{true}; ///< false for good once fail-safe
  u32 m_DroppedSentFrameCount{0}; ///< sent frames dropped since the last warning
  u32 m_LastDropWarningTime{0}; ///< low 32 bits of the microsecond counter at the last warning
};

}  // namespace Main
