// Self-checks of the firmware: the executable and memory CRC checks, the idle
// parameter check with the stack's error-counter reports, and the machine
// options written at start-up as the SCM's own additional parameter set.
#pragma once
#include "EPSpar.h"
#include "ScmTypes.h"

struct SOD_AttrPart;

/// Protected sections: .init, .text, .fini, .rodata, .rodata1.
inline constexpr u32 HNFhwt_kSectionCount = 5;
/// Bytes covered by one reference CRC.
inline constexpr u32 HNFhwt_kBlockSize = 16384;
/// Most bytes the manager adds to its CRC per cycle.
inline constexpr u32 HNFhwt_kStepBytes = 256;
/// Fatal: a protected block differs from its reference (information1 = low 32 bits of the block's start).
inline constexpr u32 HNFhwt_kEvtMemoryCrc = 0x92008607u;

/// One protected section and the reference CRCs of its blocks.
struct HNFhwt_Section {
  const u8* pucStart;  ///< first byte
  const u8* pucEnd;    ///< one past the last byte (equal to the start: empty)
  u32* pulCrcStart;    ///< first reference CRC, one u32 per started 16,384 bytes
  u32* pulCrcEnd;      ///< one past the last reference CRC
};

/// Where the manager stands.
struct HNFhwt_Position {
  u32 ulSection;  ///< section index, 0 to 4
  u32 ulBlock;    ///< block index within the section
  u32 ulOffset;   ///< bytes of the block already in the running CRC
  u32 ulCrc;      ///< running CRC-32 of the block
};

/// The manager's position.
extern HNFhwt_Position HNFhwt_gPosition;

/// Hands over the table of protected sections (main, before start-up); count must be 5.
void HNFhwt_SetSections(const HNFhwt_Section* table, u32 count);
/// 0 when the executable self-test passed and the reference CRCs were taken; 1 otherwise.
u8 HNFhwt_Init(void);
/// Takes the reference CRCs of the handed-over sections; 0, or 1 when the table does not fit.
u8 HNFhwt_TakeReferences(void);
/// One step of the memory CRC manager (cyclic task, from start-up step 16 on).
void HNFhwt_Manager(void);

// ---- idle checks, error counters and machine options ----

/// Request field of EPS_gCalcCrc: bit 0 asks for a parameter check.
inline constexpr u32 EPS_kCalcCrcRequest = 0x00000001u;
/// Done field of EPS_gCalcCrc: bit 8 says the check finished.
inline constexpr u32 EPS_kCalcCrcDone = 0x00000100u;
/// Result field of EPS_gCalcCrc: bits 16 to 23, 1 all equal, 0 otherwise.
inline constexpr u32 EPS_kCalcCrcResultShift = 16;
/// Mask of the result field once shifted down.
inline constexpr u32 EPS_kCalcCrcResultMask = 0xFFu;
/// Bytes of saved parameter data covered by one reference CRC.
inline constexpr u32 EPS_kParBlockSize = 512;
/// Reference CRCs in 0x1018/6 after its u32 timestamp.
inline constexpr u32 EPS_kParBlockCount = 67;
/// Most steps of one walk over the objects.
inline constexpr u32 EPS_kParWalkMaxSteps = 0xFEFF01u;
/// Event: saved parameter data differ from their reference (information0 = block << 8, information1 = the CRC).
inline constexpr u32 EPS_kEvtParameterCrc = 0x6200AF1Au;

/// Time between two looks at the error counters (microseconds).
inline constexpr u64 EPS_kCounterCheckUs = 10000000u;
/// Hold after a report of the SNMT master's counter (unit 5; microseconds).
inline constexpr u64 EPS_kHoldUnit5Us = 600000000u;
/// Hold after a report of the frame serializer's counter (unit 3; microseconds).
inline constexpr u64 EPS_kHoldUnit3Us = 3600000000u;
/// Event: the SNMT master's error counter grew (information0 = the increase, information1 = the counter).
inline constexpr u32 EPS_kEvtUnit5Errors = 0x6200AF5Fu;
/// Event: the frame serializer's error counter grew (same information).
inline constexpr u32 EPS_kEvtUnit3Errors = 0x6200AF60u;

/// Bytes of the machine options.
inline constexpr u32 EPS_kMachineOptionsSize = 76;
/// Number of the machine-option set (0xE400 sub-index number + 1).
inline constexpr u8 EPS_kMachineOptionsNumber = 2;
/// Bytes of "AUTOCNF.BIN" read for the timestamp.
inline constexpr u32 EPS_kAutoCnfHeadSize = 64;
/// Version of "AUTOCNF.BIN" whose timestamp is taken.
inline constexpr u16 EPS_kAutoCnfVersion = 0x0400;
/// Fatal: "AUTOCNF.BIN" of another version (information0 = 9, information1 = the version).
inline constexpr u32 EPS_kEvtAutoCnfVersion = 0x9200C012u;

/// Parameter check word: request (bit 0), done (bit 8), result (bits 16 to 23).
extern u32 EPS_gCalcCrc;
/// Header and options of the machine-option set behind 0xE400/2.
extern u8 EPS_gaucMachineOptionSet[EPS_kAddParHeaderSize + EPS_kMachineOptionsSize];

/// Starts a parameter check that the first differing block ends: block 0, nothing fed.
void EPS_ParCheckStart(void);
/// Starts a block-wise parameter check: a differing block is reported and the
/// next blocks are still compared until the walk stops feeding.
void EPS_ParCheckStartBlockwise(void);
/// Feeds saved parameter bytes into the 512-byte blocks, across object boundaries.
void EPS_ParCheckFeed(const u8* data, u32 length);
/// Feeds one object when it is a saved parameter (attribute 0x10): variable types
/// by their actual length, others by their length.
void EPS_ParCheckFeedObject(const SOD_AttrPart* attr);
/// 1 once the check is over (a difference that ends it, or the last referenced block completed).
u8 EPS_ParCheckEnded(void);
/// 1 once any block differed from its reference.
u8 EPS_ParCheckDiffered(void);
/// Compares the last partial block unless a block differed or the check ended;
/// the result: 1 every block equal, 0 otherwise.
u8 EPS_ParCheckFinish(void);
/// Serves a parameter check request of EPS_gCalcCrc, when set and not yet done:
/// clears the request, takes 0 on a parameter error or else the walk's result,
/// stores it and sets the done bit.
void EPS_ParCheckOnRequest(u8 (*pfWalk)(void));
/// One pass of the idle checks (background task).
void EPS_Idle(void);
/// The older release's pass in place of EPS_Idle: the block-wise parameter check
/// over the real objects on request, no error-counter reports.
void EPS_CrcCalculationManager(void);
/// Forgets the idle checks' times and reported values (start-up).
void EPS_IdleInit(void);
/// Turns the machine options into the SCM's own additional parameter set (start-up).
void EPS_WriteExternalMachineOptionsToSod(void);
