// Fixture of the operator-order tests: a commissioned domain of two nodes
// (SADR 5 revision 3, SADR 9) whose files are on the fake host, the
// application initialised, remote control on with a password, start-up over.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "AppFixture.h"

namespace FwTest {

/// The password the fixture sets.
inline constexpr std::array<uint8_t, 16> kOrderSecret = {'s', 'e', 'c', 'r', 'e', 't'};
/// The new password a password change carries.
inline constexpr std::array<uint8_t, 16> kOrderNewPassword = {'n', 'e', 'w'};
/// The running Qor-controller UDID, which the installed files accept.
inline constexpr uint8_t kOrderQorUdid[6] = {0x00, 0x60, 0x65, 0x01, 0x02, 0x03};

/// An enter command (identifier 0x0102, echo 0x0077) with the fixture's password; a password change
/// carries kOrderNewPassword.
std::vector<uint8_t> EnterOrder(uint16_t code);
/// The result word of an answer.
uint16_t ResultOf(const std::vector<uint8_t>& answer);

class OrderFixture : public AppFixture {
 protected:
  /// The domain's object list and files, the target id read.
  void SetUp() override;
  /// Initialises the application (setup mode switched by its initialisation, not yet run), remote
  /// control on with kOrderSecret, the confirmation idle, start-up and scan over.
  void Initialise();
  /// Sends an enter command; its result word.
  uint16_t Order(uint16_t code) { return ResultOf(AnswerTo(EnterOrder(code))); }
};

}  // namespace FwTest
