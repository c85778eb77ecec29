// The headless runner: its command line, exit codes and messages, pictures,
// state files and scripted keys.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "input/keys.h"
#include "tests/support/rom_builder.h"
#include "tests/tools/run_support.h"
#include "tools/headless.h"
#include "tools/png_io.h"
#include "tools/run_options.h"

namespace wenlo {
namespace {

using tools::KeyPress;
using tools::ParseRunOptions;
using tools::RunOptions;

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// ---- command line ----------------------------------------------------------

struct GoodLine {
    const char* line;
    int64_t frames;
    int mode;
    const char* png;
    const char* state;
    const char* loadState;
    bool bench;
    const char* rom;
    size_t presses;
};

TEST(WenloRunArgs, AcceptsEveryOptionInAnyOrder) {
    const GoodLine cases[] = {
        {"game.gb", 600, 0, "", "", "", false, "game.gb", 0},
        {"--frames 0 game.gb", 0, 0, "", "", "", false, "game.gb", 0},
        {"--frames 20000 --bench x.gb", 20000, 0, "", "", "", true, "x.gb", 0},
        {"game.gb --mode 2 --frames 7", 7, 2, "", "", "", false, "game.gb", 0},
        {"--mode 1 --png p.png --state s.sav --load-state l.sav g.gb", 600, 1, "p.png", "s.sav", "l.sav",
         false, "g.gb", 0},
        {"--press a:0:10 --press start:5:5 --press down:3:1000 g.gb", 600, 0, "", "", "", false, "g.gb", 3},
        {"--frames 5 --frames 9 g.gb", 9, 0, "", "", "", false, "g.gb", 0},  // the last one counts
        {"--frames 007 g.gb", 7, 0, "", "", "", false, "g.gb", 0},
    };
    for (const GoodLine& c : cases) {
        SCOPED_TRACE(c.line);
        const auto r = ParseRunOptions(Words(c.line));
        ASSERT_TRUE(r.options.has_value()) << r.error;
        const RunOptions& o = *r.options;
        EXPECT_EQ(o.frames, c.frames);
        EXPECT_EQ(o.mode, c.mode);
        EXPECT_EQ(o.pngPath, c.png);
        EXPECT_EQ(o.statePath, c.state);
        EXPECT_EQ(o.loadStatePath, c.loadState);
        EXPECT_EQ(o.bench, c.bench);
        EXPECT_EQ(o.romPath, c.rom);
        EXPECT_EQ(o.presses.size(), c.presses);
    }
}

TEST(WenloRunArgs, PressNamesEveryKeyAndKeepsItsFrames) {
    const struct {
        const char* name;
        uint8_t code;
    } keysByName[] = {{"right", keys::Right},   {"left", keys::Left},  {"up", keys::Up},
                      {"down", keys::Down},     {"a", keys::A},        {"b", keys::B},
                      {"select", keys::Select}, {"start", keys::Start}};
    for (const auto& k : keysByName) {
        SCOPED_TRACE(k.name);
        const auto r = ParseRunOptions({"--press", std::string(k.name) + ":12:345", "g.gb"});
        ASSERT_TRUE(r.options.has_value()) << r.error;
        ASSERT_EQ(r.options->presses.size(), 1u);
        EXPECT_EQ(r.options->presses[0].keyCode, k.code);
        EXPECT_EQ(r.options->presses[0].from, 12);
        EXPECT_EQ(r.options->presses[0].to, 345);
    }
}

TEST(WenloRunArgs, RefusesBadCommandLines) {
    const char* bad[] = {
        "",                                    // no ROM
        "--frames 10",                         // no ROM
        "a.gb b.gb",                           // two ROMs
        "--fast g.gb",                         // unknown option
        "-f 10 g.gb",                          // unknown short option
        "g.gb --frames",                       // missing value
        "--frames -1 g.gb",                    // negative
        "--frames +5 g.gb",                    // sign
        "--frames ten g.gb",                   // not a number
        "--frames 1e3 g.gb",                   // not a plain number
        "--frames 0x10 g.gb",                  // not decimal
        "--frames 99999999999999999999 g.gb",  // does not fit
        "--mode 3 g.gb",                       // mode outside 0..2
        "--mode -1 g.gb",
        "--mode one g.gb",
        "--press g.gb",          // value taken, then no ROM
        "--press a g.gb",        // no frames
        "--press a:1 g.gb",      // one frame only
        "--press a:1:2:3 g.gb",  // too many parts
        "--press x:1:2 g.gb",    // host key name, not a Game Boy key
        "--press A:1:2 g.gb",    // names are lower case
        "--press enter:1:2 g.gb",
        "--press a:5:4 g.gb",   // FROM after TO
        "--press a:-1:4 g.gb",  // negative
        "--press a::4 g.gb",    // empty FROM
        "--press a:1: g.gb",    // empty TO
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        const auto r = ParseRunOptions(Words(line));
        EXPECT_FALSE(r.options.has_value());
        EXPECT_FALSE(r.error.empty());
    }
    // An empty string as an argument cannot be tokenised above.
    EXPECT_FALSE(ParseRunOptions({"--png", "", "g.gb"}).options.has_value());
    EXPECT_FALSE(ParseRunOptions({""}).options.has_value());
}

TEST(WenloRunArgs, BadLinesPrintUsageAndExitTwo) {
    for (const char* line : {"", "--mode 5 g.gb", "--press up:9:2 g.gb", "--what g.gb"}) {
        SCOPED_TRACE(line);
        std::ostringstream out, err;
        EXPECT_EQ(tools::RunMain(Words(line), out, err), tools::kExitUsage);
        EXPECT_NE(err.str().find("usage: wenlo-run"), std::string::npos);
        EXPECT_TRUE(out.str().empty());
    }
}

TEST(WenloRunArgs, HelpAndVersionGoToStandardOutputAndExitZero) {
    const struct {
        const char* line;
        const char* starts;  // what standard output begins with
    } cases[] = {
        {"--help", "usage: wenlo-run"},
        {"--version", "wenlo-run " WENLO_VERSION "\n"},
        {"--frames 9 --help g.gb", "usage: wenlo-run"},  // asked for anywhere
        {"--bogus --help", "usage: wenlo-run"},          // even beside a fault
        {"--version --help", "usage: wenlo-run"},        // help first
        {"--frames 5 --version", "wenlo-run "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::ostringstream out, err;
        EXPECT_EQ(tools::RunMain(Words(c.line), out, err), tools::kExitOk);
        EXPECT_EQ(out.str().rfind(c.starts, 0), 0u) << out.str();
        EXPECT_TRUE(err.str().empty());
    }
    // The usage lists every option; the version line is all --version prints.
    std::ostringstream out, err;
    tools::RunMain({"--help"}, out, err);
    for (const char* option : {"--frames", "--mode", "--png", "--state", "--load-state", "--press", "--bench",
                               "--report", "--version"})
        EXPECT_NE(out.str().find(option), std::string::npos) << option;
    // As another option's value it is that value, and refused as one.
    EXPECT_EQ(ParseRunOptions(Words("--png --help g.gb")).info, tools::InfoRequest::None);
    EXPECT_EQ(ParseRunOptions(Words("--png --help g.gb")).options->pngPath, "--help");
    EXPECT_FALSE(ParseRunOptions(Words("--frames --version g.gb")).options.has_value());
    EXPECT_TRUE(ParseRunOptions(Words("--report g.gb")).options->report);
    EXPECT_FALSE(ParseRunOptions(Words("g.gb")).options->report);
}

// ---- the binary: exit codes and messages -----------------------------------

TEST(WenloRunBinary, CartridgesThatDoNotLoadFailWithTheLoadMessage) {
    const std::string dir = test::MakeTempDir();
    const std::string shortRom = dir + "/short.gb";
    std::ofstream(shortRom, std::ios::binary) << std::string(0x100, '\0');  // no complete header
    const std::string empty = dir + "/empty.gb";
    std::ofstream(empty, std::ios::binary).flush();
    for (const std::string& rom : {dir + "/missing.gb", shortRom, empty, dir}) {
        SCOPED_TRACE(rom);
        const auto o = test::RunBinary({"--frames", "1", rom});
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_EQ(o.err, "Failed to Load ROM.\n");
    }
}

TEST(WenloRunBinary, HelpAndVersionExitZero) {
    const auto help = test::RunBinary({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, tools::UsageText());
    EXPECT_TRUE(help.err.empty());
    const auto version = test::RunBinary({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "wenlo-run " WENLO_VERSION "\n");
}

TEST(WenloRunBinary, BadArgumentsGiveUsageAndGoodOnesSucceed) {
    const auto bad = test::RunBinary({"--mode", "9", "x.gb"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("usage: wenlo-run"), std::string::npos);

    const std::string rom = test::RomBuilder(2).Entry({0x18, 0xFE}).WriteTemp("loop");  // jr -2
    const auto good = test::RunBinary({"--frames", "30", "--bench", rom});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_TRUE(good.err.empty());
    EXPECT_TRUE(
        std::regex_match(good.out, std::regex("frames=30 seconds=[0-9]+\\.[0-9]{3} fps=[0-9]+\\.[0-9] "
                                              "speed=[0-9]+\\.[0-9]{2}\n")))
        << good.out;
}

// ---- pictures ---------------------------------------------------------------

// A cartridge that fills the background with tile 1 (a stripe pattern) so
// the picture holds more than the back colour.
test::RomBuilder StripeCartridge() {
    test::RomBuilder rom(2, 0x00, "STRIPES");
    rom.Entry({
        0x21, 0x10, 0x80,  // ld hl,0x8010      tile 1
        0x3E, 0xF0,        // ld a,0xF0
        0x22,              // ld (hl+),a        low plane
        0x22,              // ld (hl+),a        high plane: colour 3 left, 0 right
        0x7D,              // ld a,l
        0xFE, 0x20,        // cp 0x20
        0x20, 0xF6,        // jr nz,-10         (back to ld a,0xF0)
        0x21, 0x00, 0x98,  // ld hl,0x9800
        0x3E, 0x01,        // ld a,1
        0x22,              // ld (hl+),a
        0x7C,              // ld a,h
        0xFE, 0x9C,        // cp 0x9C
        0x20, 0xF7,        // jr nz,-9          (back to ld a,1)
        0x18, 0xFE,        // jr -2
    });
    return rom;
}

TEST(WenloRunPicture, PngHasTheSizeOfTheModeAndOnlyScreenShades) {
    const std::string rom = StripeCartridge().WriteTemp("stripes");
    const struct {
        const char* mode;
        int width, height;
    } modes[] = {{"0", 160, 144}, {"1", 320, 288}, {"2", 320, 288}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.mode);
        const std::string png = test::MakeTempDir() + "/shot.png";
        std::ostringstream out, err;
        ASSERT_EQ(tools::RunMain({"--frames", "4", "--mode", mode.mode, "--png", png, rom}, out, err), 0)
            << err.str();
        tools::RgbImage image;
        std::string why;
        ASSERT_TRUE(tools::ReadPng(png, image, &why)) << why;
        EXPECT_EQ(image.width, mode.width);
        EXPECT_EQ(image.height, mode.height);
        // The stripes: the left half of every tile black, the right half white.
        const auto pixel = [&](int x, int y) {
            const size_t i = (size_t(y) * size_t(image.width) + size_t(x)) * 3;
            return Color(image.rgb[i] | image.rgb[i + 1] << 8 | image.rgb[i + 2] << 16);
        };
        const int scale = mode.width / 160;
        EXPECT_EQ(pixel(0, 0), ShadeColors[3]);
        EXPECT_EQ(pixel(4 * scale, 0), ShadeColors[0]);
        EXPECT_EQ(pixel(159 * scale, 143 * scale), ShadeColors[0]);
        EXPECT_EQ(pixel(152 * scale, 143 * scale), ShadeColors[3]);
    }
}

TEST(WenloRunPicture, UnwritablePictureIsAFailure) {
    const std::string rom = StripeCartridge().WriteTemp("stripes");
    std::ostringstream out, err;
    EXPECT_EQ(
        tools::RunMain({"--frames", "1", "--png", test::MakeTempDir() + "/no/such/dir/p.png", rom}, out, err),
        tools::kExitFailure);
    EXPECT_NE(err.str().find("cannot write picture"), std::string::npos);
}

// ---- state files ------------------------------------------------------------

TEST(WenloRunState, SaveThenLoadContinuesExactlyWhereTheRunStopped) {
    // The benchmark cartridge keeps interrupts, DMA, banking-free RAM and
    // video RAM busy: a state resumed after 40 frames and run 25 more must
    // equal a straight run of 65.
    const std::string rom = test::BenchmarkCartridge(10).WriteTemp("bench");
    const std::string dir = test::MakeTempDir();
    std::ostringstream out, err;
    ASSERT_EQ(tools::RunMain({"--frames", "40", "--state", dir + "/a.sav", rom}, out, err), 0) << err.str();
    ASSERT_EQ(
        tools::RunMain({"--load-state", dir + "/a.sav", "--frames", "25", "--state", dir + "/b.sav", rom},
                       out, err),
        0)
        << err.str();
    ASSERT_EQ(tools::RunMain({"--frames", "65", "--state", dir + "/c.sav", rom}, out, err), 0) << err.str();

    const auto at40 = test::StateOf(dir + "/a.sav");
    const auto resumed = test::StateOf(dir + "/b.sav");
    const auto straight = test::StateOf(dir + "/c.sav");
    EXPECT_EQ(SerializeState(*resumed), SerializeState(*straight));
    EXPECT_NE(SerializeState(*at40), SerializeState(*straight));  // the 25 frames did run
}

TEST(WenloRunState, StateFilesThatCannotBeReadOrWrittenFail) {
    const std::string rom = StripeCartridge().WriteTemp("stripes");
    const std::string dir = test::MakeTempDir();
    const std::string damaged = dir + "/damaged.sav";
    std::ofstream(damaged, std::ios::binary) << "not a state";
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--load-state", dir + "/missing.sav", rom}, "cannot load state file"},
        {{"--load-state", damaged, rom}, "cannot load state file"},
        {{"--state", dir + "/no/such/dir/s.sav", rom}, "cannot write state file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        std::vector<std::string> args = {"--frames", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(tools::RunMain(args, out, err), tools::kExitFailure);
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
}

// ---- scripted keys ----------------------------------------------------------

TEST(WenloRunPress, KeysAreHeldFromFromUpToNotIncludingTo) {
    auto m = std::make_unique<Machine>();
    const std::vector<KeyPress> presses = {
        {keys::A, 2, 5},
        {keys::A, 4, 8},     // overlapping presses of one key join up
        {keys::Left, 3, 3},  // empty: never held
        {keys::Start, 0, 1},
    };
    const struct {
        int64_t frame;
        bool a, left, start;
    } frames[] = {
        {0, false, false, true}, {1, false, false, false}, {2, true, false, false},  {4, true, false, false},
        {5, true, false, false}, {7, true, false, false},  {8, false, false, false}, {3, true, false, false},
    };
    for (const auto& f : frames) {
        SCOPED_TRACE(f.frame);
        tools::ApplyPresses(*m, presses, f.frame);
        EXPECT_EQ(m->KeyState[keys::A], f.a ? 1 : 0);
        EXPECT_EQ(m->KeyState[keys::Left], f.left ? 1 : 0);
        EXPECT_EQ(m->KeyState[keys::Start], f.start ? 1 : 0);
    }
}

// Copies the joypad into work RAM over and over: directions to 0xC000,
// buttons to 0xC001, as the game would read them.
test::RomBuilder JoypadEchoCartridge() {
    test::RomBuilder rom(2, 0x00, "JOYPAD");
    rom.Entry({
        0x3E, 0x20,        // ld a,0x20        select the directions
        0xE0, 0x00,        // ldh (P1),a
        0xF0, 0x00,        // ldh a,(P1)
        0xEA, 0x00, 0xC0,  // ld (0xC000),a
        0x3E, 0x10,        // ld a,0x10        select the buttons
        0xE0, 0x00,        // ldh (P1),a
        0xF0, 0x00,        // ldh a,(P1)
        0xEA, 0x01, 0xC0,  // ld (0xC001),a
        0x18, 0xEC,        // jr -20           (back to the start)
    });
    return rom;
}

TEST(WenloRunPress, TheGameReadsTheScriptedKeys) {
    const std::string rom = JoypadEchoCartridge().WriteTemp("joypad");
    const struct {
        const char* press;
        uint8_t directions;  // what the game last read at 0xFF00
        uint8_t buttons;
    } cases[] = {
        {"right:0:10", 0xDE, 0xEF},  {"left:2:10", 0xDD, 0xEF},
        {"up:0:10", 0xDB, 0xEF},     {"down:0:10", 0xD7, 0xEF},
        {"a:0:10", 0xDF, 0xEE},      {"b:0:10", 0xDF, 0xED},
        {"select:0:10", 0xDF, 0xEB}, {"start:0:10", 0xDF, 0xE7},
        {"a:0:3", 0xDF, 0xEF},     // released before the run ends
        {"a:5:10", 0xDF, 0xEF},    // not yet pressed when the run ends
        {"down:2:3", 0xDF, 0xEF},  // held one frame, in the middle
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        const std::string state = test::MakeTempDir() + "/joypad.sav";
        std::ostringstream out, err;
        ASSERT_EQ(tools::RunMain({"--frames", "5", "--press", c.press, "--state", state, rom}, out, err), 0)
            << err.str();
        const auto m = test::StateOf(state);
        EXPECT_EQ(ReadByte(*m, 0xC000), c.directions);
        EXPECT_EQ(ReadByte(*m, 0xC001), c.buttons);
    }
}

// ---- the compatibility report --------------------------------------------

TEST(WenloRunReport, ReportIsOffUnlessAskedFor) {
    const struct {
        const char* line;
        bool report;
    } cases[] = {{"g.gb", false}, {"--report g.gb", true}, {"g.gb --bench --report", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto r = ParseRunOptions(Words(c.line));
        ASSERT_TRUE(r.options.has_value()) << r.error;
        EXPECT_EQ(r.options->report, c.report);
    }
}

TEST(WenloRunReport, LinesAfterTheRunAndTheLastLine) {
    const std::string demo = std::string(WENLO_SOURCE_DIR) + "/roms/wenlo-demo.gb";
    // ld a,0x04; ldh (IE),a; ld a,0xB1; ldh (LCDC),a; jr -2: the timer
    // interrupt and the window layer.
    const std::string timer = test::RomBuilder(2)
                                  .Entry({0x3E, 0x04, 0xE0, 0xFF, 0x3E, 0xB1, 0xE0, 0x40, 0x18, 0xFE})
                                  .WriteTemp("timer");
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--frames", "3", "--report", timer},
         "timer-interrupt 1 0 the timer interrupt is enabled (IE bit 2); there is no timer\n"
         "window-layer 1 0 LCDC bit 5 set: the window layer is not drawn\n"
         "compat: 2 differences used: timer-interrupt, window-layer\n"},
        {{"--frames", "3", timer}, ""},
        // The demo, played: it uses nothing this machine does differently.
        {{"--report", "--press", "right:10:100", "--press", "a:50:60", "--press", "start:200:230", "--press",
          "down:300:400", demo},
         "compat: nothing this machine does differently was used\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const auto o = test::RunBinary(c.args);
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(o.out, c.out);
    }

    const auto bad = test::RunBinary({"--report", test::MakeTempDir() + "/missing.gb"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "Failed to Load ROM.\n");
    EXPECT_EQ(bad.out, "");
}

}  // namespace
}  // namespace wenlo
