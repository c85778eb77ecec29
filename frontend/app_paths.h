// Where the desktop program looks for things on disk: the folder its
// open-file dialog starts in, and where a cartridge's state file lives.
#pragma once

#include <QString>

#include "core/console.h"

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
    // Why the state is not beside the cartridge.
    enum class Reason {
        None,           // it is beside the cartridge
        FolderLocked,   // the cartridge's folder cannot be written
        ForeignBeside,  // <RomName>.sav there is some other file (a battery save?)
    };
    QString path;          // the state file's full path
    bool perUser = false;  // true: in the per-user data folder
    Reason reason = Reason::None;
};

// The state file's place by one rule for saving and loading: beside the
// cartridge (cartridgeFolder) while that folder can be written and holds no
// file of the state's name that is not the console's own state file
// (Console::IsOwnStateFile: another program's battery save of the same name
// is never written over), otherwise in perUserFolder. Reading a state also
// needs a writable folder, for its decoding temporary. Telling a state file
// from a foreign one writes nothing.
StateLocation StateLocationFor(const Console& console, const QString& cartridgeFolder,
                               const QString& perUserFolder);
// The same with QStandardPaths::AppDataLocation as the per-user folder,
// created when it is chosen.
StateLocation StateLocationFor(const Console& console, const QString& cartridgeFolder);

// The per-user data folder (QStandardPaths::AppDataLocation), not created.
QString PerUserFolder();

// Shown after a state went to the per-user folder because the cartridge's
// folder cannot be written, naming the per-user folder.
QString PerUserStateNote(const QString& folder);
// Shown after a state went to the per-user folder at where, saying why:
// PerUserStateNote(folder) for a locked folder, and for a foreign file of
// the state's name beside the cartridge, that file's name and the folder.
QString PerUserStateNote(const StateLocation& where);

}  // namespace wenlo::ui
