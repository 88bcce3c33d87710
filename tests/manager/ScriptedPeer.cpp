// The scripted peer of the configuration manager's tests.
#include "ScriptedPeer.h"

namespace MgrTest {

namespace {
void PutU32(Bytes& b, u32 v) {
  for (int i = 0; i < 4; ++i) {
    b.push_back(static_cast<u8>(v >> (8 * i)));
  }
}

Bytes Header(u8 cmd, const Bytes& req) {
  return Bytes{cmd, req.size() > 1 ? req[1] : u8{0}, req.size() > 2 ? req[2] : u8{0}, req.size() > 3 ? req[3] : u8{0}};
}

Bytes Abort(const Bytes& req, u32 code) {
  Bytes b = Header(0x04, req);
  PutU32(b, code);
  return b;
}

Bytes U32Bytes(u32 v) {
  Bytes b;
  PutU32(b, v);
  return b;
}

/// The SSDO server of an ideal node.
std::vector<FrameSpec> Ssdo(SimNode& n, const ParsedFrame& r) {
  const Bytes& p = r.payload;
  if (p.empty()) {
    return {};
  }
  const u8 cmd = p[0];
  const u8 base = cmd & 0xEF;
  const u32 key = p.size() >= 4 ? Key(static_cast<u16>(p[1] | (p[2] << 8)), p[3]) : 0;
  switch (base) {
    case 0x20: {
      auto it = n.objects.find(key);
      if (it == n.objects.end()) {
        return {ScriptedPeer::AnswerTo(r, Abort(p, 0x06020000))};
      }
      const Bytes& v = it->second;
      if (v.size() <= 8) {
        Bytes b = Header(0x20, p);
        b.insert(b.end(), v.begin(), v.end());
        return {ScriptedPeer::AnswerTo(r, b)};
      }
      n.upKey = key;
      n.upOffset = 4;
      Bytes b = Header(0x28, p);
      PutU32(b, static_cast<u32>(v.size()));
      b.insert(b.end(), v.begin(), v.begin() + 4);
      return {ScriptedPeer::AnswerTo(r, b)};
    }
    case 0x08: {
      const Bytes& v = n.objects[n.upKey];
      const u32 left = static_cast<u32>(v.size()) - n.upOffset;
      const bool last = left < 12;
      const u32 k = last ? left : 11;
      Bytes b{static_cast<u8>(cmd | (last ? 0x40 : 0))};
      b.insert(b.end(), v.begin() + n.upOffset, v.begin() + n.upOffset + k);
      n.upOffset += k;
      return {ScriptedPeer::AnswerTo(r, b)};
    }
    case 0x21:
      n.objects[key] = Bytes(p.begin() + 4, p.end());
      return {ScriptedPeer::AnswerTo(r, Header(0x21, p))};
    case 0x29:
    case 0x2B:
      if (cmd == 0x2B && n.refusePreload) {
        return {ScriptedPeer::AnswerTo(r, Abort(p, 0x05040001))};
      }
      n.dnKey = key;
      n.dnData.assign(p.begin() + 8, p.end());
      n.dnLastCt = r.ct;
      if (cmd == 0x2B && n.window != 0) {
        return {ScriptedPeer::AnswerTo(r, Header(0x2B, p), static_cast<u8>(0x30 | n.window))};
      }
      return {ScriptedPeer::AnswerTo(r, Header(0x29, p))};
    case 0x09:
      n.dnData.insert(n.dnData.end(), p.begin() + 1, p.end());
      return {ScriptedPeer::AnswerTo(r, Bytes{cmd})};
    case 0x0B: {
      if (r.ct != static_cast<u16>(n.dnLastCt + 1)) {
        FrameSpec s = ScriptedPeer::AnswerTo(r, Bytes{cmd}, 0x30);
        s.ct = static_cast<u16>(n.dnLastCt + 1);
        return {s};
      }
      n.dnData.insert(n.dnData.end(), p.begin() + 1, p.end());
      n.dnLastCt = r.ct;
      return {ScriptedPeer::AnswerTo(r, Bytes{cmd})};
    }
    case 0x49:
      n.dnData.insert(n.dnData.end(), p.begin() + 1, p.end());
      n.objects[n.dnKey] = n.dnData;
      return {ScriptedPeer::AnswerTo(r, Bytes{cmd})};
    default:
      return {};
  }
}
}  // namespace

FrameSpec ScriptedPeer::AnswerTo(const ParsedFrame& req, Bytes payload, u8 tr) {
  FrameSpec s;
  s.id = static_cast<u8>(req.id | 1);
  s.adr = req.tadr;
  s.tadr = req.adr;
  s.sdn = req.sdn;
  s.ct = TestFrames::IsSnmtId(req.id) ? 0 : req.ct;
  s.tr = tr;
  s.payload = std::move(payload);
  return s;
}

SimNode* ScriptedPeer::BySadr(u16 sadr) {
  for (SimNode& n : nodes) {
    if (n.sadr == sadr) {
      return &n;
    }
  }
  return nullptr;
}

SimNode& ScriptedPeer::AddNode(u16 sadr, const Udid& udid) {
  SimNode n;
  n.sadr = sadr;
  n.udid = udid;
  n.objects[Key(0x1018, 1)] = U32Bytes(0x00AA0000u + sadr);
  n.objects[Key(0x1018, 2)] = U32Bytes(0x00BB0000u + sadr);
  n.objects[Key(0x1018, 3)] = U32Bytes(0x00010000u + sadr);
  n.objects[Key(0x1018, 7)] = U32Bytes(0x12340000u + sadr);
  n.objects[Key(0x1018, 6)] = Bytes{};
  nodes.push_back(n);
  return nodes.back();
}

std::vector<FrameSpec> ScriptedPeer::IdealAnswers(SimNode& n, const ParsedFrame& r) {
  const Bytes& p = r.payload;
  switch (r.id) {
    case 0x28:
      return {AnswerTo(r, Bytes(n.udid.begin(), n.udid.end()))};
    case 0x2A:
      return {AnswerTo(r, p)};
    case 0x2C:
      if (p.empty()) {
        return {};
      }
      switch (p[0]) {
        case 0x00: return {AnswerTo(r, Bytes{0x01})};
        case 0x02: return {AnswerTo(r, n.opAnswer)};
        case 0x08: return {AnswerTo(r, Bytes{0x03})};
        case 0x0A: return {AnswerTo(r, Bytes{0x05, p[1], p[2], p[3], p[4]})};
        case 0x0E: {
          Bytes b = p;
          b[0] = 0x0F;
          return {AnswerTo(r, b)};
        }
        case 0x10: {
          Bytes b = p;
          b[0] = 0x11;
          return {AnswerTo(r, b)};
        }
        default: return {};
      }
    case 0x38:
    case 0x3A:
      return Ssdo(n, r);
    default:
      return {};
  }
}

std::vector<std::pair<u32, Bytes>> ScriptedPeer::Receive(const Bytes& frame) {
  std::vector<std::pair<u32, Bytes>> out;
  if (frame.size() < 3) {
    return out;
  }
  const u8 id = static_cast<u8>(frame[1] >> 2);
  TestFrames::ParseOptions opt;
  if (!TestFrames::IsSnmtId(id)) {
    opt.scmUdid = scmUdid;
  }
  const ParsedFrame r = TestFrames::ParseFrame(frame, opt);
  if (!r.ok) {
    return out;
  }
  SimNode* node = nullptr;
  if (r.id == 0x2A) {
    for (SimNode& n : nodes) {
      if (r.payload.size() == 6 && Bytes(n.udid.begin(), n.udid.end()) == r.payload) {
        node = &n;
      }
    }
  } else {
    node = BySadr(r.adr);
  }
  if (node == nullptr) {
    return out;
  }
  node->received.push_back(r);
  Action a;
  if (node->script) {
    a = node->script(*node, r);
  }
  std::vector<FrameSpec> answers;
  if (a.kind == Action::Default) {
    answers = IdealAnswers(*node, r);
  } else if (a.kind == Action::Replace) {
    answers = a.frames;
  }
  for (FrameSpec& s : answers) {
    out.emplace_back(a.delay, TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(s, scmUdid)));
  }
  return out;
}

}  // namespace MgrTest
