#include "NodeTestSupport.h"

#include <gtest/gtest.h>

namespace NodeTest {

SimNodes::NodeConfig DefaultConfig() {
  SimNodes::NodeConfig c;
  c.position = kPosition;
  c.udid = kNodeUdid;
  c.vendorId = 0x0000ABCD;
  c.productCode = 0x00010203;
  c.revision = 0x00040005;
  c.checksum = {0xC1, 0xC2, 0xC3, 0xC4};
  c.timestamp = kTimestamp;
  c.parameterSet = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  return c;
}

namespace {

/// A request from the configuration manager's SADR with these fields.
TestFrames::FrameSpec Request(u8 id, Bytes payload, u16 adr, u16 sdn, u16 ct, u8 tr) {
  TestFrames::FrameSpec fields;
  fields.id = id;
  fields.adr = adr;
  fields.sdn = sdn;
  fields.ct = ct;
  fields.tadr = kScmSadr;
  fields.tr = tr;
  fields.payload = std::move(payload);
  return fields;
}

}  // namespace

Bytes Snmt(u8 id, Bytes payload, u16 adr, u16 sdn, u16 ct, u8 tr) {
  return TestFrames::BuildFrame(Request(id, std::move(payload), adr, sdn, ct, tr));
}

Bytes Service(Bytes payload, u16 adr, u16 sdn) { return Snmt(0x2C, std::move(payload), adr, sdn); }

Bytes Ssdo(Bytes payload, u16 ct, bool slim, const Udid& udid, u16 adr, u8 tr) {
  TestFrames::FrameSpec fields = Request(slim ? 0x3A : 0x38, std::move(payload), adr, kSdn, ct, tr);
  fields.scmUdid = udid;
  return TestFrames::BuildFrame(fields);
}

TestFrames::ParsedFrame Parse(const Bytes& frame, const Udid& udid) {
  TestFrames::ParseOptions options;
  if (frame.size() > 1 && !TestFrames::IsSnmtId(frame[1] >> 2)) {
    options.scmUdid = udid;
  }
  return TestFrames::ParseFrame(frame, options);
}

Bytes SetOp(u32 timestamp) {
  Bytes p{0x02};
  PutU32(p, timestamp);
  return Service(p);
}

void Configure(SimNodes::SimNode& node) {
  const Udid udid = node.Config().udid;
  ASSERT_TRUE(node.Receive(Snmt(0x2A, Bytes(udid.begin(), udid.end())), {}));
  Bytes p{0x0E};
  p.insert(p.end(), kScmUdid.begin(), kScmUdid.end());
  ASSERT_TRUE(node.Receive(Service(p), {}));
  ASSERT_EQ(node.Record().state, SimNodes::NodeState::PreOperational);
}

void MakeOperational(SimNodes::SimNode& node) {
  Configure(node);
  for (int i = 0; i < 100 && node.Record().state != SimNodes::NodeState::Operational; ++i) {
    ASSERT_TRUE(node.Receive(SetOp(), {}));
  }
  ASSERT_EQ(node.Record().state, SimNodes::NodeState::Operational);
}

Bytes SegmentedInitiate(u8 command, u32 total, std::size_t first, u8 fill) {
  Bytes init = WithIndex(command, 0x101A, 0);
  PutU32(init, total);
  init.insert(init.end(), first, fill);
  return init;
}

Bytes WithIndex(u8 command, u16 index, u8 sub) {
  return Bytes{command, static_cast<u8>(index & 0xFF), static_cast<u8>(index >> 8), sub};
}

void PutU32(Bytes& out, u32 v) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<u8>(v >> (8 * i)));
  }
}

u32 GetU32(const Bytes& b, std::size_t at) {
  return static_cast<u32>(b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16)) |
         (static_cast<u32>(b.at(at + 3)) << 24);
}

}  // namespace NodeTest
