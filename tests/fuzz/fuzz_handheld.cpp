// The complete handheld on arbitrary bytes. An input whose first byte is
// even is a cartridge (any header, any size), run for a frame in every
// display mode; an odd one is, after that byte, a state file for a small
// fixed cartridge, which must load whole or change nothing; with bit 1 set
// as well, the rest is a list of byte patches (offset low, offset high,
// value) to a valid state, sealed with fresh checksums, so that what a file
// may hold past its checksums gets tried too. The sound unit's
// output is on (48 kHz) and taken after every frame, so that its synthesis,
// filter and resynchronisation after a load are run too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include <zlib.h>

#include "audio/apu.h"
#include "handheld/bus.h"
#include "handheld/handheld.h"
#include "handheld/mbc.h"
#include "handheld/scheduler.h"
#include "handheld/state_file.h"
#include "video/surface.h"

namespace {

using wenlo::hh::Handheld;

struct FuzzHost : wenlo::Host {
    wenlo::Surface surface;
    FuzzHost() { Screen = &surface; }
};

std::unique_ptr<Handheld> Start(std::vector<uint8_t> image, FuzzHost& host) {
    if (image.size() < 0x150) image.resize(0x150, 0);  // a whole header, the rest zero
    auto h = std::make_unique<Handheld>();
    wenlo::hh::MbcLoad(*h, std::move(image));
    wenlo::hh::ResetHandheld(*h);
    wenlo::audio::ApuSetOutputRate(h->apu, 48000);
    h->host = &host;
    h->Running = true;
    return h;
}

// MBC3 with RAM and clock, a loop at 0x0100: every section of a state in use.
std::vector<uint8_t> FixedCartridge() {
    std::vector<uint8_t> rom(0x8000, 0);
    rom[0x100] = 0x18, rom[0x101] = 0xFE;  // jr -2
    rom[0x147] = 0x10;
    rom[0x149] = 0x02;
    return rom;
}

void TakeSound(Handheld& h) {
    int16_t frames[2 * 1024];
    while (wenlo::audio::ApuTakeSamples(h.apu, frames, 1024) != 0) {
    }
}

// `state` (a whole state file) with `patches` applied to its payload and
// its payload's checksum made right again.
std::vector<uint8_t> Sealed(std::vector<uint8_t> state, const std::vector<uint8_t>& patches) {
    constexpr size_t kHeader = 28;
    const size_t payload = state.size() - kHeader;
    for (size_t i = 0; i + 3 <= patches.size(); i += 3)
        state[kHeader + (patches[i] | patches[i + 1] << 8) % payload] = patches[i + 2];
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), state.data() + kHeader, uInt(payload)));
    for (int b = 0; b < 4; ++b) state[24 + b] = uint8_t(crc >> (8 * b));
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzHost host;
    if (size == 0 || (data[0] & 1) == 0) {
        auto h = Start(std::vector<uint8_t>(data, data + size), host);
        for (uint8_t mode = 0; mode < 3; ++mode) {
            h->DisplayMode = mode;
            host.surface.Resize(wenlo::ModeWidth(mode), wenlo::ModeHeight(mode));
            wenlo::hh::RunFrame(*h);
            TakeSound(*h);
        }
        return 0;
    }
    static const std::unique_ptr<Handheld> reference = [] {
        static FuzzHost own;
        auto h = Start(FixedCartridge(), own);
        wenlo::hh::RunFrame(*h);
        return h;
    }();
    auto h = std::make_unique<Handheld>(*reference);
    wenlo::hh::RefreshMemoryMap(*h);  // the copy's pages point into its own memory
    const std::vector<uint8_t> before = wenlo::hh::SerializeHandheld(*h);
    std::vector<uint8_t> file(data + 1, data + size);
    if (data[0] & 2) file = Sealed(before, file);
    std::string why;
    if (!wenlo::hh::DeserializeHandheld(*h, file, &why) &&
        wenlo::hh::SerializeHandheld(*h) != before)
        std::abort();
    wenlo::hh::RunFrame(*h);  // the unit meets the loaded state (or the unchanged one)
    TakeSound(*h);
    return 0;
}
