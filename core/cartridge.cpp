#include "core/cartridge.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <tuple>

#include "core/cartridge_header.h"

#include "core/compat_hooks_internal.h"

namespace wenlo {

namespace {

using cart::kBankSize;

static_assert(cart::kTitleLength == std::tuple_size_v<decltype(Machine::RomTitle)>);

// Reads a whole regular file, checking its size before reading it.
LoadRomResult ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    // Only a regular file can be a cartridge: opening a named pipe for
    // reading waits for a writer that may never come, and a device may never
    // end.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return LoadRomResult::NoSuchFile;
    if (!std::filesystem::is_regular_file(status)) return LoadRomResult::NotRegularFile;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return LoadRomResult::Unreadable;
    const std::streamoff length = in.tellg();
    if (length < 0) return LoadRomResult::Unreadable;
    if (length < std::streamoff(kMinRomSize)) return LoadRomResult::TooShort;
    if (length > std::streamoff(kMaxRomSize)) return LoadRomResult::TooLarge;
    out.resize(size_t(length));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(out.data()), length);
    return in ? LoadRomResult::Loaded : LoadRomResult::Unreadable;
}

}  // namespace

LoadRomResult ReadCartridgeFile(const std::string& path, std::vector<uint8_t>& out) {
    if (path.empty()) return LoadRomResult::NoSuchFile;
    return ReadWholeFile(path, out);
}

bool LoadRom(Machine& m, const std::string& path) { return LoadRomChecked(m, path) == LoadRomResult::Loaded; }

LoadRomResult LoadRomChecked(Machine& m, const std::string& path) {
    if (path.empty()) return LoadRomResult::NoSuchFile;
    std::vector<uint8_t> image;
    if (const LoadRomResult r = ReadWholeFile(path, image); r != LoadRomResult::Loaded) return r;
    // The size was checked before reading: the image loads.
    return LoadRomImage(m, std::move(image), path) ? LoadRomResult::Loaded : LoadRomResult::Unreadable;
}

std::string LoadRomReasonText(LoadRomResult r) {
    switch (r) {
        case LoadRomResult::Loaded: return {};
        case LoadRomResult::NoSuchFile: return "no such file";
        case LoadRomResult::NotRegularFile: return "not a regular file";
        case LoadRomResult::TooShort: return "shorter than a cartridge header";
        case LoadRomResult::TooLarge: return "larger than 8 MiB";
        case LoadRomResult::Unreadable: return "unreadable";
    }
    return "unreadable";
}

bool LoadRomImage(Machine& m, std::vector<uint8_t> image, const std::string& path) {
    const size_t n = image.size();
    if (n < kMinRomSize || n > kMaxRomSize) return false;

    m.RomImage = std::move(image);
    m.RomBankMask = uint8_t(n / kBankSize - 1);  // truncated: < 16 KiB gives 0xFF
    m.RomName = RomBaseName(path);
    std::memcpy(m.RomTitle.data(), m.RomImage.data() + cart::kTitleOffset, m.RomTitle.size());
    m.CartType = m.RomImage[cart::kCartTypeOffset];
    switch (m.CartType) {
        case cart::kRomOnly: m.MbcType = cart::kNoMbc; break;
        case cart::kMbc1:
        case cart::kMbc1Ram:
        case cart::kMbc1RamBattery:
            m.MbcType = cart::kMbc1Banking;
            m.BankMode = 0;
            break;
        default: break;  // other types keep the banking of the previous cartridge
    }

    // A banked cartridge gets bank 0 only; its upper window keeps what it
    // held until the game's first bank-select write. Bytes beyond a short
    // file read as 0xFF.
    const size_t copy = m.MbcType == cart::kNoMbc ? m.RomWindow.size() : kBankSize;
    const size_t avail = std::min(copy, n);
    std::copy_n(m.RomImage.begin(), avail, m.RomWindow.begin());
    std::fill(m.RomWindow.begin() + avail, m.RomWindow.begin() + copy, uint8_t(0xFF));

    m.RamBank = 1;
    m.RomBank = 1;
    m.RamEnabled = 0;
    CompatCartridgeLoaded(m);
    if (m.host) m.host->SetCaption("Wenlo - " + TitleText(m));
    return true;
}

std::string RomBaseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A leading dot would leave no name at all; keep the whole name then.
    const size_t dot = name.find('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string TitleText(const Machine& m) {
    const auto& t = m.RomTitle;
    return std::string(t.begin(), std::find(t.begin(), t.end(), '\0'));
}

}  // namespace wenlo
