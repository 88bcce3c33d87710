#include "ParamDrivers.h"

#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "CAutoCnfBin.h"
#include "CAutoCnfBinUdidSectionUdidReader.h"
#include "CCorvaneDat.h"
#include "CCorvaneDatChk.h"
#include "CCorvaneDatChkInvertedUdidReader.h"
#include "CCorvaneDatChkInvertedUdidWriter.h"
#include "CCorvaneDatUdidReader.h"
#include "CCorvaneUid.h"
#include "CCorvaneUidChk.h"
#include "CException.h"
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinChk.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionReader.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionWriter.h"
#include "CFwRevCnfBinMinorRevisionReader.h"
#include "CInvertingParameterChecksumReader.h"
#include "CKelParaSaf.h"
#include "CKelParaSafScmSectionParameterReader.h"
#include "CParData1Bin.h"
#include "CParData1BinAdditionalParameterHeaderReader.h"
#include "CParameterAdditionalParameterHeaderReader.h"
#include "CParameterCommissioningFlagReader.h"
#include "CParameterConfigurationDataReader.h"
#include "CParameterFirmwareVersionReader.h"
#include "CParameterParameterChecksumReader.h"
#include "CParameterSafetyAddressReader.h"
#include "CParameterUdidReader.h"

namespace ParamDrivers {

namespace {

/// A violated invariant; carried out of a drive as its text.
struct Broken {
  std::string what;  ///< description
};

/// The codes one file class may throw, besides those of records and objects.
struct CodeRange {
  std::uint16_t first;  ///< lowest code of the file
  std::uint16_t last;   ///< highest code of the file
  std::uint16_t extra;  ///< one more code of the file, or 0
};

bool Allowed(const CodeRange& range, std::uint16_t code) {
  return (code >= range.first && code <= range.last) || code == range.extra || (code >= 0xE2AA && code <= 0xE2BC);
}

[[noreturn]] void Fail(const std::string& what) { throw Broken{what}; }

/// The input in a heap buffer of exactly max(size, minimum) bytes.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size, std::size_t minimum)
      : m_Size(size), m_Capacity(size > minimum ? size : minimum), m_Bytes(new std::uint8_t[m_Capacity]) {
    std::memset(m_Bytes.get(), 0, m_Capacity);
    if (size != 0) std::memcpy(m_Bytes.get(), data, size);
  }
  u8* Data() { return m_Bytes.get(); }
  u32 Size() const { return static_cast<u32>(m_Size); }
  u32 Capacity() const { return static_cast<u32>(m_Capacity); }
  /// Fails unless [pointer, pointer + length) lies inside the content.
  void CheckInside(const u8* pointer, std::size_t length, const char* what) const {
    const u8* begin = m_Bytes.get();
    if (pointer < begin || pointer > begin + m_Size || length > static_cast<std::size_t>(begin + m_Size - pointer)) {
      Fail(std::string(what) + " points outside the content");
    }
  }

