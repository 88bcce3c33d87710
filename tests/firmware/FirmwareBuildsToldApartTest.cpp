// The current and the older firmware side by side: one table, a column per
// program, each row the same input given to scmfirmware and scmfirmware-legacy
// as processes under the host simulator, the current program's outcome first.
// Each row is a situation in which the two builds must differ.
//
// Every row pairs the firmware with the checker stand-in: commands, unlock
// requests and frames are put on the firmware-side queues, what the firmware
// sends is read back from them, and the host's call log tells which host calls
// it made. Where nodes must answer, simulated nodes sit on the stand-in's side
// of the queues; where the own node must answer, the row brings it to
// pre-operational first as an SCM would (SADR, then SCM UDID).
//
// The situations that need the programs' memory run in the suites built in both
// profiles, one expectation per profile there:
//   - SCM_OperatorAck refused from index 101 (older) or 12 (current) with 0xF101
//     (no input from outside reaches an index past the node list):
//     tests/manager/ScmTest.cpp, OperatorIndexPastTheNodes;
//   - an entry with attribute 0x2000 failing the start-up check with 0xF735 (the
//     programs' object lists hold none; in the current build the bit marks a virtual
//     range's placeholder): tests/stack/TestObjectTables.cpp, "virtual bit in the real
//     table" (older profile), tests/firmware/LegacyObjectListTest.cpp,
//     AnEntryWithTheVirtualBitFailsTheStartUpCheck;
//   - a changed parameter in node object 0xC464 found by the older block-wise check
//     (0x6200AF1A): LegacyObjectListTest.cpp, ABlockWiseCheckCoversTheLastNodeObject;
//   - error counters grown past their holds: 0x6200AF5F/0x6200AF60 from the current
//     build (tests/params/IdleTest.cpp), none from the older one
//     (tests/firmware/LegacyCrcManagerTest.cpp, GrowingErrorCountersAreNeverReported).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CheckerStub.h"
#include "FrameBuilder.h"
#include "FrameNetwork.h"
#include "HostUnlock.h"
#include "MessageBuilder.h"
#include "ParameterFileBuilders.h"
#include "RemoteMessages.h"
#include "ScmFirmwareIdent.h"
#include "ScmGen.h"
#include "ScmGenBuild.h"
#include "ScmHostSim.h"

namespace {

using namespace std::chrono_literals;
using ScmSim::Bytes;
using ScmTest::CheckerStub;
using ScmTest::StubEvent;

/// How long one cycle may take to be answered (a backstop).
constexpr int kCycleLimitMs = 5000;
/// The SCM's own SADR in every domain here.
constexpr uint16_t kOwnSadr = 1;
/// The SCM's SADR, from which the own node takes its requests.
constexpr uint16_t kScmSadr = 1023;
/// The SCM UDID the own node is given.
constexpr TestFrames::Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};

/// One of the two programs.
struct Program {
  const char* name;      ///< for messages
  std::string firmware;  ///< the firmware executable
  uint32_t ident;        ///< its ident word
  bool older;            ///< the older release
};

std::vector<Program> Programs() {
  return {{"scmfirmware", SCMFIRMWARE_PATH, SCM_FW_IDENT_WORD, false},
          {"scmfirmware-legacy", SCMFIRMWARE_LEGACY_PATH, static_cast<uint32_t>(SCM_TEST_IDENT_LEGACY), true}};
}

/// An event as "9200A62C (0, 0x1)": information0 in decimal, information1 in hex.
std::string EventText(const StubEvent& e) {
  std::ostringstream out;
  out << std::hex << std::uppercase << e.code << std::dec << " (" << e.info0 << ", 0x" << std::hex << e.info1 << ")";
  return out.str();
}

/// Events whose code is among codes, as text joined by ", ", or "no event".
std::string EventsOf(const std::vector<StubEvent>& events, const std::set<uint32_t>& codes) {
  std::string out;
  for (const StubEvent& e : events) {
    if (codes.count(e.code) != 0) out += (out.empty() ? "" : ", ") + EventText(e);
  }
  return out.empty() ? "no event" : out;
}

/// A node of the domains here, at sadr.
ScmGen::Node NodeAt(uint16_t sadr) {
  ScmGen::Node n;
  n.sadr = sadr;
  n.udid = {0x02, 0x5C, 0x3E, 0xA0, static_cast<uint8_t>(sadr >> 8), static_cast<uint8_t>(sadr)};
  n.vendorId = 0x0025C3E0;
  n.productCode = 0x1000u + sadr;
  n.revision = 0x00010001;
  n.checksum = {0xC1, 0xC2, 0xC3, static_cast<uint8_t>(sadr)};
  return n;
}

