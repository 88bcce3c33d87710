// Object tables of the stack tests. A test picks a table (UseMainTables or one
// of the faulty ones) before SOD_Init; SAPL_ps_OD and SAPL_ps_SOD_VIRT point at it.
#pragma once
#include <string>
#include <vector>

#include "SOD.h"

namespace StackTest {

/// One recorded object callback.
struct CallbackCall {
  u8 service;    ///< callback service
  u16 index;     ///< record's index
  u8 subIndex;   ///< record's sub-index
  u32 offset;    ///< offset argument
  u32 size;      ///< size argument
  bool hasData;  ///< a data pointer was given
};

/// Values and callback switches behind the main table.
struct MainValues {
  // what the stack resolves
  u16 sdn;              ///< 0x1200/1 domain number (read-only)
  u16 scmSadr;          ///< 0x1200/2 the SCM's SADR
  u8 scmUdid[6];        ///< 0x1200/4 SCM UDID bytes
  SOD_VarData scmUdidVar;  ///< 0x1200/4 value record
  // what the later modules bind
  u8 ownUdid[6];        ///< 0x1019/0 bytes
  SOD_VarData ownUdidVar;  ///< 0x1019/0 value record
  u32 paramTimestamp;   ///< 0x1018/7
  u32 guardTime;        ///< 0x100C/1
  u8 lifeTimeFactor;    ///< 0x100C/2
  u32 refreshInterval;  ///< 0x100D/0
  u8 refreshRetries;    ///< 0x100E/0
  u32 ssdoTimeout;      ///< 0x1201/1
  u8 ssdoRetries;       ///< 0x1201/2
  u32 snmtTimeout;      ///< 0x1202/1
  u8 snmtRetries;       ///< 0x1202/2
  u8 txSpdoCount;       ///< 0x1C00/0 (virtual)
  u16 ownSadr;          ///< 0x1C00/1 (virtual)
  u16 txSpdo2;          ///< 0x1C00/2 (virtual, range 1..32767 without default)
  u8 txSpdo3;           ///< 0x1C00/3 (virtual)
  // rule objects
  i16 s16;              ///< 0x2000/1 int16, range -100..100
  u32 u32v;             ///< 0x2000/2 uint32, range 10..1000
  float f32;            ///< 0x2000/3 real32, range -1.5..2.5
  u8 boolean;           ///< 0x2000/4 boolean
  u8 constant;          ///< 0x2000/5 constant u8, default 7
  u16 readOnly;         ///< 0x2000/6 read-only u16, default 0x1234
  u8 vstring[8];        ///< 0x2000/7 visible string, at most 8
  SOD_VarData vstringVar;  ///< its value record
  u8 domain[16];        ///< 0x2000/8 domain with read/write callbacks, at most 16
  SOD_VarData domainVar;   ///< its value record
  u32 pointed;          ///< the value behind 0x2000/9
  u32* pointedPtr;      ///< 0x2000/9 data: the pointer to the value (attribute 0x0800)
  i64 s64;              ///< 0x2000/10 int64, range -5..5
  double f64;           ///< 0x2000/11 real64, range 0.0..10.0
  // virtual test range 0x3000..0x3001/0..2
  u8 virtCount;         ///< sub 0 of the test range
  u32 virtU32[2];       ///< sub 1 of each index
  u8 virtString[2][8];  ///< sub 2 of each index
  SOD_VarData virtStringVar[2];  ///< their value records
  u16 arrayData[4];     ///< array range 0x3100/0..3
};
/// The values of the main table.
extern MainValues g_values;

/// Switches of the refusing callbacks.
struct CallbackSwitches {
  bool refuseRead = false;        ///< the domain's before-read refuses
  bool refuseWrite = false;       ///< the domain's before-write refuses
  bool refuseAfterWrite = false;  ///< the domain's after-write refuses
  bool refuseAttrGet = false;     ///< the test range refuses service 0
  bool refuseVirtRead = false;    ///< the test range refuses service 1
  bool refuseVirtWrite = false;   ///< the test range refuses service 2
  u32 abortCode = 0x08000020;     ///< abort code the refusing callbacks store
};
/// The callback switches.
extern CallbackSwitches g_switches;
/// Every call of the test callbacks, in order.
extern std::vector<CallbackCall> g_callbackCalls;

/// Points the dictionary at the main tables and resets values and switches.
void UseMainTables();
/// Points the dictionary at the given tables (switches and calls reset).
void UseTables(const SOD_Entry* real, const SOD_VirtRange* virt);

/// A table that fails the consistency check.
struct FaultyTable {
  std::string name;           ///< what is wrong
  const SOD_Entry* real;      ///< real table (may be null)
  const SOD_VirtRange* virt;  ///< virtual table (may be null)
  u16 code;                   ///< expected error code
  u32 info;                   ///< expected info
};
/// One faulty table per consistency-check code.
const std::vector<FaultyTable>& FaultyTables();

}  // namespace StackTest
