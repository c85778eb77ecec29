// The cartridge file's layout as this machine reads it: the header bytes it
// looks at, the size of a ROM bank, the cartridge types it knows and the
// MBC1-style bank controller's register bits. One place for the loader, the
// bus, the ROM information and the cartridges the tests build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wenlo::cart {

// Header offsets in the file (and in bank 0 of the ROM window).
constexpr size_t kTitleOffset = 0x134;  // 16 bytes, 0x134-0x143: RomTitle
constexpr size_t kTitleLength = 16;
constexpr size_t kCartTypeOffset = 0x147;      // CartType
constexpr size_t kComplementOffset = 0x14D;    // header complement check
constexpr size_t kChecksumHighOffset = 0x14E;  // first byte of the global checksum
constexpr size_t kHeaderEnd = 0x14F;           // last header byte

// One ROM bank: bank 0 at 0x0000-0x3FFF, the switchable bank at 0x4000-0x7FFF.
constexpr size_t kBankSize = 0x4000;

// CartType values that choose the banking; any other type keeps the banking
// of the cartridge loaded before it.
enum CartTypes : uint8_t {
    kRomOnly = 0x00,
    kMbc1 = 0x01,  // the only type whose banking mode can be switched
    kMbc1Ram = 0x02,
    kMbc1RamBattery = 0x03,
};

// MbcType values.
enum MbcTypes : uint8_t {
    kNoMbc = 0,
    kMbc1Banking = 1,
};

// The bank controller's registers, written into the ROM area (the ranges are
// in core/io_regs.h).
constexpr uint8_t kRamEnableMask = 0x0F;  // low nibble 0xA enables cartridge RAM
constexpr uint8_t kRamEnableValue = 0x0A;
constexpr uint8_t kRomBankLowMask = 0x1F;   // 0x2000-0x3FFF: bank bits 4-0
constexpr uint8_t kRomBankHighMask = 0x60;  // bank bits 6-5, from 0x4000-0x5FFF
constexpr int kRomBankHighShift = 5;
constexpr uint8_t kUpperBitsMask = 0x03;  // 0x4000-0x5FFF: two bits, upper bank bits or RAM bank
constexpr uint8_t kBankModeMask = 0x01;   // 0x6000-0x7FFF
constexpr uint8_t kRamBankMask = 0x03;    // four 8 KiB RAM banks at 0xA000-0xBFFF

}  // namespace wenlo::cart
