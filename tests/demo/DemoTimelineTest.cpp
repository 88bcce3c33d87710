// The SVG timeline: well-formed XML (every element closed in order, attributes
// quoted, text escaped), one row per node with its states in colour, the frame
// bars, the events' names on hover and the fail-safe line; a run writes it
// beside its summary.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DemoOptions.h"
#include "DemoProcess.h"
#include "DemoTimeline.h"

namespace {

using ScmDemoTest::DemoProcess;

/// Checks that text is one well-formed XML document: empty when it is, else what is wrong.
std::string WellFormed(const std::string& text) {
  std::vector<std::string> open;
  size_t at = 0;
  bool root = false;
  const auto entityOk = [](const std::string& in, size_t amp) {
    for (const char* e : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
      if (in.compare(amp, std::char_traits<char>::length(e), e) == 0) return true;
    }
    return false;
  };
  while (at < text.size()) {
    if (text[at] != '<') {
      if (text[at] == '&' && !entityOk(text, at)) return "bare & at " + std::to_string(at);
      if (open.empty() && text[at] != '\n' && text[at] != ' ') return "text outside the root at " + std::to_string(at);
      ++at;
      continue;
    }
    const size_t end = text.find('>', at);
    if (end == std::string::npos) return "unclosed tag at " + std::to_string(at);
    std::string tag = text.substr(at + 1, end - at - 1);
    at = end + 1;
    if (tag.front() == '?') {
      if (tag.back() != '?') return "bad declaration";
      continue;
    }
    if (tag.front() == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return "</" + tag.substr(1) + "> closes nothing open";
      open.pop_back();
      continue;
    }
    const bool empty = tag.back() == '/';
    if (empty) tag.pop_back();
    const std::string name = tag.substr(0, tag.find(' '));
    // attributes: name="value" pairs, values without '<' or a bare '&'
    size_t quotes = 0;
    for (size_t i = 0; i < tag.size(); ++i) {
      if (tag[i] == '"') ++quotes;
      if (tag[i] == '<') return "< inside <" + name + ">";
      if (tag[i] == '&' && !entityOk(tag, i)) return "bare & inside <" + name + ">";
    }
    if (quotes % 2 != 0) return "unbalanced quotes in <" + name + ">";
    if (open.empty() && root) return "second root element <" + name + ">";
    if (open.empty()) root = true;
    if (!empty) open.push_back(name);
  }
  if (!open.empty()) return "<" + open.back() + "> never closed";
  return root ? "" : "no root element";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(DemoTimeline, CheckerFindsBrokenDocuments) {
  EXPECT_EQ(WellFormed("<a><b/></a>"), "");
  EXPECT_EQ(WellFormed("<a><b></a>"), "</a> closes nothing open");
  EXPECT_EQ(WellFormed("<a>x & y</a>"), "bare & at 5");
  EXPECT_EQ(WellFormed("<a x=\"1></a>"), "unbalanced quotes in <a>");
  EXPECT_EQ(WellFormed("<a>"), "<a> never closed");
}

TEST(DemoTimeline, OneRowPerNodeStatesEventsAndTheFailSafeLine) {
  ScmDemo::Timeline t;
  t.rows = {{"SADR 1", {}}, {"SADR 2", {}}, {"SADR 3", {}}};
  t.State(0, 0, "unassigned");
  t.State(0, 5, "pre-operational");
  t.State(0, 5, "pre-operational");  // no change: no new span
  t.State(0, 9, "operational");
  t.State(1, 0, "wait-scm-udid");
  t.State(2, 3, "lost");
  t.framesPerCycle = {{1, 4}, {2, 8}, {9, 2}};
  t.events = {{7, "level 2 0x6200C08D module invalid: <SADR 2> & more"}};
  t.failSafeCycle = 12;
  t.failSafeText = "fatal event";
  t.lastCycle = 20;
  const std::string svg = ScmDemo::TimelineSvg(t);
  EXPECT_EQ(WellFormed(svg), "") << svg;
  EXPECT_EQ(Count(svg, "<g class=\"node\">"), 3u);
  EXPECT_EQ(t.rows[0].states.size(), 3u);
  EXPECT_EQ(Count(svg, "fill=\"#4caf50\"><title>SADR 1: operational from cycle 9</title>"), 1u) << svg;
  EXPECT_EQ(Count(svg, "fill=\"#e53935\"><title>SADR 3: lost from cycle 3</title>"), 1u) << svg;
  EXPECT_EQ(Count(svg, "<title>8 frame(s) in cycle 2</title>"), 1u) << svg;
  EXPECT_EQ(Count(svg, "<title>cycle 7: level 2 0x6200C08D module invalid: &lt;SADR 2&gt; &amp; more</title>"), 1u)
      << svg;
  EXPECT_EQ(Count(svg, "<line class=\"fail-safe\""), 1u);
  EXPECT_EQ(Count(svg, "<title>fail-safe in cycle 12: fatal event</title>"), 1u);
  EXPECT_EQ(ScmDemo::TimelinePath("out/run.json"), "out/run.svg");
  EXPECT_EQ(ScmDemo::TimelinePath("run"), "run.svg");
}

TEST(DemoTimeline, RunWritesItBesideTheSummary) {
  DemoProcess demo(SCM_DEMO_PATH, "timeline");
  // the limit leaves a slow start on a loaded machine room for the frames drawn below
  const auto e = demo.Run({"--nodes", "4", "--fault", "2:wrong-vendor", "--time-limit", "6"});
  ASSERT_EQ(e.status, ScmDemo::ExitStatus::TimeLimit) << e.output;
  const std::string path = ScmDemo::TimelinePath(demo.SummaryFile());
  EXPECT_EQ(demo.Summary()["timeline"], path);
  std::ifstream in(path);
  const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(WellFormed(svg), "");
  EXPECT_EQ(Count(svg, "<g class=\"node\">"), 4u);
  for (int sadr = 1; sadr <= 4; ++sadr) {
    EXPECT_EQ(Count(svg, ">SADR " + std::to_string(sadr) + "</text>"), 1u) << sadr;
  }
  EXPECT_GT(Count(svg, " frame(s) in cycle"), 0u);
  EXPECT_EQ(Count(svg, "<line class=\"fail-safe\""), 0u);
}

}  // namespace
