#include "savestate/state_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/bus.h"
#include "savestate/file_io_internal.h"
#include "savestate/rle.h"
#include "tests/support/rom_builder.h"

namespace wenlo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> FilesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// A banked cartridge of eight banks whose switchable window shows the bank's
// number at 0x4000 and its complement at 0x7FFF.
test::RomBuilder BankedCartridge() {
    test::RomBuilder rom(8, 0x01, "STATES");
    for (int bank = 1; bank < 8; ++bank) {
        rom.PutBanked(bank, 0x4000, {uint8_t(bank)});
        rom.PutBanked(bank, 0x7FFF, {uint8_t(~bank)});
    }
    return rom;
}

// Every saved field of m set from rng (flag bytes 0 or 1, as the machine
// keeps them), the banking fields to values the cartridge can show.
void Randomise(Machine& m, std::mt19937& rng) {
    auto byte = [&] { return uint8_t(rng()); };
    for (uint8_t* f :
         {&m.IF,  &m.IE,  &m.regA, &m.regB, &m.regC, &m.regD, &m.regE, &m.regH, &m.regL, &m.P1,  &m.LY,
          &m.LYC, &m.DIV, &m.STAT, &m.SCX,  &m.SCY,  &m.TIMA, &m.TMA,  &m.BGP,  &m.OBP0, &m.OBP1})
        *f = byte();
    for (uint8_t* f : {&m.IME, &m.flagZ, &m.flagN, &m.flagH, &m.flagC, &m.BankMode, &m.MbcType})
        *f = uint8_t(rng() & 1);
    m.regPC = int32_t(rng());
    m.regSP = -int32_t(rng() % 100000);
    m.RamEnabled = int16_t(rng());
    m.RamBank = uint8_t(rng() % 4);
    m.RomBank = uint8_t(1 + rng() % 7);
    for (auto& slot : m.RamBanks) std::generate(slot.begin(), slot.end(), byte);
    std::generate(m.VideoRam.begin(), m.VideoRam.end(), byte);
    std::generate(m.Oam.begin(), m.Oam.end(), byte);
    std::generate(m.HighRam.begin(), m.HighRam.end(), byte);
    std::generate(m.SoundRegs.begin(), m.SoundRegs.end(), byte);
}

// The serializer's offsets are checked field by field below; with those
// right, equal states mean equal saved fields.
void ExpectSameSavedFields(const Machine& a, const Machine& b) {
    EXPECT_TRUE(SerializeState(a) == SerializeState(b)) << "the saved fields differ";
}

// Runs the Save State / Load State commands in a folder of their own, as the
// desktop program does after the open-file dialog moved into the cartridge's.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~CurrentDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

class StateFileTest : public ::testing::Test {
protected:
    std::string dir = test::MakeTempDir();
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::unique_ptr<Machine> m = test::MakeMachine(BankedCartridge(), "game");
    std::string Path(const std::string& name) const { return dir + "/" + name; }
};

TEST_F(StateFileTest, StateAfterResetBeginsWithTheBootRegisters) {
    const Bytes state = SerializeState(*m);
    ASSERT_EQ(state.size(), 139701u);
    const Bytes head = {0x00, 0x00, 0x01, 0x01, 0xB0, 0x00, 0x13, 0x00, 0xD8, 0x01,
                        0x4D, 0x00, 0x01, 0x00, 0x00, 0xFE, 0xFF, 0x00, 0x00};
    EXPECT_EQ(Bytes(state.begin(), state.begin() + 19), head);
}

