// Robustness drivers, one per file class: each takes raw bytes, reads them as
// that file in a buffer of exactly their length (a ".chk" class at least its
// minimum capacity), and when the read succeeds opens and drains every stream
// over the file. They return an empty text when every call succeeded or threw
// a code of that file or of the records and objects, every stream ended with
// each step moving forward, and every pointer handed out lay inside the
// content; otherwise what broke. A coverage-guided fuzzer can wrap them as they are.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ScmGen.h"

namespace ParamDrivers {

std::string DriveKelParaSaf(const std::uint8_t* data, std::size_t size);
std::string DriveAutoCnfBin(const std::uint8_t* data, std::size_t size);
std::string DriveParData1Bin(const std::uint8_t* data, std::size_t size);
std::string DriveCorvaneDat(const std::uint8_t* data, std::size_t size);
std::string DriveCorvaneDatChk(const std::uint8_t* data, std::size_t size);
std::string DriveCorvaneUid(const std::uint8_t* data, std::size_t size);
std::string DriveCorvaneUidChk(const std::uint8_t* data, std::size_t size);
std::string DriveFwRevCnfBin(const std::uint8_t* data, std::size_t size);
std::string DriveFwRevCnfBinChk(const std::uint8_t* data, std::size_t size);

/// Recomputes a mutated file's CRCs where its fields allow, so that mutations
/// reach the checks behind the CRCs (a ".chk" file is fixed like its plain file).
using FixUp = std::function<void(std::vector<std::uint8_t>&)>;
void FixKelParaSaf(std::vector<std::uint8_t>& file);
void FixCorvaneDat(std::vector<std::uint8_t>& file);
void FixParData1(std::vector<std::uint8_t>& file);
void FixAutoCnf(std::vector<std::uint8_t>& file);
void FixFwRevCnf(std::vector<std::uint8_t>& file);

/// A sample UDID: v, 1, 2, 3, 4, v.
ScmGen::Udid SampleUdid(std::uint8_t v);
/// What the sample-file generator makes of a small domain with every kind of
/// file: two nodes with additional SADRs, an additional set, all three
/// application files.
ScmGen::Result GenerateEveryKindOfFile();

}  // namespace ParamDrivers
