#include "CException.h"

namespace Util {

CException::CException(std::uint16_t code) : CException(code, 0, 0) {}

CException::CException(std::uint16_t code, std::uint32_t information1)
    : CException(code, 0, information1) {}

CException::CException(std::uint16_t code, std::uint16_t information0, std::uint32_t information1)
    : m_Code(code), m_Information0(information0), m_Information1(information1) {}

CException::~CException() = default;

}  // namespace Util
