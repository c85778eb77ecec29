// Builds small cartridges from bytes for tests, fuzz seeds and the benchmark:
// a header (title, type), code and data placed at addresses, written to a
// temporary file when a path is needed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/cartridge_header.h"
#include "core/machine.h"

namespace wenlo::test {

class RomBuilder {
public:
    // banks: number of 16 KiB banks (the file size); cartType: header 0x147.
    explicit RomBuilder(int banks = 2, uint8_t cartType = cart::kRomOnly, const std::string& title = "TEST");

    // Places bytes at a file offset (for bank 0 and a 32 KiB file that is the
    // Game Boy address). Grows nothing: bytes beyond the file are an error.
    RomBuilder& Put(uint32_t offset, std::initializer_list<uint8_t> bytes);
    RomBuilder& Put(uint32_t offset, const std::vector<uint8_t>& bytes);
    // Places bytes at an address of bank `bank` seen through 0x4000-0x7FFF.
    RomBuilder& PutBanked(int bank, uint16_t address, std::initializer_list<uint8_t> bytes);
    // Code at 0x0100 (the entry point after reset).
    RomBuilder& Entry(std::initializer_list<uint8_t> bytes) { return Put(0x100, bytes); }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t>& Bytes() { return bytes_; }

    // Writes the image to a fresh temporary file named <name>.gb and returns
    // its full path. The file stays until the process's temp dir is cleaned.
    std::string WriteTemp(const std::string& name = "test") const;

private:
    std::vector<uint8_t> bytes_;
};

// A heap machine with the image loaded (as if from "<name>.gb") and reset,
// Running set. Fails the calling test through an exception if loading fails.
std::unique_ptr<Machine> MakeMachine(const RomBuilder& rom, const std::string& name = "test");

// A fresh, empty temporary directory for one test.
std::string MakeTempDir();

// The benchmark cartridge: a busy loop of loads, arithmetic, calls and video
// RAM writes with the LCD and sprites on and the VBlank interrupt enabled.
// spritesPerLine: how many sprites cross every screen line (0 or up to 10);
// loop: where the busy loop's code runs.
constexpr int kMaxBenchSprites = 10;
enum class BenchLoop { Rom, WorkRam, HighRam };
// dmaFromHighRam: the sprite table is copied through a routine in high RAM,
// as the complete handheld needs (bench_cartridge.cpp).
RomBuilder BenchmarkCartridge(int spritesPerLine = 0, BenchLoop loop = BenchLoop::Rom, bool dmaFromHighRam = false);

}  // namespace wenlo::test
