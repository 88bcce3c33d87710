#include "CDecodedUnknownFrame.h"

namespace Frame {

CDecodedUnknownFrame::CDecodedUnknownFrame() = default;

CDecodedUnknownFrame::~CDecodedUnknownFrame() = default;

void CDecodedUnknownFrame::Accept(CDecodedFrameVisitor& /*visitor*/) const {}

}  // namespace Frame
