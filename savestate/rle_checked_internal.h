// Internal to savestate/: included only by
// savestate/rle.cpp, savestate/state_file.cpp and their unit tests.
//
// The codec of savestate/rle.h with its outcome reported, for callers that
// must not mistake a half-written file for a good one. CompressFile and
// ExpandFile are these with the result dropped.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace wenlo {

struct WriteFault;

enum class CodecStatus {
    Ok,
    SourceUnreadable,  // missing, not a regular file, or cannot be opened;
                       // target is left empty, as for an empty source
    ReadError,         // the source could not be read to its end
    WriteError,        // target could not be created, written or closed,
                       // or names the source itself (which is then kept)
    Truncated,         // decoding: the source ends inside a token; target
                       // holds everything decoded before it
    TooLong,           // decoding: the output would pass outputLimit; target
                       // holds the first outputLimit bytes at most
};

// On any status the target exists as far as it was written; deleting it is
// the caller's business. fault (tests only) makes target writes fail.
CodecStatus CompressFileChecked(const std::string& source, const std::string& target,
                                WriteFault* fault = nullptr);
CodecStatus ExpandFileChecked(const std::string& source, const std::string& target,
                              uint64_t outputLimit = std::numeric_limits<uint64_t>::max(),
                              WriteFault* fault = nullptr);

// Decodes source without writing anything, only counting: length is how
// many bytes ExpandFileChecked would write. Stops as that would (Truncated,
// TooLong: length then counts what came before the token that ended it).
CodecStatus ExpandedLength(const std::string& source, uint64_t outputLimit, uint64_t& length);

// A short English description of a status ("the disk refused the write").
const char* DescribeCodecStatus(CodecStatus);

}  // namespace wenlo
