#include "handheld/mbc.h"

#include <algorithm>

#include "core/cartridge_header.h"
#include "handheld/bus.h"

namespace wenlo::hh {

namespace {

constexpr size_t kBank = 0x4000;
constexpr size_t kRamBank = 0x2000;
constexpr size_t kMbc2RamSize = 512;
constexpr uint64_t kCyclesPerSecond = 4194304;
constexpr uint8_t kRtcHalt = 0x40, kRtcCarry = 0x80;

struct TypeInfo {
    MbcKind kind;
    bool known, ram, battery, rtc;
};

// Header byte 0x147. Types this handheld does not have run as the nearest
// kind it has: the multicart and HuC1 bank as MBC1 does, HuC3 as MBC3 does,
// the rest (camera, TAMA5, MBC6, MBC7, anything else) as MBC5, the widest.
TypeInfo Classify(uint8_t type, size_t romSize) {
    switch (type) {
        case 0x00: return {MbcKind::None, true, false, false, false};
        case 0x08: return {MbcKind::None, true, true, false, false};
        case 0x09: return {MbcKind::None, true, true, true, false};
        case 0x01: return {MbcKind::Mbc1, true, false, false, false};
        case 0x02: return {MbcKind::Mbc1, true, true, false, false};
        case 0x03: return {MbcKind::Mbc1, true, true, true, false};
        case 0x05: return {MbcKind::Mbc2, true, true, false, false};
        case 0x06: return {MbcKind::Mbc2, true, true, true, false};
        case 0x0F: return {MbcKind::Mbc3, true, false, true, true};
        case 0x10: return {MbcKind::Mbc3, true, true, true, true};
        case 0x11: return {MbcKind::Mbc3, true, false, false, false};
        case 0x12: return {MbcKind::Mbc3, true, true, false, false};
        case 0x13: return {MbcKind::Mbc3, true, true, true, false};
        case 0x19:
        case 0x1C: return {MbcKind::Mbc5, true, false, false, false};
        case 0x1A:
        case 0x1D: return {MbcKind::Mbc5, true, true, false, false};
        case 0x1B:
        case 0x1E: return {MbcKind::Mbc5, true, true, true, false};
        case 0x0B: return {MbcKind::Mbc1, false, false, false, false};
        case 0x0C: return {MbcKind::Mbc1, false, true, false, false};
        case 0x0D:
        case 0xFF: return {MbcKind::Mbc1, false, true, true, false};
        case 0xFE: return {MbcKind::Mbc3, false, true, true, false};
        default: return {romSize > 2 * kBank ? MbcKind::Mbc5 : MbcKind::None, false, true, true, false};
    }
}

// Header byte 0x149, in 8 KiB banks; the 2 KiB size is kept as one bank
// (the game sees it mirrored through the bank).
uint32_t RamBanksFromHeader(uint8_t code) {
    switch (code) {
        case 1:
        case 2: return 1;
        case 3: return 4;
        case 4: return 16;
        case 5: return 8;
        default: return 0;
    }
}

void MapRom(Handheld& h) {
    Mbc& m = h.mbc;
    const uint32_t mask = m.romBanks - 1;
    uint32_t bank0 = 0, bank1 = 1;
    switch (m.kind) {
        case MbcKind::None: break;
        case MbcKind::Mbc1: {
            const uint32_t low = (m.romBank & 0x1F) ? (m.romBank & 0x1F) : 1;
            bank1 = uint32_t(m.upper & 3) << 5 | low;
            if (m.mode) bank0 = uint32_t(m.upper & 3) << 5;
            break;
        }
        case MbcKind::Mbc2: bank1 = (m.romBank & 0x0F) ? (m.romBank & 0x0F) : 1; break;
        case MbcKind::Mbc3: bank1 = (m.romBank & 0x7F) ? (m.romBank & 0x7F) : 1; break;
        case MbcKind::Mbc5: bank1 = m.romBank & 0x1FF; break;
    }
    const uint32_t rom0 = (bank0 & mask) * kBank, rom1 = (bank1 & mask) * kBank;
    if (rom0 == m.rom0 && rom1 == m.rom1 && h.readPages[0]) return;
    m.rom0 = rom0;
    m.rom1 = rom1;
    RefreshMemoryMap(h);
}

// The offset into cartRam of 0xA000 now, or -1 when no RAM is mapped there.
int64_t RamOffset(const Handheld& h, uint16_t address) {
    const Mbc& m = h.mbc;
    if (h.cartRam.empty()) return -1;
    if (m.kind == MbcKind::Mbc2) return (address - 0xA000) & (kMbc2RamSize - 1);
    uint32_t bank = 0;
    if (m.kind == MbcKind::Mbc1 && m.mode) bank = m.upper & 3;
    if (m.kind == MbcKind::Mbc3) bank = m.upper & 3;
    if (m.kind == MbcKind::Mbc5) bank = m.upper & 0x0F;
    bank %= std::max<uint32_t>(m.ramBanks, 1);
    return int64_t(bank * kRamBank + ((address - 0xA000u) % std::min(h.cartRam.size(), kRamBank)));
}

bool RtcSelected(const Mbc& m) {
    return m.kind == MbcKind::Mbc3 && m.hasRtc && m.upper >= 0x08 && m.upper <= 0x0C;
}

void Tick1Second(Rtc& r) {
    std::array<uint8_t, 5>& t = r.regs;
    // Each counter rolls over at its limit; a value written beyond it runs
    // on to the width of its register and wraps to 0 without a carry.
    t[0] = uint8_t((t[0] + 1) & 0x3F);
    if (t[0] != 60) return;
    t[0] = 0;
    t[1] = uint8_t((t[1] + 1) & 0x3F);
    if (t[1] != 60) return;
    t[1] = 0;
    t[2] = uint8_t((t[2] + 1) & 0x1F);
    if (t[2] != 24) return;
    t[2] = 0;
    uint32_t day = uint32_t(t[3] | (t[4] & 1) << 8) + 1;
    if (day > 511) t[4] |= kRtcCarry;
    day &= 511;
    t[3] = uint8_t(day);
    t[4] = uint8_t((t[4] & ~1u) | (day >> 8));
}

}  // namespace

void RtcAdvanceSeconds(Rtc& r, int64_t seconds) {
    if (seconds <= 0 || (r.regs[4] & kRtcHalt)) return;
    // Whole days at once: a clock left for years (or a footer with an absurd
    // time) costs no more than one day of seconds.
    const int64_t days = seconds / 86400;
    if (days > 0) {
        uint64_t day = uint64_t(r.regs[3] | (r.regs[4] & 1) << 8) + uint64_t(days);
        if (day > 511) r.regs[4] |= kRtcCarry;
        day &= 511;
        r.regs[3] = uint8_t(day);
        r.regs[4] = uint8_t((r.regs[4] & ~1u) | (day >> 8));
    }
    for (int64_t s = seconds % 86400; s > 0; --s) Tick1Second(r);
}

void RtcCatchUp(Handheld& h) {
    Rtc& r = h.mbc.rtc;
    if (!h.mbc.hasRtc) return;
    const uint64_t passed = h.now - r.last;
    r.last = h.now;
    if (r.regs[4] & kRtcHalt) return;
    r.cycles += passed;
    if (r.cycles >= kCyclesPerSecond) {
        RtcAdvanceSeconds(r, int64_t(r.cycles / kCyclesPerSecond));
        r.cycles %= kCyclesPerSecond;
    }
}

void MbcLoad(Handheld& h, std::vector<uint8_t> image) {
    Mbc& m = h.mbc;
    m = Mbc{};
    const uint8_t type = image.size() > cart::kCartTypeOffset ? image[cart::kCartTypeOffset] : 0;
    const uint8_t ramCode = image.size() > 0x149 ? image[0x149] : 0;
    const TypeInfo info = Classify(type, image.size());
    m.kind = info.kind;
    m.cartType = type;
    m.knownType = info.known;
    m.hasRam = info.ram;
    m.hasBattery = info.battery;
    m.hasRtc = info.rtc;
    // Whole banks, a power of two of them (at least two), padded with 0xFF
    // as an open bus reads: a bank number beyond the file wraps as the
    // address lines of a real chip of that size would.
    uint32_t banks = 2;
    while (size_t(banks) * kBank < image.size()) banks *= 2;
    image.resize(size_t(banks) * kBank, 0xFF);
    h.rom = std::move(image);
    h.readPages.fill(nullptr);  // they pointed into the old image
    m.romBanks = banks;
    m.ramBanks = m.kind == MbcKind::Mbc2 ? 1 : RamBanksFromHeader(ramCode);
    // A type with RAM whose header names no size still gets one bank, as
    // homebrew that forgets the size byte expects.
    if (m.hasRam && m.ramBanks == 0) m.ramBanks = 1;
    if (!m.hasRam) m.ramBanks = 0;
    size_t ramSize = m.kind == MbcKind::Mbc2 ? kMbc2RamSize : size_t(m.ramBanks) * kRamBank;
    if (ramCode == 1 && m.kind != MbcKind::Mbc2 && m.hasRam) ramSize = 0x800;
    h.cartRam.assign(ramSize, 0);
    MbcReset(h);
}

void MbcReset(Handheld& h) {
    Mbc& m = h.mbc;
    m.ramEnabled = false;
    m.romBank = 1;
    m.upper = 0;
    m.mode = 0;
    m.rtc.latchWrite = 0xFF;
    m.rtc.last = h.now;
    MapRom(h);
}

void MbcWriteRegister(Handheld& h, uint16_t address, uint8_t value) {
    Mbc& m = h.mbc;
    switch (m.kind) {
        case MbcKind::None: return;
        case MbcKind::Mbc1:
            if (address < 0x2000)
                m.ramEnabled = (value & 0x0F) == 0x0A;
            else if (address < 0x4000)
                m.romBank = value & 0x1F;
            else if (address < 0x6000)
                m.upper = value & 3;
            else
                m.mode = value & 1;
            break;
        case MbcKind::Mbc2:
            // Address bit 8 tells the two registers apart.
            if (address >= 0x4000) return;
            if (address & 0x100)
                m.romBank = value & 0x0F;
            else
                m.ramEnabled = (value & 0x0F) == 0x0A;
            break;
        case MbcKind::Mbc3:
            if (address < 0x2000)
                m.ramEnabled = (value & 0x0F) == 0x0A;
            else if (address < 0x4000)
                m.romBank = value & 0x7F;
            else if (address < 0x6000)
                m.upper = value & 0x0F;
            else {
                // Writing 0 then 1 copies the running clock into the latched one.
                if (m.rtc.latchWrite == 0 && value == 1 && m.hasRtc) {
                    RtcCatchUp(h);
                    m.rtc.latched = m.rtc.regs;
                }
                m.rtc.latchWrite = value;
            }
            break;
        case MbcKind::Mbc5:
            // The chip looks at the low four bits, as MBC1 does (games write 0x0A).
            if (address < 0x2000)
                m.ramEnabled = (value & 0x0F) == 0x0A;
            else if (address < 0x3000)
                m.romBank = uint16_t((m.romBank & 0x100) | value);
            else if (address < 0x4000)
                m.romBank = uint16_t((m.romBank & 0xFF) | (value & 1) << 8);
            else if (address < 0x6000)
                m.upper = value & 0x0F;  // bit 3: rumble on rumble carts, ignored
            break;
    }
    MapRom(h);
}

uint8_t MbcReadRam(const Handheld& h, uint16_t address) {
    const Mbc& m = h.mbc;
    if (!m.ramEnabled) return 0xFF;
    if (RtcSelected(m)) return m.rtc.latched[m.upper - 0x08];
    const int64_t at = RamOffset(h, address);
    if (at < 0) return 0xFF;
    if (m.kind == MbcKind::Mbc2) return uint8_t(h.cartRam[size_t(at)] | 0xF0);
    return h.cartRam[size_t(at)];
}

void MbcWriteRam(Handheld& h, uint16_t address, uint8_t value) {
    Mbc& m = h.mbc;
    if (!m.ramEnabled) return;
    if (RtcSelected(m)) {
        RtcCatchUp(h);
        static constexpr uint8_t kMasks[5] = {0x3F, 0x3F, 0x1F, 0xFF, 0xC1};
        const int reg = m.upper - 0x08;
        m.rtc.regs[reg] = value & kMasks[reg];
        if (reg == 0) m.rtc.cycles = 0;  // writing the seconds restarts the second
        m.rtc.latched[reg] = m.rtc.regs[reg];
        h.ramDirty = true;
        h.ramWrittenAt = h.frames;
        return;
    }
    const int64_t at = RamOffset(h, address);
    if (at < 0) return;
    h.cartRam[size_t(at)] = m.kind == MbcKind::Mbc2 ? (value & 0x0F) : value;
    h.ramDirty = true;
    h.ramWrittenAt = h.frames;
}

std::string MbcName(const Handheld& h) {
    switch (h.mbc.kind) {
        case MbcKind::None: return "no bank controller";
        case MbcKind::Mbc1: return "MBC1";
        case MbcKind::Mbc2: return "MBC2";
        case MbcKind::Mbc3: return h.mbc.hasRtc ? "MBC3 with clock" : "MBC3";
        case MbcKind::Mbc5: return "MBC5";
    }
    return "";
}

}  // namespace wenlo::hh