/// A domain of count nodes at SADR 1..count in the layout.
ScmGen::Domain DomainOf(unsigned count, ScmGen::Layout layout) {
  ScmGen::Domain d;
  d.layout = layout;
  for (unsigned sadr = 1; sadr <= count; ++sadr) d.nodes.push_back(NodeAt(static_cast<uint16_t>(sadr)));
  return d;
}

/// What a run puts on the host beyond the domain's installed files.
struct StubOptions {
  std::map<std::string, Bytes> files;  ///< further files, put after the domain's (a name of both: this one)
  std::optional<Bytes> identity;       ///< the key-medium identity the controller holds; none: the installed one
};

/// One firmware under the host simulator with the checker stand-in: its own namespace,
/// socket and storage, the domain's files installed and acknowledged.
class StubRun {
 public:
  StubRun(const Program& program, const ScmGen::Domain& domain, const StubOptions& options = {}) {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    config_.sdn = static_cast<uint16_t>(100 + getpid() % 900);
    config_.socketPath = "/tmp/scmbta-" + tag + ".sock";
    config_.storageDir = "/tmp/scmbta-" + tag + "-storage";
    config_.simNamespace = "scmbta" + tag;
    const ScmGen::Result generated = ScmGen::Generate(domain);
    error_ = generated.error;
    if (!error_.empty()) return;
    const ScmGen::InstalledState installed =
        ScmGen::Install(ScmGen::WithAcknowledgedFirmware(domain, config_.qorUdid), config_.qorUdid);
    host_ = std::make_unique<ScmSim::HostSim>(config_);
    host_->Start();
    bool ok = host_->PutFile(ScmGen::kKelParaSafName, generated.files.kelParaSaf) &&
              host_->PutFile(ScmGen::kCorvaneDatName, generated.files.corvaneDat) &&
              host_->PutFile(ScmGen::kFwRevCnfName, installed.fwRevCnf) &&
              host_->PutFile(ScmGen::kAutoCnfName, installed.autoCnf) &&
              host_->PutFile(ScmGen::kCorvaneUidName, installed.corvaneUid);
    if (generated.files.parData1) ok = ok && host_->PutFile(ScmGen::kParData1Name, *generated.files.parData1);
    for (const auto& [name, content] : options.files) ok = ok && host_->PutFile(name, content);
    // Each release keeps the key-medium identity where its controller does.
    const Bytes identity = options.identity.value_or(installed.corvaneUid);
    if (program.older) {
      ok = ok && host_->SetQorVariable(4, identity) && host_->SetFlash(std::nullopt);
    } else {
      ok = ok && host_->SetFlash(identity);
    }
    stub_ = std::make_unique<CheckerStub>(config_.sdn);
    ok = ok && stub_->Open() && stub_->OfferIdent(program.ident);
    if (!ok) {
      error_ = "host not set up";
      return;
    }
    if (host_->Programs().Start(program.firmware, {}) <= 0) {
      error_ = "not started";
      return;
    }
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!host_->Condition(2) && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
    if (!host_->Condition(2)) error_ = "no handshake";
  }
  ~StubRun() {
    stub_.reset();
    if (host_) host_->Stop();
    host_.reset();
    std::filesystem::remove_all(config_.storageDir);
  }
  StubRun(const StubRun&) = delete;
  StubRun& operator=(const StubRun&) = delete;

  /// Empty when the firmware started and answered the handshake, else why not.
  const std::string& Error() const { return error_; }
  ScmSim::HostSim& Host() { return *host_; }
  CheckerStub& Stub() { return *stub_; }
  uint16_t Sdn() const { return config_.sdn; }

  /// Simulated nodes on the firmware's side of the stand-in: from now on every frame the
  /// firmware sends reaches them and their answers are put on "~frame-send".
  void AttachNodes(std::vector<SimNodes::NodeConfig> nodes) {
    network_ = std::make_unique<ScmSim::FrameNetwork>(std::move(nodes));
  }
  /// The attached nodes' network (its trace names each frame's service).
  const ScmSim::FrameNetwork& Network() const { return *network_; }

