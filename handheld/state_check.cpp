#include "handheld/state_check.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace wenlo::hh {

namespace {

// A step the machine has scheduled lies within this many cycles of now
// (about four seconds); what is caught up from the time it was last brought
// up to lies at most kBehind behind (about 17 minutes: debugger steps alone
// never bring the sound unit up). Further than that, catching up would run
// for ages.
constexpr uint64_t kNear = uint64_t(1) << 24;
constexpr uint64_t kBehind = uint64_t(1) << 32;

// A flag read from a file may hold any byte; some are used as indices.
bool IsFlag(const bool& b) {
    uint8_t byte;
    std::memcpy(&byte, &b, 1);
    return byte <= 1;
}

bool Near(uint64_t t, uint64_t now) { return t <= now + kNear && t + kNear >= now; }
bool Behind(uint64_t t, uint64_t now) { return t <= now + kNear && t + kBehind >= now; }

// Only what is caught up step by step from its own time to now: the sound
// unit, the picture unit's next step (a line or a frame away) and TIMA while
// it counts. Other times may lie long past (the last DMA, a channel that
// stopped) or never come, and cost nothing when far.
bool TimesNear(const Handheld& h) {
    if (h.now > kNever - 2 * kBehind || !Behind(h.apu.last, h.now) || !Near(h.ppu.nextAt, h.now))
        return false;
    return !(h.timer.tac & 0x04) || Behind(h.timer.last, h.now);
}

// The header's facts are the cartridge's, not the state's.
bool SameCartridge(const Mbc& m, const Mbc& c, size_t romSize) {
    const auto bankOk = [&](uint32_t offset) { return offset % 0x4000 == 0 && offset + 0x4000 <= romSize; };
    return m.kind == c.kind && m.cartType == c.cartType && m.knownType == c.knownType &&
           m.hasRam == c.hasRam && m.hasBattery == c.hasBattery && m.hasRtc == c.hasRtc &&
           m.romBanks == c.romBanks && m.ramBanks == c.ramBanks && bankOk(m.rom0) && bankOk(m.rom1) &&
           m.rtc.cycles < 4194304;
}

bool PictureInRange(const Ppu& p) {
    if (p.mode > 3 || p.line > 153 || p.ly > 153 || p.phase > 2 || p.spriteCount > 10) return false;
    // Only a visible line is ever drawn.
    if (p.line >= 144 && (p.mode3At != kNever || p.mode0At != kNever)) return false;
    return std::all_of(p.sprites.begin(), p.sprites.begin() + p.spriteCount,
                       [](uint16_t s) { return (s & 0xFF) < 40; });
}

bool SoundInRange(const audio::Apu& a) {
    const auto pulse = [](const audio::Pulse& p) {
        return p.duty <= 3 && p.step <= 7 && IsFlag(p.high) && p.period <= 2047 && p.env.volume <= 15;
    };
    return a.seqStep <= 7 && pulse(a.ch1) && pulse(a.ch2) && a.ch3.position <= 31 && a.ch3.period <= 2047 &&
           a.ch4.lfsr <= 0x7FFF && a.ch4.env.volume <= 15 && IsFlag(a.ch4.high);
}

}  // namespace

// Every flag the state holds: a byte other than 0 or 1 in one is no value
// of it at all.
bool FlagsAreFlags(const Handheld& h) {
    const Cpu& c = h.cpu;
    const Ppu& p = h.ppu;
    const Mbc& m = h.mbc;
    const audio::Apu& a = h.apu;
    for (const bool* b : {&c.ime,
                          &c.imePending,
                          &c.halted,
                          &c.haltBug,
                          &c.stopped,
                          &c.locked,
                          &c.special,
                          &p.statLine,
                          &p.frameReady,
                          &p.skipFrame,
                          &p.firstLine,
                          &p.windowSeen,
                          &m.knownType,
                          &m.hasRam,
                          &m.hasBattery,
                          &m.hasRtc,
                          &m.ramEnabled,
                          &a.powered,
                          &a.ch1.on,
                          &a.ch1.dac,
                          &a.ch1.high,
                          &a.ch1.length.enabled,
                          &a.ch1.env.up,
                          &a.ch2.on,
                          &a.ch2.dac,
                          &a.ch2.high,
                          &a.ch2.length.enabled,
                          &a.ch2.env.up,
                          &a.sweep.enabled,
                          &a.sweep.negated,
                          &a.ch3.on,
                          &a.ch3.dac,
                          &a.ch3.length.enabled,
                          &a.ch4.on,
                          &a.ch4.dac,
                          &a.ch4.high,
                          &a.ch4.length.enabled,
                          &a.ch4.env.up})
        if (!IsFlag(*b)) return false;
    return true;
}

bool StateInRange(const Handheld& h, const Mbc& cartridge) {
    return FlagsAreFlags(h) && TimesNear(h) && SameCartridge(h.mbc, cartridge, h.rom.size()) &&
           h.dma.done <= 160 && PictureInRange(h.ppu) && SoundInRange(h.apu);
}

}  // namespace wenlo::hh
