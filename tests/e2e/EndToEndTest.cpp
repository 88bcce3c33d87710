// The end-to-end scenarios with real processes: scmdemo runs the host
// simulator, the simulated nodes, scmchecker and scmfirmware on the default
// domain with the faults of each CI scenario. Every check reads the host side
// only (exit status, summary, node records in it, frame trace, events), never
// the programs' memory. On failure the trace tail and the summary are printed.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "DemoDomain.h"
#include "DemoOptions.h"
#include "DemoProcess.h"
#include "DomainDescription.h"

namespace {

using ScmDemoTest::DemoProcess;
using ScmDemoTest::TraceFields;
using nlohmann::json;
namespace Exit = ScmDemo::ExitStatus;

/// The node every fault scenario puts its fault on (default domain).
constexpr unsigned kFaultyNode = 2;
/// Seconds an operational domain keeps guarding before the run ends.
constexpr const char* kGuardSeconds = "1";
/// Time limit of a run that must reach every node operational; it only bounds a failing run.
constexpr const char* kReachLimit = "30";
/// Time limit of a run in which one node stays out: long enough for the SCM's repeated rounds.
constexpr const char* kStayOutLimit = "8";
/// Time limit of a run in which one node stays out while a scripted operator acts: its steps take seconds.
constexpr const char* kStayOutOperatorLimit = "15";
/// Time limit of a run with a scripted operator: its waits and the confirmations take seconds.
constexpr const char* kOperatorLimit = "120";
/// Trace lines printed when a scenario fails.
constexpr size_t kTraceTail = 40;
/// The checker's warning for a frame from the network with a wrong CRC, as the summary writes its code.
constexpr const char* kFrameCrcWarning = "0x0000E2C0";

/// What a run left for its checks.
struct Outcome {
  json summary;                    ///< the summary file
  std::vector<TraceFields> trace;  ///< the frame trace
  std::string storage;             ///< the host's storage folder the run kept
};

/// Bytes of the SADR-UDID store "corvane.dat": header, one 13-byte record per SADR 1 to 1023, CRC.
constexpr size_t kCorvaneDatSize = 13367;
/// Offset of SADR 1's record in "corvane.dat", and of the UDID within a record.
constexpr size_t kCorvaneFirstRecord = 64;
constexpr size_t kCorvaneRecordUdid = 7;
constexpr size_t kCorvaneRecordSize = 13;

/// A file the run left on the host's storage; empty when there is none.
std::vector<uint8_t> StoredFile(const Outcome& o, const std::string& name) {
  std::ifstream in(o.storage + "/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A UDID as the summary writes it ("02-5C-3E-A0-00-02").
std::string UdidText(const uint8_t* udid) {
  std::string text;
  for (int i = 0; i < 6; ++i) {
    char part[4];
    std::snprintf(part, sizeof part, i == 0 ? "%02X" : "-%02X", udid[i]);
    text += part;
  }
  return text;
}

/// Requests of a service a node received, from its record.
unsigned Received(const json& node, const std::string& service) {
  const json& r = node["record"]["requests"];
  return r.contains(service) ? r[service]["received"].get<unsigned>() : 0u;
}

/// Events of a code that reached the host, from the summary's events by code.
unsigned EventsOfCode(const json& summary, const std::string& code) {
  for (const json& e : summary["events"]["byCode"]) {
    if (e["code"] == code) return e["count"].get<unsigned>();
  }
  return 0;
}

/// The summary's node at a position.
const json& Node(const json& summary, unsigned position) {
  for (const json& n : summary["nodes"]) {
    if (n["position"] == position) return n;
  }
  static const json none = json::object();
  ADD_FAILURE() << "no node at position " << position;
  return none;
}

/// Trace lines of frames carried to the node at a position, in order.
std::vector<TraceFields> ToNode(const std::vector<TraceFields>& trace, unsigned position) {
  std::vector<TraceFields> lines;
  for (const TraceFields& l : trace) {
    if (l.at("dir") == "fw>node" && l.at("node") == std::to_string(position)) lines.push_back(l);
  }
  return lines;
}

/// Every node but the faulty one is operational and was guarded.
void OthersOperational(const json& s, bool includingFaulty) {
  for (const json& n : s["nodes"]) {
    if (!includingFaulty && n["position"] == kFaultyNode) continue;
    EXPECT_EQ(n["state"], "operational") << n.dump();
    EXPECT_GT(n["guardAnswers"].get<unsigned>(), 0u) << n.dump();
    EXPECT_TRUE(n["cyclesToOperational"].is_number()) << n.dump();
  }
}

/// No fail-safe signal (no class-9 event, the frame queues still there, both programs running).
void NeverFailSafe(const json& s) {
  EXPECT_TRUE(s["failSafe"].empty()) << s["failSafe"].dump();
  for (const json& p : s["programs"]) EXPECT_EQ(p["state"], "stopped by the run") << p.dump();
}

/// Every node operational (but the faulty one unless includingFaulty), never fail-safe, and every
/// step of the scripted operator done; its summary.
const json& ScriptRanThrough(const json& s, bool includingFaulty = true) {
  OthersOperational(s, includingFaulty);
  NeverFailSafe(s);
  const json& op = s["operator"];
  EXPECT_EQ(op["failedStep"], "") << op.dump();
  EXPECT_EQ(op["stepsDone"], op["scriptSteps"]);
  return op;
}

/// The order progress the operator side saw (each change of remote state, stored and last
/// completed code, without its time) holds the expected changes in this order.
void ProgressShows(const json& op, const std::vector<std::string>& expected) {
  std::vector<std::string> seen;
  for (const json& p : op["orderProgress"]) {
    const std::string text = p.get<std::string>();
    seen.push_back(text.substr(text.find(": ") + 2));
  }
  size_t next = 0;
  for (const std::string& line : seen) {
    if (next < expected.size() && line == expected[next]) ++next;
  }
  EXPECT_EQ(next, expected.size()) << "missing from the progress: " << (next < expected.size() ? expected[next] : "")
                                   << "\n" << op["orderProgress"].dump(1);
}

/// The order progress the operator side saw passes through these stored and last completed codes in
/// this order, whatever the remote state beside them (a pass between an order's parts may be too short
/// for a status record to see its remote state).
void ProgressPassesCodes(const json& op, const std::vector<std::pair<unsigned, unsigned>>& codes) {
  std::vector<std::string> expected;
  for (const auto& [stored, last] : codes) {
    char text[64];
    std::snprintf(text, sizeof text, "stored 0x%04X, last completed 0x%04X", stored, last);
    expected.push_back(text);
  }
  size_t next = 0;
  for (const json& p : op["orderProgress"]) {
    const std::string line = p.get<std::string>();
    if (next < expected.size() && line.size() >= expected[next].size() &&
        line.compare(line.size() - expected[next].size(), std::string::npos, expected[next]) == 0) {
      ++next;
    }
  }
  EXPECT_EQ(next, expected.size()) << "missing from the progress: " << (next < expected.size() ? expected[next] : "")
                                   << "\n" << op["orderProgress"].dump(1);
}

/// Writes the scripted operator's steps into the run's directory; the script's path.
std::string OperatorScript(const DemoProcess& demo, const std::vector<std::string>& steps) {
  const std::string script = demo.Directory() + "/operator.txt";
  std::ofstream out(script);
  for (const std::string& step : steps) out << step << "\n";
  return script;
}

/// One domain restart after the accepted order: both programs started twice, the checker's
/// persistence kept what the firmware accepted (no checker record, checked for every scenario).
void RestartedOnce(const json& s) {
  for (const json& p : s["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
}

/// The network never echoed the firmware's frames: all it gave the firmware came from the nodes.
void NoEcho(const json& s) {
  unsigned sent = 0;
  for (const json& n : s["nodes"]) sent += n["record"]["framesSent"].get<unsigned>();
  EXPECT_EQ(s["network"]["toFirmware"].get<unsigned>(), sent + s["network"]["duplicated"].get<unsigned>());
}

/// Checker records (codes 0xE2xx) among the events that reached the host.
unsigned CheckerRecords(const json& summary) {
  unsigned n = 0;
  for (const json& e : summary["events"]["byCode"]) {
    if (e["code"].get<std::string>().rfind("0x0000E2", 0) == 0) n += e["count"].get<unsigned>();
  }
  return n;
}

/// The byte at offset of a hex string.
unsigned HexByte(const std::string& hex, size_t offset) { return std::stoul(hex.substr(2 * offset, 2), nullptr, 16); }

/// The flags word of a 0x0101 "fwrevcnf.bin" given in hex.
unsigned FwRevFlags(const std::string& hex) {
  const size_t at = 8 + 4 * (HexByte(hex, 0) | (HexByte(hex, 1) << 8)) + 4 + 4;
  return HexByte(hex, at) | (HexByte(hex, at + 1) << 8);
}

/// The records of a "corvane.dat" or "corvane.dat.chk" (header word 12: data length; records of
/// u16 index, u8 sub-index, u32 length, data from offset 64): SADR and its 6 UDID bytes as stored.
std::map<unsigned, std::vector<uint8_t>> CorvaneRecords(const std::vector<uint8_t>& file) {
  std::map<unsigned, std::vector<uint8_t>> records;
  if (file.size() < kCorvaneFirstRecord) return records;
  const size_t length = file[12] | (file[13] << 8) | (file[14] << 16) | (static_cast<size_t>(file[15]) << 24);
  for (size_t at = kCorvaneFirstRecord; at + kCorvaneRecordSize <= kCorvaneFirstRecord + length && at + kCorvaneRecordSize <= file.size();
       at += kCorvaneRecordSize) {
    const unsigned index = file[at] | (file[at + 1] << 8);
    records[index - 0xCC00] = std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(at + kCorvaneRecordUdid),
                                                   file.begin() + static_cast<std::ptrdiff_t>(at + kCorvaneRecordSize));
  }
  return records;
}

/// The checker's "corvane.dat.chk" agrees with the firmware's "corvane.dat": every UDID it
/// acknowledged is the complement of the one the firmware stored, and every node's UDID is there.
void CheckerCopyAgrees(const Outcome& o) {
  const auto dat = CorvaneRecords(StoredFile(o, "corvane.dat"));
  const auto chk = CorvaneRecords(StoredFile(o, "corvane.dat.chk"));
  ASSERT_FALSE(chk.empty());
  for (const auto& [sadr, udid] : chk) {
    ASSERT_EQ(dat.count(sadr), 1u) << sadr;
    for (size_t i = 0; i < udid.size(); ++i) EXPECT_EQ(udid[i], static_cast<uint8_t>(~dat.at(sadr)[i])) << sadr;
  }
  for (const json& n : o.summary["nodes"]) {
    const unsigned sadr = n["sadr"].get<unsigned>();
    ASSERT_EQ(chk.count(sadr), 1u) << "node " << sadr << " acknowledged";
    EXPECT_EQ(UdidText(dat.at(sadr).data()), n["udid"].get<std::string>()) << n.dump();
  }
}

/// The first section of a "fwrevcnf.bin" or its ".chk" (u16 count, u16 entry size, u16 version,
/// u16 header size, then u16 SADR and u16 minor revision per entry): minor revision by SADR, as stored.
std::map<unsigned, unsigned> FwRevEntries(const std::vector<uint8_t>& file) {
  std::map<unsigned, unsigned> entries;
  if (file.size() < 8) return entries;
  const size_t count = file[0] | (file[1] << 8);
  const size_t size = file[2] | (file[3] << 8);
  const size_t header = file[6] | (file[7] << 8);
  for (size_t i = 0; i < count && size >= 4 && header + (i + 1) * size <= file.size(); ++i) {
    const size_t at = header + i * size;
    entries[file[at] | (file[at + 1] << 8)] = file[at + 2] | (file[at + 3] << 8);
  }
  return entries;
}

/// The checker's "fwrevcnf.bin.chk" agrees with the firmware's "fwrevcnf.bin": the same SADRs, each
/// minor revision the complement of the one the firmware accepted.
void CheckerRevisionsAgree(const Outcome& o) {
  const std::map<unsigned, unsigned> plain = FwRevEntries(StoredFile(o, "fwrevcnf.bin"));
  const std::map<unsigned, unsigned> chk = FwRevEntries(StoredFile(o, "fwrevcnf.bin.chk"));
  EXPECT_FALSE(plain.empty());
  EXPECT_EQ(chk.size(), plain.size());
  for (const auto& [sadr, revision] : plain) {
    ASSERT_EQ(chk.count(sadr), 1u) << sadr;
    EXPECT_EQ(chk.at(sadr), (~revision) & 0xFFFFu) << sadr;
  }
}

/// What every run of the older release's pair shows: its own ident word and program names,
/// the key-medium identity in Qor variable 4 and no flash area 16.
void OlderPair(const json& s) {
  EXPECT_EQ(s["handshake"]["identWord"], SCM_E2E_LEGACY_IDENT) << s["handshake"].dump();
  ASSERT_EQ(s["programs"].size(), 2u);
  EXPECT_EQ(s["programs"][0]["name"], "scmchecker-legacy");
  EXPECT_EQ(s["programs"][1]["name"], "scmfirmware-legacy");
  const json& kept = s["kept"];
  EXPECT_EQ(kept["qorVariables"]["4"], kept["files"]["corvane.uid"]) << kept.dump();
  EXPECT_EQ(kept["flash"], "-");
  EXPECT_FALSE(kept["files"].contains("pardata1.bin")) << kept.dump();
}

/// One end-to-end scenario: the name in the scenario file, the status and the checks.
struct E2eCase {
  const char* name;                              ///< scenario name in ci-scenarios.toml
  int status;                                    ///< documented exit status
  std::function<void(const Outcome&)> check;     ///< what the host side must show
  std::vector<std::string> args = {};            ///< further scmdemo options of this run
  bool noFrames = false;                         ///< no frame is traced (the firmware never serves the network)
  /// The firmware reports a trouble with its files or the key-medium identity (0x6200C086, 0x6200C087):
  /// only where the run spoils a write or installs another key medium.
  bool fileEvents = false;
};

/// An acceptance of node 2's firmware whose write of "fwrevcnf.bin" the host spoilt: the order failed
/// for good with the file's events (storage event code and count, 0x6200C086 count), a further order
/// refused, the file still accepting revision 1.
void FirmwareWriteFailed(const Outcome& o, const char* storageEvent, unsigned fileEvents) {
  const json& op = ScriptRanThrough(o.summary, false);
  const std::vector<std::string> events = op["remoteEvents"];
  EXPECT_EQ(events, (std::vector<std::string>{"3,0x0100", "9,0x0100"}));
  ProgressShows(op, {"remote accepted, stored 0x0100, last completed 0x0000",
                     "remote being confirmed, stored 0x0100, last completed 0x0000",
                     "remote final, stored 0x0100, last completed 0x0000"});
  EXPECT_EQ(EventsOfCode(o.summary, "0x6200C086"), fileEvents) << o.summary["events"].dump();
  EXPECT_EQ(EventsOfCode(o.summary, storageEvent), 1u) << o.summary["events"].dump();
  const std::string fwrev = o.summary["kept"]["files"]["fwrevcnf.bin"];
  EXPECT_EQ(HexByte(fwrev, 12) | (HexByte(fwrev, 13) << 8), 2u) << fwrev;
  EXPECT_EQ(HexByte(fwrev, 14) | (HexByte(fwrev, 15) << 8), 1u) << fwrev;
  const json& n = Node(o.summary, kFaultyNode);
  EXPECT_NE(n["state"], "operational") << n.dump();
  for (const json& p : o.summary["programs"]) EXPECT_EQ(p["starts"], 1) << p.dump();
}

/// A combined order of the older pair that ran through: the script's remote events; the order
/// accepted whole, its first part completed, then every part, then the restarted firmware's empty
/// record; the firmware's reset after the last part restarted both programs (the script ordered
/// none); every record sound; "fwrevcnf.bin" with these minor revisions, and both ".chk" copies
/// agreeing with the firmware's files.
void CombinedOrderConfirmedPartByPart(const Outcome& o, const std::vector<std::string>& events, unsigned code,
                                      unsigned firstPart, const std::map<unsigned, unsigned>& revisions) {
  const json& op = ScriptRanThrough(o.summary);
  OlderPair(o.summary);
  EXPECT_EQ(op["remoteEvents"].get<std::vector<std::string>>(), events);
  char accepted[80];
  char completed[80];
  std::snprintf(accepted, sizeof accepted, "remote accepted, stored 0x%04X, last completed 0x0000", code);
  std::snprintf(completed, sizeof completed, "remote none, stored 0x%04X, last completed 0x%04X", code, code);
  ProgressShows(op, {accepted, completed, "remote none, stored 0x0000, last completed 0x0000"});
  ProgressPassesCodes(op, {{code, 0x0000}, {code, firstPart}, {code, code}, {0x0000, 0x0000}});
  RestartedOnce(o.summary);
  EXPECT_EQ(op["classicRecordsSound"], op["classicRecords"]);
  CheckerRevisionsAgree(o);
  EXPECT_EQ(FwRevEntries(StoredFile(o, "fwrevcnf.bin")), revisions);
  CheckerCopyAgrees(o);
}

/// Names the case in test output./// Names the case in test output.
void PrintTo(const E2eCase& c, std::ostream* os) { *os << c.name; }

const std::vector<E2eCase>& Cases() {
  static const std::vector<E2eCase> cases{
      {"all-good", Exit::Success,
       [](const Outcome& o) {
         OthersOperational(o.summary, true);
         NeverFailSafe(o.summary);
         NoEcho(o.summary);
         EXPECT_EQ(o.summary["network"]["noNode"], 0);
         EXPECT_EQ(EventsOfCode(o.summary, kFrameCrcWarning), 0u) << o.summary["events"].dump();
         // the node that asks for its additional set got it past the checker's header check
         unsigned sets = 0;
         for (const json& n : o.summary["nodes"]) sets += n["record"]["additionalSetsReceived"].get<unsigned>();
         EXPECT_GE(sets, 1u);
       }},
      {"wrong-vendor", Exit::TimeLimit,
       [](const Outcome& o) {
         OthersOperational(o.summary, false);
         NeverFailSafe(o.summary);
         const json& n = Node(o.summary, kFaultyNode);
         // the vendor read repeats round after round, and every upload is that read
         EXPECT_GE(n["record"]["faultsApplied"]["wrong-vendor"].get<unsigned>(), 2u) << n.dump();
         EXPECT_EQ(Received(n, "ssdo-upload"), n["record"]["faultsApplied"]["wrong-vendor"].get<unsigned>());
         EXPECT_EQ(Received(n, "set-op"), 0u);
         for (const TraceFields& l : ToNode(o.trace, kFaultyNode)) {
           EXPECT_EQ(l.at("service").find("@1018/02"), std::string::npos) << "product-code read";
           EXPECT_NE(l.at("service"), "set-op");
         }
       }},
      {"udid-mismatch", Exit::TimeLimit,
       [](const Outcome& o) {
         OthersOperational(o.summary, false);
         NeverFailSafe(o.summary);
         const json& n = Node(o.summary, kFaultyNode);
         // It waits for the operator's acknowledge. Each start-up scan's reset of
         // guarding ends that wait and restarts the node, so it may be asked for its
         // UDID more than once; its last frame is a UDID request, and nothing follows.
         const std::vector<TraceFields> to = ToNode(o.trace, kFaultyNode);
         ASSERT_FALSE(to.empty());
         EXPECT_EQ(to.back().at("service"), "udid");
         EXPECT_GE(Received(n, "udid"), 1u) << n.dump();
         EXPECT_GE(Received(n, "assign-sadr"), 1u);
         EXPECT_EQ(n["record"]["framesReceived"].get<unsigned>(), Received(n, "assign-sadr") + Received(n, "udid"))
             << n.dump();
         for (const TraceFields& l : to) {
           EXPECT_TRUE(l.at("service") == "assign-sadr" || l.at("service") == "udid") << l.at("service");
         }
         EXPECT_EQ(n["record"]["lastRequest"], "udid");
       }},
      {"udid-mismatch-accepted", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         EXPECT_EQ(op["strayAnswers"], 0);
         // the last record, after the domain restart: no mismatch (the script waited for the exchange's completion)
         const std::string last = op["lastStatus"];
         EXPECT_NE(last.find("mismatches 0 [-]"), std::string::npos) << last;
         RestartedOnce(o.summary);
         // every classic record reached the host unmarked by the checker: both channels sound
         EXPECT_GT(op["classicRecords"].get<unsigned>(), 0u);
         EXPECT_EQ(op["classicRecordsSound"], op["classicRecords"]);
         // one event per refusal, in order, and the confirmations of the password change and the exchange
         const std::vector<std::string> events = op["remoteEvents"];
         const std::vector<std::string> expected = {"3,0x5000", "30,0x0003", "30,0x0017", "5,0x0300", "6,0x0070",
                                                    "32,0x4000", "8,0x0060", "17,0x0050", "3,0x0060"};
         EXPECT_EQ(events, expected);
         // The exchange is kept over restarts: the SADR-UDID store the firmware rewrote holds the
         // UDID node 2 carries, and every other node's described UDID.
         const std::vector<uint8_t> dat = StoredFile(o, "corvane.dat");
         ASSERT_EQ(dat.size(), kCorvaneDatSize);
         for (const json& n : o.summary["nodes"]) {
           const size_t at = kCorvaneFirstRecord + kCorvaneRecordSize * (n["sadr"].get<size_t>() - 1) + kCorvaneRecordUdid;
           EXPECT_EQ(UdidText(dat.data() + at), n["udid"].get<std::string>()) << n.dump();
         }
       }},
      {"download-unlocked", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         EXPECT_EQ(op["downloads"], std::vector<std::string>{"kel_para.saf"});
         EXPECT_EQ(op["unlocks"], (std::vector<std::string>{"7,-1", "8,0"}));
         // the wrong word's one event; the file unlocked as the run installed it, the companion emptied
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200AF1D"), 1u) << o.summary["events"].dump();
         ScmDemo::DemoOptions options;
         ScmDemo::DomainPlan plan;
         ASSERT_EQ(ScmDemo::PlanDomain(options, plan), "");
         const auto installed = std::find_if(plan.files.begin(), plan.files.end(),
                                             [](const auto& f) { return strcasecmp(f.first.c_str(), "kel_para.saf") == 0; });
         ASSERT_NE(installed, plan.files.end());
         EXPECT_EQ(StoredFile(o, "kel_para.saf"), installed->second);
         EXPECT_EQ(StoredFile(o, "kel_para.saf.swp"), std::vector<uint8_t>{});
         // the one domain reset restarted both programs
         for (const json& p : o.summary["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
       }},
      {"setup-mode-and-rescan", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         const std::string last = op["lastStatus"];
         EXPECT_NE(last.find("last completed 0x2000"), std::string::npos) << last;
         EXPECT_EQ(op["classicRecordsSound"], op["classicRecords"]);
         // the password change, the old password refused, setup mode on, the rescan
         const std::vector<std::string> events = op["remoteEvents"];
         const std::vector<std::string> expected = {"3,0x5000", "8,0x0060", "3,0x9000", "3,0x2000"};
         EXPECT_EQ(events, expected);
         // What the firmware keeps: the password in "fwrevcnf.bin" and variable 1, setup mode in flag 0x10
         // and variable 6, the SCM version in variable 5, flash area 16 equal to "corvane.uid".
         const json& kept = o.summary["kept"];
         const std::string secret = "736563726574" + std::string(20, '0');
         EXPECT_EQ(kept["qorVariables"]["1"], secret) << kept.dump();
         EXPECT_EQ(kept["qorVariables"]["5"], "0401");
         EXPECT_EQ(kept["qorVariables"]["6"], "0100");
         EXPECT_EQ(kept["qorVariables"]["3"].get<std::string>().size(), 48u);
         const std::string fwrev = kept["files"]["fwrevcnf.bin"];
         EXPECT_EQ(FwRevFlags(fwrev), 0x17u) << fwrev;
         EXPECT_NE(fwrev.find(secret), std::string::npos) << fwrev;
         EXPECT_EQ(kept["flash"], kept["files"]["corvane.uid"]);
       }},
      {"firmware-accepted", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"3,0x5000", "3,0x0100"}));
         RestartedOnce(o.summary);
         // the order's progress as it changed, then the restarted firmware's empty record
         ProgressShows(op, {"remote accepted, stored 0x0100, last completed 0x0000",
                            "remote none, stored 0x0100, last completed 0x0100",
                            "remote none, stored 0x0000, last completed 0x0000"});
         // "fwrevcnf.bin" accepts node 2's minor revision 2 (entries by SADR: 1, 2, 3, 4).
         const std::string fwrev = o.summary["kept"]["files"]["fwrevcnf.bin"];
         EXPECT_EQ(HexByte(fwrev, 0), 4u) << fwrev;
         EXPECT_EQ(HexByte(fwrev, 12) | (HexByte(fwrev, 13) << 8), 2u) << fwrev;
         EXPECT_EQ(HexByte(fwrev, 14) | (HexByte(fwrev, 15) << 8), 2u) << fwrev;
         EXPECT_EQ(FwRevFlags(fwrev) & 0x10u, 0u) << "setup mode off";
       }},
      // the refused write: "file write failed"; the empty file the close commits is written back
      {"firmware-write-refused", Exit::TimeLimit, [](const Outcome& o) { FirmwareWriteFailed(o, "0x62008A05", 1); },
       {}, false, true},
      // the short write, whose partial file the host discards at the close here (the default commits
      // it): the short count and the failed close each reported, "file close failed" once
      {"firmware-write-cut-short", Exit::TimeLimit, [](const Outcome& o) { FirmwareWriteFailed(o, "0x62008A01", 2); },
       {"--damaged-writes", "discard"}, false, true},
      {"key-medium-accepted", Exit::Success,
       [](const Outcome& o) {
         // No set-to-operational before the acceptance: the checker would have recorded one (0xE249).
         const json& op = ScriptRanThrough(o.summary);
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"3,0x5000", "3,0x0200"}));
         RestartedOnce(o.summary);
         ProgressShows(op, {"remote accepted, stored 0x0200, last completed 0x0000",
                            "remote none, stored 0x0200, last completed 0x0200",
                            "remote none, stored 0x0000, last completed 0x0000"});
         const json& kept = o.summary["kept"];
         EXPECT_EQ(kept["flash"], kept["files"]["corvane.uid"]) << kept.dump();
         // "fwrevcnf.bin" accepts the host's Qor UDID and target id.
         const std::string fwrev = kept["files"]["fwrevcnf.bin"];
         EXPECT_NE(fwrev.find("025c3e102030" "45230100eeffc000"), std::string::npos) << fwrev;
         EXPECT_EQ(FwRevFlags(fwrev), 0x07u) << fwrev;
       },
       {},
       false,
       true},
      {"key-medium-flash-refused", Exit::TimeLimit,
       [](const Outcome& o) {
         NeverFailSafe(o.summary);
         const json& op = o.summary["operator"];
         EXPECT_EQ(op["failedStep"], "") << op.dump();
         EXPECT_EQ(op["stepsDone"], op["scriptSteps"]);
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"3,0x0200", "9,0x0200"}));
         // the order ends 5 s after its failed write, final until a restart
         ProgressShows(op, {"remote accepted, stored 0x0200, last completed 0x0000",
                            "remote being confirmed, stored 0x0200, last completed 0x0000",
                            "remote final, stored 0x0200, last completed 0x0000"});
         // the start-up's report of the other identity in flash area 16; the failed flash write adds none
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200C087"), 1u) << o.summary["events"].dump();
         // the key medium still not accepted: no node assigned (not a frame traced), flash area 16 still
         // the other identity, and nothing sent to the Qor controller
         for (const json& n : o.summary["nodes"]) EXPECT_EQ(n["state"], "unassigned") << n.dump();
         const json& kept = o.summary["kept"];
         EXPECT_EQ(kept["flash"], "00010000025c3e1020cf439a785634120f00") << kept.dump();
         EXPECT_TRUE(kept["qorRequests"].empty()) << kept.dump();
       },
       {},
       true,
       true},
      {"setup-mode-accepts-firmware", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         // The operator confirmed only the password and setup mode; the firmware it accepted by
         // itself, with the setup-mode events of switching on and of the acceptance.
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"3,0x5000", "3,0x9000"}));
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200C094"), 2u) << o.summary["events"].dump();
         const json& kept = o.summary["kept"];
         EXPECT_EQ(kept["qorVariables"]["6"], "0100");
         const std::string fwrev = kept["files"]["fwrevcnf.bin"];
         EXPECT_EQ(HexByte(fwrev, 14) | (HexByte(fwrev, 15) << 8), 2u) << fwrev;
         EXPECT_EQ(FwRevFlags(fwrev), 0x17u) << fwrev;
       }},
      {"order-invalid-at-validation", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"4,0x9100", "16,0x0060"}));
         // Nothing written: the installed "fwrevcnf.bin" (flags 0x07, no password), no password in variable 1.
         const json& kept = o.summary["kept"];
         EXPECT_EQ(FwRevFlags(kept["files"]["fwrevcnf.bin"]), 0x07u);
         EXPECT_EQ(kept["qorVariables"]["1"], std::string(32, '0'));
         EXPECT_EQ(kept["qorVariables"]["6"], "0000");
         EXPECT_EQ(kept["flash"], kept["files"]["corvane.uid"]);
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200C086"), 0u);
       }},
      {"setup-mode-off-resets", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"3,0x9000", "3,0x9100"}));
         // the order stays final until the reset, then the restarted firmware's empty record
         ProgressShows(op, {"remote none, stored 0x9000, last completed 0x9000",
                            "remote accepted, stored 0x9100, last completed 0x0000",
                            "remote final, stored 0x9100, last completed 0x0000",
                            "remote none, stored 0x0000, last completed 0x0000"});
         // switched on (2, 0) and off (3, 0); the firmware's reset restarted both programs
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200C094"), 2u) << o.summary["events"].dump();
         for (const json& p : o.summary["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
         const json& kept = o.summary["kept"];
         EXPECT_EQ(kept["qorVariables"]["6"], "0000") << kept.dump();
         EXPECT_EQ(FwRevFlags(kept["files"]["fwrevcnf.bin"]), 0x07u);
       }},
      {"user-data-format", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_EQ(events, (std::vector<std::string>{"3,0x8000"}));
         ProgressShows(op, {"remote accepted, stored 0x8000, last completed 0x0000",
                            "remote final, stored 0x8000, last completed 0x0000",
                            "remote none, stored 0x0000, last completed 0x0000"});
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200C07F"), 2u) << o.summary["events"].dump();
         for (const json& p : o.summary["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
         const json& kept = o.summary["kept"];
         EXPECT_EQ(kept["files"]["pardata1.bin"], "") << kept.dump();
         EXPECT_EQ(kept["files"]["autocnf.bin"], "");
       }},
      {"user-data-format-cut-by-reset", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         // The confirmation's event and the cut close come in one cycle of the firmware: the
         // reset may delete the event queue before the host read it.
         const std::vector<std::string> events = op["remoteEvents"];
         EXPECT_LE(events.size(), 1u);
         for (const std::string& e : events) EXPECT_EQ(e, "3,0x8000");
         // the power cut restarted both programs; nothing was emptied, so nothing was reported
         RestartedOnce(o.summary);
         EXPECT_EQ(EventsOfCode(o.summary, "0x6200C07F"), 0u) << o.summary["events"].dump();
         const json& kept = o.summary["kept"];
         EXPECT_EQ(kept["files"]["pardata1.bin"].get<std::string>().size(), 200u) << kept.dump();
         EXPECT_EQ(kept["files"]["autocnf.bin"], "");
       }},
      {"silent", Exit::TimeLimit,
       [](const Outcome& o) {
         OthersOperational(o.summary, false);
         NeverFailSafe(o.summary);
         const json& n = Node(o.summary, kFaultyNode);
         // only assignments and UDID requests, in rounds
         EXPECT_GE(Received(n, "assign-sadr"), 2u) << n.dump();
         EXPECT_GE(Received(n, "udid"), 2u) << n.dump();
         EXPECT_EQ(n["record"]["framesReceived"].get<unsigned>(), Received(n, "assign-sadr") + Received(n, "udid"));
         EXPECT_EQ(n["record"]["framesSent"], 0);
         for (const TraceFields& l : ToNode(o.trace, kFaultyNode)) {
           EXPECT_TRUE(l.at("service") == "assign-sadr" || l.at("service") == "udid") << l.at("service");
         }
       }},
      {"not-processed", Exit::TimeLimit,
       [](const Outcome& o) {
         OthersOperational(o.summary, false);
         NeverFailSafe(o.summary);
         const json& n = Node(o.summary, kFaultyNode);
         // the configuration manager leaves it alone: not a single frame
         EXPECT_EQ(n["record"]["framesReceived"].get<unsigned>(), 0u) << n.dump();
         EXPECT_TRUE(ToNode(o.trace, kFaultyNode).empty());
         EXPECT_EQ(n["state"], "unassigned") << n.dump();
       }},
      {"older-large-domain", Exit::Success,
       [](const Outcome& o) {
         OthersOperational(o.summary, true);
         NeverFailSafe(o.summary);
         NoEcho(o.summary);
         OlderPair(o.summary);
         EXPECT_GT(o.summary["nodes"].size(), 12u);
         unsigned above12 = 0;
         unsigned sets = 0;
         for (const json& n : o.summary["nodes"]) {
           above12 += n["sadr"].get<unsigned>() > 12 ? 1 : 0;
           sets += n["record"]["additionalSetsReceived"].get<unsigned>();
         }
         EXPECT_GT(above12, 0u);
         // the node that asks for its additional set got it from the node list, past the checker
         EXPECT_GE(sets, 1u);
         EXPECT_EQ(o.summary["events"]["byCode"].size(), 0u) << o.summary["events"].dump();
       }},
      {"older-udid-mismatch-accepted", Exit::Success,
       [](const Outcome& o) {
         const json& op = ScriptRanThrough(o.summary);
         OlderPair(o.summary);
         EXPECT_EQ(op["remoteEvents"], json::array({"3,0x0060"})) << op.dump();
         const std::string last = op["lastStatus"];
         EXPECT_NE(last.find("mismatches 0 [-]"), std::string::npos) << last;
         EXPECT_NE(last.find("last completed 0x0060"), std::string::npos) << last;
         EXPECT_EQ(op["classicRecordsSound"], op["classicRecords"]);
         // node 20's new UDID (the one it carries) kept by both channels
         CheckerCopyAgrees(o);
       }},
      {"older-combined-code-accepted", Exit::Success,
       [](const Outcome& o) {
         // The refusals name the part that failed (two modules, the key medium) or the code itself
         // (no such exchange part); the accepted order is confirmed part by part, the firmware first.
         // Both channels kept node 33's revision 2 and node 20's new UDID.
         CombinedOrderConfirmedPartByPart(o, {"17,0x0050", "14,0x0200", "6,0x0170", "3,0x0100", "3,0x0060"}, 0x0160,
                                          0x0100, {{1, 1}, {2, 1}, {13, 1}, {20, 1}, {33, 2}, {101, 1}});
       }},
      {"older-combined-key-medium-accepted", Exit::Success,
       [](const Outcome& o) {
         // the exchange alone refused while the key medium counts as changed; the combined order
         // confirmed part by part, the key medium first; every revision as installed
         CombinedOrderConfirmedPartByPart(o, {"22,0x0060", "3,0x0200", "3,0x0060"}, 0x0260, 0x0200,
                                          {{1, 1}, {2, 1}, {13, 1}, {20, 1}, {101, 1}});
         // "fwrevcnf.bin" now accepts this CPU (the host's target id after its Qor UDID), its ".chk"
         // the complement; the key medium is this one's (variable 4 = "corvane.uid", OlderPair)
         const std::string fwrev = o.summary["kept"]["files"]["fwrevcnf.bin"];
         EXPECT_NE(fwrev.find("025c3e102030" "45230100eeffc000"), std::string::npos) << fwrev;
         const std::vector<uint8_t> chk = StoredFile(o, "fwrevcnf.bin.chk");
         const std::vector<uint8_t> target = {0xBA, 0xDC, 0xFE, 0xFF, 0x11, 0x00, 0x3F, 0xFF};
         EXPECT_NE(std::search(chk.begin(), chk.end(), target.begin(), target.end()), chk.end());
       }},
      {"corrupted-frame", Exit::Success,
       [](const Outcome& o) {
         OthersOperational(o.summary, true);
         NeverFailSafe(o.summary);
         EXPECT_EQ(o.summary["network"]["corrupted"], 1);
         // the corrupted answer went to the firmware, and the request it answered was sent again
         const unsigned node = 3;
         std::vector<TraceFields> from;
         for (const TraceFields& l : o.trace) {
           if (l.at("dir") == "node>fw" && l.at("node") == std::to_string(node)) from.push_back(l);
         }
         ASSERT_FALSE(from.empty());
         EXPECT_EQ(from.front().at("fault"), "corrupt");
         const std::vector<TraceFields> to = ToNode(o.trace, node);
         ASSERT_GE(to.size(), 2u);
         EXPECT_EQ(to[0].at("service"), to[1].at("service")) << "the request is repeated";
         // the checker dropped the corrupted answer with its warning, which reached the host's events
         EXPECT_EQ(EventsOfCode(o.summary, kFrameCrcWarning), 1u) << o.summary["events"].dump();
       }},
  };
  return cases;
}

