// The node's SSDO server: uploads of 0x1018 and downloads to 0x101A/0,
// expedited and segmented, with preload, toggles, sequence numbers and aborts.
#include <algorithm>

#include "FrameBuilder.h"
#include "SimNode.h"

namespace SimNodes {

namespace {

/// SSDO ids.
constexpr u8 kSlimRequest = 0x3A;   ///< slim SSDO request
constexpr u8 kResponse = 0x39;      ///< SSDO response
constexpr u8 kSlimResponse = 0x3B;  ///< slim SSDO response
/// Commands.
constexpr u8 kAbort = 0x04;              ///< abort, LE 8
constexpr u8 kUploadInitiate = 0x20;     ///< upload initiate / expedited upload answer
constexpr u8 kUploadSegmented = 0x28;    ///< answer: segmented upload initiated
constexpr u8 kDownloadExpedited = 0x21;  ///< expedited download initiate
constexpr u8 kDownloadSegmented = 0x29;  ///< segmented download initiate
constexpr u8 kDownloadPreload = 0x2B;    ///< segmented download initiate with preload
constexpr u8 kUploadSegment = 0x08;      ///< upload segment request (toggle masked)
constexpr u8 kMiddleSegment = 0x09;      ///< middle download segment (toggle masked)
constexpr u8 kPreloadSegment = 0x0B;     ///< middle download segment with preload (toggle masked)
constexpr u8 kLastSegment = 0x49;        ///< last download segment (toggle masked)
constexpr u8 kLastFlag = 0x40;           ///< added to an upload segment answer on the last segment
constexpr u8 kToggle = 0x10;             ///< toggle bit of the command
constexpr u8 kRepeatTr = 0x30;           ///< TR of a preload answer asking for a repeat; also the base of the window TR
/// Abort codes.
constexpr u32 kBadCommand = 0x05040001;    ///< unknown command; preload refused
constexpr u32 kBadSize = 0x05040002;       ///< size beyond the object or not matching the announcement
constexpr u32 kNoRead = 0x06010001;        ///< object cannot be read
constexpr u32 kReadOnly = 0x06010002;      ///< object cannot be written
constexpr u32 kNoObject = 0x06020000;      ///< object does not exist
constexpr u32 kBadLength = 0x06070010;     ///< frame length not fitting the command
constexpr u32 kNoSub = 0x06090011;         ///< sub-index does not exist
/// Objects served.
constexpr u16 kIdentity = 0x1018;   ///< identity and parameter object
constexpr u16 kParameters = 0x101A; ///< parameter set download object
constexpr u8 kExpeditedMax = 8;     ///< largest value answered expedited
constexpr u8 kHeader = 4;           ///< command, index and sub-index bytes
constexpr u8 kSegmentedHeader = 8;  ///< header plus the u32 size

/// Little-endian u32 into out.
void PutU32(Bytes& out, u32 v) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<u8>(v >> (8 * i)));
  }
}

/// Little-endian u32 at p.
u32 GetU32(const u8* p) { return static_cast<u32>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<u32>(p[3]) << 24); }

/// Index and sub-index of a request that carries them.
u16 IndexOf(const NodeRequest& req) {
  return req.payload.size() >= 3 ? static_cast<u16>(req.payload[1] | (req.payload[2] << 8)) : 0;
}
/// Sub-index of a request that carries it.
u8 SubOf(const NodeRequest& req) { return req.payload.size() >= 4 ? req.payload[3] : 0; }

/// Command, index and sub-index bytes.
Bytes WithIndex(u8 command, u16 index, u8 sub) {
  return Bytes{command, static_cast<u8>(index & 0xFF), static_cast<u8>(index >> 8), sub};
}

}  // namespace

u8 SimNode::AnswerLimit(bool slim) const {
  if (slim) {
    if (config_.faults.oversize) {
      return Limits::MaxSlimAnswerLe;
    }
    return static_cast<u8>(std::min<u32>(2u * config_.payloadLimit - 2u, Limits::MaxSlimAnswerLe));
  }
  if (config_.faults.oversize) {
    return Limits::MaxAnswerLe;
  }
  return static_cast<u8>(std::min<u32>(config_.payloadLimit, Limits::MaxAnswerLe));
}

