// Battery saves: a battery-backed cartridge's RAM in "<RomName>.sav", in the
// raw layout other emulators use (the RAM bytes as the game addresses them;
// MBC2's 512 half-bytes one per byte), with MBC3's clock appended as the
// common 48-byte footer: the five clock registers and the five latched ones
// as 32-bit little-endian words, then the host's Unix time as a 64-bit word.
// A 44-byte footer (a 32-bit time) is read too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "handheld/handheld.h"

namespace wenlo::hh {

constexpr size_t kRtcFooterSize = 48;
constexpr size_t kRtcShortFooterSize = 44;

// The file's bytes for the machine now; unixNow: the host's time.
std::vector<uint8_t> BatteryImage(const Handheld&, int64_t unixNow);

enum class BatteryLoad : uint8_t { Loaded, WrongSize };

// Takes a battery file's bytes: RAM (and the clock, moved on by the host time
// that passed since it was written; a time in the future counts as none
// passed). Bytes of a size the header does not give are refused and nothing
// changes.
BatteryLoad LoadBatteryImage(Handheld&, const std::vector<uint8_t>& bytes, int64_t unixNow);

// The size the header gives for the battery file (RAM plus footer), and the
// accepted sizes (MBC3 with clock: also without footer or with the short one).
size_t BatteryFileSize(const Handheld&);
bool BatterySizeFits(const Handheld&, size_t size);

}  // namespace wenlo::hh
