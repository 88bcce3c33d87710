#include "PcapFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace ScmSim {

namespace {

/// Classic pcap magic for microsecond timestamps.
constexpr uint32_t kMagic = 0xA1B2C3D4u;
/// Link type of Ethernet frames.
constexpr uint32_t kLinkEthernet = 1;
/// Longest packet a record holds.
constexpr uint32_t kSnapLength = 65535;
/// Bytes of the file header, a record header, and the packet headers.
constexpr size_t kFileHeader = 24, kRecordHeader = 16, kEthernet = 14, kIpv4 = 20, kUdp = 8;
/// Ethernet type of IPv4, IP protocol of UDP, time to live of the datagrams.
constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint8_t kProtocolUdp = 17, kTtl = 64;
/// 127.0.0.1, both ends.
constexpr uint32_t kLoopback = 0x7F000001u;

void Le(std::vector<uint8_t>& b, uint32_t v, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Be(std::vector<uint8_t>& b, uint32_t v, size_t bytes) {
  for (size_t i = bytes; i-- > 0;) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t GetLe(const std::vector<uint8_t>& b, size_t at, size_t bytes) {
  uint32_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return v;
}
uint32_t GetBe(const std::vector<uint8_t>& b, size_t at, size_t bytes) {
  uint32_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v = (v << 8) | b[at + i];
  return v;
}

/// The ones'-complement sum of 16-bit big-endian words, folded (an odd last byte padded with zero).
uint32_t Sum16(const uint8_t* data, size_t length, uint32_t sum) {
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length % 2 != 0) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum > 0xFFFFu) sum = (sum & 0xFFFFu) + (sum >> 16);
  return sum;
}

/// The UDP checksum over the pseudo-header, the UDP header (checksum 0) and the payload; 0 is sent as 0xFFFF.
uint16_t UdpChecksum(const uint8_t* udp, size_t udpLength) {
  uint32_t sum = 0;
  sum += (kLoopback >> 16) + (kLoopback & 0xFFFFu);
  sum += (kLoopback >> 16) + (kLoopback & 0xFFFFu);
  sum += kProtocolUdp;
  sum += static_cast<uint32_t>(udpLength);
  sum = Sum16(udp, udpLength, sum);
  const uint16_t c = static_cast<uint16_t>(~sum & 0xFFFFu);
  return c == 0 ? 0xFFFF : c;
}

}  // namespace

std::vector<uint8_t> PcapFileHeader() {
  std::vector<uint8_t> b;
  Le(b, kMagic, 4);
  Le(b, 2, 2);  // version 2.4
  Le(b, 4, 2);
  Le(b, 0, 4);  // time zone: UTC
  Le(b, 0, 4);  // accuracy
  Le(b, kSnapLength, 4);
  Le(b, kLinkEthernet, 4);
  return b;
}

std::vector<uint8_t> PcapRecord(const PcapFrame& f, uint16_t firmwarePort) {
  const uint16_t networkPort = static_cast<uint16_t>(firmwarePort + 1);
  const size_t udpLength = kUdp + f.payload.size();
  const size_t ipLength = kIpv4 + udpLength;
  std::vector<uint8_t> packet;
  packet.insert(packet.end(), 12, 0);  // destination and source MAC: none on the loopback
  Be(packet, kEtherIpv4, 2);
  const size_t ip = packet.size();
  Be(packet, 0x4500, 2);  // version 4, 20-byte header, no service type
  Be(packet, static_cast<uint32_t>(ipLength), 2);
  Be(packet, 0, 2);       // identification
  Be(packet, 0x4000, 2);  // don't fragment
  packet.push_back(kTtl);
  packet.push_back(kProtocolUdp);
  Be(packet, 0, 2);  // header checksum, below
  Be(packet, kLoopback, 4);
  Be(packet, kLoopback, 4);
  const uint16_t ipSum = static_cast<uint16_t>(~Sum16(packet.data() + ip, kIpv4, 0) & 0xFFFFu);
  packet[ip + 10] = static_cast<uint8_t>(ipSum >> 8);
  packet[ip + 11] = static_cast<uint8_t>(ipSum);
  const size_t udp = packet.size();
  Be(packet, f.fromFirmware ? firmwarePort : networkPort, 2);
  Be(packet, f.fromFirmware ? networkPort : firmwarePort, 2);
  Be(packet, static_cast<uint32_t>(udpLength), 2);
  Be(packet, 0, 2);  // checksum, below
  packet.insert(packet.end(), f.payload.begin(), f.payload.end());
  const uint16_t udpSum = UdpChecksum(packet.data() + udp, udpLength);
  packet[udp + 6] = static_cast<uint8_t>(udpSum >> 8);
  packet[udp + 7] = static_cast<uint8_t>(udpSum);

  std::vector<uint8_t> record;
  Le(record, static_cast<uint32_t>(f.timeUs / 1000000u), 4);
  Le(record, static_cast<uint32_t>(f.timeUs % 1000000u), 4);
  Le(record, static_cast<uint32_t>(packet.size()), 4);
  Le(record, static_cast<uint32_t>(packet.size()), 4);
  record.insert(record.end(), packet.begin(), packet.end());
  return record;
}

