// The simulated host's storage: files in one directory, names compared
// without regard to case and kept in lower case on disk. A file opened for
// writing goes to a temporary file that replaces the target only when closed,
// so that a writer that never closes leaves the old content. After a short or
// refused write on a handle, its close either commits the partial file or
// discards it (the close fails and the old content stays), as configured.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ScmSim {

/// Storage directory with host-call semantics; not thread-safe (the host serialises calls).
class HostStorage {
 public:
  /// Most handles open at once.
  static constexpr size_t kMaxHandles = 64;
  /// The handle value never handed out (the callers' pseudo handle).
  static constexpr int32_t kPseudoHandle = 0xFAFE;

  /// Uses (and creates) directory dir.
  void Init(const std::string& dir);
  const std::string& Dir() const { return dir_; }

  /// Lower-case form of a name; none for a refused name (empty, '/', "..", NUL).
  static std::optional<std::string> Fold(const std::string& name);

  /// Opens name with mode 'r' or 'w': handle, or -1 with err set.
  int32_t Open(const std::string& name, uint32_t mode, uint32_t& err);
  /// Closes a handle; a 'w' handle replaces its target now.
  int32_t Close(int32_t handle, uint32_t& err);
  /// File length ('r') or bytes written so far ('w').
  int32_t Length(int32_t handle, uint32_t& err);
  /// Reads min(max, rest) bytes sequentially ('r' handles only).
  int32_t Read(int32_t handle, uint32_t max, std::vector<uint8_t>& out, uint32_t& err);
  /// Appends the bytes ('w' handles only).
  int32_t Write(int32_t handle, const uint8_t* data, uint32_t count, uint32_t& err);
  /// A short or refused write happened on a 'w' handle (unknown handles are ignored).
  void MarkDamaged(int32_t handle);
  /// What the close of a damaged handle does: true commits the partial file, false discards it.
  void SetCommitDamaged(bool commit) { commitDamaged_ = commit; }
  bool CommitDamaged() const { return commitDamaged_; }
  /// Drops every handle without replacing any target (reset, stop).
  void DiscardAll();

  /// Writes a whole file directly (control interface).
  bool Put(const std::string& name, const std::vector<uint8_t>& content);
  /// Reads a whole file directly; none when absent or refused.
  std::optional<std::vector<uint8_t>> Get(const std::string& name) const;

 private:
  struct Handle {
    bool write = false;        ///< opened with 'w'
    bool damaged = false;      ///< a write on it was short or refused
    int fd = -1;               ///< open file ('r': the target, 'w': the temporary)
    uint64_t pos = 0;          ///< next byte to read / bytes written
    std::string target;        ///< path of the target file
    std::string temp;          ///< path of the temporary file ('w')
  };
  std::string Path(const std::string& folded) const;
  Handle* Find(int32_t handle);

  std::string dir_;                    ///< the storage directory
  std::string tempDir_;                ///< where writers' temporary files live
  std::map<int32_t, Handle> handles_;  ///< open handles
  uint32_t tempSeq_ = 0;               ///< numbers temporary files
  bool commitDamaged_ = true;          ///< the close of a damaged handle commits (else discards)
};

}  // namespace ScmSim
