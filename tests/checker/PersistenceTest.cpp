// The persistence over generated file pairs: one table of start-up rows, each
// stating TryInitialize's result or the error that escapes, every logged
// record, the pairs emptied on the storage (never one file of a pair, never a
// single file), what the streams then deliver and the key-medium state; then
// the writers against the generator's bytes, a restart over written copies and
// the internal misuses.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "CDefaultCommissioner.h"
#include "CException.h"
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
constexpr const char* kUidChk = "corvane.uid.chk";
constexpr const char* kDat = "corvane.dat";
constexpr const char* kDatChk = "corvane.dat.chk";
constexpr const char* kKel = "kel_para.saf";
constexpr const char* kAuto = "autocnf.bin";
constexpr const char* kPar = "pardata1.bin";
constexpr const char* kFw = "fwrevcnf.bin";
constexpr const char* kFwChk = "fwrevcnf.bin.chk";

using Files = std::map<std::string, Bytes>;

/// One start-up row.
struct Row {
  const char* name;                       ///< what the row shows
  std::function<void(Files&, Host&)> set;  ///< changes to the installed storage and host
  std::optional<bool> result;             ///< TryInitialize's result, or none when an error escapes
  uint16_t escapes = 0;                   ///< the code that escapes
  std::vector<Record> log;                ///< every record logged, in order
  std::set<std::string> emptied;          ///< files emptied on the storage (whole pairs)
  std::set<std::string> ignored;          ///< files whose content is not delivered (emptied in memory)
  bool acknowledged = true;               ///< IsAcknowledged afterwards
  bool setupMode = false;                 ///< IsSetupModeActive afterwards
};

Record Error(uint16_t code, uint16_t i0 = 0, uint32_t i1 = 0) { return {3, code, i0, i1}; }
Record Warning(uint16_t code, uint16_t i0 = 0, uint32_t i1 = 0) { return {2, code, i0, i1}; }

void Flip(Files& f, const char* name, size_t at) { f[name].at(at) ^= 0x01; }

/// "corvane.dat.chk" for the given entries (complemented by the builder).
Bytes DatChk(const std::vector<ScmGen::UdidEntry>& entries) { return ScmGen::CorvaneDatChkFile(entries); }

/// The domain's "fwrevcnf.bin" content, changed by a function.
ScmGen::FwRevCnf FwContent(const std::function<void(ScmGen::FwRevCnf&)>& change = {}) {
  ScmGen::FwRevCnf f = *InstalledDomain().fwRevCnf;
  if (change) change(f);
  return f;
}

/// The first 16 bytes complemented.
Bytes Inverted16(const Bytes& b) {
  Bytes out(b.begin(), b.begin() + 16);
  for (auto& x : out) x = static_cast<uint8_t>(~x);
  return out;
}

/// A "corvane.uid" record.
Bytes Uid(ScmGen::Udid udid, uint64_t time) { return ScmGen::CorvaneUidFile({udid, time}); }

const ScmGen::Udid kQor{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};
constexpr uint64_t kTime = 0x000ABCDE12345678ull;
const std::vector<ScmGen::UdidEntry> kDatEntries = {{2, {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x02}},
                                                    {5, {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x05}}};

/// Persistence over a storage, constructed on the heap (about 770 KiB).
struct Subject {
  MemoryStorage storage;
  std::unique_ptr<CDefaultPersistence> persistence = std::make_unique<CDefaultPersistence>(storage);
};

/// The host answers as given and the subject's storage holds the domain installed, its
/// "corvane.uid" also in flash area 16.
void InstallDomain(Subject& s, const ScmGen::Domain& domain, const Host& answers = Host{}) {
  InstallHost(answers);
  s.storage.files = InstalledFiles(domain);
  host.flash = s.storage.files[kUid];
}

class PersistenceTest : public ::testing::Test {
 protected:
  void TearDown() override { ScmMemReset(); }
};

