// Where the desktop program looks for things on disk: the folder its
// open-file dialog starts in, and where a cartridge's state file lives.
#pragma once

#include <QString>

namespace wenlo::ui {

// The folder the Load ROM dialog opens in: the one holding the demo
// cartridge. An installed copy keeps it in share/wenlo under its prefix,
// found from the executable's own folder (programFolder), so an unpacked
// package finds its own; where that folder does not exist (the build tree)
// it is programFolder itself, where the build puts the cartridge.
QString RomDialogFolder(const QString& programFolder);
// The same for the running program (QCoreApplication::applicationDirPath).
QString RomDialogFolder();

// Where Save State writes and Load State reads a cartridge's state file.
struct StateLocation {
    QString path;          // the state file's full path
    bool perUser = false;  // true: in the per-user data folder
};

// The place of the state file named fileName (the console's StateFileName)
// by one rule for saving and loading: beside the cartridge (cartridgeFolder)
// while that folder can be written, otherwise in perUserFolder. Reading a
// state also needs a writable folder, for its decoding temporary.
StateLocation StateLocationFor(const QString& fileName, const QString& cartridgeFolder,
                               const QString& perUserFolder);
// The same with QStandardPaths::AppDataLocation as the per-user folder,
// created when it is chosen.
StateLocation StateLocationFor(const QString& fileName, const QString& cartridgeFolder);

// The per-user data folder (QStandardPaths::AppDataLocation), not created.
QString PerUserFolder();

// Shown after a state went to the per-user folder, naming it.
QString PerUserStateNote(const QString& folder);

}  // namespace wenlo::ui
