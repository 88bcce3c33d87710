// Reading the kernel's per-process files of programs that may end at any moment.
#pragma once

#include <optional>
#include <string>

namespace ScmSim {

/// The whole text of a /proc file; none when it cannot be opened or read, as when the
/// process or thread ended meanwhile (a read then fails with ESRCH, which a C++ file
/// stream of this library reports by throwing).
std::optional<std::string> ReadProcFile(const std::string& path);

}  // namespace ScmSim