std::vector<Row> Rows() {
  // Rows name only the fields they need; the rest keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
  std::vector<Row> rows = {
      // ---- all consistent ----
      {"installed domain", [](Files&, Host&) {}, true, 0, {}, {}, {}, true},
      {"every file absent, controller copy present", [](Files& f, Host&) { f.clear(); }, true, 0, {}, {}, {}, false},
      {"every file empty, controller copy absent",
       [](Files& f, Host& h) {
         for (auto& [n, b] : f) b.clear();
         h.flashResult = -1;
       },
       false, 0, {}, {}, {}, false},
      // ---- missing ----
      {"corvane.uid.chk missing", [](Files& f, Host&) { f.erase(kUidChk); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidPlainWithoutChk)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid missing", [](Files& f, Host&) { f.erase(kUid); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidChkWithoutPlain)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid pair missing", [](Files& f, Host&) { f.erase(kUid), f.erase(kUidChk); }, true, 0, {}, {}, {},
       false},
      {"corvane.dat.chk missing", [](Files& f, Host&) { f.erase(kDatChk); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatChkFewer)}, {kDat, kDatChk}},
      {"corvane.dat missing", [](Files& f, Host&) { f.erase(kDat); }, false, 0, {Error(ErrorCodes::ms_CorvaneDatChkMore)},
       {kDat, kDatChk}},
      {"corvane.dat pair missing", [](Files& f, Host&) { f.erase(kDat), f.erase(kDatChk); }, true},
      {"fwrevcnf.bin.chk missing", [](Files& f, Host&) { f.erase(kFwChk); }, false, 0,
       {Error(ErrorCodes::ms_FwRevCnfBinChkFewer)}, {kFw, kFwChk}},
      {"fwrevcnf.bin missing", [](Files& f, Host&) { f.erase(kFw); }, false, 0, {Error(ErrorCodes::ms_FwRevCnfBinChkMore)},
       {kFw, kFwChk}},
      {"fwrevcnf.bin pair missing", [](Files& f, Host&) { f.erase(kFw), f.erase(kFwChk); }, true},
      // ---- corrupt ----
      {"corvane.uid version bit flipped", [](Files& f, Host&) { Flip(f, kUid, 0); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidVersion, 0, 0x101)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid.chk UDID bit flipped", [](Files& f, Host&) { Flip(f, kUidChk, 5); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidQorUdidDiffers)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid of 17 bytes", [](Files& f, Host&) { f[kUid].resize(17); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidLength, 0, 17)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid.chk truncated", [](Files& f, Host&) { f[kUidChk].resize(10); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidLength, 0, 10)}, {kUid, kUidChk}, {}, false},
      {"corvane.dat header bit flipped", [](Files& f, Host&) { Flip(f, kDat, 2); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatVersion, 0, 3)}, {kDat, kDatChk}},
      {"corvane.dat.chk truncated", [](Files& f, Host&) { f[kDatChk].resize(40); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatLength, 0, 40)}, {kDat, kDatChk}},
      {"corvane.dat truncated", [](Files& f, Host&) { f[kDat].resize(40); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatLength, 0, 40)}, {kDat, kDatChk}},
      {"corvane.dat.chk header bit flipped", [](Files& f, Host&) { Flip(f, kDatChk, 2); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatVersion, 0, 3)}, {kDat, kDatChk}},
      {"fwrevcnf.bin truncated", [](Files& f, Host&) { f[kFw].resize(11); }, false, 0,
       {Error(ErrorCodes::ms_FwRevCnfBinLength, 0, 11)}, {kFw, kFwChk}},
      {"fwrevcnf.bin.chk entry-length bit flipped", [](Files& f, Host&) { Flip(f, kFwChk, 2); }, false, 0,
       {Error(ErrorCodes::ms_FwRevCnfBinEntryLength, 0, 5)}, {kFw, kFwChk}},
      {"fwrevcnf.bin entry-length bit flipped", [](Files& f, Host&) { Flip(f, kFw, 2); }, false, 0,
       {Error(ErrorCodes::ms_FwRevCnfBinEntryLength, 0, 5)}, {kFw, kFwChk}},
      {"fwrevcnf.bin.chk truncated", [](Files& f, Host&) { f[kFwChk].resize(11); }, false, 0,
       {Error(ErrorCodes::ms_FwRevCnfBinLength, 0, 11)}, {kFw, kFwChk}},
      {"corvane.uid longer than its buffer", [](Files& f, Host&) { f[kUid].resize(257); }, std::nullopt,
       ErrorCodes::ms_StorageFileTooLong, {}, {}, {}, false},
      {"kel_para.saf total-length bit flipped (emptied in memory only)", [](Files& f, Host&) { Flip(f, kKel, 4); },
       false, 0, {Error(ErrorCodes::ms_KelParaSafTotalLength, 0, 0x4D5)}, {}, {kKel}},
      {"autocnf.bin version bit flipped (emptied in memory only)", [](Files& f, Host&) { Flip(f, kAuto, 5); }, false, 0,
       {Error(ErrorCodes::ms_AutoCnfBinVersion, 0, 0x0500)}, {}, {kAuto}},
      {"pardata1.bin truncated (emptied in memory only)", [](Files& f, Host&) { f[kPar].resize(20); }, false, 0,
       {Error(ErrorCodes::ms_ParData1Bin, 1, 20)}, {}, {kPar}},
      // ---- mismatched plain against copy ----
      {"corvane.dat.chk one entry more",
       [](Files& f, Host&) {
         auto e = kDatEntries;
         e.push_back({9, {1, 2, 3, 4, 5, 6}});
         f[kDatChk] = DatChk(e);
       },
       false, 0, {Error(ErrorCodes::ms_CorvaneDatChkMore)}, {kDat, kDatChk}},
      {"corvane.dat.chk one entry fewer", [](Files& f, Host&) { f[kDatChk] = DatChk({kDatEntries[0]}); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatChkFewer)}, {kDat, kDatChk}},
      {"corvane.dat.chk SADR differs",
       [](Files& f, Host&) { f[kDatChk] = DatChk({kDatEntries[0], {6, kDatEntries[1].udid}}); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneDatSadrDiffers, 5, 6)}, {kDat, kDatChk}},
      {"corvane.dat.chk UDID differs",
       [](Files& f, Host&) { f[kDatChk] = DatChk({kDatEntries[0], {5, {0x02, 0x5C, 0x3E, 0xA0, 0x01, 0x05}}}); },
       false, 0, {Error(ErrorCodes::ms_CorvaneDatUdidDiffers, 5, 5)}, {kDat, kDatChk}},
      {"fwrevcnf.bin.chk one entry more",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.entries.push_back({9, 1}); })); },
       false, 0, {Error(ErrorCodes::ms_FwRevCnfBinChkMore)}, {kFw, kFwChk}},
      {"fwrevcnf.bin.chk one entry fewer",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.entries.pop_back(); })); },
       false, 0, {Error(ErrorCodes::ms_FwRevCnfBinChkFewer)}, {kFw, kFwChk}},
      {"fwrevcnf.bin.chk SADR differs",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.entries[1].sadr = 6; })); },
       false, 0, {Error(ErrorCodes::ms_FwRevCnfBinSadrDiffers, 5, 6)}, {kFw, kFwChk}},
      {"fwrevcnf.bin.chk minor revision differs",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.entries[0].revision = 7; })); },
       false, 0, {Error(ErrorCodes::ms_FwRevCnfBinMinorRevisionDiffers, 2, 2)}, {kFw, kFwChk}},
      {"controller UDID in fwrevcnf.bin.chk differs",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.qorUdid[5] ^= 1; })); },
       false, 0, {Error(ErrorCodes::ms_QorUdidDiffers)}, {kFw, kFwChk}},
      {"password differs",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.password[15] ^= 1; })); },
       false, 0, {Error(ErrorCodes::ms_PasswordDiffers)}, {kFw, kFwChk}},
      {"key-medium-empty flag only in the plain file",
       [](Files& f, Host&) { f[kFw] = ScmGen::FwRevCnfBin(FwContent([](auto& c) { c.flags |= 0x08; })); }, false, 0,
       {Error(ErrorCodes::ms_SetupModeFlagsDiffer, 0, 0x01)}, {kFw, kFwChk}},
      {"setup flag only in the copy",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.flags |= 0x10; })); },
       false, 0, {Error(ErrorCodes::ms_SetupModeFlagsDiffer, 0, 0x20)}, {kFw, kFwChk}},
      {"CPU id differs in its first six bytes",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.targetId[5] ^= 1; })); },
       false, 0, {Error(ErrorCodes::ms_CpuIdDiffers)}, {kFw, kFwChk}},
      {"CPU id differs only in its last two bytes",
       [](Files& f, Host&) {
         f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.targetId[6] ^= 1, c.targetId[7] ^= 1; }));
       },
       true},
      {"CPU id only in the plain file",
       [](Files& f, Host&) { f[kFwChk] = ScmGen::FwRevCnfChkBin(FwContent([](auto& c) { c.flags &= ~0x01; })); },
       false, 0, {Error(ErrorCodes::ms_CpuIdPlainWithoutChk)}, {kFw, kFwChk}},
      {"corvane.uid.chk Qor UDID differs", [](Files& f, Host&) { f[kUidChk] = ScmGen::CorvaneUidChkFile({{2}, kTime}); },
       false, 0, {Error(ErrorCodes::ms_CorvaneUidQorUdidDiffers)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid.chk timestamp low half differs",
       [](Files& f, Host&) { f[kUidChk] = ScmGen::CorvaneUidChkFile({kQor, kTime ^ 1}); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidTimestampDiffers)}, {kUid, kUidChk}, {}, false},
      {"corvane.uid.chk timestamp high half differs",
       [](Files& f, Host&) { f[kUidChk] = ScmGen::CorvaneUidChkFile({kQor, kTime ^ (1ull << 40)}); }, false, 0,
       {Error(ErrorCodes::ms_CorvaneUidTimestampDiffers)}, {kUid, kUidChk}, {}, false},
      // ---- old versions the firmware still reads: logged, nothing deleted ----
      {"corvane.dat of version 1",
       [](Files& f, Host&) {
         f[kDat][2] = 1;
         ScmGen::SealCorvaneDatHeader(f[kDat]);
       },
       false, 0, {Error(ErrorCodes::ms_CorvaneDatVersion, 0, 1)}, {}, {kDat, kDatChk}},
      {"fwrevcnf.bin of version 0x0100", [](Files& f, Host&) { f[kFw][4] = 0x00; }, false, 0,
       {Error(ErrorCodes::ms_FwRevCnfBinVersion, 0, 0x0100)}, {}, {kFw, kFwChk}},
      {"corvane.dat.chk of version 1 is refused and deleted",
       [](Files& f, Host&) {
         f[kDatChk][2] = 1;
         ScmGen::SealCorvaneDatHeader(f[kDatChk]);
       },
       false, 0, {Error(ErrorCodes::ms_CorvaneDatVersion, 0, 1)}, {kDat, kDatChk}},
      // ---- controller copy ----
      {"controller copy read fails", [](Files&, Host& h) { h.flashResult = -1; }, false, 0, {}, {}, {}, false},
      {"controller copy differs", [](Files&, Host& h) { h.flash = Uid(kQor, kTime + 1); }, true, 0, {}, {}, {}, false},
      {"controller copy does not parse", [](Files&, Host& h) { h.flash[1] = 0x02; }, true, 0,
       {Warning(ErrorCodes::ms_CorvaneUidVersion, 0, 0x200)}, {}, {}, false},
      {"controller copy of zeros while the storage holds no copy",
       [](Files& f, Host& h) {
         f.erase(kUid), f.erase(kUidChk);
         h.flash = Uid({}, 0);
       },
       true, 0, {}, {}, {}, false},
      {"controller copy of another length", [](Files&, Host& h) { h.flashResult = 10; }, false, 0,
       {Error(ErrorCodes::ms_CorvaneCpuReadFailed, 0, 10)}, {}, {}, false},
      // ---- others ----
      {"machine options present while the node list says inactive",
       [](Files& f, Host&) {
         ScmGen::AutoCnf a = *InstalledDomain().autoCnf;
         a.machineOptions = Bytes(64, 0x5A);
         f[kAuto] = ScmGen::AutoCnfBin(a);
       },
       false},
      {"storage busy during start-up", [](Files&, Host&) {}, std::nullopt, ErrorCodes::ms_StorageOpenFailed, {}, {}, {},
       false},
  };
