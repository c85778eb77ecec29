#include "savestate/state_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <type_traits>
#include <utility>

#include "core/bus.h"
#include "core/compat_hooks_internal.h"
#include "savestate/file_io_internal.h"
#include "savestate/rle.h"
#include "savestate/rle_checked_internal.h"

namespace wenlo {

namespace {

// One field of the uncompressed state: where it lies, how many bytes it
// takes, and how it is stored and restored.
struct StateField {
    uint32_t offset;
    uint32_t size;
    void (*save)(const Machine&, uint8_t* at);
    void (*load)(Machine&, const uint8_t* at);
};

template <auto Member>
using MemberType = std::remove_cvref_t<decltype(std::declval<Machine&>().*Member)>;

// Integers in their own width, little-endian; signed ones as two's complement.
template <auto Member>
void SaveInt(const Machine& m, uint8_t* at) {
    using T = MemberType<Member>;
    const auto v = uint64_t(std::make_unsigned_t<T>(m.*Member));
    for (size_t i = 0; i < sizeof(T); ++i) at[i] = uint8_t(v >> (8 * i));
}

template <auto Member>
void LoadInt(Machine& m, const uint8_t* at) {
    using T = MemberType<Member>;
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= uint64_t(at[i]) << (8 * i);
    m.*Member = T(std::make_unsigned_t<T>(v));
}

// Byte arrays whole, in index order.
template <auto Member>
void SaveBytes(const Machine& m, uint8_t* at) {
    std::memcpy(at, (m.*Member).data(), (m.*Member).size());
}

template <auto Member>
void LoadBytes(Machine& m, const uint8_t* at) {
    std::memcpy((m.*Member).data(), at, (m.*Member).size());
}

template <auto Member>
constexpr StateField Field(uint32_t offset) {
    using T = MemberType<Member>;
    if constexpr (std::is_integral_v<T>) {
        return {offset, uint32_t(sizeof(T)), &SaveInt<Member>, &LoadInt<Member>};
    } else {
        static_assert(std::is_same_v<typename T::value_type, uint8_t>, "only byte arrays are stored whole");
        return {offset, uint32_t(std::tuple_size_v<T>), &SaveBytes<Member>, &LoadBytes<Member>};
    }
}

// F exists only in the file: the four flag bytes composed, low nibble zero.
void SaveF(const Machine& m, uint8_t* at) { at[0] = ComposeF(m); }
void LoadF(Machine& m, const uint8_t* at) { SplitF(m, at[0]); }

// The file keeps the cartridge RAM slots interleaved: the 16 slots' bytes at
// one offset lie side by side, byte (slot s, offset o) at s + 16 o. Machine
// keeps them slot after slot.
constexpr uint32_t kSlots = 16;
constexpr uint32_t kSlotSize = 0x2000;

void SaveRamBanks(const Machine& m, uint8_t* at) {
    for (uint32_t o = 0; o < kSlotSize; ++o)
        for (uint32_t s = 0; s < kSlots; ++s) at[s + kSlots * o] = m.RamBanks[s][o];
}

void LoadRamBanks(Machine& m, const uint8_t* at) {
    for (uint32_t o = 0; o < kSlotSize; ++o)
        for (uint32_t s = 0; s < kSlots; ++s) m.RamBanks[s][o] = at[s + kSlots * o];
}

// The uncompressed state, in file order. This table is the layout: saving and
// loading both walk it, and the assertion below keeps it gapless.
constexpr StateField kStateLayout[] = {
    Field<&Machine::IF>(0),
    Field<&Machine::IE>(1),
    Field<&Machine::IME>(2),
    Field<&Machine::regA>(3),
    {4, 1, &SaveF, &LoadF},
    Field<&Machine::regB>(5),
    Field<&Machine::regC>(6),
    Field<&Machine::regD>(7),
    Field<&Machine::regE>(8),
    Field<&Machine::regH>(9),
    Field<&Machine::regL>(10),
    Field<&Machine::regPC>(11),  // 4 bytes, signed
    Field<&Machine::regSP>(15),  // 4 bytes, signed
    {19, kSlots* kSlotSize, &SaveRamBanks, &LoadRamBanks},
    Field<&Machine::BankMode>(131091),
    Field<&Machine::MbcType>(131092),
    Field<&Machine::RamEnabled>(131093),  // 2 bytes
    Field<&Machine::RamBank>(131095),
    Field<&Machine::RomBank>(131096),
    Field<&Machine::VideoRam>(131097),
    Field<&Machine::Oam>(139289),
    Field<&Machine::HighRam>(139449),
    Field<&Machine::SoundRegs>(139641),
    Field<&Machine::P1>(139689),
    Field<&Machine::LY>(139690),
    Field<&Machine::LYC>(139691),
    Field<&Machine::DIV>(139692),
    Field<&Machine::STAT>(139693),
    Field<&Machine::SCX>(139694),
    Field<&Machine::SCY>(139695),
    Field<&Machine::TIMA>(139696),
    Field<&Machine::TMA>(139697),
    Field<&Machine::BGP>(139698),
    Field<&Machine::OBP0>(139699),
    Field<&Machine::OBP1>(139700),
};

constexpr bool LayoutIsGapless() {
    uint32_t next = 0;
    for (const StateField& f : kStateLayout) {
        if (f.offset != next) return false;
        next += f.size;
    }
    return next == kStateSize;
}
static_assert(LayoutIsGapless(), "every field must start where the one before it ends");

// The name for the given temporary in the folder of path, made different from
// path itself so that removing the temporary can never remove the state file.
std::string TempBeside(const std::string& path, const std::string& name) {
    std::string temp = BesidePath(path, name);
    while (SameFile(temp, path)) temp += ".tmp";
    return temp;
}

// The system's text for errno, as a phrase to go inside a sentence.
std::string SystemReason() {
    std::string text = std::generic_category().message(errno);
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string CannotWrite(const std::string& path, const std::string& why) {
    return "cannot write " + std::filesystem::path(path).filename().string() + " (" + why + ")";
}

bool Fail(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

// Reads a whole file of at most limit bytes; a longer one is read up to limit + 1.
bool ReadWhole(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.resize(limit + 1);
    in.read(reinterpret_cast<char*>(out.data()), std::streamsize(out.size()));
    out.resize(size_t(in.gcount()));
    return !in.bad();
}

}  // namespace

std::vector<uint8_t> SerializeState(const Machine& m) {
    std::vector<uint8_t> state(kStateSize);
    for (const StateField& f : kStateLayout) f.save(m, state.data() + f.offset);
    return state;
}

bool DeserializeState(Machine& m, const std::vector<uint8_t>& state) {
    if (state.size() != kStateSize) return false;
    for (const StateField& f : kStateLayout) f.load(m, state.data() + f.offset);
    // RomWindow is not saved: show the restored bank of the loaded cartridge.
    SwitchRomBank(m);
    CompatStateLoaded(m);
    return true;
}

std::string StateFileName(const Machine& m) { return m.RomName + ".sav"; }

bool WriteStateFile(const Machine& m, const std::string& path, std::string* error) {
    return WriteStateFile(m, path, error, nullptr);
}

bool WriteStateFile(const Machine& m, const std::string& path, std::string* error, WriteFault* fault) {
    const std::string base = m.RomName.empty() ? std::filesystem::path(path).filename().string() : m.RomName;
    const std::string temp = TempBeside(path, base + ".tmp");
    const std::string coded = TempBeside(path, std::filesystem::path(path).filename().string() + ".new");
    const auto fail = [&](const std::string& why) {
        DeleteFileQuietly(temp);
        DeleteFileQuietly(coded);
        return Fail(error, why);
    };

    const std::vector<uint8_t> state = SerializeState(m);
    OutputFile out;
    if (!out.Open(temp, fault)) return fail(CannotWrite(temp, SystemReason()));
    out.Write(state.data(), state.size());
    if (!out.Close()) return fail(CannotWrite(temp, SystemReason()));

    const CodecStatus coding = CompressFileChecked(temp, coded, fault);
    if (coding != CodecStatus::Ok) {
        const std::string why =
            coding == CodecStatus::WriteError ? SystemReason() : DescribeCodecStatus(coding);
        return fail(CannotWrite(coded, why));
    }
    // Until the coded file is on the disk, renaming it over the old one could
    // trade a good state for an empty file after a power cut.
    if (!SyncFileToDisk(coded)) return fail(CannotWrite(coded, SystemReason()));
    if (fault && fault->failRename) return fail("cannot replace the old file (simulated failure)");
    std::error_code ec;
    std::filesystem::rename(coded, path, ec);
    if (ec) return fail("cannot replace the old file (" + ec.message() + ")");
    DeleteFileQuietly(temp);
    return true;
}

bool ReadStateFile(Machine& m, const std::string& path, std::string* error) {
    return ReadStateFile(m, path, error, nullptr);
}

bool ReadStateFile(Machine& m, const std::string& path, std::string* error, WriteFault* fault) {
    if (RegularFileSize(path) < 0) return Fail(error, "there is no such state file");
    const std::string temp = TempBeside(path, "gb.tmp");
    const auto fail = [&](const std::string& why) {
        DeleteFileQuietly(temp);
        return Fail(error, why);
    };

    // One byte more than a state lets a long file show itself without ever
    // writing a huge temporary.
    const CodecStatus decoding = ExpandFileChecked(path, temp, kStateSize + 1, fault);
    switch (decoding) {
        case CodecStatus::Ok: break;
        case CodecStatus::WriteError: return fail(CannotWrite(temp, SystemReason()));
        case CodecStatus::TooLong: return fail("the file is damaged: it holds more than a machine state");
        case CodecStatus::Truncated: return fail("the file is damaged: it ends in the middle of a run");
        default: return fail(DescribeCodecStatus(decoding));
    }
    std::vector<uint8_t> state;
    if (!ReadWhole(temp, kStateSize, state)) return fail("the temporary file could not be read back");
    DeleteFileQuietly(temp);
    if (state.size() != kStateSize) {
        return Fail(error, "the file is damaged: it holds " + std::to_string(state.size()) +
                               " bytes of state instead of " + std::to_string(kStateSize));
    }
    DeserializeState(m, state);
    return true;
}

bool IsStateFile(const std::string& path) {
    uint64_t length = 0;
    return ExpandedLength(path, kStateSize, length) == CodecStatus::Ok && length == kStateSize;
}

bool SaveState(const Machine& m, std::string* error) { return WriteStateFile(m, StateFileName(m), error); }

bool LoadState(Machine& m, std::string* error) { return ReadStateFile(m, StateFileName(m), error); }

std::string StatePath(const Machine& m, const std::string& folder) {
    if (folder.empty()) return StateFileName(m);
    return (std::filesystem::path(folder) / StateFileName(m)).string();
}

bool SaveState(const Machine& m, const std::string& folder, std::string* error) {
    return WriteStateFile(m, StatePath(m, folder), error);
}

bool LoadState(Machine& m, const std::string& folder, std::string* error) {
    return ReadStateFile(m, StatePath(m, folder), error);
}

}  // namespace wenlo
