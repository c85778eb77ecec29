// Which machine each cartridge runs on, and whether the suggestion of the
// complete handheld was made for it: remembered in the program's settings
// file (QSettings, organisation and application "Wenlo": on Linux
// ~/.config/Wenlo/Wenlo.conf), keyed by the cartridge's contents, so a
// cartridge renamed or moved keeps its machine.
//
// A settings file that cannot be read or written never stops the program:
// the answers are then the defaults (the design's machine, no suggestion
// made), what is set holds for this run, and the problem is told once.
#pragma once

#include <QString>

#include "core/console.h"

class QSettings;

namespace wenlo::ui {

// The cartridge file's key: zlib's crc32 of its bytes, 8 lower-case hex
// digits. Empty when the file cannot be read (or is larger than any
// cartridge: it will not load anyway).
QString CartridgeKey(const QString& path);

class MachineChoices {
public:
    // The machine remembered for the cartridge; the design's machine when
    // none is (or key is empty).
    MachineKind MachineFor(const QString& key);
    void SetMachine(const QString& key, MachineKind kind);

    // Whether the complete handheld was suggested for the cartridge already.
    bool Suggested(const QString& key);
    void SetSuggested(const QString& key);

    // The settings file's problem met since the last call, said once in the
    // life of this object: "The settings file ... (...): ..."; empty otherwise.
    QString TakeProblem();

private:
    void Check(const QSettings& s);

    bool problemMet_ = false;  // one told already, or waiting to be taken
    QString problem_;
};

}  // namespace wenlo::ui
