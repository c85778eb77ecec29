#include "core/cartridge.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "core/bus.h"
#include "core/machine.h"
#include "tests/support/rom_builder.h"

namespace wenlo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// A file of `size` bytes, every byte telling its offset, with the given
// header type and title.
// salt makes the images of one test tell apart.
Bytes Image(size_t size, uint8_t cartType, const std::string& title = "CART", uint8_t salt = 0) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i >> 8) * 31 + i + salt);
    for (size_t i = 0; i < 16; ++i) bytes[0x134 + i] = i < title.size() ? uint8_t(title[i]) : 0;
    bytes[0x147] = cartType;
    return bytes;
}

struct CaptionHost : Host {
    std::vector<std::string> captions;
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
};

class CartridgeTest : public ::testing::Test {
protected:
    std::string dir = test::MakeTempDir();
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::unique_ptr<Machine> m = std::make_unique<Machine>();

    // Writes bytes to dir/name and loads that file.
    bool Load(const Bytes& bytes, const std::string& name = "game.gb") {
        WriteFile(dir + "/" + name, bytes);
        return LoadRom(*m, dir + "/" + name);
    }
};

TEST_F(CartridgeTest, PlainCartridgeFillsTheWholeWindow) {
    const Bytes file = Image(0x8000, 0x00);
    ASSERT_TRUE(Load(file));
    EXPECT_TRUE(m->RomImage == file);
    EXPECT_EQ(m->MbcType, 0);
    EXPECT_TRUE(std::equal(m->RomWindow.begin(), m->RomWindow.end(), file.begin()));
    EXPECT_EQ(ReadByte(*m, 0x4000), file[0x4000]);
    EXPECT_EQ(ReadByte(*m, 0x7FFF), file[0x7FFF]);
}

TEST_F(CartridgeTest, BankedCartridgeShowsItsBankOnlyAfterTheFirstSelect) {
    m->RomWindow.fill(0xAB);  // the last cartridge's bank
    m->BankMode = 1;
    m->RamEnabled = 1;
    m->RamBank = 3;
    const Bytes file = Image(0x10000, 0x01);
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(m->RomBankMask, 3);
    EXPECT_EQ(m->MbcType, 1);
    EXPECT_EQ(m->BankMode, 0);
    EXPECT_EQ(m->RomBank, 1);
    EXPECT_EQ(m->RamBank, 1);
    EXPECT_EQ(m->RamEnabled, 0);
    EXPECT_EQ(m->CartType, 0x01);
    EXPECT_TRUE(std::equal(m->RomWindow.begin(), m->RomWindow.begin() + 0x4000, file.begin()));
    EXPECT_EQ(ReadByte(*m, 0x4000), 0xAB);
    EXPECT_EQ(ReadByte(*m, 0x7FFF), 0xAB);

    // Either select range makes the copy.
    for (int32_t select : {0x2000, 0x4000}) {
        m->RomWindow.fill(0xAB);
        WriteByte(*m, select, 0x01);
        EXPECT_EQ(ReadByte(*m, 0x4000), file[0x4000]) << std::hex << select;
        EXPECT_EQ(ReadByte(*m, 0x7FFF), file[0x7FFF]) << std::hex << select;
    }
}

TEST_F(CartridgeTest, BankMaskComesFromTheFileLength) {
    struct Case {
        size_t size;
        uint8_t mask;
    };
    const Case cases[] = {{0x150, 0xFF},    {0x3FFF, 0xFF},   {0x4000, 0x00},  {0x4100, 0x00},
                          {0x8000, 0x01},   {0xC000, 0x02},   {0x10000, 0x03}, {0x100000, 0x3F},
                          {0x200000, 0x7F}, {0x400000, 0xFF}, {0x800000, 0xFF}};
    for (const Case& c : cases) {
        ASSERT_TRUE(Load(Image(c.size, 0x01))) << c.size;
        EXPECT_EQ(m->RomBankMask, c.mask) << std::hex << c.size;
        EXPECT_EQ(m->RomImage.size(), c.size);
    }
}

