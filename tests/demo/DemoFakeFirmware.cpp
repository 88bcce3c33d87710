// Stands in for scmfirmware in the demo's tests. SCM_DEMO_FAKE_MODE says what
// it does once the domain is there: "fatal-event" puts a class-9 event record
// on the host "event" queue, "delete-queue" deletes the firmware-side
// "frame-send" queue as the checker's fail-safe would. Then it waits to be stopped.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

int main() {
  const u16 sdn = ScmGetSafetyDomainNumberFromEnvironment("SafetyDomainNumber");
  const char* mode = std::getenv("SCM_DEMO_FAKE_MODE");
  if (sdn == 0 || mode == nullptr) return 2;
  char name[32];
  if (std::strcmp(mode, "fatal-event") == 0) {
    MSG_Q_ID queue = msgQOpen(GetQualifiedRuntimeQueueName(sdn, "event", name), 0, 0, 0, 0, nullptr);
    // level 3, code 0x9200AF18, information0 0, information1 2
    char record[11] = {3, 0x18, static_cast<char>(0xAF), 0x00, static_cast<char>(0x92), 0, 0, 2, 0, 0, 0};
    if (queue == nullptr || msgQSend(queue, record, sizeof record, NO_WAIT, MSG_PRI_NORMAL) != OK) return 3;
  } else if (std::strcmp(mode, "delete-queue") == 0) {
    MSG_Q_ID queue = msgQOpen(GetQualifiedScmQueueName(sdn, "frame-send", name), 0, 0, 0, 0, nullptr);
    if (queue == nullptr || msgQDelete(queue) != OK) return 3;
  } else {
    return 2;
  }
  for (;;) pause();
}
