// scmhostctl: command-line client of scmhost. Sends one control command over
// the host's socket and prints the answer; "probe" instead opens the domain's
// queues and semaphores by name as a program of the domain would.
// Syntax: README.md beside this file.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "HostControlClient.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "vxworks.h"

namespace {


/// Usage text.
constexpr const char* kUsage =
    "usage: scmhostctl [--socket PATH] COMMAND [ARGS...]   (where hex is expected, @FILE stands for FILE's bytes)\n"
    "       without --socket and SCM_SIM_HOST_SOCKET: the one running scmdemo domain of this account\n"
    "       scmhostctl [--socket PATH] get-file NAME LOCAL-PATH\n"
    "       scmhostctl [--socket PATH] probe [--sdn N] [--timeout SECONDS]\n"
    "       scmhostctl [--socket PATH] help    (the host's commands)\n";

std::string HexOfFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "scmhostctl: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (char c : bytes) {
    const auto v = static_cast<uint8_t>(c);
    s += digits[v >> 4];
    s += digits[v & 15];
  }
  return s.empty() ? "-" : s;
}

/// Commands that take hex and the position of that argument (the command is position 0).
struct HexArgument {
  const char* command;  ///< control command
  size_t position;      ///< its hex argument
};
constexpr HexArgument kHexArguments[] = {{"inject", 2}, {"inject-complement", 2}, {"udid", 1}, {"flash", 1},
                                         {"qor-script", 2}, {"qor-var", 2}, {"put", 2}, {"download", 2}};

/// Replaces an @FILE argument by FILE's bytes in hex, only where the command expects hex,
/// so that names such as "@@temp.szp" stay names.
void SubstituteFiles(std::vector<std::string>& args) {
  for (const HexArgument& h : kHexArguments) {
    if (args[0] == h.command && h.position < args.size() && args[h.position].size() > 1 &&
        args[h.position][0] == '@') {
      args[h.position] = HexOfFile(args[h.position].substr(1));
    }
  }
}

/// The fourteen name getters, host side first.
char* (*const kQueueGetters[])(u16, char*) = {
    ScmGetEventQueueToRuntimeName,          ScmGetResponseQueueToRuntimeName,
    ScmGetCommandQueueFromRuntimeName,      ScmGetFrameQueueToRuntimeName,
    ScmGetFrameQueueFromRuntimeName,        ScmGetUnlockResponseQueueToRuntimeName,
    ScmGetUnlockRequestQueueFromRuntimeName, ScmGetEventQueueFromScmName,
    ScmGetResponseQueueFromScmName,         ScmGetCommandQueueToScmName,
    ScmGetFrameQueueFromScmName,            ScmGetFrameQueueToScmName,
    ScmGetUnlockResponseQueueFromScmName,   ScmGetUnlockRequestQueueToScmName,
};

