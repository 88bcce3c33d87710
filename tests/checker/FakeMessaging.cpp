#include "FakeMessaging.h"

#include "CException.h"
#include "ErrorCodes.h"

namespace CheckerTest {

FakeMessaging::FakeMessaging() { m_Capacity.fill(100); }

void FakeMessaging::Put(Q queue, const Bytes& bytes) { m_Queues[Index(queue)].push_back(bytes); }

unsigned FakeMessaging::Receive(Q queue, unsigned max, u8* buffer) {
  if (m_Fail[Index(queue)]) {
    m_Fail[Index(queue)] = false;
    throw Util::CException(Util::ErrorCodes::ms_QueueReceiveFailed, 1);
  }
  auto& messages = m_Queues[Index(queue)];
  if (messages.empty()) {
    throw Util::CException(Util::ErrorCodes::ms_QueueReceiveFailed, 2);
  }
  const Bytes message = messages.front();
  messages.pop_front();
  const unsigned n = message.size() < max ? static_cast<unsigned>(message.size()) : max;
  for (unsigned i = 0; i < n; ++i) {
    buffer[i] = message[i];
  }
  return n;
}

void FakeMessaging::Send(Q queue, unsigned length, const u8* data) {
  if (m_Fail[Index(queue)]) {
    m_Fail[Index(queue)] = false;
    throw Util::CException(Util::ErrorCodes::ms_QueueSendFailed, 1);
  }
  m_Queues[Index(queue)].push_back(Bytes(data, data + length));
}

Bytes Complement(const Bytes& bytes) {
  Bytes out(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out[i] = static_cast<u8>(~bytes[i]);
  }
  return out;
}

}  // namespace CheckerTest
