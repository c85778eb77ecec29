#include "handheld/state_file.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <type_traits>

#include "handheld/bus.h"
#include "handheld/state_check.h"

namespace wenlo::hh {

namespace {

constexpr char kMagic[8] = {'W', 'E', 'N', 'L', 'O', 'H', 'H', '\x1A'};
constexpr size_t kHeaderSize = 28;

// The sound unit's fields, in the order it lists them. Listing them marks
// the unit as perhaps replaced; a save replaces nothing, so it leaves the
// output side as it was.
template <class H, class F>
void SoundSections(H& h, F& f) {
    audio::Apu& a = const_cast<audio::Apu&>(h.apu);
    const bool resync = a.out.resync;
    audio::VisitState(a, f);
    if constexpr (std::is_const_v<H>) a.out.resync = resync;
}

// Every part of the record a state holds, in file order. The cartridge (rom,
// title, name), the host, the keys held, the serial log and the sound
// unit's output are not state.
template <class H, class F>
void ForEachSection(H& h, F&& f) {
    f(h.now), f(h.nextEvent), f(h.events);
    f(h.cpu), f(h.timer), f(h.serial.sb), f(h.serial.sc), f(h.serial.doneAt);
    f(h.joypad.select), f(h.dma), f(h.mbc), f(h.ppu), f(h.IF), f(h.IE);
    f(h.wram), f(h.vram), f(h.oam), f(h.hram);
    SoundSections(h, f);
    f(h.frames);
}

uint32_t Layout(const Handheld& h) {
    uint32_t total = 0;
    ForEachSection(h, [&](auto& s) {
        static_assert(std::is_trivially_copyable_v<std::remove_reference_t<decltype(s)>>);
        total += uint32_t(sizeof s);
    });
    return total;
}

uint32_t Crc(const uint8_t* p, size_t n) { return uint32_t(crc32(crc32(0, nullptr, 0), p, uInt(n))); }

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
uint32_t Get32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

std::vector<uint8_t> Payload(const Handheld& h) {
    std::vector<uint8_t> out;
    out.reserve(Layout(h) + 4 + h.cartRam.size());
    ForEachSection(h, [&](const auto& s) {
        const auto* p = reinterpret_cast<const uint8_t*>(&s);
        out.insert(out.end(), p, p + sizeof s);
    });
    Put32(out, uint32_t(h.cartRam.size()));
    out.insert(out.end(), h.cartRam.begin(), h.cartRam.end());
    return out;
}

// Reads a payload into h; false (h unchanged) when its sizes do not fit.
bool PutPayload(Handheld& h, const uint8_t* p, size_t n) {
    const size_t fixed = Layout(h);
    if (n < fixed + 4) return false;
    const uint32_t ram = Get32(p + fixed);
    if (ram != h.cartRam.size() || n != fixed + 4 + ram) return false;
    const uint8_t keys = h.joypad.keys;
    ForEachSection(h, [&](auto& s) {
        std::memcpy(&s, p, sizeof s);
        p += sizeof s;
    });
    p += 4;
    std::memcpy(h.cartRam.data(), p, ram);
    h.joypad.keys = keys;  // the keys are the player's, now
    RefreshMemoryMap(h);
    return true;
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

}  // namespace

std::vector<uint8_t> SerializeHandheld(const Handheld& h) {
    const std::vector<uint8_t> payload = Payload(h);
    std::vector<uint8_t> out(kMagic, kMagic + 8);
    Put32(out, kStateVersion);
    Put32(out, Layout(h));
    Put32(out, Crc(h.rom.data(), h.rom.size()));
    Put32(out, uint32_t(payload.size()));
    Put32(out, Crc(payload.data(), payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bool DeserializeHandheld(Handheld& h, const std::vector<uint8_t>& bytes, std::string* error) {
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, 8) != 0)
        return Fail(error, "not a state file of the complete handheld");
    const uint8_t* p = bytes.data();
    if (Get32(p + 8) != kStateVersion || Get32(p + 12) != Layout(h))
        return Fail(error, "written by another version of Wenlo");
    if (Get32(p + 16) != Crc(h.rom.data(), h.rom.size())) return Fail(error, "made for another cartridge");
    const uint32_t length = Get32(p + 20);
    if (bytes.size() - kHeaderSize != length) return Fail(error, "truncated or too long");
    if (Crc(p + kHeaderSize, length) != Get32(p + 24)) return Fail(error, "damaged (checksum mismatch)");
    const std::vector<uint8_t> before = Payload(h);
    const Mbc cartridge = h.mbc;
    if (!PutPayload(h, p + kHeaderSize, length))
        return Fail(error, "damaged (sizes do not fit this cartridge)");
    if (!StateInRange(h, cartridge)) {
        PutPayload(h, before.data(), before.size());  // as it was: it came from this very record
        return Fail(error, "damaged (values no run of the machine holds)");
    }
    return true;
}

bool IsHandheldStateFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[sizeof kMagic] = {};
    in.read(magic, sizeof magic);
    return in && std::memcmp(magic, kMagic, sizeof magic) == 0;
}

void TakeHandheldSnapshot(const Handheld& h, std::vector<uint64_t>& words) {
    const std::vector<uint8_t> payload = Payload(h);
    words.assign((payload.size() + 7) / 8 + 1, 0);
    words[0] = payload.size();
    std::memcpy(words.data() + 1, payload.data(), payload.size());
}

void PutHandheldSnapshot(Handheld& h, const std::vector<uint64_t>& words) {
    if (words.empty()) return;
    const size_t n = size_t(words[0]);
    if (n > (words.size() - 1) * 8) return;
    PutPayload(h, reinterpret_cast<const uint8_t*>(words.data() + 1), n);
}

}  // namespace wenlo::hh