TEST_F(StateFileTest, EachFieldLandsAtItsOffsetAndNowhereElse) {
    struct Case {
        const char* name;
        std::function<void(Machine&)> change;
        size_t offset;
        Bytes bytes;
    };
    const Case cases[] = {
        {"IF", [](Machine& m) { m.IF = 0x1F; }, 0, {0x1F}},
        {"IE", [](Machine& m) { m.IE = 0x05; }, 1, {0x05}},
        {"IME", [](Machine& m) { m.IME = 0; }, 2, {0x00}},
        {"regA", [](Machine& m) { m.regA = 0x9A; }, 3, {0x9A}},
        {"flagC alone", [](Machine& m) { m.flagZ = m.flagH = 0; }, 4, {0x10}},
        {"regL", [](Machine& m) { m.regL = 0x77; }, 10, {0x77}},
        {"regPC", [](Machine& m) { m.regPC = 0x12345678; }, 11, {0x78, 0x56, 0x34, 0x12}},
        {"negative regSP", [](Machine& m) { m.regSP = -2; }, 15, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"work RAM 0xC000", [](Machine& m) { WriteByte(m, 0xC000, 0x11); }, 19, {0x11}},
        {"work RAM 0xC001", [](Machine& m) { WriteByte(m, 0xC001, 0x22); }, 35, {0x22}},
        {"cartridge RAM bank 1 at 0xA000",
         [](Machine& m) {
             WriteByte(m, 0x0000, 0x0A);
             WriteByte(m, 0xA000, 0x33);
             m.RamEnabled = 0;  // keep only the byte itself different
         },
         20,
         {0x33}},
        {"last byte of slot 15", [](Machine& m) { m.RamBanks[15][0x1FFF] = 0x44; }, 131090, {0x44}},
        {"BankMode", [](Machine& m) { m.BankMode = 1; }, 131091, {0x01}},
        {"MbcType", [](Machine& m) { m.MbcType = 0; }, 131092, {0x00}},
        {"RamEnabled", [](Machine& m) { m.RamEnabled = -1; }, 131093, {0xFF, 0xFF}},
        {"RamBank", [](Machine& m) { m.RamBank = 3; }, 131095, {0x03}},
        {"RomBank", [](Machine& m) { m.RomBank = 6; }, 131096, {0x06}},
        {"VideoRam first", [](Machine& m) { m.VideoRam[0] = 0x55; }, 131097, {0x55}},
        {"VideoRam last", [](Machine& m) { m.VideoRam[0x1FFF] = 0x56; }, 139288, {0x56}},
        {"Oam first", [](Machine& m) { m.Oam[0] = 0x57; }, 139289, {0x57}},
        {"Oam last", [](Machine& m) { m.Oam[159] = 0x58; }, 139448, {0x58}},
        {"HighRam first", [](Machine& m) { m.HighRam[0] = 0x59; }, 139449, {0x59}},
        {"HighRam last", [](Machine& m) { m.HighRam[191] = 0x5A; }, 139640, {0x5A}},
        {"SoundRegs first", [](Machine& m) { m.SoundRegs[0] = 0x5B; }, 139641, {0x5B}},
        {"SoundRegs last", [](Machine& m) { m.SoundRegs[47] = 0x5C; }, 139688, {0x5C}},
        {"P1", [](Machine& m) { m.P1 = 0xEE; }, 139689, {0xEE}},
        {"LY", [](Machine& m) { m.LY = 150; }, 139690, {150}},
        {"LYC", [](Machine& m) { m.LYC = 0x40; }, 139691, {0x40}},
        {"DIV", [](Machine& m) { m.DIV = 0x41; }, 139692, {0x41}},
        {"STAT", [](Machine& m) { m.STAT = 0x01; }, 139693, {0x01}},
        {"SCX", [](Machine& m) { m.SCX = 0x42; }, 139694, {0x42}},
        {"SCY", [](Machine& m) { m.SCY = 0x43; }, 139695, {0x43}},
        {"TIMA", [](Machine& m) { m.TIMA = 0x44; }, 139696, {0x44}},
        {"TMA", [](Machine& m) { m.TMA = 0x45; }, 139697, {0x45}},
        {"BGP", [](Machine& m) { m.BGP = 0xE4; }, 139698, {0xE4}},
        {"OBP0", [](Machine& m) { m.OBP0 = 0xD2; }, 139699, {0xD2}},
        {"OBP1", [](Machine& m) { m.OBP1 = 0xC3; }, 139700, {0xC3}},
    };
    const Bytes baseline = SerializeState(*m);
    for (const Case& c : cases) {
        auto changed = std::make_unique<Machine>(*m);
        c.change(*changed);
        const Bytes state = SerializeState(*changed);
        ASSERT_EQ(state.size(), baseline.size());
        Bytes expected = baseline;
        std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + std::ptrdiff_t(c.offset));
        EXPECT_EQ(Bytes(state.begin() + std::ptrdiff_t(c.offset),
                        state.begin() + std::ptrdiff_t(c.offset + c.bytes.size())),
                  c.bytes)
            << c.name;
        EXPECT_TRUE(state == expected) << c.name << ": other bytes changed as well";
    }
}