  /// One cycle; the frames the firmware sent in it are added to Frames(), its events to Events().
  bool Cycle() {
    const bool answered = stub_->Cycle(kCycleLimitMs);
    ++cycles_;
    size_t sent = 0;
    while (const auto frame = host_->CollectComplemented("~frame-receive")) {
      frames_.push_back(*frame);
      ++sent;
      if (network_) network_->FromFirmware(*frame, cycles_, host_->Counter());
    }
    if (network_) {
      network_->Tick(cycles_, host_->Counter());
      for (const ScmSim::DueFrame& f : network_->TakeDue(cycles_)) {
        static_cast<void>(host_->InjectComplemented("~frame-send", f.frame));
      }
    }
    perCycle_.push_back(sent);
    for (const StubEvent& e : stub_->TakeEvents()) events_.push_back(e);
    return answered;
  }
  /// count cycles; false at the first one not answered.
  bool Cycles(int count) {
    for (int i = 0; i < count; ++i) {
      if (!Cycle()) return false;
    }
    return true;
  }
  /// Cycles until pred holds (asked once before each cycle and after the last), the firmware
  /// stops answering or 15 s passed (a backstop); whether it held.
  bool CycleUntil(const std::function<bool()>& pred) {
    const auto end = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < end) {
      if (pred()) return true;
      if (!Cycle()) break;
      std::this_thread::sleep_for(1ms);
    }
    return pred();
  }
  const std::vector<Bytes>& Frames() const { return frames_; }
  const std::vector<size_t>& FramesPerCycle() const { return perCycle_; }
  const std::vector<StubEvent>& Events() const { return events_; }
  /// Host calls of a number made so far.
  std::vector<ScmSim::CallRecord> Calls(uint32_t number) const {
    std::vector<ScmSim::CallRecord> out;
    for (const ScmSim::CallRecord& r : host_->CallLog()) {
      if (r.number == number) out.push_back(r);
    }
    return out;
  }

 private:
  ScmSim::HostConfig config_;           ///< the host's configuration
  std::unique_ptr<ScmSim::HostSim> host_;  ///< the simulated host
  std::unique_ptr<CheckerStub> stub_;      ///< the checker stand-in
  std::string error_;                   ///< why the run did not start
  std::unique_ptr<ScmSim::FrameNetwork> network_;  ///< the attached nodes, if any
  uint64_t cycles_ = 0;                 ///< cycles run
  std::vector<Bytes> frames_;           ///< every frame the firmware sent, oldest first
  std::vector<size_t> perCycle_;        ///< frames sent in each cycle
  std::vector<StubEvent> events_;       ///< every event, oldest first
};

/// The domain of most rows: one node at SADR 5 in the program's layout, remote control
/// switched on.
ScmGen::Domain SmallDomain(const Program& program) {
  ScmGen::Domain d = DomainOf(0, program.older ? ScmGen::Layout::Older : ScmGen::Layout::Current);
  d.nodes.push_back(NodeAt(5));
  d.scm.configuration = ScmGen::ConfigurationData{};
  d.scm.configuration->remoteActive = 1;
  return d;
}

/// A simulated node answering as node n of the node list describes it.
SimNodes::NodeConfig SimulatedNode(const ScmGen::Node& n) {
  SimNodes::NodeConfig node;
  node.position = n.sadr;
  node.udid = n.udid;
  node.vendorId = n.vendorId;
  node.productCode = n.productCode;
  node.revision = n.revision;
  node.checksum = n.checksum;
  node.parameterSet = n.parameterSet;
  node.payloadLimit = n.ssdoPayloadLength;
  return node;
}

/// Nodes of the list that are operational on the network.
size_t OperationalNodes(const StubRun& run) {
  size_t count = 0;
  for (const SimNodes::SimNode& node : run.Network().Nodes()) {
    count += node.Record().state == SimNodes::NodeState::Operational ? 1 : 0;
  }
  return count;
}

/// The node list of 101 valid nodes (older layout) given to both programs, no node
/// answering: after the first assignments went out, the host's time moves past every SNMT
/// time-out at once, and the frames of the next cycle are counted: the current build sends
/// at most 10, the older one as many as the outgoing queue (64 slots) has room for.
std::string FramesOfOneCycleAfterTheTimeOuts(const Program& program) {
  StubRun run(program, DomainOf(101, ScmGen::Layout::Older));
  if (!run.Error().empty()) return run.Error();
  if (!run.Cycles(30)) return "no cycle";
  // A minute: past the SNMT master's time-out the node list gives (0x1202/1).
  run.Host().AdvanceCounter(60000000);
  if (!run.Cycle()) return "no cycle";
  return std::to_string(run.FramesPerCycle().back()) + " frames in the cycle after the time-outs";
}

/// A "kel_para.saf" whose node list holds node 5 and which gives the own node SADR 1 (0x1C00/1).
Bytes OwnNodeKeyFile() {
  std::vector<TestFiles::Record> records = TestFiles::NodeRecords(0xC400, 5, 0x0025C3E0, 0x1005, 0x00010001);
  records.push_back(TestFiles::U16Record(0x1C00, 1, kOwnSadr));
  return TestFiles::BuildKelParaSaf(TestFiles::Records(records));
}

