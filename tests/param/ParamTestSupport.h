// Helpers of the parameter-file library tests: exact-size buffers, catching
// the library's error type, and draining streams into plain vectors.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CException.h"
#include "FileBytes.h"

namespace ParamTest {

using TestFiles::Bytes;

/// A refusal as thrown: code and both information fields.
struct Refusal {
  std::uint16_t code;  ///< error code
  std::uint16_t i0;    ///< information0
  std::uint32_t i1;    ///< information1
  bool operator==(const Refusal&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Refusal& r) {
  return os << std::hex << "{0x" << r.code << ", 0x" << r.i0 << ", 0x" << r.i1 << "}" << std::dec;
}

/// Runs f and returns the CException it threw, if any.
template <class F>
std::optional<Refusal> CatchRefusal(F&& f) {
  try {
    f();
  } catch (const Util::CException& e) {
    return Refusal{e.GetCode(), e.GetInformation0(), e.GetInformation1()};
  }
  return std::nullopt;
}

/// Expects f to throw exactly (code, i0, i1).
#define EXPECT_REFUSAL(statement, code, i0, i1)                                                 \
  EXPECT_EQ(::ParamTest::CatchRefusal([&] { statement; }),                                      \
            std::optional<::ParamTest::Refusal>(::ParamTest::Refusal{static_cast<std::uint16_t>(code), \
                                                                     static_cast<std::uint16_t>(i0), \
                                                                     static_cast<std::uint32_t>(i1)}))

/// Expects f to throw the internal misuse error 0xE200.
#define EXPECT_MISUSE(statement)                                             \
  do {                                                                       \
    auto caught = ::ParamTest::CatchRefusal([&] { statement; });             \
    ASSERT_TRUE(caught.has_value()) << "no exception from " #statement;      \
    EXPECT_EQ(caught->code, 0xE200) << *caught;                              \
  } while (false)

/// A heap buffer of exactly capacity bytes (plus optional guard bytes behind it),
/// holding content at its start, so that the address sanitizer sees every overrun.
class FileBuffer {
 public:
  static constexpr std::uint8_t ms_Guard = 0xA5;  ///< value of the guard bytes

  explicit FileBuffer(const Bytes& content, std::size_t capacity = 0, std::size_t guard = 0)
      : m_Capacity(capacity > content.size() ? capacity : content.size()),
        m_Guard(guard),
        m_Bytes(new std::uint8_t[m_Capacity + m_Guard]) {
    std::memset(m_Bytes.get(), 0x5A, m_Capacity);
    std::memset(m_Bytes.get() + m_Capacity, ms_Guard, m_Guard);
    if (!content.empty()) {
      std::memcpy(m_Bytes.get(), content.data(), content.size());
    }
  }
  std::uint8_t* Data() { return m_Bytes.get(); }
  std::uint32_t Capacity() const { return static_cast<std::uint32_t>(m_Capacity); }
  /// The first length bytes.
  Bytes Content(std::uint32_t length) const { return Bytes(m_Bytes.get(), m_Bytes.get() + length); }
  /// True when every guard byte is untouched.
  bool GuardIntact() const {
    for (std::size_t i = 0; i < m_Guard; ++i) {
      if (m_Bytes[m_Capacity + i] != ms_Guard) {
        return false;
      }
    }
    return true;
  }

 private:
  std::size_t m_Capacity;                  ///< bytes handed to the file object
  std::size_t m_Guard;                     ///< guard bytes behind them
  std::unique_ptr<std::uint8_t[]> m_Bytes; ///< the storage
};

/// One row of a refusal table: a change to a good file and the refusal it must give.
struct MutationCase {
  const char* name;                    ///< what the row changes
  std::function<void(Bytes&)> mutate;  ///< the change
  bool refresh;                        ///< recompute the header CRC afterwards
  Refusal expected;                    ///< code and information of the refusal
};

/// Reads each mutation of good as a TFile in a buffer of exactly its length and
/// expects the row's refusal; refresh recomputes the header CRC where a row asks.
template <class TFile>
void ExpectRefusals(const Bytes& good, const std::vector<MutationCase>& cases,
                    const std::function<void(Bytes&)>& refresh = {}) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = good;
    c.mutate(file);
    if (c.refresh) refresh(file);
    FileBuffer buffer(file);
    TFile object(buffer.Capacity(), buffer.Data());
    EXPECT_EQ(CatchRefusal([&] { object.ReadContent(static_cast<std::uint32_t>(file.size())); }),
              std::optional<Refusal>(c.expected));
  }
}

/// 6 UDID bytes as a vector.
inline Bytes UdidBytes(const std::uint8_t* udid) { return Bytes(udid, udid + 6); }

}  // namespace ParamTest
