// Shows with a counting allocator that reading, streaming and writing the
// files allocate nothing.
#include "ApplicationFileBuilders.h"
#include "CAppendingInvertedAdditionalParameterHeaderReader.h"
#include "CAutoCnfBin.h"
#include "CAutoCnfBinUdidSectionUdidReader.h"
#include "CComputedInvertedAdditionalParameterHeaderReader.h"
#include "CCorvaneDat.h"
#include "CCorvaneDatChk.h"
#include "CCorvaneDatChkInvertedUdidReader.h"
#include "CCorvaneDatChkInvertedUdidWriter.h"
#include "CCorvaneDatUdidReader.h"
#include "CCorvaneUid.h"
#include "CCorvaneUidChk.h"
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinChk.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionReader.h"
#include "CFwRevCnfBinChkInvertedMinorRevisionWriter.h"
#include "CFwRevCnfBinMinorRevisionReader.h"
#include "CInvertingAdditionalParameterHeaderReader.h"
#include "CInvertingFirmwareVersionReader.h"
#include "CInvertingUdidReader.h"
#include "CKelParaSaf.h"
#include "CKelParaSafScmSectionParameterReader.h"
#include "CMergingInvertedUdidReader.h"
#include "CountingAllocator.h"
#include "CParData1Bin.h"
#include "CParData1BinAdditionalParameterHeaderReader.h"
#include "CParameterAdditionalParameterHeaderReader.h"
#include "CParameterFirmwareVersionReader.h"
#include "ParamTestSupport.h"
#include "ParameterFileBuilders.h"


