#include "FwKeyFile.h"

#include "ParameterFileBuilders.h"

namespace FwTest {

std::vector<uint8_t> OneNodeKeyFile() {
  std::vector<TestFiles::Record> records =
      TestFiles::NodeRecords(0xC400, kOneNodeSadr, 0x0025C3E0, 0x1005, 0x00010000);
  records.push_back(TestFiles::U16Record(0xC400, 8, 12));
  return TestFiles::BuildKelParaSaf(TestFiles::Records(records));
}

}  // namespace FwTest
