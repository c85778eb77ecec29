#include "savestate/rle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "savestate/file_io_internal.h"
#include "savestate/rle_checked_internal.h"
#include "tests/support/rom_builder.h"

namespace wenlo {

// Readable failure messages for the codec's outcome.
static void PrintTo(CodecStatus status, std::ostream* os) { *os << DescribeCodecStatus(status); }

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Repeat(size_t n, uint8_t b) { return Bytes(n, b); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The codec's output written out from its description, independently of the
// streaming code: maximal runs of equal bytes, cut into pieces of 255 from
// their start; pieces of 4 or more as run tokens, shorter ones as literals
// with every marker escaped.
Bytes ReferenceEncode(const Bytes& in) {
    Bytes out;
    size_t i = 0;
    while (i < in.size()) {
        size_t run = 1;
        while (i + run < in.size() && in[i + run] == in[i] && run < 255) ++run;
        if (run >= 4) {
            out.insert(out.end(), {RleMarker, uint8_t(run), in[i]});
        } else {
            for (size_t k = 0; k < run; ++k) {
                out.push_back(in[i]);
                if (in[i] == RleMarker) out.push_back(0x00);
            }
        }
        i += run;
    }
    return out;
}

// Random bytes with runs of every length, markers included.
Bytes RandomWithRuns(std::mt19937& rng, size_t size) {
    Bytes out;
    std::uniform_int_distribution<int> kind(0, 9), len(1, 600), byte(0, 255);
    const uint8_t favourites[] = {0x00, RleMarker, 0xFF};
    while (out.size() < size) {
        const int k = kind(rng);
        const uint8_t b = k < 3 ? favourites[k] : uint8_t(byte(rng));
        const size_t n = k < 6 ? size_t(len(rng)) : 1;
        out.insert(out.end(), std::min(n, size - out.size()), b);
    }
    return out;
}

class RleTest : public ::testing::Test {
protected:
    std::string dir = test::MakeTempDir();
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Path(const std::string& name) const { return dir + "/" + name; }

    Bytes Compress(const Bytes& in) {
        WriteBytes(Path("plain"), in);
        CompressFile(Path("plain"), Path("coded"));
        return ReadBytes(Path("coded"));
    }
    Bytes Expand(const Bytes& in) {
        WriteBytes(Path("coded"), in);
        ExpandFile(Path("coded"), Path("plain"));
        return ReadBytes(Path("plain"));
    }
};

TEST_F(RleTest, EncodesTheDocumentedExamplesAndDecodesThemBack) {
    struct Case {
        const char* name;
        Bytes plain;
        Bytes coded;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"one literal", {0x41}, {0x41}},
        {"three literals", {0x41, 0x41, 0x42}, {0x41, 0x41, 0x42}},
        {"three zeros stay literal", Repeat(3, 0x00), {0x00, 0x00, 0x00}},
        {"four zeros make a run", Repeat(4, 0x00), {0xCF, 0x04, 0x00}},
        {"one marker", {0xCF}, {0xCF, 0x00}},
        {"three markers", Repeat(3, 0xCF), {0xCF, 0x00, 0xCF, 0x00, 0xCF, 0x00}},
        {"five markers", Repeat(5, 0xCF), {0xCF, 0x05, 0xCF}},
        {"255 is one token", Repeat(255, 0x07), {0xCF, 0xFF, 0x07}},
        {"256 leaves one literal", Repeat(256, 0x07), {0xCF, 0xFF, 0x07, 0x07}},
        {"257 leaves two literals", Repeat(257, 0x07), {0xCF, 0xFF, 0x07, 0x07, 0x07}},
        {"300 zeros", Repeat(300, 0x00), {0xCF, 0xFF, 0x00, 0xCF, 0x2D, 0x00}},
        {"run inside literals", {0x01, 0x02, 0x02, 0x02, 0x02, 0x03}, {0x01, 0xCF, 0x04, 0x02, 0x03}},
        {"run then a different last byte", Concat({Repeat(5, 0xAA), {0xBB}}), {0xCF, 0x05, 0xAA, 0xBB}},
        {"literal then a run to the end", Concat({{0xBB}, Repeat(6, 0xAA)}), {0xBB, 0xCF, 0x06, 0xAA}},
        {"two bytes alike", {0x41, 0x41}, {0x41, 0x41}},
        {"two bytes differing", {0x41, 0x42}, {0x41, 0x42}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Compress(c.plain), c.coded) << c.name;
        EXPECT_EQ(Expand(c.coded), c.plain) << c.name;
    }
}

TEST_F(RleTest, DecoderAcceptsTokensTheEncoderNeverWrites) {
    struct Case {
        const char* name;
        Bytes coded;
        Bytes plain;
    };
    const Case cases[] = {
        {"short run", {0xCF, 0x02, 0x41}, {0x41, 0x41}},
        {"run of one", {0xCF, 0x01, 0x41}, {0x41}},
        {"run of markers written as a run", {0xCF, 0x01, 0xCF}, {0xCF}},
        {"run of three zeros", {0xCF, 0x03, 0x00, 0x09}, {0x00, 0x00, 0x00, 0x09}},
    };
    for (const Case& c : cases) EXPECT_EQ(Expand(c.coded), c.plain) << c.name;
}

TEST_F(RleTest, FileEndingInsideATokenKeepsWhatWasDecoded) {
    struct Case {
        const char* name;
        Bytes coded;
        Bytes plain;
    };
    const Case cases[] = {
        {"marker alone", {0xCF}, {}},
        {"marker last", {0x41, 0x42, 0xCF}, {0x41, 0x42}},
        {"count without value", {0x41, 0xCF, 0x05}, {0x41}},
        {"after a full run", {0xCF, 0x04, 0x09, 0xCF, 0x09}, Repeat(4, 0x09)},
        // The tail falls on a block boundary of the input.
        {"marker at byte 4096", Concat({Repeat(4095, 0x11), {0xCF}}), Repeat(4095, 0x11)},
        {"count at byte 4097", Concat({Repeat(4095, 0x11), {0xCF, 0x07}}), Repeat(4095, 0x11)},
    };
    for (const Case& c : cases) {
        WriteBytes(Path("coded"), c.coded);
        EXPECT_EQ(ExpandFileChecked(Path("coded"), Path("plain")), CodecStatus::Truncated) << c.name;
        EXPECT_EQ(ReadBytes(Path("plain")), c.plain) << c.name;
        EXPECT_EQ(Expand(c.coded), c.plain) << c.name;  // the unchecked entry point alike
    }
}

TEST_F(RleTest, BlockBoundariesDoNotShowInTheOutput) {
    std::mt19937 rng(4096);
    for (size_t size : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 12289u}) {
        // Once with data that codes to about its own size (literals crossing
        // the boundaries), once with runs, once with one long run.
        Bytes literals(size);
        for (size_t i = 0; i < size; ++i) literals[i] = uint8_t(i * 7 + 1);
        for (const Bytes& plain : {literals, RandomWithRuns(rng, size), Repeat(size, 0xCF)}) {
            const Bytes coded = Compress(plain);
            EXPECT_EQ(coded, ReferenceEncode(plain)) << size;
            EXPECT_EQ(Expand(coded), plain) << size;
        }
    }
}