u32 SimNode::RequestLimit(bool slim) const {
  return slim ? 2u * config_.payloadLimit - 2u : config_.payloadLimit;
}

std::optional<Bytes> SimNode::SsdoAnswer(const NodeRequest& req, Bytes payload, u16 ct, u8 tr) {
  TestFrames::FrameSpec fields;
  fields.id = req.id == kSlimRequest ? kSlimResponse : kResponse;
  fields.adr = req.tadr;
  fields.sdn = req.sdn;
  fields.ct = ct;
  fields.tadr = req.adr;
  fields.tr = tr;
  fields.payload = std::move(payload);
  fields.scmUdid = scmUdid_;
  toggle_ ^= kToggle;
  return Send(TestFrames::BuildFrame(fields));
}

std::optional<Bytes> SimNode::SsdoAbort(const NodeRequest& req, u32 abortCode) {
  const u16 index = transfer_.kind != Transfer::Kind::None ? transfer_.index : IndexOf(req);
  const u8 sub = transfer_.kind != Transfer::Kind::None ? transfer_.sub : SubOf(req);
  Bytes payload = WithIndex(kAbort, index, sub);
  PutU32(payload, abortCode);
  ResetTransfer();
  ++record_.abortsSent;
  std::optional<Bytes> answer = SsdoAnswer(req, std::move(payload), req.ct, 0);
  toggle_ = 0;
  return answer;
}

void SimNode::ResetTransfer() {
  transfer_ = Transfer{};
  toggle_ = 0;
}

std::optional<u32> SimNode::ReadObject(u16 index, u8 sub, Bytes& value) {
  value.clear();
  if (index == kParameters) {
    return sub == 0 ? std::optional<u32>(kNoRead) : std::optional<u32>(kNoSub);
  }
  if (index != kIdentity) {
    return kNoObject;
  }
  // An identity value, complemented by its fault.
  const auto identity = [this](u32 value, bool wrong, std::string_view fault) {
    if (wrong) {
      Applied(fault);
    }
    return wrong ? ~value : value;
  };
  u32 number = 0;
  switch (sub) {
    case 1:
      number = identity(config_.vendorId, config_.faults.wrongVendor, FaultNames::WrongVendor);
      break;
    case 2:
      number = identity(config_.productCode, config_.faults.wrongProduct, FaultNames::WrongProduct);
      break;
    case 3:
      number = identity(config_.revision, config_.faults.wrongRevision, FaultNames::WrongRevision);
      break;
    case 6:
      if (checksum_ != config_.checksum && config_.faults.wrongChecksum) {
        Applied(FaultNames::WrongChecksum);
      }
      value = checksum_;
      return std::nullopt;
    case 7:
      number = timestamp_;
      if (timestamp_ != config_.timestamp && config_.faults.wrongTimestamp) {
        Applied(FaultNames::WrongTimestamp);
      }
      if (config_.faults.shortTimestamp) {
        Applied(FaultNames::ShortTimestamp);
        PutU32(value, number);
        value.resize(2);
        return std::nullopt;
      }
      break;
    default:
      return kNoSub;
  }
  PutU32(value, number);
  return std::nullopt;
}

std::optional<u32> SimNode::CheckWrite(u16 index, u8 sub) const {
  if (index == kIdentity) {
    return (sub >= 1 && sub <= 3) || sub == 6 || sub == 7 ? kReadOnly : kNoSub;
  }
  if (index != kParameters) {
    return kNoObject;
  }
  return sub == 0 ? std::nullopt : std::optional<u32>(kNoSub);
}

void SimNode::TakeParameters(const Bytes& data) {
  ++record_.downloadsComplete;
  if (additionalAsked_) {
    // The download that follows the request is the additional set.
    if (config_.askAdditional->expected.empty() || config_.askAdditional->expected == data) {
      additionalAsked_ = false;
      additionalSatisfied_ = true;
      ++record_.additionalSetsReceived;
    }
    return;
  }
  if (data == config_.parameterSet) {
    ++record_.downloadsMatching;
    checksum_ = config_.checksum;
    timestamp_ = config_.timestamp;
    return;
  }
  checksum_ = Complemented(config_.checksum);
  timestamp_ = ~config_.timestamp;
}

