// Load ROM, Free ROM, Reset, Pause, Stop, Exit and drag and drop, driven
// through the real menu entries and buttons while the machine runs.
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include "frontend_test_support.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::LoopRom;

namespace {

// The lifecycle states of the window, as the enabled/visible/checked table
// of the main window describes them.
enum class State { NoCartridge, Running, Stopped };

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString romA, romB;
    QString startDir;

    QAction* Action(const char* name) { return w->findChild<QAction*>(name); }
    QPushButton* Button(const char* name) { return w->findChild<QPushButton*>(name); }

    // Every row of the state table for one state; stopEnabled differs after
    // Escape (which leaves Stop enabled).
    void CheckState(State s, bool stopEnabled) {
        const bool loaded = s != State::NoCartridge;
        QCOMPARE(Button("cmdStop")->isEnabled(), loaded);
        QCOMPARE(Action("mnuFreeROM")->isEnabled(), loaded);
        QCOMPARE(w->findChild<QMenu*>("mnuDisplay")->menuAction()->isVisible(), loaded);
        QCOMPARE(w->findChild<QMenu*>("mnuCPU")->menuAction()->isVisible(), loaded);
        for (const char* name : {"mnuCPUReset", "mnuCPUPause", "mnuSave", "mnuLoad"})
            QVERIFY2(Action(name)->isEnabled() == loaded, name);
        QCOMPARE(Action("mnuCPUStop")->isEnabled(), stopEnabled);
        for (const char* name : {"mnuFileLoad", "mnuFileExit", "mnuHelpAbout"})
            QVERIFY2(Action(name)->isEnabled(), name);
        QVERIFY(Button("cmdLoad")->isEnabled() && Button("cmdExit")->isEnabled());
        // ROM Info is offered exactly while a cartridge is loaded.
        QCOMPARE(Action("mnuFileROMInfo")->isVisible(), loaded);
        QCOMPARE(Action("mnuFileROMInfo")->isEnabled(), loaded);
        QCOMPARE(Action("mnuCPUPause")->isChecked(), w->machine().Paused);
        QCOMPARE(w->machine().Running, s == State::Running);
    }

    bool PictureIsClear() {
        const Surface& s = w->surface();
        for (int y = 0; y < s.Height(); ++y)
            for (int x = 0; x < s.Width(); ++x)
                if (s.GetPixel(x, y) != ShadeColors[0]) return false;
        return true;
    }

