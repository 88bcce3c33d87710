// scmfirmware: starts up beside the host runtime, hands over to its two tasks
// and ends its own initial task.
#include "HNFstp.h"
#include "vxworks.h"

int main() {
  if (HNFstp_StartUp() != 0) {
    return -1;
  }
  taskExit(0);
}
