// IsStateFile: what the front end takes for a state file of its own before
// it writes over <RomName>.sav, and what it leaves alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "savestate/rle.h"
#include "savestate/state_file.h"
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

TEST(IsStateFileTest, OnlyAFileThatExpandsToAWholeStateIsOne) {
    const std::string dir = test::MakeTempDir();
    const auto m = test::MakeMachine(test::RomBuilder(4, 0x01, "PROBE"), "probe");
    m->regB = 0x5A;
    m->RamBanks[3][0x100] = 0x77;
    ASSERT_TRUE(WriteStateFile(*m, dir + "/state"));
    const Bytes state = ReadBytes(dir + "/state");
    // A state that expands one byte short or long: coded whole, so that only
    // its length is wrong.
    const auto coded = [&dir](Bytes plain) {
        WriteBytes(dir + "/plain", plain);
        CompressFile(dir + "/plain", dir + "/coded");
        fs::remove(dir + "/plain");
        return ReadBytes(dir + "/coded");
    };
    const Bytes plain = SerializeState(*m);
    Bytes longer = plain;
    longer.push_back(0);
    const Bytes shorter = coded(Bytes(plain.begin(), plain.end() - 1));
    const Bytes longerCoded = coded(longer);
    fs::remove(dir + "/coded");

    std::mt19937 rng(8192);
    Bytes battery(0x2000);  // a game's saved RAM, as another program keeps it
    for (uint8_t& b : battery) b = uint8_t(rng());

    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
        bool expected;
    };
    const auto bytes = [](Bytes b) { return [b](const std::string& p) { WriteBytes(p, b); }; };
    const Case cases[] = {
        {"a state file written by Save State", bytes(state), true},
        {"8 KiB of battery RAM", bytes(battery), false},
        {"8 KiB of blank battery RAM", bytes(Bytes(0x2000, 0x00)), false},
        {"8 KiB of erased battery RAM", bytes(Bytes(0x2000, 0xFF)), false},
        {"empty", bytes({}), false},
        {"the state file cut in half", bytes(Bytes(state.begin(), state.begin() + state.size() / 2)), false},
        {"the state file without its last byte", bytes(Bytes(state.begin(), state.end() - 1)), false},
        {"a state one byte short", bytes(shorter), false},
        {"a state one byte long", bytes(longerCoded), false},
        {"missing", [](const std::string&) {}, false},
        {"a folder", [](const std::string& p) { fs::create_directory(p); }, false},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/probe.sav";
        c.make(path);
        const std::set<std::string> before = FilesIn(dir);
        const Bytes content = fs::is_regular_file(path) ? ReadBytes(path) : Bytes{};
        EXPECT_EQ(IsStateFile(path), c.expected) << c.name;
        EXPECT_EQ(FilesIn(dir), before) << c.name << ": a file was made or removed";
        if (fs::is_regular_file(path)) {
            EXPECT_TRUE(ReadBytes(path) == content) << c.name << ": the file changed";
        }
        fs::remove_all(path);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace wenlo
