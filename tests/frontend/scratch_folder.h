// Folders that no file permission can make for root: one that really cannot
// be written, and a disk that really fills up. Both are a small tmpfs of the
// test's own, which needs root to mount; a test that cannot have one skips
// and says why. For other users a folder without write permission is
// already unwritable, so that case needs no mount.
#pragma once

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QString>
#include <cerrno>
#include <cstring>
#include <string>

namespace wenlo::test {

class ScratchFolder {
public:
    // Creates dir; as root, mounts a tmpfs of `bytes` bytes on it.
    ScratchFolder(const QString& dir, size_t bytes) : dir_(dir) {
        QDir().mkpath(dir);
        if (::geteuid() != 0) return;
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("wenlo-test", Path().c_str(), "tmpfs", 0, options.c_str()) == 0)
            mounted_ = true;
        else
            why_ = QString("mounting a tmpfs was refused: %1").arg(std::strerror(errno));
    }
    ~ScratchFolder() {
        if (mounted_) ::umount2(Path().c_str(), MNT_DETACH);
        if (sealed_ && !mounted_) ::chmod(Path().c_str(), 0755);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // A disk of its own that can be filled (root only).
    bool isDisk() const { return mounted_; }
    // Whether Seal can work: a mount as root, a permission otherwise.
    bool canSeal() const { return mounted_ || ::geteuid() != 0; }
    // Why not, for QSKIP.
    QString why() const { return why_.isEmpty() ? QString("not root: cannot mount a tmpfs") : why_; }

    // From now on nothing may be written in the folder.
    bool Seal() {
        sealed_ = mounted_ ? ::mount(nullptr, Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0
                           : ::chmod(Path().c_str(), 0555) == 0;
        return sealed_;
    }

    // Writes one file until the disk refuses more; returns the bytes written.
    qint64 Fill(const QString& name) {
        QFile f(dir_ + "/" + name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return 0;
        const QByteArray block(4096, 'x');
        qint64 total = 0;
        for (qint64 n; (n = f.write(block)) > 0;) total += n;
        return total;
    }

private:
    std::string Path() const { return QFile::encodeName(dir_).toStdString(); }

    QString dir_;
    QString why_;
    bool mounted_ = false;
    bool sealed_ = false;
};

}  // namespace wenlo::test
