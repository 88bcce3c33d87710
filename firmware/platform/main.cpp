// scmfirmware: starts up beside the host runtime, hands over to its two tasks
// and ends its own initial task.
#include "HNFhwt.h"
#include "HNFstp.h"
#include "vxworks.h"

// Bounds of the protected sections and their reference-CRC tables, defined by
// the program's linker-script fragment.
extern "C" {
extern const u8 LdInitStart[], LdInitEnd[], LdTextStart[], LdTextEnd[], LdFiniStart[], LdFiniEnd[];
extern const u8 LdRoDataStart[], LdRoDataEnd[], LdRoData1Start[], LdRoData1End[];
extern u32 LdInitCrcStart[], LdInitCrcEnd[], LdTextCrcStart[], LdTextCrcEnd[], LdFiniCrcStart[],
    LdFiniCrcEnd[];
extern u32 LdRoDataCrcStart[], LdRoDataCrcEnd[], LdRoData1CrcStart[], LdRoData1CrcEnd[];
}

/// The five protected sections in the manager's order.
static const HNFhwt_Section HNFmain_kSections[HNFhwt_kSectionCount] = {
    {LdInitStart, LdInitEnd, LdInitCrcStart, LdInitCrcEnd},
    {LdTextStart, LdTextEnd, LdTextCrcStart, LdTextCrcEnd},
    {LdFiniStart, LdFiniEnd, LdFiniCrcStart, LdFiniCrcEnd},
    {LdRoDataStart, LdRoDataEnd, LdRoDataCrcStart, LdRoDataCrcEnd},
    {LdRoData1Start, LdRoData1End, LdRoData1CrcStart, LdRoData1CrcEnd},
};

int main() {
  HNFhwt_SetSections(HNFmain_kSections, HNFhwt_kSectionCount);
  if (HNFstp_StartUp() != 0) {
    return -1;
  }
  taskExit(0);
}