/// Opens every queue and semaphore by name and reads condition 0; 0 when all are there.
int Probe(u16 sdn, unsigned timeoutSeconds) {
  if (sdn == 0) {
    std::fprintf(stderr, "scmhostctl: probe needs --sdn or SafetyDomainNumber (1 to 1023)\n");
    return 2;
  }
  int missing = 0;
  char name[SCM_QUEUE_NAME_SIZE];
  for (auto getter : kQueueGetters) {
    getter(sdn, name);
    MSG_Q_ID q = msgQOpen(name, 0, 0, 0, 0, nullptr);
    MSG_Q_INFO info{};
    if (q != nullptr && msgQInfoGet(q, &info) == OK) {
      std::printf("queue %-26s found (capacity %d, longest %d)\n", name, info.maxMsgs, info.maxMsgLength);
    } else {
      std::printf("queue %-26s MISSING (errno 0x%X)\n", name, static_cast<unsigned>(errno));
      ++missing;
    }
    if (q != nullptr) msgQClose(q);
  }
  for (auto getter : {ScmGetFrameQueueToScmName, ScmGetFrameQueueFromScmName}) {
    getter(sdn, name);
    SEM_ID s = semOpen(name, 0, 0, 0, 0, nullptr);
    if (s != nullptr) {
      std::printf("semaphore %-22s found\n", name);
      semClose(s);
    } else {
      std::printf("semaphore %-22s MISSING (errno 0x%X)\n", name, static_cast<unsigned>(errno));
      ++missing;
    }
  }
  // The condition is latched once set; the alarm only guards against a host that never sets it.
  alarm(timeoutSeconds);
  u32 value = 0;
  if (ScmWaitForCondition(sdn, 0, &value) == 0) {
    std::printf("condition 0 set (value %u)\n", value);
  } else {
    std::printf("condition 0 NOT readable (errno 0x%X)\n", static_cast<unsigned>(errno));
    ++missing;
  }
  alarm(0);
  std::printf("%s\n", missing == 0 ? "domain complete" : "domain INCOMPLETE");
  return missing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string socket;
  if (args.size() >= 2 && args[0] == "--socket") {
    socket = args[1];
    args.erase(args.begin(), args.begin() + 2);
  } else if (const char* env = std::getenv("SCM_SIM_HOST_SOCKET")) {
    socket = env;
  }
  if (args.empty() || args[0] == "-h" || args[0] == "--help") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0].size() > 1 && args[0][0] == '-') {
    std::fprintf(stderr, "scmhostctl: unknown option %s\n%s", args[0].c_str(), kUsage);
    return 2;
  }
  if (socket.empty()) {
    // no socket named: the single running domain of this account
    const std::vector<std::string> running = ScmSim::FindRunningDomains();
    if (running.size() != 1) {
      std::fprintf(stderr, "scmhostctl: no --socket and no SCM_SIM_HOST_SOCKET, and %s\n",
                   running.empty() ? ("no running domain of this account in " + ScmSim::RunDirectoryParent()).c_str()
                                   : "several running domains; name one with --socket:");
      for (const std::string& r : running) std::fprintf(stderr, "  %s\n", r.c_str());
      return 2;
    }
    socket = running.front();
  }
  // The seam finds the host through the environment, like any program of the domain.
  ::setenv("SCM_SIM_HOST_SOCKET", socket.c_str(), 1);

  if (args[0] == "probe") {
    u16 sdn = ScmGetSafetyDomainNumberFromEnvironment(SCM_SDN_ENVIRONMENT_NAME);
    // the domain's number and object namespace come over the socket, so the socket alone is enough
    const auto [known, answer] = ScmSim::SendControl(socket, {"domain"});
    if (known == 0) {
      if (const std::optional<ScmSim::DomainIdentity> id = ScmSim::ParseDomainIdentity(answer)) {
        if (sdn == 0) sdn = static_cast<u16>(id->sdn);
        if (id->simNamespace.empty()) {
          ::unsetenv("SCM_SIM_NAMESPACE");
        } else {
          ::setenv("SCM_SIM_NAMESPACE", id->simNamespace.c_str(), 1);
        }
      }
    }
    unsigned timeout = 10;
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
      if (args[i] == "--sdn") {
        const unsigned long v = std::strtoul(args[i + 1].c_str(), nullptr, 10);
        sdn = v >= 1 && v <= 1023 ? static_cast<u16>(v) : 0;
      } else if (args[i] == "--timeout") {
        timeout = static_cast<unsigned>(std::strtoul(args[i + 1].c_str(), nullptr, 10));
      }
    }
    return Probe(sdn, timeout);
  }

  std::string localPath;
  if (args[0] == "get-file") {
    if (args.size() != 3) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    localPath = args[2];
    args = {"get", args[1]};
  }
  SubstituteFiles(args);
  const auto [status, text] = ScmSim::SendControl(socket, args);
  if (status == 0 && !localPath.empty()) {
    std::ofstream out(localPath, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i + 1 < text.size() && text[i] != '\n' && text != "-\n"; i += 2) {
      out.put(static_cast<char>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    if (!out) {
      std::fprintf(stderr, "scmhostctl: cannot write %s\n", localPath.c_str());
      return 2;
    }
    return 0;
  }
  std::fputs(text.c_str(), status == 0 ? stdout : stderr);
  return status;
}
