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

// Reads a whole regular file; false if it cannot be opened or read, or if its
// size is outside the accepted range (checked before reading it).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    // Only a regular file can be a cartridge: opening a named pipe for
    // reading waits for a writer that may never come, and a device may never
    // end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff length = in.tellg();
    if (length < std::streamoff(kMinRomSize) || length > std::streamoff(kMaxRomSize)) return false;
    out.resize(size_t(length));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(out.data()), length);
    return bool(in);
}

}  // namespace

bool LoadRom(Machine& m, const std::string& path) {
    if (path.empty()) return false;
    std::vector<uint8_t> image;
    if (!ReadWholeFile(path, image)) return false;
    return LoadRomImage(m, std::move(image), path);
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