TEST_F(CartridgeTest, UnknownTypesKeepThePreviousBanking) {
    struct Case {
        const char* name;
        std::vector<uint8_t> types;  // loaded in this order into one machine
        uint8_t mbc;
    };
    const Case cases[] = {
        {"0x13 after 0x01", {0x01, 0x13}, 1},
        {"0x13 first", {0x13}, 0},
        {"0x13 after 0x00", {0x00, 0x13}, 0},
        {"0x13 after 0x03", {0x03, 0x13}, 1},
        {"0x00 after 0x01", {0x01, 0x00}, 0},
        {"0x02 after 0x00", {0x00, 0x02}, 1},
        {"0x13 twice after 0x01", {0x01, 0x13, 0x13}, 1},
    };
    for (const Case& c : cases) {
        m = std::make_unique<Machine>();
        uint8_t salt = 0;
        std::array<uint8_t, 0x8000> window{};  // as before the last load
        for (uint8_t type : c.types) {
            window = m->RomWindow;
            ASSERT_TRUE(Load(Image(0x10000, type, "CART", ++salt))) << c.name;
        }
        const Bytes& file = m->RomImage;
        EXPECT_EQ(m->MbcType, c.mbc) << c.name;
        EXPECT_EQ(m->CartType, c.types.back()) << c.name;
        // Without a controller 32 KiB are copied, with one only bank 0.
        EXPECT_EQ(ReadByte(*m, 0x3FFF), file[0x3FFF]) << c.name;
        EXPECT_EQ(ReadByte(*m, 0x4000), c.mbc ? window[0x4000] : file[0x4000]) << c.name;
        EXPECT_EQ(ReadByte(*m, 0x7FFF), c.mbc ? window[0x7FFF] : file[0x7FFF]) << c.name;
    }
}

TEST_F(CartridgeTest, UnknownTypeKeepsTheBankingModeToo) {
    ASSERT_TRUE(Load(Image(0x10000, 0x01)));
    WriteByte(*m, 0x6000, 0x01);
    ASSERT_TRUE(Load(Image(0x10000, 0x13)));
    EXPECT_EQ(m->BankMode, 1);
    ASSERT_TRUE(Load(Image(0x10000, 0x02)));
    EXPECT_EQ(m->BankMode, 0);
}

TEST_F(CartridgeTest, CaptionShowsTheTitleUpToItsFirstZero) {
    struct Case {
        const char* name;
        std::string title;  // 16 bytes at 0x134
        std::string caption;
    };
    const Case cases[] = {
        {"short title", std::string("PUZZLE\0\0\0\0\0\0\0\0\0\0", 16), "Wenlo - PUZZLE"},
        {"trailing spaces kept", std::string("GAME    \0\0\0\0\0\0\0\0", 16), "Wenlo - GAME    "},
        {"all sixteen", "ABCDEFGHIJKLMNOP", "Wenlo - ABCDEFGHIJKLMNOP"},
        {"zero inside", std::string("AB\0CD\0\0\0\0\0\0\0\0\0\0\0", 16), "Wenlo - AB"},
        {"empty", std::string(16, '\0'), "Wenlo - "},
    };
    CaptionHost host;
    m->host = &host;
    for (const Case& c : cases) {
        Bytes file = Image(0x8000, 0x00);
        std::copy(c.title.begin(), c.title.end(), file.begin() + 0x134);
        host.captions.clear();
        ASSERT_TRUE(Load(file)) << c.name;
        EXPECT_EQ(host.captions, std::vector<std::string>{c.caption}) << c.name;
        // The title itself is kept unaltered, zeros and all.
        EXPECT_EQ(std::string(m->RomTitle.begin(), m->RomTitle.end()), c.title) << c.name;
    }
}

TEST_F(CartridgeTest, LoadingSetsTheShortName) {
    ASSERT_TRUE(Load(Image(0x8000, 0x00), "puzzle.old.gb"));
    EXPECT_EQ(m->RomName, "puzzle");
}

TEST(RomBaseNameTest, DropsFoldersAndEverythingFromTheFirstDot) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\roms\\puzzle.gb", "puzzle"},
        {"D:\\a.b\\c.d.e", "c"},
        {"C:\\roms\\puzzle.old.gb", "puzzle"},
        {"/home/me/roms/Game.old.gb", "Game"},
        {"/home/me/my.roms/tetris.gb", "tetris"},
        {"mixed\\folders/and.more\\last.gbc", "last"},
        {"relative/plain.gb", "plain"},
        {"noext", "noext"},
        {"/roms/noext", "noext"},
        {"C:\\roms.d\\noext", "noext"},
        {"game.gb", "game"},
        {".hidden", ".hidden"},  // a leading dot alone would leave no name
    };
    for (const Case& c : cases) EXPECT_EQ(RomBaseName(c.path), c.name) << c.path;
}