/// Runs a scenario of the file through scmdemo (older: with --legacy) and checks what the host side shows.
void RunScenario(const E2eCase& c, bool older) {
  const SimDomain::ScenarioResult file = SimDomain::LoadScenarioFile(SimDomain::DefaultScenariosPath());
  ASSERT_EQ(file.error, "");
  const auto it = std::find_if(file.scenarios.begin(), file.scenarios.end(),
                               [&c](const SimDomain::Scenario& s) { return s.name == c.name; });
  ASSERT_NE(it, file.scenarios.end()) << c.name << " is not in " << SimDomain::DefaultScenariosPath();
  ASSERT_EQ(it->operational, c.status == Exit::Success) << "the file's outcome and the status disagree";

  DemoProcess demo(SCM_DEMO_PATH, "e2e");
  const std::string trace = demo.Directory() + "/trace.txt";
  std::vector<std::string> args{"--trace", trace, "--keep-storage"};
  if (older) args.push_back("--legacy");
  if (it->operational) {
    args.insert(args.end(), {"--time-limit", it->operatorSteps.empty() ? kReachLimit : kOperatorLimit, "--duration",
                             kGuardSeconds});
  } else {
    args.insert(args.end(), {"--time-limit", it->operatorSteps.empty() ? kStayOutLimit : kStayOutOperatorLimit});
  }
  args.insert(args.end(), c.args.begin(), c.args.end());
  if (!it->domain.empty()) args.insert(args.end(), {"--description", it->domain});
  for (const std::string& f : it->faults) args.insert(args.end(), {"--fault", f});
  for (const std::string& w : it->wireFaults) args.insert(args.end(), {"--wire-fault", w});
  if (!it->operatorSteps.empty()) {
    args.insert(args.end(), {"--operator", OperatorScript(demo, it->operatorSteps)});
  }

  const ScmDemoTest::Ended e = demo.Run(args);
  const json summary = demo.Summary();
  const std::string kept = summary.contains("runDirectory") ? summary["runDirectory"].get<std::string>() : "";
  Outcome o{summary, DemoProcess::ReadTrace(trace), kept + "/storage"};
  EXPECT_EQ(e.status, c.status);
  ASSERT_TRUE(demo.HasSummary());
  EXPECT_EQ(o.summary["exitStatus"], c.status);
  EXPECT_TRUE(o.summary["nodesSimulated"].get<bool>());
  EXPECT_EQ(o.trace.empty(), c.noFrames);
  for (const TraceFields& l : o.trace) {
    ASSERT_TRUE(l.count("dir") && l.count("node") && l.count("service") && l.count("fault")) << "trace line";
  }
  c.check(o);
  if (older) OlderPair(o.summary);
  // The operator side names each application event it received by its own name.
  for (const json& ev : o.summary["events"]["byCode"]) {
    const std::string code = ev["code"].get<std::string>();
    if (code.size() == 10 && code.substr(3, 5) == "200C0") {
      const std::string name = ev["name"].get<std::string>();
      EXPECT_TRUE(name != "" && name != "application information" && name != "application internal error")
          << ev.dump();
    }
  }
  if (!c.fileEvents) {
    EXPECT_EQ(EventsOfCode(o.summary, "0x6200C086"), 0u) << o.summary["events"].dump();
    EXPECT_EQ(EventsOfCode(o.summary, "0x6200C087"), 0u) << o.summary["events"].dump();
  }
  // the checks let every scenario's traffic through: only the corrupted frame's warning is logged
  EXPECT_EQ(CheckerRecords(o.summary), std::string(c.name) == "corrupted-frame" ? 1u : 0u)
      << o.summary["events"].dump();
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
  EXPECT_NE(kept, "") << "the run directory was not kept";
  if (!kept.empty()) std::filesystem::remove_all(kept);
  if (::testing::Test::HasFailure()) {
    std::printf("--- trace tail ---\n%s--- output and summary ---\n%s\n", DemoProcess::Tail(trace, kTraceTail).c_str(),
                e.output.c_str());
  }
}

