// Access to named files on the host's storage, read and written whole.
#pragma once
#include "ScmTypes.h"

namespace Main {

class CFileStorage {
 public:
  virtual ~CFileStorage() = default;

  /// Length of the stored file in bytes.
  virtual u32 GetLength(const char* name) const = 0;
  /// Reads the whole file into buffer (at most capacity bytes) and returns its length.
  virtual u32 Read(const char* name, u32 capacity, u8* buffer) const = 0;
  /// Replaces the file's content with length bytes of data.
  virtual void Write(const char* name, u32 length, const u8* data) const = 0;
  /// Leaves the file empty (the name stays on the storage).
  virtual void Delete(const char* name) const = 0;
};

}  // namespace Main
