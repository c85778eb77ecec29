// Battery saves of a cartridge on the complete handheld, written by the
// window: two seconds after the game's last write to its RAM (so a crash
// loses at most that), and at once on Free ROM, a machine switch and Exit;
// a save that cannot be written anywhere is told in a note.
#include <QAction>
#include <QtTest>

#include "frontend/machine_choices.h"
#include "frontend_test_support.h"
#include "scratch_folder.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::RomBuilder;

namespace {

// MBC1 with RAM and battery, 8 KiB of RAM: enables the RAM, writes 0x5A to
// its first byte in the first frame, then loops.
RomBuilder BatteryRom() {
    RomBuilder rom(2, 0x03, "BATTERY");
    rom.Put(0x149, {0x02});
    rom.Entry({0x3E, 0x0A, 0xEA, 0x00, 0x00,  // LD A,0x0A; LD (0x0000),A
               0x3E, 0x5A, 0xEA, 0x00, 0xA0,  // LD A,0x5A; LD (0xA000),A
               0x18, 0xFE});                  // JR -2
    return rom;
}

// The battery file's bytes; empty when there is none.
QByteArray Battery(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class BatteryTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;

private slots:
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        test::ClearSettings();
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
    }
    void cleanup() {
        w.reset();
        test::ClearSettings();
    }

    // by: what writes the file; at: the frame it is done in; early: a frame
    // before that, where the file must not be there yet (0: none).
    void theRamIsInTheBatteryFile_data() {
        QTest::addColumn<QString>("by");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("early");
        QTest::newRow("two quiet seconds") << "quiet" << 125 << 100;
        QTest::newRow("Free ROM") << "mnuFreeROM" << 5 << 0;
        QTest::newRow("a machine switch") << "mnuCPUHandheld" << 5 << 0;
        QTest::newRow("Exit") << "mnuFileExit" << 5 << 0;
        QTest::newRow("the window closed") << "close" << 5 << 0;
    }
    void theRamIsInTheBatteryFile() {
        QFETCH(QString, by);
        QFETCH(int, at);
        QFETCH(int, early);
        const QString rom = test::Q(BatteryRom().WriteTemp("battery"));
        const QString sav = QFileInfo(rom).absolutePath() + "/battery.sav";
        MachineChoices().SetMachine(CartridgeKey(rom), MachineKind::Handheld);
        dialogs.openAnswers << rom;
        FrameScript script(*w);
        bool notYet = true;
        QByteArray written;
        if (early) script.After(early, [&] { notYet = !QFile::exists(sav); });
        script.After(at, [&] {
            QVERIFY(w->console().Kind() == MachineKind::Handheld);
            if (by == "close")
                w->close();
            else if (by != "quiet")
                w->findChild<QAction*>(by)->trigger();
            written = Battery(sav);
            w->console().SetRunning(false);
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(notYet);
        QCOMPARE(written.size(), 0x2000);
        QCOMPARE(uint8_t(written[0]), uint8_t(0x5A));
        QCOMPARE(dialogs.endProcessCalls, by == "mnuFileExit" || by == "close" ? 1 : 0);
        QVERIFY(dialogs.criticals.isEmpty());
    }

    // Neither the cartridge's folder nor the per-user folder can be written:
    // the game plays on, the note says so, Free ROM says it again.
    void aSaveThatCannotBeWrittenIsTold() {
        const QString dir = test::Q(test::MakeTempDir()) + "/sealed";
        test::ScratchFolder folder(dir, 1 << 20);
        if (!folder.canSeal()) QSKIP(qPrintable(folder.why()));
        {
            const RomBuilder rom = BatteryRom();
            const std::vector<uint8_t>& image = rom.Bytes();
            QFile f(dir + "/battery.gb");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(reinterpret_cast<const char*>(image.data()), qint64(image.size()));
        }
        QVERIFY(folder.Seal());
        const bool hadXdg = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        const QByteArray xdg = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/dev/null/data");  // under a file: no folder can be made there
        MachineChoices().SetMachine(CartridgeKey(dir + "/battery.gb"), MachineKind::Handheld);
        dialogs.openAnswers << dir + "/battery.gb";
        FrameScript script(*w);
        QString quiet, freed;
        script.After(125, [&] {
            quiet = w->NoteText();
            w->mnuFreeROM->trigger();
            freed = w->NoteText();
        });
        w->mnuFileLoad->trigger();
        if (hadXdg)
            qputenv("XDG_DATA_HOME", xdg);
        else
            qunsetenv("XDG_DATA_HOME");
        QVERIFY(!script.timedOut);
        QVERIFY2(quiet.startsWith("The battery save could not be written: "), qPrintable(quiet));
        QVERIFY2(freed.startsWith("The battery save could not be written: "), qPrintable(freed));
        QVERIFY(!QFile::exists(dir + "/battery.sav"));
    }
};

QTEST_MAIN(BatteryTest)
#include "battery_test.moc"
