// The run's frames as a pcap capture: read back by the project's own reader and
// by tcpdump, the capture holds every frame of the text trace, in order, with
// the same bytes, direction and time, and every checksum the tool checks holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DemoOptions.h"
#include "DemoProcess.h"
#include "FrameNetwork.h"
#include "PcapFile.h"

namespace {

using ScmDemoTest::DemoProcess;

/// tcpdump, which the build installs (scripts/deps.txt); empty when it is not there.
std::string Tcpdump() {
  for (const char* dir : {"/usr/bin", "/usr/sbin", "/bin", "/sbin"}) {
    const std::string path = std::string(dir) + "/tcpdump";
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return "";
}

std::vector<std::string> CommandLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return lines;
  char buffer[512];
  std::string line;
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      lines.push_back(line);
      line.clear();
    }
  }
  ::pclose(pipe);
  return lines;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  if (hex == "-") return bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

TEST(DemoCapture, PcapHoldsEveryFrameOfTheTraceAndTcpdumpReadsIt) {
  DemoProcess demo(SCM_DEMO_PATH, "capture");
  const std::string trace = demo.Directory() + "/trace.txt";
  const std::string pcap = demo.Directory() + "/frames.pcap";
  // the limit leaves a slow start on a loaded machine room for the frames looked at below
  const auto e = demo.Run({"--nodes", "3", "--fault", "2:wrong-vendor", "--wire-fault", "3:from:2:corrupt",
                           "--trace", trace, "--pcap", pcap, "--pcap-port", "40000", "--time-limit", "6"});
  ASSERT_EQ(e.status, ScmDemo::ExitStatus::TimeLimit) << e.output;
  const std::vector<ScmDemoTest::TraceFields> lines = DemoProcess::ReadTrace(trace);
  ASSERT_GT(lines.size(), 20u);
  const ScmSim::PcapContents read = ScmSim::ReadPcap(pcap, 40000);
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.frames.size(), lines.size());
  size_t vendorReads = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(read.frames[i].payload, FromHex(lines[i].at("bytes"))) << "line " << i + 1;
    EXPECT_EQ(read.frames[i].fromFirmware, lines[i].at("dir") != "node>fw") << "line " << i + 1;
    EXPECT_EQ(std::to_string(read.frames[i].timeUs), lines[i].at("time_us")) << "line " << i + 1;
    // the trace decodes the value an upload answer carries: node 2's device has another vendor id
    if (lines[i].at("service") == "ssdo-upload-expedited@1018/01") {
      ++vendorReads;
      EXPECT_EQ(lines[i].at("value"), lines[i].at("node") == "2" ? "0xFFDA3C1F" : "0x0025C3E0") << "line " << i + 1;
    }
  }
  EXPECT_GE(vendorReads, 3u) << "every node's vendor id was read";

  const std::string tool = Tcpdump();
  ASSERT_NE(tool, "") << "tcpdump is not installed (scripts/install-deps.sh)";
  const std::vector<std::string> dumped = CommandLines(tool + " -r '" + pcap + "' -nn -vv 2>/dev/null");
  // two lines per packet at -vv: the IP header, then the UDP ports and checksum
  ASSERT_EQ(dumped.size(), 2 * lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& udp = dumped[2 * i + 1];
    EXPECT_NE(udp.find("[udp sum ok]"), std::string::npos) << udp;
    const bool fromFirmware = lines[i].at("dir") != "node>fw";
    EXPECT_NE(udp.find(fromFirmware ? "127.0.0.1.40000 > 127.0.0.1.40001" : "127.0.0.1.40001 > 127.0.0.1.40000"),
              std::string::npos)
        << udp;
    EXPECT_NE(udp.find("length " + std::to_string(FromHex(lines[i].at("bytes")).size())), std::string::npos) << udp;
  }
}

// The same seed gives the same wire faults on the same frames: the k-th frame
// to a node meets the same fault in both runs, whatever the timing of each.
TEST(DemoCapture, SameSeedRepeatsTheWireFaultsFrameByFrame) {
  const auto faultsToNode2 = [](const std::string& seed) {
    DemoProcess demo(SCM_DEMO_PATH, "seed");
    const std::string trace = demo.Directory() + "/trace.txt";
    // the limit leaves a slow start on a loaded machine room for the frames looked at below
  const auto e = demo.Run({"--nodes", "3", "--wire-fault", "2:to:rate=0.3:drop", "--wire-fault",
                             "3:from:rate=0.2:duplicate", "--seed", seed, "--count-lost-nodes", "--duration", "3",
                             "--trace", trace});
    EXPECT_EQ(e.status, ScmDemo::ExitStatus::Success) << e.output;
    EXPECT_EQ(demo.Summary()["requested"]["seed"], std::stoull(seed));
    std::vector<std::string> faults;
    for (const ScmDemoTest::TraceFields& l : DemoProcess::ReadTrace(trace)) {
      if (l.at("dir") == "fw>node" && l.at("node") == "2") faults.push_back(l.at("fault"));
    }
    return faults;
  };
  const std::vector<std::string> first = faultsToNode2("9");
  const std::vector<std::string> second = faultsToNode2("9");
  const size_t common = std::min(first.size(), second.size());
  ASSERT_GT(common, 10u);
  EXPECT_TRUE(std::equal(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(common), second.begin()));
  EXPECT_NE(std::find(first.begin(), first.end(), "drop"), first.end());
  // and each fate is the one the seed draws for that frame number
  for (size_t k = 0; k < common; ++k) {
    const bool drop = ScmSim::RatedDraw(9, 0, 2, ScmSim::WireDirection::ToNode, static_cast<u32>(k + 1)) < 0.3;
    EXPECT_EQ(first[k], drop ? "drop" : "-") << "frame " << k + 1;
  }
}

TEST(DemoCapture, UnwritablePcapStopsTheRunBeforeItStarts) {
  DemoProcess demo(SCM_DEMO_PATH, "capture-bad");
  const auto e = demo.Run({"--nodes", "1", "--pcap", "/nonexistent/frames.pcap"});
  EXPECT_EQ(e.status, ScmDemo::ExitStatus::SetupFailed);
  EXPECT_NE(e.output.find("/nonexistent/frames.pcap"), std::string::npos) << e.output;
  EXPECT_EQ(e.output.find("domain "), std::string::npos) << e.output;
}

}  // namespace
