#include "tools/wav_writer.h"

#include <sndfile.h>

namespace wenlo::tools {

WavWriter::~WavWriter() { Close(); }

bool WavWriter::Open(const std::string& path) {
    Close();
    error_.clear();
    failed_ = false;
    frames_ = 0;
    path_ = path;
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file_) {
        error_ = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    return true;
}

bool WavWriter::Write(const int16_t* samples, size_t frames) {
    if (!file_ || failed_) return false;
    sf_count_t n = sf_writef_short(file_, samples, sf_count_t(frames));
    frames_ += size_t(n < 0 ? 0 : n);
    if (n != sf_count_t(frames)) {
        failed_ = true;
        error_ = "cannot write " + path_ + ": " + sf_strerror(file_);
        return false;
    }
    return true;
}

bool WavWriter::Close() {
    if (!file_) return !failed_;
    int rc = sf_close(file_);
    file_ = nullptr;
    if (rc != 0 && !failed_) {
        failed_ = true;
        error_ = "cannot write " + path_ + ": " + sf_error_number(rc);
    }
    return !failed_;
}

}  // namespace wenlo::tools
