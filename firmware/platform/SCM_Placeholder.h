// PLACEHOLDER: what a test sees of the stand-in acknowledge entry points until
// the configuration manager replaces SCM_Placeholder.cpp; delete both with it.
#pragma once
#include "ScmTypes.h"

/// Calls and answers of the stand-in acknowledges.
struct SCM_PlaceholderAck {
  u32 ulOperatorAcks;   ///< SCM_OperatorAck calls
  u16 usOperatorFsm;    ///< handle of the last one
  u8 ucOperatorResult;  ///< what SCM_OperatorAck answers (tests set it)
  u32 ulSnFailAcks;     ///< SCM_SnFailAck calls
  u16 usSnFailFsm;      ///< handle of the last one
  u8 ucSnFailGroup;     ///< group of the last one
  u8 ucSnFailCode;      ///< code of the last one
};

/// The stand-in's record.
extern SCM_PlaceholderAck SCM_gPlaceholderAck;
