// Rewind in the main window: Backspace held in the picture runs the demo
// back at least as fast as it was played and plays on from there when
// released; the history starts afresh with every machine replaced; and the
// awkward cases (no history yet, Tab held too, the focus leaving, a dialog)
// leave no key held.
#include <QAction>
#include <QDialog>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/timing.h"
#include "frontend/picture_box.h"
#include "frontend_test_support.h"
#include "savestate/state_file.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;

namespace {

// Runs fn at every frame end of the window's runs, with the frame's number.
class FrameLog {
public:
    FrameLog(frmGB& w, std::function<void(int)> fn) : w_(w), fn_(std::move(fn)) {
        w.SetFrameObserver([this] { fn_(++frames); });
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            timedOut = true;
            w_.machine().Running = false;
        });
        watchdog_.start(30000);
    }
    ~FrameLog() { w_.SetFrameObserver(nullptr); }
    int frames = 0;
    bool timedOut = false;

private:
    frmGB& w_;
    std::function<void(int)> fn_;
    QTimer watchdog_;
};

// A machine's state file fields, hashed: equal states, equal keys.
size_t StateKey(const Machine& m) {
    const std::vector<uint8_t> state = SerializeState(m);
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(state.data()), state.size()));
}

}  // namespace

class RewindTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString demo;
    int exhausted = 0;

    Machine& M() { return w->machine(); }
    void Press(Qt::Key key) { QTest::keyPress(w->picScreen, key); }
    void Release(Qt::Key key) { QTest::keyRelease(w->picScreen, key); }

