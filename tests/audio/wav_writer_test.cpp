// The WAV writer: a file any reader takes as 16-bit stereo at 48 kHz with
// exactly the frames given, and a path that cannot be written refused with
// its reason.
#include "tools/wav_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/support/rom_builder.h"

namespace wenlo::tools {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

TEST(WavWriter, WritesPcm16StereoAt48kHz) {
    const std::string path = test::MakeTempDir() + "/out.wav";
    std::vector<int16_t> frames;
    for (int i = 0; i < 1000; ++i) {
        frames.push_back(int16_t(i * 31 - 16000));
        frames.push_back(int16_t(-i * 17));
    }
    WavWriter w;
    ASSERT_TRUE(w.Open(path)) << w.Error();
    ASSERT_TRUE(w.Write(frames.data(), 600));
    ASSERT_TRUE(w.Write(frames.data() + 1200, 400));
    EXPECT_EQ(w.FramesWritten(), 1000u);
    ASSERT_TRUE(w.Close()) << w.Error();

    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(b.size(), 44u);
    ASSERT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    ASSERT_EQ(std::memcmp(b.data() + 8, "WAVE", 4), 0);
    bool format = false, data = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = U32(b, at + 4);
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0) {
            format = true;
            EXPECT_EQ(U16(b, at + 8), 1);         // PCM
            EXPECT_EQ(U16(b, at + 10), 2);        // channels
            EXPECT_EQ(U32(b, at + 12), 48000u);   // frames a second
            EXPECT_EQ(U32(b, at + 16), 192000u);  // bytes a second
            EXPECT_EQ(U16(b, at + 22), 16);       // bits
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            data = true;
            ASSERT_EQ(size, frames.size() * 2);
            ASSERT_LE(at + 8 + size, b.size());
            for (size_t i = 0; i < frames.size(); ++i) {
                ASSERT_EQ(int16_t(U16(b, at + 8 + i * 2)), frames[i]) << i;
            }
        }
        at += 8 + size + (size & 1);
    }
    EXPECT_TRUE(format);
    EXPECT_TRUE(data);
}

TEST(WavWriter, UnwritablePathIsRefusedWithItsName) {
    WavWriter w;
    const std::string path = test::MakeTempDir() + "/no/such/folder/out.wav";
    EXPECT_FALSE(w.Open(path));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_NE(w.Error().find(path), std::string::npos) << w.Error();
    EXPECT_FALSE(w.Write(nullptr, 0));
}

TEST(WavWriter, AFullDiskIsNeverASuccess) {
    WavWriter w;
    const std::vector<int16_t> second(2 * WavWriter::kRate, 1000);
    bool ok = w.Open("/dev/full");
    for (int i = 0; i < 4 && ok; ++i) ok = w.Write(second.data(), WavWriter::kRate);
    if (ok) ok = w.Close();
    EXPECT_FALSE(ok);
    EXPECT_NE(w.Error().find("/dev/full"), std::string::npos) << w.Error();
}

}  // namespace
}  // namespace wenlo::tools