 private:
  std::size_t m_Size;
  std::size_t m_Capacity;
  std::unique_ptr<std::uint8_t[]> m_Bytes;
};

/// Runs f; a CException must carry an allowed code. Returns true when f returned.
template <class F>
bool Try(const CodeRange& range, F&& f) {
  try {
    f();
    return true;
  } catch (const Util::CException& e) {
    if (!Allowed(range, e.GetCode())) {
      std::ostringstream text;
      text << std::hex << "code 0x" << e.GetCode() << " (0x" << e.GetInformation0() << ", 0x" << e.GetInformation1()
           << ")";
      Fail(text.str());
    }
    return false;
  }
}

/// Closes a stream after an error; 0xE200 means the stream closed itself.
template <class TStream>
void CloseAfterError(TStream& stream) {
  try {
    stream.Close();
  } catch (const Util::CException& e) {
    if (e.GetCode() != 0xE200) throw;
  }
}

/// Drains a stream: next(pointerOut) yields false at the end; pointers must rise.
template <class TStream, class FNext>
void Drain(const CodeRange& range, TStream& stream, std::size_t maxSteps, FNext&& next) {
  if (!Try(range, [&] { stream.Open(); })) Fail("Open of a free stream failed");
  const u8* last = nullptr;
  std::size_t steps = 0;
  bool more = true;
  const bool ok = Try(range, [&] {
    while (more) {
      const u8* pointer = nullptr;
      more = next(pointer);
      if (more) {
        if (pointer != nullptr && last != nullptr && pointer <= last) Fail("stream did not move forward");
        if (pointer != nullptr) last = pointer;
        if (++steps > maxSteps) Fail("stream did not end");
      }
    }
  });
  if (ok) {
    stream.Close();
  } else {
    CloseAfterError(stream);
  }
}

template <class F>
std::string Run(F&& f) {
  try {
    f();
  } catch (const Broken& b) {
    return b.what;
  } catch (const Util::CException& e) {
    std::ostringstream text;
    text << std::hex << "unexpected code 0x" << e.GetCode();
    return text.str();
  }
  return {};
}

constexpr CodeRange ms_KelCodes = {0xE253, 0xE25E, 0};
constexpr CodeRange ms_AutoCodes = {0xE283, 0xE2A5, 0};
constexpr CodeRange ms_ParCodes = {0xE2A8, 0xE2A8, 0xE2BC};
constexpr CodeRange ms_DatCodes = {0xE263, 0xE26E, 0};
constexpr CodeRange ms_UidCodes = {0xE24F, 0xE250, 0};
constexpr CodeRange ms_FwCodes = {0xE273, 0xE27E, 0};

}  // namespace

std::string DriveKelParaSaf(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, 0);
    Param::CKelParaSaf kel(input.Capacity(), input.Data());
    if (!Try(ms_KelCodes, [&] { kel.ReadContent(input.Size()); })) return;
    const std::size_t steps = size + 1;
    Param::CKelParaSafScmSectionParameterReader section(kel);
    Drain(ms_KelCodes, section, steps, [&](const u8*& p) {
      u16 index = 0;
      u8 sub = 0;
      u32 length = 0;
      const bool more = section.TryReadNext(index, sub, length, p);
      if (more) input.CheckInside(p, length, "record");
      return more;
    });
    Param::CParameterSafetyAddressReader sadrs(section);
    Drain(ms_KelCodes, sadrs, steps, [&](const u8*&) {
      u16 sadr = 0;
      return sadrs.TryReadNext(sadr);
    });
    Param::CParameterFirmwareVersionReader versions(section);
    Drain(ms_KelCodes, versions, steps, [&](const u8*&) {
      u16 sadr = 0, high = 0, low = 0;
      u32 vendor = 0, product = 0;
      return versions.TryReadNext(sadr, vendor, product, high, low);
    });
    Param::CParameterParameterChecksumReader checksums(section);
    Drain(ms_KelCodes, checksums, steps, [&](const u8*& p) {
      u16 sadr = 0;
      u32 length = 0;
      const bool more = checksums.TryReadNext(sadr, length, p);
      if (more) input.CheckInside(p, length, "checksum");
      return more;
    });
    Param::CInvertingParameterChecksumReader inverted(checksums);
    Drain(ms_KelCodes, inverted, steps, [&](const u8*&) {
      u16 sadr = 0;
      u32 length = 0;
      const u8* p = nullptr;
      return inverted.TryReadNext(sadr, length, p);
    });
    Param::CParameterUdidReader udids(section);
    Drain(ms_KelCodes, udids, steps, [&](const u8*& p) {
      u16 sadr = 0;
      const bool more = udids.TryReadNext(sadr, p);
      if (more) input.CheckInside(p, 6, "UDID");
      return more;
    });
    Param::CParameterAdditionalParameterHeaderReader headers(section);
    Drain(ms_KelCodes, headers, steps, [&](const u8*& p) {
      u16 sadr = 0;
      u8 number = 0;
      const bool more = headers.TryReadNext(sadr, number, p);
      if (more) input.CheckInside(p, 16, "header");
      return more;
    });
    Param::CParameterCommissioningFlagReader flags(section);
    Drain(ms_KelCodes, flags, 1, [&](const u8*&) {
      bool a = false, b = false, c = false;
      return flags.TryReadNext(a, b, c);
    });
    Param::CParameterConfigurationDataReader configuration(section);
    Drain(ms_KelCodes, configuration, 1, [&](const u8*&) {
      bool a = false;
      return configuration.TryReadNext(a);
    });
  });
}

