// Surface 8: the domain description parser and the generator's validation.
// Never a crash; every refusal comes with a message; an accepted description
// written back reads as the same domain; the generator either refuses the
// domain with a message or writes its files.
// Input: the description's text.
#include <string>
#include <string_view>

#include "DomainDescription.h"
#include "FuzzTarget.h"
#include "ScmGen.h"
#include "ScmGenDescription.h"

namespace ScmFuzz {

namespace {
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
}  // namespace

std::vector<Bytes> Seeds() {
  std::vector<Bytes> seeds;
  for (const std::string& path : {std::string(SCM_GEN_DEMO_DESCRIPTION), SimDomain::DefaultDomainPath()}) {
    const SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(path);
    Require(loaded.domain.has_value(), path + ": " + loaded.error);
    seeds.push_back(Text(SimDomain::WriteDomain(*loaded.domain)));
  }
  seeds.push_back(Text(SimDomain::WriteDomain(SimDomain::UniformDomain(1))));
  seeds.push_back(Text(SimDomain::WriteDomain(SimDomain::UniformDomain(12, 1023))));
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const SimDomain::LoadResult loaded = SimDomain::ParseDomain(text);
  if (!loaded.domain) {
    Require(!loaded.error.empty(), "refused without a message");
    return;
  }
  const SimDomain::Domain& domain = *loaded.domain;
  const std::string written = SimDomain::WriteDomain(domain);
  const SimDomain::LoadResult again = SimDomain::ParseDomain(written);
  Require(again.domain.has_value(), "written description refused: " + again.error);
  Require(SimDomain::WriteDomain(*again.domain) == written, "written description reads as another domain");
  const ScmGen::Result generated = ScmGen::Generate(ScmGen::FromDescription(domain));
  if (!generated.error.empty()) return;
  Require(!generated.files.kelParaSaf.empty() && !generated.files.corvaneDat.empty(), "files missing without refusal");
}

}  // namespace ScmFuzz
