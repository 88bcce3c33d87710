#include "DemoCleanup.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "HostControlClient.h"

namespace ScmDemo {

namespace {

/// Directory of the shared-memory objects.
constexpr const char* kShmDirectory = "/dev/shm";
/// Prefix of every stand-in object name, before the namespace.
constexpr const char* kObjectPrefix = "scmsim.";
/// Namespace prefix of scmdemo's runs, before the owner's pid.
constexpr const char* kNamespacePrefix = "scmdemo";

/// The pid that follows prefix in name up to end (a '.' or the end), if the rest is digits only.
std::optional<pid_t> PidAfter(const std::string& name, const std::string& prefix, char end) {
  if (name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const size_t stop = end == 0 ? name.size() : name.find(end, prefix.size());
  if (stop == std::string::npos || stop == prefix.size() || stop - prefix.size() > 9) return std::nullopt;
  pid_t pid = 0;
  for (size_t i = prefix.size(); i < stop; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

/// True unless the process certainly does not exist (a process of another account counts as alive).
bool Alive(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

bool OwnedByMe(const std::filesystem::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && st.st_uid == ::getuid();
}

}  // namespace

std::string RunNamespace(pid_t pid) { return kNamespacePrefix + std::to_string(pid); }

bool MarkRunDirectory(const std::string& directory) {
  std::ofstream out(std::filesystem::path(directory) / kOwnerFile, std::ios::trunc);
  out << ::getpid() << '\n';
  return static_cast<bool>(out.flush());
}

Cleaned RemoveDeadRuns() {
  Cleaned cleaned;
  std::error_code ec;
  const std::string objectPrefix = std::string(kObjectPrefix) + kNamespacePrefix;
  for (const auto& entry : std::filesystem::directory_iterator(kShmDirectory, ec)) {
    const std::string name = entry.path().filename().string();
    const std::optional<pid_t> owner = PidAfter(name, objectPrefix, '.');
    if (!owner || Alive(*owner) || !OwnedByMe(entry.path())) continue;
    if (::shm_unlink(("/" + name).c_str()) == 0) cleaned.objects.push_back(name);
  }
  const std::string prefix = ScmSim::kRunDirectoryPrefix;
  for (const auto& entry : std::filesystem::directory_iterator(ScmSim::RunDirectoryParent(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!OwnedByMe(entry.path()) || !entry.is_directory(ec)) continue;
    std::ifstream in(entry.path() / kOwnerFile);
    long owner = 0;
    if (!(in >> owner) || owner <= 0 || Alive(static_cast<pid_t>(owner))) continue;
    std::error_code removeError;
    std::filesystem::remove_all(entry.path(), removeError);
    if (!removeError) cleaned.directories.push_back(entry.path().string());
  }
  return cleaned;
}

std::string CleanedText(const Cleaned& cleaned) {
  if (cleaned.objects.empty() && cleaned.directories.empty()) return "nothing left behind by earlier runs\n";
  std::string text;
  if (!cleaned.objects.empty()) {
    text += "removed " + std::to_string(cleaned.objects.size()) +
            " shared-memory object(s) of dead runs from /dev/shm\n";
  }
  for (const std::string& d : cleaned.directories) text += "removed the run directory " + d + " of a dead run\n";
  return text;
}

}  // namespace ScmDemo
