#include "RemoteMessages.h"

namespace TestFrames {

namespace {

constexpr std::size_t h = MessageSizes::Header;  ///< payload starts here

u32 GetLe(const Bytes& in, std::size_t offset, std::size_t bytes) {
  u32 value = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    value |= static_cast<u32>(in.at(offset + i)) << (8 * i);
  }
  return value;
}
u16 Get16(const Bytes& in, std::size_t offset) { return static_cast<u16>(GetLe(in, offset, 2)); }

/// Header of type 4 and the answer's first four fields (class, echo, result, code).
Bytes Answer(std::size_t payload, u16 identifier, u16 cls, u16 echo, u16 result, u16 code) {
  Bytes out(h + payload, 0);
  PutLe(out, 0, kResponseType, 2);
  PutLe(out, 2, identifier, 2);
  PutLe(out, h + 0, cls, 2);
  PutLe(out, h + 2, echo, 2);
  PutLe(out, h + 4, result, 2);
  PutLe(out, h + 6, code, 2);
  return out;
}

/// A type-4 message of exactly this payload size.
bool Fits(const Bytes& message, std::size_t payload) {
  return message.size() == h + payload && Get16(message, 0) == kResponseType;
}

/// Reads the first four fields into any of the answer specs.
template <typename Spec>
Spec Head(const Bytes& message) {
  Spec fields;
  fields.identifier = Get16(message, 2);
  fields.requestClass = Get16(message, h + 0);
  fields.echo = Get16(message, h + 2);
  fields.result = Get16(message, h + 4);
  fields.code = Get16(message, h + 6);
  return fields;
}

}  // namespace

Bytes BuildRawCommand(u16 identifier, const Bytes& payload) {
  Bytes out(h + payload.size(), 0);
  PutLe(out, 0, kCommandType, 2);
  PutLe(out, 2, identifier, 2);
  for (std::size_t i = 0; i < payload.size(); ++i) {
    out[h + i] = payload[i];
  }
  return out;
}

Bytes BuildObjectRead(const ObjectReadSpec& fields) {
  Bytes payload(16 + 4 * fields.objects.size(), 0);
  const u16 count = fields.count.value_or(static_cast<u16>(fields.objects.size()));
  PutLe(payload, 0, kObjectReadClass, 2);
  PutLe(payload, 2, fields.lengthWord.value_or(static_cast<u16>(18 + 4 * fields.objects.size())), 2);
  PutLe(payload, 4, fields.service, 2);
  PutLe(payload, 8, fields.word, 2);
  PutLe(payload, 10, fields.version, 2);
  PutLe(payload, 12, count, 2);
  for (std::size_t i = 0; i < fields.objects.size(); ++i) {
    PutLe(payload, 16 + 4 * i, fields.objects[i].index, 2);
    payload[16 + 4 * i + 2] = fields.objects[i].sub;
  }
  return BuildRawCommand(fields.identifier, payload);
}

Bytes BuildPasswordInfo(const PasswordInfoSpec& f) {
  Bytes out = Answer(AnswerSizes::PasswordInfo, f.identifier, f.requestClass, f.echo, f.result, f.code);
  out[h + 8] = f.answer;
  return out;
}
std::optional<PasswordInfoSpec> ReadPasswordInfo(const Bytes& message) {
  if (!Fits(message, AnswerSizes::PasswordInfo)) return std::nullopt;
  PasswordInfoSpec fields = Head<PasswordInfoSpec>(message);
  fields.answer = message[h + 8];
  return fields;
}

Bytes BuildControllerUdid(const ControllerUdidSpec& f) {
  Bytes out = Answer(AnswerSizes::ControllerUdid, f.identifier, f.requestClass, f.echo, f.result, f.code);
  for (std::size_t i = 0; i < f.udid.size(); ++i) out[h + 8 + i] = f.udid[i];
  return out;
}
std::optional<ControllerUdidSpec> ReadControllerUdid(const Bytes& message) {
  if (!Fits(message, AnswerSizes::ControllerUdid)) return std::nullopt;
  ControllerUdidSpec fields = Head<ControllerUdidSpec>(message);
  for (std::size_t i = 0; i < fields.udid.size(); ++i) fields.udid[i] = message[h + 8 + i];
  return fields;
}

Bytes BuildAddressList(const AddressListSpec& f) {
  Bytes out = Answer(AnswerSizes::AddressList, f.identifier, f.requestClass, f.echo, f.result, f.code);
  for (std::size_t i = 0; i < f.sadrs.size(); ++i) PutLe(out, h + 8 + 2 * i, f.sadrs[i], 2);
  return out;
}
std::optional<AddressListSpec> ReadAddressList(const Bytes& message) {
  if (!Fits(message, AnswerSizes::AddressList)) return std::nullopt;
  AddressListSpec fields = Head<AddressListSpec>(message);
  for (std::size_t i = 0; i < fields.sadrs.size(); ++i) fields.sadrs[i] = Get16(message, h + 8 + 2 * i);
  return fields;
}

Bytes BuildModuleFlags(const ModuleFlagsSpec& f) {
  Bytes out = Answer(AnswerSizes::ModuleFlags, f.identifier, f.requestClass, f.echo, f.result, f.code);
  for (std::size_t i = 0; i < 16; ++i) {
    out[h + 8 + i] = f.missing[i];
    out[h + 24 + i] = f.mismatch[i];
    out[h + 40 + i] = f.firmware[i];
  }
  return out;
}
std::optional<ModuleFlagsSpec> ReadModuleFlags(const Bytes& message) {
  if (!Fits(message, AnswerSizes::ModuleFlags)) return std::nullopt;
  ModuleFlagsSpec fields = Head<ModuleFlagsSpec>(message);
  for (std::size_t i = 0; i < 16; ++i) {
    fields.missing[i] = message[h + 8 + i];
    fields.mismatch[i] = message[h + 24 + i];
    fields.firmware[i] = message[h + 40 + i];
  }
  return fields;
}

