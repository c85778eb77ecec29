#include "handheld/report.h"

#include <cstdio>

namespace wenlo::hh {

namespace {

struct LackInfo {
    const char* name;
    const char* explanation;
};

// In Lack order.
constexpr LackInfo kInfo[kLackCount] = {
    {"locked-cpu", "an undefined opcode ran: the CPU hangs there, as the hardware does"},
    {"unknown-mbc", "the header names a bank controller this handheld lacks: it runs as the nearest kind"},
    {"colour-only", "header 0x143 = 0xC0: a colour-only cartridge; this handheld has no colour"},
    {"link-partner", "a serial transfer waits for a partner's clock: no link cable is connected"},
    {"super-system", "header 0x146 = 0x03: the super system's features (borders, palettes) are not emulated"},
    {"colour-enhanced", "header 0x143 = 0x80: colour-enhanced, shown in the monochrome shades"},
};

}  // namespace

void ReportNote(Report& r, Lack lack, uint64_t frame) {
    ReportEntry& e = r.entries[size_t(lack)];
    if (e.count++ == 0) e.firstFrame = int64_t(frame);
}

std::string ReportText(const Report& r) {
    std::string text, names;
    int used = 0;
    for (size_t i = 0; i < kLackCount; ++i) {
        const ReportEntry& e = r.entries[i];
        if (e.count == 0) continue;
        text += std::string(kInfo[i].name) + " " + std::to_string(e.count) + " " +
                std::to_string(e.firstFrame) + " " + kInfo[i].explanation;
        if (Lack(i) == Lack::LockedCpu) {
            char op[8];
            std::snprintf(op, sizeof op, " (0x%02X)", r.lockedOpcode);
            text += op;
        }
        if (Lack(i) == Lack::UnknownMbc) {
            char type[24];
            std::snprintf(type, sizeof type, " (type 0x%02X)", r.cartType);
            text += type;
        }
        text += "\n";
        if (used++) names += ", ";
        names += kInfo[i].name;
    }
    if (used == 0) return "compat: nothing this handheld lacks was used\n";
    text += "compat: ";
    text += std::to_string(used);
    text += used == 1 ? " difference used: " : " differences used: ";
    text += names;
    text += "\n";
    return text;
}

}  // namespace wenlo::hh
