// WAV files of the sound output, through libsndfile: 16-bit signed stereo
// at 48,000 frames a second, frames given as the sound unit gives them
// (audio/apu.h, ApuTakeSamples: left, right interleaved).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct sf_private_tag;

namespace wenlo::tools {

class WavWriter {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;

    WavWriter() = default;
    ~WavWriter();  // closes the file (errors then go unreported: call Close)
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or replaces) the file at path. On failure returns false with
    // the reason, naming the path, in Error().
    bool Open(const std::string& path);
    // Appends frames (2 * frames values). False on a write error.
    bool Write(const int16_t* interleavedStereo, size_t frames);
    // Completes the header and closes the file; false if anything failed
    // since Open. Closing a writer that is not open does nothing.
    bool Close();

    bool IsOpen() const { return file_ != nullptr; }
    size_t FramesWritten() const { return frames_; }
    const std::string& Error() const { return error_; }

private:
    sf_private_tag* file_ = nullptr;
    std::string path_;
    std::string error_;
    size_t frames_ = 0;
    bool failed_ = false;
};

}  // namespace wenlo::tools
