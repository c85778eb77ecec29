#include "frontend/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace wenlo::ui {

QString RomDialogFolder(const QString& programFolder) {
    // WENLO_DATA_FROM_BIN: the install rules' data folder relative to their
    // executable folder ("../share/wenlo").
    const QString installed = QDir::cleanPath(programFolder + "/" WENLO_DATA_FROM_BIN);
    return QFileInfo(installed).isDir() ? installed : programFolder;
}

QString RomDialogFolder() { return RomDialogFolder(QCoreApplication::applicationDirPath()); }

StateLocation StateLocationFor(const Console& console, const QString& cartridgeFolder,
                               const QString& perUserFolder) {
    using Reason = StateLocation::Reason;
    const QString name = QString::fromStdString(console.StateFileName());
    const QString perUser = QDir(perUserFolder).filePath(name);
    // access(2): false for a read-only mount even for root, and for a
    // folder the user may not write.
    if (!QFileInfo(cartridgeFolder).isWritable()) return {perUser, true, Reason::FolderLocked};
    // Other programs keep a cartridge's battery RAM under the very name of
    // the state file; saving would replace it, and loading would refuse it.
    const QString beside = QDir(cartridgeFolder).filePath(name);
    if (QFileInfo::exists(beside) && !console.IsOwnStateFile(QFile::encodeName(beside).toStdString()))
        return {perUser, true, Reason::ForeignBeside};
    return {beside, false, Reason::None};
}

QString PerUserFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

StateLocation StateLocationFor(const Console& console, const QString& cartridgeFolder) {
    const StateLocation where = StateLocationFor(console, cartridgeFolder, PerUserFolder());
    // Created on first use; if that fails, writing the state reports it.
    if (where.perUser) QDir().mkpath(QFileInfo(where.path).absolutePath());
    return where;
}

QString PerUserStateNote(const QString& folder) {
    return QString("The cartridge's folder cannot be written, so the state is kept in %1.").arg(folder);
}

QString PerUserStateNote(const StateLocation& where) {
    const QFileInfo file(where.path);
    if (where.reason != StateLocation::Reason::ForeignBeside) return PerUserStateNote(file.absolutePath());
    return QString(
               "%1 beside the cartridge is not a Wenlo state file (a battery save?): the state was "
               "saved to %2 instead.")
        .arg(file.fileName(), file.absolutePath());
}

}  // namespace wenlo::ui
