#include "core/compat.h"

#include "core/compat_hooks_internal.h"
#include "core/io_regs.h"

namespace wenlo {

namespace {

using F = CompatFeature;

// Registers this machine does not keep; the bus drops writes to them.
constexpr int32_t kSerialData = 0xFF01;
constexpr int32_t kSerialControl = 0xFF02;
constexpr int32_t kTimerControl = 0xFF07;
constexpr int32_t kWindowY = 0xFF4A;
constexpr int32_t kWindowX = 0xFF4B;

constexpr uint8_t kIntTimer = 0x04;
constexpr uint8_t kIntSerial = 0x08;
constexpr uint8_t kLcdcWindowOn = 0x20;
constexpr uint8_t kStatSelectBits = 0x78;  // bits 3-6: mode 0, 1, 2 and LY=LYC interrupts

// Header bytes.
constexpr size_t kColourFlag = 0x143;
constexpr size_t kSuperSystemFlag = 0x146;
constexpr size_t kCartTypeByte = 0x147;
constexpr size_t kHeaderEnd = 0x150;

// The STAT polling rule. Plain "STAT read many times within one line" is
// noisy: waiting for VBlank by polling STAT works here and reads it a dozen
// times a line for most of a frame, and so does a copy loop that checks the
// mode before every byte. What this machine never shows is modes 2 and 3
// (and the LY=LYC flag): STAT holds mode 1 for exactly one line's budget, the
// one after line 144, and mode 0 for all the others. So a poll is counted
// only when it went on through both, standing still:
//  - at least kStatBusyReads reads in line 144 (mode 0);
//  - at least kStatVBlankReads in the mode-1 line, or that line spent inside
//    an interrupt handler (the loop could not see mode 1 either);
//  - kStatBusyReads again in the first line after it outside a handler,
//    which ends within 16 bytes of where line 144 ended with B, C, D, E, H
//    and L as they were then: a loop that only reads and tests, not a copy
//    loop that checks STAT before each byte and moves on.
// A loop waiting for mode 0 or 1 leaves within a line of seeing it and never
// passes. A tight poll (LDH, AND, CP, JR) reads STAT about 11 times a line.
constexpr uint32_t kStatBusyReads = 8;
constexpr uint32_t kStatVBlankReads = 3;
enum StatStage : uint8_t { kStatIdle, kStatBusyBeforeVBlank, kStatPolledThroughVBlank };

// The joypad rule. A game selects a key group and reads 0xFF00 a few times
// in a row (6 is common, to let the lines settle), once a frame; the keys
// can change between its write and its reads, which costs it a frame here
// and is not worth a report. A game that reads 0xFF00 on and on without
// ever writing it again sees no key at all: counted once kStaleKeyReads
// reads have been made since the keys last changed with no write between,
// once for each such change.
constexpr uint32_t kStaleKeyReads = 30;

// In CompatFeature order; the static_assert below checks it.
constexpr CompatInfo kInfo[] = {
    {F::BankWindowEmpty, "bank-window-empty",
     "code ran at 0x4000-0x7FFF before the first bank-select write; that window still holds zeros or "
     "another cartridge's bank",
     "This cartridge runs code from its second bank before choosing one; this machine leaves that bank "
     "empty until the cartridge selects it."},
    {F::BankWindowRead, "bank-window-read",
     "data read from 0x4000-0x7FFF before the first bank-select write; that window still holds zeros or "
     "another cartridge's bank",
     "This cartridge reads data from its second bank before choosing one; this machine leaves that bank "
     "empty until the cartridge selects it, so what it reads is not its own."},
    {F::CartType, "cart-type", "cartridge type (0x147) outside 0x00-0x03: its bank controller is not there",
     "This cartridge needs a memory controller this machine does not have; only the simplest kind works."},
    {F::PcUnmapped, "pc-unmapped",
     "the program counter ran above 0xFFFF or into unmapped space (0xFEA0-0xFF4B, 0xFFFF, cartridge RAM "
     "that is off), where every byte reads 0",
     "The program ran off into empty memory; it has most likely crashed."},
    {F::TimerInterrupt, "timer-interrupt", "the timer interrupt is enabled (IE bit 2); there is no timer",
     "This cartridge waits for the timer interrupt; this machine has no timer."},
    {F::StatPolling, "stat-polling",
     "STAT polled through a whole line of mode 0 and the VBlank line: waiting for mode 2, mode 3 or the "
     "LY=LYC flag, which this machine never shows",
     "This cartridge waits for a moment in the drawing of the screen that this machine never shows."},
    {F::JoypadUnseen, "joypad-unseen",
     "0xFF00 read many times with no write since the last key change; the keys are composed only when "
     "0xFF00 is written",
     "This cartridge reads the keys without asking for them again, so it does not see your presses."},
    {F::SerialInterrupt, "serial-interrupt",
     "the serial interrupt is enabled (IE bit 3); there is no serial port",
     "This cartridge waits for the link cable; this machine has no link port."},
    {F::StatInterruptSelect, "stat-interrupt-select",
     "STAT interrupt-select bits (3-6) written; the LCD-status interrupt comes only from LY=LYC, at the "
     "end of a line, whatever they select",
     "This cartridge asks for screen-timing interrupts this machine does not give."},
    {F::ColourOnly, "colour-only", "colour-only cartridge (0x143 = 0xC0)",
     "This cartridge is made for the colour model only; this machine is the monochrome one."},
    {F::StackDropped, "stack-dropped",
     "a write past 0xFFFF was dropped: a push with SP at 0 or 1 (or above 0xFFFF)",
     "The program's stack ran off the end of memory, so some saved values were lost."},
    {F::NestedInterrupt, "nested-interrupt",
     "an interrupt was taken while the previous handler had not returned; the master enable stays on here",
     "An interrupt came while the cartridge was still handling the previous one; this machine does not "
     "hold it back."},
    {F::UndefinedOpcode, "undefined-opcode", "an undefined opcode ran (as a NOP here)",
     "The program ran an instruction that does not exist; it has most likely crashed."},
    {F::TimerRegisters, "timer-registers", "TIMA, TMA or TAC (0xFF05-0xFF07) written; they are only stored",
     "This cartridge sets up the timer; this machine has no timer, so what it times does not happen."},
    {F::WindowLayer, "window-layer", "LCDC bit 5 set: the window layer is not drawn",
     "This cartridge shows a second picture layer (often a status bar or a menu); this machine does not "
     "draw it."},
    {F::WindowPosition, "window-position", "WY or WX (0xFF4A/0xFF4B) written; they are ignored",
     "This cartridge places its second picture layer; this machine does not draw it."},
    {F::Halt, "halt", "HALT ran; it is a NOP here and waits for nothing",
     "This cartridge pauses to wait for the next event; this machine carries on at once."},
    {F::Stop, "stop", "STOP ran; it is a NOP here",
     "This cartridge tries to switch the handheld into standby; this machine carries on."},
    {F::SerialRegisters, "serial-registers",
     "serial registers (0xFF01/0xFF02) written; there is no serial port",
     "This cartridge talks over the link cable; this machine has no link port."},
    {F::BatteryRam, "battery-ram", "battery-backed RAM (type 0x03): nothing keeps it across a reset",
     "This cartridge keeps saved games in battery-backed memory; this machine forgets them when the "
     "cartridge restarts (Save State keeps everything)."},
    {F::SuperSystem, "super-system", "super-system flag (0x146 = 0x03): its extra features are not there",
     "This cartridge has extras for the television adapter; they are not shown."},
    {F::ColourEnhanced, "colour-enhanced", "colour-enhanced cartridge (0x143 = 0x80): shown in grey shades",
     "This cartridge has colours for the colour model; here it is shown in grey shades."},
    {F::Sound, "sound",
     "a sound register (0xFF10-0xFF26) read; it gives back what was written, without the channel flags "
     "and write-only bits",
     "This cartridge reads back its sound settings; here they read as written, not as playing."},
};
static_assert(std::size(kInfo) == kCompatFeatureCount);

constexpr bool InFeatureOrder() {
    for (size_t i = 0; i < std::size(kInfo); ++i)
        if (size_t(kInfo[i].feature) != i) return false;
    return true;
}
static_assert(InFeatureOrder());

void NoteHeader(Machine& m) {
    if (m.RomImage.size() < kHeaderEnd) return;
    Compat& c = m.compat;
    const uint8_t type = m.RomImage[kCartTypeByte];
    if (type > 0x03) Note(c, F::CartType);
    if (type == 0x03) Note(c, F::BatteryRam);
    if (m.RomImage[kColourFlag] == 0xC0) Note(c, F::ColourOnly);
    if (m.RomImage[kColourFlag] == 0x80) Note(c, F::ColourEnhanced);
    if (m.RomImage[kSuperSystemFlag] == 0x03) Note(c, F::SuperSystem);
}

// Both joypad nibbles, as a write to 0xFF00 would compose them now.
uint8_t HeldKeys(const Machine& m) {
    return uint8_t((m.JoypadButtons & 0x0F) << 4 | (m.JoypadDirections & 0x0F));
}

// The newest handler taken has not returned: the stack is still at or below
// the return address it pushed.
// B C D E H L in one word: a polling loop leaves them alone.
uint64_t PollRegisters(const Machine& m) {
    return uint64_t(m.regB) << 40 | uint64_t(m.regC) << 32 | uint32_t(m.regD) << 24 | uint32_t(m.regE) << 16 |
           uint32_t(m.regH) << 8 | m.regL;
}

bool StillInTheLoop(const Machine& m) {
    const CompatWatch& w = m.compat.watch;
    return uint32_t(m.regPC) - w.statPollPc + 16u < 32u && PollRegisters(m) == w.statPollRegs;
}

bool HandlerOpen(const Machine& m) {
    const CompatWatch& w = m.compat.watch;
    return w.handlerDepth > 0 && m.regSP <= w.handlerSp[w.handlerDepth - 1];
}

void CheckStatPolling(Machine& m, int line, uint32_t reads) {
    CompatWatch& w = m.compat.watch;
    switch (w.statStage) {
        case kStatIdle:
            if (line == kVBlankLine && reads >= kStatBusyReads) {
                w.statStage = kStatBusyBeforeVBlank;
                w.statPollPc = uint32_t(m.regPC);
                w.statPollRegs = PollRegisters(m);
            }
            break;
        case kStatBusyBeforeVBlank:  // the line that showed mode 1
            w.statStage =
                (reads >= kStatVBlankReads || HandlerOpen(m)) ? kStatPolledThroughVBlank : kStatIdle;
            break;
        case kStatPolledThroughVBlank:
            if (HandlerOpen(m) && line < kLastLine) break;  // not back in the loop yet
            if (reads >= kStatBusyReads && StillInTheLoop(m)) Note(m.compat, F::StatPolling);
            w.statStage = kStatIdle;
            break;
        default: w.statStage = kStatIdle; break;
    }
}

}  // namespace

void ClearCompat(Compat& c) {
    const bool enabled = c.enabled;
    const uint16_t regions = c.watch.pcRegions;
    const uint32_t inPlaceEnd = c.watch.romInPlaceEnd;
    c = Compat{};
    c.enabled = enabled;
    c.watch.pcRegions = regions;
    c.watch.romInPlaceEnd = inPlaceEnd;
}

const CompatInfo& CompatInfoOf(CompatFeature f) { return kInfo[size_t(f) % kCompatFeatureCount]; }

std::vector<CompatFeature> CompatUsed(const Compat& c) {
    std::vector<CompatFeature> used;
    for (const CompatInfo& info : kInfo)
        if (c.entries[size_t(info.feature)].count > 0) used.push_back(info.feature);
    return used;
}

std::string CompatLine(const Compat& c, CompatFeature f) {
    const CompatEntry& e = c.entries[size_t(f)];
    const CompatInfo& info = CompatInfoOf(f);
    return std::string(info.name) + " " + std::to_string(e.count) + " " + std::to_string(e.firstFrame) + " " +
           info.explanation;
}

std::string CompatSummary(const Compat& c) {
    const std::vector<CompatFeature> used = CompatUsed(c);
    if (used.empty()) return "compat: nothing this machine does differently was used";
    std::string names;
    for (CompatFeature f : used) {
        if (!names.empty()) names += ", ";
        names += CompatInfoOf(f).name;
    }
    return "compat: " + std::to_string(used.size()) + " differences used: " + names;
}

std::string CompatReportText(const Compat& c) {
    std::string text;
    for (CompatFeature f : CompatUsed(c)) text += CompatLine(c, f) + "\n";
    return text + CompatSummary(c) + "\n";
}

// ---- Hooks ------------------------------------------------------------------

void CompatIoWrite(Machine& m, int32_t address, uint8_t v) {
    Compat& c = m.compat;
    if (!c.enabled) return;
    switch (address) {
        case io::P1:
            c.watch.p1KeysAtWrite = HeldKeys(m);
            c.watch.p1StaleReads = 0;
            c.watch.p1StaleNoted = false;
            return;
        case kSerialData:
        case kSerialControl: Note(c, F::SerialRegisters); return;
        case io::TIMA:
        case io::TMA:
        case kTimerControl: Note(c, F::TimerRegisters); return;
        case io::LCDC:
            if (v & kLcdcWindowOn) Note(c, F::WindowLayer);
            return;
        case io::STAT:
            if (v & kStatSelectBits) Note(c, F::StatInterruptSelect);
            return;
        case kWindowY:
        case kWindowX: Note(c, F::WindowPosition); return;
        case io::IE:
            if (v & kIntTimer) Note(c, F::TimerInterrupt);
            if (v & kIntSerial) Note(c, F::SerialInterrupt);
            return;
        default: break;
    }
}

void CompatDispatch(Machine& m) {
    Compat& c = m.compat;
    if (!c.enabled) return;
    CompatWatch& w = c.watch;
    const int32_t pushedAt = m.regSP;
    // A handler is closed by its RETI (CompatInterruptReturn). One that ends
    // in a plain RET (this machine needs no RETI, the master enable is never
    // cleared) is closed here once the stack pointer stands above the return
    // address it pushed. A deeper stack alone proves nothing: the main
    // program may have been inside a call at this interrupt and not at the
    // last.
    while (w.handlerDepth > 0 && w.handlerSp[w.handlerDepth - 1] < pushedAt + 2) --w.handlerDepth;
    if (w.handlerDepth > 0) Note(c, F::NestedInterrupt);
    if (w.handlerDepth == w.handlerSp.size()) {
        // Deeper than anything real: forget the oldest.
        for (size_t i = 1; i < w.handlerSp.size(); ++i) w.handlerSp[i - 1] = w.handlerSp[i];
        --w.handlerDepth;
    }
    w.handlerSp[w.handlerDepth++] = pushedAt;
}

void CompatStartRun(Machine& m) {
    ClearCompat(m.compat);
    NoteHeader(m);
}

void CompatCartridgeLoaded(Machine& m) {
    ClearCompat(m.compat);
    // A banked cartridge gets only bank 0 at load (see LoadRomImage).
    const bool windowEmpty = m.MbcType == 1;
    m.compat.watch.pcRegions = kPcRegionsAlways | (windowEmpty ? kPcRegionsBankWindow : 0);
    m.compat.watch.romInPlaceEnd = windowEmpty ? kRomInPlaceBank0 : kRomInPlaceWhole;
    NoteHeader(m);
}

void CompatStateLoaded(Machine& m) {
    CompatWatch& w = m.compat.watch;
    w.handlerDepth = 0;
    w.statStage = kStatIdle;
    w.statReads = w.p1StaleReads = 0;
    w.p1StaleNoted = false;
    w.linePending = false;
    w.p1KeysAtWrite = HeldKeys(m);
}

void CompatJoypadRead(const Machine& m) {
    CompatWatch& w = m.compat.watch;
    // Judged at the read itself: stale is what the keys now held would not give.
    if (HeldKeys(m) == w.p1KeysAtWrite) {
        w.p1StaleReads = 0;
        w.p1StaleNoted = false;
        return;
    }
    if (w.p1StaleReads < kStaleKeyReads) ++w.p1StaleReads;
    if (w.p1StaleReads >= kStaleKeyReads && !w.p1StaleNoted) {
        Note(m.compat, F::JoypadUnseen);
        w.p1StaleNoted = true;
    }
}

void CompatCheckPc(Machine& m, uint32_t pc) {
    Compat& c = m.compat;
    bool unmapped = false;
    if (pc > uint32_t(io::kAddressEnd)) {
        unmapped = true;
    } else if (pc - 0x4000u < 0x4000u) {
        Note(c, F::BankWindowEmpty);
    } else if (pc - 0xA000u < 0x2000u) {
        unmapped = !(m.MbcType == 1 && m.RamEnabled != 0);  // as the bus reads cartridge RAM
    } else if (pc >= 0xFEA0u) {
        // 0xFF4C-0xFFFE is high RAM in this machine; below it the unusable
        // area and the registers, above it IE.
        unmapped = pc < uint32_t(io::kHighRamStart) || pc > uint32_t(io::kHighRamEnd);
    }
    if (unmapped) Note(c, F::PcUnmapped);
}

void CompatCheckPolling(Machine& m, int line) {
    CompatWatch& w = m.compat.watch;
    const uint32_t statReads = w.statReads;
    w.statReads = 0;
    CheckStatPolling(m, line, statReads);
    w.linePending = w.statStage != kStatIdle;
}

}  // namespace wenlo