std::optional<Bytes> SimNode::HandleSsdo(const NodeRequest& req) {
  if (req.tr != 0 || record_.sadr == 0 || req.adr != record_.sadr || req.sdn != record_.sdn) {
    return std::nullopt;
  }
  const bool slim = req.id == kSlimRequest;
  if (req.payload.empty()) {
    return std::nullopt;
  }
  if (transfer_.kind == Transfer::Kind::Upload) {
    return SsdoUploadSegment(req);
  }
  if (transfer_.kind == Transfer::Kind::Download) {
    return SsdoDownloadSegment(req);
  }
  if (req.payload.size() < kHeader || req.payload.size() > RequestLimit(slim)) {
    return std::nullopt;
  }
  return SsdoInitiate(req);
}

std::optional<Bytes> SimNode::SsdoInitiate(const NodeRequest& req) {
  ResetTransfer();
  const bool slim = req.id == kSlimRequest;
  const u8 command = req.payload[0];
  const u16 index = IndexOf(req);
  const u8 sub = SubOf(req);
  const std::size_t le = req.payload.size();
  if (command == kAbort) {
    return std::nullopt;
  }
  if (command == kUploadInitiate) {
    if (le != kHeader) {
      return std::nullopt;
    }
    Bytes value;
    if (const std::optional<u32> abort = ReadObject(index, sub, value)) {
      return SsdoAbort(req, *abort);
    }
    const u8 limit = AnswerLimit(slim);
    // A u32 of 2 bytes only passes the client as a segmented upload of announced size 2.
    const bool shortTimestamp = config_.faults.shortTimestamp && index == kIdentity && sub == 7;
    if (value.size() <= kExpeditedMax && value.size() + kHeader <= limit && !shortTimestamp) {
      Bytes payload = WithIndex(kUploadInitiate, index, sub);
      payload.insert(payload.end(), value.begin(), value.end());
      if (config_.faults.oversize && payload.size() < limit) {
        payload.resize(limit, 0);
        Applied(FaultNames::Oversize);
      }
      std::optional<Bytes> answer = SsdoAnswer(req, std::move(payload), req.ct, 0);
      ResetTransfer();
      return answer;
    }
    const std::size_t first = std::min<std::size_t>(limit - kSegmentedHeader, value.size());
    Bytes payload = WithIndex(kUploadSegmented, index, sub);
    PutU32(payload, static_cast<u32>(value.size()));
    payload.insert(payload.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(first));
    if (config_.faults.oversize && limit > std::min<u32>(config_.payloadLimit, Limits::MaxAnswerLe)) {
      Applied(FaultNames::Oversize);
    }
    transfer_.kind = Transfer::Kind::Upload;
    transfer_.index = index;
    transfer_.sub = sub;
    transfer_.data = std::move(value);
    transfer_.done = static_cast<u32>(first);
    return SsdoAnswer(req, std::move(payload), req.ct, 0);
  }
  if (command == kDownloadExpedited) {
    if (const std::optional<u32> abort = CheckWrite(index, sub)) {
      return SsdoAbort(req, *abort);
    }
    const Bytes data(req.payload.begin() + kHeader, req.payload.end());
    std::optional<Bytes> answer = SsdoAnswer(req, WithIndex(kDownloadExpedited, index, sub), req.ct, 0);
    TakeParameters(data);
    ResetTransfer();
    return answer;
  }
  if (command == kDownloadSegmented || command == kDownloadPreload) {
    if (const std::optional<u32> abort = CheckWrite(index, sub)) {
      return SsdoAbort(req, *abort);
    }
    if (le < kSegmentedHeader) {
      return SsdoAbort(req, kBadLength);
    }
    const u32 total = GetU32(req.payload.data() + kHeader);
    const u32 first = static_cast<u32>(le - kSegmentedHeader);
    if (total > Limits::ParameterCapacity || (total != 0 && first > total)) {
      return SsdoAbort(req, kBadSize);
    }
    if (command == kDownloadPreload && config_.faults.preloadRefused) {
      Applied(FaultNames::PreloadRefused);
      return SsdoAbort(req, kBadCommand);
    }
    transfer_.kind = Transfer::Kind::Download;
    transfer_.index = index;
    transfer_.sub = sub;
    transfer_.total = total;
    transfer_.preload = command == kDownloadPreload;
    transfer_.lastCt = req.ct;
    transfer_.data.assign(req.payload.begin() + kSegmentedHeader, req.payload.end());
    const u8 tr = transfer_.preload ? static_cast<u8>(kRepeatTr | config_.preloadWindow) : 0;
    return SsdoAnswer(req, WithIndex(command, index, sub), req.ct, tr);
  }
  return SsdoAbort(req, kBadCommand);
}

