// Receiver of decoded responses by double dispatch, with writable references
// so that it may mark the response; every operation is empty by default. The
// operation order is fixed.
#pragma once

namespace Hmi {

class CDecodedStatus;
class CDecodedStatusNew;

class CDecodedResponseVisitor {
 public:
  virtual ~CDecodedResponseVisitor() = default;

  virtual void VisitStatus(CDecodedStatus& /*response*/) {}
  virtual void VisitStatusNew(CDecodedStatusNew& /*response*/) {}
};

}  // namespace Hmi
