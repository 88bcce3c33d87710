#include "FwRemoteSupport.h"

#include <cstring>

#include "MFWQZ.h"
#include "MFWQZ_BusOd.h"
#include "MFWQZ_Confirm_Placeholder.h"
#include "MFWQZ_MainCycle_Placeholder.h"
#include "MFWQZ_Remote.h"

namespace FwTest {

namespace {
/// The check table and file records as the program starts with them, taken before any test changes them.
struct PowerUp {
  MFWQZ_RemoteCheckRow table[MFWQZ_kCheckRows];
  MFWQZ_DiagnoseFileInfo files[MFWQZ_kDiagnoseFiles];
  PowerUp() {
    std::memcpy(table, MFWQZ_RemoteCheckTable, sizeof(table));
    std::memcpy(files, MFWQZ_aDiagnoseFileInfo, sizeof(files));
  }
};
const PowerUp& Initial() {
  static const PowerUp s_initial;
  return s_initial;
}
// Taken at static initialisation, before any test ran.
[[maybe_unused]] const PowerUp& g_taken = Initial();
}  // namespace

void ResetRemoteControl() {
  std::memcpy(MFWQZ_RemoteCheckTable, Initial().table, sizeof(MFWQZ_RemoteCheckTable));
  std::memcpy(MFWQZ_aDiagnoseFileInfo, Initial().files, sizeof(MFWQZ_aDiagnoseFileInfo));
  std::memset(MFWQZ_RemoteCmd, 0, sizeof(MFWQZ_RemoteCmd));
  std::memset(MFWQZ_gaucPassword, 0, sizeof(MFWQZ_gaucPassword));
  std::memset(MFWQZ_aucRemoteAnswer, 0, sizeof(MFWQZ_aucRemoteAnswer));
  MFWQZ_Remote = MFWQZ_RemoteState{};
  MFWQZ_gbRemoteActive = 0;
  MFWQZ_RequiredReloadedFileMissing = 0;
  MFWQZ_Confirm = MFWQZ_ConfirmState{};
  MFWQZ_KeyCnf = MFWQZ_MachineState{};
  MFWQZ_KeyFormat = MFWQZ_MachineState{};
  MFWQZ_gulPlaceholderRevStoreCalls = 0;
  MFWQZ_gulPlaceholderRevStoreAccept = 0;
  MFWQZ_gulPlaceholderRevStoreResult = 1;
  MFWQZ_gulPlaceholderSetupMode = 0;
  MFWQZ_ulNumberOfUdidMisMatches = 0;
  MFWQZ_ulNumberOfDiffFirmware = 0;
  MFWQZ_ulNumberOfErroneousModules = 0;
  MFWQZ_gulModuleCount = 0;
  MFWQZ_gulModuleScanned = 0;
  MFWQZ_gulModuleFound = 0;
  MFWQZ_gbScanning = 0;
  MFWQZ_gbQuitAll = 0;
  MFWQZ_gbStartQuit = 0;
  MFWQZ_gbStartScan = 0;
  MFWQZ_gbStartUp = 1;
  MFWQZ_bCorvaneChanged = 0;
  MFWQZ_bTargetMacAvailable = 0;
  MFWQZ_ValidFiles = 1;
  MFWQZ_gbTriggerReloadRev = 0;
  MFWQZ_gbScanAfterReloadRev = 0;
  MFWQZ_bCvnFromQorAvailable = 0;
}

}  // namespace FwTest
