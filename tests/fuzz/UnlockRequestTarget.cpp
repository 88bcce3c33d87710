// Surface 10: the unlock-request queue and the handler behind it, over any
// files on the in-memory storage and host calls that fail anywhere. Every
// request of more than 20 bytes gets one 8-byte answer echoing its identifier
// with 0 or -1, a shorter one no answer; no storage handle stays open; no
// fatal event; and a refused unlock leaves file and companion as they were
// unless the restore itself failed (its event then says so), an unlocked file
// stands whole with its companion emptied.
//
// Input: u8 fault (bits 0-2 a host call, bits 3-5 the occurrence that fails,
// 0 none; bit 6 the file's close fails; bit 7 its writes come out short), then
// steps until the input ends, each u8 control, by its low two bits:
//   0 a file:    u8 which (bits 0-1 the file, bit 2 its companion), the content
//                (u16 length, bytes); with bit 4 of which the largest size plus one instead
//   1 request:   the message (u16 length, bytes), put complemented
//   2 built:     u8 which (bits 0-1 the file, bit 2 upper case), u32 identifier,
//                u8 word (0 the word the companion needs, else that byte repeated)
//   3 time:      u8: the counter advances that many 100 ms, then the handler runs
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzTarget.h"
#include "FwUnitSupport.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFunl.h"
#include "HostUnlock.h"
#include "ScmSystemCalls.h"
#include "rtp_mem_control.h"

