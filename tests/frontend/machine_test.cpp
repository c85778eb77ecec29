// The machine a cartridge runs on: CPU > Complete Handheld moves the game
// to the other machine from wherever the window is (running, paused,
// stopped, in a debugger step or Run To, rewinding, put in with Load To
// Mem), the choice is remembered per cartridge in the settings file, a
// settings file that cannot be used only costs a note, and a cartridge that
// uses what the design's machine lacks gets the suggestion once.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "core/compat.h"
#include "frontend/compat_window.h"
#include "frontend/machine_choices.h"
#include "frontend/picture_box.h"
#include "frontend_test_support.h"
#include "input/keys.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::LoopRom;
using wenlo::test::RomBuilder;

namespace {

const QString kSuggestion = "This game needs the complete handheld: CPU > Complete Handheld (Ctrl+H)";

QString SettingsFile() { return test::Q(test::SettingsFolder()) + "/Wenlo/Wenlo.conf"; }

}  // namespace

class MachineTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString romA, romB;

    QAction* Handheld() { return w->mnuCPUHandheld; }
    bool OnHandheld() { return w->console().Kind() == MachineKind::Handheld; }
    void NewWindow() {
        w.reset();
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

private slots:
    void initTestCase() {
        romA = test::Q(LoopRom("ALPHA").WriteTemp("alpha"));
        romB = test::Q(LoopRom("BRAVO").WriteTemp("bravo"));
    }
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        test::ClearSettings();
        NewWindow();
    }
    void cleanup() {
        w.reset();
        QDir(SettingsFile()).removeRecursively();  // a settings file made a folder
        test::ClearSettings();
    }

    // A game running on the design's machine moves to the handheld and back
    // inside the one run loop, the commands, the check mark and the
    // compatibility window following, and the key the keyboard holds going
    // with it.
    void switchingWhileAGameRuns() {
        QCOMPARE(Handheld()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        w->mnuCPUCompat->trigger();  // opened first: it takes the focus from the picture
        QTest::qWait(20);
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        script.After(2, [&] {
            QTest::keyPress(w->picScreen, Qt::Key_Left);
            Handheld()->trigger();
            QVERIFY(OnHandheld());
            QCOMPARE(w->NoteText(), QString("Now on the complete handheld"));
            QCOMPARE(w->RunDepth(), 1);
            QVERIFY(w->console().Running() && !w->machine().Running);
            QCOMPARE(w->console().ProgramCounter(), 0x100);
            QVERIFY(Handheld()->isChecked() && Handheld()->isEnabled());
            QVERIFY(w->mnuCPUStop->isEnabled() && w->mnuCPU->menuAction()->isVisible());
            QCOMPARE(int(w->machine().KeyState[keys::Left]), 0);  // released from the machine left
            QCOMPARE(w->windowTitle(), QString("Wenlo - ALPHA"));
            QCOMPARE(w->findChild<frmCompat*>()->txtCompat->toPlainText(),
                     QString("On the complete handheld. What the cartridge used that it still lacks:\n\n"
                             "compat: nothing this handheld lacks was used"));
            script.After(2, [&] {
                QCOMPARE(w->console().ProgramCounter(), 0x101);  // the handheld ran DI, loops on JR
                Handheld()->trigger();
                QVERIFY(!OnHandheld() && !Handheld()->isChecked());
                QCOMPARE(w->NoteText(), QString("Now on Wenlo's own machine"));
                QVERIFY(w->machine().Running);
                QCOMPARE(int(w->machine().KeyState[keys::Left]), 1);  // still held on the keyboard
                QCOMPARE(w->findChild<frmCompat*>()->txtCompat->toPlainText(),
                         QString("Nothing this machine does differently has been used."));
                script.After(2, [&] {
                    QCOMPARE(w->machine().regPC, 0x101);
                    w->mnuCPUStop->trigger();
                });
            });
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(w->RunDepth(), 0);
        QVERIFY(!w->console().Running());
        QTest::keyRelease(w->picScreen, Qt::Key_Left);
    }

    // From every place a switch can come, it neither hangs nor piles up
    // loops or waits, and the handheld runs the game after it.
    void switchingFromEveryPlace_data() {
        QTest::addColumn<QString>("place");
        for (const char* p : {"running", "paused", "stopped", "Step in a pause", "Run To", "rewinding"})
            QTest::newRow(p) << QString(p);
    }
    void switchingFromEveryPlace() {
        QFETCH(QString, place);
        w->mnuCPUDebugger->trigger();
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        int depth = -1;
        bool ran = false;
        // Once switched: a few frames on the handheld, then Stop.
        auto afterSwitch = [&] {
            depth = w->RunDepth();
            script.After(3, [&] {
                ran = OnHandheld() && w->console().Running() && w->console().ProgramCounter() == 0x101;
                w->mnuCPUStop->trigger();
            });
        };
        auto doSwitch = [&] {
            Handheld()->trigger();
            afterSwitch();
        };
        script.After(2, [&] {
            if (place == "running") return doSwitch();
            if (place == "paused") {
                w->mnuCPUPause->trigger();
                QTimer::singleShot(0, w.get(), doSwitch);  // handled in the pause wait
                return;
            }
            if (place == "stopped") return w->mnuCPUStop->trigger();
            if (place == "Step in a pause") {
                w->mnuCPUPause->trigger();
                QTimer::singleShot(0, w.get(), doSwitch);
                w->cmdStep->click();  // waits for the pause to end: the switch ends it
                return;
            }
            if (place == "Run To") {
                dialogs.inputAnswers << "2000000000";
                QTimer::singleShot(0, w.get(), doSwitch);
                w->cmdRunTo->click();  // pumps events; the switch ends it
                return;
            }
            QTest::keyPress(w->picScreen, Qt::Key_Backspace);
            script.After(5, [&] {
                doSwitch();
                QTest::keyRelease(w->picScreen, Qt::Key_Backspace);
            });
        });
        w->mnuFileLoad->trigger();
        if (place == "stopped") {
            QCOMPARE(w->RunDepth(), 0);
            script.After(1, [&] {
                depth = w->RunDepth();
                script.After(2, [&] {
                    ran = OnHandheld() && w->console().Running() && w->console().ProgramCounter() == 0x101;
                    w->mnuCPUStop->trigger();
                });
            });
            Handheld()->trigger();  // starts a run of its own
        }
        QVERIFY(!script.timedOut);
        QCOMPARE(depth, 1);
        QVERIFY(ran);
        QCOMPARE(w->RunDepth(), 0);
        QCOMPARE(w->WaitDepth(), 0);
        QVERIFY(!w->mnuCPUPause->isChecked());
    }

    // Without a cartridge there is nothing to move: the entry is off and its
    // shortcut does nothing. Put in with Load To Mem, the cartridge moves
    // without starting, and the debugger steps the handheld; freed, the
    // empty machine stepped is the design's again. The cartridge is named
    // by a path relative to a folder the load leaves.
    void noCartridgeAndLoadToMem() {
        QVERIFY(!Handheld()->isEnabled());
        QTest::keyClick(w->picScreen, Qt::Key_H, Qt::ControlModifier);
        Handheld()->trigger();
        QVERIFY(!OnHandheld() && !w->console().Running());

        w->mnuCPUDebugger->trigger();
        const QFileInfo a(romA);
        QDir::setCurrent(a.absolutePath() + "/..");
        dialogs.openAnswers << a.dir().dirName() + "/" + a.fileName();
        w->cmdLoad2->click();
        QVERIFY(Handheld()->isEnabled());
        QTest::keyClick(w->picScreen, Qt::Key_H, Qt::ControlModifier);  // the CPU menu is hidden
        QVERIFY(OnHandheld());
        QVERIFY(!w->console().Running());
        QVERIFY(!w->mnuCPU->menuAction()->isVisible());
        w->cmdStep->click();
        QVERIFY2(QString::fromStdString(w->RegisterDumpText())
                     .startsWith("AF=$1B0 BC=$13\r\nDE=$D8 HL=$14D\r\n"
                                 "PC=$101 SP=$FFFE\r\nOpcode=$F3"),
                 w->RegisterDumpText().c_str());
        QVERIFY(w->Check1->isChecked() && w->Check2->isChecked() && !w->Check3->isChecked() &&
                w->Check4->isChecked());

        w->mnuFreeROM->trigger();
        QVERIFY(!Handheld()->isEnabled());
        QVERIFY(!OnHandheld());  // an empty machine is the design's
        w->cmdStep->click();
    }

    // The choice is the cartridge's, by its contents, in the settings file:
    // a new window starts it (and a copy under another name) on the
    // handheld, another cartridge on the design's machine.
    void theChoiceIsRememberedPerCartridge() {
        dialogs.openAnswers << romA;
        {
            // Ended before NewWindow below replaces the window it watches.
            FrameScript script(*w);
            script.After(1, [&] {
                Handheld()->trigger();
                script.After(1, [&] { w->mnuCPUStop->trigger(); });
            });
            w->mnuFileLoad->trigger();
        }
        QVERIFY(OnHandheld());

        const QString copy = test::Q(test::MakeTempDir()) + "/renamed.gb";
        QVERIFY(QFile::copy(romA, copy));
        struct Case {
            QString rom;
            bool handheld;
        };
        for (const Case& c : {Case{romA, true}, Case{copy, true}, Case{romB, false}}) {
            NewWindow();
            dialogs.openAnswers << c.rom;
            FrameScript again(*w);
            bool on = !c.handheld, checked = !c.handheld;
            again.After(1, [&] {
                on = OnHandheld();
                checked = Handheld()->isChecked();
                w->mnuCPUStop->trigger();
            });
            w->mnuFileLoad->trigger();
            QVERIFY(!again.timedOut);
            QCOMPARE(on, c.handheld);
            QCOMPARE(checked, c.handheld);
        }
        QVERIFY(QFile(SettingsFile()).exists());
    }

    // A damaged settings file, or one that cannot be written: the cartridge
    // runs on, the switch works, and the problem is told once.
    void settingsFileThatCannotBeUsed_data() {
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("said");
        QTest::newRow("damaged") << true << "is damaged";
        QTest::newRow("cannot be written") << false << "cannot be read or written";
    }
    void settingsFileThatCannotBeUsed() {
        QFETCH(bool, damaged);
        QFETCH(QString, said);
        QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
        QFile::remove(SettingsFile());
        if (damaged) {
            QFile f(SettingsFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[machines\n\x01\x02 =");
        } else {
            QVERIFY(QDir().mkpath(SettingsFile()));  // a folder where the file would be
        }
        dialogs.openAnswers << romA << romB;
        FrameScript script(*w);
        QString first, afterSwitch, second;
        script.After(1, [&] {
            first = w->NoteText();
            Handheld()->trigger();
            afterSwitch = w->NoteText();
            script.After(1, [&] {
                w->ShowNote("marker");
                w->mnuFileLoad->trigger();
                script.After(1, [&] {
                    second = w->NoteText();
                    w->mnuCPUStop->trigger();
                });
            });
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY2(first.startsWith("The settings file ") && first.contains(said), qPrintable(first));
        QCOMPARE(afterSwitch, QString("Now on the complete handheld"));
        QCOMPARE(second, QString("marker"));  // nothing said again
        QVERIFY(dialogs.criticals.isEmpty());
    }

    // The suggestion comes for what keeps a game from working on the design's
    // machine in its first five seconds, not for what it only does
    // differently, and once per cartridge, in this window or the next.
    void theSuggestionComesOnce_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("cartType");
        QTest::addColumn<int>("noteAt");  // a timer interrupt noted at this frame; 0: none
        QTest::addColumn<bool>("suggested");
        const auto io = [](uint8_t value, uint8_t reg) {  // LD A,value; LDH (reg),A; JR -2
            return QByteArray("\x3E", 1) + char(value) + '\xE0' + char(reg) + QByteArray("\x18\xFE", 2);
        };
        const QByteArray loop("\xF3\x18\xFE", 3);
        QTest::newRow("timer interrupt") << io(0x04, 0xFF) << 0 << 0 << true;
        QTest::newRow("serial interrupt") << io(0x08, 0xFF) << 0 << 0 << true;
        QTest::newRow("window layer") << io(0xB1, 0x40) << 0 << 0 << true;
        QTest::newRow("STAT interrupt select") << io(0x40, 0x41) << 0 << 0 << true;
        QTest::newRow("a bank controller it lacks") << loop << 0x19 << 0 << true;
        QTest::newRow("sound only") << io(0x80, 0x26) << 0 << 0 << false;
        QTest::newRow("nothing") << loop << 0 << 0 << false;
        QTest::newRow("timer interrupt after five seconds") << loop << 0 << 310 << false;
    }
    void theSuggestionComesOnce() {
        QFETCH(QByteArray, code);
        QFETCH(int, cartType);
        QFETCH(int, noteAt);
        QFETCH(bool, suggested);
        RomBuilder rom(2, uint8_t(cartType), "SUGGEST");
        rom.Put(0x100, std::vector<uint8_t>(code.begin(), code.end()));
        const QString path = test::Q(rom.WriteTemp("suggest"));
        for (int window = 0; window < 2; ++window) {
            if (window) NewWindow();
            dialogs.openAnswers << path;
            FrameScript script(*w);
            QString note;
            const int last = noteAt ? noteAt + 5 : 10;
            if (noteAt)
                script.After(noteAt, [&] { Note(w->machine().compat, CompatFeature::TimerInterrupt); });
            script.After(last, [&] {
                note = w->NoteText();
                w->mnuCPUStop->trigger();
            });
            w->mnuFileLoad->trigger();
            QVERIFY(!script.timedOut);
            QCOMPARE(note, suggested && window == 0 ? kSuggestion : QString());
            QVERIFY(!OnHandheld());  // suggested, not chosen
        }
    }
};

QTEST_MAIN(MachineTest)
#include "machine_test.moc"