TEST_F(StateFileTest, StoredFlagsSplitIntoSingleBits) {
    struct Case {
        uint8_t f;
        uint8_t z, n, h, c;
    };
    const Case cases[] = {
        {0xF0, 1, 1, 1, 1}, {0x40, 0, 1, 0, 0}, {0x00, 0, 0, 0, 0},
        {0x80, 1, 0, 0, 0}, {0x10, 0, 0, 0, 1}, {0x2F, 0, 0, 1, 0},  // the low nibble means nothing
    };
    for (const Case& c : cases) {
        Bytes state = SerializeState(*m);
        state[4] = c.f;
        ASSERT_TRUE(DeserializeState(*m, state));
        EXPECT_EQ(m->flagZ, c.z) << std::hex << int(c.f);
        EXPECT_EQ(m->flagN, c.n) << std::hex << int(c.f);
        EXPECT_EQ(m->flagH, c.h) << std::hex << int(c.f);
        EXPECT_EQ(m->flagC, c.c) << std::hex << int(c.f);
    }
}

TEST_F(StateFileTest, RandomMachineSurvivesTheRoundTripThroughTheFile) {
    std::mt19937 rng(139701);
    for (int round = 0; round < 3; ++round) {
        Randomise(*m, rng);
        ASSERT_TRUE(WriteStateFile(*m, Path("game.sav")));
        auto loaded = test::MakeMachine(BankedCartridge(), "game");
        std::string error;
        ASSERT_TRUE(ReadStateFile(*loaded, Path("game.sav"), &error)) << error;
        ExpectSameSavedFields(*m, *loaded);
        // The switchable window shows the restored bank of the cartridge.
        EXPECT_EQ(ReadByte(*loaded, 0x4000), m->RomBank);
        EXPECT_EQ(ReadByte(*loaded, 0x7FFF), uint8_t(~m->RomBank));
    }
}

TEST_F(StateFileTest, TheFileIsTheCodedStateAndNothingElse) {
    std::mt19937 rng(5);
    Randomise(*m, rng);
    ASSERT_TRUE(WriteStateFile(*m, Path("game.sav")));
    WriteBytes(Path("plain"), SerializeState(*m));
    CompressFile(Path("plain"), Path("coded"));
    EXPECT_TRUE(ReadBytes(Path("game.sav")) == ReadBytes(Path("coded")));
}

TEST_F(StateFileTest, LoadShowsTheSavedBankAgain) {
    WriteByte(*m, 0x2000, 3);
    ASSERT_EQ(ReadByte(*m, 0x4000), 3);
    ASSERT_TRUE(WriteStateFile(*m, Path("game.sav")));
    WriteByte(*m, 0x2000, 5);
    ASSERT_EQ(ReadByte(*m, 0x4000), 5);
    ASSERT_TRUE(ReadStateFile(*m, Path("game.sav")));
    EXPECT_EQ(m->RomBank, 3);
    EXPECT_EQ(ReadByte(*m, 0x4000), 3);
    EXPECT_EQ(ReadByte(*m, 0x7FFF), uint8_t(~3));
}

TEST_F(StateFileTest, LoadLeavesUnsavedFieldsAlone) {
    ASSERT_TRUE(WriteStateFile(*m, Path("game.sav")));
    m->LCDC = 0x03;
    m->DisplayMode = 2;
    m->Paused = true;
    m->Running = false;
    m->DMA = 0xC1;
    m->FrameCount = 77;
    m->JoypadButtons = 0x05;
    m->JoypadDirections = 0x0A;
    m->KeyState[0x58] = 1;
    m->CurrentOpcode = 0xCB;
    m->CurrentCBOpcode = 0x37;
    m->RomWindow[0x1234] = 0x99;
    m->regA = 0x42;  // saved: must come back
    ASSERT_TRUE(ReadStateFile(*m, Path("game.sav")));
    EXPECT_EQ(m->regA, 0x01);
    EXPECT_EQ(m->LCDC, 0x03);
    EXPECT_EQ(m->DisplayMode, 2);
    EXPECT_TRUE(m->Paused);
    EXPECT_FALSE(m->Running);
    EXPECT_EQ(m->DMA, 0xC1);
    EXPECT_EQ(m->FrameCount, 77);
    EXPECT_EQ(m->JoypadButtons, 0x05);
    EXPECT_EQ(m->JoypadDirections, 0x0A);
    EXPECT_EQ(m->KeyState[0x58], 1);
    EXPECT_EQ(m->CurrentOpcode, 0xCB);
    EXPECT_EQ(m->CurrentCBOpcode, 0x37);
    EXPECT_EQ(m->RomWindow[0x1234], 0x99);  // bank 0 half: not part of the state
    EXPECT_EQ(m->RomName, "game");
    EXPECT_EQ(m->CartType, 0x01);
}

