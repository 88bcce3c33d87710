// The parameter records of "kel_para.saf"'s SCM section, the stream on which
// the object readers stand.
#pragma once
#include "CByteArrayParameterReader.h"
#include "CKelParaSaf.h"
#include "CParameterReader.h"

namespace Param {

class CKelParaSafScmSectionParameterReader : public CParameterReader {
 public:
  explicit CKelParaSafScmSectionParameterReader(CKelParaSaf& file) : m_File(file) {}

  /// Takes the SCM section and opens the record codec on it.
  void Open() override;
  /// The codec's next record; its errors pass through with the section still held.
  bool TryReadNext(u16& index, u8& subIndex, u32& length, const u8*& data) override;
  /// Closes the codec and frees the section.
  void Close() override;

 private:
  CKelParaSaf& m_File;                 ///< the file whose section is streamed
  CByteArrayParameterReader m_Records; ///< the record codec over the section
};

}  // namespace Param
