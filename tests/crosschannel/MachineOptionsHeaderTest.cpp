// The SCM's own machine-option set: the 16 header bytes the firmware puts
// behind 0xE400/2 equal the header the checker computes (complemented back)
// from the same generated "autocnf.bin".
#include <gtest/gtest.h>

#include <cstring>

#include "CAutoCnfBin.h"
#include "CComputedInvertedAdditionalParameterHeaderReader.h"
#include "HNFhwt.h"
#include "MFWQZ_AppFiles.h"
#include "MFWQZ.h"
#include "MFWQZ_Placeholder.h"
#include "ParamFixture.h"
#include "ScmGenBuild.h"

namespace {

using ParamTest::Bytes;

using MachineOptionsHeader = ParamTest::ParamFixture;

TEST_F(MachineOptionsHeader, TheFirmwaresHeaderEqualsTheCheckersComputedHeader) {
  ScmGen::AutoCnf content;
  content.timestamp = 0x61A2B3C4u;
  Bytes options(64);
  for (size_t i = 0; i < options.size(); ++i) {
    options[i] = static_cast<std::uint8_t>(3 * i + 1);
  }
  content.machineOptions = options;
  const Bytes autoCnf = ScmGen::AutoCnfBin(content);

  // The checker's side.
  Param::CAutoCnfBin file(static_cast<u32>(autoCnf.size()), autoCnf.data());
  ASSERT_NO_THROW(file.ReadContent(static_cast<u32>(autoCnf.size())));
  u16 length = 0;
  const u8* section = nullptr;
  file.GetRawMachineOptionSection(length, section);
  ASSERT_EQ(length, 76u);
  Param::CComputedInvertedAdditionalParameterHeaderReader reader;
  Bytes checkerHeader;
  ASSERT_NO_THROW({
    reader.SetAdditionalParameter(1, EPS_kMachineOptionsNumber, file.GetTimestamp(), length, section);
    reader.Open();
    u16 sadr = 0;
    u8 number = 0;
    const u8* header = nullptr;
    ASSERT_TRUE(reader.TryReadNext(sadr, number, header));
    EXPECT_EQ(sadr, 1u);
    EXPECT_EQ(number, EPS_kMachineOptionsNumber);
    for (int i = 0; i < 16; ++i) {
      checkerHeader.push_back(static_cast<std::uint8_t>(~header[i]));
    }
    reader.Close();
  });

  // The firmware's side, from the same file and the same 76 option bytes.
  InitDemo();
  (void)TakeEvents();
  host.files["AUTOCNF.BIN"] = autoCnf;
  std::memcpy(MFWQZ_aucMachineOptions, section, 76);
  MFWQZ_geMachineOptionsStatus = 1;
  MFWQZ_gbMachineOptionsActive = 1;
  EPS_WriteExternalMachineOptionsToSod();
  MFWQZ_gbMachineOptionsActive = 0;
  MFWQZ_geMachineOptionsStatus = 2;
  const auto set = Read(0xE400, 2);
  ASSERT_TRUE(set.has_value());
  ASSERT_EQ(set->size(), 92u);
  EXPECT_EQ(Bytes(set->begin(), set->begin() + 16), checkerHeader);
  EXPECT_EQ(TakeEvents(), std::vector<FwTest::Event>{});
}

}  // namespace