namespace {

using namespace ParamTest;
using namespace TestFiles;

TEST(Allocation, ReadingStreamingAndWritingAllocateNothing) {
  std::vector<Record> records = NodeRecords(0xC400, 5, 1, 2, 3);
  records.push_back({0xE405, 1, {1, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  FileBuffer kelBuffer(BuildKelParaSaf(Records(records)));
  FileBuffer autoBuffer(BuildAutoCnf({1, true, {{3, Udid{1, 2, 3, 4, 5, 6}}}, Bytes(64, 1), {}}));
  FileBuffer parBuffer(BuildParData1({{0, 2, Bytes(10, 1)}}));
  FileBuffer datBuffer(BuildCorvaneDat(CorvaneDatRecords({{1, Udid{1, 1, 1, 1, 1, 1}}})));
  FileBuffer chkBuffer({}, 0x10000);
  FileBuffer uidBuffer(BuildCorvaneUid(Udid{1, 2, 3, 4, 5, 6}, 9));
  FileBuffer uidChkBuffer({}, 256);
  FwRevCnfContent fw;
  fw.entries = {{1, 1}, {2, 2}};
  FileBuffer fwBuffer(BuildFwRevCnf(fw));
  FileBuffer fwChkBuffer({}, 0x10000);

  Param::CKelParaSaf kel(kelBuffer.Capacity(), kelBuffer.Data());
  Param::CKelParaSafScmSectionParameterReader section(kel);
  Param::CParameterFirmwareVersionReader versions(section);
  Param::CInvertingFirmwareVersionReader invertedVersions(versions);
  Param::CParameterAdditionalParameterHeaderReader kelHeaders(section);
  Param::CInvertingAdditionalParameterHeaderReader invertedKelHeaders(kelHeaders);
  Param::CAutoCnfBin autoCnf(autoBuffer.Capacity(), autoBuffer.Data());
  Param::CAutoCnfBinUdidSectionUdidReader autoUdids(autoCnf);
  Param::CInvertingUdidReader invertedAutoUdids(autoUdids);
  Param::CParData1Bin parData(parBuffer.Capacity(), parBuffer.Data());
  Param::CParData1BinAdditionalParameterHeaderReader parHeaders(parData);
  Param::CInvertingAdditionalParameterHeaderReader invertedParHeaders(parHeaders);
  Param::CComputedInvertedAdditionalParameterHeaderReader computed;
  Param::CAppendingInvertedAdditionalParameterHeaderReader headers(invertedKelHeaders, computed, invertedParHeaders);
  Param::CCorvaneDat dat(datBuffer.Capacity(), datBuffer.Data());
  Param::CCorvaneDatUdidReader datUdids(dat);
  Param::CCorvaneDatChk chk(chkBuffer.Capacity(), chkBuffer.Data());
  Param::CCorvaneDatChkInvertedUdidReader chkUdids(chk);
  Param::CCorvaneDatChkInvertedUdidWriter chkWriter(chk);
  Param::CMergingInvertedUdidReader merged(chkUdids, invertedAutoUdids);
  Param::CCorvaneUid uid(uidBuffer.Capacity(), uidBuffer.Data());
  Param::CCorvaneUidChk uidChk(uidChkBuffer.Capacity(), uidChkBuffer.Data());
  Param::CFwRevCnfBin fwRev(fwBuffer.Capacity(), fwBuffer.Data());
  Param::CFwRevCnfBinMinorRevisionReader fwReader(fwRev);
  Param::CFwRevCnfBinChk fwChk(fwChkBuffer.Capacity(), fwChkBuffer.Data());
  Param::CFwRevCnfBinChkInvertedMinorRevisionWriter fwWriter(fwChk);
  Param::CFwRevCnfBinChkInvertedMinorRevisionReader fwChkReader(fwChk);

  const long before = TestAlloc::AllocationCount();
  int entries = 0;
  kel.ReadContent(kelBuffer.Capacity());
  autoCnf.ReadContent(autoBuffer.Capacity());
  parData.ReadContent(parBuffer.Capacity());
  dat.ReadContent(datBuffer.Capacity());
  uid.ReadContent(uidBuffer.Capacity());
  uidChk.ReadContent(0);
  fwRev.ReadContent(fwBuffer.Capacity());
  fwChk.ReadContent(0);
  u16 sadr = 0, high = 0, low = 0, revision = 0;
  u32 vendor = 0, product = 0;
  u8 number = 0;
  const u8* pointer = nullptr;
  invertedVersions.Open();
  while (invertedVersions.TryReadNext(sadr, vendor, product, high, low)) ++entries;
  invertedVersions.Close();
  u16 optionLength = 0;
  const u8* options = nullptr;
  autoCnf.GetRawMachineOptionSection(optionLength, options);
  computed.SetAdditionalParameter(1, 2, autoCnf.GetTimestamp(), optionLength, options);
  headers.Open();
  while (headers.TryReadNext(sadr, number, pointer)) ++entries;
  headers.Close();
  datUdids.Open();
  chkWriter.Open();
  while (datUdids.TryReadNext(sadr, pointer)) {
    u8 inverted[6];
    for (int i = 0; i < 6; ++i) inverted[i] = static_cast<u8>(~pointer[i]);
    chkWriter.WriteNext(sadr, inverted);
    ++entries;
  }
  chkWriter.Close();
  datUdids.Close();
  chk.WriteContent();
  chk.ReadContent(chk.GetContentLength());
  merged.Open();
  while (merged.TryReadNext(sadr, pointer)) ++entries;
  merged.Close();
  uidChk.SetInvertedQorUdid(uid.GetQorUdid());
  uidChk.SetInvertedTimestamp(~uid.GetTimestamp());
  uidChk.WriteContent();
  fwReader.Open();
  fwWriter.Open();
  while (fwReader.TryReadNext(sadr, revision)) {
    fwWriter.WriteNext(sadr, static_cast<u16>(~revision));
    ++entries;
  }
  fwWriter.Close();
  fwReader.Close();
  fwChk.SetInvertedPassword(fwBuffer.Data());
  fwChk.WriteContent();
  fwChk.ReadContent(fwChk.GetContentLength());
  fwChkReader.Open();
  while (fwChkReader.TryReadNext(sadr, revision)) ++entries;
  fwChkReader.Close();
  const long after = TestAlloc::AllocationCount();

  EXPECT_EQ(after - before, 0);
  EXPECT_EQ(entries, 1 + 3 + 1 + 2 + 2 + 2);
}

}  // namespace
