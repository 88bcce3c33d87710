// The live view: one line per change in logs, one screen redrawn in place on
// a terminal, and the summary's JSON form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>

#include "DemoSummary.h"
#include "DemoView.h"

namespace {

using ScmDemo::Snapshot;

/// Output written into memory.
class Captured {
 public:
  Captured() : file_(open_memstream(&data_, &size_)) {}
  ~Captured() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* File() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;  ///< the buffer
  size_t size_ = 0;       ///< its length
  std::FILE* file_;       ///< the stream writing it
};

Snapshot Base() {
  Snapshot s;
  s.seconds = 1.5;
  s.sdn = 1;
  s.handshake = "waiting for the checker (condition 1)";
  s.failSafe = "no";
  s.nodesSimulated = true;
  ScmDemo::ProgramSummary checker;
  checker.name = "scmchecker";
  checker.pid = 100;
  checker.starts = 1;
  checker.state = "running";
  s.programs.push_back(checker);
  s.nodes.push_back({1, "02-5C-3E-10-20-30", "pre-operational", "udid", 0, "", ""});
  return s;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(DemoViewTest, LogViewWritesOneLinePerChange) {
  Captured out;
  auto view = ScmDemo::MakeView(out.File(), false);
  Snapshot s = Base();
  view->Show(s);
  view->Show(s);  // nothing changed: nothing written
  s.handshake = "accepted (ident 0x01020001)";
  s.programs[0].cycles = 50;  // cycles alone are no change
  s.newEvents = {"1.000 s level 1 0x6200AF40 SN FAIL: SADR 3 group 4 code 1"};
  view->Show(s);
  view->Finish();
  const std::string text = out.Text();
  EXPECT_EQ(Count(text, "\n"), 6u) << text;
  EXPECT_EQ(Count(text, "handshake: "), 2u) << text;
  EXPECT_EQ(Count(text, "scmchecker: pid 100 running"), 1u) << text;
  EXPECT_EQ(Count(text, "node 1: pre-operational"), 1u) << text;
  EXPECT_NE(text.find("[   1.500 s] event 1.000 s level 1 0x6200AF40 SN FAIL"), std::string::npos) << text;
  EXPECT_EQ(text.find('\033'), std::string::npos);
}

TEST(DemoViewTest, TerminalViewRedrawsInPlace) {
  Captured out;
  auto view = ScmDemo::MakeView(out.File(), true, [] { return ScmDemo::ScreenSize{80, 24}; });
  Snapshot s = Base();
  view->Show(s);
  s.handshake = "accepted (ident 0x01020001)";
  s.newEvents = {"event one"};
  view->Show(s);
  view->Finish();
  const std::string text = out.Text();
  // the first drawing: header, program, table heading, the node, the events' title
  EXPECT_EQ(Count(text, "\033[5F\033[J"), 1u) << text;
  EXPECT_EQ(Count(text, "SDN 1, handshake "), 2u) << text;
  EXPECT_NE(text.rfind("SDN 1, handshake accepted, fail-safe no, 0 of 1 operational, 2 s\n"), std::string::npos)
      << text;
  EXPECT_NE(text.rfind("  event one"), std::string::npos);
}

/// A twelve-node domain with one node refused, a long reason, a status record and many events.
Snapshot TwelveNodes() {
  Snapshot s = Base();
  s.handshake = "accepted (ident 0x01020001)";
  s.programs.push_back(s.programs[0]);
  s.programs[1].name = "scmfirmware";
  s.hostSocket = "/tmp/scmdemo-abc123/host.sock";
  s.simNamespace = "scmdemo4242";
  s.remoteRecord = "remote idle, stored 0x0000, last completed 0x0000, missing 0, mismatches 0, firmware 0";
  s.seconds = 12.25;
  s.secondsLeft = 47.75;
  s.nodes.clear();
  for (unsigned i = 1; i <= 12; ++i) {
    ScmDemo::NodeRow row{i, "02-5C-3E-10-20-30", "operational", "guard", 4000 + i, "", "", true};
    if (i == 2) {
      row.state = "pre-operational";
      row.lastService = "ssdo-upload";
      row.faults = "wrong-vendor";
      row.reason = "vendor id read 0xFFDA3C1F expected 0x0025C3E0; busy answers";
      row.operational = false;
    }
    s.nodes.push_back(row);
  }
  return s;
}

std::deque<std::string> ManyEvents() {
  std::deque<std::string> events;
  for (int i = 0; i < 20; ++i) {
    events.push_back(std::to_string(i) + ".000 s level 2 0x6200AF40 SN FAIL: SADR 2 group 4 code 1, and a tail "
                                         "long enough to reach past any terminal's right edge");
  }
  return events;
}

// An 80x24 terminal shows the header, every node of twelve with its reason cut
// to fit, and events as space allows, with no line wrapped and nothing scrolled.
TEST(DemoViewTest, TwelveNodesFitAnEightyByTwentyFourTerminal) {
  const Snapshot s = TwelveNodes();
  const std::deque<std::string> events = ManyEvents();
  const std::vector<std::string> lines = ScmDemo::ScreenLines(s, events, {"status -> 0"}, {80, 24});
  ASSERT_EQ(lines.size(), 23u);
  for (const std::string& l : lines) EXPECT_LE(l.size(), 80u) << l;
  EXPECT_EQ(lines[0], "SDN 1, handshake accepted, fail-safe no, 11 of 12 operational, 12 s, 48 s left");
  size_t heading = 0;
  while (heading < lines.size() && lines[heading].rfind("SADR UDID", 0) != 0) ++heading;
  ASSERT_LT(heading + 12, lines.size());
  EXPECT_EQ(lines[heading], "SADR UDID              state           last service   cycles reason");
  for (unsigned i = 1; i <= 12; ++i) {
    char sadr[8];
    std::snprintf(sadr, sizeof sadr, "%4u ", i);
    EXPECT_EQ(lines[heading + i].rfind(sadr, 0), 0u) << lines[heading + i];
  }
  EXPECT_EQ(lines[heading + 2], "   2 02-5C-3E-10-20-30 pre-operational ssdo-upload      4002 vendor id read 0xF~");
  EXPECT_EQ(lines[heading + 1], "   1 02-5C-3E-10-20-30 operational     guard            4001 ");
  // the newest event is the last line
  EXPECT_EQ(lines.back(), ScmDemo::ScreenLines(s, events, {}, {80, 24}).back());
  EXPECT_EQ(lines.back().rfind("  19.000 s level 2", 0), 0u) << lines.back();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "latest events (0 in all):"), lines.end());
}

