// PLACEHOLDER for the SCM's acknowledge entry points: calls are recorded and
// answered with a fixed result (0: refused). The configuration manager deletes
// this file and SCM_Placeholder.h; EPSstack.h's declarations move to its header.
#include "EPSstack.h"
#include "SCM_Placeholder.h"

SCM_PlaceholderAck SCM_gPlaceholderAck;

u8 SCM_OperatorAck(u16 fsmIndex) {
  ++SCM_gPlaceholderAck.ulOperatorAcks;
  SCM_gPlaceholderAck.usOperatorFsm = fsmIndex;
  return SCM_gPlaceholderAck.ucOperatorResult;
}

u8 SCM_SnFailAck(u16 fsmIndex, u8 group, u8 code) {
  ++SCM_gPlaceholderAck.ulSnFailAcks;
  SCM_gPlaceholderAck.usSnFailFsm = fsmIndex;
  SCM_gPlaceholderAck.ucSnFailGroup = group;
  SCM_gPlaceholderAck.ucSnFailCode = code;
  return 0;
}
