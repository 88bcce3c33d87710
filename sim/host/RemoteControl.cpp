// The operator's remote control: commands numbered in their echo word, at
// most one open, each paired with the answer that carries its number (the
// checker pairs every success answer with the last command it relayed), and
// the "remote ..." text commands of the control interface.
#include <cctype>
#include <cstdio>
#include <sstream>
#include <thread>

#include "HostOperator.h"
#include "RemoteNames.h"

namespace ScmSim {

namespace {

constexpr size_t kHeader = TestFrames::MessageSizes::Header;  ///< payload starts here

uint16_t WordAt(const Bytes& b, size_t at) {
  const uint16_t lo = at < b.size() ? b[at] : 0;
  const uint16_t hi = at + 1 < b.size() ? b[at + 1] : 0;
  return static_cast<uint16_t>(lo | (hi << 8));
}

/// Where a payload carries the number its answer echoes: the word at 8 for variable-size commands, else
/// the echo word at 2.
size_t EchoOffset(const Bytes& payload) { return (WordAt(payload, 0) & 0x8000) != 0 && payload.size() >= 2 ? 8 : 2; }

/// The number an answer (header included) carries: the word at 8 for object-read answers, else at 2.
uint16_t AnswerEcho(const Bytes& answer) {
  const uint16_t cls = WordAt(answer, kHeader);
  return WordAt(answer, kHeader + ((cls & 0x8000) != 0 ? 8 : 2));
}

std::string OrderName(const RemoteOrder& order) {
  switch (order.kind) {
    case RemoteOrder::Kind::Enter: return EnterCodeName(order.code);
    case RemoteOrder::Kind::Status: return StatusCodeName(order.code);
    case RemoteOrder::Kind::ObjectRead: {
      std::string text = "object read";
      char item[24];
      for (const TestFrames::ObjectRef& o : order.objects) {
        std::snprintf(item, sizeof(item), " 0x%04X/%u", o.index, static_cast<unsigned>(o.sub));
        text += item;
      }
      return text;
    }
    case RemoteOrder::Kind::Raw: return "raw command of " + std::to_string(order.payload.size()) + " bytes";
  }
  return "?";
}

}  // namespace

std::optional<uint16_t> RemoteExchange::Result() const {
  if (!answer) return std::nullopt;
  const uint16_t cls = WordAt(*answer, kHeader);
  const size_t at = kHeader + (((cls & 0x8000) != 0 || (cls == 0 && answer->size() == kHeader + 14)) ? 10 : 4);
  if (answer->size() < at + 2) return std::nullopt;
  return WordAt(*answer, at);
}

std::optional<RemotePassword> HostOperator::ParsePassword(const std::string& text) {
  RemotePassword out{};
  if (text.rfind("hex:", 0) == 0) {
    std::string digits;
    for (char c : text.substr(4)) {
      if (c == ' ' || c == '-' || c == ':') continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      digits += c;
    }
    if (digits.size() % 2 != 0 || digits.size() > 32) return std::nullopt;
    for (size_t i = 0; i < digits.size() / 2; ++i) {
      out[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    }
    return out;
  }
  if (text.size() > out.size()) return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<uint8_t>(text[i]);
  return out;
}

bool HostOperator::SendRemote(const RemoteOrder& order) {
  if (open_) return false;
  remoteMode_ = true;
  // Answers still waiting belong to no command of ours.
  Poll();
  RemoteExchange x;
  x.seq = nextRemoteSeq_;
  x.echo = nextEcho_;
  x.order = order;
  const RemotePassword password = order.password.value_or(password_);
  switch (order.kind) {
    case RemoteOrder::Kind::Enter:
    case RemoteOrder::Kind::Status: {
      TestFrames::CommandSpec fields;
      fields.commandClass = order.kind == RemoteOrder::Kind::Enter ? TestFrames::kEnterCommand
                                                                 : TestFrames::kStatusRequest;
      fields.code = order.code;
      fields.echo = x.echo;
      fields.password = password;
      if (order.kind == RemoteOrder::Kind::Enter && order.newPassword) fields.newPassword = *order.newPassword;
      x.command = TestFrames::BuildCommand(fields);
      break;
    }
    case RemoteOrder::Kind::ObjectRead: {
      TestFrames::ObjectReadSpec fields;
      fields.word = x.echo;
      fields.objects = order.objects;
      x.command = TestFrames::BuildObjectRead(fields);
      break;
    }
    case RemoteOrder::Kind::Raw: {
      Bytes payload = order.payload;
      const size_t at = EchoOffset(payload);
      if (payload.size() >= at + 2) {
        payload[at] = static_cast<uint8_t>(x.echo);
        payload[at + 1] = static_cast<uint8_t>(x.echo >> 8);
      } else {
        x.echo = WordAt(payload, at);  // what the firmware reads of a command too short for the number
      }
      x.command = TestFrames::BuildRawCommand(0, payload);
      break;
    }
  }
  if (!host_.Inject("command", x.command)) return false;
  x.sentAt = std::chrono::steady_clock::now();
  x.text = "#" + std::to_string(x.seq) + " " + OrderName(order);
  ++nextRemoteSeq_;
  nextEcho_ = static_cast<uint16_t>(nextEcho_ == 0xFFFF ? 1 : nextEcho_ + 1);
  open_ = std::move(x);
  return true;
}

void HostOperator::TakeAnswer(Bytes answer) {
  if (!open_ || AnswerEcho(answer) != open_->echo) {
    ++strayAnswers_;
    return;
  }
  CloseRemote(std::move(answer), false);
}

void HostOperator::CloseRemote(std::optional<Bytes> answer, bool timedOut) {
  RemoteExchange x = std::move(*open_);
  open_.reset();
  x.timedOut = timedOut;
  if (answer) {
    const uint16_t cls = WordAt(x.command, kHeader);
    const uint16_t code = WordAt(x.command, kHeader + 4);
    x.text += " -> " + DescribeAnswer(cls, code, *answer);
    if (auto s = TestFrames::ReadStatus(*answer)) lastStatus_ = *s;
    if (auto n = TestFrames::ReadNewStatus(*answer)) lastNewStatus_ = *n;
    x.answer = std::move(answer);
  } else {
    x.text += " -> no answer";
  }
  remoteLog_.push_back(std::move(x));
  if (remoteLog_.size() > kKeptExchanges) remoteLog_.pop_front();
}

std::optional<RemoteExchange> HostOperator::AwaitRemote(std::chrono::milliseconds limit) {
  if (!open_) return std::nullopt;
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    Poll();
    if (!open_) return remoteLog_.back();
    if (std::chrono::steady_clock::now() >= end) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  CloseRemote(std::nullopt, true);
  return remoteLog_.back();
}

std::optional<RemoteExchange> HostOperator::Exchange(const RemoteOrder& order, std::chrono::milliseconds limit) {
  if (!SendRemote(order)) return std::nullopt;
  return AwaitRemote(limit);
}

namespace {

uint32_t Number(const std::string& s) {
  size_t used = 0;
  const unsigned long v = std::stoul(s, &used, 0);
  if (used != s.size()) throw std::invalid_argument(s);
  return static_cast<uint32_t>(v);
}

Bytes Hex(const std::string& s) {
  Bytes out;
  std::string digits;
  for (char c : s) {
    if (c == ' ' || c == '-' || c == ':' || c == '.') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::invalid_argument(s);
    digits += c;
  }
  if (digits.size() % 2 != 0) throw std::invalid_argument(s);
  for (size_t i = 0; i < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return out;
}

constexpr const char* kRemoteUsage =
    "remote enter CODE [NEW-PASSWORD] | remote status [CODE [PAGE]] | remote read INDEX/SUB... (at most 5) |\n"
    "remote raw HEX | remote password [TEXT|hex:HEX] | remote log; --password TEXT sends another password once\n";

}  // namespace

std::optional<RemoteOrder> ParseRemoteOrder(const std::vector<std::string>& argv, std::string& error) {
  try {
    if (argv.size() < 2 || argv[0] != "remote") {
      error = kRemoteUsage;
      return std::nullopt;
    }
    const std::string& what = argv[1];
    RemoteOrder order;
    if (what == "enter") {
      if (argv.size() < 3 || argv.size() > 4) {
        error = kRemoteUsage;
        return std::nullopt;
      }
      order.kind = RemoteOrder::Kind::Enter;
      order.code = static_cast<uint16_t>(Number(argv[2]));
      if (argv.size() > 3) {
        order.newPassword = HostOperator::ParsePassword(argv[3]);
        if (!order.newPassword) {
          error = "a password has at most 16 bytes\n";
          return std::nullopt;
        }
      }
    } else if (what == "status") {
      if (argv.size() > 4) {
        error = kRemoteUsage;
        return std::nullopt;
      }
      order.kind = RemoteOrder::Kind::Status;
      order.code = static_cast<uint16_t>(argv.size() > 2 ? Number(argv[2]) : 0);
      if (argv.size() > 3) order.code = static_cast<uint16_t>(order.code | (Number(argv[3]) & 0xF));
    } else if (what == "read") {
      order.kind = RemoteOrder::Kind::ObjectRead;
      if (argv.size() < 3 || argv.size() > 2 + TestFrames::kMaxReadObjects) {
        error = kRemoteUsage;
        return std::nullopt;
      }
      for (size_t i = 2; i < argv.size(); ++i) {
        const size_t slash = argv[i].find('/');
        if (slash == std::string::npos) {
          error = "INDEX/SUB expected: " + argv[i] + "\n";
          return std::nullopt;
        }
        order.objects.push_back({static_cast<uint16_t>(Number(argv[i].substr(0, slash))),
                                 static_cast<uint8_t>(Number(argv[i].substr(slash + 1)))});
      }
    } else if (what == "raw") {
      if (argv.size() != 3) {
        error = kRemoteUsage;
        return std::nullopt;
      }
      order.kind = RemoteOrder::Kind::Raw;
      order.payload = argv[2] == "-" ? Bytes{} : Hex(argv[2]);
    } else {
      error = kRemoteUsage;
      return std::nullopt;
    }
    return order;
  } catch (const std::exception&) {
    error = std::string("not a number or not hex\n") + kRemoteUsage;
    return std::nullopt;
  }
}

std::pair<int, std::string> RunDownloadCommand(HostOperator& op, const std::vector<std::string>& argv) {
  const std::string usage = "download NAME HEX WORD | unlock ID NAME WORD | unlock-response\n";
  try {
    if (argv.size() == 4 && argv[0] == "download") {
      if (!op.Download(argv[1], Hex(argv[2]), Number(argv[3]))) {
        return {1, "file under 4 bytes, name refused or write failed\n"};
      }
      return {0, ""};
    }
    if (argv.size() == 4 && argv[0] == "unlock") {
      if (!UnlockRequestMessage(Number(argv[1]), argv[2], Number(argv[3]))) return {2, "a name has at most 13 bytes\n"};
      if (!op.SendUnlockRequest(Number(argv[1]), argv[2], Number(argv[3]))) {
        return {1, "not sent (unknown, deleted or full)\n"};
      }
      return {0, ""};
    }
    if (argv.size() == 1 && argv[0] == "unlock-response") {
      op.Poll();
      const std::optional<UnlockResponse> r = op.ReadUnlockResponse();
      if (!r) return {1, "nothing waiting\n"};
      return {0, std::to_string(r->identifier) + " " + std::to_string(r->result) + "\n"};
    }
  } catch (const std::exception&) {
    return {2, "not a number or not hex\n" + usage};
  }
  return {2, usage};
}

std::pair<int, std::string> RunRemoteCommand(HostOperator& op, const std::vector<std::string>& argvIn,
                                             std::chrono::milliseconds limit) {
  if (!argvIn.empty() && (argvIn[0] == "download" || argvIn[0] == "unlock" || argvIn[0] == "unlock-response")) {
    return RunDownloadCommand(op, argvIn);
  }
  std::vector<std::string> argv;
  std::optional<RemotePassword> once;
  for (size_t i = 0; i < argvIn.size(); ++i) {
    if (argvIn[i] == "--password") {
      if (i + 1 >= argvIn.size()) return {2, kRemoteUsage};
      once = HostOperator::ParsePassword(argvIn[++i]);
      if (!once) return {2, "a password has at most 16 bytes\n"};
    } else {
      argv.push_back(argvIn[i]);
    }
  }
  if (argv.size() >= 2 && argv[1] == "password") {
    const std::optional<RemotePassword> p = HostOperator::ParsePassword(argv.size() > 2 ? argv[2] : "");
    if (!p || argv.size() > 3) return {2, "a password has at most 16 bytes\n"};
    op.SetPassword(*p);
    return {0, argv.size() > 2 ? "password held\n" : "no password held\n"};
  }
  if (argv.size() >= 2 && argv[1] == "log") {
    std::ostringstream o;
    for (const RemoteExchange& x : op.RemoteLog()) o << x.text << "\n";
    o << "stray answers: " << op.StrayAnswers() << "\n";
    return {0, o.str()};
  }
  std::string error;
  std::optional<RemoteOrder> order = ParseRemoteOrder(argv, error);
  if (!order) return {2, error};
  order->password = once;
  if (op.RemoteOpen()) return {1, "another command waits for its answer\n"};
  const std::optional<RemoteExchange> x = op.Exchange(*order, limit);
  if (!x) return {1, "not sent (command queue full or gone)\n"};
  const std::optional<uint16_t> result = x->Result();
  return {x->answer && result.value_or(1) == 0 ? 0 : 1, x->text + "\n"};
}

}  // namespace ScmSim
