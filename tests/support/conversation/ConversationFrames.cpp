#include "ConversationFrames.h"

namespace ScmTest {

namespace {

Bytes UdidBytes(const Udid& udid) { return Bytes(udid.begin(), udid.end()); }

Bytes Initiate(u8 command, u16 index, u8 subIndex, const Bytes& data) {
  Bytes payload = {command, static_cast<u8>(index & 0xFF), static_cast<u8>(index >> 8), subIndex};
  payload.insert(payload.end(), data.begin(), data.end());
  return payload;
}

Bytes Segment(u8 command, const Bytes& data) {
  Bytes payload = {command};
  payload.insert(payload.end(), data.begin(), data.end());
  return payload;
}

Bytes WithTotal(u32 total, const Bytes& data) {
  Bytes all = ConversationFrames::U32(total);
  all.insert(all.end(), data.begin(), data.end());
  return all;
}

}  // namespace

FrameSpec ConversationFrames::Spec(u8 id, u16 adr, u16 tadr, u16 ct, Bytes payload) const {
  FrameSpec fields;
  fields.id = id;
  fields.adr = adr;
  fields.sdn = m_Sdn;
  fields.ct = ct;
  fields.tadr = tadr;
  fields.payload = std::move(payload);
  return TestFrames::WithFirmwareCoding(fields, m_ScmUdid);
}

FrameSpec ConversationFrames::AssignScmUdid() const {
  Bytes payload = {0x0E};
  payload.insert(payload.end(), m_ScmUdid.begin(), m_ScmUdid.end());
  return Spec(TestFrames::Ids::SnmtService, m_ScmSadr, m_ScmSadr, 0, payload);
}
FrameSpec ConversationFrames::AssignSadr(u16 sadr, const Udid& udid) const {
  return Spec(TestFrames::Ids::AssignSadr, sadr, m_ScmSadr, 0, UdidBytes(udid));
}
FrameSpec ConversationFrames::SadrAssigned(u16 sadr, const Udid& udid) const {
  return Spec(TestFrames::Ids::SadrAssigned, m_ScmSadr, sadr, 0, UdidBytes(udid));
}
FrameSpec ConversationFrames::ResponseUdid(u16 sadr, const Udid& udid) const {
  return Spec(TestFrames::Ids::UdidResponse, m_ScmSadr, sadr, 0, UdidBytes(udid));
}
FrameSpec ConversationFrames::SetToOp(u16 sadr) const { return Spec(TestFrames::Ids::SnmtService, sadr, m_ScmSadr, 0, {0x02}); }
FrameSpec ConversationFrames::SnFail(u16 sadr, u8 group, u8 code) const {
  return Spec(TestFrames::Ids::SnmtServiceResponse, m_ScmSadr, sadr, 0, {0x07, group, code});
}
FrameSpec ConversationFrames::SnAck(u16 sadr, u8 group, u8 code) const {
  return Spec(TestFrames::Ids::SnmtService, sadr, m_ScmSadr, 0, {0x0C, group, code});
}
FrameSpec ConversationFrames::UploadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct) const {
  return Spec(TestFrames::Ids::SsdoResponse, m_ScmSadr, sadr, ct, Initiate(0x20, index, subIndex, data));
}
FrameSpec ConversationFrames::UploadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data,
                                                      u16 ct) const {
  return Spec(TestFrames::Ids::SsdoResponse, m_ScmSadr, sadr, ct, Initiate(0x28, index, subIndex, WithTotal(total, data)));
}
FrameSpec ConversationFrames::UploadMiddle(u16 sadr, const Bytes& data, u16 ct) const {
  return Spec(TestFrames::Ids::SsdoResponse, m_ScmSadr, sadr, ct, Segment(0x08, data));
}
FrameSpec ConversationFrames::UploadEnd(u16 sadr, const Bytes& data, u16 ct) const {
  return Spec(TestFrames::Ids::SsdoResponse, m_ScmSadr, sadr, ct, Segment(0x48, data));
}
FrameSpec ConversationFrames::DownloadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct) const {
  return Spec(TestFrames::Ids::SsdoRequest, sadr, m_ScmSadr, ct, Initiate(0x21, index, subIndex, data));
}
FrameSpec ConversationFrames::DownloadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data,
                                                        u16 ct) const {
  return Spec(TestFrames::Ids::SlimSsdoRequest, sadr, m_ScmSadr, ct,
              Initiate(0x2B, index, subIndex, WithTotal(total, data)));
}
FrameSpec ConversationFrames::DownloadMiddle(u16 sadr, const Bytes& data, u16 ct) const {
  return Spec(TestFrames::Ids::SlimSsdoRequest, sadr, m_ScmSadr, ct, Segment(0x0B, data));
}
FrameSpec ConversationFrames::DownloadEnd(u16 sadr, const Bytes& data, u16 ct) const {
  return Spec(TestFrames::Ids::SlimSsdoRequest, sadr, m_ScmSadr, ct, Segment(0x49, data));
}

Bytes ConversationFrames::U32(u32 value) {
  return {static_cast<u8>(value), static_cast<u8>(value >> 8), static_cast<u8>(value >> 16),
          static_cast<u8>(value >> 24)};
}

Bytes ConversationFrames::Record(u16 index, u8 subIndex, const Bytes& data) {
  Bytes record = {static_cast<u8>(index & 0xFF), static_cast<u8>(index >> 8), subIndex};
  const Bytes length = U32(static_cast<u32>(data.size()));
  record.insert(record.end(), length.begin(), length.end());
  record.insert(record.end(), data.begin(), data.end());
  return record;
}

Bytes ConversationFrames::Complement(const Bytes& bytes) {
  Bytes out(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out[i] = static_cast<u8>(~bytes[i]);
  }
  return out;
}

Udid ConversationFrames::Complement(const Udid& udid) {
  Udid out{};
  for (std::size_t i = 0; i < udid.size(); ++i) {
    out[i] = static_cast<u8>(~udid[i]);
  }
  return out;
}

}  // namespace ScmTest
