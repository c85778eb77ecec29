// Internal to savestate/: included only by
// the savestate/ sources and their unit tests.
//
// Small file helpers shared by the codec and the state file (not part of the
// public API): an output file that notices every failed write and close, a
// failing-write seam for tests, and the path helpers the state file needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace wenlo {

// Makes writes fail on purpose, as a full disk would. Give the same WriteFault
// to every step of one operation: the byte budget is shared by all the files
// written through it, so "fail after N bytes" walks through the steps in
// order (the uncompressed temporary first, then the coded file).
struct WriteFault {
    // Bytes that may still be written; each write takes from it. A write that
    // does not fit writes what fits and then fails. Negative: no limit.
    int64_t bytesLeft = -1;
    // Make the final rename of a state file fail.
    bool failRename = false;
};

// A file written in whole blocks, unbuffered by the C library so that each
// Write is one call to the system. Remembers the first failure: once a write
// has failed, later writes do nothing, and Close reports the failure too.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates (or truncates) path. False if it cannot be created.
    bool Open(const std::string& path, WriteFault* fault = nullptr);
    bool Write(const uint8_t* data, size_t size);
    // Closes the file; false if it was never opened, any write failed or the
    // close itself failed (data that never reached the disk).
    bool Close();
    bool ok() const { return ok_; }

private:
    std::FILE* file_ = nullptr;
    WriteFault* fault_ = nullptr;
    bool ok_ = false;
};

// Length of a regular file, or -1 if path is missing or not a regular file.
int64_t RegularFileSize(const std::string& path);

// True when a and b name the same file: the same path once made absolute and
// normalised, or two names of one existing file.
bool SameFile(const std::string& a, const std::string& b);

// name placed in the folder of path ("dir/x.sav", "y.tmp" -> "dir/y.tmp";
// "x.sav", "y.tmp" -> "y.tmp").
std::string BesidePath(const std::string& path, const std::string& name);

// Asks the system to put the file's data on the disk, so that a rename over
// an older file cannot leave an empty file behind after a power cut.
bool SyncFileToDisk(const std::string& path);

}  // namespace wenlo
