// The text commands of the control interface (what scmhostctl sends).
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "HostUnlock.h"
#include "ScmHostSim.h"

namespace ScmSim {

namespace {

/// A command-line mistake: reported to the client, status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

uint64_t Number(const std::string& s) {
  if (s.empty()) throw UsageError("number expected");
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (*end != '\0' || errno != 0 || s[0] == '-') throw UsageError("not a number: " + s);
  return v;
}

/// Hex digits, separators '-', ':', ' ' and '.' ignored; "-" alone is empty.
Bytes ParseHex(const std::string& s) {
  std::string digits;
  for (char c : s) {
    if (c == '-' || c == ':' || c == ' ' || c == '.') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw UsageError("not hex: " + s);
    digits += c;
  }
  if (digits.size() % 2 != 0) throw UsageError("odd number of hex digits: " + s);
  Bytes b;
  for (size_t i = 0; i < digits.size(); i += 2) {
    b.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return b;
}

std::string ToHex(const Bytes& b) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (uint8_t v : b) {
    s += digits[v >> 4];
    s += digits[v & 15];
  }
  return s.empty() ? "-" : s;
}

bool OnOff(const std::string& s) {
  if (s == "on") return true;
  if (s == "off") return false;
  throw UsageError("on or off expected: " + s);
}

const std::string& Arg(const std::vector<std::string>& argv, size_t i) {
  if (i >= argv.size()) throw UsageError("missing argument for " + argv[0]);
  return argv[i];
}

/// Help text: the commands and their arguments.
constexpr const char* kHelp =
    "status | domain | queues | inject Q HEX | inject-complement ~Q HEX | collect Q | collect-complement ~Q |\n"
    "collect-all Q | udid [HEX] | failsafe [N] | product-code [N|fail] | serial [N|fail] |\n"
    "counter [N] | counter-advance US | flash [HEX|absent] | qor-script normal|none|raw [HEX] [DELAY-MS] |\n"
    "qor-var N [HEX|unset] | put NAME HEX | get NAME | download NAME HEX WORD | unlock ID NAME WORD |\n"
    "unlock-response | busy N | busy-for MS | busy on|off | damaged-writes commit|discard |\n"
    "fault CALL COUNT [LIMIT] | cond N [VALUE|clear] | lock | reset | resets | reset-acts on|off on|off |\n"
    "log | log-clear | start PATH [ARGS...] | programs | output ID | stop ID | shutdown |\n"
    "remote enter CODE [NEW-PASSWORD] | remote status [CODE [PAGE]] | remote read INDEX/SUB... |\n"
    "remote raw HEX | remote password [TEXT|hex:HEX] | remote log   (--password TEXT for one command)\n";

}  // namespace

std::pair<int, std::string> HostSim::Control(const std::vector<std::string>& argv) {
  if (argv.empty()) return {2, kHelp};
  const std::string& cmd = argv[0];
  std::ostringstream o;
  try {
    if (cmd == "help") {
      o << kHelp;
    } else if (cmd == "status") {
      o << Status() << "\n";
    } else if (cmd == "domain") {
      // what a client needs to reach the domain's objects by name, from the socket alone
      o << "sdn=" << config_.sdn << " namespace=" << config_.simNamespace << " socket=" << config_.socketPath << "\n";
    } else if (cmd == "queues") {
      for (const QueueDef& q : kQueues) o << FullName(q.name) << " " << Waiting(q.name) << "\n";
    } else if (cmd == "inject" || cmd == "inject-complement") {
      const Bytes b = ParseHex(Arg(argv, 2));
      const bool sent = cmd == "inject" ? Inject(Arg(argv, 1), b) : InjectComplemented(Arg(argv, 1), b);
      if (!sent) return {1, "not sent (unknown, deleted, full or too long)\n"};
    } else if (cmd == "collect" || cmd == "collect-complement") {
      const std::optional<Bytes> b =
          cmd == "collect" ? Collect(Arg(argv, 1)) : CollectComplemented(Arg(argv, 1));
      if (!b) return {1, "nothing waiting\n"};
      o << ToHex(*b) << "\n";
    } else if (cmd == "collect-all") {
      while (std::optional<Bytes> b = Collect(Arg(argv, 1))) o << ToHex(*b) << "\n";
    } else if (cmd == "udid") {
      if (argv.size() > 1) {
        const Bytes b = ParseHex(argv[1]);
        if (b.size() != 6) throw UsageError("a UDID has 6 bytes");
        Udid u;
        std::copy(b.begin(), b.end(), u.begin());
        SetQorUdid(u);
      } else {
        std::lock_guard<std::mutex> lock(mutex_);
        o << ToHex(Bytes(udid_.begin(), udid_.end())) << "\n";
      }
    } else if (cmd == "failsafe") {
      if (argv.size() > 1) {
        const uint64_t v = Number(argv[1]);
        if (v > 255) throw UsageError("fail-safe state is one byte");
        SetQorFailSafeState(static_cast<uint8_t>(v));
      } else {
        std::lock_guard<std::mutex> lock(mutex_);
        o << static_cast<unsigned>(failSafe_) << "\n";
      }
    } else if (cmd == "product-code" || cmd == "serial") {
      const bool product = cmd == "product-code";
      if (argv.size() > 1) {
        const std::optional<uint32_t> v =
            argv[1] == "fail" ? std::nullopt : std::optional<uint32_t>(static_cast<uint32_t>(Number(argv[1])));
        if (product) {
          SetProductCode(v);
        } else {
          SetSerialNumber(v);
        }
      } else {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::optional<uint32_t>& v = product ? productCode_ : serialNumber_;
        o << (v ? std::to_string(*v) : "fail") << "\n";
      }
    } else if (cmd == "counter") {
      if (argv.size() > 1) {
        SetCounter(Number(argv[1]));
      } else {
        o << Counter() << "\n";
      }
    } else if (cmd == "counter-advance") {
      AdvanceCounter(Number(Arg(argv, 1)));
    } else if (cmd == "flash") {
      if (argv.size() > 1) {
        if (!SetFlash(argv[1] == "absent" ? std::nullopt : std::optional<Bytes>(ParseHex(argv[1])))) {
          return {1, "flash content holds at most 18 bytes\n"};
        }
      } else {
        const std::optional<Bytes> f = Flash();
        o << (f ? ToHex(*f) : "absent") << "\n";
      }
    } else if (cmd == "qor-script") {
      QorReplyScript s;
      const std::string& kind = Arg(argv, 1);
      size_t next = 2;
      if (kind == "normal") {
        s.kind = QorReplyScript::Kind::Normal;
      } else if (kind == "none") {
        s.kind = QorReplyScript::Kind::None;
      } else if (kind == "raw") {
        s.kind = QorReplyScript::Kind::Raw;
        s.bytes = ParseHex(Arg(argv, 2));
        next = 3;
      } else {
        throw UsageError("qor-script normal|none|raw");
      }
      if (argv.size() > next) s.delay = std::chrono::milliseconds(Number(argv[next]));
      ScriptQorReply(s);
    } else if (cmd == "qor-var") {
      const auto variable = static_cast<unsigned>(Number(Arg(argv, 1)));
      if (argv.size() > 2) {
        // set as a write on the channel would (the controller keeps it over resets), or forget it
        if (!SetQorVariable(variable, argv[2] == "unset" ? std::nullopt : std::optional<Bytes>(ParseHex(argv[2])))) {
          return {1, "a variable is 0 to 7 and holds at most 198 bytes\n"};
        }
      } else {
        const std::optional<Bytes> v = QorVariable(variable);
        o << (v ? ToHex(*v) : "unset") << "\n";
      }
    } else if (cmd == "put") {
      if (!PutFile(Arg(argv, 1), ParseHex(Arg(argv, 2)))) return {1, "name refused or write failed\n"};
    } else if (cmd == "get") {
      const std::optional<Bytes> f = GetFile(Arg(argv, 1));
      if (!f) return {1, "no such file\n"};
      o << ToHex(*f) << "\n";
    } else if ((cmd == "download" || cmd == "unlock" || cmd == "unlock-response") && RemoteHandlerCopy()) {
      // A host with an operator (scmdemo, scmhost) sends and reads through it, as it does remote
      // commands, so that no answer is taken from under it.
      return RemoteHandlerCopy()(argv);
    } else if (cmd == "download") {
      if (!Download(Arg(argv, 1), ParseHex(Arg(argv, 2)), static_cast<uint32_t>(Number(Arg(argv, 3))))) {
        return {1, "file under 4 bytes, name refused or write failed\n"};
      }
    } else if (cmd == "unlock") {
      const std::optional<Bytes> m = UnlockRequestMessage(static_cast<uint32_t>(Number(Arg(argv, 1))), Arg(argv, 2),
                                                          static_cast<uint32_t>(Number(Arg(argv, 3))));
      if (!m) throw UsageError("a name has at most 13 bytes");
      if (!Inject("unlock-request", *m)) return {1, "not sent (unknown, deleted or full)\n"};
    } else if (cmd == "unlock-response") {
      const std::optional<Bytes> b = Collect("unlock-response");
      if (!b) return {1, "nothing waiting\n"};
      const std::optional<UnlockResponse> r = DecodeUnlockResponse(*b);
      if (!r) return {1, "not an unlock response: " + ToHex(*b) + "\n"};
      o << r->identifier << " " << r->result << "\n";
    } else if (cmd == "damaged-writes") {
      const std::string a = Arg(argv, 1);
      if (a != "commit" && a != "discard") throw UsageError("commit or discard expected: " + a);
      SetCommitDamagedWrites(a == "commit");
    } else if (cmd == "busy") {
      const std::string& a = Arg(argv, 1);
      if (a == "on" || a == "off") {
        SetStorageBusy(OnOff(a));
      } else {
        SetStorageBusyOpens(static_cast<uint32_t>(Number(a)));
      }
    } else if (cmd == "busy-for") {
      SetStorageBusyFor(std::chrono::milliseconds(Number(Arg(argv, 1))));
    } else if (cmd == "fault") {
      const uint32_t number = static_cast<uint32_t>(Number(Arg(argv, 1)));
      const std::string& countText = Arg(argv, 2);
      const int count = countText == "always" ? -1 : static_cast<int>(Number(countText));
      if (argv.size() > 3) {
        InjectShortTransfer(number, count, static_cast<uint32_t>(Number(argv[3])));
      } else {
        InjectFault(number, count);
      }
    } else if (cmd == "cond") {
      const unsigned n = static_cast<unsigned>(Number(Arg(argv, 1)));
      if (n > 2) throw UsageError("conditions are 0 to 2");
      if (argv.size() > 2) {
        if (argv[2] == "clear") {
          ClearCondition(n);
        } else {
          SetCondition(n, static_cast<uint32_t>(Number(argv[2])));
        }
      } else {
        const std::optional<uint32_t> v = Condition(n);
        if (!v) return {1, "unset\n"};
        o << *v << "\n";
      }
    } else if (cmd == "lock") {
      const LockState s = ResetLock();
      o << "locked=" << (s.locked ? "yes" : "no") << " holders=";
      for (size_t i = 0; i < s.holders.size(); ++i) o << (i ? "," : "") << s.holders[i];
      o << " lock-calls=" << s.lockCalls << " unlock-calls=" << s.unlockCalls << "\n";
    } else if (cmd == "reset") {
      TriggerReset();
    } else if (cmd == "resets") {
      const ResetState s = Resets();
      o << "domain-requests=" << s.domainRequests << " plc-requests=" << s.plcRequests
        << " pending=" << s.pending << " done=" << s.done << "\n";
    } else if (cmd == "reset-acts") {
      SetResetActs(OnOff(Arg(argv, 1)), OnOff(Arg(argv, 2)));
    } else if (cmd == "log") {
      for (const CallRecord& r : CallLog()) {
        o << r.seq << " pid=" << r.pid << " 0x" << std::hex << r.number << std::dec << " " << r.text
          << " = " << r.result;
        if (r.result == -1) o << " errno=0x" << std::hex << r.err << std::dec;
        o << "\n";
      }
    } else if (cmd == "log-clear") {
      ClearCallLog();
    } else if (cmd == "start") {
      const int id = Programs().Start(Arg(argv, 1), std::vector<std::string>(argv.begin() + 2, argv.end()));
      if (id < 0) return {1, "cannot start " + argv[1] + "\n"};
      o << id << "\n";
    } else if (cmd == "programs") {
      for (const ProgramInfo& p : Programs().All()) {
        o << p.id << " pid=" << p.pid << " " << (p.running ? "running" : "ended");
        if (p.exitStatus) o << " status=" << *p.exitStatus;
        o << " starts=" << p.starts << " " << p.path << "\n";
      }
    } else if (cmd == "output") {
      const std::optional<ProgramInfo> p = Programs().Info(static_cast<int>(Number(Arg(argv, 1))));
      if (!p) return {1, "no such program\n"};
      o << p->output;
    } else if (cmd == "stop") {
      if (!Programs().Stop(static_cast<int>(Number(Arg(argv, 1))))) return {1, "no such program\n"};
    } else if (cmd == "remote") {
      const RemoteHandler handler = RemoteHandlerCopy();
      if (!handler) return {1, "this host has no operator for remote control\n"};
      return handler(argv);
    } else if (cmd == "shutdown") {
      std::function<void()> cb;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        cb = onShutdown_;
      }
      if (!cb) return {1, "this host does not stop on request\n"};
      cb();
    } else {
      return {2, "unknown command " + cmd + "\n" + kHelp};
    }
  } catch (const UsageError& e) {
    return {2, std::string(e.what()) + "\n"};
  } catch (const std::exception& e) {
    return {2, std::string(e.what()) + "\n"};
  }
  return {0, o.str()};
}

}  // namespace ScmSim