    void Smudge() { const_cast<Surface&>(w->surface()).SetPixel(3, 3, ShadeColors[3]); }

private slots:
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void initTestCase() {
        startDir = QDir::currentPath();
        romA = test::Q(LoopRom("ALPHA").WriteTemp("alpha"));
        romB = test::Q(LoopRom("BRAVO").WriteTemp("bravo.old"));
    }
    void init() {
        QDir::setCurrent(startDir);
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanup() { w.reset(); }

    void loadRomAsksWithTheDialogAndRuns() {
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        script.After(3, [&] {
            CheckState(State::Running, true);
            QCOMPARE(w->windowTitle(), QString("Wenlo - ALPHA"));
            w->machine().Running = false;
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(dialogs.openCalls.size(), 1);
        const auto& call = dialogs.openCalls.first();
        QCOMPARE(call.title, QString("Open GameBoy ROM..."));
        QCOMPARE(call.folder, QCoreApplication::applicationDirPath());
        QCOMPARE(call.filters,
                 QStringList({"GameBoy ROMs (*.gb)", "GameBoy Color ROMs(*.gbc)", "All Files (*.*)"}));
        // The chosen file's folder is now the current directory.
        QCOMPARE(QDir::currentPath(), QFileInfo(romA).absolutePath());
        QVERIFY(dialogs.criticals.isEmpty());
    }

    // Stop, Reset from stopped, Escape, Free ROM and Unload, one after the
    // other inside the runs they end, checking the whole state table.
    void lifecycleCommands() {
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        script.After(2, [&] {
            Smudge();
            Action("mnuCPUStop")->trigger();
            CheckState(State::Stopped, false);
            QVERIFY(PictureIsClear());
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!w->machine().Running);

        // Reset from stopped starts a run of its own; Escape in the picture
        // ends it without clearing the picture or disabling Stop.
        script.After(2, [&] {
            CheckState(State::Running, true);
            QCOMPARE(w->machine().regPC & 0xFFFF, 0x0101);  // the JR loop at 0x101 after DI
            Smudge();
            QTest::keyPress(w->findChild<QWidget*>("picScreen"), Qt::Key_Escape);
        });
        Action("mnuCPUReset")->trigger();
        CheckState(State::Stopped, true);
        QVERIFY(!PictureIsClear());

        // Pause, then Free ROM through the Unload button.
        script.After(2, [&] {
            Action("mnuCPUPause")->trigger();
            QVERIFY(w->machine().Paused);
            QVERIFY(Action("mnuCPUPause")->isChecked());
            QTimer::singleShot(0, [&] { Button("cmdStop")->click(); });
        });
        Action("mnuCPUReset")->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(!w->machine().Paused);
        CheckState(State::NoCartridge, false);
        QCOMPARE(w->windowTitle(), QString("Wenlo"));
        QVERIFY(PictureIsClear());
        QCOMPARE(int(w->machine().CartType), 0);
        QVERIFY(std::all_of(w->machine().RomWindow.begin(), w->machine().RomWindow.end(),
                            [](uint8_t b) { return b == 0; }));
    }

    void resetWhileRunningKeepsOneLoop() {
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        bool returnedAtOnce = false;
        script.After(2, [&] {
            w->machine().regA = 0x55;
            Action("mnuCPUReset")->trigger();  // must not start a second loop
            returnedAtOnce = w->machine().Running;
            QCOMPARE(int(w->machine().regA), 0x01);
            script.After(2, [&] { Action("mnuCPUStop")->trigger(); });
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(returnedAtOnce);
    }

    // Load ROM while a game runs: the slot returns at once and the loop
    // already running goes on with the new cartridge (no second loop); Stop
    // then ends the run.
    void nestedLoadEndsTogether() {
        dialogs.openAnswers << romA << romB;
        FrameScript script(*w);
        int innerReturned = 0;
        script.After(2, [&] {
            w->machine().Paused = true;  // loading while paused must run the new game
            w->mnuCPUPause->setChecked(true);
            Smudge();
            script.After(1, [&] {
                QCOMPARE(w->windowTitle(), QString("Wenlo - BRAVO"));
                QCOMPARE(QString::fromStdString(w->machine().RomName), QString("bravo"));
                QVERIFY(!w->machine().Paused);
                QVERIFY(!Action("mnuCPUPause")->isChecked());
                Action("mnuCPUStop")->trigger();
            });
            // During the pause nothing advances; release from the queue so
            // the load below runs the new game.
            Button("cmdLoad")->click();
            ++innerReturned;
            QVERIFY(w->machine().Running);
            QCOMPARE(w->RunDepth(), 1);
            QVERIFY(PictureIsClear());
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(innerReturned, 1);
        QCOMPARE(w->RunDepth(), 0);
        QVERIFY(!w->machine().Running);
        QCOMPARE(QDir::currentPath(), QFileInfo(romB).absolutePath());
    }

    void cancelledOrFailedLoadKeepsTheGameRunning_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("messages");
        QTest::addColumn<QString>("why");  // the message's second line
        QTest::newRow("cancelled") << QString() << 0 << QString();
        QTest::newRow("missing file")
            << QString("/nonexistent/dir/none.gb") << 1 << QString("No such file: /nonexistent/dir/none.gb");
        QTest::newRow("empty file") << QString("EMPTY") << 1 << QString("Shorter than a cartridge header: ");
        QTest::newRow("a folder") << QString("/") << 1 << QString("Not a regular file: /");
    }
    void cancelledOrFailedLoadKeepsTheGameRunning() {
        QFETCH(QString, answer);
        QFETCH(int, messages);
        QFETCH(QString, why);
        if (answer == "EMPTY") {
            answer = QString::fromStdString(test::MakeTempDir()) + "/empty.gb";
            QFile f(answer);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        dialogs.openAnswers << romA << answer;
        FrameScript script(*w);
        script.After(2, [&] {
            Action("mnuFileLoad")->trigger();  // returns at once: nothing loaded
            QVERIFY(w->machine().Running);
            script.After(2, [&] {
                QVERIFY(w->machine().Running);
                QCOMPARE(w->windowTitle(), QString("Wenlo - ALPHA"));
                QCOMPARE(QString::fromStdString(w->machine().RomName), QString("alpha"));
                // The running game's state files still go beside it.
                QCOMPARE(QDir::currentPath(), QFileInfo(romA).absolutePath());
                w->machine().Running = false;
            });
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(script.frames >= 4);  // the old game went on after the failure
        QCOMPARE(dialogs.criticals.size(), messages);
        if (messages) {
            QCOMPARE(dialogs.criticals.first().title, QString("Wenlo"));
            const QStringList lines = dialogs.criticals.first().text.split('\n');
            QCOMPARE(lines.size(), 2);
            QCOMPARE(lines[0], QString("Failed to Load ROM."));
            QVERIFY2(lines[1].startsWith(why), qPrintable(lines[1]));
        }
    }

    void exitEndsTheProcessEvenFromANestedRun() {
        dialogs.openAnswers << romA << romB;
        FrameScript script(*w);
        script.After(2, [&] {
            script.After(2, [&] {
                Button("cmdExit")->click();
                QCOMPARE(dialogs.endProcessCalls, 1);
                Action("mnuFileExit")->trigger();
                QCOMPARE(dialogs.endProcessCalls, 2);
                w->close();
                QCOMPARE(dialogs.endProcessCalls, 3);
                w->machine().Running = false;  // the fake does not end the process
            });
            Action("mnuFileLoad")->trigger();
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(Action("mnuFileExit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    }

    void droppingOneFileLoadsIt() {
        QDir::setCurrent(startDir);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(romB)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &drop);
        QVERIFY(drop.isAccepted());
        // The run starts once the drop has been answered.
        FrameScript script(*w);
        bool ran = false;
        script.After(2, [&] {
            ran = true;
            QCOMPARE(w->windowTitle(), QString("Wenlo - BRAVO"));
            QCOMPARE(QDir::currentPath(), QFileInfo(romB).absolutePath());
            w->machine().Running = false;
        });
        QTRY_VERIFY_WITH_TIMEOUT(ran, 10000);
        QVERIFY(dialogs.openCalls.isEmpty());
    }

    void droppingAFileThatIsNoCartridgeShowsTheMessage() {
        const QString path = QString::fromStdString(test::MakeTempDir()) + "/short.gb";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a cartridge");
        f.close();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.get(), &drop);
        QTRY_COMPARE(dialogs.criticals.size(), 1);
        QCOMPARE(dialogs.criticals.first().text,
                 "Failed to Load ROM.\nShorter than a cartridge header: " + QDir::toNativeSeparators(path));
        QVERIFY(!w->machine().Running);
    }

    void otherDropsAreIgnored_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        const QUrl a = QUrl::fromLocalFile(romA), b = QUrl::fromLocalFile(romB);
        QTest::newRow("two files") << QList<QUrl>{a, b} << QString();
        QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(QFileInfo(romA).absolutePath())}
                                  << QString();
        QTest::newRow("a web address") << QList<QUrl>{QUrl("https://example.org/x.gb")} << QString();
        QTest::newRow("plain text") << QList<QUrl>{} << QString("hello");
    }
    void otherDropsAreIgnored() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QMimeData mime;
        if (!urls.isEmpty()) mime.setUrls(urls);
        if (!text.isEmpty()) mime.setText(text);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QCoreApplication::sendEvent(w.get(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        drop.ignore();
        QCoreApplication::sendEvent(w.get(), &drop);
        QVERIFY(!drop.isAccepted());
        QTest::qWait(20);
        QVERIFY(!w->machine().Running);
        QVERIFY(dialogs.criticals.isEmpty());
        QCOMPARE(w->windowTitle(), QString("Wenlo"));
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