class EndToEnd : public ::testing::TestWithParam<E2eCase> {};

TEST_P(EndToEnd, HostSideShowsTheDocumentedOutcome) { RunScenario(GetParam(), false); }

/// The test name of a case: its scenario name with '_' for '-'.
std::string CaseName(const ::testing::TestParamInfo<E2eCase>& info) {
  std::string name = info.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(CiScenarios, EndToEnd, ::testing::ValuesIn(Cases()), CaseName);

// The scenarios of the default domain in the older layout, run by the older release's pair
// (--legacy): the same outcomes.
class EndToEndOlder : public ::testing::TestWithParam<E2eCase> {};

TEST_P(EndToEndOlder, TheOlderPairShowsTheDocumentedOutcome) { RunScenario(GetParam(), true); }

std::vector<E2eCase> OlderCases() {
  std::vector<E2eCase> older;
  for (const E2eCase& c : Cases()) {
    const std::string name = c.name;
    if (name == "all-good" || name == "wrong-vendor" || name == "udid-mismatch" || name == "silent" ||
        name == "corrupted-frame" || name == "not-processed") {
      older.push_back(c);
    }
  }
  return older;
}

INSTANTIATE_TEST_SUITE_P(CiScenarios, EndToEndOlder, ::testing::ValuesIn(OlderCases()), CaseName);

/// The download step after the goal: the host's fault on the firmware's first write and the storage behaviour.
struct DownloadCase {
  const char* fault;    ///< --download-fault
  const char* damaged;  ///< --damaged-writes
};
void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.fault << ", " << c.damaged; }

