// What a cartridge used that the handheld still lacks: colour, the super
// system's features, a link partner, an undefined opcode that locked the CPU,
// an unknown bank controller. Kept as counts with the frame first seen, as
// the design's machine keeps its record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace wenlo::hh {

enum class Lack : uint8_t {
    LockedCpu,       // an undefined opcode hung the CPU
    UnknownMbc,      // a cartridge type this handheld does not know
    ColourOnly,      // header 0x143 = 0xC0
    SerialPartner,   // a transfer waited for an external clock
    SuperSystem,     // header 0x146 = 0x03
    ColourEnhanced,  // header 0x143 = 0x80
    Count
};
constexpr size_t kLackCount = size_t(Lack::Count);

struct ReportEntry {
    uint64_t count = 0;
    int64_t firstFrame = -1;
};

struct Report {
    std::array<ReportEntry, kLackCount> entries{};
    uint8_t lockedOpcode = 0;
    uint8_t cartType = 0;
};

void ReportNote(Report&, Lack, uint64_t frame);
// One line a lack used, likeliest culprit first, then "compat: ...", as the
// design's report reads.
std::string ReportText(const Report&);

}  // namespace wenlo::hh
