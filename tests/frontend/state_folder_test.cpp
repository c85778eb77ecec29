// Where Save State and Load State keep the state file: beside the cartridge
// while its folder can be written, else in the per-user data folder; and a
// real full disk under Save State.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

#include "frontend/app_paths.h"
#include "frontend_test_support.h"
#include "savestate/state_file.h"
#include "scratch_folder.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::LoopRom;
using wenlo::test::ScratchFolder;

class StateFolderTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString scratch;  // a fresh folder per test

    // Load ROM of a cartridge at rom, then run body from inside the run.
    void WhileRunning(const QString& rom, std::function<void()> body) {
        dialogs.openAnswers << rom;
        FrameScript script(*w);
        script.After(2, [&] {
            body();
            w->machine().Running = false;
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QStringList Files(const QString& dir) {
        return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot);
    }
    static QString PerUserFolder() {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }

private slots:
    void init() {
        scratch = test::Q(test::MakeTempDir());
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch + "/data"));
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
    }
    void cleanup() {
        w.reset();
        QDir::setCurrent(QDir::tempPath());  // off any mount, so it can go
    }
    void cleanupTestCase() { test::RemoveTempDirs(); }

    void stateGoesBesideTheCartridgeOrToThePerUserFolder_data() {
        QTest::addColumn<bool>("sealed");
        QTest::newRow("writable folder") << false;
        QTest::newRow("read-only folder") << true;
    }
    void stateGoesBesideTheCartridgeOrToThePerUserFolder() {
        QFETCH(bool, sealed);
        const QString games = scratch + "/games";
        ScratchFolder folder(games, 1 << 20);
        if (sealed && !folder.canSeal()) QSKIP(qPrintable(folder.why()));
        const QByteArray cartridge = test::Q(LoopRom("FOLDERS").WriteTemp("folders")).toUtf8();
        QVERIFY(QFile::copy(QString::fromUtf8(cartridge), games + "/folders.gb"));
        if (sealed) QVERIFY(folder.Seal());

        std::vector<uint8_t> saved, loaded;
        QString savedNote;
        WhileRunning(games + "/folders.gb", [&] {
            Machine& m = w->machine();
            m.regB = 0x5A;
            w->mnuSave->trigger();
            savedNote = w->NoteText();
            saved = SerializeState(m);
            m.regB = 0;
            m.regPC = 0x4321;
            w->mnuLoad->trigger();
            loaded = SerializeState(m);
        });
        QVERIFY2(dialogs.criticals.isEmpty(), qPrintable(dialogs.criticals.value(0).text));
        QVERIFY(loaded == saved);  // Load State found it by the same rule
        const QString perUser = PerUserFolder();
        if (!sealed) {
            QCOMPARE(Files(games), QStringList({"folders.gb", "folders.sav"}));
            QVERIFY(!QFile::exists(perUser + "/folders.sav"));
            QCOMPARE(savedNote, "State saved to " + games + "/folders.sav");
        } else {
            QCOMPARE(Files(games), QStringList({"folders.gb"}));
            QCOMPARE(Files(perUser), QStringList({"folders.sav"}));  // no temporaries either
            QCOMPARE(savedNote, PerUserStateNote(perUser));          // over the picture, naming the folder
            QVERIFY(savedNote.contains(perUser));
        }
    }

    // Another program's battery save of the state file's name stays as it
    // is; a state file of this machine there is replaced as always.
    void aForeignFileOfTheStateNameIsLeftAlone_data() {
        QTest::addColumn<bool>("foreign");
        QTest::newRow("8 KiB battery save beside the cartridge") << true;
        QTest::newRow("an earlier state file beside the cartridge") << false;
    }
    void aForeignFileOfTheStateNameIsLeftAlone() {
        QFETCH(bool, foreign);
        const QString games = scratch + "/games";
        QVERIFY(QDir().mkpath(games));
        QVERIFY(QFile::copy(test::Q(LoopRom("FOREIGN").WriteTemp("foreign")), games + "/foreign.gb"));
        const QString beside = games + "/foreign.sav";
        QByteArray before(0x2000, '\0');
        for (int i = 0; i < before.size(); ++i) before[i] = char(i * 37 + 11);
        if (!foreign) {
            std::unique_ptr<Machine> earlier = test::MakeMachine(LoopRom("FOREIGN"), "foreign");
            QVERIFY(WriteStateFile(*earlier, QFile::encodeName(beside).toStdString()));
            before = Read(beside);
        } else {
            QFile file(beside);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        }

        std::vector<uint8_t> saved, loaded;
        QString savedNote;
        WhileRunning(games + "/foreign.gb", [&] {
            Machine& m = w->machine();
            m.regB = 0x5A;
            w->mnuSave->trigger();
            savedNote = w->NoteText();
            saved = SerializeState(m);
            m.regB = 0;
            m.regPC = 0x4321;
            w->mnuLoad->trigger();
            loaded = SerializeState(m);
        });
        QVERIFY2(dialogs.criticals.isEmpty(), qPrintable(dialogs.criticals.value(0).text));
        QVERIFY(loaded == saved);  // Load State found it by the same rule
        const QString perUser = PerUserFolder();
        QCOMPARE(Files(games), QStringList({"foreign.gb", "foreign.sav"}));
        if (foreign) {
            QCOMPARE(Read(beside), before);  // byte for byte
            QCOMPARE(Files(perUser), QStringList({"foreign.sav"}));
            QVERIFY(IsStateFile(QFile::encodeName(perUser + "/foreign.sav").toStdString()));
            StateLocation where{perUser + "/foreign.sav", true, StateLocation::Reason::ForeignBeside};
            QCOMPARE(savedNote, PerUserStateNote(where));
            QVERIFY(savedNote.startsWith("foreign.sav beside the cartridge is not a Wenlo state file"));
            QVERIFY(savedNote.contains(perUser));
        } else {
            QVERIFY(Read(beside) != before);  // replaced by the new state
            QVERIFY(IsStateFile(QFile::encodeName(beside).toStdString()));
            QVERIFY(!QFile::exists(perUser + "/foreign.sav"));
            QCOMPARE(savedNote, "State saved to " + beside);
        }
    }

    void saveFailsWhenThePerUserFolderCannotBeWrittenEither() {
        const QString games = scratch + "/games";
        ScratchFolder folder(games, 1 << 20);
        if (!folder.canSeal()) QSKIP(qPrintable(folder.why()));
        QVERIFY(QFile::copy(test::Q(LoopRom("NOWHERE").WriteTemp("nowhere")), games + "/nowhere.gb"));
        QVERIFY(folder.Seal());
        // The per-user folder would have to be made inside the sealed one.
        qputenv("XDG_DATA_HOME", QFile::encodeName(games + "/data"));
        WhileRunning(games + "/nowhere.gb", [&] { w->mnuSave->trigger(); });
        QCOMPARE(dialogs.criticals.size(), 1);
        const QString text = dialogs.criticals.first().text;
        QVERIFY2(text.startsWith("Could not save the state to " + PerUserFolder() + "/nowhere.sav: "),
                 qPrintable(text));
        QVERIFY(text.endsWith("Any earlier state file is kept."));
        QVERIFY(dialogs.informations.isEmpty());
        QCOMPARE(Files(games), QStringList({"nowhere.gb"}));
    }

    void saveOnAFullDiskKeepsThePreviousFile() {
        const QString disk = scratch + "/disk";
        ScratchFolder folder(disk, 1 << 20);
        if (!folder.isDisk()) QSKIP(qPrintable(folder.why()));
        QVERIFY(QFile::copy(test::Q(LoopRom("FULLDISK").WriteTemp("fulldisk")), disk + "/fulldisk.gb"));
        QByteArray previous;
        qint64 filled = 0;
        WhileRunning(disk + "/fulldisk.gb", [&] {
            w->mnuSave->trigger();
            previous = Read(disk + "/fulldisk.sav");
            filled = folder.Fill("filler");
            w->machine().regB = 0x77;  // a different state to save
            w->machine().RamBanks[0][5] = 0x33;
            w->mnuSave->trigger();
        });
        QVERIFY(!previous.isEmpty());
        QVERIFY(filled > 0);
        QCOMPARE(dialogs.criticals.size(), 1);
        QVERIFY(dialogs.criticals.first().text.startsWith("Could not save the state to " + disk +
                                                          "/fulldisk.sav: "));
        QCOMPARE(Read(disk + "/fulldisk.sav"), previous);  // byte for byte
        QCOMPARE(Files(disk), QStringList({"filler", "fulldisk.gb", "fulldisk.sav"}));
        QVERIFY(dialogs.informations.isEmpty());  // a full disk is not an unwritable folder
    }
};

QTEST_MAIN(StateFolderTest)
#include "state_folder_test.moc"