TEST_F(RleTest, RoundTripsRandomInputs) {
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<size_t> sizes(0, 9000);
    for (int round = 0; round < 150; ++round) {
        const Bytes plain = RandomWithRuns(rng, sizes(rng));
        const Bytes coded = Compress(plain);
        ASSERT_EQ(coded, ReferenceEncode(plain)) << "round " << round << ", " << plain.size() << " bytes";
        ASSERT_EQ(Expand(coded), plain) << "round " << round;
    }
}

TEST_F(RleTest, MissingSourceGivesAnEmptyTarget) {
    struct Case {
        const char* name;
        CodecStatus (*code)(const std::string&, const std::string&);
    };
    const Case cases[] = {
        {"compress", [](const std::string& s, const std::string& t) { return CompressFileChecked(s, t); }},
        {"expand", [](const std::string& s, const std::string& t) { return ExpandFileChecked(s, t); }},
    };
    for (const Case& c : cases) {
        WriteBytes(Path("target"), {1, 2, 3});
        EXPECT_EQ(c.code(Path("missing"), Path("target")), CodecStatus::SourceUnreadable) << c.name;
        EXPECT_TRUE(std::filesystem::exists(Path("target"))) << c.name;
        EXPECT_EQ(ReadBytes(Path("target")), Bytes{}) << c.name;
        // A folder is no source either.
        EXPECT_EQ(c.code(dir, Path("target")), CodecStatus::SourceUnreadable) << c.name;
    }
}

