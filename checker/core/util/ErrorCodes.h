// The single register of the checker's error codes 0xE200 to 0xE2ED.
// Each component adds the names it raises, in its own block, in code order.
#pragma once
#include <cstdint>

namespace Util {

class ErrorCodes {
 public:
  // --- start-up, session and timeout ---
  static constexpr std::uint16_t ms_InternalError = 0xE200;  ///< internal assertion (i0 line, i1 file id)
  static constexpr std::uint16_t ms_ExecutableCheckFailed = 0xE202;  ///< self-test of the executable failed (i0 reason, i1 value)
  static constexpr std::uint16_t ms_FirmwareIdentDiffers = 0xE203;  ///< condition 2 answered another ident word (i1 answer)
  static constexpr std::uint16_t ms_CheckTaskNotSpawned = 0xE204;  ///< check task not spawned
  static constexpr std::uint16_t ms_CycleGapTooLong = 0xE205;  ///< cycle gap over 10 s, warning (i0 domain, i1 gap in us)
  static constexpr std::uint16_t ms_CycleSemaphoreFailed = 0xE206;  ///< cycle semaphore open/give/take (i0 0..3, i1 errno)
  static constexpr std::uint16_t ms_TimeoutTaskNotSpawned = 0xE209;  ///< timeout task not spawned
  static constexpr std::uint16_t ms_RealTimeClockFailed = 0xE20A;  ///< real-time clock not readable
  static constexpr std::uint16_t ms_CheckBitsMissing = 0xE20B;  ///< a sent frame lacks check bits (i0, i1 first u16s)
  static constexpr std::uint16_t ms_LockResetFailed = 0xE20C;  ///< ScmLockReset failed
  static constexpr std::uint16_t ms_UnlockResetFailed = 0xE20D;  ///< ScmUnlockReset failed
  static constexpr std::uint16_t ms_UnlockDeadlinePassed = 0xE20E;  ///< unlock deadline passed

  // --- persistence of acknowledged values ---
  static constexpr std::uint16_t ms_CorvaneUidChkWithoutPlain = 0xE212;  ///< only "corvane.uid.chk" has content
  static constexpr std::uint16_t ms_CorvaneUidPlainWithoutChk = 0xE213;  ///< only "corvane.uid" has content
  static constexpr std::uint16_t ms_CorvaneUidQorUdidDiffers = 0xE214;  ///< controller UDID of the pair differs
  static constexpr std::uint16_t ms_CorvaneUidTimestampDiffers = 0xE215;  ///< timestamp of the pair differs
  static constexpr std::uint16_t ms_CorvaneCpuReadFailed = 0xE216;  ///< flash file 16 read gave neither -1 nor 18 (i1 result)
  static constexpr std::uint16_t ms_CorvaneDatChkFewer = 0xE217;  ///< "corvane.dat.chk" has fewer entries
  static constexpr std::uint16_t ms_CorvaneDatChkMore = 0xE218;  ///< "corvane.dat.chk" has more entries
  static constexpr std::uint16_t ms_CorvaneDatSadrDiffers = 0xE219;  ///< entry SADRs differ (i0 plain SADR, i1 copy's SADR)
  static constexpr std::uint16_t ms_CorvaneDatUdidDiffers = 0xE21A;  ///< entry UDIDs differ (i0 plain SADR, i1 copy's SADR)
  static constexpr std::uint16_t ms_FwRevCnfBinChkFewer = 0xE21B;  ///< "fwrevcnf.bin.chk" has fewer entries
  static constexpr std::uint16_t ms_FwRevCnfBinChkMore = 0xE21C;  ///< "fwrevcnf.bin.chk" has more entries
  static constexpr std::uint16_t ms_FwRevCnfBinSadrDiffers = 0xE21D;  ///< entry SADRs differ (i0 plain SADR, i1 copy's SADR)
  static constexpr std::uint16_t ms_FwRevCnfBinMinorRevisionDiffers = 0xE21E;  ///< minor revisions differ (i0, i1 the SADRs)
  static constexpr std::uint16_t ms_CpuIdChkWithoutPlain = 0xE21F;  ///< only the copy has a CPU id
  static constexpr std::uint16_t ms_CpuIdPlainWithoutChk = 0xE220;  ///< only "fwrevcnf.bin" has a CPU id
  static constexpr std::uint16_t ms_CpuIdDiffers = 0xE221;  ///< the CPU ids' first six bytes differ
  static constexpr std::uint16_t ms_QorUdidChkWithoutPlain = 0xE222;  ///< only the copy has a controller UDID
  static constexpr std::uint16_t ms_QorUdidPlainWithoutChk = 0xE223;  ///< only "fwrevcnf.bin" has a controller UDID
  static constexpr std::uint16_t ms_QorUdidDiffers = 0xE224;  ///< the controller UDIDs differ
  static constexpr std::uint16_t ms_PasswordChkWithoutPlain = 0xE225;  ///< only the copy has a password
  static constexpr std::uint16_t ms_PasswordPlainWithoutChk = 0xE226;  ///< only "fwrevcnf.bin" has a password
  static constexpr std::uint16_t ms_PasswordDiffers = 0xE227;  ///< the passwords differ
  static constexpr std::uint16_t ms_SetupModeFlagsDiffer = 0xE228;  ///< key-medium-empty or setup flags differ (i1 the four flags)

