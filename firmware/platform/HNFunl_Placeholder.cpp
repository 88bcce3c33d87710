// PLACEHOLDER for the unlock request: nothing to handle yet. The unlock module
// deletes this file.
#include "HNFcyc.h"

void HNFcyc_HandleUnlockRequest(void) {}
