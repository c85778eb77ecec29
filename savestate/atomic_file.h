// Whole files written so that a failure never loses the old one: the bytes go
// to a temporary file beside the target, are synced to the disk, and only
// then renamed over it. Used by the handheld's state and battery files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wenlo {

struct WriteFault;  // savestate/file_io_internal.h: makes writes fail, for tests

// Writes bytes to path atomically. False with a reason in *error (when given)
// when any step fails; then the old file, if any, is as it was and no
// temporary file is left.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error,
                         WriteFault* fault = nullptr);

// Reads a whole regular file of at most maxSize bytes. False with a reason
// ("no such file", "not a regular file", "larger than N bytes", "unreadable")
// otherwise; out is then left empty.
bool ReadWholeFile(const std::string& path, size_t maxSize, std::vector<uint8_t>& out, std::string* error);

}  // namespace wenlo
