// Queue and semaphore name builders and the fourteen getters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ScmQueueNames.h"

namespace {

/// A getter of the table: SDN and buffer.
using Getter = char* (*)(u16, char*);

/// One getter and what it builds for SDN 7.
struct GetterCase {
  const char* name;      ///< getter
  Getter getter;         ///< function
  const char* expected;  ///< name for SDN 7
};

const GetterCase kGetters[] = {
    {"ScmGetEventQueueToRuntimeName", ScmGetEventQueueToRuntimeName, "/scm0007/event"},
    {"ScmGetEventQueueFromScmName", ScmGetEventQueueFromScmName, "/scm0007/~event"},
    {"ScmGetResponseQueueToRuntimeName", ScmGetResponseQueueToRuntimeName, "/scm0007/status"},
    {"ScmGetResponseQueueFromScmName", ScmGetResponseQueueFromScmName, "/scm0007/~status"},
    {"ScmGetCommandQueueFromRuntimeName", ScmGetCommandQueueFromRuntimeName, "/scm0007/command"},
    {"ScmGetCommandQueueToScmName", ScmGetCommandQueueToScmName, "/scm0007/~command"},
    {"ScmGetFrameQueueToRuntimeName", ScmGetFrameQueueToRuntimeName, "/scm0007/frame-receive"},
    {"ScmGetFrameQueueFromScmName", ScmGetFrameQueueFromScmName, "/scm0007/~frame-receive"},
    {"ScmGetFrameQueueFromRuntimeName", ScmGetFrameQueueFromRuntimeName, "/scm0007/frame-send"},
    {"ScmGetFrameQueueToScmName", ScmGetFrameQueueToScmName, "/scm0007/~frame-send"},
    {"ScmGetUnlockResponseQueueToRuntimeName", ScmGetUnlockResponseQueueToRuntimeName, "/scm0007/unlock-response"},
    {"ScmGetUnlockResponseQueueFromScmName", ScmGetUnlockResponseQueueFromScmName, "/scm0007/~unlock-response"},
    {"ScmGetUnlockRequestQueueFromRuntimeName", ScmGetUnlockRequestQueueFromRuntimeName, "/scm0007/unlock-request"},
    {"ScmGetUnlockRequestQueueToScmName", ScmGetUnlockRequestQueueToScmName, "/scm0007/~unlock-request"},
};

/// A buffer with a guard area after the agreed size, filled with a marker.
struct GuardedBuffer {
  char bytes[SCM_QUEUE_NAME_SIZE + 16];  ///< name area and guard
  GuardedBuffer() { std::memset(bytes, '#', sizeof bytes); }
  bool GuardIntact() const {
    for (std::size_t i = SCM_QUEUE_NAME_SIZE; i < sizeof bytes; ++i) {
      if (bytes[i] != '#') {
        return false;
      }
    }
    return true;
  }
};

TEST(QueueNamesTest, GettersBuildTheirNamesForSdn7) {
  for (const GetterCase& c : kGetters) {
    SCOPED_TRACE(c.name);
    GuardedBuffer buffer;
    EXPECT_EQ(c.getter(7, buffer.bytes), buffer.bytes);
    EXPECT_STREQ(buffer.bytes, c.expected);
    EXPECT_TRUE(buffer.GuardIntact());
  }
}

TEST(QueueNamesTest, EveryGetterRefusesOutOfRangeSdnAndNullBuffer) {
  for (const GetterCase& c : kGetters) {
    SCOPED_TRACE(c.name);
    for (u16 sdn : {u16{0}, u16{1024}, u16{0xFFFF}}) {
      GuardedBuffer buffer;
      EXPECT_EQ(c.getter(sdn, buffer.bytes), nullptr) << sdn;
      EXPECT_EQ(buffer.bytes[0], '#') << "nothing written";
    }
    EXPECT_EQ(c.getter(7, nullptr), nullptr);
  }
}

TEST(QueueNamesTest, BuildersAcrossTheSdnRange) {
  struct SdnCase {
    u16 sdn;              ///< domain number
    const char* runtime;  ///< host-side name, null = refused
    const char* scm;      ///< firmware-side name, null = refused
  };
  const SdnCase table[] = {
      {0, nullptr, nullptr},
      {1, "/scm0001/unlock-response", "/scm0001/~unlock-response"},
      {1023, "/scm1023/unlock-response", "/scm1023/~unlock-response"},
      {1024, nullptr, nullptr},
  };
  for (const SdnCase& c : table) {
    SCOPED_TRACE(c.sdn);
    GuardedBuffer a;
    GuardedBuffer b;
    char* runtime = GetQualifiedRuntimeQueueName(c.sdn, "unlock-response", a.bytes);
    char* scm = GetQualifiedScmQueueName(c.sdn, "unlock-response", b.bytes);
    if (c.runtime == nullptr) {
      EXPECT_EQ(runtime, nullptr);
      EXPECT_EQ(scm, nullptr);
      continue;
    }
    ASSERT_EQ(runtime, a.bytes);
    ASSERT_EQ(scm, b.bytes);
    EXPECT_STREQ(runtime, c.runtime);
    EXPECT_STREQ(scm, c.scm);
    EXPECT_TRUE(a.GuardIntact());
    EXPECT_TRUE(b.GuardIntact());
  }
  // the longest name fills the agreed buffer exactly
  GuardedBuffer longest;
  ASSERT_NE(GetQualifiedScmQueueName(1023, "unlock-response", longest.bytes), nullptr);
  EXPECT_EQ(std::strlen(longest.bytes) + 1, SCM_QUEUE_NAME_SIZE);
}

TEST(QueueNamesTest, NullArgumentsGiveNull) {
  char buffer[SCM_QUEUE_NAME_SIZE];
  EXPECT_EQ(GetQualifiedRuntimeQueueName(1, nullptr, buffer), nullptr);
  EXPECT_EQ(GetQualifiedScmQueueName(1, nullptr, buffer), nullptr);
  EXPECT_EQ(GetQualifiedRuntimeQueueName(1, "event", nullptr), nullptr);
  EXPECT_EQ(GetQualifiedScmQueueName(1, "event", nullptr), nullptr);
}

TEST(QueueNamesTest, SuffixLongerThanTheLongestKnownIsRefused) {
  const std::string fifteen(SCM_QUEUE_SUFFIX_MAX, 'x');
  const std::string sixteen(SCM_QUEUE_SUFFIX_MAX + 1, 'x');
  GuardedBuffer buffer;
  ASSERT_NE(GetQualifiedScmQueueName(1023, fifteen.c_str(), buffer.bytes), nullptr);
  EXPECT_EQ(std::string(buffer.bytes), "/scm1023/~" + fifteen);
  EXPECT_TRUE(buffer.GuardIntact());
  GuardedBuffer refused;
  EXPECT_EQ(GetQualifiedScmQueueName(1023, sixteen.c_str(), refused.bytes), nullptr);
  EXPECT_EQ(GetQualifiedRuntimeQueueName(1023, sixteen.c_str(), refused.bytes), nullptr);
  EXPECT_EQ(refused.bytes[0], '#');
  EXPECT_EQ(GetQualifiedRuntimeQueueName(5, "", buffer.bytes), buffer.bytes);
  EXPECT_STREQ(buffer.bytes, "/scm0005/");
}

}  // namespace
