// make-bench-rom: writes the benchmark cartridge to a file.
//
//   make-bench-rom [--sprites N] [--loop rom|wram|hram] [--dma rom|hram] OUT.gb
//
// N sprites cross every line (0..10); the busy loop runs from the cartridge
// (rom, the default), from work RAM (wram), or from the cartridge calling a
// routine in high RAM (hram).
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tests/support/rom_builder.h"

namespace {

int Usage() {
    std::cerr
        << "usage: make-bench-rom [--sprites N] [--loop rom|wram|hram] [--dma rom|hram] OUT.gb   (N = 0..10, default 0)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int sprites = 0;
    auto loop = wenlo::test::BenchLoop::Rom;
    bool dmaFromHighRam = false;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sprites") {
            if (i + 1 >= argc) return Usage();
            const std::string value = argv[++i];
            if (value.empty() || value.size() > 2 ||
                value.find_first_not_of("0123456789") != std::string::npos)
                return Usage();
            sprites = std::stoi(value);
            if (sprites > wenlo::test::kMaxBenchSprites) return Usage();
        } else if (arg == "--loop") {
            if (i + 1 >= argc) return Usage();
            const std::string value = argv[++i];
            if (value == "rom")
                loop = wenlo::test::BenchLoop::Rom;
            else if (value == "wram")
                loop = wenlo::test::BenchLoop::WorkRam;
            else if (value == "hram")
                loop = wenlo::test::BenchLoop::HighRam;
            else
                return Usage();
        } else if (arg == "--dma") {
            if (i + 1 >= argc) return Usage();
            const std::string value = argv[++i];
            if (value == "rom")
                dmaFromHighRam = false;
            else if (value == "hram")
                dmaFromHighRam = true;
            else
                return Usage();
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage();
        } else if (!out.empty()) {
            return Usage();
        } else {
            out = arg;
        }
    }
    if (out.empty()) return Usage();

    const auto rom = wenlo::test::BenchmarkCartridge(sprites, loop, dmaFromHighRam);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(rom.Bytes().data()), std::streamsize(rom.Bytes().size()));
    file.close();
    if (!file) {
        std::cerr << "make-bench-rom: cannot write '" << out << "'\n";
        return 1;
    }
    return 0;
}