/// The options of the rows that talk to the own node: OwnNodeKeyFile in place of the domain's.
StubOptions OwnNodeOptions() { return StubOptions{{{ScmGen::kKelParaSafName, OwnNodeKeyFile()}}, std::nullopt}; }

/// A frame to the own node from the SCM, as the firmware receives it.
Bytes ToOwnNode(const StubRun& run, uint8_t id, const Bytes& payload, std::optional<TestFrames::Udid> coding = {}) {
  TestFrames::FrameSpec spec;
  spec.id = id;
  spec.adr = kOwnSadr;
  spec.sdn = run.Sdn();
  spec.tadr = kScmSadr;
  spec.payload = payload;
  return TestFrames::BuildFrame(coding ? TestFrames::WithFirmwareCoding(spec, *coding) : spec);
}

/// The frames the firmware sent from index on, parsed (coded ones decoded with coding).
std::vector<TestFrames::ParsedFrame> SentFrom(const StubRun& run, size_t index,
                                              std::optional<TestFrames::Udid> coding = {}) {
  std::vector<TestFrames::ParsedFrame> out;
  TestFrames::ParseOptions options;
  options.scmUdid = coding;
  for (size_t i = index; i < run.Frames().size(); ++i) out.push_back(TestFrames::ParseFrame(run.Frames()[i], options));
  return out;
}

/// The first fatal event from index on, or "no fatal event".
std::string FatalFrom(const StubRun& run, size_t index) {
  for (size_t i = index; i < run.Events().size(); ++i) {
    if (run.Events()[i].level == 3) return EventText(run.Events()[i]);
  }
  return "no fatal event";
}

/// The answer to a frame injected to the own node: the first one with that id sent within 20 cycles.
std::optional<TestFrames::ParsedFrame> AnswerOf(StubRun& run, const Bytes& frame, uint8_t answerId) {
  const size_t from = run.Frames().size();
  if (!run.Host().InjectComplemented("~frame-send", frame)) return std::nullopt;
  for (int i = 0; i < 20; ++i) {
    if (!run.Cycle()) break;
    for (const TestFrames::ParsedFrame& p : SentFrom(run, from)) {
      if (p.ok && p.id == answerId) return p;
    }
  }
  return std::nullopt;
}

/// After the run's start, brings the own node to pre-operational as an SCM would: its SADR
/// assigned to its UDID, then the SCM UDID assigned. Empty on success, else what failed.
std::string OwnNodeInPreOp(StubRun& run) {
  if (!run.Error().empty()) return run.Error();
  if (!run.Cycles(20)) return "no cycle";
  // The own node's UDID: 0, then the controller's UDID bytes 4 down to 0.
  const TestFrames::Udid q = ScmSim::HostConfig{}.qorUdid;
  const TestFrames::Udid own = {0, q[4], q[3], q[2], q[1], q[0]};
  const Bytes assign = ToOwnNode(run, TestFrames::Ids::AssignSadr, Bytes(own.begin(), own.end()));
  if (!AnswerOf(run, assign, TestFrames::Ids::SadrAssigned)) return "own SADR not assigned";
  Bytes scmUdid = {0x0E};
  scmUdid.insert(scmUdid.end(), kScmUdid.begin(), kScmUdid.end());
  const auto assigned = AnswerOf(run, ToOwnNode(run, TestFrames::Ids::SnmtService, scmUdid),
                                 TestFrames::Ids::SnmtServiceResponse);
  if (!assigned || assigned->payload.empty() || assigned->payload[0] != 0x0F) return "SCM UDID not assigned";
  return "";
}

/// SNMT service 0x10 (initialise extended CT) to the own node: its answer, the fatal event,
/// and whether frames still leave afterwards.
std::string ExtendedCtRequestToTheOwnNode(const Program& program) {
  StubRun run(program, SmallDomain(program), OwnNodeOptions());
  if (const std::string failed = OwnNodeInPreOp(run); !failed.empty()) return failed;
  const size_t frames = run.Frames().size();
  const size_t events = run.Events().size();
  if (!run.Host().InjectComplemented("~frame-send", ToOwnNode(run, TestFrames::Ids::SnmtService,
                                                               {0x10, 0x01, 0x02, 0x03, 0x04, 0x85}))) {
    return "not injected";
  }
  run.Cycles(50);
  std::string answer = "no answer";
  for (const TestFrames::ParsedFrame& p : SentFrom(run, frames)) {
    if (p.ok && p.id == TestFrames::Ids::SnmtServiceResponse && !p.payload.empty()) {
      std::ostringstream out;
      out << "answered 0x" << std::hex << std::uppercase << int(p.payload[0]);
      answer = out.str();
      break;
    }
  }
  // The assignment of node 5 repeats while it stays silent: frames go on as long as the firmware serves.
  const size_t sent = run.Frames().size() - frames;
  return answer + "; " + FatalFrom(run, events) + "; " + (sent == 0 ? "no further frames" : "frames go on");
}