class EndToEndDownload : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(EndToEndDownload, TheUnlockedFileBringsTheDomainUpAgainAfterOneFirmwareReset) {
  const DownloadCase& c = GetParam();
  const bool refused = std::string(c.fault) != "none";
  DemoProcess demo(SCM_DEMO_PATH, "e2e-download");
  // The second configuration beside the default domain gives node 3 a new parameter set.
  const std::string second =
      std::filesystem::path(SimDomain::DefaultDomainPath()).replace_filename("download-domain.toml").string();
  const ScmDemoTest::Ended e = demo.Run({"--time-limit", kReachLimit, "--download", second, "--download-fault", c.fault,
                                         "--damaged-writes", c.damaged});
  EXPECT_EQ(e.status, Exit::Success) << e.output;
  ASSERT_TRUE(demo.HasSummary());
  const json s = demo.Summary();
  const json& d = s["download"];
  ASSERT_TRUE(d.is_object()) << s.dump();
  // Every request echoed; a refused first write answers -1 and a second request before the reset 0.
  ASSERT_EQ(d["requests"].size(), refused ? 2u : 1u) << d.dump();
  for (size_t i = 0; i < d["requests"].size(); ++i) {
    EXPECT_EQ(d["requests"][i]["identifier"], i + 1);
    EXPECT_EQ(d["requests"][i]["result"], refused && i == 0 ? -1 : 0);
  }
  EXPECT_EQ(EventsOfCode(s, "0x6200AF1D"), refused ? 1u : 0u) << s["events"].dump();
  EXPECT_TRUE(d["fileUnlocked"].get<bool>());
  // Exactly one domain reset, by the firmware, 5 s or a little more after the first request; no controller reset.
  EXPECT_EQ(d["resets"]["domain"], 1);
  EXPECT_EQ(d["resets"]["plc"], 0);
  EXPECT_TRUE(d["resets"]["byFirmware"].get<bool>());
  EXPECT_GE(d["resets"]["secondsAfterRequest"].get<double>(), 4.95);
  EXPECT_LE(d["resets"]["secondsAfterRequest"].get<double>(), 8.0);
  EXPECT_TRUE(d["secondGoalSeconds"].is_number());
  // The new configuration at work: node 3 took the new set from the restarted firmware (the first
  // download of the run was the old set, which its start-up checksum asked for).
  EXPECT_EQ(d["changedNodes"], json::array({3})) << d.dump();
  EXPECT_EQ(Node(s, 3)["record"]["downloadsMatching"], 2) << Node(s, 3).dump();
  for (const json& p : s["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
  OthersOperational(s, true);
  NeverFailSafe(s);
  EXPECT_EQ(EventsOfCode(s, "0x0000E20E"), 0u);
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
}

INSTANTIATE_TEST_SUITE_P(Download, EndToEndDownload,
                         ::testing::Values(DownloadCase{"none", "commit"}, DownloadCase{"short", "commit"},
                                           DownloadCase{"refuse", "commit"}, DownloadCase{"short", "discard"},
                                           DownloadCase{"refuse", "discard"}));

// A correct firmware on an imperfect network is never stopped: the twelve-node
// demo domain with seeded drops, duplicates and delays on every node in both
// directions, some delays beyond the SSDO and SNMT time-outs (late answers).
// Nodes the faults take out are brought back by the firmware and let through.
TEST(EndToEndLossyWire, NeitherProgramFailsSafeAndTheCheckerLogsNothing) {
  DemoProcess demo(SCM_DEMO_PATH, "e2e-lossy");
  std::vector<std::string> args{"--description", SCM_DEMO_DOMAIN, "--seed", "5", "--duration", "20",
                                "--count-lost-nodes", "--time-limit", "60"};
  for (unsigned node = 1; node <= 12; ++node) {
    for (const char* direction : {"to", "from"}) {
      const std::string prefix = std::to_string(node) + ":" + direction + ":rate=";
      for (const char* fault : {"0.25:drop", "0.1:duplicate", "0.1:delay=3", "0.05:delay=40"}) {
        args.insert(args.end(), {"--wire-fault", prefix + fault});
      }
    }
  }
  const ScmDemoTest::Ended e = demo.Run(args);
  ASSERT_TRUE(demo.HasSummary());
  const json s = demo.Summary();
  EXPECT_EQ(e.status, Exit::Success) << e.output;
  NeverFailSafe(s);
  EXPECT_EQ(CheckerRecords(s), 0u) << s["events"].dump();
  EXPECT_EQ(s["nodeReturns"], s["nodeLeaves"]) << "every node taken out came back";
  // each drop is named with its cycle and cause, and its return
  const json& drops = s["nodeDrops"];
  EXPECT_EQ(drops.size(), std::min<size_t>(s["nodeLeaves"].get<size_t>(), 1000));
  for (const json& d : drops) {
    ASSERT_FALSE(d["backCycle"].is_null()) << d.dump();
    EXPECT_GT(d["backCycle"].get<uint64_t>(), d["leftCycle"].get<uint64_t>()) << d.dump();
    EXPECT_NE(d["why"], "") << d.dump();
  }
  EXPECT_GT(s["network"]["dropped"].get<unsigned>(), 0u);
  EXPECT_GT(s["network"]["delayed"].get<unsigned>(), 0u);
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
}

// The older release's limit: 101 ideal nodes, every one operational and guarded under the older pair.
TEST(EndToEndOlderDomain, OneHundredAndOneNodesReachOperational) {
  DemoProcess demo(SCM_DEMO_PATH, "e2e-older-101");
  const ScmDemoTest::Ended e = demo.Run({"--legacy", "--nodes", "101", "--time-limit", "60", "--duration", kGuardSeconds});
  EXPECT_EQ(e.status, Exit::Success) << e.output;
  ASSERT_TRUE(demo.HasSummary());
  const json s = demo.Summary();
  ASSERT_EQ(s["nodes"].size(), 101u);
  EXPECT_EQ(s["nodes"][100]["sadr"], 101);
  OthersOperational(s, true);
  NeverFailSafe(s);
  OlderPair(s);
  EXPECT_EQ(CheckerRecords(s), 0u) << s["events"].dump();
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
}

// A Qor controller that fails the firmware's first variable write (a 3-byte
// reply) and then answers the probe: the failure is latched, the background
// task resets the domain once, and the restarted firmware writes every Qor
// variable again, in its start's order.
TEST(EndToEndQorRecovery, AnAnsweredProbeResetsTheDomainOnceAndEveryVariableIsWrittenAgain) {
  DemoProcess demo(SCM_DEMO_PATH, "e2e-qor");
  const std::string script =
      OperatorScript(demo, {"wait restarted within 60", "wait startup-over within 60", "pause 3"});
  const ScmDemoTest::Ended e =
      demo.Run({"--qor-first-write-fails", "--operator", script, "--time-limit", kOperatorLimit, "--duration", kGuardSeconds});
  EXPECT_EQ(e.status, Exit::Success) << e.output;
  ASSERT_TRUE(demo.HasSummary());
  const json s = demo.Summary();
  ScriptRanThrough(s);
  // one domain reset: each program started twice
  for (const json& p : s["programs"]) EXPECT_EQ(p["starts"], 2) << p.dump();
  // Before the reset: the SCM version write (variable 5, 0x0401) answered with the failure, nothing
  // more written, the probe (a read of variable 1) answered. After it: the version, no password
  // (16 zeros), setup mode off and the empty optional-module list with its CRC-32 (0 over zeros).
  const std::string version = "25020401";
  const std::vector<std::string> expected = {version, "01", version, "2110" + std::string(32, '0'), "26020000",
                                             "2318" + std::string(48, '0')};
  EXPECT_EQ(s["kept"]["qorRequests"], expected) << s["kept"].dump();
  EXPECT_EQ(s["kept"]["qorVariables"]["1"], std::string(32, '0'));
  EXPECT_EQ(s["kept"]["qorVariables"]["3"], std::string(48, '0'));
  EXPECT_EQ(s["kept"]["qorVariables"]["5"], "0401");
  EXPECT_EQ(s["kept"]["qorVariables"]["6"], "0000");
  EXPECT_EQ(CheckerRecords(s), 0u) << s["events"].dump();
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
}

TEST(EndToEndScenarios, EveryScenarioOfTheFileIsChecked) {
  const SimDomain::ScenarioResult file = SimDomain::LoadScenarioFile(SimDomain::DefaultScenariosPath());
  ASSERT_EQ(file.error, "");
  std::set<std::string> checked;
  for (const E2eCase& c : Cases()) checked.insert(c.name);
  for (const SimDomain::Scenario& s : file.scenarios) EXPECT_TRUE(checked.count(s.name)) << s.name;
}

}  // namespace

TEST(EndToEndOperator, AFailedStepEndsTheRunWithStatusSeven) {
  DemoProcess demo(SCM_DEMO_PATH, "e2e-operator");
  const std::string script = OperatorScript(demo, {"# no mismatch: accepting one exchanged module is refused with 16",
                                                   "wait startup-over within 60", "send enter 0x0060 expect 0",
                                                   "send status expect 0"});
  const ScmDemoTest::Ended e = demo.Run({"--operator", script, "--time-limit", kOperatorLimit});
  EXPECT_EQ(e.status, Exit::OperatorFailed);
  ASSERT_TRUE(demo.HasSummary());
  const json s = demo.Summary();
  EXPECT_EQ(s["outcome"], "operator-failed");
  const json& op = s["operator"];
  EXPECT_EQ(op["scriptSteps"], 3);
  EXPECT_EQ(op["stepsDone"], 1);
  const std::string failed = op["failedStep"];
  EXPECT_EQ(failed.rfind("step 2 \"send enter 0x0060 expect 0\": expected result 0", 0), 0u) << failed;
  EXPECT_EQ(op["remoteEvents"], json::array({"16,0x0060"}));
  NeverFailSafe(s);
  EXPECT_TRUE(DemoProcess::Leftovers(e.pid).empty());
}
