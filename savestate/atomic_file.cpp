#include "savestate/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "savestate/file_io_internal.h"
#include "savestate/rle.h"

namespace wenlo {

namespace {
bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}
}  // namespace

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error,
                         WriteFault* fault) {
    std::string temp = BesidePath(path, std::filesystem::path(path).filename().string() + ".new");
    while (SameFile(temp, path)) temp += ".new";
    const auto fail = [&](const std::string& why) {
        DeleteFileQuietly(temp);
        return Fail(error, why);
    };
    OutputFile out;
    if (!out.Open(temp, fault)) return fail("cannot create " + temp + " (" + std::strerror(errno) + ")");
    out.Write(bytes.data(), bytes.size());
    if (!out.Close()) return fail("cannot write " + temp + " (" + std::strerror(errno) + ")");
    if (!SyncFileToDisk(temp)) return fail("cannot write " + temp + " to the disk");
    if (fault && fault->failRename) return fail("cannot replace the old file (simulated failure)");
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) return fail("cannot replace the old file (" + ec.message() + ")");
    return true;
}

bool ReadWholeFile(const std::string& path, size_t maxSize, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return Fail(error, "no such file");
    if (!std::filesystem::is_regular_file(status)) return Fail(error, "not a regular file");
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return Fail(error, "unreadable");
    const std::streamoff length = in.tellg();
    if (length < 0) return Fail(error, "unreadable");
    if (uint64_t(length) > maxSize) return Fail(error, "larger than " + std::to_string(maxSize) + " bytes");
    out.resize(size_t(length));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(out.data()), length);
    if (!in) {
        out.clear();
        return Fail(error, "unreadable");
    }
    return true;
}

}  // namespace wenlo
