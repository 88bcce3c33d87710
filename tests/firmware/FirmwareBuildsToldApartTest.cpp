// The current and the older firmware side by side: one table, a column per
// program, each row the same input given to scmfirmware and scmfirmware-legacy
// as processes under the host simulator, the current program's outcome first.
// Each row is a situation in which the two builds must differ.
//
// Every row here pairs the firmware with the checker stand-in (no nodes):
// commands and unlock requests are put on the firmware-side queues, what the
// firmware sends is read back from them, and the host's call log tells which
// host calls it made.
//
// The situations that need the programs' memory, or an own node configured and
// answering nodes, run in the suites built in both profiles, one expectation per
// profile there:
//   - SCM_OperatorAck refused from index 101 (older) or 12 (current) with 0xF101:
//     tests/manager/ScmTest.cpp, OperatorIndexPastTheNodes;
//   - SNMT service 0x10 to the own node, answered 0x11 (current) or fatal 0xF62C
//     with no answer (older): tests/slave/SnmtsTest.cpp;
//   - the download's first command, 0x2B (current) or 0x29 (older):
//     tests/manager/SsdocTest.cpp, PlainSegmentedDownload;
//   - an initiate 0x2B to the own node and its abort 0x05040001: tests/slave/SsdosTest.cpp;
//   - the frame budget of one cycle: tests/firmware/PumpChannelTest.cpp;
//   - node objects 0xC40C-0xC464 as real entries and an entry with attribute 0x2000
//     failing the start-up check with 0xF735: tests/firmware/LegacyObjectListTest.cpp,
//     tests/stack/TestObjectTables.cpp ("virtual bit in the real table");
//   - the block-wise parameter check over the node objects up to 0xC464 (0x6200AF1A)
//     and error counters past their holds raising no 0x6200AF5F/0x6200AF60:
//     tests/firmware/LegacyObjectListTest.cpp, LegacyCrcManagerTest.cpp.
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
#include "HostUnlock.h"
#include "MessageBuilder.h"
#include "RemoteMessages.h"
#include "ScmFirmwareIdent.h"
#include "ScmGen.h"
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

