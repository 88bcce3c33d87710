#include "OrderFixture.h"

#include <cstring>

#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "MessageBuilder.h"

namespace FwTest {

std::vector<uint8_t> EnterOrder(uint16_t code) {
  TestFrames::CommandSpec fields;
  fields.identifier = 0x0102;
  fields.echo = 0x0077;
  fields.code = code;
  fields.password = kOrderSecret;
  if (code == MFWQZ_kCodePassword) {
    fields.newPassword = kOrderNewPassword;
  }
  return TestFrames::BuildCommand(fields);
}

uint16_t ResultOf(const std::vector<uint8_t>& answer) {
  return static_cast<uint16_t>(answer.at(8) | (answer.at(9) << 8));
}

void OrderFixture::SetUp() {
  AppFixture::SetUp();
  std::vector<TestFiles::Record> r = TestFiles::NodeRecords(0xC400, 5, 0x0025C3E0, 0x1005, 0x00010003);
  const std::vector<TestFiles::Record> n9 = TestFiles::NodeRecords(0xC401, 9, 0x0025C3E0, 0x1005, 0x00010000);
  r.insert(r.end(), n9.begin(), n9.end());
  StartObjectList(r);
  TestFiles::Udid udid;
  std::memcpy(udid.data(), kOrderQorUdid, udid.size());
  InstallFiles({{5, 3}, {9, 0}}, udid);
  (void)MFWQZ_GetTargetId();
}

void OrderFixture::Initialise() {
  ASSERT_EQ(MFWQZ_Init(kOrderQorUdid, 0x0102), 0);
  ASSERT_EQ(MFWQZ_InitModuleInfo(), 0);
  MFWQZ_gbScanning = 0;
  MFWQZ_gbStartScan = 0;
  MFWQZ_gbStartUp = 0;
  MFWQZ_ulScansAtStartup = 0;
  MFWQZ_gbRemoteActive = 1;
  std::memcpy(MFWQZ_gaucPassword, kOrderSecret.data(), kOrderSecret.size());
  MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
  MFWQZ_Confirm.ulPrevious = MFWQZ_k_CNF_IDLE;
}

}  // namespace FwTest
