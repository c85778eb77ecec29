// The demo cartridge in roms/: what a player does reaches the game (read
// back from its variables in a state file), and scripted runs still draw
// the pictures recorded in baselines/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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
const std::string kBaselines = std::string(WENLO_SOURCE_DIR) + "/tests/tools/baselines";

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

// baselines/NAME/, one folder per picture: expected.png, the picture
// wenlo-run writes after running the demo (or the cartridge rom.txt names,
// from the source tree) for the frames in frames.txt with the arguments in
// args.txt. A picture that differs is written as actual.png
// beside expected.png (ignored by git) and both paths are named. With
// WENLO_UPDATE_BASELINES=1 the test writes each run's picture over
// expected.png instead of comparing; look at them before committing.
std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DemoCartridge, ScriptedRunsDrawTheRecordedPictures) {
    namespace fs = std::filesystem;
    const bool update = std::getenv("WENLO_UPDATE_BASELINES") != nullptr;
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(kBaselines))
        if (entry.is_directory()) folders.push_back(entry.path());
    std::sort(folders.begin(), folders.end());
    ASSERT_FALSE(folders.empty()) << "no baselines in " << kBaselines;

    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.filename().string());
        const fs::path expected = folder / "expected.png", actual = folder / "actual.png";
        const std::vector<std::string> frames = Split(FileText(folder / "frames.txt"));
        ASSERT_EQ(frames.size(), 1u) << "frames.txt in " << folder << " holds one number";
        std::vector<std::string> args = {"--frames", frames[0]};
        for (const std::string& a : Split(FileText(folder / "args.txt"))) args.push_back(a);
        const std::string png = test::MakeTempDir() + "/picture.png";
        const std::vector<std::string> rom = Split(FileText(folder / "rom.txt"));
        args.insert(args.end(),
                    {"--png", png, rom.empty() ? kDemoRom : std::string(WENLO_SOURCE_DIR) + "/" + rom[0]});
        const auto run = test::RunBinary(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        fs::remove(actual);
        if (update) {
            fs::copy_file(png, expected, fs::copy_options::overwrite_existing);
            continue;
        }
        tools::RgbImage got, want;
        std::string why;
        ASSERT_TRUE(tools::ReadPng(png, got, &why)) << why;
        ASSERT_TRUE(tools::ReadPng(expected.string(), want, &why)) << why;
        const bool same = got.width == want.width && got.height == want.height && got.rgb == want.rgb;
        if (!same) fs::copy_file(png, actual);
        EXPECT_TRUE(same) << "the picture differs from " << expected.string() << "; this run's picture is "
                          << actual.string();
    }
}

}  // namespace
}  // namespace wenlo
