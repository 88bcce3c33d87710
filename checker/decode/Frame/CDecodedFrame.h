// Base of every decoded safety frame: checks a frame in queue form completely
// (length, both CRCs, the SCM-UDID coding of sub-frame TWO, equal payload
// copies) and binds it, without copying, to this object. The caller's buffer
// is only read.
#pragma once
#include <initializer_list>

#include "ScmTypes.h"

namespace Frame {

class CDecodedFrameVisitor;

class CDecodedFrame {
 public:
  /// Calls the visitor operation named after the concrete kind (none for the unknown frame).
  virtual void Accept(CDecodedFrameVisitor& visitor) const = 0;
  virtual ~CDecodedFrame();

  CDecodedFrame(const CDecodedFrame&) = delete;
  CDecodedFrame& operator=(const CDecodedFrame&) = delete;

  static constexpr u32 ms_FrameLengthMin = 11;          ///< shortest frame: LE 0 with one-byte CRCs
  static constexpr u32 ms_OneByteCrcLeMax = 9;          ///< exclusive bound: LE below it uses one-byte CRCs
  static constexpr u32 ms_SubFrame1LeOffset = 2;        ///< ONE: LE
  static constexpr u32 ms_SubFrame1CtLowOffset = 3;     ///< ONE: CT bits 0..7
  static constexpr u32 ms_SubFrame1DbOffset = 4;        ///< ONE: first payload byte
  static constexpr u32 ms_SubFrame2CtHighOffset = 2;    ///< TWO: CT bits 8..15
  static constexpr u32 ms_BasicSubFrame2DbOffset = 5;   ///< TWO: first payload byte of a basic frame
  static constexpr u32 ms_SlimSubFrame2CrcOffset = 5;   ///< TWO: CRC2 of a slim frame
  static constexpr u32 ms_ErrorGroupOffset = 1;         ///< payload: error group (SN acknowledge, SN fail)
  static constexpr u32 ms_ErrorCodeOffset = 2;          ///< payload: error code (SN acknowledge, SN fail)
  static constexpr u32 ms_IndexDbOffset = 1;            ///< payload: u16 object index (initiate kinds)
  static constexpr u32 ms_SubIndexDbOffset = 3;         ///< payload: sub-index (initiate kinds)
  static constexpr u32 ms_PayloadDbOffset = 4;          ///< payload: parameter data (initiate kinds)
  static constexpr u32 ms_SegmentDbOffset = 1;          ///< payload: segment data (segment kinds)

  /// Checks the frame and binds it; key is the 6-byte descrambling key of TWO.
  /// Every refusal throws Util::CException and leaves the object invalid.
  void Initialize(u16 length, const u8* frame, const u8* key);

  /// Fields of a valid object; each throws 0xE200 while the object is not valid.
  u16 GetAdr() const;
  u8 GetId() const;
  u8 GetLe() const;
  u16 GetCt() const;
  u16 GetTadr() const;
  u8 GetTr() const;
  u16 GetSdn() const;
  /// The payload, ONE byte 4, inside the caller's buffer.
  const u8* GetDbs() const;

  /// Readers of raw frames: null 0xE200, length 10 or less 0xE2BE (i1 length).
  static u8 GetId(u16 length, const u8* frame);
  /// ONE byte 4: the extended service of an SNMT service frame (CRC1 when LE is 0).
  static u8 GetSnmtExtendedService(u16 length, const u8* frame);
  /// ONE byte 4: the SOD access command of an SSDO frame (CRC1 when LE is 0).
  static u8 GetSsdoSodAccessCommand(u16 length, const u8* frame);
  static bool IsSnmt(u16 length, const u8* frame);
  static bool IsSsdo(u16 length, const u8* frame);
  static bool IsSpdo(u16 length, const u8* frame);
  static bool IsSlim(u16 length, const u8* frame);
  static bool IsBasic(u16 length, const u8* frame);

 protected:
  CDecodedFrame();

  /// Initialize with the smallest LE the kind needs; a smaller LE throws 0xE2BF.
  void InitializeKind(u16 length, const u8* frame, const u8* key, u8 leMin);

  /// Recognizer test: the id matches and a service byte exists (LE at least 1).
  static bool HasIdAndService(u16 length, const u8* frame, u8 id);
  /// The service byte (ONE byte 4) equals one of the values.
  static bool IsServiceOneOf(u16 length, const u8* frame, std::initializer_list<u8> values);

  /// Payload reads of a valid object, bounded by LE (beyond it: 0xE200).
  u8 GetPayloadByte(u32 offset) const;
  u16 GetPayloadU16(u32 offset) const;
  /// Pointer to count payload bytes from offset, all inside the payload.
  const u8* GetPayloadBytes(u32 offset, u32 count) const;
  /// Pointer to the payload from offset to its end (offset at most LE).
  const u8* GetPayloadFrom(u32 offset) const;
  /// LE - offset (offset at most LE).
  u8 GetLengthFrom(u32 offset) const;

 private:
  /// Throws 0xE200 unless the object is valid.
  void CheckValid() const;

  const u8* m_pFrame;  ///< start of the frame in the caller's buffer; null until the first Initialize
  u16 m_Adr;           ///< 10-bit address field of ONE
  u8 m_Id;             ///< 6-bit frame id of ONE
  u8 m_Le;             ///< payload length, ONE byte 2
  u16 m_Ct;            ///< consecutive time: TWO byte 2 high, ONE byte 3 low
  u16 m_Tadr;          ///< 10-bit TADR of the descrambled TWO
  u8 m_Tr;             ///< 6-bit time request number of the descrambled TWO
  u16 m_Sdn;           ///< ONE's address field XOR the descrambled TWO's
  bool m_Valid;        ///< set only at the successful end of Initialize
};

}  // namespace Frame