/// Node 5 of SmallDomain with node-list flags bit 1 (extended CT) and a parameter set of 20
/// bytes, attached as a simulated node that starts with another checksum: the configuration
/// manager downloads its set. Each release's services to it, in the order first sent, and
/// whether it reached operational.
std::string NodeWithFlagsBitOneAndADownload(const Program& program) {
  ScmGen::Domain d = SmallDomain(program);
  ScmGen::Node& n = d.nodes[0];
  n.flags = 0x2;
  n.parameterSet.clear();
  for (uint8_t i = 0; i < 20; ++i) n.parameterSet.push_back(static_cast<uint8_t>(0xA0 + i));
  StubRun run(program, d);
  if (!run.Error().empty()) return run.Error();
  SimNodes::NodeConfig node = SimulatedNode(n);
  node.faults.wrongChecksum = true;
  run.AttachNodes({node});
  const auto operational = [&] {
    const SimNodes::SimNode* sim = run.Network().NodeAt(n.sadr);
    return sim != nullptr && sim->Record().state == SimNodes::NodeState::Operational;
  };
  const bool reached = run.CycleUntil(operational);
  std::vector<std::string> services;
  for (const ScmSim::TraceLine& l : run.Network().Trace()) {
    if (l.direction != "fw>node") continue;
    // The first command of each SSDO transfer and every SNMT service, each named once.
    std::string name = l.service.substr(0, l.service.find('@'));
    if (name.rfind("ssdo-upload", 0) == 0 || name.find("-t0") != std::string::npos ||
        name.find("-t1") != std::string::npos) {
      continue;
    }
    if (std::find(services.begin(), services.end(), name) == services.end()) services.push_back(name);
  }
  std::string out;
  for (const std::string& sv : services) out += (out.empty() ? "" : ", ") + sv;
  return out + (reached ? "; operational" : "; not operational");
}

/// The first SSDO answer the firmware sent from index on, as "answered 0x20" or, for an
/// abort, "answered 0x4 CODE"; "no answer" when there is none.
std::string SsdoAnswerFrom(const StubRun& run, size_t index) {
  for (const TestFrames::ParsedFrame& p : SentFrom(run, index, kScmUdid)) {
    if (!p.ok || (p.id != TestFrames::Ids::SsdoResponse && p.id != TestFrames::Ids::SlimSsdoResponse) ||
        p.payload.empty()) {
      continue;
    }
    std::ostringstream out;
    out << std::hex << std::uppercase << "answered 0x" << int(p.payload[0]);
    if (p.payload[0] == 0x04 && p.payload.size() >= 8) {
      out << " 0x" << (static_cast<uint32_t>(p.payload[4]) | (static_cast<uint32_t>(p.payload[5]) << 8) |
                       (static_cast<uint32_t>(p.payload[6]) << 16) | (static_cast<uint32_t>(p.payload[7]) << 24));
    }
    return out.str();
  }
  return "no answer";
}

/// The own node's answer to an SSDO request (coded with the SCM UDID it was given).
std::string SsdoAnswerTo(StubRun& run, uint8_t id, const Bytes& payload) {
  const size_t from = run.Frames().size();
  if (!run.Host().InjectComplemented("~frame-send", ToOwnNode(run, id, payload, kScmUdid))) return "not injected";
  run.Cycles(20);
  return SsdoAnswerFrom(run, from);
}

/// An SSDO download initiate with preload (0x2B, slim frame) to the own node in
/// pre-operational: the first answer's command and, for an abort, its code.
std::string PreloadInitiateToTheOwnNode(const Program& program) {
  StubRun run(program, SmallDomain(program), OwnNodeOptions());
  if (const std::string failed = OwnNodeInPreOp(run); !failed.empty()) return failed;
  // 0x1018/6 (the parameter checksum, a domain), 8 bytes in all, the first 4 with the initiate.
  const Bytes initiate = {0x2B, 0x18, 0x10, 0x06, 0x08, 0x00, 0x00, 0x00, 0xC1, 0xC2, 0xC3, 0xC4};
  return SsdoAnswerTo(run, TestFrames::Ids::SlimSsdoRequest, initiate);
}

