// Any command of no decoded kind; only forwarded.
#pragma once
#include "CDecodedCommand.h"

namespace Hmi {

class CDecodedUnknownCommand : public CDecodedCommand {
 public:
  CDecodedUnknownCommand();
  ~CDecodedUnknownCommand() override;

  /// Does nothing.
  void Accept(CDecodedCommandVisitor& visitor) const override;
};

}  // namespace Hmi