#pragma GCC diagnostic pop
  return rows;
}

TEST_F(PersistenceTest, StartUpTable) {
  const Files installed = InstalledFiles(InstalledDomain());
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    Files files = installed;
    Host answers;
    answers.flash = files[kUid];
    row.set(files, answers);
    InstallHost(answers);
    Subject s;
    s.storage.files = files;
    s.storage.busy = std::string(row.name) == "storage busy during start-up";
    if (row.result) {
      EXPECT_EQ(s.persistence->TryInitialize(), *row.result);
    } else {
      const CException e = [&] {
        try {
          s.persistence->TryInitialize();
        } catch (const CException& caught) {
          return caught;
        }
        return CException(0);
      }();
      EXPECT_EQ(e.GetCode(), row.escapes);
    }
    EXPECT_EQ(Log(), row.log);
    // Nothing but the faulty pair changes on the storage.
    s.storage.busy = false;
    for (const auto& [name, bytes] : s.storage.files) {
      if (row.emptied.count(name) != 0) {
        EXPECT_TRUE(bytes.empty()) << name;
      } else {
        EXPECT_EQ(bytes, files.count(name) ? files.at(name) : Bytes{}) << name;
      }
    }
    for (const std::string& name : row.emptied) {
      EXPECT_EQ(s.storage.files.count(name), 1u) << name << " emptied";
    }
    EXPECT_TRUE(s.storage.writes.empty());
    if (!row.result) continue;
    EXPECT_EQ(s.persistence->IsAcknowledged(), row.acknowledged);
    EXPECT_EQ(s.persistence->IsSetupModeActive(), row.setupMode);
    // What the consistent files hold is delivered: as from a storage without the faulty files.
    Subject reference;
    reference.storage.files = s.storage.files;
    for (const std::string& name : row.ignored) reference.storage.files.erase(name);
    reference.persistence->TryInitialize();
    EXPECT_EQ(Deliver(*s.persistence), Deliver(*reference.persistence));
  }
}