TEST_F(CartridgeTest, RefusedFilesChangeNothing) {
    struct Case {
        const char* name;
        std::function<std::string()> make;  // returns the path to load
        LoadRomResult why;                  // what LoadRomChecked says
    };
    const Case cases[] = {
        {"empty path", [] { return std::string(); }, LoadRomResult::NoSuchFile},
        {"missing", [this] { return dir + "/missing.gb"; }, LoadRomResult::NoSuchFile},
        {"a folder",
         [this] {
             fs::create_directory(dir + "/folder.gb");
             return dir + "/folder.gb";
         },
         LoadRomResult::NotRegularFile},
        {"a named pipe",
         [this] {
             ::mkfifo((dir + "/fifo.gb").c_str(), 0600);
             return dir + "/fifo.gb";
         },
         LoadRomResult::NotRegularFile},
        {"a link to nothing",
         [this] {
             fs::create_symlink(dir + "/gone.gb", dir + "/dangling.gb");
             return dir + "/dangling.gb";
         },
         LoadRomResult::NoSuchFile},
        {"empty file",
         [this] {
             WriteFile(dir + "/empty.gb", {});
             return dir + "/empty.gb";
         },
         LoadRomResult::TooShort},
        {"shorter than the header",
         [this] {
             WriteFile(dir + "/short.gb", Image(0x14F, 0x00));
             return dir + "/short.gb";
         },
         LoadRomResult::TooShort},
        {"over 8 MiB",
         [this] {
             WriteFile(dir + "/huge.gb", Image(0x800001, 0x01));
             return dir + "/huge.gb";
         },
         LoadRomResult::TooLarge},
    };

    CaptionHost host;
    m->host = &host;
    ASSERT_TRUE(Load(Image(0x10000, 0x01, "KEPT"), "kept.gb"));
    WriteByte(*m, 0x2000, 0x02);
    WriteByte(*m, 0x0000, 0x0A);
    const auto before = std::make_unique<Machine>(*m);
    for (const Case& c : cases) {
        const std::string path = c.make();
        EXPECT_FALSE(LoadRom(*m, path)) << c.name;
        EXPECT_EQ(LoadRomChecked(*m, path), c.why) << c.name;
        EXPECT_TRUE(m->RomImage == before->RomImage) << c.name;
        EXPECT_TRUE(m->RomWindow == before->RomWindow) << c.name;
        EXPECT_EQ(m->RomName, "kept") << c.name;
        EXPECT_EQ(m->RomTitle, before->RomTitle) << c.name;
        EXPECT_EQ(m->CartType, before->CartType) << c.name;
        EXPECT_EQ(m->MbcType, before->MbcType) << c.name;
        EXPECT_EQ(m->RomBank, 2) << c.name;
        EXPECT_EQ(m->RomBankMask, 3) << c.name;
        EXPECT_EQ(m->RamBank, before->RamBank) << c.name;
        EXPECT_EQ(m->RamEnabled, 1) << c.name;
        EXPECT_EQ(host.captions.size(), 1u) << c.name;
    }
}

TEST_F(CartridgeTest, AFileThatCannotBeOpenedIsUnreadable) {
    // Permissions do not hold back the superuser: nothing to see then.
    if (::geteuid() == 0) GTEST_SKIP() << "running as root";
    const std::string path = dir + "/locked.gb";
    WriteFile(path, Image(0x8000, 0x01));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_EQ(LoadRomChecked(*m, path), LoadRomResult::Unreadable);
    EXPECT_TRUE(m->RomImage.empty());
}

TEST_F(CartridgeTest, SizeLimitsAreInclusive) {
    for (size_t size : {size_t(0x150), size_t(0x800000)}) {
        ASSERT_TRUE(Load(Image(size, 0x01))) << size;
        EXPECT_EQ(m->RomImage.size(), size);
    }
}

TEST_F(CartridgeTest, LoadingAPipeDoesNotHang) {
    // A named pipe with no writer would block an open for reading for good;
    // it is no cartridge and must be refused at once.
    const std::string pipe = dir + "/pipe.gb";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto loading = std::async(std::launch::async, [&] { return LoadRom(*m, pipe); });
    if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the stuck open finish before failing, so the test ends.
        const int fd = ::open(pipe.c_str(), O_WRONLY);
        if (fd >= 0) ::close(fd);
        FAIL() << "LoadRom blocked on a named pipe";
    }
    EXPECT_FALSE(loading.get());
    EXPECT_TRUE(m->RomImage.empty());
}

TEST_F(CartridgeTest, BytesMissingFromShortFilesReadAsFF) {
    struct Case {
        const char* name;
        size_t size;
        uint8_t cartType;
        size_t copied;  // window bytes the load fills
    };
    const Case cases[] = {
        {"plain, header only", 0x150, 0x00, 0x8000},
        {"plain, 20 KiB", 0x5000, 0x00, 0x8000},
        {"banked, header only", 0x150, 0x01, 0x4000},
        {"banked, 10 KiB", 0x2800, 0x01, 0x4000},
    };
    for (const Case& c : cases) {
        m = std::make_unique<Machine>();
        m->RomWindow.fill(0xAB);
        ASSERT_TRUE(Load(Image(c.size, c.cartType))) << c.name;
        for (size_t a = 0; a < 0x8000; ++a) {
            const uint8_t expected = a < c.size ? m->RomImage[a] : a < c.copied ? 0xFF : 0xAB;
            ASSERT_EQ(m->RomWindow[a], expected) << c.name << " at " << std::hex << a;
        }
    }
}

}  // namespace
}  // namespace wenlo
