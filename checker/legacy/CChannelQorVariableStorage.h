// Reads Qor controller variables over the host's channel 6: a read request,
// then a bounded wait for the answer. Remembers that a read failed and later
// probes whether the controller and its channel work again.
#pragma once
#include "CQorVariableStorage.h"
#include "Sio/CDecodedMessageHandler.h"
#include "Sio/CMessageDecoder.h"

namespace Main {

class CChannelQorVariableStorage : public CQorVariableStorage, private Sio::CDecodedMessageHandler {
 public:
  static constexpr u32 ms_Channel = 6;                 ///< host channel of the Qor variables
  static constexpr u8 ms_BufferSize = 200;             ///< bytes of a message either way
  static constexpr u8 ms_ProbeVariable = 4;            ///< variable the recovery probe asks for
  static constexpr u8 ms_UnknownState = 0xFF;          ///< fail-safe state: not known yet
  static constexpr u32 ms_ResponseTimeout = 9999999;   ///< microseconds an answer may take
  static constexpr int ms_PollDivisor = 100;           ///< poll period = clock rate / this
  static constexpr int ms_MinimumPollTicks = 10;       ///< shortest poll period in ticks

  /// Clears every member; nothing else runs.
  CChannelQorVariableStorage();
  ~CChannelQorVariableStorage() override;

  CChannelQorVariableStorage(const CChannelQorVariableStorage&) = delete;
  CChannelQorVariableStorage& operator=(const CChannelQorVariableStorage&) = delete;

  /// Waits while the controller's state is unknown (without limit), then reads the
  /// variable. Null destination 0xE200; controller fail-safe 0xE238 (i1 state);
  /// channel faults 0xE239-0xE23C; no answer in 10 s 0xE2D1 (i1 0); no read
  /// response 0xE23D (i0 length, i1 first four bytes); payload above maxLength
  /// 0xE23E (i1 payload length); an answer shorter than its payload 0xE2D1 (i1
  /// received length). A 2-byte answer with payload length 0 (never written)
  /// returns 0. Every throw of a read marks the storage failed.
  u8 Read(u8 variable, u8 maxLength, void* destination) override;
  bool HasFailed() const override;
  /// False while nothing failed; else probes the controller state and, only when
  /// it is 0, the channel; latched once both are good.
  bool HasRecovered() override;

 private:
  void VisitReadResponse(const Sio::CDecodedReadResponse& response) override;

  /// Polls the fail-safe state until known; not 0 throws 0xE238.
  void ConfirmQorOk();
  /// Open, request, receive until an answer or the time-out, close; the received length.
  u8 ConfirmQorResponse(u8 variable);
  /// One fail-safe state poll: state 0.
  bool IsQorOk();
  /// Open, request variable 4, one receive, close, inside the reset lock; false on any fault.
  bool IsChannelOk();
  i32 OpenQorChannel();
  void SendQorRequest(i32 handle, u8 variable);
  u8 ReceiveQorResponse(i32 handle);
  void CloseQorChannel(i32 handle);
  /// Ticks between two polls.
  static int PollPeriod();

  u8 m_Buffer[ms_BufferSize];     ///< request out, answer in
  Sio::CMessageDecoder m_Decoder; ///< decodes the answer in m_Buffer
  bool m_Failed;                  ///< a read failed (never cleared)
  bool m_Recovered;               ///< the probe succeeded after a failure (never cleared)
  u8* m_pDestination;             ///< destination of the read in progress
  u8 m_MaxLength;                 ///< its maximum payload length
  u8 m_ReceivedLength;            ///< bytes received for it
  u8 m_PayloadLength;             ///< payload bytes copied
  bool m_ResponseSeen;            ///< a read response was handled
};

}  // namespace Main
