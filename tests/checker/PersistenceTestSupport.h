// Doubles for the persistence's unit tests: an in-memory file storage with
// injectable failures, a substitute host for the controller calls, a recording
// log and the generated files of one installed domain.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CDefaultPersistence.h"
#include "CFileStorage.h"
#include "PersistenceDomain.h"
#include "ScmGen.h"

namespace PersistenceTest {

using Bytes = std::vector<uint8_t>;

/// The storage as a map of names to bytes; an absent name reads as empty.
class MemoryStorage : public Main::CFileStorage {
 public:
  u32 GetLength(const char* name) const override;
  u32 Read(const char* name, u32 capacity, u8* buffer) const override;
  void Write(const char* name, u32 length, const u8* data) const override;
  void Delete(const char* name) const override;

  mutable std::map<std::string, Bytes> files;  ///< the stored files
  bool busy = false;                           ///< every open is refused (0xE231)
  mutable std::vector<std::string> writes;     ///< names written, in order
  mutable std::vector<std::string> deletes;    ///< names deleted, in order
};

/// What the substitute host answers.
struct Host {
  i32 flashResult = 18;                  ///< result of the flash-file read (-1 fails)
  Bytes flash;                           ///< bytes the read delivers
  i32 udidResult = 0;                    ///< result of the controller UDID request
  ScmGen::Udid udid{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};  ///< the running controller UDID
  u32 productCode = 0x00012345;          ///< CPU product code (0: the call fails)
  u32 serialNumber = 0x00C0FFEE;         ///< CPU serial number (0: the call fails)
  int udidCalls = 0;                     ///< controller UDID requests
};
extern Host host;
/// Installs the host and the test's domain number on the in-memory platform.
void InstallHost(const Host& answers);

/// One record of the recording log.
struct Record {
  uint8_t level;   ///< 3 error, 2 warning
  uint16_t code;   ///< error code
  uint16_t info0;  ///< first information field
  uint32_t info1;  ///< second information field
  bool operator==(const Record&) const = default;
};
/// Every record logged since the last ClearLog.
std::vector<Record>& Log();


/// What the persistence's streams deliver, each read once.
struct Deliveries {
  std::vector<uint16_t> requiredSadrs;                          ///< (2)
  std::vector<std::pair<uint16_t, Bytes>> acknowledgedUdids;    ///< (3), complemented
  std::vector<std::vector<uint32_t>> firmwareVersions;          ///< (5): SADR, vendor, product, high, low
  std::vector<std::pair<uint16_t, uint16_t>> minorRevisions;    ///< (6), complemented
  std::vector<std::pair<uint16_t, Bytes>> checksums;            ///< (7), complemented
  std::vector<std::pair<std::pair<uint16_t, uint8_t>, Bytes>> headers;  ///< (8), complemented
  std::vector<bool> commissioning;                              ///< (9), negated, empty when absent
  bool operator==(const Deliveries&) const = default;
};
/// Every stream read once; a build without commissioning has no stream (9) to read.
Deliveries Deliver(Main::CDefaultPersistence& persistence, bool commissioning = true);

}  // namespace PersistenceTest
