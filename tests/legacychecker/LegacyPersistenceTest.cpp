// The persistence as the older build composes it: the controller's copy of
// the key-medium identity from Qor variable 4 (a failed read is no copy,
// another length 0xE216, 18 bytes parsed), "pardata1.bin" never opened, the
// additional-parameter headers from two sources, "fwrevcnf.bin" with three
// flags (bit 3 refused with 0xE27D, the copy written with bits 3 to 15 clear)
// and no setup-mode operations. Rows next to the current build where they
// differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "CException.h"
#include "CQorVariableCorvaneCopySource.h"
#include "CQorVariableStorage.h"
#include "ErrorCodes.h"
#include "PersistenceTestSupport.h"
#include "ScmGenBuild.h"
#include "rtp_mem_control.h"

namespace {

using namespace PersistenceTest;
using Main::CDefaultPersistence;
using Util::CException;
using Util::ErrorCodes;

constexpr const char* kUid = "corvane.uid";
constexpr const char* kPar = "pardata1.bin";
constexpr const char* kFw = "fwrevcnf.bin";
constexpr const char* kFwChk = "fwrevcnf.bin.chk";

using Files = std::map<std::string, Bytes>;

/// The controller's flash copy as the current build finds it (this binary links the older
/// host library, which has no flash-file calls).
class FlashCopy : public Main::CCorvaneCopySource {
 public:
  Bytes flash;  ///< the copy
  i32 ReadCorvaneCopy(u32 capacity, u8* buffer) override {
    const size_t n = std::min<size_t>(capacity, flash.size());
    std::copy(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    return static_cast<i32>(n);
  }
};

/// The current build's persistence over a storage (on the heap: about 770 KiB).
struct Subject {
  MemoryStorage storage;
  FlashCopy flash;
  std::unique_ptr<CDefaultPersistence> persistence =
      std::make_unique<CDefaultPersistence>(storage, flash, Main::ms_CurrentPersistenceProfile);
};

/// A storage that also records the names read.
class ReadRecordingStorage : public MemoryStorage {
 public:
  u32 Read(const char* name, u32 capacity, u8* buffer) const override {
    reads.insert(name);
    return MemoryStorage::Read(name, capacity, buffer);
  }
  mutable std::set<std::string> reads;  ///< every name read
};

/// Qor variables answering as scripted: a throw, or the bytes given.
class ScriptedVariables : public Main::CQorVariableStorage {
 public:
  std::optional<Bytes> variable4;  ///< none: the read throws 0xE2D1
  int reads = 0;                   ///< reads asked
  u8 lastMaximum = 0;              ///< the maximum of the last read
  u8 Read(u8 variable, u8 maxLength, void* destination) override {
    ++reads;
    lastMaximum = maxLength;
    if (variable != 4 || !variable4) {
      m_Failed = true;
      throw CException(ErrorCodes::ms_QorMessageTooShort, 0u);
    }
    std::copy(variable4->begin(), variable4->end(), static_cast<u8*>(destination));
    return static_cast<u8>(variable4->size());
  }
  bool HasFailed() const override { return m_Failed; }
  bool HasRecovered() override { return false; }

 private:
  bool m_Failed = false;
};

/// The older persistence over an installed storage and scripted variables (on the heap: about 770 KiB).
struct OlderSubject {
  ReadRecordingStorage storage;
  ScriptedVariables variables;
  Main::CQorVariableCorvaneCopySource source{variables};
  std::unique_ptr<CDefaultPersistence> persistence =
      std::make_unique<CDefaultPersistence>(storage, source, Main::ms_LegacyPersistenceProfile);
};

/// The installed domain's "fwrevcnf.bin" with three flags and without additional sets in
/// "pardata1.bin", as an older installation holds it.
std::map<std::string, Bytes> OlderInstalledFiles() {
  ScmGen::Domain domain = InstalledDomain();
  for (auto& set : domain.sets) set.inNodeList = true;
  return InstalledFiles(domain);
}

class LegacyPersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallHost(Host{}); }
  void TearDown() override { ScmMemReset(); }
};

