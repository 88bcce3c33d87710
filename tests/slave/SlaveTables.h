// Object tables of the own-node tests: what the SNMT slave and the SSDO
// server bind, the objects the server's rules name, and refusing callbacks.
#pragma once
#include "SOD.h"

namespace SlaveTest {

/// Values behind the tables.
struct Values {
  u32 guardTime;        ///< 0x100C/1 guard time
  u8 lifeFactor;        ///< 0x100C/2 life time factor
  u32 refreshInterval;  ///< 0x100D/0 refresh interval
  u8 refreshRetries;    ///< 0x100E/0 refresh retry limit
  u32 vendorId;         ///< 0x1018/1
  u32 productCode;      ///< 0x1018/2
  u32 timestamp;        ///< 0x1018/7 parameter timestamp
  u8 ownUdid[6];        ///< 0x1019/0 bytes
  SOD_VarData ownUdidVar;  ///< its value record
  u32 opWritable;       ///< 0x101A/0 writable in OPERATIONAL
  u16 sdn;              ///< 0x1200/1 own domain number (read-only)
  u16 scmSadr;          ///< 0x1200/2
  u8 scmUdid[6];        ///< 0x1200/4 bytes
  SOD_VarData scmUdidVar;  ///< its value record
  u8 txSpdoCount;       ///< 0x1C00/0 (virtual)
  u16 ownSadr;          ///< 0x1C00/1 own main SADR (virtual)
  u16 txSpdo2;          ///< 0x1C00/2 (virtual)
  u8 txSpdo3;           ///< 0x1C00/3 (virtual)
  u8 str9[9];           ///< 0x2000/1 octet string of 9 bytes
  SOD_VarData str9Var;  ///< its value record
  u8 str27[27];         ///< 0x2000/2 visible string of 27 bytes
  SOD_VarData str27Var; ///< its value record
  u32 rwU32;            ///< 0x2000/3 writable u32
  u16 roU16;            ///< 0x2000/4 read-only u16
  u8 constU8;           ///< 0x2000/5 constant u8
  u8 domain[16];        ///< 0x2000/6 domain with refusable callbacks
  SOD_VarData domainVar;  ///< its value record
  u64 u64v;             ///< 0x2000/7 u64 (8 bytes, expedited upload)
  u8 str6[6];           ///< 0x2000/8 octet string of 6 bytes
  SOD_VarData str6Var;  ///< its value record
  u8 noRead;            ///< 0x2000/9 write-only u8
  u16 ranged;           ///< 0x2000/10 u16, range 10..100
  u32 op2800;           ///< 0x2800/0 writable in OPERATIONAL
  u8 redirectOn;        ///< 0xE100/0 redirect switch
  u32 redirectVendor;   ///< 0xE100/1
  u32 redirectProduct;  ///< 0xE100/2
  u32 virtU32;          ///< 0x3000/1 (virtual, refusable)
};
/// The values.
extern Values g_v;

/// Switches of the refusing callbacks.
struct Switches {
  bool refuseRead = false;        ///< domain before-read refuses
  bool refuseWrite = false;       ///< domain before-write refuses
  bool refuseAfterWrite = false;  ///< domain after-write refuses
  bool refuseVirtRead = false;    ///< 0x3000 range refuses service 1
  bool refuseVirtWrite = false;   ///< 0x3000 range refuses service 2
  bool refuseSadrWrite = false;   ///< 0x1C00 range refuses service 2
  u32 abortCode = 0x08000020;     ///< abort code the refusing callbacks store
  int afterWrites = 0;            ///< after-write calls of the domain
};
/// The switches.
extern Switches g_sw;

/// Main tables (with the 0xE100 redirect objects).
void UseMainTables();
/// The main tables without 0xE100.
void UseTablesWithoutRedirect();
/// The tables in use without the families of objects the ranges describe (0x1C00, 0x3000).
void DropRanges();

}  // namespace SlaveTest
