// The frames of an SCM's conversation with its nodes, built with sim/frames:
// the SCM's requests as the firmware sends them and the nodes' answers as the
// network delivers them. Addresses follow the stack: requests carry the node's
// SADR in ADR and the SCM's in TADR, answers the reverse; SSDO frames carry the
// SCM-UDID coding.
#pragma once
#include "FrameBuilder.h"

namespace ScmTest {

using TestFrames::Bytes;
using TestFrames::FrameSpec;
using TestFrames::Udid;

class ConversationFrames {
 public:
  /// Frames of domain sdn between the SCM at scmSadr with scmUdid and its nodes.
  ConversationFrames(u16 sdn, u16 scmSadr, const Udid& scmUdid) : m_Sdn(sdn), m_ScmSadr(scmSadr), m_ScmUdid(scmUdid) {}

  /// SCM assigns its own UDID (SNMT service 0x0E to SADR scmSadr).
  FrameSpec AssignScmUdid() const;
  /// SCM assigns sadr to the node with this UDID.
  FrameSpec AssignSadr(u16 sadr, const Udid& udid) const;
  /// Node answers the assignment with its UDID.
  FrameSpec SadrAssigned(u16 sadr, const Udid& udid) const;
  /// Node answers a UDID request.
  FrameSpec ResponseUdid(u16 sadr, const Udid& udid) const;
  /// SCM sets sadr operational.
  FrameSpec SetToOp(u16 sadr) const;
  /// Node reports a failure.
  FrameSpec SnFail(u16 sadr, u8 group, u8 code) const;
  /// SCM acknowledges a node's failure.
  FrameSpec SnAck(u16 sadr, u8 group, u8 code) const;
  /// Node answers an upload expedited.
  FrameSpec UploadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct) const;
  /// Node answers an upload with a segmented initiate (total length first).
  FrameSpec UploadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data, u16 ct) const;
  /// Node's upload middle segment.
  FrameSpec UploadMiddle(u16 sadr, const Bytes& data, u16 ct) const;
  /// Node's upload end segment.
  FrameSpec UploadEnd(u16 sadr, const Bytes& data, u16 ct) const;
  /// SCM's expedited download.
  FrameSpec DownloadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct) const;
  /// SCM's segmented download initiate with preload (slim frames), total length first.
  FrameSpec DownloadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data, u16 ct) const;
  /// SCM's download middle segment within the preload window.
  FrameSpec DownloadMiddle(u16 sadr, const Bytes& data, u16 ct) const;
  /// SCM's download end segment.
  FrameSpec DownloadEnd(u16 sadr, const Bytes& data, u16 ct) const;

  /// Little-endian u32 bytes.
  static Bytes U32(u32 value);
  /// One parameter record: u16 index, u8 sub-index, u32 length, data.
  static Bytes Record(u16 index, u8 subIndex, const Bytes& data);
  /// Bytes complemented.
  static Bytes Complement(const Bytes& bytes);
  /// UDID complemented.
  static Udid Complement(const Udid& udid);

 private:
  FrameSpec Spec(u8 id, u16 adr, u16 tadr, u16 ct, Bytes payload) const;

  u16 m_Sdn;      ///< domain of every frame
  u16 m_ScmSadr;  ///< the SCM's SADR
  Udid m_ScmUdid; ///< the SCM UDID of the coding
};

}  // namespace ScmTest
