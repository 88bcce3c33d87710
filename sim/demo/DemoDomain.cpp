#include "DemoDomain.h"

#include <cstdio>

#ifdef SCM_DEMO_HAVE_DOMAIN
#include "DomainDescription.h"
#include "NodeFaults.h"
#include "ScmGen.h"
#include "ScmGenDescription.h"
#endif

namespace ScmDemo {

namespace {

/// Storage names of the generated files as the firmware opens them.
constexpr const char* kKelParaSaf = "KEL_PARA.SAF";
constexpr const char* kCorvaneDat = "CORVANE.DAT";
constexpr const char* kParData1 = "PARDATA1.BIN";

[[maybe_unused]] std::string UdidText(const std::array<uint8_t, 6>& udid) {
  char text[24];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", udid[0], udid[1], udid[2], udid[3], udid[4],
                udid[5]);
  return text;
}

}  // namespace

#ifdef SCM_DEMO_HAVE_DOMAIN

std::string PlanDomain(const DemoOptions& options, DomainPlan& plan) {
  SimDomain::Domain domain;
  if (!options.description.empty()) {
    SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(options.description);
    if (!loaded.domain) return loaded.error;
    domain = std::move(*loaded.domain);
    plan.source = options.description;
  } else if (options.nodes != 0) {
    domain = SimDomain::UniformDomain(static_cast<u16>(options.nodes));
    plan.source = "a uniform domain of " + std::to_string(options.nodes) + " node(s)";
  } else {
    const std::string path = SimDomain::DefaultDomainPath();
    SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(path);
    if (!loaded.domain) return "the default domain " + path + ": " + loaded.error;
    domain = std::move(*loaded.domain);
    plan.source = path;
  }
  for (const FaultOption& f : options.faults) {
    const std::string problem = SimDomain::ApplyFaultOption(domain, std::to_string(f.sadr) + ":" + f.fault);
    if (!problem.empty()) return "--fault " + problem;
  }
  const std::string invalid = SimDomain::ValidateDomain(domain);
  if (!invalid.empty()) return invalid;
  const ScmGen::Result generated = ScmGen::Generate(ScmGen::FromDescription(domain));
  if (!generated.error.empty()) return generated.error;
  plan.sdn = domain.sdn;
  plan.qorUdid = domain.qorUdid;
  plan.files.emplace_back(kKelParaSaf, generated.files.kelParaSaf);
  plan.files.emplace_back(kCorvaneDat, generated.files.corvaneDat);
  if (generated.files.parData1) plan.files.emplace_back(kParData1, *generated.files.parData1);
  for (const SimDomain::NodeEntry& n : domain.nodes) {
    PlannedNode p;
    p.sadr = n.sadr;
    p.position = n.device.position;
    p.udid = UdidText(SimNodes::DeviceUdid(n.device));
    p.faults = SimNodes::DescribeFaults(n.device.faults);
    plan.nodes.push_back(std::move(p));
  }
  plan.descriptionText = SimDomain::WriteDomain(domain);
  return "";
}

#else

std::string PlanDomain(const DemoOptions& options, DomainPlan& plan) {
  // Without the domain library: an empty key medium and an empty SADR-UDID store,
  // which both programs accept without an event.
  if (!options.description.empty() || options.nodes != 0 || !options.faults.empty()) {
    return "--description, --nodes and --fault need the domain library, which this build lacks";
  }
  plan.source = "empty storage files";
  plan.files.emplace_back(kKelParaSaf, std::vector<uint8_t>{});
  plan.files.emplace_back(kCorvaneDat, std::vector<uint8_t>{});
  return "";
}

#endif

}  // namespace ScmDemo
