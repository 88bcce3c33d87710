// The older release's remote check table: only the shared rows (no setup
// mode, no code that passes unchecked). An order may combine an exchange, the
// firmware and the key medium in one code; each part is checked against its
// own row.
#include "MFWQZ_CheckRows.h"

MFWQZ_RemoteCheckRow MFWQZ_RemoteCheckTable[MFWQZ_kCheckRows] = {
    MFWQZ_SHARED_CHECK_ROWS,
    MFWQZ_kCheckEndRow,
};

namespace {

/// The exchange part of a code.
constexpr u32 kExchangePart = 0x00F0;
/// Smallest and largest exchange part (0x20: five or more modules, 0x60: one).
constexpr u32 kExchangeMin = MFWQZ_kCodeQuit5;
constexpr u32 kExchangeMax = MFWQZ_kCodeQuit1;

}  // namespace

u16 MFWQZ_CheckCodeWithoutRow(u16 code, u32 raiseEvents) {
  const u32 ulExchange = code & kExchangePart;
  if ((code & MFWQZ_kCodeParts) == 0 || (code & MFWQZ_kCodeNotParts) != 0 ||
      (ulExchange != 0 && (ulExchange < kExchangeMin || ulExchange > kExchangeMax))) {
    return MFWQZ_k_RES_CODE;
  }
  // Every part present is checked, so each refusal is reported; the key medium's decides first.
  const u32 ulKeyOrdered = code & MFWQZ_kCodeKeyMedium;
  const u16 usKey = (code & MFWQZ_kCodeKeyMedium) != 0
                        ? Check_Remote_Enter_Command(MFWQZ_kCodeKeyMedium, MFWQZ_kCodeKeyMedium, raiseEvents)
                        : static_cast<u16>(MFWQZ_k_RES_OK);
  const u16 usFirmware = (code & MFWQZ_kCodeFirmware) != 0
                             ? Check_Remote_Enter_Command(MFWQZ_kCodeFirmware, ulKeyOrdered, raiseEvents)
                             : static_cast<u16>(MFWQZ_k_RES_OK);
  const u16 usExchange = ulExchange != 0
                             ? Check_Remote_Enter_Command(static_cast<u16>(ulExchange), ulKeyOrdered, raiseEvents)
                             : static_cast<u16>(MFWQZ_k_RES_OK);
  if (usKey != MFWQZ_k_RES_OK) {
    return usKey;
  }
  return usFirmware != MFWQZ_k_RES_OK ? usFirmware : usExchange;
}