// A wider terminal shows the faults column and more of the reason; a taller one
// more events; a small one what fits, saying how much it leaves out.
TEST(DemoViewTest, WiderShowsMoreColumnsSmallerShowsWhatFits) {
  const Snapshot s = TwelveNodes();
  const std::deque<std::string> events = ManyEvents();
  const std::vector<std::string> wide = ScmDemo::ScreenLines(s, events, {}, {160, 50});
  // header, socket, two programs, the table, the status record, the events' title and all 20 events
  ASSERT_EQ(wide.size(), 39u);
  for (const std::string& l : wide) EXPECT_LE(l.size(), 160u) << l;
  const auto two = std::find_if(wide.begin(), wide.end(), [](const std::string& l) { return l.rfind("   2 ", 0) == 0; });
  ASSERT_NE(two, wide.end());
  EXPECT_EQ(*two, "   2 02-5C-3E-10-20-30 pre-operational ssdo-upload      4002 wrong-vendor           "
                  "vendor id read 0xFFDA3C1F expected 0x0025C3E0; busy answers");
  EXPECT_EQ(wide[0], "SDN 1, handshake accepted (ident 0x01020001), fail-safe no, 11 of 12 operational, 12.2 s, "
                     "47.8 s left");
  EXPECT_NE(std::find(wide.begin(), wide.end(), "host socket /tmp/scmdemo-abc123/host.sock, namespace scmdemo4242"),
            wide.end());

  const std::vector<std::string> small = ScmDemo::ScreenLines(s, events, {}, {40, 8});
  ASSERT_EQ(small.size(), 7u);
  for (const std::string& l : small) EXPECT_LE(l.size(), 40u) << l;
  EXPECT_EQ(small[1].rfind("SADR UDID", 0), 0u);
  EXPECT_EQ(small[6], "... 8 more line(s)");
}

TEST(DemoViewTest, SummaryJsonHoldsEveryPart) {
  ScmDemo::Summary s;
  s.outcome = "fail-safe";
  s.exitStatus = 3;
  s.sdn = 7;
  s.identWord = 0x01020001;
  s.events.push_back({0x6200AF40u, "SN FAIL", 2});
  s.failSafe.push_back({"fatal event", "level 3 0x9200AF18", 0.5});
  ScmDemo::NodeSummary node;
  node.position = 3;
  node.sadr = 3;
  node.cyclesToOperational = 42;
  s.nodes.push_back(node);
  s.nodes.push_back(ScmDemo::NodeSummary{});
  const nlohmann::json j = nlohmann::json::parse(ScmDemo::SummaryJson(s));
  EXPECT_EQ(j["outcome"], "fail-safe");
  EXPECT_EQ(j["exitStatus"], 3);
  EXPECT_EQ(j["sdn"], 7);
  EXPECT_EQ(j["handshake"]["identWord"], 0x01020001);
  EXPECT_TRUE(j["handshake"]["seconds"].is_null());
  EXPECT_EQ(j["events"]["byCode"][0]["code"], "0x6200AF40");
  EXPECT_EQ(j["events"]["byCode"][0]["count"], 2);
  EXPECT_EQ(j["failSafe"][0]["cause"], "fatal event");
  EXPECT_EQ(j["nodes"][0]["cyclesToOperational"], 42);
  EXPECT_TRUE(j["nodes"][1]["cyclesToOperational"].is_null());
}

TEST(DemoViewTest, SummaryTextKeepsALongReasonWholeOnItsLine) {
  // a reason naming every node of a domain runs far past any fixed line buffer
  ScmDemo::Summary s;
  s.outcome = "node-lost";
  s.exitStatus = 6;
  s.sdn = 1;
  std::string reason = "an operational node left operational: ";
  for (int node = 1; node <= 12; ++node) {
    reason += (node > 1 ? ", node " : "node ") + std::to_string(node) +
              " (operational time ended in cycle 703 at frame 19 to the node: assign-sadr request)";
  }
  s.reason = reason;
  const std::string text = ScmDemo::SummaryText(s);
  const std::string first = "summary: node-lost (exit status 6): " + reason + "\n";
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(text.substr(first.size(), 10), "  domain 1");
}

}  // namespace
