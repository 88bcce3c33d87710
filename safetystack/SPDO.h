// The 40-bit extended consecutive time that the SCM's own node keeps.
#pragma once
#include "ScmTypes.h"

/// State of the extended consecutive time.
struct SPDO_ExtCt {
  u64 ullCurrent;  ///< current value (40 bits used)
  u64 ullInitial;  ///< value given by the last set
  u32 ulLastCt;    ///< CT of the last update
  u8 ucInit;       ///< 1 once a value was set
};

/// Clears the record.
void SPDO_InitExtCt();
/// current := initial := value, last CT := 0, initialised := 1.
void SPDO_SetExtCtInitValue(u64 value);
/// The state record.
const SPDO_ExtCt* SPDO_GetExtCt();
/// current += (ct - last CT) as an unsigned 32-bit difference; last CT := ct.
void SPDO_UpdateExtCtValue(u32 ct);
