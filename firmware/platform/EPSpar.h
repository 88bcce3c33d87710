// Parsers of the three parameter files: "kel_para.saf" (the SCM's own
// parameters and the node list), "corvane.dat" (the SADR-to-UDID list) and
// "pardata1.bin" (additional parameter sets), and the record stream parser
// that writes their records into the object dictionary.
#pragma once
#include "HNFstp.h"
#include "ScmTypes.h"

/// Bytes of every file header.
inline constexpr u32 EPS_kFileHeaderSize = 64;
/// Bytes of a record header (u16 index, u8 sub-index, u32 length).
inline constexpr u32 EPS_kRecordHeaderSize = 7;
/// Bytes of an additional parameter entry header.
inline constexpr u32 EPS_kAddParHeaderSize = 16;
/// Bytes covered by one CRC of a block CRC list.
inline constexpr u32 EPS_kCrcBlockSize = 16384;
/// Version of "kel_para.saf".
inline constexpr u16 EPS_kKelVersion = 0x0200;
/// Parameter area kind of "kel_para.saf".
inline constexpr u32 EPS_kKelAreaKind = 257;
/// Bytes of a "corvane.dat" record.
inline constexpr u32 EPS_kUdidRecordSize = 13;
/// Pseudo handle of a missing file.
inline constexpr i32 EPS_kPseudoHandle = 0xFAFE;
/// Longest wait for a busy storage while "pardata1.bin" is emptied, in microseconds.
inline constexpr u64 EPS_kEmptyRetryUs = 1000000;

/// Fatal: "kel_para.saf" is faulty (information0 = reason).
inline constexpr u32 EPS_kEvtKelPara = 0x9200AF18u;
/// "corvane.dat" is faulty or of version 1 (information0 = reason).
inline constexpr u32 EPS_kEvtCorvane = 0x6200AF19u;
/// Fatal: "pardata1.bin" is faulty (information0 = reason).
inline constexpr u32 EPS_kEvtParData = 0x9200AF1Bu;
/// A record is too long for the stream or of the wrong length (information1 = sub << 16 | index).
inline constexpr u32 EPS_kEvtRecordLength = 0x6200AF12u;
/// A record names an object that does not exist (information1 = sub << 16 | index).
inline constexpr u32 EPS_kEvtRecordObject = 0x6200AF14u;
/// Fatal: a record could not be written (information0 = 1 value, 2 bytes, 3 length).
inline constexpr u32 EPS_kEvtRecordWrite = 0x9200AF22u;

/// Reasons of the file events (information0).
enum : u16 {
  EPS_kReasonVersion = 0,          ///< version not accepted
  EPS_kReasonLength = 1,           ///< file length or size fault
  EPS_kReasonHeaderCrc = 2,        ///< header CRC differs
  EPS_kReasonCrcCount = 3,         ///< number of block CRCs wrong
  EPS_kReasonLayout = 4,           ///< area or CRC list outside the file, bad offset or record size
  EPS_kReasonKind = 5,             ///< parameter area kind not 257
  EPS_kReasonBlockCrc = 6,         ///< a block CRC differs
  EPS_kReasonOldVersion = 7,       ///< "corvane.dat" of version 1, rewritten in version 2
  EPS_kReasonHeaderLength = 8,     ///< header length not 64
  EPS_kReasonEntry = 256,          ///< entry header not accepted
  EPS_kReasonEntrySadr = 257,      ///< entry SADR not in the node list, or no object for it
  EPS_kReasonEntryBounds = 258,    ///< entry does not fit in the data area
  EPS_kReasonEmptied = 259,        ///< the file was emptied on storage
  EPS_kReasonEmptyFailed = 260     ///< the file could not be opened to empty it
};

/// Record writes: write failures (information0 of 0x9200AF22).
enum : u16 {
  EPS_kWriteValue = 1,   ///< numeric value refused
  EPS_kWriteBytes = 2,   ///< string, octet string or domain refused
  EPS_kWriteLength = 3   ///< actual length refused
};

/// One step of the record stream parser; 1 when the stream is done. The first
/// call has *start set; clear = 1 also empties the own checksum and timestamp.
u8 EPS_ParameterParser(u8* start, u8 clear, const u8* data, u32 length);
/// Checks and loads "kel_para.saf"; 1 when its records were parsed.
u8 EPS_KelParser(u32 size, const u8* data);
/// Checks and loads "corvane.dat"; 0 on a fault or an empty file.
u8 EPS_CorvaneParser(u32 size, const u8* data);
/// Checks and loads "pardata1.bin"; 1 when the entries were loaded.
u8 EPS_AddParParser(const HNFstp_File* file);