TEST_F(PersistenceTest, InstalledDomainDeliversItsValues) {
  Subject s;
  InstallDomain(s, InstalledDomain());
  ASSERT_TRUE(s.persistence->TryInitialize());
  const Deliveries d = Deliver(*s.persistence);
  EXPECT_EQ(d.requiredSadrs, (std::vector<uint16_t>{2, 5, 8}));
  // The acknowledged copy wins over "autocnf.bin" for SADR 5; SADR 8 comes from "autocnf.bin".
  auto inv = [](ScmGen::Udid u) {
    Bytes b(u.begin(), u.end());
    for (auto& x : b) x = static_cast<uint8_t>(~x);
    return b;
  };
  EXPECT_EQ(d.acknowledgedUdids,
            (std::vector<std::pair<uint16_t, Bytes>>{{2, inv(kDatEntries[0].udid)},
                                                     {5, inv(kDatEntries[1].udid)},
                                                     {8, inv({0x02, 0x5C, 0x3E, 0xB0, 0x00, 0x08})}}));
  EXPECT_EQ(d.minorRevisions, (std::vector<std::pair<uint16_t, uint16_t>>{{2, 0xFEFC}, {5, 0xFDFB}}));
  ASSERT_EQ(d.headers.size(), 2u);
  EXPECT_EQ(d.headers[0].first, (std::pair<uint16_t, uint8_t>{5, 1}));
  EXPECT_EQ(d.headers[1].first, (std::pair<uint16_t, uint8_t>{8, 15}));
  EXPECT_TRUE(d.commissioning.empty());
  EXPECT_TRUE(s.persistence->HasPassword());
  EXPECT_FALSE(s.persistence->IsEmpty());
}