  // --- runtime file storage ---
  static constexpr std::uint16_t ms_StorageFileTooLong = 0xE230;  ///< stored length above the capacity (i1 length)
  static constexpr std::uint16_t ms_StorageOpenFailed = 0xE231;  ///< ScmOpenStorage failed (i1 mode)
  static constexpr std::uint16_t ms_StorageLengthFailed = 0xE232;  ///< ScmGetStorageLength failed
  static constexpr std::uint16_t ms_StorageReadFailed = 0xE233;  ///< ScmReadStorage returned another length
  static constexpr std::uint16_t ms_StorageWriteFailed = 0xE234;  ///< ScmWriteStorage returned another length
  static constexpr std::uint16_t ms_StorageCloseFailed = 0xE235;  ///< ScmCloseStorage failed

  // --- Qor variable channel (older build) ---
  static constexpr std::uint16_t ms_QorFailSafe = 0xE238;  ///< controller reports fail-safe (i1 state)
  static constexpr std::uint16_t ms_QorChannelOpenFailed = 0xE239;  ///< channel 6 cannot be opened
  static constexpr std::uint16_t ms_QorChannelReceiveFailed = 0xE23A;  ///< channel receive failed
  static constexpr std::uint16_t ms_QorChannelSendFailed = 0xE23B;  ///< read request not sent whole
  static constexpr std::uint16_t ms_QorChannelCloseFailed = 0xE23C;  ///< channel cannot be closed
  static constexpr std::uint16_t ms_QorNoReadResponse = 0xE23D;  ///< no read response (i0 length, i1 first four bytes)
  static constexpr std::uint16_t ms_QorPayloadTooLong = 0xE23E;  ///< payload above the caller's maximum (i1 payload length)

  // --- queues, session and memory test ---
  static constexpr std::uint16_t ms_QueueOpenFailed = 0xE242;  ///< queue cannot be opened (i1 errno)
  static constexpr std::uint16_t ms_QueueInfoFailed = 0xE243;  ///< queue state cannot be read (i1 errno)
  static constexpr std::uint16_t ms_QueueReceiveFailed = 0xE244;  ///< receive failed (i1 errno)
  static constexpr std::uint16_t ms_QueueSendFailed = 0xE245;  ///< send failed (i1 errno)
  static constexpr std::uint16_t ms_SentFramesDropped = 0xE246;  ///< frames to the host dropped, warning (i1 count)
  static constexpr std::uint16_t ms_CorvaneNotAcknowledged = 0xE249;  ///< set to operational before the key medium was acknowledged
  static constexpr std::uint16_t ms_MemoryBlockCrcDiffers = 0xE24D;  ///< memory block CRC differs (i0 section, i1 block)

  // --- parameter files: corvane.uid ---
  static constexpr std::uint16_t ms_CorvaneUidLength = 0xE24F;  ///< length 1 to 17 or above the capacity, or capacity too small
  static constexpr std::uint16_t ms_CorvaneUidVersion = 0xE250;  ///< version word not 0x0100 (i1 value)

  // --- parameter files: kel_para.saf ---
  static constexpr std::uint16_t ms_KelParaSafLength = 0xE253;  ///< length above the capacity or below the header
  static constexpr std::uint16_t ms_KelParaSafHeaderLength = 0xE254;  ///< header length word not 64
  static constexpr std::uint16_t ms_KelParaSafVersion = 0xE255;  ///< version not 0x0200
  static constexpr std::uint16_t ms_KelParaSafTotalLength = 0xE256;  ///< total length not the content length
  static constexpr std::uint16_t ms_KelParaSafScmSectionVersion = 0xE257;  ///< SCM section kind not 0x101
  static constexpr std::uint16_t ms_KelParaSafHeaderCrc = 0xE258;  ///< header CRC-16 differs (i1 stored CRC)
  static constexpr std::uint16_t ms_KelParaSafSectionOffset = 0xE259;  ///< SCM section offset inside the header
  static constexpr std::uint16_t ms_KelParaSafSectionLength = 0xE25A;  ///< SCM section beyond the content
  static constexpr std::uint16_t ms_KelParaSafCrcOffset = 0xE25B;  ///< CRC list overlaps the section
  static constexpr std::uint16_t ms_KelParaSafCrcCount = 0xE25C;  ///< CRC count does not fit the section length
  static constexpr std::uint16_t ms_KelParaSafCrcList = 0xE25D;  ///< CRC list beyond the content (i1 expected count)
  static constexpr std::uint16_t ms_KelParaSafBlockCrc = 0xE25E;  ///< block CRC differs (i1 computed CRC)