TEST_F(RleTest, OutputLimitStopsADecodingThatGrowsTooLong) {
    WriteBytes(Path("coded"), {0x01, 0xCF, 0x0A, 0x41, 0x02});  // 12 bytes decoded
    struct Case {
        uint64_t limit;
        CodecStatus status;
        size_t written;
    };
    const Case cases[] = {
        {12, CodecStatus::Ok, 12}, {11, CodecStatus::TooLong, 11}, {10, CodecStatus::TooLong, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandFileChecked(Path("coded"), Path("plain"), c.limit), c.status) << c.limit;
        EXPECT_EQ(ReadBytes(Path("plain")).size(), c.written) << c.limit;
    }
}

TEST_F(RleTest, CountingDecodesAsFarAsWritingWould) {
    std::mt19937 rng(31);
    struct Case {
        const char* name;
        Bytes coded;
        uint64_t limit;
    };
    const Case cases[] = {
        {"empty", {}, UINT64_MAX},
        {"runs over several blocks", ReferenceEncode(RandomWithRuns(rng, 20000)), UINT64_MAX},
        {"marker last", {0x41, 0x42, 0xCF}, UINT64_MAX},
        {"count without value after a block", Concat({Repeat(4095, 0x11), {0xCF, 0x07}}), UINT64_MAX},
        {"exactly at the limit", {0x01, 0xCF, 0x0A, 0x41, 0x02}, 12},
        {"a run past the limit", {0x01, 0xCF, 0x0A, 0x41, 0x02}, 10},
    };
    for (const Case& c : cases) {
        WriteBytes(Path("coded"), c.coded);
        const CodecStatus written = ExpandFileChecked(Path("coded"), Path("plain"), c.limit);
        uint64_t length = 99;
        EXPECT_EQ(ExpandedLength(Path("coded"), c.limit, length), written) << c.name;
        EXPECT_EQ(length, ReadBytes(Path("plain")).size()) << c.name;
    }
    uint64_t length = 99;
    EXPECT_EQ(ExpandedLength(Path("missing"), UINT64_MAX, length), CodecStatus::SourceUnreadable);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(ExpandedLength(dir, UINT64_MAX, length), CodecStatus::SourceUnreadable);  // a folder
}

TEST_F(RleTest, FailedWritesAreReported) {
    std::mt19937 rng(7);
    // Runs and then plain noise, so that the coded file spans several blocks.
    Bytes noise(10000);
    for (uint8_t& b : noise) b = uint8_t(rng() % 255);  // no marker: codes to itself
    const Bytes plain = Concat({RandomWithRuns(rng, 20000), noise});
    const Bytes coded = ReferenceEncode(plain);
    ASSERT_GT(coded.size(), 8192u);
    WriteBytes(Path("plain"), plain);
    WriteBytes(Path("coded"), coded);
    struct Case {
        bool compress;
        int64_t budget;
        CodecStatus status;
    };
    const Case cases[] = {
        {true, 0, CodecStatus::WriteError},
        {true, 4096, CodecStatus::WriteError},
        {true, int64_t(coded.size()) - 1, CodecStatus::WriteError},  // only the last, short block fails
        {true, int64_t(coded.size()), CodecStatus::Ok},
        {false, 0, CodecStatus::WriteError},
        {false, int64_t(plain.size()) - 1, CodecStatus::WriteError},
        {false, int64_t(plain.size()), CodecStatus::Ok},
    };
    for (const Case& c : cases) {
        WriteFault fault{c.budget};
        const CodecStatus status = c.compress
                                       ? CompressFileChecked(Path("plain"), Path("out"), &fault)
                                       : ExpandFileChecked(Path("coded"), Path("out"), UINT64_MAX, &fault);
        EXPECT_EQ(status, c.status) << c.compress << " " << c.budget;
        EXPECT_LE(ReadBytes(Path("out")).size(), size_t(c.budget));
    }
}

TEST_F(RleTest, CodingAFileOntoItselfIsRefusedAndKeepsIt) {
    const Bytes plain = Repeat(100, 0x33);
    WriteBytes(Path("same"), plain);
    EXPECT_EQ(CompressFileChecked(Path("same"), Path("same")), CodecStatus::WriteError);
    EXPECT_EQ(ExpandFileChecked(Path("same"), dir + "/./same"), CodecStatus::WriteError);
    EXPECT_EQ(ReadBytes(Path("same")), plain);
}

TEST_F(RleTest, DeleteFileQuietlyRemovesFilesOnly) {
    WriteBytes(Path("file"), {1});
    std::filesystem::create_directory(Path("folder"));
    DeleteFileQuietly(Path("file"));
    DeleteFileQuietly(Path("folder"));
    DeleteFileQuietly(Path("never-existed"));
    EXPECT_FALSE(std::filesystem::exists(Path("file")));
    EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
}

}  // namespace
}  // namespace wenlo
