// The files a run was asked to write: checked before anything starts, so a
// run never goes its whole length only to lose its results at the end.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ScmDemo {

/// Checks that path can be written (created, or appended to when it exists) without changing
/// it; empty when it can, else "cannot write the WHAT PATH: REASON".
std::string CheckWritable(const std::string& what, const std::string& path);

/// Checks every (what, path) pair; the first refusal, or empty.
std::string CheckOutputs(const std::vector<std::pair<std::string, std::string>>& outputs);

}  // namespace ScmDemo
