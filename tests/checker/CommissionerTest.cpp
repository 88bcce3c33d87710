// The commissioner's six answers over the setup mode, the key-medium
// acknowledgement and the commissioning settings; the settings reader is
// opened and closed once per automatic key-medium or firmware question outside
// setup mode and never otherwise, and its exceptions pass through.
#include <gtest/gtest.h>

#include <optional>

#include "CDefaultCommissioner.h"
#include "CException.h"
#include "CountingAllocator.h"

namespace {

/// Key-medium state as set by the test.
class FakeCorvane : public Main::CCorvane {
 public:
  void Acknowledge() override { acknowledged = true; }
  bool IsAcknowledged() const override { return acknowledged; }
  bool IsSetupModeActive() const override { return setupMode; }
  void SetSetupModeActive(bool active) override { setupMode = active; }
  bool acknowledged = false;  ///< IsAcknowledged
  bool setupMode = false;     ///< IsSetupModeActive
};

/// The negated commissioning settings, with its calls counted.
class FakeFlags : public Param::CInvertedCommissioningFlagReader {
 public:
  void Open() override { ++opens; }
  bool TryReadNext(bool& setupModeActive, bool& autoConfirmCorvane, bool& autoConfirmFirmware) override {
    if (fail) throw Util::CException(0xE2B4, 1, 8);
    if (!settings) return false;
    setupModeActive = !(*settings)[0];
    autoConfirmCorvane = !(*settings)[1];
    autoConfirmFirmware = !(*settings)[2];
    return true;
  }
  void Close() override { ++closes; }
  std::optional<std::array<bool, 3>> settings;  ///< plain setup, automatic key medium, automatic firmware; none = absent
  bool fail = false;                            ///< TryReadNext throws
  int opens = 0;                                ///< Open calls
  int closes = 0;                               ///< Close calls
};

/// The six answers in the order: manual key medium, automatic key medium, manual UDIDs,
/// automatic UDIDs, manual firmware, automatic firmware.
using Answers = std::array<bool, 6>;

Answers Ask(const Main::CDefaultCommissioner& c) {
  return {c.CanManuallyAcknowledgeCorvane(), c.CanAutomaticallyAcknowledgeCorvane(),
          c.CanManuallyAcknowledgeUdids(),   c.CanAutomaticallyAcknowledgeUdids(),
          c.CanManuallyAcknowledgeFirmware(), c.CanAutomaticallyAcknowledgeFirmware()};
}

struct Row {
  const char* name;                              ///< the situation
  bool setupMode;                                ///< setup mode active
  bool acknowledged;                             ///< key medium acknowledged
  std::optional<std::array<bool, 3>> settings;   ///< commissioning settings (plain)
  Answers answers;                               ///< the six answers
  int readerUses;                                ///< opens (= closes) for the six questions
};

TEST(CommissionerTest, SixAnswersTable) {
  using S = std::array<bool, 3>;
  const Row rows[] = {
      {"nothing: no settings", false, false, std::nullopt, {true, false, false, false, false, false}, 2},
      {"acknowledged, no settings", false, true, std::nullopt, {true, false, true, false, true, false}, 2},
      {"automatic key medium", false, false, S{false, true, false}, {true, true, false, false, false, false}, 2},
      {"automatic firmware", false, true, S{false, false, true}, {true, false, true, false, true, true}, 2},
      {"both automatic", false, false, S{false, true, true}, {true, true, false, false, false, true}, 2},
      {"settings say setup mode, the key medium does not", false, false, S{true, false, false},
       {true, false, false, false, false, false}, 2},
      {"setup mode, no settings", true, false, std::nullopt, {true, true, false, true, false, true}, 0},
      {"setup mode, acknowledged, settings off", true, true, S{false, false, false},
       {true, true, true, true, true, true}, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FakeCorvane corvane;
    corvane.setupMode = r.setupMode;
    corvane.acknowledged = r.acknowledged;
    FakeFlags flags;
    flags.settings = r.settings;
    const Main::CDefaultCommissioner commissioner(corvane, flags);
    EXPECT_EQ(Ask(commissioner), r.answers);
    EXPECT_EQ(flags.opens, r.readerUses);
    EXPECT_EQ(flags.closes, r.readerUses);
  }
}

TEST(CommissionerTest, ReaderExceptionPassesAndLeavesTheReaderOpen) {
  FakeCorvane corvane;
  FakeFlags flags;
  flags.fail = true;
  const Main::CDefaultCommissioner commissioner(corvane, flags);
  for (int question = 0; question < 2; ++question) {
    try {
      question == 0 ? commissioner.CanAutomaticallyAcknowledgeCorvane()
                    : commissioner.CanAutomaticallyAcknowledgeFirmware();
      ADD_FAILURE() << "no exception";
    } catch (const Util::CException& e) {
      EXPECT_EQ(e.GetCode(), 0xE2B4);
      EXPECT_EQ(e.GetInformation0(), 1);
      EXPECT_EQ(e.GetInformation1(), 8u);
    }
  }
  EXPECT_EQ(flags.opens, 2);
  EXPECT_EQ(flags.closes, 0);
}

TEST(CommissionerTest, AnswersAllocateNothing) {
  FakeCorvane corvane;
  FakeFlags flags;
  flags.settings = std::array<bool, 3>{false, true, true};
  const Main::CDefaultCommissioner commissioner(corvane, flags);
  const TestAlloc::CAllocationSpan span;
  for (int i = 0; i < 100; ++i) {
    static_cast<void>(Ask(commissioner));
  }
  EXPECT_EQ(span.Count(), 0);
}

}  // namespace
