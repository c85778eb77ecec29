#include "frontend/machine_choices.h"

#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include "core/cartridge.h"

namespace wenlo::ui {

namespace {

QString MachineKey(const QString& key) { return "machines/" + key; }
QString SuggestedKey(const QString& key) { return "suggested/" + key; }

// The program's one settings file, as QSettings places it for the user.
QSettings Open() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Wenlo", "Wenlo"); }

}  // namespace

QString CartridgeKey(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.read(qint64(kMaxRomSize) + 1);
    if (bytes.size() > qint64(kMaxRomSize)) return {};
    const uLong crc =
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size()));
    return QString("%1").arg(uint32_t(crc), 8, 16, QChar('0'));
}

MachineKind MachineChoices::MachineFor(const QString& key) {
    if (key.isEmpty()) return MachineKind::Wenlo;
    QSettings s = Open();
    Check(s);
    MachineKind kind = MachineKind::Wenlo;
    ParseMachineKind(s.value(MachineKey(key)).toString().toStdString(), kind);  // other text: the default
    return kind;
}

void MachineChoices::SetMachine(const QString& key, MachineKind kind) {
    if (key.isEmpty()) return;
    QSettings s = Open();
    s.setValue(MachineKey(key), QString(MachineKindName(kind)));
    s.sync();
    Check(s);
}

bool MachineChoices::Suggested(const QString& key) {
    if (key.isEmpty()) return false;
    QSettings s = Open();
    Check(s);
    return s.value(SuggestedKey(key), false).toBool();
}

void MachineChoices::SetSuggested(const QString& key) {
    if (key.isEmpty()) return;
    QSettings s = Open();
    s.setValue(SuggestedKey(key), true);
    s.sync();
    Check(s);
}

void MachineChoices::Check(const QSettings& s) {
    if (problemMet_ || s.status() == QSettings::NoError) return;
    problemMet_ = true;
    const QString file = QDir::toNativeSeparators(s.fileName());
    problem_ = s.status() == QSettings::FormatError
                   ? QString(
                         "The settings file %1 is damaged: the machine chosen for each cartridge is not "
                         "known and is written anew")
                         .arg(file)
                   : QString(
                         "The settings file %1 cannot be read or written: the machine chosen for a "
                         "cartridge is kept only until the program ends")
                         .arg(file);
}

QString MachineChoices::TakeProblem() {
    QString p;
    p.swap(problem_);
    return p;
}

}  // namespace wenlo::ui
