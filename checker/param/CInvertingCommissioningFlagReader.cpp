#include "CInvertingCommissioningFlagReader.h"

namespace Param {

bool CInvertingCommissioningFlagReader::TryReadNext(bool& setupModeActive, bool& autoConfirmCorvane,
                                                    bool& autoConfirmFirmware) {
  bool setup = false;
  bool corvane = false;
  bool firmware = false;
  if (!m_Source.TryReadNext(setup, corvane, firmware)) {
    return false;
  }
  setupModeActive = !setup;
  autoConfirmCorvane = !corvane;
  autoConfirmFirmware = !firmware;
  return true;
}

}  // namespace Param
