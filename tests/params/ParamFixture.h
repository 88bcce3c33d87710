// Fixture of the parameter-loading tests: the in-memory platform of the
// firmware unit tests, a demo domain whose files the generator writes, and the
// stack initialisation run over copies of those files.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "FwUnitSupport.h"
#include "HNFstp.h"
#include "ParamDomain.h"

namespace ParamTest {

/// What EPS_Init raises after a key file that brought no node: the
/// configuration manager refuses to activate (0xF107, fatal), then reason 6.
std::vector<FwTest::Event> WithNoNode(std::vector<FwTest::Event> before);

/// The fixture: runs EPS_Init over copies of the given files.
class ParamFixture : public FwTest::FwFixture {
 public:
  void SetUp() override;
  void TearDown() override;
  /// Runs EPS_Init with the three files (kept alive by the fixture) and the test identity.
  void Init(const Bytes& kel, const Bytes& corvane, const Bytes& parData);
  /// Init with the files of the demo domain.
  void InitDemo();
  /// Init with a key file of one node and nothing else: the stack starts and the SCM activates.
  void InitOneNode();
  /// The value of an object as the object dictionary reads it (actual length); nullopt when it cannot be read.
  std::optional<Bytes> Read(std::uint16_t index, std::uint8_t sub);
  /// Address of an object's value, null when it cannot be read.
  const std::uint8_t* Address(std::uint16_t index, std::uint8_t sub);
  /// A u32 / u16 / u8 object read back.
  std::uint32_t U32(std::uint16_t index, std::uint8_t sub);
  /// Writes an object as the network would (not an application write); false when refused.
  bool WriteNet(std::uint16_t index, std::uint8_t sub, const Bytes& value);
  /// Expects node-list entry 0xC400+i and the node's UDID entry to hold what the domain describes.
  void ExpectNodeAsDescribed(const ScmGen::Domain& domain, std::size_t i);
  /// The demo domain and its files.
  ScmGen::Domain demo;
  ScmGen::FileSet demoFiles;
  /// The loaded copies the object dictionary points into.
  Bytes kel, corvane, parData;
  /// The slots given to EPS_Init.
  HNFstp_File slots[HNFstp_kFileCount] = {};
};

}  // namespace ParamTest
