// scmhost: the host-runtime simulator for one safety domain, as a process.
// Options and the socket protocol: README.md beside this file.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <iostream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "HostControlClient.h"
#include "HostOperator.h"
#include "rtp_testhooks.h"
#include "ScmHostSim.h"

namespace {

/// Usage text.
constexpr const char* kUsage =
    "usage: scmhost --sdn N --socket PATH --storage DIR [--namespace NS]\n"
    "               [--counter-start N] [--udid HEX] [--failsafe N]\n"
    "               [--product-code N|fail] [--serial N|fail]\n"
    "               [--capacity QUEUE=N]... [--omit QUEUE|sem:~frame-send|sem:~frame-receive]...\n"
    "               [--reset-acts on|off] [--reset-plc-acts on|off] [--program PATH]...\n";

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(stderr, "scmhost: %s\n%s", why.c_str(), kUsage);
  std::exit(2);
}

uint64_t Number(const std::string& s) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (s.empty() || *end != '\0' || errno != 0 || s[0] == '-') Usage("not a number: " + s);
  return v;
}

std::optional<uint32_t> NumberOrFail(const std::string& s) {
  if (s == "fail") return std::nullopt;
  return static_cast<uint32_t>(Number(s));
}

bool OnOff(const std::string& s) {
  if (s != "on" && s != "off") Usage("on or off expected: " + s);
  return s == "on";
}

ScmSim::Udid ParseUdid(const std::string& s) {
  std::string digits;
  for (char c : s) {
    if (c == '-' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) Usage("not hex: " + s);
    digits += c;
  }
  if (digits.size() != 12) Usage("a UDID has 6 bytes: " + s);
  ScmSim::Udid u{};
  for (size_t i = 0; i < 6; ++i) u[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
  return u;
}

/// A host socket at our path that nobody answers is what a host killed without
/// its clean-up left behind: it goes, and with it the objects of our namespace,
/// and the run says so. A socket a host answers on is left for the start to refuse.
void RemoveOwnLeftovers(const ScmSim::HostConfig& config) {
  struct stat st;
  if (::lstat(config.socketPath.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return;
  if (ScmSim::SendControl(config.socketPath, {"domain"}).first != ScmSim::kControlUnreachable) return;
  if (config.simNamespace.empty()) {
    ::unsetenv("SCM_SIM_NAMESPACE");
  } else {
    ::setenv("SCM_SIM_NAMESPACE", config.simNamespace.c_str(), 1);
  }
  const int objects = ScmSimRemoveNamespaceObjects();
  ::unlink(config.socketPath.c_str());
  std::printf("scmhost: removed what a dead host left behind: the socket %s and %d shared-memory object(s) of "
              "namespace %s\n",
              config.socketPath.c_str(), objects, config.simNamespace.empty() ? "default" : config.simNamespace.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  ScmSim::HostConfig config;
  std::vector<std::string> programs;
  bool haveSdn = false;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "-h" || opt == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    // an unknown option is named as such, with or without a value after it
    static const char* const kKnown[] = {"--sdn",  "--socket",     "--storage",        "--namespace", "--counter-start",
                                         "--udid", "--failsafe",   "--product-code",   "--serial",    "--capacity",
                                         "--omit", "--reset-acts", "--reset-plc-acts", "--program"};
    if (std::find(std::begin(kKnown), std::end(kKnown), opt) == std::end(kKnown)) Usage("unknown option " + opt);
    if (i + 1 >= argc) Usage("missing value for " + opt);
    const std::string val = argv[++i];
    if (opt == "--sdn") {
      const uint64_t v = Number(val);
      if (v < 1 || v > 1023) Usage("--sdn must be 1 to 1023");
      config.sdn = static_cast<uint16_t>(v);
      haveSdn = true;
    } else if (opt == "--socket") {
      config.socketPath = val;
    } else if (opt == "--storage") {
      config.storageDir = val;
    } else if (opt == "--namespace") {
      config.simNamespace = val;
    } else if (opt == "--counter-start") {
      config.counterStart = Number(val);
    } else if (opt == "--udid") {
      config.qorUdid = ParseUdid(val);
    } else if (opt == "--failsafe") {
      const uint64_t v = Number(val);
      if (v > 255) Usage("--failsafe is one byte");
      config.qorFailSafeState = static_cast<uint8_t>(v);
    } else if (opt == "--product-code") {
      config.productCode = NumberOrFail(val);
    } else if (opt == "--serial") {
      config.serialNumber = NumberOrFail(val);
    } else if (opt == "--capacity") {
      const size_t eq = val.find('=');
      if (eq == std::string::npos) Usage("--capacity QUEUE=N");
      config.capacities[val.substr(0, eq)] = static_cast<uint32_t>(Number(val.substr(eq + 1)));
    } else if (opt == "--omit") {
      config.omit.insert(val);
    } else if (opt == "--reset-acts") {
      config.resetActs = OnOff(val);
    } else if (opt == "--reset-plc-acts") {
      config.resetPlcActs = OnOff(val);
    } else if (opt == "--program") {
      programs.push_back(val);
    } else {
      Usage("unknown option " + opt);
    }
  }
  if (!haveSdn) Usage("--sdn is required");
  if (config.socketPath.empty()) {
    const char* env = std::getenv("SCM_SIM_HOST_SOCKET");
    if (env == nullptr || *env == '\0') Usage("--socket is required (or SCM_SIM_HOST_SOCKET)");
    config.socketPath = env;
  }
  if (config.storageDir.empty()) Usage("--storage is required");

  RemoveOwnLeftovers(config);

  // Every thread inherits the block, so that only the wait below takes these signals.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::atomic<bool> shutdownRequested{false};
  ScmSim::HostSim host(config);
  host.OnShutdownRequest([&shutdownRequested] { shutdownRequested.store(true); });
  // Remote commands of clients go through one operator, the one reader of "status" while they are used.
  ScmSim::HostOperator remoteOperator(host);
  std::mutex remoteMutex;
  host.OnRemoteCommand([&remoteOperator, &remoteMutex](const std::vector<std::string>& argv) {
    std::lock_guard<std::mutex> lock(remoteMutex);
    return ScmSim::RunRemoteCommand(remoteOperator, argv);
  });
  try {
    host.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scmhost: %s\n", e.what());
    return 1;
  }
  for (const std::string& p : programs) {
    if (host.Programs().Start(p, {}) < 0) std::fprintf(stderr, "scmhost: cannot start %s\n", p.c_str());
  }
  std::printf("scmhost ready: %s\n", host.Status().c_str());
  std::fflush(stdout);

  const timespec period{0, 100 * 1000 * 1000};
  while (!shutdownRequested.load()) {
    const int sig = sigtimedwait(&stopSignals, nullptr, &period);
    if (sig > 0) break;
  }
  host.Stop();
  std::printf("scmhost stopped\n");
  return 0;
}
