#include "ScmLog.h"

#include <atomic>

#include "CException.h"
#include "SafetyDomainNumber.h"
#include "ScmQueueNames.h"
#include "vxworks.h"

namespace {

constexpr u8 ms_ErrorLevel = 3;           ///< record level of an error
constexpr u8 ms_WarningLevel = 2;         ///< record level of a warning
constexpr u32 ms_MaximumLogCount = 4;     ///< log attempts allowed in the life of the process
constexpr unsigned ms_RecordLength = 11;  ///< bytes of one event record

/// Log attempts so far, failed ones included; shared by every task.
std::atomic<u32> eventSinceErrorCount{0};
/// Host-side "event" queue, opened on first use; 0 = not open.
std::atomic<MSG_Q_ID> eventQueueId{nullptr};

void StoreLittleEndian(u8* target, u32 value, unsigned bytes) {
  for (unsigned i = 0; i < bytes; ++i) {
    target[i] = static_cast<u8>(value >> (8 * i));
  }
}

void Log(u8 level, u16 code, u16 information0, u32 information1) {
  // Checking first keeps the counter from running on towards a wrap.
  if (eventSinceErrorCount.load() >= ms_MaximumLogCount ||
      eventSinceErrorCount.fetch_add(1) >= ms_MaximumLogCount) {
    return;
  }
  MSG_Q_ID queue = eventQueueId.load();
  if (queue == nullptr) {
    char name[SCM_QUEUE_NAME_SIZE] = {};
    const char* qualified = ScmGetEventQueueToRuntimeName(GetSafetyDomainNumber(), name);
    queue = msgQOpen(qualified, 0, 0, 0, 0, nullptr);
    if (queue == nullptr) {
      return;
    }
    eventQueueId.store(queue);
  }
  u8 record[ms_RecordLength] = {};
  record[0] = level;
  StoreLittleEndian(&record[1], code, 4);
  StoreLittleEndian(&record[5], information0, 2);
  StoreLittleEndian(&record[7], information1, 4);
  // A full queue loses the record: the log never reports its own failures.
  static_cast<void>(
      msgQSend(queue, reinterpret_cast<char*>(record), ms_RecordLength, NO_WAIT, MSG_PRI_NORMAL));
}

}  // namespace

extern "C" void ScmLogError(u16 code, u16 information0, u32 information1) {
  Log(ms_ErrorLevel, code, information0, information1);
}

extern "C" void ScmLogWarning(u16 code, u16 information0, u32 information1) {
  Log(ms_WarningLevel, code, information0, information1);
}

namespace Util {

void CException::LogError(const CException& exception) {
  ScmLogError(exception.GetCode(), exception.GetInformation0(), exception.GetInformation1());
}

void CException::LogWarning(const CException& exception) {
  ScmLogWarning(exception.GetCode(), exception.GetInformation0(), exception.GetInformation1());
}

}  // namespace Util
