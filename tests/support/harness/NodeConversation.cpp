#include "NodeConversation.h"

#include <gtest/gtest.h>

#include "ScmGenBuild.h"

namespace ScmTest {

namespace {

std::map<std::string, Bytes> InstalledFiles(const ScmGen::Domain& domain, Bytes& flash) {
  const ScmGen::Domain installed = ScmGen::WithAcknowledgedFirmware(domain, ScmSim::HostConfig{}.qorUdid);
  const ScmGen::Result generated = ScmGen::Generate(installed);
  EXPECT_TRUE(generated.error.empty()) << generated.error;
  const ScmGen::InstalledState state = ScmGen::Install(installed, ScmSim::HostConfig{}.qorUdid);
  std::map<std::string, Bytes> files = {{ScmGen::kKelParaSafName, generated.files.kelParaSaf},
                                        {ScmGen::kCorvaneDatName, generated.files.corvaneDat},
                                        {ScmGen::kCorvaneUidName, state.corvaneUid},
                                        {ScmGen::kCorvaneUidChkName, state.corvaneUidChk},
                                        {ScmGen::kCorvaneDatChkName, state.corvaneDatChk}};
  if (generated.files.parData1) files[ScmGen::kParData1Name] = *generated.files.parData1;
  if (generated.files.autoCnf) files[ScmGen::kAutoCnfName] = *generated.files.autoCnf;
  if (generated.files.fwRevCnf) files[ScmGen::kFwRevCnfName] = *generated.files.fwRevCnf;
  if (state.fwRevCnfChk) files[ScmGen::kFwRevCnfChkName] = *state.fwRevCnfChk;
  flash = state.flash;
  return files;
}

}  // namespace

CheckerHarnessOptions InstalledDomainOptions(const ScmGen::Domain& domain) {
  CheckerHarnessOptions options;
  Bytes flash;
  options.storage = InstalledFiles(domain, flash);
  options.flash = flash;
  if (domain.sdn) {
    options.sdn = *domain.sdn;
    options.domainVariable = std::to_string(*domain.sdn);
  }
  return options;
}

CheckerHarnessOptions UnacknowledgedKeyMediumOptions(const ScmGen::Domain& domain) {
  CheckerHarnessOptions options = InstalledDomainOptions(domain);
  ScmGen::CorvaneUid other{{0x02, 0x5C, 0x3E, 0x77, 0x77, 0x77}, 0x000F000000000001ull};
  options.flash = ScmGen::CorvaneUidFile(other);
  return options;
}

NodeConversation::NodeConversation(const CheckerHarnessOptions& options, const ConversationFrames& frames)
    : m_Harness(std::make_unique<CheckerHarness>(options)), m_Frames(frames) {
  m_Harness->Start();
  if (!m_Harness->Handshake() || !m_Harness->TakeCycle()) {
    ADD_FAILURE() << "the checker did not start";
    return;
  }
  if (!FirmwareSends(m_Frames.AssignScmUdid())) {
    ADD_FAILURE() << "the SCM UDID assignment did not pass";
    return;
  }
  m_Started = true;
}

bool NodeConversation::NextCycle() {
  m_Harness->GiveCycle();
  return m_Harness->TakeCycle();
}

bool NodeConversation::FirmwareSends(const FrameSpec& frame) {
  const Bytes bytes = TestFrames::BuildFrame(frame);
  if (!m_Harness->FirmwareSend("frame-receive", bytes) || !NextCycle()) {
    return false;
  }
  return m_Harness->HostCollect("frame-receive") == std::vector<Bytes>{bytes};
}

bool NodeConversation::NodeAnswers(const FrameSpec& frame) {
  const Bytes bytes = TestFrames::BuildFrame(frame);
  if (!m_Harness->HostSend("frame-send", bytes) || !NextCycle()) {
    return false;
  }
  return m_Harness->FirmwareCollect("frame-send") == std::vector<Bytes>{bytes};
}

Bytes NodeConversation::StatusThrough(const Bytes& status) {
  if (!m_Harness->FirmwareSend("status", status) || !NextCycle()) {
    return {};
  }
  const std::vector<Bytes> responses = m_Harness->HostCollect("status");
  return responses.size() == 1 ? responses[0] : Bytes{};
}

}  // namespace ScmTest
