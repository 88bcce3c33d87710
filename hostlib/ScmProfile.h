// The build profile: which release of the system a library is compiled for.
//
// Every library whose code differs between the two releases is built once per
// profile from one source list (cmake/ScmProfile.cmake), and each build sets
// SCM_PROFILE_LEGACY to 0 (the current release) or 1 (the older release that
// serves up to 101 nodes and keeps the key-medium identity as a Qor variable).
// Code reads the profile only through the constants below, so a difference is
// an `if constexpr` in the shared function or a value of this header. A library
// that includes this header without the definition does not compile: a
// profile-free library (CRC routines, queue names, self-test, the simulator)
// must not depend on the profile at all.
#pragma once

#include "ScmTypes.h"

#ifndef SCM_PROFILE_LEGACY
#error "SCM_PROFILE_LEGACY must be set by the build: 0 current release, 1 older release"
#endif
#if SCM_PROFILE_LEGACY != 0 && SCM_PROFILE_LEGACY != 1
#error "SCM_PROFILE_LEGACY must be 0 or 1: only these two profiles exist"
#endif

/// True in the older release's build.
inline constexpr bool SCM_kLegacy = SCM_PROFILE_LEGACY == 1;

/// Picks the current or the older release's value of a profile constant.
template <typename T>
constexpr T SCM_ProfileValue(T current, T legacy) {
  return SCM_kLegacy ? legacy : current;
}

/// Safety nodes the configuration manager serves (node table, SNMT slots, SSDO clients).
inline constexpr u32 SCM_kProfileMaxNodes = SCM_ProfileValue<u32>(12, 101);
/// Storage has the pseudo handle of a refused "pardata1.bin" (the older release never reads that file).
inline constexpr bool SCM_kProfileHasParDataPseudoHandle = !SCM_kLegacy;
/// Reserved attribute bits of an object-dictionary entry (the older release also reserves 0x2000).
inline constexpr u16 SCM_kProfileSodReservedAttr = SCM_ProfileValue<u16>(0xC0E0, 0xE0E0);
/// The release has virtual object ranges, the extended consecutive time, SSDO preload and setup mode.
inline constexpr bool SCM_kProfileHasCurrentFeatures = !SCM_kLegacy;