TEST_F(PersistenceTest, DatChkWithOneEntryMoreLeavesTheAutomaticUdidsAlone) {
  Subject s;
  InstallDomain(s, InstalledDomain());
  auto e = kDatEntries;
  e.push_back({9, {1, 2, 3, 4, 5, 6}});
  s.storage.files[kDatChk] = DatChk(e);
  EXPECT_FALSE(s.persistence->TryInitialize());
  const Deliveries d = Deliver(*s.persistence);
  ASSERT_EQ(d.acknowledgedUdids.size(), 2u);
  EXPECT_EQ(d.acknowledgedUdids[0].first, 8) << "in the order of \"autocnf.bin\"";
  EXPECT_EQ(d.acknowledgedUdids[1].first, 5);
}

TEST_F(PersistenceTest, PardataOfTheFirmwaresLimitIsRead) {
  Subject s;
  InstallDomain(s, InstalledDomain());
  const Bytes entry = ScmGen::ParData1Entry(3, 5, Bytes(150000, 0x6B), 0x55);
  s.storage.files[kPar] = ScmGen::ParData1File(entry, 1, 0);
  ASSERT_GT(s.storage.files[kPar].size(), 0x10000u);
  EXPECT_TRUE(s.persistence->TryInitialize());
  EXPECT_TRUE(Log().empty());
  const Deliveries d = Deliver(*s.persistence);
  ASSERT_EQ(d.headers.size(), 1u);
  EXPECT_EQ(d.headers[0].first, (std::pair<uint16_t, uint8_t>{5, 3}));
  EXPECT_EQ(d.headers[0].second, Inverted16(entry));
}

TEST_F(PersistenceTest, MachineOptionsBecomeParameterTwoOfSadrOneOnlyWhenActive) {
  for (const uint32_t active : {0u, 1u}) {
    SCOPED_TRACE(active);
    ScmGen::Domain d = InstalledDomain();
    d.scm.configuration->machineOptionsActive = active;
    d.autoCnf->machineOptions = Bytes(64, 0x5A);
    Subject s;
    InstallDomain(s, d);
    EXPECT_EQ(s.persistence->TryInitialize(), active == 1);
    const Deliveries out = Deliver(*s.persistence);
    const bool computed = std::any_of(out.headers.begin(), out.headers.end(),
                                      [](const auto& h) { return h.first == std::pair<uint16_t, uint8_t>{1, 2}; });
    EXPECT_EQ(computed, active == 1);
  }
}

/// Automatic setup mode: the copy says the key medium was empty, the node list asks for setup mode.
struct SetupRow {
  const char* name;       ///< what the row shows
  bool corvaneEmpty;      ///< the pair's key-medium-empty flag
  bool requested;         ///< the node list's setup-mode flag
  i32 udidResult;         ///< the controller UDID request's result
  ScmGen::Udid udid;      ///< the controller UDID it gives
  bool active;            ///< IsSetupModeActive afterwards
};

