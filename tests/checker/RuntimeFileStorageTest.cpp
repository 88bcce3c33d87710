// The runtime file storage against the host simulator's storage: whole-file
// reads and writes, the capacity bound, every failure code, and the handle
// closed on every path except a failed open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "CException.h"
#include "CRuntimeFileStorage.h"
#include "CheckerTestDomain.h"
#include "CheckerTestSupport.h"
#include "ErrorCodes.h"
#include "ScmHostSim.h"

namespace {

using Main::CRuntimeFileStorage;
using Util::CException;
using Util::ErrorCodes;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOpen = 0x84;
constexpr uint32_t kClose = 0x85;
constexpr uint32_t kLength = 0x86;
constexpr uint32_t kRead = 0x87;
constexpr uint32_t kWrite = 0x88;

class RuntimeFileStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    char pattern[] = "/tmp/scmstorage.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    const std::string ns = "stor" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    setenv("SCM_SIM_NAMESPACE", ns.c_str(), 1);
    ScmSim::HostConfig config;
    config.sdn = 7;
    config.socketPath = directory_ + "/host.sock";
    config.storageDir = directory_ + "/storage";
    config.simNamespace = ns;
    host_ = std::make_unique<ScmSim::HostSim>(config);
    host_->Start();
    setenv("SCM_SIM_HOST_SOCKET", config.socketPath.c_str(), 1);
    SetCheckerTestDomain(7);
  }
  void TearDown() override {
    host_->Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  /// Calls of one number in the host's log.
  int Calls(uint32_t number) {
    const auto log = host_->CallLog();
    return static_cast<int>(std::count_if(
        log.begin(), log.end(), [number](const ScmSim::CallRecord& r) { return r.number == number; }));
  }
  /// Successful opens and all closes balance.
  void ExpectClosed() {
    const auto log = host_->CallLog();
    int opened = 0;
    int closed = 0;
    for (const auto& record : log) {
      opened += record.number == kOpen && record.result != -1;
      closed += record.number == kClose;
    }
    EXPECT_EQ(opened, closed);
  }
  static CException Caught(const std::function<void()>& action) { return CheckerTest::Caught(action); }

  std::string directory_;
  std::unique_ptr<ScmSim::HostSim> host_;
  CRuntimeFileStorage storage_;
};

TEST_F(RuntimeFileStorageTest, WriteReadAndLength) {
  const Bytes content = {1, 2, 3, 4, 5};
  storage_.Write("corvane.dat.chk", 5, content.data());
  EXPECT_EQ(host_->GetFile("corvane.dat.chk"), content);
  EXPECT_EQ(storage_.GetLength("corvane.dat.chk"), 5u);
  u8 buffer[5] = {};
  EXPECT_EQ(storage_.Read("corvane.dat.chk", 5, buffer), 5u);
  EXPECT_EQ(Bytes(buffer, buffer + 5), content);
  // Writing replaces the content.
  storage_.Write("corvane.dat.chk", 2, content.data() + 3);
  EXPECT_EQ(host_->GetFile("corvane.dat.chk"), (Bytes{4, 5}));
  ExpectClosed();
}

