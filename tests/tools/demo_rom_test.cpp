// The demo cartridge in roms/: what a player does reaches the game (read
// back from its variables in a state file), and scripted runs still draw
// the pictures recorded in baselines/wenlo-demo.txt.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/bus.h"
#include "tests/support/rom_builder.h"
#include "tests/tools/run_support.h"
#include "tools/headless.h"
#include "tools/png_io.h"

namespace wenlo {
namespace {

const std::string kDemoRom = std::string(WENLO_SOURCE_DIR) + "/roms/wenlo-demo.gb";
const std::string kBaselines = std::string(WENLO_SOURCE_DIR) + "/tests/tools/baselines/wenlo-demo.txt";

// Variables of the demo (roms/wenlo-demo.s, "work RAM").
constexpr int32_t kPlayerX = 0xC103, kPlayerY = 0xC104, kPlayerAttr = 0xC105, kScrollFast = 0xC107,
                  kMapBank = 0xC109, kPaused = 0xC10A;
constexpr uint8_t kTileD = 0x10;  // tile number of the letter D

// Runs the demo with extra arguments and returns the machine its state file
// holds afterwards.
std::unique_ptr<Machine> RunDemo(std::vector<std::string> args) {
    const std::string state = test::MakeTempDir() + "/demo.sav";
    args.insert(args.end(), {"--state", state, kDemoRom});
    std::ostringstream out, err;
    if (tools::RunMain(args, out, err) != 0) throw std::runtime_error("demo run failed: " + err.str());
    return test::StateOf(state);
}

std::vector<std::string> Split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

TEST(DemoCartridge, ThePlayerMovesTheCreatureWithinTheScreen) {
    const struct {
        const char* press;
        int x, y;
        bool facesLeft;
    } cases[] = {
        {"", 72, 96, false},
        {"right:10:40", 102, 96, false},
        {"left:10:40", 42, 96, true},
        {"left:10:40 right:50:55", 47, 96, false},  // turns back
        {"up:10:40", 72, 66, false},
        {"down:10:40", 72, 126, false},
        {"right:0:200", 144, 96, false},  // stops at the right edge
        {"left:0:200", 0, 96, true},
        {"up:0:200", 72, 24, false},  // stays below the title
        {"down:0:200", 72, 128, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        std::vector<std::string> args = {"--frames", "200"};
        for (const std::string& p : Split(c.press)) args.insert(args.end(), {"--press", p});
        const auto m = RunDemo(args);
        EXPECT_EQ(ReadByte(*m, kPlayerX), c.x);
        EXPECT_EQ(ReadByte(*m, kPlayerY), c.y);
        EXPECT_EQ((ReadByte(*m, kPlayerAttr) & 0x20) != 0, c.facesLeft);
    }
}

TEST(DemoCartridge, ButtonsSwitchLevelPaletteAndScrolling) {
    const struct {
        const char* press;
        int bank;  // ROM bank of the level shown
        bool otherColours;
        bool paused;
    } cases[] = {
        {"", 2, false, false},
        {"a:20:21", 3, false, false},
        {"a:20:30", 3, false, false},  // held: one switch only
        {"a:20:21 a:40:41", 2, false, false},
        {"b:20:21", 2, true, false},
        {"start:20:21", 2, false, true},
        {"start:20:21 start:40:45", 2, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        std::vector<std::string> args = {"--frames", "100"};
        for (const std::string& p : Split(c.press)) args.insert(args.end(), {"--press", p});
        const auto m = RunDemo(args);
        EXPECT_EQ(ReadByte(*m, kMapBank), c.bank);
        EXPECT_EQ(m->RomBank, c.bank);
        // The title row of the map shows which level was copied from which
        // bank: "WENLO DEMO" (bank 2) or "DEMO WENLO" (bank 3).
        EXPECT_EQ(m->VideoRam[0x1800 + 32 + (c.bank == 2 ? 11 : 5)], kTileD);
        EXPECT_EQ((ReadByte(*m, kPlayerAttr) & 0x10) != 0, c.otherColours);
        EXPECT_EQ(ReadByte(*m, kPaused), c.paused ? 1 : 0);
    }
}

TEST(DemoCartridge, StartStopsTheLandscape) {
    const auto early = RunDemo({"--frames", "60", "--press", "start:20:21"});
    const auto late = RunDemo({"--frames", "120", "--press", "start:20:21"});
    const auto running = RunDemo({"--frames", "120"});
    EXPECT_EQ(ReadByte(*early, kScrollFast), ReadByte(*late, kScrollFast));
    EXPECT_NE(ReadByte(*running, kScrollFast), ReadByte(*late, kScrollFast));
}

// baselines/wenlo-demo.txt: one picture per line, "NAME HASH ARGUMENTS...",
// the hash being tools::PixelHash of the PNG that wenlo-run writes after
// running the demo with ARGUMENTS. With WENLO_UPDATE_BASELINES=1 the test
// writes the hashes it sees into the file instead of comparing.
TEST(DemoCartridge, ScriptedRunsDrawTheRecordedPictures) {
    std::ifstream in(kBaselines);
    ASSERT_TRUE(in) << "missing " << kBaselines;
    const bool update = std::getenv("WENLO_UPDATE_BASELINES") != nullptr;
    std::vector<std::string> lines;
    int pictures = 0;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> words = Split(line);
        if (words.empty() || words[0][0] == '#') {
            lines.push_back(line);
            continue;
        }
        ASSERT_GE(words.size(), 3u) << line;
        SCOPED_TRACE(words[0]);
        const std::string png = test::MakeTempDir() + "/" + words[0] + ".png";
        std::vector<std::string> args(words.begin() + 2, words.end());
        args.insert(args.end(), {"--png", png, kDemoRom});
        const auto run = test::RunBinary(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        tools::RgbImage image;
        std::string why;
        ASSERT_TRUE(tools::ReadPng(png, image, &why)) << why;
        const std::string hash = tools::PixelHash(image);
        if (update) {
            words[1] = hash;
            std::string rebuilt;
            for (const std::string& w : words) rebuilt += (rebuilt.empty() ? "" : " ") + w;
            lines.push_back(rebuilt);
        } else {
            EXPECT_EQ(hash, words[1]) << "the picture differs from the baseline; it is at " << png;
        }
        ++pictures;
    }
    EXPECT_GT(pictures, 0);
    if (update) {
        std::ofstream out(kBaselines, std::ios::trunc);
        for (const std::string& l : lines) out << l << "\n";
    }
}

}  // namespace
}  // namespace wenlo
