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
#include <utility>
#include <vector>

#include "tests/support/rom_builder.h"
#include "tests/tools/run_support.h"
#include "tools/png_io.h"

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

// dialogue.s on the handheld, 300 frames in: the camera has stopped (the
// ground's SCX 96, SCY 8 from line 64 on), the second page is complete. Some
// of its lines worked out from what the cartridge sets up rather than from
// the drawing: one shade digit a pixel, 0 white to 3 black.
std::string DialogueLine(const tools::RgbImage& picture, int y) {
    std::string line;
    for (int x = 0; x < picture.width; ++x) {
        const uint8_t* p = &picture.rgb[size_t(3 * (y * picture.width + x))];
        const Color c = Color(p[0]) | Color(p[1]) << 8 | Color(p[2]) << 16;
        char digit = '?';
        for (int s = 0; s < 4; ++s)
            if (ShadeColors[size_t(s)] == c) digit = char('0' + s);
        line += digit;
    }
    return line;
}

// Row r (0-6) of the 5x7 letters of "PAST THE MILL.", '#' ink.
std::string GlyphRow(char letter, int r) {
    static const struct {
        char letter;
        const char* rows[7];
    } kFont[] = {
        {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
        {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
        {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
        {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
        {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
        {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
        {'.', {".....", ".....", ".....", ".....", ".....", ".....", "..#.."}},
    };
    for (const auto& g : kFont)
        if (g.letter == letter) return g.rows[r];
    return ".....";  // a space, or a letter left over from the first page
}

TEST(HandheldDialogue, TheBoxIsInTheWindowOverTheScrolledGround) {
    const std::string png = test::MakeTempDir() + "/dialogue.png";
    const auto run =
        test::RunBinary({"--machine", "handheld", "--frames", "300", "--png", png, kRomDir + "dialogue.gb"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    tools::RgbImage picture;
    std::string why;
    ASSERT_TRUE(tools::ReadPng(png, picture, &why)) << why;
    ASSERT_EQ(picture.width, 160);
    ASSERT_EQ(picture.height, 144);

    std::vector<std::pair<int, std::string>> want;
    // Line 63, the sky's last: light but for the last row of the two
    // characters' feet (0x66), at world X 150 and 190 less the scroll.
    std::string sky(160, '1');
    for (int left : {150 - 96, 190 - 96})
        for (int c : {1, 2, 5, 6}) sky[size_t(left + c)] = '3';
    want.push_back({63, sky});
    // Line 64: the ground's scroll from here on shows the grass's top row.
    want.push_back({64, std::string(160, '3')});
    // Line 103: the ground's last row (4 pixels dark grey, 4 black), SCX 96.
    std::string ground;
    for (int x = 0; x < 160; ++x) ground += ((x + 96) & 7) < 4 ? '2' : '3';
    want.push_back({103, ground});
    // The window from WY 104 on, WX 7: its first line white, then the box's
    // top edge, rounded at the corners.
    want.push_back({104, std::string(160, '0')});
    want.push_back({105, std::string(2, '0') + std::string(156, '3') + std::string(2, '0')});
    // The second text line (window row 3, lines 128-134) in tile columns
    // 1-18 between the box's sides; the first page's longer line is gone.
    const std::string text = std::string("PAST THE MILL.") + std::string(4, ' ');
    for (int r = 0; r < 7; ++r) {
        std::string line = "03300000";  // the left side
        for (char letter : text) {
            std::string cell = "0" + GlyphRow(letter, r) + "00";
            for (char& ch : cell) ch = ch == '#' ? '3' : '0';
            line += cell;
        }
        line += "00000330";  // the right side
        want.push_back({128 + r, line});
    }
    for (const auto& [y, line] : want) EXPECT_EQ(DialogueLine(picture, y), line) << "line " << y;
}

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