std::optional<Bytes> SimNode::OutsideTransfer(const NodeRequest& req) {
  if (req.payload[0] == kAbort) {
    // An abort ends the transfer only when it names the running object.
    if (IndexOf(req) == transfer_.index && SubOf(req) == transfer_.sub && req.payload.size() == kSegmentedHeader) {
      ResetTransfer();
    }
    return std::nullopt;
  }
  // Anything else ends the transfer and starts anew.
  ResetTransfer();
  return HandleSsdo(req);
}

std::optional<Bytes> SimNode::SsdoUploadSegment(const NodeRequest& req) {
  const bool slim = req.id == kSlimRequest;
  const u8 command = req.payload[0];
  if ((command & 0xEF) != kUploadSegment) {
    return OutsideTransfer(req);
  }
  if (req.payload.size() != kHeader) {
    return SsdoAbort(req, kBadLength);
  }
  if ((command & kToggle) != toggle_ || IndexOf(req) != transfer_.index || SubOf(req) != transfer_.sub) {
    return std::nullopt;
  }
  const u32 n = AnswerLimit(slim) - 1u;
  const u32 remaining = static_cast<u32>(transfer_.data.size()) - transfer_.done;
  const bool last = remaining <= n;
  const u32 take = last ? remaining : n;
  Bytes payload{static_cast<u8>(command | (last ? kLastFlag : 0))};
  const auto from = transfer_.data.begin() + transfer_.done;
  payload.insert(payload.end(), from, from + take);
  if (config_.faults.oversize && take + 1 > std::min<u32>(config_.payloadLimit, Limits::MaxAnswerLe)) {
    Applied(FaultNames::Oversize);
  }
  transfer_.done += take;
  std::optional<Bytes> answer = SsdoAnswer(req, std::move(payload), req.ct, 0);
  if (last) {
    ResetTransfer();
  }
  return answer;
}

std::optional<Bytes> SimNode::SsdoDownloadSegment(const NodeRequest& req) {
  const bool slim = req.id == kSlimRequest;
  const u8 command = req.payload[0];
  const u8 plain = command & 0xEF;
  if (plain != kMiddleSegment && plain != kPreloadSegment && plain != kLastSegment) {
    return OutsideTransfer(req);
  }
  if (req.payload.size() < 2 || req.payload.size() > RequestLimit(slim)) {
    return SsdoAbort(req, kBadLength);
  }
  // Preloaded middle segments are ordered by their sequence number instead of the toggle.
  const bool bySequence = plain == kPreloadSegment;
  if (!bySequence && (command & kToggle) != toggle_) {
    return std::nullopt;
  }
  const u32 n = static_cast<u32>(req.payload.size() - 1);
  const u32 done = static_cast<u32>(transfer_.data.size());
  if (bySequence && req.ct != static_cast<u16>(transfer_.lastCt + 1)) {
    // A gap in the sequence: ask for the segment after the last one taken.
    ++record_.repeatRequests;
    return SsdoAnswer(req, Bytes{command}, static_cast<u16>(transfer_.lastCt + 1), kRepeatTr);
  }
  const u32 capacity = transfer_.total != 0 ? transfer_.total : Limits::ParameterCapacity;
  const bool fits = plain == kLastSegment ? (transfer_.total != 0 ? done + n == transfer_.total : done + n <= capacity)
                                          : (transfer_.total != 0 ? done + n < transfer_.total : done + n <= capacity);
  if (!fits) {
    return SsdoAbort(req, kBadSize);
  }
  transfer_.data.insert(transfer_.data.end(), req.payload.begin() + 1, req.payload.end());
  if (bySequence) {
    transfer_.lastCt = req.ct;
  }
  std::optional<Bytes> answer = SsdoAnswer(req, Bytes{command}, req.ct, 0);
  if (plain == kLastSegment) {
    const Bytes data = std::move(transfer_.data);
    ResetTransfer();
    TakeParameters(data);
  }
  return answer;
}

}  // namespace SimNodes
