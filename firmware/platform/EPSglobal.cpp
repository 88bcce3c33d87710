// The platform's cycle-wide record. The module-state copy starts as 0, so the
// cycle stays idle until the stack initialisation sets it normal.
#include "EPSglobal.h"

EPS_Global EPS_gGlobal;