/// An SSDO upload of 0xC464/1 (the SADR of the last node object the older list holds) from
/// the own node in pre-operational: the answer.
std::string UploadOfTheLastOlderNodeObject(const Program& program) {
  StubRun run(program, SmallDomain(program), OwnNodeOptions());
  if (const std::string failed = OwnNodeInPreOp(run); !failed.empty()) return failed;
  return SsdoAnswerTo(run, TestFrames::Ids::SsdoRequest, {0x20, 0x64, 0xC4, 0x01});
}

/// "pardata1.bin" of the current layout with node 5's additional set 1.
Bytes ParData1() {
  ScmGen::Domain d = DomainOf(0, ScmGen::Layout::Current);
  d.nodes.push_back(NodeAt(5));
  ScmGen::AdditionalSet set;
  set.sadr = 5;
  set.payload = {0x01, 0x32, 0x04, 0x00, 0x10, 0x11, 0x12, 0x13};
  d.sets.push_back(set);
  const ScmGen::Result r = ScmGen::Generate(d);
  return r.error.empty() && r.files.parData1 ? *r.files.parData1 : Bytes{};
}

/// The node list of 101 valid nodes (older layout) given to both programs, every node
/// simulated: how many nodes reach operational (and the highest SADR among them), and the
/// event of the first node object skipped (index and sub-index in information1).
std::string OneHundredAndOneNodes(const Program& program) {
  const ScmGen::Domain d = DomainOf(101, ScmGen::Layout::Older);
  StubRun run(program, d);
  if (!run.Error().empty()) return run.Error();
  std::vector<SimNodes::NodeConfig> nodes;
  for (const ScmGen::Node& n : d.nodes) nodes.push_back(SimulatedNode(n));
  run.AttachNodes(nodes);
  // Both builds are done long before 300 cycles (the older one's 101 nodes in about 80).
  run.CycleUntil([&] { return OperationalNodes(run) >= 101 || run.FramesPerCycle().size() >= 300; });
  uint16_t highest = 0;
  for (const SimNodes::SimNode& node : run.Network().Nodes()) {
    if (node.Record().state == SimNodes::NodeState::Operational) highest = std::max(highest, node.Config().position);
  }
  std::string skipped = "no 6200AF14";
  for (const StubEvent& e : run.Events()) {
    if (e.code == 0x6200AF14u) {
      skipped = "first skipped: " + EventText(e);
      break;
    }
  }
  return std::to_string(OperationalNodes(run)) + " nodes operational (highest " + std::to_string(highest) + "); " +
         skipped;
}

/// The answer to an enter command of code, asked again while a scan runs (27); none when
/// no answer came.
std::optional<uint16_t> EnterCommand(StubRun& run, uint16_t code) {
  TestFrames::CommandSpec command;
  command.identifier = 9;
  command.code = code;
  std::optional<TestFrames::StatusSpec> s;
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < end && (!s || s->result == 27)) {
    if (s) run.Cycles(20);
    if (!run.Stub().PutCommand(TestFrames::BuildCommand(command))) return std::nullopt;
    std::optional<Bytes> status;
    run.CycleUntil([&] { return (status = run.Host().CollectComplemented("~status")).has_value(); });
    if (!status || !(s = TestFrames::ReadStatus(*status))) return std::nullopt;
  }
  return s ? std::optional<uint16_t>(s->result) : std::nullopt;
}

/// Setup mode asked for with the valid (default, all-zero) password once the start-up scans
/// are over (node 5 answers): the result of the answer.
std::string SetupModeCommand(const Program& program) {
  const ScmGen::Domain d = SmallDomain(program);
  StubRun run(program, d);
  if (!run.Error().empty()) return run.Error();
  run.AttachNodes({SimulatedNode(d.nodes[0])});
  const std::optional<uint16_t> answer = EnterCommand(run, 0x9000);
  return answer ? "answered " + std::to_string(*answer) : "no answer";
}

/// The status request 0x5000: the answer's size and result, and the remote-control event.
std::string StatusRequest5000(const Program& program) {
  StubRun run(program, SmallDomain(program));
  if (!run.Error().empty()) return run.Error();
  if (!run.Cycles(5)) return "no cycle";
  TestFrames::CommandSpec command;
  command.identifier = 8;
  command.commandClass = TestFrames::kStatusRequest;
  command.code = 0x5000;
  if (!run.Stub().PutCommand(TestFrames::BuildCommand(command))) return "not put";
  std::optional<Bytes> status;
  run.CycleUntil([&] { return (status = run.Host().CollectComplemented("~status")).has_value(); });
  if (!status) return "no answer";
  run.Cycles(3);
  const uint16_t result = status->size() > 9 ? static_cast<uint16_t>((*status)[8] | ((*status)[9] << 8)) : 0xFFFF;
  // The message is a 4-byte header (type, identifier) and the record.
  return std::to_string(status->size() - 4) + "-byte record, result " + std::to_string(result) + "; " +
         EventsOf(run.Events(), {0x6200C08Bu});
}

