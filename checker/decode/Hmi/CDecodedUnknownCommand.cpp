#include "CDecodedUnknownCommand.h"

namespace Hmi {

CDecodedUnknownCommand::CDecodedUnknownCommand() = default;

CDecodedUnknownCommand::~CDecodedUnknownCommand() = default;

void CDecodedUnknownCommand::Accept(CDecodedCommandVisitor& /*visitor*/) const {}

}  // namespace Hmi
