// The constant description of a build's files, which the persistence follows:
// whether it reads "pardata1.bin", whether the node list's commissioning and
// configuration-data streams exist (with what hangs on them: the
// machine-option consistency test, the automatic setup mode and the
// key-medium-empty and setup-mode flags), and the flag set of "fwrevcnf.bin".
#pragma once
#include "CFwRevCnfBin.h"
#include "ScmTypes.h"

namespace Main {

struct SPersistenceProfile {
  bool m_ReadsParData1Bin;   ///< "pardata1.bin" is read and is the third source of the header stream
  bool m_HasCommissioning;   ///< commissioning and configuration-data streams and setup mode exist
  u16 m_FwRevCnfFlagSet;     ///< the flags "fwrevcnf.bin" and its copy may carry
};

/// The current build: every file and flag.
inline constexpr SPersistenceProfile ms_CurrentPersistenceProfile{true, true, Param::CFwRevCnfBin::ms_FlagsAll};
/// The older build: no "pardata1.bin", no commissioning, three fwrevcnf flags.
inline constexpr SPersistenceProfile ms_LegacyPersistenceProfile{false, false,
                                                                 Param::CFwRevCnfBin::ms_FlagsWithoutCommissioning};

}  // namespace Main
