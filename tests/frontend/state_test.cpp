// Save State and Load State through the menus: the round trip, and the
// messages for state files that cannot be read or written.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QtTest>

#include "frontend_test_support.h"
#include "savestate/state_file.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::LoopRom;

class StateTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString rom, folder;

    // Load ROM, then run body from inside the run; body ends the run.
    void WhileRunning(std::function<void()> body) {
        rom = test::Q(LoopRom("STATES").WriteTemp("states"));
        folder = QFileInfo(rom).absolutePath();
        dialogs.openAnswers << rom;
        FrameScript script(*w);
        script.After(2, [&] {
            body();
            w->machine().Running = false;
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
    }
    QStringList FilesInFolder() {
        return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

private slots:
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
    }
    void cleanup() { w.reset(); }

    void saveThenLoadRestoresTheMachine() {
        std::vector<uint8_t> saved, afterLoad;
        WhileRunning([&] {
            Machine& m = w->machine();
            m.regB = 0x42;
            m.RamBanks[0][1] = 0x99;
            m.VideoRam[0x10] = 0x77;
            w->mnuSave->trigger();
            saved = SerializeState(m);
            m.regB = 0;
            m.RamBanks[0][1] = 0;
            m.VideoRam[0x10] = 0;
            m.regPC = 0x1234;
            w->mnuLoad->trigger();
            afterLoad = SerializeState(m);
        });
        QVERIFY(dialogs.criticals.isEmpty());
        QCOMPARE(afterLoad.size(), kStateSize);
        QVERIFY(afterLoad == saved);
        QCOMPARE(int(w->machine().regB), 0x42);
        // Only the state file stays beside the cartridge.
        QCOMPARE(FilesInFolder(), QStringList({"states.gb", "states.sav"}));
        QVERIFY(!QFile::exists(QDir::current().filePath("gb.tmp")));
    }

    void unreadableStateFilesAreRefused_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("damaged") << QByteArray("\xCF\x01garbage that is not a state", 28);
        QTest::newRow("short") << QByteArray(100, '\0');
    }
    void unreadableStateFilesAreRefused() {
        QFETCH(QByteArray, content);
        std::vector<uint8_t> before, after;
        bool paused = false;
        WhileRunning([&] {
            if (!content.isEmpty()) {
                QFile f(folder + "/states.sav");
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(content);
            }
            w->mnuCPUPause->trigger();
            before = SerializeState(w->machine());
            w->mnuLoad->trigger();
            after = SerializeState(w->machine());
            paused = w->machine().Paused;
            w->mnuCPUPause->trigger();
        });
        QCOMPARE(dialogs.criticals.size(), 1);
        QCOMPARE(dialogs.criticals.first().title, QString("Wenlo"));
        QVERIFY(dialogs.criticals.first().text.contains("states.sav"));
        QVERIFY(after == before);  // the machine is as it was
        QVERIFY(paused);
        QVERIFY(!QFile::exists(folder + "/gb.tmp"));
    }

    void failedSaveKeepsThePreviousFile() {
        QByteArray previous;
        WhileRunning([&] {
            w->mnuSave->trigger();
            QFile old(folder + "/states.sav");
            QVERIFY(old.open(QIODevice::ReadOnly));
            previous = old.readAll();
            old.close();
            // A folder where the new file would be written makes the save
            // fail even for root, which no file permission stops.
            QVERIFY(QDir(folder).mkdir("states.sav.new"));
            w->machine().regB = 0x24;
            w->mnuSave->trigger();
        });
        QCOMPARE(dialogs.criticals.size(), 1);
        QCOMPARE(dialogs.criticals.first().title, QString("Wenlo"));
        QVERIFY(dialogs.criticals.first().text.contains("save"));
        QFile kept(folder + "/states.sav");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(!previous.isEmpty());
        QCOMPARE(kept.readAll(), previous);
        QVERIFY(!QFile::exists(folder + "/states.tmp"));
    }
};

QTEST_MAIN(StateTest)
#include "state_test.moc"
