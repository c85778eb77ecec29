#include "core/bus.h"

#include <algorithm>
#include <cstring>

#include "core/cartridge_header.h"
#include "core/compat_hooks_internal.h"
#include "core/io_regs.h"

namespace wenlo {

namespace {

using cart::kBankSize;

// Bank numbers are masked to the file size before the 0-to-1 rule, so a
// selection of 0x20 stays 0x20 when the mask keeps bit 5.
uint8_t SelectedBank(const Machine& m, int bank) {
    const uint8_t masked = uint8_t(bank & m.RomBankMask);
    return masked == 0 ? 1 : masked;
}

void ComposeP1(Machine& m, uint8_t v) {
    // Held keys read as 0 bits. The button case keeps bit 4 clear (0xE_),
    // the direction case bit 5 (0xD_); with both selects set, buttons win.
    if (v & io::kP1SelectButtons)
        m.P1 = uint8_t(~m.JoypadButtons & ~io::kP1SelectButtons);
    else if (v & io::kP1SelectDirections)
        m.P1 = uint8_t(~m.JoypadDirections & ~io::kP1SelectDirections);
    else
        m.P1 = 0xFF;
}

// The 160 bytes of a sprite copy from `page` when they lie in plain memory
// (reads there have no side effects and cannot change during the copy), or
// null for the pages that need the byte-by-byte decode: those and the upper
// ROM window while it holds no bank of the cartridge.
const uint8_t* PlainDmaSource(const Machine& m, uint8_t page) {
    const int32_t base = page * io::kDmaPageSize;
    // The window's empty upper half goes byte by byte, for ReadByte to note.
    if (base <= int32_t(m.compat.watch.romInPlaceEnd)) return m.RomWindow.data() + base;
    if (base <= io::kRomEnd) return nullptr;
    if (base < io::kCartRamStart) return m.VideoRam.data() + (base & io::kRegion8kMask);
    // Work RAM and its echo; a page never crosses an 8 KiB boundary.
    if (base >= io::kWorkRamStart && base < io::kOamStart)
        return m.RamBanks[0].data() + (base & io::kRegion8kMask);
    return nullptr;
}

void SpriteDma(Machine& m, uint8_t page) {
    // The source goes through the bus, so any area (I/O included) may be
    // copied; the copy completes within the write and takes no time.
    if (const uint8_t* src = PlainDmaSource(m, page)) {
        std::memcpy(m.Oam.data(), src, m.Oam.size());
        return;
    }
    const int32_t base = page * io::kDmaPageSize;
    for (size_t i = 0; i < m.Oam.size(); ++i) m.Oam[i] = ReadByte(m, base + int32_t(i));
}

void WriteMbc(Machine& m, int32_t address, uint8_t v) {
    if (address <= io::kMbcRamEnableEnd) {
        if (m.MbcType == cart::kMbc1Banking)
            m.RamEnabled = (v & cart::kRamEnableMask) == cart::kRamEnableValue ? 1 : 0;
    } else if (address <= io::kMbcRomBankEnd) {
        if (m.MbcType == cart::kMbc1Banking) {
            m.RomBank = SelectedBank(m, (m.RomBank & cart::kRomBankHighMask) | (v & cart::kRomBankLowMask));
            SwitchRomBank(m);
        }
    } else if (address <= io::kMbcUpperBankEnd) {
        if (m.MbcType == cart::kMbc1Banking) {
            if (m.BankMode == 0) {
                m.RomBank = SelectedBank(m, ((v & cart::kUpperBitsMask) << cart::kRomBankHighShift) |
                                                (m.RomBank & cart::kRomBankLowMask));
                SwitchRomBank(m);
            } else {
                m.RamBank = v & cart::kUpperBitsMask;
            }
        }
    } else {
        // Only the plain MBC1 type switches modes; types 0x02 and 0x03 stay
        // in ROM-banking mode for good.
        if (m.CartType == cart::kMbc1) m.BankMode = v & cart::kBankModeMask;
    }
}

uint8_t ReadIo(const Machine& m, int32_t address) {
    switch (address) {
        case io::P1: CompatJoypadRead(m); return m.P1;
        case io::DIV: return m.DIV;
        case io::TIMA: return m.TIMA;
        case io::TMA: return m.TMA;
        case io::IF: return m.IF;
        case io::LCDC: return m.LCDC;
        case io::STAT: CompatStatRead(m); return m.STAT;
        case io::SCY: return m.SCY;
        case io::SCX: return m.SCX;
        case io::LY: return m.LY;
        case io::LYC: return m.LYC;
        case io::BGP: return m.BGP;
        case io::OBP0: return m.OBP0;
        case io::OBP1: return m.OBP1;
        case io::IE: return m.IE;
        default: break;
    }
    if (address >= io::kSoundFirst && address <= io::kSoundLast) {
        if (address <= io::kSoundControl) CompatSoundRead(m);  // wave RAM reads as stored there too
        return m.SoundRegs[address - io::kSoundFirst];
    }
    if (address >= io::kHighRamStart && address <= io::kHighRamEnd)
        return m.HighRam[address - io::kHighRamStart];
    return 0;  // serial, timer control, DMA, window position: not kept
}

void WriteIo(Machine& m, int32_t address, uint8_t v) {
    CompatIoWrite(m, address, v);
    switch (address) {
        case io::P1: ComposeP1(m, v); return;
        case io::DIV: m.DIV = 0; return;
        case io::TIMA: m.TIMA = v; return;
        case io::TMA: m.TMA = v; return;
        case io::IF: m.IF = v; return;
        case io::LCDC: m.LCDC = v; return;
        case io::STAT: m.STAT = v; return;
        case io::SCY: m.SCY = v; return;
        case io::SCX: m.SCX = v; return;
        case io::LY: m.LY = 0; return;
        case io::LYC: m.LYC = v; return;
        case io::DMA:
            m.DMA = v;
            SpriteDma(m, v);
            return;
        case io::BGP: m.BGP = v; return;
        case io::OBP0: m.OBP0 = v; return;
        case io::OBP1: m.OBP1 = v; return;
        case io::IE: m.IE = v; return;
        default: break;
    }
    if (address >= io::kSoundFirst && address <= io::kSoundLast) {
        m.SoundRegs[address - io::kSoundFirst] = v;
        if (m.host) m.host->SoundRegisterWritten(address, v);
    } else if (address >= io::kHighRamStart && address <= io::kHighRamEnd)
        m.HighRam[address - io::kHighRamStart] = v;
}

}  // namespace

uint8_t ReadByte(const Machine& m, int32_t address) {
    // Tested in ascending order; uint32 makes negative addresses "too high".
    const uint32_t a = uint32_t(address);
    if (a <= uint32_t(io::kRomEnd)) {
        if (a > m.compat.watch.romInPlaceEnd) [[unlikely]]
            CompatBankWindowRead(m);
        return m.RomWindow[a];
    }
    if (a < uint32_t(io::kCartRamStart)) return m.VideoRam[a & io::kRegion8kMask];
    if (a < uint32_t(io::kWorkRamStart))
        return (m.MbcType == cart::kMbc1Banking && m.RamEnabled != 0)
                   ? m.RamBanks[m.RamBank & cart::kRamBankMask][a & io::kRegion8kMask]
                   : 0;
    if (a <= uint32_t(io::kEchoEnd)) return m.RamBanks[0][a & io::kRegion8kMask];
    if (a <= uint32_t(io::kOamEnd)) return m.Oam[a - io::kOamStart];
    if (a <= uint32_t(io::kUnusableEnd)) return 0;
    if (a <= uint32_t(io::kAddressEnd)) return ReadIo(m, int32_t(a));
    return 0;
}

void WriteByte(Machine& m, int32_t address, uint8_t v) {
    const uint32_t a = uint32_t(address);
    if (a <= uint32_t(io::kRomEnd)) {
        WriteMbc(m, int32_t(a), v);
    } else if (a < uint32_t(io::kCartRamStart)) {
        m.VideoRam[a & io::kRegion8kMask] = v;
    } else if (a < uint32_t(io::kWorkRamStart)) {
        // Writes need exactly 1, reads any non-zero value (see RamEnabled).
        if (m.MbcType == cart::kMbc1Banking && m.RamEnabled == 1)
            m.RamBanks[m.RamBank & cart::kRamBankMask][a & io::kRegion8kMask] = v;
    } else if (a <= uint32_t(io::kEchoEnd)) {
        m.RamBanks[0][a & io::kRegion8kMask] = v;
    } else if (a <= uint32_t(io::kOamEnd)) {
        m.Oam[a - io::kOamStart] = v;
    } else if (a <= uint32_t(io::kUnusableEnd)) {
        // dropped
    } else if (a <= uint32_t(io::kAddressEnd)) {
        WriteIo(m, int32_t(a), v);
    } else {
        // Past 0xFFFF: regSP below 2 or above 0xFFFF when something was pushed.
        Note(m.compat, CompatFeature::StackDropped);
    }
}

void SwitchRomBank(Machine& m) {
    uint8_t* dst = m.RomWindow.data() + kBankSize;
    const size_t start = size_t(m.RomBank) * kBankSize;
    const size_t size = m.RomImage.size();
    const size_t avail = start < size ? std::min<size_t>(kBankSize, size - start) : 0;
    if (avail) std::memcpy(dst, m.RomImage.data() + start, avail);
    // A file too short for the selected bank: the missing bytes read as an
    // unconnected bus would, 0xFF.
    std::fill(dst + avail, dst + kBankSize, uint8_t(0xFF));
    CompatBankShown(m);
}

}  // namespace wenlo
