// Frame fixtures of the stack tests: frame specs for the test-side builder and
// the start of the modules that code and decode frames.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>

#include "FrameBuilder.h"
#include "SDN.h"
#include "SFS.h"
#include "StackFakes.h"
#include "TestObjectTables.h"

namespace StackTest {

/// Addresses and counters of a test frame.
struct FrameFields {
  u16 adr;    ///< ADR
  u16 sdn;    ///< SDN
  u16 tadr;   ///< TADR
  u16 ct;     ///< CT
  u8 tr;      ///< TR
  u8 first;   ///< first payload byte
  u8 step;    ///< increment of the payload bytes
};

/// A frame fields with le payload bytes first, first + step, ...
inline TestFrames::FrameSpec MakeSpec(u8 id, u8 le, const FrameFields& f) {
  TestFrames::FrameSpec s;
  s.id = id;
  s.adr = f.adr;
  s.sdn = f.sdn;
  s.ct = f.ct;
  s.tadr = f.tadr;
  s.tr = f.tr;
  for (u32 i = 0; i < le; ++i) s.payload.push_back(static_cast<u8>(f.first + i * f.step));
  return s;
}

/// SCM UDID into 0x1200/4, serializer and domain number started, own domain set.
inline void StartFrames(const TestFrames::Udid& udid, u16 sdn) {
  std::copy(udid.begin(), udid.end(), g_values.scmUdid);
  ASSERT_TRUE(SFS_Init());
  ASSERT_TRUE(SDN_Init());
  ASSERT_TRUE(SDN_SetSdn(sdn));
  g_errors.clear();
}

}  // namespace StackTest
