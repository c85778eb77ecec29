// Named addresses of the memory map and the I/O registers this machine keeps,
// and the bits of them that the machine interprets.
#pragma once

#include <cstdint>

namespace wenlo::io {

// Regions.
constexpr int32_t kRomEnd = 0x7FFF;          // 0x0000-0x7FFF: RomWindow
constexpr int32_t kRomBankedStart = 0x4000;  // switchable half of the window
constexpr int32_t kVideoRamStart = 0x8000;   // 0x8000-0x9FFF
constexpr int32_t kCartRamStart = 0xA000;    // 0xA000-0xBFFF: RamBanks[RamBank]
constexpr int32_t kWorkRamStart = 0xC000;    // 0xC000-0xFDFF: RamBanks[0] (+ echo)
constexpr int32_t kEchoEnd = 0xFDFF;
constexpr int32_t kOamStart = 0xFE00;  // 0xFE00-0xFE9F
constexpr int32_t kOamEnd = 0xFE9F;
constexpr int32_t kUnusableEnd = 0xFEFF;   // 0xFEA0-0xFEFF: reads 0, writes dropped
constexpr int32_t kHighRamStart = 0xFF4C;  // 0xFF4C-0xFFFE: HighRam
constexpr int32_t kHighRamEnd = 0xFFFE;
constexpr int32_t kAddressEnd = 0xFFFF;
// Offset within an 8 KiB region: video RAM, a cartridge RAM bank, work RAM
// and its echo.
constexpr uint32_t kRegion8kMask = 0x1FFF;
// The I/O page that LDH and LD (C) address: 0xFF00 + an 8-bit offset.
constexpr uint32_t kIoPage = 0xFF00;
// A sprite copy (DMA) reads one page of 256 bytes, from page * 256.
constexpr int32_t kDmaPageSize = 0x100;

// MBC1 control ranges (writes into the ROM area).
constexpr int32_t kMbcRamEnableEnd = 0x1FFF;  // 0x0000-0x1FFF: RAM enable
constexpr int32_t kMbcRomBankEnd = 0x3FFF;    // 0x2000-0x3FFF: ROM bank, low 5 bits
constexpr int32_t kMbcUpperBankEnd = 0x5FFF;  // 0x4000-0x5FFF: upper bits or RAM bank
                                              // 0x6000-0x7FFF: banking mode

// Registers.
constexpr int32_t P1 = 0xFF00;   // joypad; composed on write from the select bits
constexpr int32_t DIV = 0xFF04;  // any write clears it
constexpr int32_t TIMA = 0xFF05;
constexpr int32_t TMA = 0xFF06;
constexpr int32_t IF = 0xFF0F;
constexpr int32_t kSoundFirst = 0xFF10;  // 0xFF10-0xFF3F: SoundRegs
constexpr int32_t kSoundLast = 0xFF3F;
constexpr int32_t kSoundControl = 0xFF26;  // NR52, the last register before wave RAM
constexpr int32_t LCDC = 0xFF40;
constexpr int32_t STAT = 0xFF41;
constexpr int32_t SCY = 0xFF42;
constexpr int32_t SCX = 0xFF43;
constexpr int32_t LY = 0xFF44;  // any write clears it
constexpr int32_t LYC = 0xFF45;
constexpr int32_t DMA = 0xFF46;  // write-only here: reads 0, a write copies OAM
constexpr int32_t BGP = 0xFF47;
constexpr int32_t OBP0 = 0xFF48;
constexpr int32_t OBP1 = 0xFF49;
constexpr int32_t IE = 0xFFFF;

// P1 select bits and the fixed upper bits of the composed value.
constexpr uint8_t kP1SelectButtons = 0x10;
constexpr uint8_t kP1SelectDirections = 0x20;

// Interrupt request bits (IF / IE) and their vectors.
constexpr uint8_t kIntVBlank = 0x01;
constexpr uint8_t kIntLcdStat = 0x02;
constexpr uint8_t kIntJoypad = 0x10;
constexpr uint8_t kIntMask = 0x1F;
constexpr int kIntHighestBit = 4;  // the joypad; taken first here

// The handler of request bit `bit` starts at 0x40 + 8 * bit: 0x40 VBlank,
// 0x48 LCD status, 0x50 timer, 0x58 serial, 0x60 joypad.
constexpr int32_t kVectorBase = 0x40;
constexpr int32_t kVectorStride = 8;
constexpr int32_t InterruptVector(int bit) { return kVectorBase + kVectorStride * bit; }

// LCDC bits.
constexpr uint8_t kLcdcDisplayOn = 0x80;
constexpr uint8_t kLcdcTileData8000 = 0x10;  // 1: tiles at 0x8000 numbered 0..255
constexpr uint8_t kLcdcBgMap9C00 = 0x08;     // 1: background map at 0x9C00
constexpr uint8_t kLcdcTallSprites = 0x04;   // 1: 8x16 sprites

// STAT mode bits (only these are maintained).
constexpr uint8_t kStatModeMask = 0x03;
constexpr uint8_t kStatModeVBlank = 0x01;

}  // namespace wenlo::io