TEST_F(PersistenceTest, AutomaticSetupModeIsSetInMemoryOnly) {
  const SetupRow rows[] = {
      {"same controller", true, true, 0, kQor, true},
      {"key medium not empty", false, true, 0, kQor, false},
      {"not requested", true, false, 0, kQor, false},
      {"another controller", true, true, 0, {0x02, 0x5C, 0x3E, 0, 0, 1}, false},
      {"UDID request fails", true, true, -1, kQor, false},
      {"UDID all zero", true, true, 0, {}, false},
  };
  for (const SetupRow& r : rows) {
    SCOPED_TRACE(r.name);
    ScmGen::Domain d = InstalledDomain();
    d.scm.commissioning = std::array<uint32_t, 3>{r.requested ? 1u : 0u, 0, 0};
    if (r.corvaneEmpty) d.fwRevCnf->flags |= 0x08;
    Host answers;
    answers.udidResult = r.udidResult;
    answers.udid = r.udid;
    Subject s;
    InstallDomain(s, d, answers);
    EXPECT_TRUE(s.persistence->TryInitialize());
    EXPECT_EQ(s.persistence->IsSetupModeActive(), r.active);
    EXPECT_TRUE(s.storage.writes.empty()) << "no file is written at start-up";
    // The flag reaches the file with the next write.
    s.persistence->WriteAcknowledgedInvertedMinorRevisions();
    ScmGen::FwRevCnf expected = *d.fwRevCnf;
    expected.flags &= ~0x08;  // "kel_para.saf" was not empty at this start-up
    if (r.active) expected.flags |= 0x10;
    if (r.udidResult == 0 && r.udid != ScmGen::Udid{}) expected.qorUdid = r.udid;
    expected.targetId = {0x45, 0x23, 0x01, 0x00, 0xEE, 0xFF, 0xC0, 0x00};
    EXPECT_EQ(s.storage.files[kFwChk], ScmGen::FwRevCnfChkBin(expected));
  }
}

/// Writes acknowledged UDIDs as the UDID checker does: through the writer, then the callback.
void WriteUdids(CDefaultPersistence& persistence, const std::vector<ScmGen::UdidEntry>& acknowledged) {
  auto& writer = persistence.GetAcknowledgedInvertedUdidWriter();
  writer.Open();
  for (const auto& e : acknowledged) {
    u8 inverted[6];
    for (int i = 0; i < 6; ++i) inverted[i] = static_cast<u8>(~e.udid[i]);
    writer.WriteNext(e.sadr, inverted);
  }
  writer.Close();
  persistence.WriteAcknowledgedInvertedUdids();
}

/// The state after an installed start-up with acknowledgements written by the writers.
class PersistenceWriters : public PersistenceTest {
 protected:
  void SetUp() override {
    InstallDomain(s, InstalledDomain());
    ASSERT_TRUE(s.persistence->TryInitialize());
  }
  /// The generator's copy for the values the writers bind: running controller and CPU.
  static ScmGen::FwRevCnf Bound(ScmGen::FwRevCnf f) {
    f.flags = static_cast<uint16_t>(f.flags | 0x07);
    f.qorUdid = host.udid;
    f.targetId = {0x45, 0x23, 0x01, 0x00, 0xEE, 0xFF, 0xC0, 0x00};
    return f;
  }
  Subject s;
};

TEST_F(PersistenceWriters, UdidWriterLeavesTheGeneratorsBytes) {
  const std::vector<ScmGen::UdidEntry> acknowledged = {{2, kDatEntries[0].udid}, {7, {0x02, 0x5C, 0x3E, 1, 2, 3}}};
  WriteUdids(*s.persistence, acknowledged);
  EXPECT_EQ(s.storage.files[kDatChk], DatChk(acknowledged));
  EXPECT_EQ(s.storage.writes, std::vector<std::string>{kDatChk});
}

