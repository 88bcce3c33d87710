// The extended-CT bytes of SPDO frames 0x30/0x31 in the frame serializer
// (the older release has no extended CT and leaves this source out).
#include "SDN.h"
#include "SFS.h"

void SFS_PutExtCt(const SFS_FrameHeader* header, u8* two) {
  SCFM_Tack();
  two[0] = static_cast<u8>(two[0] ^ header->aucExtCt[0]);
  two[1] = static_cast<u8>(two[1] ^ header->aucExtCt[1]);
  two[3] = static_cast<u8>(two[3] ^ header->aucExtCt[2]);
}

void SFS_TakeExtCt(bool spdoExtCt, const u8* one, u8* two, SFS_FrameHeader* out) {
  SCFM_Tack();
  for (u8& b : out->aucExtCt) {
    b = 0;
  }
  if (spdoExtCt && ((two[4] >> 2) & 0x30) == 0x30) {
    const u16 sdn = SDN_GetSdn();
    out->aucExtCt[0] = static_cast<u8>(two[0] ^ one[0] ^ (sdn & 0xFF));
    out->aucExtCt[1] = static_cast<u8>(two[1] ^ one[1] ^ (sdn >> 8));
    out->aucExtCt[2] = two[3];
    two[0] = static_cast<u8>(two[0] ^ out->aucExtCt[0]);
    two[1] = static_cast<u8>(two[1] ^ out->aucExtCt[1]);
    two[3] = 0;
  }
}