PcapWriter::~PcapWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string PcapWriter::Open(const std::string& path) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return "cannot write the pcap " + path + ": " + std::strerror(errno);
  const std::vector<uint8_t> header = PcapFileHeader();
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) error_ = errno;
  return "";
}

void PcapWriter::Write(const PcapFrame& frame) {
  if (file_ == nullptr) return;
  const std::vector<uint8_t> record = PcapRecord(frame, port_);
  if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() && error_ == 0) error_ = errno;
}

std::string PcapWriter::Close() {
  if (file_ == nullptr) return "";
  if (std::fflush(file_) != 0 && error_ == 0) error_ = errno;
  if (std::fclose(file_) != 0 && error_ == 0) error_ = errno;
  file_ = nullptr;
  if (error_ != 0) return "cannot write the pcap " + path_ + ": " + std::strerror(error_);
  return "";
}

PcapContents ReadPcap(const std::string& path, uint16_t firmwarePort) {
  PcapContents out;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    out.error = "cannot read " + path;
    return out;
  }
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < kFileHeader || GetLe(b, 0, 4) != kMagic || GetLe(b, 4, 2) != 2 || GetLe(b, 6, 2) != 4 ||
      GetLe(b, 20, 4) != kLinkEthernet) {
    out.error = "not a classic little-endian Ethernet pcap";
    return out;
  }
  size_t at = kFileHeader;
  while (at < b.size()) {
    const std::string where = "record " + std::to_string(out.frames.size() + 1) + ": ";
    if (b.size() - at < kRecordHeader) {
      out.error = where + "header cut short";
      return out;
    }
    PcapFrame f;
    f.timeUs = static_cast<uint64_t>(GetLe(b, at, 4)) * 1000000u + GetLe(b, at + 4, 4);
    const size_t included = GetLe(b, at + 8, 4);
    const size_t original = GetLe(b, at + 12, 4);
    at += kRecordHeader;
    if (included != original || b.size() - at < included || included < kEthernet + kIpv4 + kUdp) {
      out.error = where + "length wrong";
      return out;
    }
    const std::vector<uint8_t> packet(b.begin() + static_cast<std::ptrdiff_t>(at),
                                      b.begin() + static_cast<std::ptrdiff_t>(at + included));
    at += included;
    const size_t ip = kEthernet;
    const size_t udp = ip + kIpv4;
    if (GetBe(packet, 12, 2) != kEtherIpv4 || packet[ip] != 0x45 || packet[ip + 9] != kProtocolUdp ||
        GetBe(packet, ip + 2, 2) != included - kEthernet || GetBe(packet, udp + 4, 2) != included - udp) {
      out.error = where + "not one IPv4 UDP datagram";
      return out;
    }
    if (Sum16(packet.data() + ip, kIpv4, 0) != 0xFFFFu) {
      out.error = where + "IPv4 header checksum wrong";
      return out;
    }
    std::vector<uint8_t> udpPart(packet.begin() + static_cast<std::ptrdiff_t>(udp), packet.end());
    const uint16_t sent = static_cast<uint16_t>(GetBe(udpPart, 6, 2));
    udpPart[6] = udpPart[7] = 0;
    if (UdpChecksum(udpPart.data(), udpPart.size()) != sent) {
      out.error = where + "UDP checksum wrong";
      return out;
    }
    const uint16_t source = static_cast<uint16_t>(GetBe(packet, udp, 2));
    f.fromFirmware = source == firmwarePort;
    f.payload.assign(packet.begin() + static_cast<std::ptrdiff_t>(udp + kUdp), packet.end());
    out.frames.push_back(std::move(f));
  }
  return out;
}

}  // namespace ScmSim