Bytes BuildObjectReadAnswer(const ObjectReadAnswerSpec& f) {
  const std::size_t size = f.refused ? AnswerSizes::ObjectReadRefusal
                                     : AnswerSizes::ObjectReadHeader + AnswerSizes::ObjectReadEntry * f.entries.size();
  Bytes out(h + size, 0);
  PutLe(out, 0, kResponseType, 2);
  PutLe(out, 2, f.identifier, 2);
  PutLe(out, h + 10, f.result, 2);
  if (f.refused && f.requestClass == 0) {
    return out;  // the "too short" refusal: its result alone
  }
  PutLe(out, h + 0, f.requestClass, 2);
  PutLe(out, h + 2, size + 2, 2);
  PutLe(out, h + 4, f.service, 2);
  PutLe(out, h + 8, f.word, 2);
  PutLe(out, h + 12, f.version, 2);
  if (!f.refused) {
    PutLe(out, h + 14, f.entries.size(), 2);
    for (std::size_t i = 0; i < f.entries.size(); ++i) {
      const std::size_t at = h + AnswerSizes::ObjectReadHeader + AnswerSizes::ObjectReadEntry * i;
      PutLe(out, at, f.entries[i].index, 2);
      out[at + 2] = f.entries[i].sub;
      out[at + 3] = f.entries[i].error;
      PutLe(out, at + 4, f.entries[i].value, 4);
    }
  }
  return out;
}
std::optional<ObjectReadAnswerSpec> ReadObjectReadAnswer(const Bytes& message) {
  if (message.size() < h + AnswerSizes::ObjectReadRefusal || Get16(message, 0) != kResponseType) return std::nullopt;
  ObjectReadAnswerSpec fields;
  fields.identifier = Get16(message, 2);
  fields.requestClass = Get16(message, h + 0);
  fields.service = Get16(message, h + 4);
  fields.word = Get16(message, h + 8);
  fields.result = Get16(message, h + 10);
  fields.version = Get16(message, h + 12);
  const std::size_t payload = message.size() - h;
  if (payload == AnswerSizes::ObjectReadRefusal) {
    // The "too short" refusal carries nothing but its result.
    fields.refused = true;
    if (fields.requestClass != kObjectReadClass && fields.requestClass != 0) return std::nullopt;
    return fields;
  }
  if (fields.requestClass != kObjectReadClass || payload < AnswerSizes::ObjectReadHeader) return std::nullopt;
  const std::size_t count = Get16(message, h + 14);
  if (payload != AnswerSizes::ObjectReadHeader + AnswerSizes::ObjectReadEntry * count ||
      Get16(message, h + 2) != payload + 2) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = h + AnswerSizes::ObjectReadHeader + AnswerSizes::ObjectReadEntry * i;
    fields.entries.push_back({Get16(message, at), message[at + 2], message[at + 3], GetLe(message, at + 4, 4)});
  }
  return fields;
}

std::optional<StatusSpec> ReadStatus(const Bytes& message) {
  if (message.size() != MessageSizes::Status || Get16(message, 0) != kResponseType) return std::nullopt;
  StatusSpec fields;
  fields.type = kResponseType;
  fields.identifier = Get16(message, 2);
  fields.requestClass = Get16(message, h + 0);
  fields.echo = Get16(message, h + 2);
  fields.result = Get16(message, h + 4);
  fields.remoteState = Get16(message, h + 6);
  fields.storedCode = Get16(message, h + 8);
  fields.storedEcho = Get16(message, h + 10);
  fields.lastCompleted = Get16(message, h + 12);
  fields.keyChangeAcceptable = message[h + 15];
  fields.startupOrScan = message[h + 17];
  fields.moduleStateLow = message[h + 19];
  fields.missing = Get16(message, h + 20);
  fields.mismatches = Get16(message, h + 22);
  fields.firmwareDifferences = Get16(message, h + 24);
  for (std::size_t i = 0; i < fields.sadrs.size(); ++i) fields.sadrs[i] = Get16(message, h + 26 + 2 * i);
  for (std::size_t i = 0; i < 16; ++i) {
    fields.missingBits[i] = message[h + 228 + i];
    fields.mismatchBits[i] = message[h + 244 + i];
    fields.firmwareBits[i] = message[h + 260 + i];
  }
  return fields;
}

std::optional<NewStatusSpec> ReadNewStatus(const Bytes& message) {
  if (message.size() != MessageSizes::NewStatus || Get16(message, 0) != kResponseType ||
      Get16(message, h + 6) != 0x5000) {
    return std::nullopt;
  }
  NewStatusSpec fields;
  fields.identifier = Get16(message, 2);
  fields.requestClass = Get16(message, h + 0);
  fields.echo = Get16(message, h + 2);
  fields.result = Get16(message, h + 4);
  fields.code = Get16(message, h + 6);
  fields.version = message[h + 8];
  fields.missing = Get16(message, h + 10);
  fields.mismatches = Get16(message, h + 12);
  fields.firmwareDifferences = Get16(message, h + 14);
  fields.configured = Get16(message, h + 16);
  fields.stateBits = GetLe(message, h + 40, 4);
  return fields;
}

}  // namespace TestFrames