TEST_F(StateFileTest, SaveAndLoadCommandsLeaveOnlyTheStateFile) {
    CurrentDirectory cd(dir);
    std::string error;
    ASSERT_TRUE(SaveState(*m, &error)) << error;
    EXPECT_EQ(FilesIn(dir), std::set<std::string>{"game.sav"});
    m->regB = 0x66;
    ASSERT_TRUE(LoadState(*m, &error)) << error;
    EXPECT_EQ(m->regB, 0x00);
    EXPECT_EQ(FilesIn(dir), std::set<std::string>{"game.sav"});
}

TEST_F(StateFileTest, CommandsGivenAFolderUseItNotTheCurrentOne) {
    const std::string elsewhere = test::MakeTempDir();
    CurrentDirectory cd(elsewhere);
    EXPECT_EQ(StatePath(*m, dir), Path("game.sav"));
    EXPECT_EQ(StatePath(*m, ""), "game.sav");
    std::string error;
    ASSERT_TRUE(SaveState(*m, dir, &error)) << error;
    m->regB = 0x66;
    ASSERT_TRUE(LoadState(*m, dir, &error)) << error;
    EXPECT_EQ(m->regB, 0x00);
    EXPECT_EQ(FilesIn(dir), std::set<std::string>{"game.sav"});
    EXPECT_TRUE(FilesIn(elsewhere).empty());
}

TEST_F(StateFileTest, TemporariesLieBesideTheStateFileNotInTheCurrentFolder) {
    const std::string elsewhere = test::MakeTempDir();
    CurrentDirectory cd(elsewhere);
    fs::create_directory(Path("states"));
    ASSERT_TRUE(WriteStateFile(*m, Path("states/slot.sav")));
    ASSERT_TRUE(ReadStateFile(*m, Path("states/slot.sav")));
    EXPECT_EQ(FilesIn(Path("states")), std::set<std::string>{"slot.sav"});
    EXPECT_TRUE(FilesIn(elsewhere).empty());
}

TEST_F(StateFileTest, StateFilesNamedLikeTheTemporariesSurvive) {
    // "gb.tmp" is the load's temporary and "game.tmp" the save's; a state
    // stored under those names must not be deleted as one.
    for (const char* name : {"gb.tmp", "game.tmp"}) {
        m->regC = 0x21;
        ASSERT_TRUE(WriteStateFile(*m, Path(name))) << name;
        m->regC = 0x00;
        std::string error;
        ASSERT_TRUE(ReadStateFile(*m, Path(name), &error)) << name << ": " << error;
        EXPECT_EQ(m->regC, 0x21) << name;
        EXPECT_EQ(FilesIn(dir), std::set<std::string>{name});
        fs::remove(Path(name));
    }
}

