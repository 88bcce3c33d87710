#include "Id.h"

namespace Frame {
namespace Id {

namespace {
/// The group field: bits 3..5 of the id.
u8 Group(u8 id) { return static_cast<u8>((id >> 3) & 7); }
constexpr u8 kSnmtGroup = 5;  ///< group of SNMT ids
constexpr u8 kSpdoGroup = 6;  ///< group of SPDO ids
constexpr u8 kSsdoGroup = 7;  ///< group of SSDO ids
constexpr u8 kSlimRequest = 0x3A;   ///< slim SSDO request
constexpr u8 kSlimResponse = 0x3B;  ///< slim SSDO response
}  // namespace

bool IsSnmt(u8 id) { return Group(id) == kSnmtGroup; }

bool IsSpdo(u8 id) { return Group(id) == kSpdoGroup; }

bool IsSsdo(u8 id) { return Group(id) == kSsdoGroup; }

bool IsSlim(u8 id) { return id == kSlimRequest || id == kSlimResponse; }

bool IsBasic(u8 id) { return !IsSlim(id); }

}  // namespace Id
}  // namespace Frame
