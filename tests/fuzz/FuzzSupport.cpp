#include "FuzzTarget.h"

namespace ScmFuzz {

void AppendField(Bytes& out, const Bytes& field) {
  const std::size_t n = field.size() < 0xFFFF ? field.size() : 0xFFFF;
  out.push_back(static_cast<std::uint8_t>(n));
  out.push_back(static_cast<std::uint8_t>(n >> 8));
  out.insert(out.end(), field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes Prefixed(std::uint8_t head, const Bytes& tail) {
  Bytes out;
  out.reserve(tail.size() + 1);
  out.push_back(head);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

}  // namespace ScmFuzz
