#include "DemoRemote.h"

#include <fstream>
#include <sstream>

namespace ScmDemo {

std::pair<int, std::string> RemoteMailbox::Ask(const std::vector<std::string>& argv) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto end = std::chrono::steady_clock::now() + kClientWait;
  // one command at a time: wait until the slot is free
  if (!changed_.wait_until(lock, end, [this] { return closed_ || (!request_ && !reply_); })) {
    return {1, "the run is busy with another command\n"};
  }
  if (closed_) return {1, "the run has ended\n"};
  request_ = argv;
  taken_ = false;
  changed_.notify_all();
  if (!changed_.wait_until(lock, end, [this] { return closed_ || reply_.has_value(); })) {
    if (!taken_) request_.reset();
    return {1, "the run did not answer in time\n"};
  }
  if (!reply_) return {1, "the run has ended\n"};
  std::pair<int, std::string> reply = std::move(*reply_);
  reply_.reset();
  changed_.notify_all();
  return reply;
}

std::optional<std::vector<std::string>> RemoteMailbox::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!request_ || taken_) return std::nullopt;
  taken_ = true;
  return request_;
}

void RemoteMailbox::Answer(std::pair<int, std::string> reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  request_.reset();
  taken_ = false;
  reply_ = std::move(reply);
  changed_.notify_all();
}

void RemoteMailbox::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

uint32_t Number(const std::string& s) {
  size_t used = 0;
  const unsigned long v = std::stoul(s, &used, 0);
  if (used != s.size()) throw std::invalid_argument(s);
  return static_cast<uint32_t>(v);
}

/// Conditions a Wait step may name, with whether they take a value.
const std::pair<const char*, bool> kConditions[] = {
    {"startup-over", false}, {"mismatches", true},     {"missing", true},  {"firmware", true},
    {"remote-state", true},  {"last-completed", true}, {"stored", true},   {"marked", true},
    {"unmarked", true},      {"key-change", true},     {"restarted", false},
    {"reset", false},
};

bool Marked(const TestFrames::StatusSpec& r, uint32_t sadr) {
  for (size_t j = 0; j < r.sadrs.size(); ++j) {
    if (r.sadrs[j] == sadr) {
      const auto bit = [j](const std::array<u8, 16>& a) { return ((a[j / 8] >> (j % 8)) & 1u) != 0; };
      return bit(r.mismatchBits) || bit(r.missingBits) || bit(r.firmwareBits);
    }
  }
  return false;
}

}  // namespace