TEST_F(PersistenceWriters, EveryFwRevCnfChkWriterLeavesTheGeneratorsBytes) {
  ScmGen::FwRevCnf expected = Bound(FwContent());
  // password
  u8 password[16];
  for (int i = 0; i < 16; ++i) password[i] = static_cast<u8>(~('A' + i)), expected.password[i] = static_cast<uint8_t>('A' + i);
  s.persistence->SetInvertedPassword(password);
  EXPECT_EQ(s.storage.files[kFwChk], ScmGen::FwRevCnfChkBin(expected));
  // setup mode
  s.persistence->SetSetupModeActive(true);
  expected.flags |= 0x10;
  EXPECT_EQ(s.storage.files[kFwChk], ScmGen::FwRevCnfChkBin(expected));
  // minor revisions, written by the firmware checker through the writer; the other part stays
  auto& writer = s.persistence->GetAcknowledgedInvertedMinorRevisionWriter();
  writer.Open();
  writer.WriteNext(2, static_cast<u16>(~0x0105));
  writer.WriteNext(8, static_cast<u16>(~0x0001));
  writer.Close();
  s.persistence->WriteAcknowledgedInvertedMinorRevisions();
  expected.entries = {{2, 0x0105}, {8, 0x0001}};
  EXPECT_EQ(s.storage.files[kFwChk], ScmGen::FwRevCnfChkBin(expected));
  EXPECT_EQ(s.storage.writes, (std::vector<std::string>{kFwChk, kFwChk, kFwChk}));
  EXPECT_TRUE(s.persistence->IsSetupModeActive());
}

TEST_F(PersistenceWriters, AFailedUdidRequestKeepsTheStoredUdidAndNoPasswordIsSixteenZeros) {
  ScmGen::Domain d = InstalledDomain();
  d.fwRevCnf->flags = 0x01;  // neither controller UDID nor password stored
  d.fwRevCnf->qorUdid = {};
  d.fwRevCnf->password = {};
  Host answers;
  answers.udidResult = -1;
  InstallHost(answers);
  Subject fresh;
  fresh.storage.files = InstalledFiles(InstalledDomain());
  fresh.storage.files[kFw] = ScmGen::FwRevCnfBin(*d.fwRevCnf);
  fresh.storage.files[kFwChk] = ScmGen::FwRevCnfChkBin(*d.fwRevCnf);
  host.flash = fresh.storage.files[kUid];
  ASSERT_TRUE(fresh.persistence->TryInitialize());
  EXPECT_FALSE(fresh.persistence->HasPassword());
  fresh.persistence->SetSetupModeActive(false);
  ScmGen::FwRevCnf expected = *d.fwRevCnf;
  expected.flags = 0x05;  // CPU id and the "no password" of 16 zero bytes, no UDID
  expected.qorUdid = {};  // the stored bytes stay as read: nothing new from the host
  Bytes file = ScmGen::FwRevCnfChkBin(expected);
  EXPECT_EQ(fresh.storage.files[kFwChk], file);
  EXPECT_FALSE(fresh.persistence->HasPassword()) << "16 zero bytes are no password";
  u8 any[16] = {1, 2, 3};
  EXPECT_TRUE(fresh.persistence->IsValidInvertedPassword(any));
}

TEST_F(PersistenceWriters, KeyMediumEmptyFlagIsTheOneTakenAtStartUp) {
  s.storage.files[kKel].clear();  // emptied on the storage after start-up
  s.persistence->SetSetupModeActive(false);
  ScmGen::FwRevCnf expected = Bound(FwContent());
  EXPECT_EQ(s.storage.files[kFwChk], ScmGen::FwRevCnfChkBin(expected));
}

TEST_F(PersistenceWriters, PasswordIsCheckedComplemented) {
  u8 good[16];
  for (int i = 0; i < 16; ++i) good[i] = static_cast<u8>(~('a' + i));
  EXPECT_TRUE(s.persistence->IsValidInvertedPassword(good));
  good[3] ^= 1;
  EXPECT_FALSE(s.persistence->IsValidInvertedPassword(good));
}

TEST_F(PersistenceWriters, ARestartOverTheFirmwaresFilesIsCleanAndDeliversTheAcknowledgedValues) {
  // Acknowledge: a UDID, a revision and a password.
  WriteUdids(*s.persistence, {{2, kDatEntries[0].udid}, {5, kDatEntries[1].udid}});
  auto& revisions = s.persistence->GetAcknowledgedInvertedMinorRevisionWriter();
  revisions.Open();
  revisions.WriteNext(2, static_cast<u16>(~0x0109));
  revisions.Close();
  s.persistence->WriteAcknowledgedInvertedMinorRevisions();
  // The firmware writes its plain files for the same values.
  ScmGen::FwRevCnf plain = Bound(FwContent());
  plain.entries = {{2, 0x0109}};
  s.storage.files[kFw] = ScmGen::FwRevCnfBin(plain);
  Subject restarted;
  restarted.storage.files = s.storage.files;
  EXPECT_TRUE(restarted.persistence->TryInitialize());
  EXPECT_TRUE(Log().empty());
  EXPECT_TRUE(restarted.persistence->IsAcknowledged());
  const Deliveries d = Deliver(*restarted.persistence);
  EXPECT_EQ(d.minorRevisions, (std::vector<std::pair<uint16_t, uint16_t>>{{2, static_cast<uint16_t>(~0x0109)}}));
  ASSERT_GE(d.acknowledgedUdids.size(), 2u);
  EXPECT_EQ(d.acknowledgedUdids[0].first, 2);
  EXPECT_EQ(d.acknowledgedUdids[1].first, 5);
}