  // --- parameter files: corvane.dat ---
  static constexpr std::uint16_t ms_CorvaneDatCapacity = 0xE263;  ///< length above the capacity (i0 capacity, i1 length)
  static constexpr std::uint16_t ms_CorvaneDatLength = 0xE264;  ///< length below the header
  static constexpr std::uint16_t ms_CorvaneDatHeaderLength = 0xE265;  ///< header length word not 64
  static constexpr std::uint16_t ms_CorvaneDatVersion = 0xE266;  ///< version not 2
  static constexpr std::uint16_t ms_CorvaneDatTotalLength = 0xE267;  ///< total length not the content length
  static constexpr std::uint16_t ms_CorvaneDatHeaderCrc = 0xE268;  ///< header CRC-16 differs (i1 computed CRC)
  static constexpr std::uint16_t ms_CorvaneDatSectionOffset = 0xE269;  ///< UDID section offset inside the header
  static constexpr std::uint16_t ms_CorvaneDatSectionLength = 0xE26A;  ///< UDID section beyond the content
  static constexpr std::uint16_t ms_CorvaneDatCrcOffset = 0xE26B;  ///< CRC list overlaps the section
  static constexpr std::uint16_t ms_CorvaneDatCrcCount = 0xE26C;  ///< CRC count does not fit the section length
  static constexpr std::uint16_t ms_CorvaneDatCrcList = 0xE26D;  ///< CRC list beyond the content (i1 expected count)
  static constexpr std::uint16_t ms_CorvaneDatBlockCrc = 0xE26E;  ///< block CRC differs (i1 computed CRC)

  // --- parameter files: fwrevcnf.bin ---
  static constexpr std::uint16_t ms_FwRevCnfBinLength = 0xE273;  ///< length too short or above the capacity, or capacity too small
  static constexpr std::uint16_t ms_FwRevCnfBinModuleSection = 0xE274;  ///< module section beyond the content (i0 8, i1 4n)
  static constexpr std::uint16_t ms_FwRevCnfBinAuthentificationSection = 0xE275;  ///< authentification section beyond the content (i1 position)
  static constexpr std::uint16_t ms_FwRevCnfBinCount = 0xE276;  ///< module count above 1023
  static constexpr std::uint16_t ms_FwRevCnfBinEntryLength = 0xE277;  ///< entry length not 4
  static constexpr std::uint16_t ms_FwRevCnfBinVersion = 0xE278;  ///< version not 0x0101
  static constexpr std::uint16_t ms_FwRevCnfBinEntryOffset = 0xE279;  ///< entry offset not 8
  static constexpr std::uint16_t ms_FwRevCnfBinModuleCrc = 0xE27A;  ///< module section CRC differs (i1 computed CRC)
  static constexpr std::uint16_t ms_FwRevCnfBinAuthentificationLength = 0xE27B;  ///< authentification length word not 8
  static constexpr std::uint16_t ms_FwRevCnfBinAuthentificationOffset = 0xE27C;  ///< authentification data offset not 4
  static constexpr std::uint16_t ms_FwRevCnfBinFlags = 0xE27D;  ///< feature flags above bit 4
  static constexpr std::uint16_t ms_FwRevCnfBinAuthentificationCrc = 0xE27E;  ///< authentification CRC differs (i1 computed CRC)

