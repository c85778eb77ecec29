// The handheld's own test cartridges (tests/handheld/roms, built from their
// sources by build.sh) run on the complete handheld through the wenlo-run
// binary. Each prints one line per check through the serial port, then
// "Passed" or "Failed"; the expected values are in the cartridges, taken
// from the hardware's documentation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/rom_builder.h"
#include "tests/tools/run_support.h"

namespace wenlo {
namespace {

const std::string kRomDir = std::string(WENLO_SOURCE_DIR) + "/tests/handheld/roms/";

// Enough for every cartridge: the slowest (mbc3, whose clock checks wait
// seconds of emulated time) is done after about 500 frames.
constexpr int kFrames = 1200;

struct SerialRun {
    test::BinaryOutcome outcome;
    std::string serial;
};

// Runs the cartridge at `rom` on the handheld and returns what it sent.
SerialRun RunOnHandheld(const std::string& rom, int frames) {
    const std::string serial = std::filesystem::path(rom).parent_path().string() + "/serial.txt";
    std::filesystem::remove(serial);
    SerialRun r;
    r.outcome = test::RunBinary(
        {"--machine", "handheld", "--frames", std::to_string(frames), "--serial", serial, rom});
    r.serial = test::ReadText(serial);
    return r;
}

// A copy of a committed cartridge in a folder of its own: battery-backed ones
// write their .sav beside the cartridge, never into the source tree.
std::string CopyOfRom(const std::string& name) {
    const std::string copy = test::MakeTempDir() + "/" + name + ".gb";
    std::filesystem::copy_file(kRomDir + name + ".gb", copy);
    return copy;
}

bool EndsWithPassed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::string verdict = "Passed";
    return text.size() >= verdict.size() &&
           text.compare(text.size() - verdict.size(), verdict.size(), verdict) == 0;
}

class TestRom : public ::testing::TestWithParam<const char*> {};

TEST_P(TestRom, PrintsPassed) {
    const SerialRun r = RunOnHandheld(CopyOfRom(GetParam()), kFrames);
    ASSERT_EQ(r.outcome.exitCode, 0) << r.outcome.err;
    EXPECT_TRUE(EndsWithPassed(r.serial)) << GetParam() << ".gb printed:\n" << r.serial;
}

INSTANTIATE_TEST_SUITE_P(HandheldCartridges, TestRom,
                         ::testing::Values("timer", "interrupts", "halt", "serial", "dma", "mbc1", "mbc1_ram",
                                           "mbc2", "mbc3", "mbc5", "ppu_stat"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// battery.s's pattern: the byte at offset i of cartridge RAM.
uint8_t PatternByte(size_t i) { return uint8_t((i & 0xFF) ^ (i >> 8) ^ 0xA5); }

std::string RamLine(bool pattern) {
    std::string line = "ram:";
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < 16; ++i) {
        const uint8_t b = pattern ? PatternByte(i) : 0;
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 15];
    }
    return line + "\n";
}

// The first run finds empty RAM and writes the pattern; the runner leaves it
// in the battery file beside the cartridge; the second run starts with it.
TEST(HandheldBattery, SaveWrittenAfterARunIsLoadedByTheNext) {
    const std::string rom = CopyOfRom("battery");
    const std::string sav = std::filesystem::path(rom).replace_extension(".sav").string();

    const SerialRun first = RunOnHandheld(rom, 120);
    ASSERT_EQ(first.outcome.exitCode, 0) << first.outcome.err;
    EXPECT_NE(first.serial.find(RamLine(false)), std::string::npos) << first.serial;
    EXPECT_NE(first.serial.find("pattern: absent\n"), std::string::npos) << first.serial;
    EXPECT_TRUE(EndsWithPassed(first.serial)) << first.serial;

    const std::string saved = test::ReadText(sav);
    ASSERT_EQ(saved.size(), 8192u);
    size_t differing = 0;
    for (size_t i = 0; i < saved.size(); ++i) differing += uint8_t(saved[i]) != PatternByte(i);
    EXPECT_EQ(differing, 0u);

    const SerialRun second = RunOnHandheld(rom, 120);
    ASSERT_EQ(second.outcome.exitCode, 0) << second.outcome.err;
    EXPECT_NE(second.serial.find(RamLine(true)), std::string::npos) << second.serial;
    EXPECT_NE(second.serial.find("pattern: found\n"), std::string::npos) << second.serial;
}

// A file of the battery's name that is not a battery save of this cartridge
// (the design machine's state file, say) is never written over: the saves
// go to the per-user folder and come back from there.
TEST(HandheldBattery, AForeignFileOfTheNameStaysAndSavesGoToThePerUserFolder) {
    const std::string rom = CopyOfRom("battery");
    const std::string sav = std::filesystem::path(rom).replace_extension(".sav").string();
    const std::string foreign(4667, 'S');
    std::ofstream(sav, std::ios::binary) << foreign;
    const std::string data = test::MakeTempDir();
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string saved = before ? before : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);

    const SerialRun first = RunOnHandheld(rom, 120);
    const SerialRun second = RunOnHandheld(rom, 120);
    if (before)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(first.outcome.exitCode, 0) << first.outcome.err;
    EXPECT_NE(first.serial.find("pattern: absent\n"), std::string::npos) << first.serial;
    EXPECT_EQ(test::ReadText(sav), foreign);
    EXPECT_EQ(test::ReadText(data + "/Wenlo/battery.sav").size(), 8192u);
    EXPECT_NE(second.serial.find("pattern: found\n"), std::string::npos) << second.serial;
}

}  // namespace
}  // namespace wenlo
