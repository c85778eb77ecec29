#include "savestate/file_io_internal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace wenlo {

namespace fs = std::filesystem;

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
}

bool OutputFile::Open(const std::string& path, WriteFault* fault) {
    if (file_) Close();
    fault_ = fault;
    file_ = std::fopen(path.c_str(), "wb");
    // The codec hands over whole 4096-byte blocks; a second buffer in the C
    // library would only copy them once more.
    if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
    ok_ = file_ != nullptr;
    return ok_;
}

bool OutputFile::Write(const uint8_t* data, size_t size) {
    if (!ok_) return false;
    size_t allowed = size;
    if (fault_ && fault_->bytesLeft >= 0) {
        if (uint64_t(fault_->bytesLeft) < size) allowed = size_t(fault_->bytesLeft);
        fault_->bytesLeft -= int64_t(allowed);
    }
    if (allowed > 0 && std::fwrite(data, 1, allowed, file_) != allowed) ok_ = false;
    if (allowed < size) {
        ok_ = false;
        errno = ENOSPC;
    }
    return ok_;
}

bool OutputFile::Close() {
    if (!file_) return false;
    const int saved = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    // Keep the reason of an earlier failed write rather than the close's.
    if (!ok_) errno = saved;
    ok_ = ok_ && closed;
    return ok_;
}

int64_t RegularFileSize(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return -1;
    const auto size = fs::file_size(path, ec);
    return ec ? -1 : int64_t(size);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ea, eb, eq;
    const fs::path pa = fs::absolute(a, ea).lexically_normal();
    const fs::path pb = fs::absolute(b, eb).lexically_normal();
    if (!ea && !eb && pa == pb) return true;
    return fs::equivalent(a, b, eq) && !eq;
}

std::string BesidePath(const std::string& path, const std::string& name) {
    return (fs::path(path).parent_path() / name).string();
}

bool SyncFileToDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace wenlo
