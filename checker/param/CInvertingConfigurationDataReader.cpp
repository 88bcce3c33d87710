#include "CInvertingConfigurationDataReader.h"

namespace Param {

bool CInvertingConfigurationDataReader::TryReadNext(bool& externalMachineOptionsActive) {
  bool active = false;
  if (!m_Source.TryReadNext(active)) {
    return false;
  }
  externalMachineOptionsActive = !active;
  return true;
}

}  // namespace Param