private slots:
    void initTestCase() {
        const QString dir = test::Q(test::MakeTempDir());
        demo = dir + "/wenlo-demo.gb";
        QVERIFY(QFile::copy(WENLO_SOURCE_DIR "/roms/wenlo-demo.gb", demo));
    }
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        test::ClearSettings();  // the demo back on the design's machine
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        exhausted = 0;
        w->Rewind().SetHistoryExhausted([this] { ++exhausted; });
        w->picScreen->setFocus();
        dialogs.openAnswers << demo;
    }
    void cleanup() { w.reset(); }

    // Played 4 s moving the creature, then rewound for one second: the
    // machine is at a frame end of at least three seconds before, exactly as
    // it was then, and the picture shows it; released, it plays on from there
    // and records again. Held on, it stops at the oldest snapshot, says so
    // once, and the game stays there.
    void holdingBackspaceRunsTheGameBack() {
        std::unordered_map<size_t, int> seen;  // the state at each frame end, recorded
        int rewoundTo = -1, playedOn = 0, pinned = 0, sizeAtRelease = 0;
        size_t last = 0;
        const int played = 240, held = 60;
        FrameLog log(*w, [&](int frame) {
            const size_t state = StateKey(M());
            if (frame == 2) Press(Qt::Key_Right);
            if (frame == 200) Release(Qt::Key_Right);
            if (frame <= played) seen.emplace(state, frame);
            if (frame == played) Press(Qt::Key_Backspace);
            if (frame == played + held) {
                const auto it = seen.find(state);
                rewoundTo = it == seen.end() ? -1 : it->second;
                Release(Qt::Key_Backspace);
                sizeAtRelease = int(w->Rewind().History().Count());
            }
            if (frame > played + held && frame <= played + held + 30 && seen.count(state) == 0) ++playedOn;
            if (frame == played + held + 30) {
                QCOMPARE(int(w->Rewind().History().Count()), sizeAtRelease + 10);
                Press(Qt::Key_Backspace);
            }
            if (frame > played + held + 30 + 200 && state == last) ++pinned;
            last = state;
            if (frame == played + held + 30 + 230) M().Running = false;
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!log.timedOut);
        QVERIFY2(rewoundTo > 0, "the rewind did not land on a state of the game played");
        QVERIFY2(rewoundTo <= played - held * kFrameSkip + 3, qPrintable(QString::number(rewoundTo)));
        QCOMPARE(playedOn, 30);
        QCOMPARE(exhausted, 1);
        QCOMPARE(pinned, 30);
        Release(Qt::Key_Backspace);
        QVERIFY(!w->Rewind().Held());
    }

    // Load ROM, Reset, Free ROM, Load State and a machine switch each start
    // the history afresh; a failed Load State keeps it.
    void replacingTheMachineStartsTheHistoryAfresh_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("kept");
        QTest::newRow("Load ROM") << "mnuFileLoad" << false;
        QTest::newRow("Reset") << "mnuCPUReset" << false;
        QTest::newRow("Free ROM") << "mnuFreeROM" << false;
        QTest::newRow("Load State") << "mnuLoad" << false;
        QTest::newRow("Load State, no file") << "mnuLoad (missing)" << true;
        QTest::newRow("Save State") << "mnuSave" << true;
        QTest::newRow("machine switch") << "mnuCPUHandheld" << false;
    }
    void replacingTheMachineStartsTheHistoryAfresh() {
        QFETCH(QString, command);
        QFETCH(bool, kept);
        dialogs.openAnswers << demo;
        QFile::remove(QFileInfo(demo).dir().filePath("wenlo-demo.sav"));
        size_t before = 0, after = 0;
        FrameLog log(*w, [&](int frame) {
            if (frame == 1 && command == "mnuLoad") w->mnuSave->trigger();
            if (frame != 30) return;
            before = w->Rewind().History().Count();
            w->findChild<QAction*>(command.section(' ', 0, 0))->trigger();
            after = w->Rewind().History().Count();
            w->console().SetRunning(false);
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!log.timedOut);
        QVERIFY(before >= 9);
        QCOMPARE(after, kept ? before : 0);
    }

    // Backspace held right after a load (no history yet): the game plays on,
    // the note is asked for once; with Tab too, both act and both end; the
    // focus leaving the picture, or a dialog taking it, ends the rewind.
    void awkwardHoldsLeaveNoKeyHeld() {
        size_t previous = 0;
        int changed = 0;
        FrameLog log(*w, [&](int frame) {
            const size_t state = StateKey(M());
            if (frame == 1) Press(Qt::Key_Backspace);
            if (frame > 1 && frame <= 20 && state != previous) ++changed;
            previous = state;
            if (frame == 20) {
                QVERIFY(w->Rewind().Held());
                Press(Qt::Key_Tab);
                QVERIFY(w->FastForwarding() && w->Rewind().Held());
                Release(Qt::Key_Tab);
                QVERIFY(!w->FastForwarding() && w->Rewind().Held());
                Press(Qt::Key_Tab);
                Release(Qt::Key_Backspace);
                QVERIFY(w->FastForwarding() && !w->Rewind().Held());
                Release(Qt::Key_Tab);
                Press(Qt::Key_Backspace);
                w->cmdLoad->setFocus();  // the focus leaves the picture
                QVERIFY(!w->Rewind().Held());
                w->picScreen->setFocus();
                Release(Qt::Key_Backspace);
            }
            if (frame == 21) {
                // A dialog opened while Backspace is held takes the focus
                // and the key: the rewind ends.
                QApplication::setActiveWindow(w.get());
                Press(Qt::Key_Backspace);
                QDialog dialog(w.get());
                bool heldInDialog = true;
                QTimer::singleShot(0, &dialog, [&] {
                    QApplication::setActiveWindow(&dialog);
                    heldInDialog = w->Rewind().Held();
                    QTest::keyRelease(&dialog, Qt::Key_Backspace);
                    QTest::keyClick(&dialog, Qt::Key_Backspace);
                    dialog.accept();
                });
                dialog.exec();
                QVERIFY(!heldInDialog);
                QVERIFY(!w->Rewind().Held());
                M().Running = false;
            }
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!log.timedOut);
        QCOMPARE(exhausted, 1);
        QCOMPARE(changed, 19);  // played on all the while
    }
};

QTEST_MAIN(RewindTest)
#include "rewind_test.moc"