namespace ScmFuzz {

namespace {

constexpr u8 kStepFile = 0;      ///< control: a file on the storage
constexpr u8 kStepRequest = 1;   ///< control: a request as it stands
constexpr u8 kStepBuilt = 2;     ///< control: a request built here
constexpr u8 kStepTime = 3;      ///< control: time passes, the handler runs
constexpr std::size_t kStepLimit = 64;           ///< steps one input may take
constexpr std::size_t kFileMax = 4096;           ///< longest content taken from the input
constexpr std::size_t kRequestMax = HNFcom_kUnlockRequestSize + 4;  ///< longest request put
constexpr u64 kTimeStepUs = 100000;              ///< counter advance per time unit, microseconds

/// The four files that can be unlocked, as the host stores them.
const char* const kFiles[] = {"kel_para.saf", "@@temp.szp", "autocnf.bin", "pardata1.bin"};
/// Host calls a fault can hit.
constexpr int kCalls[] = {0, SCM_SC_OPEN_STORAGE, SCM_SC_CLOSE_STORAGE, SCM_SC_GET_STORAGE_LENGTH,
                          SCM_SC_READ_STORAGE, SCM_SC_WRITE_STORAGE, SCM_SC_OPEN_STORAGE, SCM_SC_WRITE_STORAGE};

struct Platform : FwTest::FwFixture {
  void TestBody() override {}
};

Bytes Complemented(Bytes bytes) {
  for (u8& b : bytes) b = static_cast<u8>(~b);
  return bytes;
}

std::string Upper(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

u32 Le32(const Bytes& b, std::size_t at) {
  return static_cast<u32>(b[at]) | (static_cast<u32>(b[at + 1]) << 8) | (static_cast<u32>(b[at + 2]) << 16) |
         (static_cast<u32>(b[at + 3]) << 24);
}

/// The stored content of a name in any case; empty and absent alike.
Bytes Stored(Platform& platform, const std::string& name) {
  const std::vector<u8>* file = platform.host.Find(name);
  return file != nullptr ? *file : Bytes{};
}

/// The word that unlocks a file against its companion (0 when either is too short).
u32 RightWord(Platform& platform, const char* name) {
  const Bytes file = Stored(platform, name);
  const Bytes companion = Stored(platform, std::string(name) + ".swp");
  if (file.size() < 4 || companion.size() < 4) return 0;
  return Le32(file, 0) ^ Le32(companion, 0);
}

/// One message on the queue, the handler, and what it must have left.
void Request(Platform& platform, const Bytes& message) {
  // The named file, as the handler will look it up, before the request.
  std::string name;
  if (message.size() >= HNFcom_kUnlockRequestSize) {
    char field[HNFunl_kNameSize + 1] = {};
    std::memcpy(field, message.data() + 4, HNFunl_kNameSize);
    name = field;
  }
  const Bytes fileBefore = Stored(platform, name);
  const Bytes companionBefore = Stored(platform, name + ".swp");
  static const u8 s_Empty = 0;
  const Bytes sent = Complemented(message);
  const bool taken = ScmMemQueuePut(FwTest::ScmName("unlock-request").c_str(), sent.empty() ? &s_Empty : sent.data(),
                                    sent.size()) == OK;
  HNFcyc_HandleUnlockRequest();
  const std::vector<Bytes> answers = platform.TakePlain("unlock-response");
  bool restoreFailed = false;
  for (const FwTest::Event& e : platform.TakeEvents()) {
    if (e.level >= HNFevt_kLevelFatal) {
      char text[100];
      std::snprintf(text, sizeof(text), "fatal event 0x%08X, %u, 0x%X", e.code, e.info0, e.info1);
      Finding(text);
    }
    restoreFailed = restoreFailed || (e.code == HNFunl_kEvtUnlock && e.info0 == HNFunl_kReasonRestore);
  }
  Require(platform.host.openHandles == 0, std::to_string(platform.host.openHandles) + " storage handles left open");
  const std::string size = std::to_string(message.size()) + "-byte request";
  if (!taken || message.size() <= HNFunl_kShortRequestMax) {
    Require(answers.empty(), "answer to a " + size + (taken ? "" : " the queue refused"));
    return;
  }
  Require(answers.size() == 1, std::to_string(answers.size()) + " answers to a " + size);
  Require(answers[0].size() == HNFunl_kResponseSize, "answer of " + std::to_string(answers[0].size()) + " bytes");
  Require(Le32(answers[0], 0) == Le32(message, 0), "answer without the request's identifier");
  const i32 result = static_cast<i32>(Le32(answers[0], 4));
  Require(result == HNFunl_kResultUnlocked || result == HNFunl_kResultRefused,
          "answer with result " + std::to_string(result));
  const Bytes fileAfter = Stored(platform, name);
  const Bytes companionAfter = Stored(platform, name + ".swp");
  if (result == HNFunl_kResultUnlocked) {
    Require(fileAfter.size() == fileBefore.size() && companionBefore.size() >= 4 &&
                std::equal(companionBefore.begin(), companionBefore.begin() + 4, fileAfter.begin()) &&
                std::equal(fileBefore.begin() + 4, fileBefore.end(), fileAfter.begin() + 4),
            "an unlocked file not whole");
  } else if (!restoreFailed) {
    Require(fileAfter == fileBefore, "a refused unlock changed the file");
    Require(companionAfter == companionBefore, "a refused unlock changed the companion");
  }
}

Bytes BuiltRequest(Platform& platform, u8 which, u32 identifier, u8 word) {
  const char* file = kFiles[which & 3u];
  const std::string name = (which & 4u) != 0 ? Upper(file) : std::string(file);
  const u32 w = word == 0 ? RightWord(platform, file) : word * 0x01010101u;
  // Every name here has at most 13 bytes: the builder always gives a request.
  return *ScmSim::UnlockRequestMessage(identifier, name, w);
}

}  // namespace

std::vector<Bytes> Seeds() {
  std::vector<Bytes> seeds;
  // Each file downloaded locked with its companion, then unlocked by the right word and refused by a wrong one.
  for (u8 f = 0; f < 4; ++f) {
    Bytes plain(40 + 7 * f);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<u8>(i * 13 + 5);
    // As the host's operator downloads it: the locked file and the companion of its plain bytes.
    Bytes seed = {0, kStepFile, f};
    AppendField(seed, *ScmSim::LockForDownload(plain, 0xA1B2C3D4u));
    seed.insert(seed.end(), {kStepFile, static_cast<u8>(f | 4u)});
    AppendField(seed, Bytes(plain.begin(), plain.begin() + ScmSim::kLockedBytes));
    seed.insert(seed.end(), {kStepBuilt, static_cast<u8>(f | 4u), 1, 0, 0, f, 0x55});
    seed.insert(seed.end(), {kStepBuilt, f, 2, 0, 0, f, 0});
    seed.insert(seed.end(), {kStepBuilt, f, 3, 0, 0, f, 0});
    seed.insert(seed.end(), {kStepTime, 60});
    seeds.push_back(seed);
  }
  // Every host call failing once, on the first and on the second of its calls.
  for (u8 fault : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x11, 0x15, 0x40, 0x80}) {
    Bytes seed = seeds[fault % 4];
    seed[0] = fault;
    seeds.push_back(seed);
  }
  // Short, raw and too long requests; a file above the largest size.
  Bytes raw = {0, kStepRequest};
  AppendField(raw, Bytes(20, 0x41));
  raw.push_back(kStepRequest);
  AppendField(raw, *ScmSim::UnlockRequestMessage(4, "unknown.bin", 1));
  raw.push_back(kStepRequest);
  AppendField(raw, Bytes(22, 0x42));
  raw.insert(raw.end(), {kStepFile, 0x10, 0, 0, kStepFile, 0x04});
  AppendField(raw, Bytes{1, 2, 3, 4});
  raw.insert(raw.end(), {kStepBuilt, 0, 9, 0, 0, 0, 0});
  seeds.push_back(raw);
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  Platform platform;
  platform.SetUp();
  HNFunl_gResetTimer = HNFunl_ResetTimer{};
  const u8 fault = in.U8();
  const int call = kCalls[fault & 7u];
  if (call != 0 && ((fault >> 3) & 7u) != 0) platform.host.failNth[call] = (fault >> 3) & 7u;
  for (std::size_t steps = 0; !in.AtEnd() && steps < kStepLimit; ++steps) {
    const u8 control = in.U8();
    switch (control & 0x03u) {
      case kStepFile: {
        const u8 which = in.U8();
        std::string name = kFiles[which & 3u];
        if ((which & 4u) != 0) name += ".swp";
        Bytes content = in.Field();
        if (content.size() > kFileMax) content.resize(kFileMax);
        if ((which & 0x10u) != 0) content.assign(HNFunl_kBufferSize + 1, 0x5A);
        platform.host.files[name] = content;
        if ((fault & 0x40u) != 0) platform.host.failingCloses.insert(kFiles[which & 3u]);
        if ((fault & 0x80u) != 0) {
          platform.host.faultyFile = kFiles[which & 3u];
          platform.host.shortWriteBy = 1;
          platform.host.shortWrites = 1;
        }
        break;
      }
      case kStepRequest: {
        Bytes message = in.Field();
        if (message.size() > kRequestMax) message.resize(kRequestMax);
        Request(platform, message);
        break;
      }
      case kStepBuilt: {
        const u8 which = in.U8();
        u32 identifier = in.U8();
        for (int i = 1; i < 4; ++i) identifier |= static_cast<u32>(in.U8()) << (8 * i);
        Request(platform, BuiltRequest(platform, which, identifier, in.U8()));
        break;
      }
      default: {
        platform.host.counter += static_cast<u64>(in.U8()) * kTimeStepUs;
        HNFcyc_HandleUnlockRequest();
        for (const FwTest::Event& e : platform.TakeEvents()) {
          Require(e.level < HNFevt_kLevelFatal, "fatal event when time passed");
        }
        Require(platform.TakePlain("unlock-response").empty(), "answer without a request");
        break;
      }
    }
  }
  platform.TearDown();
}

}  // namespace ScmFuzz
