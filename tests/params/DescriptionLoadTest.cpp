// The shipped demo description, generated and loaded through EPS_Init: no
// event, and every described value readable through the object dictionary.
#include <gtest/gtest.h>

#include "ParamFixture.h"
#include "ScmGenDescription.h"

namespace ParamTest {
namespace {

class DemoDescription : public ParamFixture {
 protected:
  void SetUp() override {
    ParamFixture::SetUp();
    const ScmGen::DescriptionResult r = ScmGen::LoadDescription(SCM_GEN_DEMO_DESCRIPTION);
    ASSERT_EQ(r.error, "");
    described = r.domain;
    files = Files(described);
    ASSERT_TRUE(files.parData1.has_value());
  }
  ScmGen::Domain described;  ///< the demo description as the generator sees it
  ScmGen::FileSet files;     ///< its files
};

TEST_F(DemoDescription, LoadsWithoutEventAndEveryValueIsReadable) {
  Init(files.kelParaSaf, files.corvaneDat, *files.parData1);
  EXPECT_TRUE(TakeEvents().empty());
  ASSERT_EQ(described.nodes.size(), 12u);
  EXPECT_EQ(U32(0x100C, 1), described.scm.guardTime);
  EXPECT_EQ(U32(0x100C, 2), described.scm.lifeTimeFactor);
  EXPECT_EQ(U32(0x1200, 3), static_cast<std::uint32_t>(described.scm.timeBase));
  for (std::size_t i = 0; i < described.nodes.size(); ++i) {
    ExpectNodeAsDescribed(described, i);
  }
  const std::uint8_t* pointed = Address(0xC40A, 11);
  EXPECT_TRUE(pointed >= kel.data() && pointed < kel.data() + kel.size());
  const std::uint8_t* copied = Address(0xC40B, 11);
  EXPECT_FALSE(copied >= kel.data() && copied < kel.data() + kel.size());
  EXPECT_EQ(Read(0xC40B, 11), described.nodes[11].parameterSet);
  std::size_t at = 64;
  for (const auto& s : described.sets) {
    const auto index = static_cast<std::uint16_t>(0xE3FF + s.sadr);
    EXPECT_EQ(Address(index, static_cast<std::uint8_t>(s.number + 1)), parData.data() + at);
    at += 16 + s.payload.size();
  }
}

}  // namespace
}  // namespace ParamTest
