// The handheld's bank controllers: none, MBC1, MBC2, MBC3 with its clock and
// MBC5, chosen from the header's cartridge type; an unknown type runs as the
// nearest kind and the report names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "handheld/handheld.h"

namespace wenlo::hh {

// Sets up rom (padded to a power of two of banks, at least two), cartRam
// (sized from the header) and the controller from the cartridge image.
void MbcLoad(Handheld&, std::vector<uint8_t> image);
// Registers to their power-on values (RAM contents and the clock are kept).
void MbcReset(Handheld&);

inline uint8_t MbcReadRom(const Handheld& h, uint16_t address) {
    return address < 0x4000 ? h.rom[h.mbc.rom0 + address] : h.rom[h.mbc.rom1 + (address - 0x4000u)];
}
void MbcWriteRegister(Handheld&, uint16_t address, uint8_t value);
uint8_t MbcReadRam(const Handheld&, uint16_t address);
void MbcWriteRam(Handheld&, uint16_t address, uint8_t value);

// MBC3's clock: moved on by the clock cycles since it was last brought up to
// date, and by whole seconds (host time that passed while the program was
// closed; values in the millions are taken in days mod 512 with the carry).
void RtcCatchUp(Handheld&);
void RtcAdvanceSeconds(Rtc&, int64_t seconds);

// The name of the controller for the report and the ROM information.
std::string MbcName(const Handheld&);

}  // namespace wenlo::hh
