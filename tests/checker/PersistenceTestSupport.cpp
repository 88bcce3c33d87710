#include "PersistenceTestSupport.h"

#include <cstring>

#include "CException.h"
#include "CheckerTestDomain.h"
#include "ErrorCodes.h"
#include "ScmGenBuild.h"
#include "ScmLog.h"
#include "ScmSystemCalls.h"
#include "rtp_mem_control.h"

// The recording log replaces the program's, which sends at most four records a process.
namespace {
std::vector<PersistenceTest::Record> records;
}
extern "C" void ScmLogError(u16 code, u16 information0, u32 information1) {
  records.push_back({3, code, information0, information1});
}
extern "C" void ScmLogWarning(u16 code, u16 information0, u32 information1) {
  records.push_back({2, code, information0, information1});
}
namespace Util {
void CException::LogError(const CException& e) { ScmLogError(e.GetCode(), e.GetInformation0(), e.GetInformation1()); }
void CException::LogWarning(const CException& e) {
  ScmLogWarning(e.GetCode(), e.GetInformation0(), e.GetInformation1());
}
}  // namespace Util

namespace PersistenceTest {

using Util::CException;
using Util::ErrorCodes;

Host host;

std::vector<Record>& Log() { return records; }

u32 MemoryStorage::GetLength(const char* name) const {
  if (busy) throw CException(ErrorCodes::ms_StorageOpenFailed, 'r');
  const auto it = files.find(name);
  return it == files.end() ? 0 : static_cast<u32>(it->second.size());
}

u32 MemoryStorage::Read(const char* name, u32 capacity, u8* buffer) const {
  const u32 length = GetLength(name);
  if (length > capacity) throw CException(ErrorCodes::ms_StorageFileTooLong, length);
  if (length != 0) std::memcpy(buffer, files.at(name).data(), length);
  return length;
}

void MemoryStorage::Write(const char* name, u32 length, const u8* data) const {
  if (busy) throw CException(ErrorCodes::ms_StorageOpenFailed, 'w');
  files[name] = Bytes(data, data + length);
  writes.push_back(name);
}

void MemoryStorage::Delete(const char* name) const {
  if (busy) throw CException(ErrorCodes::ms_StorageOpenFailed, 'w');
  files[name].clear();
  deletes.push_back(name);
}

void InstallHost(const Host& answers) {
  host = answers;
  records.clear();
  ScmMemReset();
  SetCheckerTestDomain(7);
  ScmMemSetSyscallHook([](const _Vx_usr_arg_t words[8], int number) -> _Vx_usr_arg_t {
    switch (number) {
      case SCM_SC_GET_CPU_PRODUCT_CODE:
        if (host.productCode == 0) return -1;
        *reinterpret_cast<u32*>(words[0]) = host.productCode;
        return 0;
      case SCM_SC_GET_CPU_SERIAL_NUMBER:
        if (host.serialNumber == 0) return -1;
        *reinterpret_cast<u32*>(words[0]) = host.serialNumber;
        return 0;
      case SCM_SC_REQUEST_QOR_UDID:
        ++host.udidCalls;
        if (host.udidResult != 0) return -1;
        std::memcpy(reinterpret_cast<void*>(words[1]), host.udid.data(), 6);
        return 0;
      case SCM_SC_READ_QOR_FLASH_FILE: {
        if (host.flashResult == -1) return -1;
        const size_t n = std::min(host.flash.size(), static_cast<size_t>(words[3]));
        if (n != 0) std::memcpy(reinterpret_cast<void*>(words[4]), host.flash.data(), n);
        *reinterpret_cast<u32*>(words[5]) = static_cast<u32>(host.flashResult);
        return 0;
      }
      default:
        return -1;
    }
  });
}

Deliveries Deliver(Main::CDefaultPersistence& p, bool commissioning) {
  Deliveries d;
  {
    auto& s = p.GetRequiredSafetyAddressReader();
    s.Open();
    u16 sadr = 0;
    while (s.TryReadNext(sadr)) d.requiredSadrs.push_back(sadr);
    s.Close();
  }
  {
    auto& s = p.GetAcknowledgedInvertedUdidReader();
    s.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (s.TryReadNext(sadr, udid)) d.acknowledgedUdids.push_back({sadr, Bytes(udid, udid + 6)});
    s.Close();
  }
  {
    auto& s = p.GetRequiredInvertedFirmwareVersionReader();
    s.Open();
    u16 sadr = 0, high = 0, low = 0;
    u32 vendor = 0, product = 0;
    while (s.TryReadNext(sadr, vendor, product, high, low)) d.firmwareVersions.push_back({sadr, vendor, product, high, low});
    s.Close();
  }
  {
    auto& s = p.GetAcknowledgedInvertedMinorRevisionReader();
    s.Open();
    u16 sadr = 0, revision = 0;
    while (s.TryReadNext(sadr, revision)) d.minorRevisions.push_back({sadr, revision});
    s.Close();
  }
  {
    auto& s = p.GetRequiredInvertedParameterChecksumReader();
    s.Open();
    u16 sadr = 0;
    u32 length = 0;
    const u8* checksum = nullptr;
    while (s.TryReadNext(sadr, length, checksum)) d.checksums.push_back({sadr, Bytes(checksum, checksum + length)});
    s.Close();
  }
  {
    auto& s = p.GetRequiredInvertedAdditionalParameterHeaderReader();
    s.Open();
    u16 sadr = 0;
    u8 number = 0;
    const u8* header = nullptr;
    while (s.TryReadNext(sadr, number, header)) d.headers.push_back({{sadr, number}, Bytes(header, header + 16)});
    s.Close();
  }
  if (commissioning) {
    auto& s = p.GetInvertedCommissioningFlagReader();
    s.Open();
    bool a = false, b = false, c = false;
    if (s.TryReadNext(a, b, c)) d.commissioning = {a, b, c};
    s.Close();
  }
  return d;
}

}  // namespace PersistenceTest
