// The host-call seam allocates nothing: every kind of call, its failures and
// the counter (from the host's page and, with a fault armed, over the socket)
// made many times by one thread, counted in that thread only (the in-process
// host's own threads allocate as they like).
#include <gtest/gtest.h>

#include "CountingAllocator.h"
#include "HostTestSupport.h"
#include "ScmSystemCalls.h"

namespace hosttest {
namespace {

constexpr uint16_t kSdn = 5;

class HostSeamAllocationTest : public HostTest {
 protected:
  void Configure(ScmSim::HostConfig& config) override { config.counterStart = 0xFFFFFF00ull; }
};

TEST_F(HostSeamAllocationTest, NoCallAllocatesInTheCallingThread) {
  static u8 data[4096];
  static u8 back[4096];
  for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<u8>(i * 13);
  // The first call connects; the connection is the thread's for good.
  ASSERT_NE(ScmGetUSecCounter(), 0u);
  long seam = 0;  // allocations of the seam's calls (the host's own fault injection allocates)
  for (int round = 0; round < 50; ++round) {
    long before = TestAlloc::ThreadAllocationCount();
    EXPECT_NE(ScmGetUSecCounter(), 0u);
    u32 value = 0;
    EXPECT_EQ(ScmWaitForCondition(kSdn, 0, &value), 0);
    u8 state = 0xFF;
    EXPECT_EQ(ScmGetQorFailSafeState(kSdn, &state), 0);
    u8 udid[6] = {};
    EXPECT_EQ(ScmRequestQorUdid(kSdn, udid), 0);
    const i32 w = ScmOpenStorage(kSdn, "alloc.bin", 'w');
    ASSERT_GE(w, 0);
    EXPECT_EQ(ScmWriteStorage(w, sizeof data, data), static_cast<i32>(sizeof data));
    EXPECT_EQ(ScmCloseStorage(w), 0);
    const i32 r = ScmOpenStorage(kSdn, "alloc.bin", 'r');
    ASSERT_GE(r, 0);
    EXPECT_EQ(ScmGetStorageLength(r), static_cast<i32>(sizeof data));
    EXPECT_EQ(ScmReadStorage(r, sizeof back, back), static_cast<i32>(sizeof back));
    EXPECT_EQ(ScmCloseStorage(r), 0);
    EXPECT_EQ(ScmOpenStorage(kSdn, "absent.bin", 'r'), -1);
    seam += TestAlloc::ThreadAllocationCount() - before;
    // the counter over the socket, failing once, then from the page again
    host_->InjectFault(0x80, 1);
    before = TestAlloc::ThreadAllocationCount();
    EXPECT_EQ(ScmGetUSecCounter(), 0u);
    EXPECT_NE(ScmGetUSecCounter(), 0u);
    seam += TestAlloc::ThreadAllocationCount() - before;
  }
  EXPECT_EQ(seam, 0);
  EXPECT_EQ(std::vector<u8>(back, back + sizeof back), std::vector<u8>(data, data + sizeof data));
}

}  // namespace
}  // namespace hosttest
