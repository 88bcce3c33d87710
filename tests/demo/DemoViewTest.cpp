// The live view: one line per change in logs, one screen redrawn in place on
// a terminal, and the summary's JSON form.
#include <gtest/gtest.h>

#include <cstdio>
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
  auto view = ScmDemo::MakeView(out.File(), true);
  Snapshot s = Base();
  view->Show(s);
  s.handshake = "accepted (ident 0x01020001)";
  s.newEvents = {"event one"};
  view->Show(s);
  view->Finish();
  const std::string text = out.Text();
  // the first drawing has 9 lines; the second moves back over them and clears
  EXPECT_EQ(Count(text, "\033[9F\033[J"), 1u) << text;
  EXPECT_EQ(Count(text, "scmdemo: domain 1"), 2u) << text;
  EXPECT_NE(text.rfind("accepted (ident 0x01020001)"), std::string::npos);
  EXPECT_NE(text.rfind("  event one"), std::string::npos);
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

}  // namespace
