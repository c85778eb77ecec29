// The handheld's state file, "<RomName>.state": the whole machine but the
// cartridge's ROM, behind a header that lets a damaged, truncated or foreign
// file be refused before anything changes.
//
//   offset  size  field
//   0       8     magic "WENLOHH\x1A"
//   8       4     format version (kStateVersion)
//   12      4     layout: the sum of the sections' sizes (refuses a file of
//                 a build whose record differs)
//   16      4     CRC-32 of the cartridge's ROM (refuses another cartridge's)
//   20      4     payload length
//   24      4     CRC-32 of the payload (zlib's)
//   28      ...   payload: the sections in record order, each as the
//                 machine holds it (little-endian, x86-64 layout), then
//                 cartridge RAM (length-prefixed)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "handheld/handheld.h"

namespace wenlo::hh {

constexpr uint32_t kStateVersion = 2;  // 2: the sound unit's state in place of its registers
constexpr const char* kStateExtension = ".state";

std::vector<uint8_t> SerializeHandheld(const Handheld&);
// False with a reason, the machine unchanged, for a file that is not a whole
// state of this build for this cartridge.
bool DeserializeHandheld(Handheld&, const std::vector<uint8_t>& bytes, std::string* error);

// Whether the file at path begins as a state file of the handheld does.
bool IsHandheldStateFile(const std::string& path);

// Rewind snapshots: the payload alone (no header, no serial log), in words.
void TakeHandheldSnapshot(const Handheld&, std::vector<uint64_t>& words);
void PutHandheldSnapshot(Handheld&, const std::vector<uint64_t>& words);

}  // namespace wenlo::hh