std::optional<OperatorStep> ParseOperatorStep(const std::string& line, std::string& error) {
  std::vector<std::string> w = Words(line);
  OperatorStep step;
  step.text = line;
  try {
    if (w.empty()) {
      error = "empty step";
      return std::nullopt;
    }
    if (w[0] == "pause" && w.size() == 2) {
      step.kind = OperatorStep::Kind::Pause;
      step.seconds = std::stod(w[1]);
      return step;
    }
    if (w[0] == "restart" && w.size() == 1) {
      step.kind = OperatorStep::Kind::Restart;
      return step;
    }
    if (w[0] == "fault" && (w.size() == 3 || w.size() == 4)) {
      step.kind = OperatorStep::Kind::Fault;
      step.call = Number(w[1]);
      step.count = static_cast<int>(Number(w[2]));
      if (w.size() == 4) step.limit = Number(w[3]);
      if (step.count < 1) {
        error = "a fault step names at least one call: " + line;
        return std::nullopt;
      }
      return step;
    }
    if (w[0] == "cut" && (w.size() == 2 || w.size() == 3)) {
      step.kind = OperatorStep::Kind::Cut;
      step.call = Number(w[1]);
      step.limit = w.size() == 3 ? Number(w[2]) : 0;
      return step;
    }
    if (w[0] == "unchanged" && w.size() == 2) {
      step.kind = OperatorStep::Kind::Unchanged;
      step.file = w[1];
      return step;
    }
    if (w[0] == "password" && w.size() <= 2) {
      step.kind = OperatorStep::Kind::Password;
      const auto p = ScmSim::HostOperator::ParsePassword(w.size() == 2 ? w[1] : "");
      if (!p) {
        error = "a password has at most 16 bytes: " + line;
        return std::nullopt;
      }
      step.order.password = *p;
      return step;
    }
    if (w[0] == "wait" && (w.size() == 2 || (w.size() == 4 && w[2] == "within"))) {
      step.kind = OperatorStep::Kind::Wait;
      step.seconds = w.size() == 4 ? std::stod(w[3]) : 30;
      const size_t eq = w[1].find('=');
      step.condition = w[1].substr(0, eq);
      step.conditionValue = eq == std::string::npos ? "" : w[1].substr(eq + 1);
      for (const auto& [name, valued] : kConditions) {
        if (step.condition == name && valued == !step.conditionValue.empty()) {
          if (valued) (void)Number(step.conditionValue);
          return step;
        }
      }
      error = "unknown condition: " + w[1];
      return std::nullopt;
    }
    if (w[0] == "download" || w[0] == "unlock") {
      // download NAME [FILE] [--word W]; unlock ID NAME [--word W] expect RESULT
      const bool unlock = w[0] == "unlock";
      step.kind = unlock ? OperatorStep::Kind::Unlock : OperatorStep::Kind::Download;
      std::vector<std::string> rest;
      for (size_t i = 1; i < w.size(); ++i) {
        if (w[i] == "--word" && i + 1 < w.size()) {
          step.word = Number(w[++i]);
        } else {
          rest.push_back(w[i]);
        }
      }
      if (unlock) {
        if (rest.size() != 4 || rest[2] != "expect" || (rest[3] != "0" && rest[3] != "-1")) {
          error = "an unlock step is unlock ID NAME [--word WORD] expect 0|-1: " + line;
          return std::nullopt;
        }
        step.identifier = Number(rest[0]);
        step.file = rest[1];
        step.expectUnlock = rest[3] == "0" ? 0 : -1;
      } else {
        if (rest.empty() || rest.size() > 2) {
          error = "a download step is download NAME [FILE] [--word WORD]: " + line;
          return std::nullopt;
        }
        step.file = rest[0];
        if (rest.size() == 2) step.source = rest[1];
      }
      if (step.file.size() > ScmSim::kUnlockNameSize) {
        error = "a file to unlock has a name of at most 13 bytes: " + line;
        return std::nullopt;
      }
      return step;
    }
    if (w[0] == "send") {
      step.kind = OperatorStep::Kind::Send;
      std::vector<std::string> order = {"remote"};
      std::optional<ScmSim::RemotePassword> once;
      size_t i = 1;
      for (; i < w.size() && w[i] != "expect"; ++i) {
        if (w[i] == "--password" && i + 1 < w.size()) {
          once = ScmSim::HostOperator::ParsePassword(w[++i]);
          if (!once) {
            error = "a password has at most 16 bytes: " + line;
            return std::nullopt;
          }
        } else {
          order.push_back(w[i]);
        }
      }
      if (i + 2 != w.size()) {
        error = "a send step ends with expect RESULT (object reads: expect VALUE,... with - for not read)";
        return std::nullopt;
      }
      const std::optional<ScmSim::RemoteOrder> parsed = ScmSim::ParseRemoteOrder(order, error);
      if (!parsed) return std::nullopt;
      step.order = *parsed;
      step.order.password = once;
      if (step.order.kind == ScmSim::RemoteOrder::Kind::ObjectRead) {
        std::istringstream values(w[i + 1]);
        for (std::string v; std::getline(values, v, ',');) {
          step.expectValues.push_back(v == "-" ? std::nullopt : std::optional<uint32_t>(Number(v)));
        }
        if (step.expectValues.size() != step.order.objects.size()) {
          error = "one expected value per object: " + line;
          return std::nullopt;
        }
      } else {
        step.expectResult = static_cast<uint16_t>(Number(w[i + 1]));
      }
      return step;
    }
  } catch (const std::exception&) {
    error = "not a number in: " + line;
    return std::nullopt;
  }
  error = "unknown step: " + line;
  return std::nullopt;
}

std::vector<OperatorStep> ReadOperatorScript(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read the operator script " + path;
    return {};
  }
  std::vector<OperatorStep> steps;
  unsigned number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    line = line.substr(0, line.find('#'));
    if (Words(line).empty()) continue;
    std::optional<OperatorStep> step = ParseOperatorStep(line, error);
    if (!step) {
      error = path + ":" + std::to_string(number) + ": " + error;
      return {};
    }
    steps.push_back(*step);
  }
  return steps;
}

bool ConditionHolds(const OperatorStep& step, const TestFrames::StatusSpec& r) {
  const uint32_t v = step.conditionValue.empty() ? 0 : Number(step.conditionValue);
  if (step.condition == "startup-over") return r.startupOrScan == 0;
  if (step.condition == "mismatches") return r.mismatches == v;
  if (step.condition == "missing") return r.missing == v;
  if (step.condition == "firmware") return r.firmwareDifferences == v;
  if (step.condition == "remote-state") return r.remoteState == v;
  if (step.condition == "last-completed") return r.lastCompleted == v;
  if (step.condition == "stored") return r.storedCode == v;
  if (step.condition == "marked") return Marked(r, v);
  if (step.condition == "unmarked") return !Marked(r, v);
  if (step.condition == "key-change") return r.keyChangeAcceptable == v;
  return false;  // "restarted" and "reset" are the run's to judge, not the record's
}

}  // namespace ScmDemo
