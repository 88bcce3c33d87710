#include "AppFixture.h"

#include <cstring>

#include "EPSinit.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "SAPL.h"
#include "ScmFirmwareIdent.h"

namespace FwTest {

std::vector<uint8_t> SadrArray(const std::vector<uint16_t>& sadrs) {
  std::vector<uint8_t> a(MFWQZ_kSadrSetBytes, 0);
  for (uint16_t s : sadrs) {
    a[s / 8] = static_cast<uint8_t>(a[s / 8] | (1u << (s % 8)));
  }
  return a;
}

void AppFixture::SetUp() {
  FwFixture::SetUp();
  savedOd_ = SAPL_ps_OD;
  savedVirt_ = SAPL_ps_SOD_VIRT;
}

std::array<uint8_t, 8> AppFixture::HostTargetId() const {
  std::array<uint8_t, 8> id{};
  for (int i = 0; i < 4; ++i) {
    id[i] = static_cast<uint8_t>(host.cpuProductCode >> (8 * i));
    id[4 + i] = static_cast<uint8_t>(host.cpuSerialNumber >> (8 * i));
  }
  return id;
}

void AppFixture::InstallFiles(const std::vector<TestFiles::RevisionEntry>& revisions, const TestFiles::Udid& qorUdid) {
  TestFiles::FwRevCnfContent content;
  content.entries = revisions;
  content.flags = 0x07;
  content.qorUdid = qorUdid;
  content.targetId = HostTargetId();
  host.files["FWREVCNF.BIN"] = TestFiles::BuildFwRevCnf(content);
  host.files["AUTOCNF.BIN"] = {};
  host.files["CORVANE.UID"] = TestFiles::BuildCorvaneUid(qorUdid, 0x000123456789ABCDull);
  host.flash = host.files["CORVANE.UID"];
}

void AppFixture::TearDown() {
  if (swapped_) {
    SAPL_ps_OD = savedOd_;
    SAPL_ps_SOD_VIRT = savedVirt_;
    (void)SOD_InitAddr();
    SOD_InitVirt();
  }
  // Nothing may keep pointing into this test's key file.
  const HNFstp_File none[HNFstp_kFileCount] = {};
  static const u8 s_aucUdid[6] = {1, 2, 3, 4, 5, 6};
  const HNFstp_Identity identity = {LdFwIdentStart, s_aucUdid};
  EPS_Init(none, &identity);
  FwFixture::TearDown();
}

void AppFixture::StartObjectList(const std::vector<TestFiles::Record>& records) {
  kel_ = TestFiles::BuildKelParaSaf(TestFiles::Records(records));
  HNFstp_File files[HNFstp_kFileCount] = {};
  files[0].pucData = kel_.data();
  files[0].ulSize = static_cast<u32>(kel_.size());
  static const u8 s_aucScmUdid[6] = {0x00, 0x60, 0x65, 0x00, 0x00, 0x02};
  const HNFstp_Identity identity = {LdFwIdentStart, s_aucScmUdid};
  EPS_Init(files, &identity);
  (void)TakeEvents();
}

void AppFixture::UseTable(const SOD_Entry* table) {
  swapped_ = true;
  SAPL_ps_OD = table;
  SAPL_ps_SOD_VIRT = nullptr;
  ASSERT_TRUE(SOD_InitAddr());
  SOD_InitVirt();
}

void AppFixture::Configure(const std::vector<uint16_t>& sadrs, uint32_t nodeState) {
  for (uint16_t s : sadrs) {
    MFWQZ_ModuleInfo[s].ulFlags |= MFWQZ_kFlagConfigured;
    MFWQZ_ModuleInfo[s].ulNodeState = nodeState;
  }
  for (uint32_t s = 0; s < MFWQZ_kModuleCount; ++s) {
    if ((MFWQZ_ModuleInfo[s].ulFlags & MFWQZ_kFlagConfigured) == 0) {
      MFWQZ_ModuleInfo[s].ulNodeState = 255;
    }
  }
  MFWQZ_gbLockPost = 0;
  MFWQZ_gbModuleFlagsStatus = 1;
}

void AppFixture::Report(uint16_t sadr, uint8_t oldStatus, uint8_t newStatus) {
  HNFcyc_gbCalledFromCyc = 1;
  SAPL_ScmNodeStatusChangedClbk(sadr, oldStatus, newStatus);
  HNFcyc_gbCalledFromCyc = 0;
}

}  // namespace FwTest