std::string DriveAutoCnfBin(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, 0);
    Param::CAutoCnfBin file(input.Capacity(), input.Data());
    if (!Try(ms_AutoCodes, [&] { file.ReadContent(input.Size()); })) return;
    u16 length = 0;
    const u8* options = nullptr;
    file.GetRawMachineOptionSection(length, options);
    if (length != 0) input.CheckInside(options, length, "machine options");
    if (length != 0 && length != 76) Fail("machine option length");
    Param::CAutoCnfBinUdidSectionUdidReader udids(file);
    bool opened = false;
    if (!Try(ms_AutoCodes, [&] { udids.Open(); opened = true; })) return;
    const bool ok = Try(ms_AutoCodes, [&] {
      u16 sadr = 0;
      const u8* udid = nullptr;
      const u8* last = nullptr;
      std::size_t steps = 0;
      while (udids.TryReadNext(sadr, udid)) {
        input.CheckInside(udid, 6, "UDID");
        if (last != nullptr && udid <= last) Fail("stream did not move forward");
        last = udid;
        if (++steps > size) Fail("stream did not end");
      }
    });
    static_cast<void>(ok);
    if (opened) udids.Close();
  });
}

std::string DriveParData1Bin(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, 0);
    Param::CParData1Bin file(input.Capacity(), input.Data());
    if (!Try(ms_ParCodes, [&] { file.ReadContent(input.Size()); })) return;
    Param::CParData1BinAdditionalParameterHeaderReader headers(file);
    Drain(ms_ParCodes, headers, size + 1, [&](const u8*& p) {
      u16 sadr = 0;
      u8 number = 0;
      const bool more = headers.TryReadNext(sadr, number, p);
      if (more) input.CheckInside(p, 16, "header");
      return more;
    });
  });
}

namespace {
template <class TFile, class TReader>
void DrainUdids(Input& input, TFile& file, std::vector<std::pair<u16, std::vector<u8>>>* entries) {
  TReader reader(file);
  Drain(ms_DatCodes, reader, input.Size() + 1, [&](const u8*& p) {
    u16 sadr = 0;
    const bool more = reader.TryReadNext(sadr, p);
    if (more) {
      input.CheckInside(p, 6, "UDID");
      if (entries != nullptr) entries->emplace_back(sadr, std::vector<u8>(p, p + 6));
    }
    return more;
  });
}
}  // namespace

std::string DriveCorvaneDat(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, 0);
    Param::CCorvaneDat file(input.Capacity(), input.Data());
    if (!Try(ms_DatCodes, [&] { file.ReadContent(input.Size()); })) return;
    DrainUdids<Param::CCorvaneDat, Param::CCorvaneDatUdidReader>(input, file, nullptr);
  });
}

std::string DriveCorvaneDatChk(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, Param::CCorvaneDatChk::ms_CapacityMin);
    Param::CCorvaneDatChk file(input.Capacity(), input.Data());
    if (!Try(ms_DatCodes, [&] { file.ReadContent(input.Size()); })) return;
    std::vector<std::pair<u16, std::vector<u8>>> entries;
    DrainUdids<Param::CCorvaneDatChk, Param::CCorvaneDatChkInvertedUdidReader>(input, file, &entries);
    // Write what was read back: it must read again as the same entries, as far as they fit.
    Param::CCorvaneDatChkInvertedUdidWriter writer(file);
    writer.Open();
    std::size_t written = 0;
    for (const auto& e : entries) {
      if (!Try(ms_DatCodes, [&] { writer.WriteNext(e.first, e.second.data()); })) break;
      ++written;
    }
    writer.Close();
    file.WriteContent();
    if (file.GetContentLength() > input.Capacity()) Fail("written beyond the capacity");
    if (!Try(ms_DatCodes, [&] { file.ReadContent(file.GetContentLength()); })) Fail("written file refused");
    std::vector<std::pair<u16, std::vector<u8>>> again;
    DrainUdids<Param::CCorvaneDatChk, Param::CCorvaneDatChkInvertedUdidReader>(input, file, &again);
    entries.resize(written);
    if (again != entries) Fail("written entries differ");
  });
}