/// "pardata1.bin" on the storage and downloaded anew: whether the firmware ever opened it, and its unlock: the answer, the
/// event, the file and its companion, and the 5-s reset.
std::string AdditionalParameterFile(const Program& program) {
  constexpr uint32_t kWord = 0x5A5AA5C3u;
  StubRun run(program, SmallDomain(program), StubOptions{{{ScmGen::kParData1Name, ParData1()}}, std::nullopt});
  if (!run.Error().empty()) return run.Error();
  if (!run.Cycles(10)) return "no cycle";
  const Bytes plain = {0x01, 0x00, 0x00, 0x00, 0x10, 0x20, 0x30, 0x40};
  if (!run.Host().Download(ScmGen::kParData1Name, plain, kWord)) return "not downloaded";
  const std::optional<Bytes> locked = run.Host().GetFile(ScmGen::kParData1Name);
  const std::optional<Bytes> companion = run.Host().GetFile(ScmSim::CompanionName(ScmGen::kParData1Name));
  const std::optional<Bytes> request = ScmSim::UnlockRequestMessage(21, ScmGen::kParData1Name, kWord);
  if (!request || !run.Host().InjectComplemented("~unlock-request", *request)) return "not requested";
  std::optional<Bytes> answer;
  run.CycleUntil([&] { return (answer = run.Host().CollectComplemented("~unlock-response")).has_value(); });
  if (!answer) return "no answer";
  run.Cycles(3);
  const std::optional<ScmSim::UnlockResponse> response = ScmSim::DecodeUnlockResponse(*answer);
  const bool unchanged = run.Host().GetFile(ScmGen::kParData1Name) == locked &&
                         run.Host().GetFile(ScmSim::CompanionName(ScmGen::kParData1Name)) == companion;
  const bool unlocked = run.Host().GetFile(ScmGen::kParData1Name) == plain;
  // The firmware's time past the 5-s reset; the host carries the reset out (the stand-in checker does not return).
  run.Host().AdvanceCounter(5000000);
  const bool reset = run.CycleUntil([&] { return run.Host().Resets().domainRequests > 0; });
  bool opened = false;
  for (const ScmSim::CallRecord& r : run.Calls(0x84)) opened = opened || r.inString == ScmGen::kParData1Name;
  return std::string(opened ? "opened" : "never opened") + "; unlock answered " +
         (response ? std::to_string(response->result) : "malformed") + "; " +
         EventsOf(run.Events(), {0x6200AF1Du}) + "; " +
         (unlocked ? "file unlocked" : unchanged ? "file and companion unchanged" : "file changed") +
         (reset ? "; reset after 5 s" : "; no reset");
}

/// The controller holds another key medium's identity, node 5 answers as described; the
/// operator accepts the key medium (0x0200): the answer, where the identity is written
/// (variable 4, flash area 16 by 0x95), and whether the firmware resets the domain (0x8F).
std::string KeyMediumAcceptance(const Program& program) {
  const ScmGen::Domain d = SmallDomain(program);
  StubOptions options;
  options.identity = ScmGen::CorvaneUidFile({{0x02, 0x5C, 0x3E, 0x77, 0x77, 0x77}, 0x000F000000000001ull});
  StubRun run(program, d, options);
  if (!run.Error().empty()) return run.Error();
  run.AttachNodes({SimulatedNode(d.nodes[0])});
  const std::optional<Bytes> corvaneUid = run.Host().GetFile(ScmGen::kCorvaneUidName);
  const std::optional<uint16_t> answer = EnterCommand(run, 0x0200);
  if (!answer) return "no answer";
  const auto written = [&] {
    return run.Host().QorVariable(4) == corvaneUid || run.Host().Flash() == corvaneUid;
  };
  run.CycleUntil(written);
  // The machines' holds pass on the firmware's clock, a second at a time, 15 s in all; each
  // second is given 150 ms of real time, so that the background task (every 100 ms) sees it.
  for (int i = 0; i < 15 && run.Calls(0x8F).empty(); ++i) {
    run.Host().AdvanceCounter(1000000);
    const auto end = std::chrono::steady_clock::now() + 150ms;
    while (std::chrono::steady_clock::now() < end && run.Cycle()) std::this_thread::sleep_for(2ms);
  }
  std::string where = run.Host().QorVariable(4) == corvaneUid ? "variable 4 written"
                      : run.Host().Flash() == corvaneUid     ? "flash area 16 written"
                                                             : "identity not written";
  return "answered " + std::to_string(*answer) + "; " + where + "; " + std::to_string(run.Calls(0x95).size()) +
         "x 0x95; " + std::to_string(run.Calls(0x8F).size()) + "x 0x8F";
}

