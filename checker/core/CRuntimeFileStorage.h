// File storage through the host runtime's storage system calls: each operation
// opens, works and closes the file in one call, closing it on every path. A
// file the host reports missing reads as empty (length 0).
#pragma once
#include "CFileStorage.h"

namespace Main {

class CRuntimeFileStorage : public CFileStorage {
 public:
  static constexpr char ms_ReadMode = 'r';   ///< open mode for reading (114)
  static constexpr char ms_WriteMode = 'w';  ///< open mode for writing, replacing the content (119)

  CRuntimeFileStorage() = default;
  ~CRuntimeFileStorage() override = default;

  u32 GetLength(const char* name) const override;
  u32 Read(const char* name, u32 capacity, u8* buffer) const override;
  void Write(const char* name, u32 length, const u8* data) const override;
  void Delete(const char* name) const override;

 private:
  /// Opens the file; -1 throws 0xE231 with the mode.
  static i32 Open(const char* name, char mode);
  /// Opens the file for reading; false when the host reports it missing (an absent file
  /// reads as empty), any other refusal (busy included) throws 0xE231 with 'r'.
  static bool TryOpenForReading(const char* name, i32& handle);
  /// Closes the file; a failure throws 0xE235.
  static void Close(i32 handle);
  /// Closes the file after another failure, whose error is the one that goes on.
  static void CloseQuietly(i32 handle);
  /// The file's length; -1 closes it and throws 0xE232.
  static u32 QueryLength(i32 handle);
};

}  // namespace Main