/// An event as "9200A62C (0, 1)".
std::string EventText(const StubEvent& e) {
  std::ostringstream out;
  out << std::hex << std::uppercase << e.code << std::dec << " (" << e.info0 << ", " << e.info1 << ")";
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

/// One firmware under the host simulator with the checker stand-in: its own namespace,
/// socket and storage, the domain's files installed and acknowledged.
class StubRun {
 public:
  /// extra: further files put on the storage before the firmware starts.
  StubRun(const Program& program, const ScmGen::Domain& domain, const std::map<std::string, Bytes>& extra = {}) {
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
    for (const auto& [name, content] : extra) ok = ok && host_->PutFile(name, content);
    // Each release keeps the key-medium identity where its controller does.
    if (program.older) {
      ok = ok && host_->SetQorVariable(4, installed.corvaneUid) && host_->SetFlash(std::nullopt);
    } else {
      ok = ok && host_->SetFlash(installed.flash);
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

  /// One cycle; the frames the firmware sent in it are added to Frames(), its events to Events().
  bool Cycle() {
    const bool answered = stub_->Cycle(kCycleLimitMs);
    size_t sent = 0;
    while (const auto frame = host_->CollectComplemented("~frame-receive")) {
      frames_.push_back(*frame);
      ++sent;
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
  bool HasEvent(uint32_t code) const {
    return std::any_of(events_.begin(), events_.end(), [&](const StubEvent& e) { return e.code == code; });
  }
  /// Host calls of a number made so far.
  std::vector<ScmSim::CallRecord> Calls(uint32_t number) const {
    std::vector<ScmSim::CallRecord> out;
    for (const ScmSim::CallRecord& r : host_->CallLog()) {
      if (r.number == number) out.push_back(r);
    }
    return out;
  }
  /// The firmware's own SCM UDID, from its assignment to its own node (SNMT service 0x0E).
  std::optional<TestFrames::Udid> ScmUdid() const {
    for (const Bytes& f : frames_) {
      const TestFrames::ParsedFrame p = TestFrames::ParseFrame(f);
      if (p.ok && p.id == TestFrames::Ids::SnmtService && p.payload.size() == 7 && p.payload[0] == 0x0E) {
        TestFrames::Udid udid{};
        std::copy(p.payload.begin() + 1, p.payload.end(), udid.begin());
        return udid;
      }
    }
    return std::nullopt;
  }

 private:
  ScmSim::HostConfig config_;           ///< the host's configuration
  std::unique_ptr<ScmSim::HostSim> host_;
  std::unique_ptr<CheckerStub> stub_;
  std::string error_;                   ///< why the run did not start
  std::vector<Bytes> frames_;           ///< every frame the firmware sent, oldest first
  std::vector<size_t> perCycle_;        ///< frames sent in each cycle
  std::vector<StubEvent> events_;       ///< every event, oldest first
};

/// The domain of the rows that need no nodes: one node at SADR 5 in the program's layout,
/// remote control switched on.
ScmGen::Domain SmallDomain(const Program& program) {
  ScmGen::Domain d = DomainOf(0, program.older ? ScmGen::Layout::Older : ScmGen::Layout::Current);
  d.nodes.push_back(NodeAt(5));
  d.scm.configuration = ScmGen::ConfigurationData{};
  d.scm.configuration->remoteActive = 1;
  return d;
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

/// SADRs the firmware sent an SNMT "assign SADR" to.
std::set<uint16_t> AssignedSadrs(const StubRun& run) {
  std::set<uint16_t> sadrs;
  for (const Bytes& f : run.Frames()) {
    const TestFrames::ParsedFrame p = TestFrames::ParseFrame(f);
    if (p.ok && p.id == TestFrames::Ids::AssignSadr) sadrs.insert(p.adr);
  }
  return sadrs;
}

/// The node list of 101 valid nodes (older layout) given to both programs: how many nodes the
/// configuration manager addresses, the skipped node objects' event, and the most frames
/// that left in one cycle.
std::string OneHundredAndOneNodes(const Program& program) {
  StubRun run(program, DomainOf(101, ScmGen::Layout::Older));
  if (!run.Error().empty()) return run.Error();
  // 300 cycles address every node of the list in either build (the current one's 12 long before).
  run.CycleUntil([&] { return AssignedSadrs(run).size() >= 101 || run.FramesPerCycle().size() >= 300; });
  const std::set<uint16_t> sadrs = AssignedSadrs(run);
  const size_t most = *std::max_element(run.FramesPerCycle().begin(), run.FramesPerCycle().end());
  size_t skipped = 0;
  for (const StubEvent& e : run.Events()) skipped += e.code == 0x6200AF14u ? 1 : 0;
  std::string first;
  for (const StubEvent& e : run.Events()) {
    if (e.code == 0x6200AF14u) {
      first = EventText(e);
      break;
    }
  }
  return std::to_string(sadrs.size()) + " nodes addressed (highest " +
         std::to_string(sadrs.empty() ? 0 : *sadrs.rbegin()) + "); " +
         (skipped == 0 ? std::string("no 6200AF14") : std::to_string(skipped) + "x " + first) +
         "; most frames in one cycle " + (most > 10 ? "over 10" : std::to_string(most));
}

/// Setup mode asked for with the valid (default, all-zero) password while the start-up scans
/// run: the result of the answer. The current build knows the code and refuses it for the
/// running scan (27), the older one does not know it (6).
std::string SetupModeCommand(const Program& program) {
  StubRun run(program, SmallDomain(program));
  if (!run.Error().empty()) return run.Error();
  if (!run.Cycles(5)) return "no cycle";
  TestFrames::CommandSpec command;
  command.identifier = 7;
  command.code = 0x9000;
  if (!run.Stub().PutCommand(TestFrames::BuildCommand(command))) return "not put";
  std::optional<Bytes> status;
  run.CycleUntil([&] { return (status = run.Host().CollectComplemented("~status")).has_value(); });
  if (!status) return "no answer";
  const std::optional<TestFrames::StatusSpec> s = TestFrames::ReadStatus(*status);
  if (!s) return "answered in " + std::to_string(status->size()) + " bytes";
  return "answered " + std::to_string(s->result);
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
  StubRun run(program, SmallDomain(program), {{ScmGen::kParData1Name, ParData1()}});
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
      {"a node list of 101 valid nodes (older layout)", OneHundredAndOneNodes,
       "12 nodes addressed (highest 12); 31x 6200AF14 (0, 115724); most frames in one cycle 10",
       "101 nodes addressed (highest 101); no 6200AF14; most frames in one cycle 10"},
      {"setup mode (0x9000) with the valid password", SetupModeCommand, "answered 27", "answered 6"},
      {"status request 0x5000", StatusRequest5000, "48-byte record, result 0; no event",
       "276-byte record, result 32; 6200C08B (32, 20480)"},
      {"\"pardata1.bin\" on the storage, downloaded anew and its unlock asked for", AdditionalParameterFile,
       "opened; unlock answered 0; no event; file unlocked; reset after 5 s",
       "never opened; unlock answered -1; 6200AF1D (0, 1); file and companion unchanged; reset after 5 s"},
      {"the key medium at start-up", KeyMediumAtStartUp, "channel 6 never opened; Qor requests []; 1x 0x94, 0x 0x95",
       "channel 6 opened; Qor requests [04]; 0x 0x94, 0x 0x95"},
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
