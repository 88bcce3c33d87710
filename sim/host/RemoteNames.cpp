#include "RemoteNames.h"

#include <cstdio>
#include <sstream>

#include "RemoteMessages.h"

namespace ScmSim {

namespace {

std::string Hex(uint32_t v, int digits = 4) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%0*X", digits, static_cast<unsigned>(v));
  return text;
}

/// SADRs of the set bits of a page's array, from the first module's SADR list when known.
std::string Positions(const std::array<uint8_t, 16>& bits) {
  std::string out;
  for (unsigned j = 0; j < 128; ++j) {
    if ((bits[j / 8] >> (j % 8)) & 1u) out += (out.empty() ? "" : ",") + std::to_string(j);
  }
  return out.empty() ? "-" : out;
}

/// The SADRs whose bit is set in a classic record's array.
std::string MarkedSadrs(const TestFrames::StatusSpec& s, const std::array<uint8_t, 16>& bits) {
  std::string out;
  for (unsigned j = 0; j < s.sadrs.size() && j < 128; ++j) {
    if ((bits[j / 8] >> (j % 8)) & 1u) out += (out.empty() ? "" : ",") + std::to_string(s.sadrs[j]);
  }
  return out.empty() ? "-" : out;
}

}  // namespace

std::string EnterCodeName(uint16_t code) {
  switch (code) {
    case 0x0060: return "accept 1 exchanged module";
    case 0x0050: return "accept 2 exchanged modules";
    case 0x0040: return "accept 3 exchanged modules";
    case 0x0030: return "accept 4 exchanged modules";
    case 0x0020: return "accept 5 or more exchanged modules";
    case 0x0100: return "accept firmware differences";
    case 0x0200: return "accept the changed key medium";
    case 0x1000: return "long confirmation";
    case 0x2000: return "rescan";
    case 0x3000: case 0x4000: return "no action " + Hex(code);
    case 0x5000: return "change the password";
    case 0x8000: return "format user data";
    case 0x9000: return "setup mode on";
    case 0x9100: return "setup mode off";
    case 0xF000: return "pass-through";
    default: return "enter " + Hex(code);
  }
}

std::string StatusCodeName(uint16_t code) {
  if (code == 0) return "status";
  if (code == 0x1000) return "password information";
  if (code == 0x2000) return "password check";
  if (code == 0x3000) return "controller UDID";
  if (code == 0x5000) return "new status";
  if ((code & 0xFFF0) == 0x6000) return "address list page " + std::to_string(code & 0xF);
  if ((code & 0xFFF0) == 0x7000) return "module flags page " + std::to_string(code & 0xF);
  return "status request " + Hex(code);
}

std::string ResultName(uint16_t result) {
  switch (result) {
    case 0: return "accepted";
    case 5: return "unknown class";
    case 6: return "selection code not in the check table";
    case 7: return "remote control not active";
    case 8: return "wrong password";
    case 9: return "another remote command is pending";
    case 10: return "the confirmation machine is busy";
    case 11: case 12: case 13: return "not authorised";
    case 14: return "the key medium did not change";
    case 15: return "no firmware difference to accept";
    case 16: return "UDID mismatches are not 1";
    case 17: return "UDID mismatches are not 2";
    case 18: return "UDID mismatches are not 3";
    case 19: return "UDID mismatches are not 4";
    case 20: return "fewer than 5 UDID mismatches";
    case 21: case 25: return "the key-medium change is busy";
    case 22: return "the key medium changed: accept that first";
    case 23: return "the key medium is being formatted";
    case 26: return "a quit of UDID mismatches runs";
    case 27: return "a scan runs";
    case 29: return "wrong length of a password change";
    case 30: return "wrong length";
    case 32: return "unknown status request or page beyond the list";
    case 33: return "key-medium identity not available";
    default: return "result " + std::to_string(result);
  }
}

std::string RemoteStateName(uint16_t state) {
  switch (state) {
    case 0: return "none";
    case 1: return "accepted";
    case 2: return "running";
    case 3: return "being confirmed";
    case 4: return "final";
    default: return "state " + std::to_string(state);
  }
}

