// The generator's domain taken from a domain description (the one reader of
// description files is the domain library's).
#pragma once

#include <string>

#include "DomainDescription.h"
#include "ScmGen.h"

namespace ScmGen {

/// The generator's view of a described domain.
Domain FromDescription(const SimDomain::Domain& description);

/// A description file read and turned into the generator's domain.
struct DescriptionResult {
  std::string error;  ///< empty on success, else the message naming the field
  Domain domain;      ///< the domain, when error is empty
};
DescriptionResult LoadDescription(const std::string& path);

}  // namespace ScmGen
