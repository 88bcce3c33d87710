// "fwrevcnf.bin.chk", the checker's copy of "fwrevcnf.bin": the same layout
// with the minor revisions, the controller UDID, the CPU id and the password
// complemented; it keeps its own copies of the complemented values so that
// rewriting the module entries cannot overwrite them.
#pragma once
#include "CFwRevCnfBin.h"

namespace Param {

class CFwRevCnfBinChk : private CFwRevCnfBin {
 public:
  /// Capacity below 53: 0xE273; null buffer: 0xE200. flagSet as in CFwRevCnfBin.
  CFwRevCnfBinChk(u32 capacity, u8* buffer, u16 flagSet = ms_FlagsAll);

  /// The base's read; own copies from the file (0xFF bytes when absent), content unchanged.
  void ReadContent(u32 length);
  using CFwRevCnfBin::StartReadingModuleSection;
  using CFwRevCnfBin::StopReadingModuleSection;
  using CFwRevCnfBin::HasCpuId;
  using CFwRevCnfBin::HasQorUdid;
  using CFwRevCnfBin::HasPassword;
  using CFwRevCnfBin::WasCorvaneEmpty;
  using CFwRevCnfBin::IsSetupModeActive;
  using CFwRevCnfBin::ms_FlagsAll;
  using CFwRevCnfBin::ms_FlagsWithoutCommissioning;

  const u8* GetInvertedCpuId() const;     ///< own 8 complemented bytes; unread: 0xE200
  const u8* GetInvertedQorUdid() const;   ///< own 6 complemented bytes; unread: 0xE200
  const u8* GetInvertedPassword() const;  ///< own 16 complemented bytes; unread: 0xE200
  /// Stores 8 complemented bytes and sets the CPU id flag; null or unread: 0xE200.
  void SetInvertedCpuId(const u8* invertedCpuId);
  /// Stores 6 complemented bytes and sets the UDID flag; null or unread: 0xE200.
  void SetInvertedQorUdid(const u8* invertedUdid);
  /// Stores 16 complemented bytes and sets the password flag; null or unread: 0xE200.
  void SetInvertedPassword(const u8* invertedPassword);
  /// Sets the key-medium-was-empty flag; unread or not in the flag set: 0xE200.
  void SetCorvaneEmpty(bool empty);
  /// Sets the setup-mode flag; unread or not in the flag set: 0xE200.
  void SetSetupModeActive(bool active);
  /// Hands out the room for the module entries at 8; unread or in use: 0xE200.
  void StartWritingModuleSection(u32& room, u8*& entries);
  /// Ends writing with length bytes of entries; not writing, above the room, not whole
  /// entries or more than 1023 of them: 0xE200.
  void StopWritingModuleSection(u32 length);
  /// Writes both sections with their CRCs when the content changed.
  void WriteContent();
  /// Bytes of the file to store; unread: 0xE200.
  virtual u32 GetContentLength() const;

 private:
  void InitializeEmptyAuthentification() override;
  void ReadCpuId(u32& position) override;
  void ReadQorUdid(u32& position) override;
  void ReadPassword(u32& position) override;
  /// The setters' common start: unread or null: 0xE200.
  void CheckSetter(const u8* value) const;

  u8 m_InvertedCpuId[ms_CpuIdLength];        ///< own complemented CPU id
  u8 m_InvertedQorUdid[6];                   ///< own complemented controller UDID
  u8 m_InvertedPassword[ms_PasswordLength];  ///< own complemented password
  u32 m_Room = 0;                            ///< room handed out by the last StartWritingModuleSection
  bool m_ContentUnchanged = true;            ///< nothing to write
};

}  // namespace Param
