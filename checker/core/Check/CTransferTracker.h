// Follows one SADR's segmented SSDO transfer by the CT numbers of its frames.
// The firmware numbers requests 1 to 0xFFFF and then 1 again (never 0),
// repeats a request with its number, and after a node's repeat request in a
// preload window resends earlier segments with their earlier numbers; nodes
// answer with the request's number. So a segment is new exactly when its CT
// follows the last one taken, and an initiate that lies in the running
// transfer's taken range is a repetition of that transfer.
#pragma once
#include "ScmTypes.h"

namespace Check {

class CTransferTracker {
 public:
  CTransferTracker();

  /// A segmented initiate with this CT: false when it repeats the running
  /// transfer (ignore it), else the transfer starts afresh and true.
  bool TryTakeInitiate(u16 ct);
  /// A middle or end segment: true (taken) only while a transfer runs and its
  /// CT is the successor of the last one taken.
  bool TryTakeSegment(u16 ct);
  /// The transfer ended (end segment taken, expedited transfer, SADR assigned).
  void Clear();
  /// A segmented transfer is in progress.
  bool IsInProgress() const { return m_InProgress; }

  /// The CT that follows ct: 0xFFFF wraps to 1.
  static u16 GetSuccessor(u16 ct);

 private:
  /// Steps from the first CT taken to ct along the numbering; above 0xFFFF when unreachable.
  u32 GetStepsFromFirst(u16 ct) const;

  bool m_InProgress;  ///< a segmented transfer runs
  u16 m_FirstCt;      ///< CT of the initiate that started it
  u16 m_LastCt;       ///< CT of the last frame taken
};

}  // namespace Check
