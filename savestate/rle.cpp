#include "savestate/rle.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "savestate/file_io_internal.h"
#include "savestate/rle_checked_internal.h"

namespace wenlo {

namespace {

constexpr uint32_t kBlockSize = 4096;
constexpr uint32_t kBlockMask = kBlockSize - 1;
constexpr uint8_t kLongestRun = 255;
// Shorter runs cost no more as literals than as a three-byte token.
constexpr uint8_t kShortestCodedRun = 4;

// The working state of one compress or expand call: the two block buffers,
// their positions, and the run being built or emitted. Lives on the caller's
// stack for the length of the call.
struct RleStream {
    std::FILE* in = nullptr;
    OutputFile out;

    std::array<uint8_t, kBlockSize> InBuf{};
    uint32_t InPos = 0;       // next byte of InBuf; 0 means "read a block first"
    int64_t InRemaining = 0;  // input bytes not yet handed out
    std::array<uint8_t, kBlockSize> OutBuf{};
    uint32_t OutPos = 0;  // next free byte of OutBuf
    uint8_t RunByte = 0;
    uint8_t RunLen = 0;
    uint8_t NextByte = 0;  // encoder: the byte after the current run
    bool readFailed = false;

    RleStream() = default;
    RleStream(const RleStream&) = delete;
    RleStream& operator=(const RleStream&) = delete;
    ~RleStream() {
        if (in) std::fclose(in);
    }

    bool Healthy() const { return !readFailed && out.ok(); }

    // Callers hand out bytes only while InRemaining > 0.
    uint8_t ReadInByte() {
        if (InPos == 0) FillInBuf();
        const uint8_t b = InBuf[InPos];
        InPos = (InPos + 1) & kBlockMask;
        --InRemaining;
        return b;
    }

    void FillInBuf() {
        const size_t want = InRemaining >= kBlockSize ? kBlockSize : size_t(InRemaining);
        const size_t got = std::fread(InBuf.data(), 1, want, in);
        if (got != want) {
            // The file shrank or the disk failed under us: stop at the next
            // token, and never hand out stale bytes meanwhile.
            readFailed = true;
            std::memset(InBuf.data() + got, 0, kBlockSize - got);
        }
    }

    void WriteOutByte(uint8_t b) {
        OutBuf[OutPos] = b;
        OutPos = (OutPos + 1) & kBlockMask;
        if (OutPos == 0) out.Write(OutBuf.data(), kBlockSize);
    }

    void FlushOut() {
        if (OutPos > 0) out.Write(OutBuf.data(), OutPos);
        OutPos = 0;
    }

