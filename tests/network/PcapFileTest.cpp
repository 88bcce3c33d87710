// The capture file: the exact bytes of a record (Ethernet, IPv4 and UDP headers
// with their checksums), frames written and read back in both directions, and
// the reader's refusal of a damaged checksum or a cut record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "FrameNetwork.h"
#include "PcapFile.h"

namespace {

using ScmSim::PcapFrame;

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    text += two;
  }
  return text;
}

TEST(PcapFile, RecordCarriesTheFrameInAUdpDatagramWithValidChecksums) {
  const PcapFrame f{1234567, true, {0x01, 0x02, 0x03}};
  // seconds 1, microseconds 234567, 45 bytes; no MACs, IPv4 0x0800; 127.0.0.1 both ends, DF,
  // TTL 64, header checksum 0x3CCC; ports 30500 -> 30501, UDP length 11, checksum 0x0F8A
  EXPECT_EQ(Hex(ScmSim::PcapRecord(f, 30500)),
            "01000000479403002D0000002D00000000000000000000000000000008004500001F0000400040113CCC7F0000017F000001"
            "77247725000B0F8A010203");
  // a node's frame goes the other way
  const std::vector<uint8_t> back = ScmSim::PcapRecord(PcapFrame{0, false, {0x01, 0x02, 0x03}}, 30500);
  EXPECT_EQ(Hex(std::vector<uint8_t>(back.begin() + 16 + 34, back.begin() + 16 + 38)), "77257724");
  EXPECT_EQ(Hex(ScmSim::PcapFileHeader()), "D4C3B2A1020004000000000000000000FFFF000001000000");
}

TEST(PcapFile, FramesReadBackAsWrittenAndDamageIsNamed) {
  const std::string path = "/tmp/scm-pcap-test-" + std::to_string(::getpid()) + ".pcap";
  const std::vector<PcapFrame> frames{
      {5, true, {0xFF, 0xAF, 0x06, 0x00}}, {1000001, false, std::vector<uint8_t>(255, 0x5A)}, {2000000, true, {}}};
  {
    ScmSim::PcapWriter writer(4000);
    ASSERT_EQ(writer.Open(path), "");
    for (const PcapFrame& f : frames) writer.Write(f);
    ASSERT_EQ(writer.Close(), "");
  }
  const ScmSim::PcapContents read = ScmSim::ReadPcap(path, 4000);
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(read.frames[i].timeUs, frames[i].timeUs);
    EXPECT_EQ(read.frames[i].fromFirmware, frames[i].fromFirmware);
    EXPECT_EQ(read.frames[i].payload, frames[i].payload);
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto rewrite = [&path](const std::vector<char>& b) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
  };
  std::vector<char> flipped = bytes;
  flipped[24 + 16 + 42] ^= 0x01;  // the first frame's first payload byte
  rewrite(flipped);
  EXPECT_EQ(ScmSim::ReadPcap(path, 4000).error, "record 1: UDP checksum wrong");
  flipped = bytes;
  flipped[24 + 16 + 14 + 8] ^= 0x01;  // the first frame's TTL
  rewrite(flipped);
  EXPECT_EQ(ScmSim::ReadPcap(path, 4000).error, "record 1: IPv4 header checksum wrong");
  rewrite(std::vector<char>(bytes.begin(), bytes.end() - 1));
  EXPECT_EQ(ScmSim::ReadPcap(path, 4000).error, "record 3: length wrong");
  std::remove(path.c_str());
  ScmSim::PcapWriter unwritable;
  EXPECT_EQ(unwritable.Open("/nonexistent/x.pcap"), "cannot write the pcap /nonexistent/x.pcap: No such file or directory");
}

struct ValueCase {
  std::string frameHex;  ///< a frame in queue form, as the trace shows it
  std::string value;     ///< its decoded value
};

TEST(PcapFile, TraceDecodesTheValuesOfUploadsAndSnmtAnswers) {
  const ValueCase cases[] = {
      // a UDID response and an assignment answer: the node's UDID
      {"FFAF0600025C3E10203099FEAF000100025C3E10203093", "02-5C-3E-10-20-30"},
      // an SNMT service response: the bytes after its command byte
      {"FFB707000F025C3E10203136FEB70002000F025C3E102031A4", "025C3E102031"},
      // an expedited upload of 0x1018/1: the vendor id, least significant byte first on the wire
      {"FFE7080120181001E0C325004CFCBB3E112011181001E0C3250023", "0x0025C3E0"},
      // a request carries no value
      {"03B0000000", ""},
  };
  for (const ValueCase& c : cases) {
    std::vector<uint8_t> frame;
    for (size_t i = 0; i + 1 < c.frameHex.size(); i += 2) {
      frame.push_back(static_cast<uint8_t>(std::stoul(c.frameHex.substr(i, 2), nullptr, 16)));
    }
    EXPECT_EQ(ScmSim::DecodedValue(frame), c.value) << c.frameHex;
  }
}

}  // namespace
