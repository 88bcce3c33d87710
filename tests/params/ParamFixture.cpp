#include "ParamFixture.h"

#include <cstring>

#include "EPSglobal.h"
#include "EPSinit.h"
#include "FwKeyFile.h"
#include "SOD.h"
#include "ScmFirmwareIdent.h"

namespace ParamTest {

void ParamFixture::SetUp() {
  FwFixture::SetUp();
  host.Install();
  host.files["PARDATA1.BIN"] = {};
  HNFstp_usSdn = FwTest::kSdn;
  demo = DemoDomain();
  demoFiles = Files(demo);
}

void ParamFixture::TearDown() {
  // Nothing may keep pointing into this test's buffers.
  Init({}, {}, {});
  (void)TakeEvents();
  FwFixture::TearDown();
}

void ParamFixture::Init(const Bytes& k, const Bytes& c, const Bytes& p) {
  kel = k;
  corvane = c;
  parData = p;
  const Bytes* files[HNFstp_kFileCount] = {&kel, &corvane, &parData};
  for (std::uint32_t j = 0; j < HNFstp_kFileCount; ++j) {
    slots[j] = HNFstp_File{};
    slots[j].pucData = files[j]->empty() ? nullptr : files[j]->data();
    slots[j].ulSize = static_cast<std::uint32_t>(files[j]->size());
  }
  const HNFstp_Identity identity = {LdFwIdentStart, kScmUdid.data()};
  EPS_Init(slots, &identity);
}

void ParamFixture::InitDemo() { Init(demoFiles.kelParaSaf, demoFiles.corvaneDat, *demoFiles.parData1); }

void ParamFixture::InitOneNode() { Init(FwTest::OneNodeKeyFile(), {}, {}); }

std::vector<FwTest::Event> WithNoNode(std::vector<FwTest::Event> before) {
  before.push_back({3, 0x9200A107, 0, 0});
  before.push_back({3, 0x9200AF0C, 0, 6});
  return before;
}

namespace {
/// Resolves an object; false when it does not exist.
bool ResolveAcc(SOD_Access& acc, std::uint16_t index, std::uint8_t sub) {
  acc = SOD_Access{};
  acc.obj.usIndex = index;
  acc.obj.ucSubIndex = sub;
  SOD_ErrorInfo err{};
  return SOD_AttrGetVirt(&acc, &err) != nullptr;
}
}  // namespace

const std::uint8_t* ParamFixture::Address(std::uint16_t index, std::uint8_t sub) {
  SOD_Access acc;
  if (!ResolveAcc(acc, index, sub)) {
    return nullptr;
  }
  SOD_ErrorInfo err{};
  return static_cast<const std::uint8_t*>(SOD_ReadVirt(&acc, &err));
}

std::optional<Bytes> ParamFixture::Read(std::uint16_t index, std::uint8_t sub) {
  SOD_Access acc;
  if (!ResolveAcc(acc, index, sub)) {
    return std::nullopt;
  }
  std::uint32_t len = 0;
  SOD_ErrorInfo err{};
  const auto* p = static_cast<const std::uint8_t*>(SOD_ReadVirt(&acc, &err));
  if (p == nullptr || !SOD_ActualLenGetVirt(&acc, &len)) {
    return std::nullopt;
  }
  return Bytes(p, p + len);
}

std::uint32_t ParamFixture::U32(std::uint16_t index, std::uint8_t sub) {
  const auto v = Read(index, sub);
  EXPECT_TRUE(v.has_value()) << std::hex << index << "/" << unsigned{sub};
  if (!v) {
    return 0xDEADBEEF;
  }
  std::uint32_t out = 0;
  for (std::size_t i = 0; i < v->size() && i < 4; ++i) {
    out |= static_cast<std::uint32_t>((*v)[i]) << (8 * i);
  }
  return out;
}

bool ParamFixture::WriteNet(std::uint16_t index, std::uint8_t sub, const Bytes& value) {
  SOD_Access acc;
  if (!ResolveAcc(acc, index, sub)) {
    return false;
  }
  return SOD_WriteVirt(&acc, value.data(), false);
}

void ParamFixture::ExpectNodeAsDescribed(const ScmGen::Domain& domain, std::size_t i) {
  SCOPED_TRACE(i);
  const auto& n = domain.nodes[i];
  const auto index = static_cast<std::uint16_t>(0xC400 + i);
  EXPECT_EQ(U32(index, 1), n.sadr);
  EXPECT_EQ(U32(index, 2), n.vendorId);
  EXPECT_EQ(U32(index, 3), n.productCode);
  EXPECT_EQ(U32(index, 4), n.revision);
  EXPECT_EQ(U32(index, 7), n.timestamp);
  EXPECT_EQ(U32(index, 8), n.ssdoPayloadLength);
  EXPECT_EQ(U32(index, 12), n.flags);
  EXPECT_EQ(Read(index, 11), n.parameterSet);
  EXPECT_EQ(Read(index, 14), n.checksum);
  EXPECT_EQ(Read(static_cast<std::uint16_t>(0xCC00 + n.sadr), 1), Bytes(n.udid.begin(), n.udid.end()));
}

}  // namespace ParamTest
