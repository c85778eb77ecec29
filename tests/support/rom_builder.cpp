#include "tests/support/rom_builder.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/cartridge.h"
#include "core/cartridge_header.h"
#include "core/io_regs.h"

namespace wenlo::test {

RomBuilder::RomBuilder(int banks, uint8_t cartType, const std::string& title)
    : bytes_(size_t(banks) * cart::kBankSize, 0x00) {
    for (size_t i = 0; i < title.size() && i < cart::kTitleLength; ++i)
        bytes_[cart::kTitleOffset + i] = uint8_t(title[i]);
    bytes_[cart::kCartTypeOffset] = cartType;
}

RomBuilder& RomBuilder::Put(uint32_t offset, std::initializer_list<uint8_t> bytes) {
    return Put(offset, std::vector<uint8_t>(bytes));
}

RomBuilder& RomBuilder::Put(uint32_t offset, const std::vector<uint8_t>& bytes) {
    if (offset + bytes.size() > bytes_.size()) throw std::out_of_range("RomBuilder::Put beyond the file");
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + offset);
    return *this;
}

RomBuilder& RomBuilder::PutBanked(int bank, uint16_t address, std::initializer_list<uint8_t> bytes) {
    return Put(uint32_t(size_t(bank) * cart::kBankSize) + (address - uint32_t(io::kRomBankedStart)), bytes);
}

std::string MakeTempDir() {
    static std::atomic<int> counter{0};
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path() / ("wenlo-test-" + std::to_string(::getpid()));
    fs::path dir = base / std::to_string(counter++);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

std::string RomBuilder::WriteTemp(const std::string& name) const {
    const std::string path = MakeTempDir() + "/" + name + ".gb";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

std::unique_ptr<Machine> MakeMachine(const RomBuilder& rom, const std::string& name) {
    auto m = std::make_unique<Machine>();
    if (!LoadRomImage(*m, rom.Bytes(), name + ".gb")) throw std::runtime_error("test cartridge did not load");
    ResetMachine(*m);
    m->Running = true;
    return m;
}

}  // namespace wenlo::test