    void EmitEncodedRun() {
        if (RunLen >= kShortestCodedRun) {
            WriteOutByte(RleMarker);
            WriteOutByte(RunLen);
            WriteOutByte(RunByte);
            return;
        }
        for (int i = 0; i < RunLen; ++i) {
            WriteOutByte(RunByte);
            if (RunByte == RleMarker) WriteOutByte(0x00);
        }
    }
};

// Opens source unbuffered (the codec moves whole blocks itself); false when
// it is missing, not a regular file or cannot be opened.
bool OpenSource(RleStream& s, const std::string& source) {
    const int64_t length = RegularFileSize(source);
    if (length < 0) return false;
    s.in = std::fopen(source.c_str(), "rb");
    if (!s.in) return false;
    std::setvbuf(s.in, nullptr, _IONBF, 0);
    s.InRemaining = length;
    return true;
}

// Replaces target with an empty file and opens source.
CodecStatus OpenStreams(RleStream& s, const std::string& source, const std::string& target,
                        WriteFault* fault) {
    // Coding a file onto itself would delete the input before reading it.
    if (SameFile(source, target)) return CodecStatus::WriteError;
    DeleteFileQuietly(target);
    const bool opened = OpenSource(s, source);
    if (!s.out.Open(target, fault)) return CodecStatus::WriteError;
    if (!opened) return CodecStatus::SourceUnreadable;
    return CodecStatus::Ok;
}

CodecStatus Finish(RleStream& s, CodecStatus decoded) {
    s.FlushOut();
    if (!s.out.Close()) return CodecStatus::WriteError;
    if (s.readFailed) return CodecStatus::ReadError;
    return decoded;
}

}  // namespace

CodecStatus CompressFileChecked(const std::string& source, const std::string& target, WriteFault* fault) {
    RleStream s;
    const CodecStatus opened = OpenStreams(s, source, target, fault);
    if (opened != CodecStatus::Ok) return opened == CodecStatus::WriteError ? opened : Finish(s, opened);

    const int64_t length = s.InRemaining;
    // The first byte is the look-ahead of the first run; it comes through the
    // block buffer like the rest, so the blocks line up with the file.
    if (length > 0) s.NextByte = s.ReadInByte();
    while (s.InRemaining > 0 && s.Healthy()) {
        // Gather the run that starts at NextByte. The byte that ends it (a
        // different one, or one past 255) becomes the next look-ahead; the
        // last byte of the input ends the scan without being counted.
        s.RunByte = s.NextByte;
        s.RunLen = 1;
        for (;;) {
            s.NextByte = s.ReadInByte();
            if (s.NextByte != s.RunByte || s.RunLen == kLongestRun || s.InRemaining == 0) break;
            ++s.RunLen;
        }
        if (s.InRemaining == 0) {
            // Count the last byte: into this run if it fits, else alone.
            if (s.NextByte == s.RunByte && s.RunLen < kLongestRun) {
                ++s.RunLen;
            } else {
                s.EmitEncodedRun();
                s.RunByte = s.NextByte;
                s.RunLen = 1;
            }
        }
        s.EmitEncodedRun();
    }
    if (length == 1) {
        s.RunByte = s.NextByte;
        s.RunLen = 1;
        s.EmitEncodedRun();
    }
    return Finish(s, CodecStatus::Ok);
}

namespace {

// The decoder's token loop over the rest of s's input. emit(byte, count)
// takes each run (a literal is a run of one) and returns false once its
// output has failed, which ends the loop.
template <class Emit>
CodecStatus DecodeTokens(RleStream& s, uint64_t outputLimit, Emit emit) {
    uint64_t written = 0;
    while (s.InRemaining > 0 && !s.readFailed) {
        // A token is one literal, an escaped marker or a run. The encoder
        // never ends a file inside a token; a damaged file may, and then the
        // half token is dropped rather than read past the input.
        s.RunByte = s.ReadInByte();
        s.RunLen = 1;
        if (s.RunByte == RleMarker) {
            if (s.InRemaining == 0) return CodecStatus::Truncated;
            const uint8_t n = s.ReadInByte();
            if (n != 0) {
                if (s.InRemaining == 0) return CodecStatus::Truncated;
                s.RunLen = n;
                s.RunByte = s.ReadInByte();
            }
        }
        if (s.RunLen > outputLimit - written) return CodecStatus::TooLong;
        written += s.RunLen;
        if (!emit(s.RunByte, s.RunLen)) break;
    }
    return CodecStatus::Ok;
}

}  // namespace

CodecStatus ExpandFileChecked(const std::string& source, const std::string& target, uint64_t outputLimit,
                              WriteFault* fault) {
    RleStream s;
    const CodecStatus opened = OpenStreams(s, source, target, fault);
    if (opened != CodecStatus::Ok) return opened == CodecStatus::WriteError ? opened : Finish(s, opened);
    const CodecStatus decoded = DecodeTokens(s, outputLimit, [&s](uint8_t b, uint8_t n) {
        for (int i = 0; i < n; ++i) s.WriteOutByte(b);
        return s.out.ok();
    });
    return Finish(s, decoded);
}

CodecStatus ExpandedLength(const std::string& source, uint64_t outputLimit, uint64_t& length) {
    length = 0;
    RleStream s;
    if (!OpenSource(s, source)) return CodecStatus::SourceUnreadable;
    const CodecStatus decoded = DecodeTokens(s, outputLimit, [&length](uint8_t, uint8_t n) {
        length += n;
        return true;
    });
    return s.readFailed ? CodecStatus::ReadError : decoded;
}

const char* DescribeCodecStatus(CodecStatus status) {
    switch (status) {
        case CodecStatus::Ok: return "no error";
        case CodecStatus::SourceUnreadable: return "the file is missing or cannot be opened";
        case CodecStatus::ReadError: return "the file could not be read to its end";
        case CodecStatus::WriteError: return "the output file could not be written";
        case CodecStatus::Truncated: return "the file ends in the middle of a run";
        case CodecStatus::TooLong: return "the file decodes to more data than expected";
    }
    return "unknown error";
}

void CompressFile(const std::string& source, const std::string& target) {
    CompressFileChecked(source, target);
}

void ExpandFile(const std::string& source, const std::string& target) { ExpandFileChecked(source, target); }

void DeleteFileQuietly(const std::string& path) {
    std::error_code ec;
    // remove() would also take an empty folder; only files are ours to delete.
    if (!std::filesystem::is_directory(path, ec)) std::filesystem::remove(path, ec);
}

}  // namespace wenlo