TEST_F(LegacyPersistenceTest, TheControllerCopyComesFromVariableFour) {
  struct Row {
    const char* name;             ///< what variable 4 holds
    std::optional<Bytes> value;   ///< none: the read throws
    bool result;                  ///< TryInitialize
    std::vector<Record> log;      ///< records
    bool acknowledged;            ///< the key medium counted acknowledged
  };
  const Files files = OlderInstalledFiles();
  const Bytes uid = files.at(kUid);
  const Row rows[] = {
      {"the identity", uid, true, {}, true},
      {"a failed read", std::nullopt, false, {}, false},
      {"never written (no bytes)", Bytes{}, false, {{3, ErrorCodes::ms_CorvaneCpuReadFailed, 0, 0}}, false},
      {"17 bytes", Bytes(uid.begin(), uid.end() - 1), false, {{3, ErrorCodes::ms_CorvaneCpuReadFailed, 0, 17}},
       false},
      {"18 zero bytes of a fresh controller", Bytes(18, 0), true, {{2, ErrorCodes::ms_CorvaneUidVersion, 0, 0}},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InstallHost(Host{});
    OlderSubject s;
    s.storage.files = files;
    s.variables.variable4 = row.value;
    EXPECT_EQ(s.persistence->TryInitialize(), row.result);
    EXPECT_EQ(s.variables.reads, 1);
    EXPECT_EQ(s.variables.lastMaximum, 18);
    EXPECT_EQ(Log(), row.log);
    EXPECT_EQ(s.persistence->IsAcknowledged(), row.acknowledged);
    EXPECT_EQ(s.storage.reads.count(kPar), 0u) << "pardata1.bin is never opened";
  }
}

TEST_F(LegacyPersistenceTest, HeadersComeFromTheNodeListAndTheMachineOptionsOnly) {
  // The same sets, once in "pardata1.bin" (current) and once in the node list.
  ScmGen::Domain inParData = InstalledDomain();
  ScmGen::Domain inNodeList = InstalledDomain();
  for (auto& set : inNodeList.sets) set.inNodeList = true;
  const Files parDataFiles = InstalledFiles(inParData);
  ASSERT_EQ(parDataFiles.count(kPar), 1u);

  Subject current;
  InstallHost(Host{});
  current.flash.flash = parDataFiles.at(kUid);
  current.storage.files = parDataFiles;
  ASSERT_TRUE(current.persistence->TryInitialize());
  const Deliveries currentDeliveries = Deliver(*current.persistence);

  OlderSubject older;
  older.storage.files = parDataFiles;
  older.variables.variable4 = parDataFiles.at(kUid);
  ASSERT_TRUE(older.persistence->TryInitialize());
  const Deliveries olderDeliveries = Deliver(*older.persistence, false);
  EXPECT_EQ(older.storage.reads.count(kPar), 0u);
  ASSERT_FALSE(currentDeliveries.headers.empty());
  EXPECT_TRUE(olderDeliveries.headers.empty()) << "sets named only in pardata1.bin are unknown to the older build";

  OlderSubject nodeList;
  nodeList.storage.files = InstalledFiles(inNodeList);
  nodeList.variables.variable4 = nodeList.storage.files.at(kUid);
  ASSERT_TRUE(nodeList.persistence->TryInitialize());
  EXPECT_EQ(Deliver(*nodeList.persistence, false).headers, currentDeliveries.headers);
}

TEST_F(LegacyPersistenceTest, AFwRevCnfPairWithFlagBitThreeIsRefusedAndEmptied) {
  struct Row {
    uint16_t flags;     ///< flags of both files
    bool refused;       ///< 0xE27D in the older build
  };
  for (const Row& row : {Row{0x07, false}, Row{0x0F, true}, Row{0x17, true}}) {
    SCOPED_TRACE(row.flags);
    InstallHost(Host{});
    ScmGen::Domain d = InstalledDomain();
    d.fwRevCnf->flags = row.flags;
    OlderSubject s;
    s.storage.files = OlderInstalledFiles();
    s.storage.files[kFw] = ScmGen::FwRevCnfBin(*d.fwRevCnf);
    s.storage.files[kFwChk] = ScmGen::FwRevCnfChkBin(*d.fwRevCnf);
    s.variables.variable4 = s.storage.files.at(kUid);
    EXPECT_EQ(s.persistence->TryInitialize(), !row.refused);
    if (row.refused) {
      EXPECT_EQ(Log(), (std::vector<Record>{{3, ErrorCodes::ms_FwRevCnfBinFlags, 0, row.flags}}));
      EXPECT_TRUE(s.storage.files[kFw].empty());
      EXPECT_TRUE(s.storage.files[kFwChk].empty());
    } else {
      EXPECT_TRUE(Log().empty());
    }
    for (const Record& r : Log()) EXPECT_NE(r.code, ErrorCodes::ms_SetupModeFlagsDiffer);
  }
}

TEST_F(LegacyPersistenceTest, TheCopyIsWrittenWithThreeFlagsAndNoSetupModeExists) {
  OlderSubject s;
  s.storage.files = OlderInstalledFiles();
  s.storage.files["kel_para.saf"].clear();  // an empty key medium sets no flag in this build
  s.variables.variable4 = s.storage.files.at(kUid);
  s.persistence->TryInitialize();
  u8 password[16];
  ScmGen::FwRevCnf expected = *InstalledDomain().fwRevCnf;
  for (int i = 0; i < 16; ++i) {
    password[i] = static_cast<u8>(~('A' + i));
    expected.password[i] = static_cast<uint8_t>('A' + i);
  }
  s.persistence->SetInvertedPassword(password);
  expected.flags = 0x07;
  expected.qorUdid = host.udid;
  expected.targetId = {0x45, 0x23, 0x01, 0x00, 0xEE, 0xFF, 0xC0, 0x00};
  EXPECT_EQ(s.storage.files[kFwChk], ScmGen::FwRevCnfChkBin(expected));
  for (const auto& misuse : std::vector<std::function<void()>>{
           [&] { s.persistence->IsSetupModeActive(); }, [&] { s.persistence->SetSetupModeActive(true); },
           [&] { s.persistence->IsEmpty(); }, [&] { s.persistence->GetInvertedCommissioningFlagReader(); }}) {
    try {
      misuse();
      ADD_FAILURE() << "no error";
    } catch (const CException& error) {
      EXPECT_EQ(error.GetCode(), ErrorCodes::ms_InternalError);
    }
  }
}

}  // namespace
