#include "HostStorage.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hostcall_protocol.h"

namespace ScmSim {

using namespace ScmHostCall;

namespace {
/// Name of the folder inside the storage directory that holds writers' temporary files.
constexpr const char* kTempFolder = ".scmhost-tmp";
}  // namespace

void HostStorage::Init(const std::string& dir) {
  DiscardAll();
  dir_ = dir;
  tempDir_ = dir + "/" + kTempFolder;
  std::error_code ec;
  std::filesystem::create_directories(tempDir_, ec);
  if (ec) throw std::runtime_error("cannot create storage directory " + dir + ": " + ec.message());
}

std::optional<std::string> HostStorage::Fold(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos ||
      name.find('\0') != std::string::npos || name == kTempFolder) {
    return std::nullopt;
  }
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (folded == kTempFolder || folded == ".") return std::nullopt;
  return folded;
}

std::string HostStorage::Path(const std::string& folded) const { return dir_ + "/" + folded; }

HostStorage::Handle* HostStorage::Find(int32_t handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

int32_t HostStorage::Open(const std::string& name, uint32_t mode, uint32_t& err) {
  const std::optional<std::string> folded = Fold(name);
  if (!folded) {
    err = SCM_HOST_ERRNO_BAD_NAME;
    return -1;
  }
  if (mode != 'r' && mode != 'w') {
    err = SCM_HOST_ERRNO_BAD_ARGUMENT;
    return -1;
  }
  if (handles_.size() >= kMaxHandles) {
    err = SCM_HOST_ERRNO_NO_HANDLE;
    return -1;
  }
  Handle h;
  h.write = mode == 'w';
  h.target = Path(*folded);
  if (h.write) {
    h.temp = tempDir_ + "/" + std::to_string(++tempSeq_) + ".w";
    h.fd = ::open(h.temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } else {
    h.fd = ::open(h.target.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (h.fd >= 0 && (::fstat(h.fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      ::close(h.fd);
      h.fd = -1;
      errno = ENOENT;
    }
  }
  if (h.fd < 0) {
    err = errno == ENOENT ? SCM_HOST_ERRNO_NOT_FOUND : SCM_HOST_ERRNO_IO;
    return -1;
  }
  int32_t id = 1;
  while (handles_.count(id) != 0 || id == kPseudoHandle) ++id;
  handles_[id] = h;
  return id;
}

int32_t HostStorage::Close(int32_t handle, uint32_t& err) {
  Handle* h = Find(handle);
  if (h == nullptr) {
    err = SCM_HOST_ERRNO_BAD_HANDLE;
    return -1;
  }
  bool ok = ::close(h->fd) == 0;
  // A damaged write is thrown away when so configured: the close fails, the old file stays.
  if (h->write && h->damaged && !commitDamaged_) ok = false;
  if (h->write && ok) ok = ::rename(h->temp.c_str(), h->target.c_str()) == 0;
  if (h->write && !ok) ::unlink(h->temp.c_str());
  handles_.erase(handle);
  if (!ok) {
    err = SCM_HOST_ERRNO_IO;
    return -1;
  }
  return 0;
}

int32_t HostStorage::Length(int32_t handle, uint32_t& err) {
  Handle* h = Find(handle);
  if (h == nullptr) {
    err = SCM_HOST_ERRNO_BAD_HANDLE;
    return -1;
  }
  struct stat st {};
  if (::fstat(h->fd, &st) != 0 || st.st_size > INT32_MAX) {
    err = SCM_HOST_ERRNO_IO;
    return -1;
  }
  return static_cast<int32_t>(st.st_size);
}

int32_t HostStorage::Read(int32_t handle, uint32_t max, std::vector<uint8_t>& out, uint32_t& err) {
  Handle* h = Find(handle);
  if (h == nullptr || h->write) {
    err = SCM_HOST_ERRNO_BAD_HANDLE;
    return -1;
  }
  const uint32_t chunk = std::min<uint32_t>(max, INT32_MAX);
  out.resize(chunk);
  size_t got = 0;
  while (got < chunk) {
    const ssize_t k = ::pread(h->fd, out.data() + got, chunk - got, static_cast<off_t>(h->pos + got));
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) {
      out.clear();
      err = SCM_HOST_ERRNO_IO;
      return -1;
    }
    if (k == 0) break;
    got += static_cast<size_t>(k);
  }
  out.resize(got);
  h->pos += got;
  return static_cast<int32_t>(got);
}

int32_t HostStorage::Write(int32_t handle, const uint8_t* data, uint32_t count, uint32_t& err) {
  Handle* h = Find(handle);
  if (h == nullptr || !h->write || count > INT32_MAX) {
    err = h == nullptr || !h->write ? SCM_HOST_ERRNO_BAD_HANDLE : SCM_HOST_ERRNO_BAD_ARGUMENT;
    return -1;
  }
  size_t put = 0;
  while (put < count) {
    const ssize_t k = ::write(h->fd, data + put, count - put);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) {
      h->damaged = true;
      err = SCM_HOST_ERRNO_IO;
      return -1;
    }
    put += static_cast<size_t>(k);
  }
  h->pos += put;
  return static_cast<int32_t>(put);
}

void HostStorage::MarkDamaged(int32_t handle) {
  Handle* h = Find(handle);
  if (h != nullptr && h->write) h->damaged = true;
}

void HostStorage::DiscardAll() {
  for (auto& [id, h] : handles_) {
    ::close(h.fd);
    if (h.write) ::unlink(h.temp.c_str());
  }
  handles_.clear();
}

bool HostStorage::Put(const std::string& name, const std::vector<uint8_t>& content) {
  const std::optional<std::string> folded = Fold(name);
  if (!folded) return false;
  const std::string temp = tempDir_ + "/" + std::to_string(++tempSeq_) + ".put";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!f) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  return ::rename(temp.c_str(), Path(*folded).c_str()) == 0;
}

std::optional<std::vector<uint8_t>> HostStorage::Get(const std::string& name) const {
  const std::optional<std::string> folded = Fold(name);
  if (!folded) return std::nullopt;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(Path(*folded), ec)) return std::nullopt;
  std::ifstream f(Path(*folded), std::ios::binary);
  if (!f) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace ScmSim
