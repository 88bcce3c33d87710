// "fwrevcnf.bin", the acknowledged minor revisions and the authentification
// section (CPU id, controller UDID, password, key-medium and setup-mode flags).
#pragma once
#include "ScmTypes.h"

namespace Param {

class CFwRevCnfBin {
 public:
  static constexpr u16 ms_CountMax = 1023;      ///< most module entries
  static constexpr u16 ms_EntryLength = 4;      ///< bytes of one module entry
  static constexpr u16 ms_Version = 0x0101;     ///< version with the password field
  static constexpr u16 ms_EntryOffset = 8;      ///< offset of the first module entry
  static constexpr u16 ms_PretendedAuthentificationSectionLength = 8;  ///< first word of the second section
  static constexpr u16 ms_AuthentificationDataOffset = 4;  ///< second word of the second section
  static constexpr u32 ms_HeaderLength = 8;     ///< bytes before the entries
  static constexpr u32 ms_MinimumLength = 12;   ///< header and module CRC
  static constexpr u32 ms_AuthentificationLength = 41;  ///< second section with its CRC
  static constexpr u32 ms_AuthentificationCrcLength = 37;  ///< second section bytes under its CRC
  static constexpr u32 ms_FixedLength = 53;     ///< file length without entries
  static constexpr u32 ms_CpuIdLength = 8;      ///< bytes of the CPU id
  static constexpr u32 ms_PasswordLength = 16;  ///< password bytes without the terminating 0
  static constexpr u16 ms_FlagCpuId = 0x01;     ///< CPU id valid
  static constexpr u16 ms_FlagQorUdid = 0x02;   ///< controller UDID valid
  static constexpr u16 ms_FlagPassword = 0x04;  ///< password present
  static constexpr u16 ms_FlagCorvaneEmpty = 0x08;  ///< key medium was empty
  static constexpr u16 ms_FlagSetupMode = 0x10; ///< setup mode active
  static constexpr u16 ms_FlagsAll = 0x1F;      ///< every defined flag (the current build's flag set)
  static constexpr u16 ms_FlagsWithoutCommissioning = 0x07;  ///< the older build's flag set: no key-medium or setup flag

  /// Null buffer: 0xE200. flagSet: the flags the build's files carry (ms_FlagsAll
  /// or ms_FlagsWithoutCommissioning); any other bit read gives 0xE27D.
  CFwRevCnfBin(u32 capacity, u8* buffer, u16 flagSet = ms_FlagsAll);
  virtual ~CFwRevCnfBin() = default;

  /// Checks the first length bytes; 0 is the absent file (empty content).
  void ReadContent(u32 length);
  /// Hands out the module entries (at 8, 4 x count bytes); unread or in use: 0xE200.
  void StartReadingModuleSection(u32& length, const u8*& entries);
  /// Frees the module section; not held by a reader: 0xE200.
  void StopReadingModuleSection();
  bool HasCpuId() const;           ///< CPU id flag
  const u8* GetCpuId() const;      ///< 8 bytes, whatever the flag
  bool HasQorUdid() const;         ///< controller UDID flag
  const u8* GetQorUdid() const;    ///< 6 bytes, whatever the flag
  bool HasPassword() const;        ///< password flag
  const u8* GetPassword() const;   ///< 16 bytes, whatever the flag
  bool WasCorvaneEmpty() const;    ///< key medium was empty
  bool IsSetupModeActive() const;  ///< setup mode active

 protected:
  /// Sets the authentification of the absent file: flags clear, fields zero.
  virtual void InitializeEmptyAuthentification();
  /// Takes the CPU id at position.
  virtual void ReadCpuId(u32& position);
  /// Takes the controller UDID at position.
  virtual void ReadQorUdid(u32& position);
  /// Takes the password at position (16 bytes and the terminating 0).
  virtual void ReadPassword(u32& position);
  /// Throws 0xE200 before a good read.
  void CheckRead() const;

  u16 m_FlagSet;                    ///< the flags this build's file may carry
  u32 m_Capacity;                   ///< bytes in the buffer
  u8* m_Buffer;                     ///< the caller's buffer
  u32 m_ContentLength = 0;          ///< bytes of the file
  u32 m_EntriesLength = 0;          ///< 4 x count
  u8* m_Entries = nullptr;          ///< first module entry
  bool m_CpuIdValid = false;        ///< flag bit 0
  const u8* m_CpuId = nullptr;      ///< CPU id
  bool m_QorUdidValid = false;      ///< flag bit 1
  const u8* m_QorUdid = nullptr;    ///< controller UDID
  bool m_PasswordPresent = false;   ///< flag bit 2
  const u8* m_Password = nullptr;   ///< password
  bool m_CorvaneEmpty = false;      ///< flag bit 3
  bool m_SetupModeActive = false;   ///< flag bit 4
  bool m_ContentRead = false;       ///< a read succeeded
  bool m_SectionInUse = false;      ///< a stream holds the module section
  bool m_SectionWriting = false;    ///< the holder is a writer
};

}  // namespace Param
