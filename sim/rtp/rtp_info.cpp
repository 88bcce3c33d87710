// rtpInfoGet of the stand-in: the real path of the process's own executable,
// with test hooks that substitute the path or make the call fail.
#include "rtp_info_common.h"
#include "rtp_internal.h"
#include "rtp_testhooks.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

namespace {

/// Hook settings and the buffer that RTP_DESC::pathName points into.
struct InfoState {
  std::mutex lock;                  ///< guards everything here
  std::optional<std::string> path;  ///< in-process substitute path (overrides SCM_SIM_RTPINFO_PATH)
  std::optional<int> failErrno;     ///< in-process failure errno (overrides SCM_SIM_RTPINFO_FAIL)
  std::string buffer;               ///< the reported path; any length
};

InfoState& State() {
  static InfoState* state = new InfoState;  // never destroyed: pathName stays valid during exit
  return *state;
}

/// errno for a failing rtpInfoGet from SCM_SIM_RTPINFO_FAIL, 0 when absent or not a non-zero number.
int EnvFailErrno() {
  const char* env = getenv("SCM_SIM_RTPINFO_FAIL");
  if (env == nullptr || *env == 0) {
    return 0;
  }
  char* end = nullptr;
  const long value = strtol(env, &end, 0);
  return *end == 0 ? static_cast<int>(value) : 0;
}

}  // namespace

STATUS rtpInfoGet(RTP_ID id, RTP_DESC* desc) {
  InfoState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  const int fail = state.failErrno.has_value() ? *state.failErrno : EnvFailErrno();
  const char* envPath = getenv("SCM_SIM_RTPINFO_PATH");
  const char* substitute = state.path.has_value() ? state.path->c_str()
                           : (envPath != nullptr && *envPath != 0) ? envPath
                                                                    : nullptr;
  return scmsim::FillRtpDesc(id, desc, fail, substitute, &state.buffer);
}

extern "C" void ScmSimSetRtpInfoPath(const char* path) {
  InfoState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  if (path == nullptr) {
    state.path.reset();
  } else {
    state.path = path;
  }
}

extern "C" void ScmSimSetRtpInfoFail(int errnoValue) {
  InfoState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  if (errnoValue == -1) {
    state.failErrno.reset();
  } else {
    state.failErrno = errnoValue;
  }
}
