// A sound SNMT or SSDO frame of no decoded kind; checked like every kind, but
// no visitor operation is called for it.
#pragma once
#include "CDecodedFrame.h"

namespace Frame {

class CDecodedUnknownFrame : public CDecodedFrame {
 public:
  CDecodedUnknownFrame();
  ~CDecodedUnknownFrame() override;

  /// Does nothing.
  void Accept(CDecodedFrameVisitor& visitor) const override;
};

}  // namespace Frame
