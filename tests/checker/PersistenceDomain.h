// The installed domain the persistence tests start from, as generated files.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ScmGen.h"

namespace PersistenceTest {

using Bytes = std::vector<uint8_t>;  ///< file bytes

/// The domain the tables start from: three nodes, additional sets, an automatic
/// configuration, accepted firmware revisions and a password.
ScmGen::Domain InstalledDomain();
/// The domain's installed storage: the plain files and the checker's copies
/// ("corvane.uid" is also the controller's flash area 16).
std::map<std::string, std::vector<uint8_t>> InstalledFiles(const ScmGen::Domain& domain);

}  // namespace PersistenceTest
