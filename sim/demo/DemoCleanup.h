// The leftovers of runs whose scmdemo is dead (killed with SIGKILL, say): the
// shared-memory objects of their namespace "scmdemo<pid>" and their run
// directory scmdemo-XXXXXX in $TMPDIR or /tmp, which names its owner in the file "owner".
// A new run removes them before it starts, and says so; `scmdemo --cleanup`
// does it on demand. Objects of a living run are never touched.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ScmDemo {

/// Object namespace of the run of scmdemo with this pid.
std::string RunNamespace(pid_t pid);
/// Name of the file in a run directory that holds its owner's pid.
inline constexpr const char* kOwnerFile = "owner";

/// Writes the owner file (this process's pid) into a run directory; false when it cannot.
bool MarkRunDirectory(const std::string& directory);

/// What one clean-up removed.
struct Cleaned {
  std::vector<std::string> objects;      ///< shared-memory objects (names in /dev/shm)
  std::vector<std::string> directories;  ///< run directories
};

/// Removes the leftovers of every run of this account whose owner is no longer alive.
Cleaned RemoveDeadRuns();

/// One line per removed thing, "removed ..." ("nothing left behind by earlier runs" when none).
std::string CleanedText(const Cleaned& cleaned);

}  // namespace ScmDemo