std::string DriveCorvaneUid(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, 0);
    Param::CCorvaneUid file(input.Capacity(), input.Data());
    if (!Try(ms_UidCodes, [&] { file.ReadContent(input.Size()); })) return;
    if (size != 0) input.CheckInside(file.GetQorUdid(), 6, "UDID");
    static_cast<void>(file.GetTimestamp());
  });
}

std::string DriveCorvaneUidChk(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, Param::CCorvaneUid::ms_RecordLength);
    Param::CCorvaneUidChk file(input.Capacity(), input.Data());
    if (!Try(ms_UidCodes, [&] { file.ReadContent(input.Size()); })) return;
    std::vector<u8> udid(file.GetInvertedQorUdid(), file.GetInvertedQorUdid() + 6);
    const u64 timestamp = file.GetInvertedTimestamp();
    file.SetInvertedQorUdid(udid.data());
    file.SetInvertedTimestamp(timestamp);
    file.WriteContent();
    if (!Try(ms_UidCodes, [&] { file.ReadContent(file.GetContentLength()); })) Fail("written file refused");
    if (std::vector<u8>(file.GetInvertedQorUdid(), file.GetInvertedQorUdid() + 6) != udid ||
        file.GetInvertedTimestamp() != timestamp) {
      Fail("written values differ");
    }
  });
}

namespace {
template <class TFile, class TReader>
void DrainRevisions(Input& input, TFile& file, std::vector<std::pair<u16, u16>>* entries) {
  TReader reader(file);
  Drain(ms_FwCodes, reader, input.Size() / 4 + 1, [&](const u8*&) {
    u16 sadr = 0;
    u16 revision = 0;
    const bool more = reader.TryReadNext(sadr, revision);
    if (more && entries != nullptr) entries->emplace_back(sadr, revision);
    return more;
  });
}
}  // namespace

std::string DriveFwRevCnfBin(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, 0);
    Param::CFwRevCnfBin file(input.Capacity(), input.Data());
    if (!Try(ms_FwCodes, [&] { file.ReadContent(input.Size()); })) return;
    if (size != 0) {
      input.CheckInside(file.GetCpuId(), 8, "CPU id");
      input.CheckInside(file.GetQorUdid(), 6, "UDID");
      input.CheckInside(file.GetPassword(), 17, "password");
    }
    DrainRevisions<Param::CFwRevCnfBin, Param::CFwRevCnfBinMinorRevisionReader>(input, file, nullptr);
  });
}

std::string DriveFwRevCnfBinChk(const std::uint8_t* data, std::size_t size) {
  return Run([&] {
    Input input(data, size, Param::CFwRevCnfBin::ms_FixedLength);
    Param::CFwRevCnfBinChk file(input.Capacity(), input.Data());
    if (!Try(ms_FwCodes, [&] { file.ReadContent(input.Size()); })) return;
    std::vector<std::pair<u16, u16>> entries;
    DrainRevisions<Param::CFwRevCnfBinChk, Param::CFwRevCnfBinChkInvertedMinorRevisionReader>(input, file, &entries);
    const std::vector<u8> password(file.GetInvertedPassword(), file.GetInvertedPassword() + 16);
    Param::CFwRevCnfBinChkInvertedMinorRevisionWriter writer(file);
    writer.Open();
    for (const auto& e : entries) writer.WriteNext(e.first, e.second);
    writer.Close();
    file.WriteContent();
    if (file.GetContentLength() > input.Capacity()) Fail("written beyond the capacity");
    if (!Try(ms_FwCodes, [&] { file.ReadContent(file.GetContentLength()); })) Fail("written file refused");
    std::vector<std::pair<u16, u16>> again;
    DrainRevisions<Param::CFwRevCnfBinChk, Param::CFwRevCnfBinChkInvertedMinorRevisionReader>(input, file, &again);
    if (again != entries) Fail("written entries differ");
    if (std::vector<u8>(file.GetInvertedPassword(), file.GetInvertedPassword() + 16) != password) {
      Fail("written password differs");
    }
  });
}

}  // namespace ParamDrivers
