// The frame trace as a classic pcap capture that standard capture tools open:
// each frame is the payload of a UDP datagram from 127.0.0.1 to 127.0.0.1 in
// an Ethernet frame (link type 1), with valid IPv4 header and UDP checksums.
// The direction is in the ports: a frame of the firmware goes from the
// firmware port to the network port, a node's frame back. Timestamps are the
// host's microsecond counter since the run began. The file header and record
// headers are little-endian (magic 0xA1B2C3D4, microsecond resolution); the
// packet headers are in network byte order, as every capture tool expects.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace ScmSim {

/// UDP port of the firmware side unless another is given; the network side is the next port.
inline constexpr uint16_t kDefaultPcapPort = 30500;

/// One frame of a capture.
struct PcapFrame {
  uint64_t timeUs = 0;           ///< host microseconds since the run began
  bool fromFirmware = true;      ///< firmware towards the network (else a node's frame back)
  std::vector<uint8_t> payload;  ///< the frame as it crossed the host-side queue
};

/// The whole capture record of one frame: record header and packet.
std::vector<uint8_t> PcapRecord(const PcapFrame& frame, uint16_t firmwarePort);
/// The capture's file header.
std::vector<uint8_t> PcapFileHeader();

/// Writes a capture as frames come.
class PcapWriter {
 public:
  /// firmwarePort: the firmware side's UDP port (the network side is firmwarePort + 1).
  explicit PcapWriter(uint16_t firmwarePort = kDefaultPcapPort) : port_(firmwarePort) {}
  ~PcapWriter();
  PcapWriter(const PcapWriter&) = delete;
  PcapWriter& operator=(const PcapWriter&) = delete;
  /// Creates the file and writes its header; empty or the failure with the path.
  std::string Open(const std::string& path);
  /// Appends one frame (a failed write is kept for Close to report).
  void Write(const PcapFrame& frame);
  /// Flushes and closes; empty or the failure with the path.
  std::string Close();
  bool IsOpen() const { return file_ != nullptr; }  ///< open and not closed

 private:
  std::FILE* file_ = nullptr;  ///< the capture
  std::string path_;           ///< its path
  uint16_t port_;              ///< the firmware side's UDP port
  int error_ = 0;              ///< errno of the first failed write, 0 while none
};

/// What a capture holds, read back with every header and checksum checked.
struct PcapContents {
  std::vector<PcapFrame> frames;  ///< the frames, in order
  std::string error;              ///< empty when read and sound, else what is wrong and where
};
/// Reads a capture written by PcapWriter (any UDP ports; fromFirmware when the source port is firmwarePort).
PcapContents ReadPcap(const std::string& path, uint16_t firmwarePort = kDefaultPcapPort);

}  // namespace ScmSim
