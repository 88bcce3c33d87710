// File access on the host's storage with the firmware's result codes: a
// negative result (as i32) is one of the codes below, and every failure but a
// busy storage raises a class-6 event; the callers decide what a failure means.
#pragma once
#include "ScmTypes.h"

/// Open failed.
inline constexpr i32 HNFffs_kOpenFailed = static_cast<i32>(0x80000001u);
/// Operation on an invalid handle, or the host failed.
inline constexpr i32 HNFffs_kInvalidHandle = static_cast<i32>(0x80000020u);
/// Bad argument.
inline constexpr i32 HNFffs_kBadArgument = static_cast<i32>(0x80004000u);
/// Storage busy: try again.
inline constexpr i32 HNFffs_kBusy = static_cast<i32>(0x80010000u);

/// Event of a failed close.
inline constexpr u32 HNFffs_kEvtClose = 0x62008A01u;
/// Event of a failed open.
inline constexpr u32 HNFffs_kEvtOpen = 0x62008A02u;
/// Event of a failed read.
inline constexpr u32 HNFffs_kEvtRead = 0x62008A03u;
/// Event of a failed size query.
inline constexpr u32 HNFffs_kEvtSize = 0x62008A04u;
/// Event of a failed write.
inline constexpr u32 HNFffs_kEvtWrite = 0x62008A05u;

/// Opens name with mode "r" or "w"; the handle (>= 0) or a result code.
i32 HNFffs_Open(const char* name, const char* mode);
/// Length of the open file, or a result code.
i32 HNFffs_Size(i32 handle);
/// Reads at most count bytes; bytes read, or a result code.
i32 HNFffs_Read(void* buffer, u32 count, i32 handle);
/// Writes count bytes; bytes written, or a result code.
i32 HNFffs_Write(const void* buffer, u32 count, i32 handle);
/// Closes the file; 0 or a result code.
i32 HNFffs_Close(i32 handle);
/// Formats nothing: the host's storage needs no format; 0.
i32 HNFffs_Format(void);