TEST_F(PersistenceTest, SynchronizeWritesTheCopyOnlyWhenItIsEmpty) {
  Subject s;
  InstallDomain(s, InstalledDomain());
  s.storage.files.erase(kUidChk);
  EXPECT_FALSE(s.persistence->TryInitialize());  // 0xE213: pair deleted
  s.persistence->SynchronizeInitialSignatures();
  // Written from the now empty "corvane.uid": the complements of a zero UDID and time.
  EXPECT_EQ(s.storage.files[kUidChk], ScmGen::CorvaneUidChkFile({{}, 0}));
  Subject installed;
  installed.storage.files = InstalledFiles(InstalledDomain());
  ASSERT_TRUE(installed.persistence->TryInitialize());
  installed.persistence->SynchronizeInitialSignatures();
  EXPECT_TRUE(installed.storage.writes.empty());
}

TEST_F(PersistenceTest, CommissionerTakesOnlyOneAsAutomaticFromTheNodeList) {
  struct Case {
    std::array<uint32_t, 3> settings;  ///< 0x210B/1-3: setup mode, automatic firmware, automatic key medium
    bool corvane;                      ///< automatic key-medium acknowledgement allowed
    bool firmware;                     ///< automatic firmware acknowledgement allowed
  };
  for (const Case c : {Case{{0, 1, 1}, true, true}, Case{{0, 2, 7}, false, false}, Case{{5, 1, 0}, false, true},
                       Case{{0, 0xFFFFFFFF, 1}, true, false}}) {
    SCOPED_TRACE(c.settings[1]);
    ScmGen::Domain d = InstalledDomain();
    d.scm.commissioning = c.settings;
    Subject s;
    InstallDomain(s, d);
    ASSERT_TRUE(s.persistence->TryInitialize());
    ASSERT_FALSE(s.persistence->IsSetupModeActive()) << "the key medium was not empty";
    const Main::CDefaultCommissioner commissioner(*s.persistence, s.persistence->GetInvertedCommissioningFlagReader());
    EXPECT_EQ(commissioner.CanAutomaticallyAcknowledgeCorvane(), c.corvane);
    EXPECT_EQ(commissioner.CanAutomaticallyAcknowledgeFirmware(), c.firmware);
    EXPECT_FALSE(commissioner.CanAutomaticallyAcknowledgeUdids());
  }
}

TEST_F(PersistenceTest, MisusesAreInternalErrors) {
  InstallHost(Host{});
  Subject s;
  u8 password[16] = {};
  const std::vector<std::pair<const char*, std::function<void()>>> before = {
      {"Acknowledge", [&] { s.persistence->Acknowledge(); }},
      {"IsSetupModeActive", [&] { s.persistence->IsSetupModeActive(); }},
      {"SetSetupModeActive", [&] { s.persistence->SetSetupModeActive(true); }},
      {"HasPassword", [&] { s.persistence->HasPassword(); }},
      {"IsValidInvertedPassword", [&] { s.persistence->IsValidInvertedPassword(password); }},
      {"WriteAcknowledgedInvertedUdids", [&] { s.persistence->WriteAcknowledgedInvertedUdids(); }},
      {"WriteAcknowledgedInvertedMinorRevisions", [&] { s.persistence->WriteAcknowledgedInvertedMinorRevisions(); }},
  };
  auto code = [](const std::function<void()>& action) -> uint16_t {
    try {
      action();
    } catch (const CException& e) {
      return e.GetCode();
    }
    return 0;
  };
  for (const auto& [name, action] : before) {
    EXPECT_EQ(code(action), ErrorCodes::ms_InternalError) << name;
  }
  EXPECT_FALSE(s.persistence->IsAcknowledged());
  s.persistence->TryInitialize();
  EXPECT_EQ(code([&] { s.persistence->TryInitialize(); }), ErrorCodes::ms_InternalError);
  EXPECT_EQ(code([&] { s.persistence->IsValidInvertedPassword(nullptr); }), ErrorCodes::ms_InternalError);
  EXPECT_EQ(code([&] { s.persistence->SetInvertedPassword(nullptr); }), ErrorCodes::ms_InternalError);
  s.persistence->Acknowledge();
  EXPECT_TRUE(s.persistence->IsAcknowledged());
}

}  // namespace
