#include "handheld/battery.h"

#include <algorithm>

#include "handheld/mbc.h"

namespace wenlo::hh {

namespace {

void PutWord(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
uint64_t GetWord(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
    return v;
}

// The clock registers' widths: a footer written by a program that kept
// other bits is taken within them.
constexpr uint8_t kRtcMasks[5] = {0x3F, 0x3F, 0x1F, 0xFF, 0xC1};

}  // namespace

size_t BatteryFileSize(const Handheld& h) { return h.cartRam.size() + (h.mbc.hasRtc ? kRtcFooterSize : 0); }

bool BatterySizeFits(const Handheld& h, size_t size) {
    if (size == BatteryFileSize(h)) return true;
    if (!h.mbc.hasRtc) return false;
    return size == h.cartRam.size() || size == h.cartRam.size() + kRtcShortFooterSize;
}

std::vector<uint8_t> BatteryImage(const Handheld& h, int64_t unixNow) {
    std::vector<uint8_t> out(h.cartRam);
    if (!h.mbc.hasRtc) return out;
    for (uint8_t r : h.mbc.rtc.regs) PutWord(out, r, 4);
    for (uint8_t r : h.mbc.rtc.latched) PutWord(out, r, 4);
    PutWord(out, uint64_t(unixNow), 8);
    return out;
}

BatteryLoad LoadBatteryImage(Handheld& h, const std::vector<uint8_t>& bytes, int64_t unixNow) {
    if (!BatterySizeFits(h, bytes.size())) return BatteryLoad::WrongSize;
    std::copy_n(bytes.begin(), h.cartRam.size(), h.cartRam.begin());
    const size_t footer = bytes.size() - h.cartRam.size();
    if (h.mbc.hasRtc && footer >= kRtcShortFooterSize) {
        Rtc& r = h.mbc.rtc;
        const uint8_t* p = bytes.data() + h.cartRam.size();
        for (int i = 0; i < 5; ++i) r.regs[size_t(i)] = uint8_t(GetWord(p + 4 * i, 4) & kRtcMasks[i]);
        for (int i = 0; i < 5; ++i) r.latched[size_t(i)] = uint8_t(GetWord(p + 20 + 4 * i, 4) & kRtcMasks[i]);
        const int64_t saved =
            footer == kRtcFooterSize ? int64_t(GetWord(p + 40, 8)) : int64_t(GetWord(p + 40, 4));
        r.savedUnixTime = saved;
        // The clock ran on while the program was closed. A time in the
        // future (a clock set back, a damaged footer) counts as no time.
        if (saved > 0 && saved < unixNow) RtcAdvanceSeconds(r, unixNow - saved);
        r.cycles = 0;
        r.last = h.now;
    }
    h.ramDirty = false;
    return BatteryLoad::Loaded;
}

}  // namespace wenlo::hh