  // --- parameter files: autocnf.bin ---
  static constexpr std::uint16_t ms_AutoCnfBinCapacity = 0xE283;  ///< length above the capacity (i0 capacity, i1 length)
  static constexpr std::uint16_t ms_AutoCnfBinLength = 0xE284;  ///< length below the header
  static constexpr std::uint16_t ms_AutoCnfBinSectionCount = 0xE285;  ///< section count above 5
  static constexpr std::uint16_t ms_AutoCnfBinHeaderLength = 0xE286;  ///< header length word not 64
  static constexpr std::uint16_t ms_AutoCnfBinVersion = 0xE287;  ///< version not 0x0400
  static constexpr std::uint16_t ms_AutoCnfBinInformationOffset = 0xE288;  ///< section information offset not 8
  static constexpr std::uint16_t ms_AutoCnfBinUdidSectionBeyond = 0xE289;  ///< UDID section beyond the content or the file CRC
  static constexpr std::uint16_t ms_AutoCnfBinUdidSectionOffset = 0xE28A;  ///< UDID section offset rule broken
  static constexpr std::uint16_t ms_AutoCnfBinMachineOptionBeyond = 0xE28B;  ///< machine option section beyond the content or the file CRC
  static constexpr std::uint16_t ms_AutoCnfBinMachineOptionLength = 0xE28C;  ///< machine option length neither 0 nor 76
  static constexpr std::uint16_t ms_AutoCnfBinMachineOptionOffset = 0xE28D;  ///< machine option offset rule broken
  static constexpr std::uint16_t ms_AutoCnfBinModuleFlagBeyond = 0xE28E;  ///< module flag section beyond the content or the file CRC
  static constexpr std::uint16_t ms_AutoCnfBinModuleFlagLength = 0xE28F;  ///< module flag length not 0, 268 or 396
  static constexpr std::uint16_t ms_AutoCnfBinModuleFlagOffset = 0xE290;  ///< module flag offset rule broken
  static constexpr std::uint16_t ms_AutoCnfBinHeaderCrc = 0xE291;  ///< header CRC-32 differs (i1 computed CRC)
  static constexpr std::uint16_t ms_AutoCnfBinUdidSectionShort = 0xE29E;  ///< UDID section length 1 to 9
  static constexpr std::uint16_t ms_AutoCnfBinUdidCount = 0xE29F;  ///< UDID count above 101
  static constexpr std::uint16_t ms_AutoCnfBinUdidSectionLength = 0xE2A0;  ///< UDID section shorter than its entries (i1 8 x count)
  static constexpr std::uint16_t ms_AutoCnfBinUdidEntryLength = 0xE2A1;  ///< UDID entry length not 8
  static constexpr std::uint16_t ms_AutoCnfBinUdidVersion = 0xE2A2;  ///< UDID section version not 0x0300
  static constexpr std::uint16_t ms_AutoCnfBinUdidEntryOffset = 0xE2A3;  ///< UDID entry offset not 8
  static constexpr std::uint16_t ms_AutoCnfBinUdidCrc = 0xE2A4;  ///< UDID section CRC differs (i1 stored CRC)
  static constexpr std::uint16_t ms_AutoCnfBinFileCrc = 0xE2A5;  ///< file CRC differs or lies outside the content

  // --- parameter files: pardata1.bin, records and objects ---
  static constexpr std::uint16_t ms_ParData1Bin = 0xE2A8;  ///< pardata1.bin refused (i0 step, i1 value)
  static constexpr std::uint16_t ms_RecordHead = 0xE2AA;  ///< 1 to 6 bytes left for a record head (i1 position)
  static constexpr std::uint16_t ms_RecordLength = 0xE2AC;  ///< record data beyond the region (i0 position, i1 length)
  static constexpr std::uint16_t ms_EntrySafetyAddress = 0xE2AE;  ///< entry SADR outside 1 to 1023
  static constexpr std::uint16_t ms_WriterRoom = 0xE2B1;  ///< writer out of room (i0 written length, i1 size)
  static constexpr std::uint16_t ms_WriterSafetyAddress = 0xE2B2;  ///< minor revision writer SADR outside 1 to 1023
  static constexpr std::uint16_t ms_ObjectLength = 0xE2B4;  ///< object record of the wrong length (i0 sub-index, i1 length)
  static constexpr std::uint16_t ms_ObjectIncomplete = 0xE2B5;  ///< object sub-indices missing before the last one (i1 index)
  static constexpr std::uint16_t ms_ObjectSafetyAddress = 0xE2B6;  ///< object SADR outside 1 to 1023
  static constexpr std::uint16_t ms_UdidWriterSafetyAddress = 0xE2B8;  ///< UDID writer SADR outside 1 to 1023
  static constexpr std::uint16_t ms_HeaderLength = 0xE2B9;  ///< additional-parameter header shorter than 16 (i0 index, i1 length)
  static constexpr std::uint16_t ms_HeaderSafetyAddress = 0xE2BA;  ///< additional-parameter SADR outside 1 to 1023
  static constexpr std::uint16_t ms_HeaderParameterNumber = 0xE2BB;  ///< additional-parameter number above 15
  static constexpr std::uint16_t ms_ParData1BinEntry = 0xE2BC;  ///< pardata1.bin entry refused (i0 step, i1 value)