TEST_F(StateFileTest, RefusedFilesChangeNothing) {
    WriteBytes(Path("plain"), SerializeState(*m));
    CompressFile(Path("plain"), Path("good.sav"));
    const Bytes good = ReadBytes(Path("good.sav"));
    fs::remove(Path("plain"));

    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;  // creates the file at path (or not)
    };
    const auto coded = [&](Bytes plain) {
        return [plain, this](const std::string& path) {
            WriteBytes(Path("plain"), plain);
            CompressFile(Path("plain"), path);
            fs::remove(Path("plain"));
        };
    };
    Bytes state = SerializeState(*m);
    Bytes shortState(state.begin(), state.end() - 1);
    Bytes longState = state;
    longState.push_back(0);
    const Case cases[] = {
        {"missing", [](const std::string&) {}},
        {"empty", [](const std::string& p) { WriteBytes(p, {}); }},
        {"a folder", [](const std::string& p) { fs::create_directory(p); }},
        {"one byte short", coded(shortState)},
        {"one byte long", coded(longState)},
        {"twice as long", coded([&] {
             Bytes twice = state;
             twice.insert(twice.end(), state.begin(), state.end());
             return twice;
         }())},
        {"ends in a run token",
         [&](const std::string& p) {
             Bytes damaged = good;
             damaged.insert(damaged.end(), {0xCF, 0x09});
             WriteBytes(p, damaged);
         }},
        {"decodes to a quarter gigabyte",
         [](const std::string& p) {
             Bytes bomb;
             for (int i = 0; i < 1000000; ++i) bomb.insert(bomb.end(), {0xCF, 0xFF, 0x00});
             WriteBytes(p, bomb);
         }},
        {"noise",
         [](const std::string& p) {
             std::mt19937 rng(9);
             Bytes noise(50000);
             for (uint8_t& b : noise) b = uint8_t(rng());
             WriteBytes(p, noise);
         }},
    };

    std::mt19937 rng(77);
    Randomise(*m, rng);
    const Bytes before = SerializeState(*m);
    const auto window = m->RomWindow;
    for (const Case& c : cases) {
        const std::string path = Path("bad.sav");
        c.make(path);
        std::string error;
        EXPECT_FALSE(ReadStateFile(*m, path, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_TRUE(SerializeState(*m) == before) << c.name << ": the machine changed";
        EXPECT_TRUE(m->RomWindow == window) << c.name << ": the ROM window changed";
        EXPECT_FALSE(fs::exists(Path("gb.tmp"))) << c.name;
        fs::remove_all(path);
    }
}

TEST_F(StateFileTest, FailedSaveKeepsThePreviousFileAndLeavesNoTemporary) {
    ASSERT_TRUE(WriteStateFile(*m, Path("game.sav")));
    const Bytes old = ReadBytes(Path("game.sav"));

    std::mt19937 rng(3);
    Randomise(*m, rng);
    WriteBytes(Path("plain"), SerializeState(*m));
    CompressFile(Path("plain"), Path("coded"));
    const int64_t codedSize = int64_t(fs::file_size(Path("coded")));
    fs::remove(Path("plain"));
    fs::remove(Path("coded"));
    const int64_t total = int64_t(kStateSize) + codedSize;  // the temporary, then the coded file

    // Every block of both files, and the bytes either side of their ends.
    std::vector<WriteFault> faults;
    for (int64_t n = 0; n < total; n += 4093) faults.push_back({n});
    for (int64_t n : {int64_t(1), int64_t(4096), int64_t(kStateSize) - 1, int64_t(kStateSize),
                      int64_t(kStateSize) + 1, total - 1})
        faults.push_back({n});
    faults.push_back({-1, true});  // everything written, the rename refused

    for (WriteFault fault : faults) {
        const int64_t budget = fault.bytesLeft;
        std::string error;
        EXPECT_FALSE(WriteStateFile(*m, Path("game.sav"), &error, &fault)) << budget;
        EXPECT_FALSE(error.empty()) << budget;
        EXPECT_TRUE(ReadBytes(Path("game.sav")) == old) << budget << ": the old file was touched";
        EXPECT_EQ(FilesIn(dir), std::set<std::string>{"game.sav"}) << budget;
    }

    WriteFault enough{total};
    ASSERT_TRUE(WriteStateFile(*m, Path("game.sav"), nullptr, &enough));
    EXPECT_EQ(enough.bytesLeft, 0);
    auto loaded = test::MakeMachine(BankedCartridge(), "game");
    ASSERT_TRUE(ReadStateFile(*loaded, Path("game.sav")));
    ExpectSameSavedFields(*m, *loaded);
}

TEST_F(StateFileTest, FailedLoadTemporaryChangesNothingAndIsRemoved) {
    ASSERT_TRUE(WriteStateFile(*m, Path("game.sav")));
    m->regD = 0x5D;
    for (int64_t budget : {int64_t(0), int64_t(4096), int64_t(kStateSize) - 1}) {
        WriteFault fault{budget};
        std::string error;
        EXPECT_FALSE(ReadStateFile(*m, Path("game.sav"), &error, &fault)) << budget;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(m->regD, 0x5D) << budget;
        EXPECT_EQ(FilesIn(dir), std::set<std::string>{"game.sav"}) << budget;
    }
}

TEST_F(StateFileTest, SaveThatCannotReachItsTargetFailsCleanly) {
    fs::create_directory(Path("folder.sav"));
    fs::create_directory(Path("game.tmp"));  // the temporary's name taken by a folder
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"missing folder", Path("no/such/folder/game.sav")},
        {"target is a folder", Path("folder.sav")},
        {"temporary is a folder", Path("game.sav")},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteStateFile(*m, c.path, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"folder.sav", "game.tmp"})) << c.name;
        EXPECT_TRUE(fs::is_empty(Path("folder.sav"))) << c.name;
    }
}

}  // namespace
}  // namespace wenlo