std::string StateBitNames(uint32_t bits) {
  static const struct {
    uint32_t bit;
    const char* name;
  } kBits[] = {{0x01, "key change acceptable"}, {0x04, "start-up or scan"}, {0x10, "not normal"},
               {0x20, "setup mode"},            {0x40, "key file loaded"},  {0x80, "password set"}};
  std::string out;
  for (const auto& b : kBits) {
    if ((bits & b.bit) != 0) out += (out.empty() ? "" : ", ") + std::string(b.name);
  }
  return out.empty() ? "-" : out;
}

std::string FailSafeByteName(uint8_t value) {
  switch (value) {
    case 0x55: return "sound";
    case 2: return "firmware fail-safe";
    case 4: return "checker fail-safe";
    case 6: return "both fail-safe";
    default: return "unmarked " + Hex(value, 2);
  }
}

std::string DescribeAnswer(uint16_t requestClass, uint16_t code, const std::vector<uint8_t>& answer) {
  std::ostringstream o;
  if ((requestClass & 0x8000) != 0) {
    const auto r = TestFrames::ReadObjectReadAnswer(answer);
    if (!r) return "undecodable object-read answer";
    o << "object read: result " << Hex(r->result);
    for (const TestFrames::ObjectEntry& e : r->entries) {
      o << " " << Hex(e.index) << "/" << static_cast<unsigned>(e.sub) << "=";
      if (e.error == 0) {
        o << e.value;
      } else {
        o << "error " << static_cast<unsigned>(e.error) << " reason " << e.value;
      }
    }
    return o.str();
  }
  if (const auto s = TestFrames::ReadStatus(answer)) {
    o << ResultName(s->result) << " (" << s->result << "); remote " << RemoteStateName(s->remoteState)
      << ", stored " << Hex(s->storedCode) << ", last completed " << Hex(s->lastCompleted) << "; missing "
      << s->missing << " [" << MarkedSadrs(*s, s->missingBits) << "], mismatches " << s->mismatches << " ["
      << MarkedSadrs(*s, s->mismatchBits) << "], firmware " << s->firmwareDifferences << " ["
      << MarkedSadrs(*s, s->firmwareBits) << "]; start-up/scan " << static_cast<unsigned>(s->startupOrScan)
      << ", key change " << static_cast<unsigned>(s->keyChangeAcceptable) << ", fail-safe byte "
      << FailSafeByteName(s->moduleStateLow);
    return o.str();
  }
  if (requestClass == TestFrames::kStatusRequest) {
    if (code == 0x5000) {
      const auto n = TestFrames::ReadNewStatus(answer);
      if (!n) return "undecodable new status";
      o << "new status v" << static_cast<unsigned>(n->version) << ": missing " << n->missing << ", mismatches "
        << n->mismatches << ", firmware " << n->firmwareDifferences << ", configured " << n->configured
        << "; bits " << Hex(n->stateBits) << " (" << StateBitNames(n->stateBits) << ")";
      return o.str();
    }
    if (code == 0x1000 || code == 0x2000) {
      const auto p = TestFrames::ReadPasswordInfo(answer);
      if (!p) return "undecodable password answer";
      return code == 0x1000 ? std::string(p->answer ? "a password is set" : "no password set")
                            : std::string(p->answer ? "password right" : "password not right");
    }
    if (code == 0x3000) {
      const auto u = TestFrames::ReadControllerUdid(answer);
      if (!u) return "undecodable controller UDID";
      o << "controller UDID";
      for (uint8_t b : u->udid) o << " " << Hex(b, 2).substr(2);
      return o.str();
    }
    if ((code & 0xFFF0) == 0x6000) {
      const auto a = TestFrames::ReadAddressList(answer);
      if (!a) return "undecodable address list";
      o << ResultName(a->result) << ":";
      for (uint16_t sadr : a->sadrs) {
        if (sadr != 0) o << " " << sadr;
      }
      return o.str();
    }
    if ((code & 0xFFF0) == 0x7000) {
      const auto f = TestFrames::ReadModuleFlags(answer);
      if (!f) return "undecodable module flags";
      o << ResultName(f->result) << ": missing " << Positions(f->missing) << ", mismatch " << Positions(f->mismatch)
        << ", firmware " << Positions(f->firmware) << " (positions on the page)";
      return o.str();
    }
  }
  return "undecodable answer of " + std::to_string(answer.size()) + " bytes";
}

}  // namespace ScmSim
