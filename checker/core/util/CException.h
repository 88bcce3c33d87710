// The checker's single error type: every failure is thrown as a CException by
// value and caught by reference.
#pragma once
#include <cstdint>

namespace Util {

class CException {
 public:
  /// Code only; both information fields 0.
  explicit CException(std::uint16_t code);
  /// Code and information1; information0 = 0.
  CException(std::uint16_t code, std::uint32_t information1);
  /// All three fields.
  CException(std::uint16_t code, std::uint16_t information0, std::uint32_t information1);
  virtual ~CException();

  std::uint16_t GetCode() const { return m_Code; }
  std::uint16_t GetInformation0() const { return m_Information0; }
  std::uint32_t GetInformation1() const { return m_Information1; }

  /// Pass the three fields to ScmLogError / ScmLogWarning (defined by the logging module).
  static void LogError(const CException& exception);
  static void LogWarning(const CException& exception);

 private:
  std::uint16_t m_Code;          ///< one of the codes of ErrorCodes.h
  std::uint16_t m_Information0;  ///< first information field
  std::uint32_t m_Information1;  ///< second information field
};

}  // namespace Util
