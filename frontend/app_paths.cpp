#include "frontend/app_paths.h"

#include <QCoreApplication>
#include <QDir>
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

StateLocation StateLocationFor(const QString& name, const QString& cartridgeFolder,
                               const QString& perUserFolder) {
    // access(2): false for a read-only mount even for root, and for a
    // folder the user may not write.
    if (QFileInfo(cartridgeFolder).isWritable()) return {QDir(cartridgeFolder).filePath(name), false};
    return {QDir(perUserFolder).filePath(name), true};
}

QString PerUserFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

StateLocation StateLocationFor(const QString& fileName, const QString& cartridgeFolder) {
    const StateLocation where = StateLocationFor(fileName, cartridgeFolder, PerUserFolder());
    // Created on first use; if that fails, writing the state reports it.
    if (where.perUser) QDir().mkpath(QFileInfo(where.path).absolutePath());
    return where;
}

QString PerUserStateNote(const QString& folder) {
    return QString("The cartridge's folder cannot be written, so the state is kept in %1.").arg(folder);
}

}  // namespace wenlo::ui