  // --- message decoders (frames, events, commands, responses) ---
  static constexpr std::uint16_t ms_FrameTooShort = 0xE2BE;        ///< frame of 10 bytes or less (i1 length)
  static constexpr std::uint16_t ms_FrameBelowMinimum = 0xE2BF;    ///< frame shorter than its LE requires, or LE below its kind's minimum
  static constexpr std::uint16_t ms_FrameCrcWrong = 0xE2C0;        ///< CRC1 or CRC2 wrong (also a wrong SCM UDID)
  static constexpr std::uint16_t ms_FramePayloadsDiffer = 0xE2C1;  ///< the two payload copies differ
  static constexpr std::uint16_t ms_FrameSpdo = 0xE2C2;            ///< SPDO frame
  static constexpr std::uint16_t ms_FrameIdUnknown = 0xE2C3;       ///< id outside SNMT, SPDO and SSDO (i1 id)
  static constexpr std::uint16_t ms_CommandTooShort = 0xE2C6;      ///< command shorter than the field read (i1 length)
  static constexpr std::uint16_t ms_EventTooShort = 0xE2C8;        ///< event shorter than 11 bytes (i1 length)
  static constexpr std::uint16_t ms_ResponseTooShort = 0xE2CA;     ///< response shorter than the field read (i1 length)
  static constexpr std::uint16_t ms_QorRequestNoRoom = 0xE2CD;     ///< no room for a variable read request (i1 0)
  static constexpr std::uint16_t ms_QorVariableNumber = 0xE2CE;    ///< variable number not below 8 (i1 the number)
  static constexpr std::uint16_t ms_QorMessageTooShort = 0xE2D1;   ///< variable message too short for the field (i1 0 or length)

  // --- UDID checking ---
  static constexpr std::uint16_t ms_UdidSafetyAddress = 0xE2D4;     ///< UDID checker SADR outside 1 to 1023 (i1 SADR)
  static constexpr std::uint16_t ms_UdidEncoderUnknown = 0xE2D5;    ///< encoder report for a SADR not discovered (i1 SADR)
  static constexpr std::uint16_t ms_UdidZero = 0xE2D6;              ///< discovered or acknowledged UDID all zero (i1 SADR)
  static constexpr std::uint16_t ms_UdidNotUnique = 0xE2D7;         ///< acknowledgement meets a UDID that is not unique (i1 SADR)
  static constexpr std::uint16_t ms_UdidSetToOpRefused = 0xE2D8;    ///< set to operational refused (i0 SADR, i1 module flags)

  // --- firmware version checking ---
  static constexpr std::uint16_t ms_FirmwareSafetyAddress = 0xE2DC;   ///< firmware checker SADR outside 1 to 1023 (i1 SADR)
  static constexpr std::uint16_t ms_FirmwareIdentityLength = 0xE2DD;  ///< identity upload not 4 bytes (i0 SADR, i1 length)
  static constexpr std::uint16_t ms_FirmwareIdentityZero = 0xE2DE;    ///< identity value zero (i1 SADR)
  static constexpr std::uint16_t ms_FirmwareSetToOpRefused = 0xE2DF;  ///< set to operational refused (i0 SADR, i1 module flags)

  // --- parameter checksum checking ---
  static constexpr std::uint16_t ms_ChecksumSafetyAddress = 0xE2E3;   ///< checksum checker SADR outside 1 to 1023 (i1 SADR)
  static constexpr std::uint16_t ms_ChecksumUploadTooLong = 0xE2E4;   ///< uploaded checksum beyond 256 bytes (i0 SADR, i1 segment length)
  static constexpr std::uint16_t ms_ChecksumLength = 0xE2E5;          ///< checksum length refused (i0 SADR, i1 length)
  static constexpr std::uint16_t ms_ChecksumSetToOpRefused = 0xE2E6;  ///< set to operational refused (i0 SADR, i1 module flags)

  // --- additional parameter checking ---
  static constexpr std::uint16_t ms_AdditionalParameterSafetyAddress = 0xE2EA;  ///< catalog SADR outside 1 to 1023 (i1 SADR)
  static constexpr std::uint16_t ms_AdditionalParameterNumber = 0xE2EB;  ///< catalog parameter number above 15 (i1 number)
  static constexpr std::uint16_t ms_AdditionalParameterUnknown = 0xE2EC;  ///< downloaded header not in the catalog (i0 SADR, i1 number)
  static constexpr std::uint16_t ms_AdditionalParameterHeaderDiffers = 0xE2ED;  ///< downloaded header differs (i0 SADR, i1 number)

  ErrorCodes() = delete;
};

}  // namespace Util
