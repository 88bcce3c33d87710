// One fuzz target = one input surface of a program. Each target source
// defines the two functions below; the same source is linked either into a
// libFuzzer executable (fuzz preset) or into a GoogleTest replay of its seeds
// and of the committed crash inputs (every other preset), so that a crash
// found once stays a test of the normal build.
#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace ScmFuzz {

using Bytes = std::vector<std::uint8_t>;

/// The inputs the target starts from, built by the project's own builders and generator.
std::vector<Bytes> Seeds();
/// Runs one input the way the program meets it; reports a broken promise through Finding.
void RunOne(const std::uint8_t* data, std::size_t size);

/// A promise the code under test broke on the current input.
class FindingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Reports a broken promise: aborts under libFuzzer (which then writes the
/// crash file), throws FindingError in the replay test.
[[noreturn]] void Finding(const std::string& what);

/// Finding(what) unless ok.
inline void Require(bool ok, const std::string& what) {
  if (!ok) Finding(what);
}

/// Splits an input into fields; reads past the end give zeros and empty spans.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : m_Data(data), m_Size(size) {}
  bool AtEnd() const { return m_Pos >= m_Size; }
  std::size_t Left() const { return m_Pos < m_Size ? m_Size - m_Pos : 0; }
  std::uint8_t U8() { return m_Pos < m_Size ? m_Data[m_Pos++] : 0; }
  std::uint16_t U16() {
    const std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | (U8() << 8));
  }
  /// The next n bytes (fewer at the end).
  Bytes Take(std::size_t n) {
    const std::size_t k = n < Left() ? n : Left();
    Bytes out(m_Data + m_Pos, m_Data + m_Pos + k);
    m_Pos += k;
    return out;
  }
  /// A field written by Field(): u16 length, then the bytes.
  Bytes Field() { return Take(U16()); }
  /// Everything left.
  Bytes Rest() { return Take(Left()); }

 private:
  const std::uint8_t* m_Data;  ///< the input
  std::size_t m_Size;          ///< its length in bytes
  std::size_t m_Pos = 0;       ///< next byte to read
};

/// The bytes of a message as a program hands them on: never a null pointer,
/// also for an empty message (the channels always pass their buffer).
inline std::uint8_t* Buffer(Bytes& bytes) {
  static std::uint8_t s_Empty = 0;
  return bytes.empty() ? &s_Empty : bytes.data();
}

/// A selector or flag byte followed by a message.
Bytes Prefixed(std::uint8_t head, const Bytes& tail);

/// Appends a field as InputReader::Field reads it (u16 length, bytes; cut at 65535).
void AppendField(Bytes& out, const Bytes& field);

}  // namespace ScmFuzz
