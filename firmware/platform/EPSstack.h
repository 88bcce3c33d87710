// Stack entry points that the platform calls and that the stack library does
// not declare yet; each moves to the stack's own header when it lands there.
#pragma once
#include "ScmTypes.h"

/// Operator acknowledge of a UDID mismatch for the node with this handle; 1 when accepted.
u8 SCM_OperatorAck(u16 fsmIndex);
/// Acknowledge of a safety node failure (group, code) for the node with this handle; 1 when accepted.
u8 SCM_SnFailAck(u16 fsmIndex, u8 group, u8 code);
