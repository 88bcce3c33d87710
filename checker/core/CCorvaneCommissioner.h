// Policy: may the key medium be acknowledged now, by the operator or by the firmware itself?
#pragma once

namespace Main {

class CCorvaneCommissioner {
 public:
  virtual ~CCorvaneCommissioner() = default;

  /// An operator command may acknowledge the key medium.
  virtual bool CanManuallyAcknowledgeCorvane() const = 0;
  /// The firmware's acknowledgement event may acknowledge the key medium.
  virtual bool CanAutomaticallyAcknowledgeCorvane() const = 0;
};

}  // namespace Main