TEST_F(RuntimeFileStorageTest, OneByteAboveTheCapacityIsRefusedUnread) {
  ASSERT_TRUE(host_->PutFile("fwrevcnf.bin.chk", Bytes(65, 0xAB)));
  u8 buffer[65] = {};
  const CException error = Caught([&] { storage_.Read("fwrevcnf.bin.chk", 64, buffer); });
  EXPECT_EQ(error.GetCode(), ErrorCodes::ms_StorageFileTooLong);
  EXPECT_EQ(error.GetInformation1(), 65u);
  EXPECT_EQ(Calls(kRead), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(storage_.Read("fwrevcnf.bin.chk", 65, buffer), 65u);
  ExpectClosed();
}

TEST_F(RuntimeFileStorageTest, DeleteLeavesAnEmptyFile) {
  const Bytes content = {9, 9, 9};
  storage_.Write("corvane.uid.chk", 3, content.data());
  storage_.Delete("corvane.uid.chk");
  EXPECT_EQ(storage_.GetLength("corvane.uid.chk"), 0u);
  u8 buffer[1] = {};
  EXPECT_EQ(storage_.Read("corvane.uid.chk", 1, buffer), 0u);
  ExpectClosed();
}

TEST_F(RuntimeFileStorageTest, NullArgumentsAreInternalErrors) {
  u8 buffer[4] = {};
  const std::vector<std::function<void()>> actions = {
      [&] { storage_.GetLength(nullptr); },         [&] { storage_.Read(nullptr, 4, buffer); },
      [&] { storage_.Read("a.chk", 4, nullptr); },  [&] { storage_.Write(nullptr, 1, buffer); },
      [&] { storage_.Write("a.chk", 1, nullptr); }, [&] { storage_.Delete(nullptr); },
  };
  for (const auto& action : actions) {
    EXPECT_EQ(Caught(action).GetCode(), ErrorCodes::ms_InternalError);
  }
  EXPECT_EQ(Calls(kOpen), 0);
}

/// One injected failure and what the operation must make of it.
struct FaultCase {
  const char* what;    ///< the case
  uint32_t number;     ///< the failing call
  bool shortTransfer;  ///< transfer fewer bytes instead of failing
  char operation;      ///< 'r' read, 'l' length, 'w' write, 'd' delete
  u16 code;            ///< expected error code
  u32 information1;    ///< expected information1
};

TEST_F(RuntimeFileStorageTest, EveryFailureReachesTheCallerAndClosesTheHandle) {
  const FaultCase cases[] = {
      {"open for reading", kOpen, false, 'r', ErrorCodes::ms_StorageOpenFailed, 'r'},
      {"open for length", kOpen, false, 'l', ErrorCodes::ms_StorageOpenFailed, 'r'},
      {"open for writing", kOpen, false, 'w', ErrorCodes::ms_StorageOpenFailed, 'w'},
      {"open for deleting", kOpen, false, 'd', ErrorCodes::ms_StorageOpenFailed, 'w'},
      {"length of a read", kLength, false, 'r', ErrorCodes::ms_StorageLengthFailed, 0},
      {"length query", kLength, false, 'l', ErrorCodes::ms_StorageLengthFailed, 0},
      {"read fails", kRead, false, 'r', ErrorCodes::ms_StorageReadFailed, 0},
      {"short read", kRead, true, 'r', ErrorCodes::ms_StorageReadFailed, 0},
      {"write fails", kWrite, false, 'w', ErrorCodes::ms_StorageWriteFailed, 0},
      {"short write", kWrite, true, 'w', ErrorCodes::ms_StorageWriteFailed, 0},
      {"close after a complete read", kClose, false, 'r', ErrorCodes::ms_StorageCloseFailed, 0},
      {"close after a length query", kClose, false, 'l', ErrorCodes::ms_StorageCloseFailed, 0},
      {"close after a write", kClose, false, 'w', ErrorCodes::ms_StorageCloseFailed, 0},
      {"close after a delete", kClose, false, 'd', ErrorCodes::ms_StorageCloseFailed, 0},
  };
  const Bytes content = {1, 2, 3, 4, 5, 6, 7, 8};
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(host_->PutFile("file.chk", content));
    host_->ClearCallLog();
    if (c.shortTransfer) {
      host_->InjectShortTransfer(c.number, 1, 3);
    } else {
      host_->InjectFault(c.number, 1);
    }
    u8 buffer[8] = {};
    const CException error = Caught([&] {
      switch (c.operation) {
        case 'r':
          storage_.Read("file.chk", 8, buffer);
          break;
        case 'l':
          storage_.GetLength("file.chk");
          break;
        case 'w':
          storage_.Write("file.chk", 8, content.data());
          break;
        default:
          storage_.Delete("file.chk");
          break;
      }
    });
    EXPECT_EQ(error.GetCode(), c.code);
    EXPECT_EQ(error.GetInformation1(), c.information1);
    if (c.number == kOpen) {
      EXPECT_EQ(Calls(kClose), 0) << "nothing to close after a failed open";
    } else {
      EXPECT_EQ(Calls(kClose), 1);
    }
    host_->InjectFault(c.number, 0);
  }
}

TEST_F(RuntimeFileStorageTest, MissingFileReadsAsEmptyWithNothingToClose) {
  u8 buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  host_->ClearCallLog();
  EXPECT_EQ(storage_.Read("absent.chk", 4, buffer), 0u);
  EXPECT_EQ(storage_.GetLength("absent.chk"), 0u);
  EXPECT_EQ(buffer[0], 0xAA) << "nothing read";
  EXPECT_EQ(Calls(kOpen), 2);
  EXPECT_EQ(Calls(kClose), 0);
}

TEST_F(RuntimeFileStorageTest, BusyStorageStaysAnOpenFailure) {
  ASSERT_TRUE(host_->PutFile("file.chk", Bytes{1, 2}));
  host_->SetStorageBusy(true);
  u8 buffer[4] = {};
  const CException readError = Caught([&] { storage_.Read("file.chk", 4, buffer); });
  EXPECT_EQ(readError.GetCode(), ErrorCodes::ms_StorageOpenFailed);
  EXPECT_EQ(readError.GetInformation1(), 114u);
  const CException lengthError = Caught([&] { storage_.GetLength("absent.chk"); });
  EXPECT_EQ(lengthError.GetCode(), ErrorCodes::ms_StorageOpenFailed);
  EXPECT_EQ(lengthError.GetInformation1(), 114u);
  host_->SetStorageBusy(false);
}

}  // namespace