/// Where the firmware takes the key-medium identity from at start-up: host channel 6 (the
/// Qor variables) with a read of variable 4, or flash area 16 (0x94); and whether it
/// ever wrote flash area 16 (0x95).
std::string KeyMediumAtStartUp(const Program& program) {
  StubRun run(program, SmallDomain(program));
  if (!run.Error().empty()) return run.Error();
  if (!run.Cycles(20)) return "no cycle";
  bool channel6 = false;
  for (const ScmSim::CallRecord& r : run.Calls(0x89)) channel6 = channel6 || r.values[1] == 6;
  std::string requests;
  for (const Bytes& r : run.Host().QorRequests()) {
    std::ostringstream out;
    for (uint8_t b : r) out << std::hex << std::uppercase << (b < 16 ? "0" : "") << int(b);
    requests += (requests.empty() ? "" : " ") + out.str();
  }
  return std::string(channel6 ? "channel 6 opened" : "channel 6 never opened") + "; Qor requests [" + requests + "]; " +
         std::to_string(run.Calls(0x94).size()) + "x 0x94, " + std::to_string(run.Calls(0x95).size()) + "x 0x95";
}

struct Row {
  const char* name;                                ///< the situation
  std::function<std::string(const Program&)> run;  ///< runs one program through it
  std::string current;                             ///< scmfirmware's outcome
  std::string older;                               ///< scmfirmware-legacy's outcome
};

TEST(FirmwareBuildsToldApart, OneTableAColumnPerProgram) {
  const Row rows[] = {
      {"a node list of 101 valid nodes (older layout), every node answering", OneHundredAndOneNodes,
       "12 nodes operational (highest 12); first skipped: 6200AF14 (0, 0x1C40C)",
       "101 nodes operational (highest 101); no 6200AF14"},
      {"101 unanswered assignments timed out at once", FramesOfOneCycleAfterTheTimeOuts,
       "10 frames in the cycle after the time-outs", "64 frames in the cycle after the time-outs"},
      {"a node with flags bit 1 whose parameter set is downloaded", NodeWithFlagsBitOneAndADownload,
       "assign-sadr, scm-udid, ext-ct, pre-op, ssdo-download-preload, set-op; operational",
       "assign-sadr, scm-udid, pre-op, ssdo-download-segmented, set-op; operational"},
      {"SNMT service 0x10 to the own node in pre-operational", ExtendedCtRequestToTheOwnNode,
       "answered 0x11; no fatal event; frames go on", "no answer; 9200A62C (0, 0xA); no further frames"},
      {"an SSDO upload of 0xC464/1 from the own node in pre-operational", UploadOfTheLastOlderNodeObject,
       "answered 0x4 0x6020000", "answered 0x20"},
      {"an SSDO initiate 0x2B to the own node in pre-operational", PreloadInitiateToTheOwnNode, "answered 0x2B",
       "answered 0x4 0x5040001"},
      {"setup mode (0x9000) with the valid password", SetupModeCommand, "answered 0", "answered 6"},
      {"status request 0x5000", StatusRequest5000, "48-byte record, result 0; no event",
       "276-byte record, result 32; 6200C08B (32, 0x5000)"},
      {"\"pardata1.bin\" on the storage, downloaded anew and its unlock asked for", AdditionalParameterFile,
       "opened; unlock answered 0; no event; file unlocked; reset after 5 s",
       "never opened; unlock answered -1; 6200AF1D (0, 0x1); file and companion unchanged; reset after 5 s"},
      {"the key medium at start-up", KeyMediumAtStartUp, "channel 6 never opened; Qor requests []; 1x 0x94, 0x 0x95",
       "channel 6 opened; Qor requests [04]; 0x 0x94, 0x 0x95"},
      {"another key medium's identity in the controller, accepted by the operator (0x0200)", KeyMediumAcceptance,
       "answered 0; flash area 16 written; 1x 0x95; 0x 0x8F", "answered 0; variable 4 written; 0x 0x95; 1x 0x8F"},
  };
  for (const Row& row : rows) {
    for (const Program& program : Programs()) {
      SCOPED_TRACE(std::string(row.name) + " / " + program.name);
      const std::string outcome = row.run(program);
      EXPECT_EQ(outcome, program.older ? row.older : row.current);
    }
  }
}

}  // namespace
