// The other direction: files the firmware writes, read by the checker. The
// SADR-UDID store writer runs over the demo domain's object dictionary; the
// checker's "corvane.dat" reader yields exactly the non-zero UDIDs in SADR order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "CCorvaneDat.h"
#include "CCorvaneDatUdidReader.h"
#include "EPSod.h"
#include "EPSudid.h"
#include "ParamFixture.h"

namespace {

using ParamTest::Bytes;

using FirmwareWrittenFiles = ParamTest::ParamFixture;

TEST_F(FirmwareWrittenFiles, TheCheckerReadsTheWrittenUdidListInSadrOrder) {
  InitDemo();
  (void)TakeEvents();
  // One more UDID learnt at the top of the range, one forgotten.
  const std::uint8_t learnt[6] = {0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E};
  std::memcpy(EPS_gaucUdid[1022 - 1], learnt, 6);
  std::vector<std::pair<std::uint16_t, Bytes>> expected;
  for (std::uint16_t sadr = 1; sadr <= 1023; ++sadr) {
    const std::uint8_t* u = EPS_gaucUdid[sadr - 1];
    if (std::any_of(u, u + 6, [](std::uint8_t b) { return b != 0; })) {
      expected.emplace_back(sadr, Bytes(u, u + 6));
    }
  }
  ASSERT_GE(expected.size(), 2u);
  EPS_StartStoreSadrUdid();
  while (EPS_UdidStoreInProgress() != 0 && EPS_StoreSadrUdid() != 0) {
  }
  ASSERT_NE(host.Find("corvane.dat"), nullptr);
  Bytes buffer = *host.Find("corvane.dat");
  ASSERT_EQ(buffer.size(), 13367u);

  Param::CCorvaneDat corvane(65536, buffer.data());
  ASSERT_NO_THROW(corvane.ReadContent(static_cast<u32>(buffer.size())));
  Param::CCorvaneDatUdidReader reader(corvane);
  std::vector<std::pair<std::uint16_t, Bytes>> read;
  ASSERT_NO_THROW({
    reader.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (reader.TryReadNext(sadr, udid)) {
      read.emplace_back(sadr, Bytes(udid, udid + 6));
    }
    reader.Close();
  });
  EXPECT_EQ(read, expected);
}

}  // namespace
