// The static UDID operations and the internal-assertion error they raise.
#include <gtest/gtest.h>

#include "CException.h"
#include "CInternalError.h"
#include "CUdid.h"
#include "ErrorCodes.h"
#include "ScmTypes.h"

namespace {

using Util::CException;
using Util::CUdid;

TEST(UdidTest, ValidityAndComparison) {
  const u8 zero[6] = {};
  const u8 last[6] = {0, 0, 0, 0, 0, 1};
  const u8 first[6] = {1, 0, 0, 0, 0, 0};
  EXPECT_TRUE(CUdid::IsValid(last));
  EXPECT_TRUE(CUdid::IsValid(first));
  EXPECT_FALSE(CUdid::IsValid(zero));
  EXPECT_TRUE(CUdid::IsInvalid(zero));
  EXPECT_TRUE(CUdid::IsZero(CUdid::ms_Zero));
  EXPECT_TRUE(CUdid::AreEqual(last, last));
  EXPECT_TRUE(CUdid::AreDifferent(last, first));
  EXPECT_FALSE(CUdid::AreDifferent(zero, CUdid::ms_Zero));
}

TEST(UdidTest, NullPointerNamesTheFileAndLine) {
  const u8 udid[6] = {};
  for (int side = 0; side < 2; ++side) {
    try {
      CUdid::AreEqual(side == 0 ? nullptr : udid, side == 0 ? udid : nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const CException& error) {
      EXPECT_EQ(error.GetCode(), Util::ErrorCodes::ms_InternalError);
      EXPECT_NE(error.GetInformation0(), 0);
      EXPECT_EQ(error.GetInformation1(), Util::CInternalError::Adler32("CUdid.cpp"));
    }
  }
  EXPECT_EQ(Util::CInternalError::Adler32("Wikipedia"), 0x11E60398u);
}

}  // namespace
