// Access structures: real objects through them as through their handles, and
// the lookup that names what is missing (in both releases; the older release's
// table holds the families of objects as real entries).
#include <gtest/gtest.h>

#include "SOD.h"
#include "SodAccessFixture.h"

namespace StackTest {
namespace {

TEST_F(SodVirtTest, RealObjectBehavesAsThroughItsHandle) {
  SOD_Access a = Resolved(0x2000, 2);
  const SOD_Entry* h = Handle(0x2000, 2);
  EXPECT_EQ(a.pHdl, h);
  EXPECT_EQ(a.obj.attr.ulDataType, h->attr.ulDataType);
  SOD_ErrorInfo e1{};
  SOD_ErrorInfo e2{};
  EXPECT_EQ(SOD_ReadVirt(&a, &e1), SOD_Read(h, 0, 0, &e2));
  u32 bad = 1001;
  EXPECT_FALSE(SOD_WriteVirt(&a, &bad, false));
  EXPECT_EQ(LastError(), (ErrorReport{0x270D, 0x06090031}));
  u32 good = 500;
  EXPECT_TRUE(SOD_WriteVirt(&a, &good, false));
  EXPECT_EQ(g_values.u32v, 500U);
  // Segments of a real string go through with the structure's offset and size.
  SOD_Access s = Resolved(0x2000, 7);
  s.ulSegOffset = 6;
  s.ulSegSize = 2;
  const u8 seg[2] = {'x', 'y'};
  EXPECT_TRUE(SOD_WriteVirt(&s, seg, false));
  EXPECT_EQ(g_values.vstring[7], 'y');
  s.ulSegSize = 3;
  EXPECT_FALSE(SOD_WriteVirt(&s, seg, false));
  EXPECT_EQ(LastError(), (ErrorReport{0xF709, 0x06070012}));
  EXPECT_EQ(SOD_ReadVirt(&s, &e1), nullptr);
  EXPECT_EQ(e1.usErrNum, 0xF703);
}

struct ResolveCase {
  u16 index;   ///< resolved index
  u8 sub;      ///< resolved sub-index
  bool found;  ///< resolvable
  u16 errNum;  ///< expected error number
  u32 abort;   ///< expected abort code
};

class SodResolveTest : public SodVirtTest, public ::testing::WithParamInterface<ResolveCase> {};

TEST_P(SodResolveTest, ResolvesOrNamesWhatIsMissing) {
  const ResolveCase& c = GetParam();
  SOD_Access a = Acc(c.index, c.sub);
  SOD_ErrorInfo err{};
  const SOD_AttrPart* attr = SOD_AttrGetVirt(&a, &err);
  EXPECT_EQ(attr != nullptr, c.found);
  EXPECT_EQ(err.usErrNum, c.errNum);
  EXPECT_EQ(err.ulAbortCode, c.abort);
}

INSTANTIATE_TEST_SUITE_P(Cases, SodResolveTest,
                         ::testing::Values(ResolveCase{0x1C00, 1, true, 0xFFFF, 0},
                                           ResolveCase{0x3001, 2, true, 0xFFFF, 0},
                                           ResolveCase{0x1200, 4, true, 0xFFFF, 0},
                                           ResolveCase{0x1C00, 4, false, 0xF745, 0x06090011},
                                           ResolveCase{0x3002, 0, false, 0xF745, 0x06020000},
                                           ResolveCase{0x1C01, 0, false, 0xF745, 0x06020000},
                                           ResolveCase{0x1200, 9, false, 0xF745, 0x06090011},
                                           ResolveCase{0x1300, 0, false, 0xF745, 0x06020000}));

TEST_F(SodVirtTest, MissingStructureOrErrorRecord) {
  SOD_ErrorInfo err{};
  EXPECT_EQ(SOD_AttrGetVirt(nullptr, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF743);
  EXPECT_EQ(SOD_ReadVirt(nullptr, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF749);
  EXPECT_EQ(SOD_AttrGetNextVirt(true, nullptr, &err), nullptr);
  EXPECT_EQ(err.usErrNum, 0xF747);
  SOD_Access a = Acc(0x1C00, 1);
  EXPECT_EQ(SOD_AttrGetVirt(&a, nullptr), nullptr);
  EXPECT_EQ(SOD_ReadVirt(&a, nullptr), nullptr);
  EXPECT_FALSE(SOD_WriteVirt(nullptr, &err, false));
  EXPECT_EQ(LastError(), (ErrorReport{0xF74E, 0x08000000}));
}

}  // namespace
}  // namespace StackTest
