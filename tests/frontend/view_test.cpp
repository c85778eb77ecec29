// The player's conveniences of the main window: keys released when the
// keyboard is lost, Every Frame, fullscreen, a window grown by the user,
// screenshots and the notes over the picture (their lines broken between
// words).
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

#include "frontend/frmabout.h"
#include "frontend/picture_box.h"
#include "frontend/picture_note.h"
#include "frontend_test_support.h"
#include "input/keys.h"
#include "savestate/state_file.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::LoopRom;

namespace {

// Where the picture lies in a grab of the picture widget: the bounding box
// of the pixels that are not the surround colour.
QRect PictureIn(const QImage& grab, QRgb surround) {
    QRect box;
    for (int y = 0; y < grab.height(); ++y)
        for (int x = 0; x < grab.width(); ++x)
            if (grab.pixel(x, y) != surround) box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

class ViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString rom;

    QAction* Action(const char* name) { return w->findChild<QAction*>(name); }
    Machine& M() { return w->machine(); }

    // Runs the loop cartridge; during the game, fn; then stops it.
    void WhilePlaying(const std::function<void()>& fn) {
        dialogs.openAnswers << rom;
        FrameScript script(*w);
        script.After(3, [&] {
            fn();
            M().Running = false;
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
    }

private slots:
    void initTestCase() { rom = test::Q(LoopRom("VIEW").WriteTemp("view")); }
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->picScreen->setFocus();
    }
    void cleanup() { w.reset(); }

    // Hold Left (and Tab) in the picture, open About, release Left there:
    // the machine saw Left go up when the picture lost the keyboard, and
    // fast-forward ended.
    void keysHeldWhenAboutOpensAreReleased() {
        QTest::keyPress(w->picScreen, Qt::Key_Left);
        QTest::keyPress(w->picScreen, Qt::Key_Tab);
        QCOMPARE(int(M().KeyState[keys::Left]), 1);
        QVERIFY(w->FastForwarding());
        Action("mnuHelpAbout")->trigger();
        auto* about = w->findChild<frmAbout*>();
        QVERIFY(about);
        QApplication::setActiveWindow(about);  // as the desktop does when it opens
        QTRY_COMPARE(QApplication::activeWindow(), about);
        QTest::keyRelease(about, Qt::Key_Left);
        QCOMPARE(int(M().KeyState[keys::Left]), 0);
        QVERIFY(!w->FastForwarding());
        QVERIFY(!w->KeyboardHeld().Holds(KeySources::kKeyboard, keys::Left));
        // Back in the picture, Tab works again.
        about->close();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->picScreen->setFocus();
        QTest::keyPress(w->picScreen, Qt::Key_Tab);
        QVERIFY(w->FastForwarding());
        QTest::keyRelease(w->picScreen, Qt::Key_Tab);
    }

    void keysHeldAreReleasedWhenTheKeyboardIsLost_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("focus to a button") << 0;
        QTest::newRow("window minimised") << 1;
        QTest::newRow("held by the window, window deactivated") << 2;
    }
    void keysHeldAreReleasedWhenTheKeyboardIsLost() {
        QFETCH(int, how);
        QWidget* target = w->picScreen;
        if (how == 2) {  // no control has the focus: the window takes the keys itself
            QApplication::focusWidget()->clearFocus();
            target = w.get();
        }
        QTest::keyPress(target, Qt::Key_X);
        QTest::keyPress(target, Qt::Key_Down);
        QCOMPARE(int(M().KeyState[keys::A]), 1);
        if (how == 0) w->cmdLoad->setFocus();
        if (how == 1) w->showMinimized();
        if (how == 2) {
            QWidget other;
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QTRY_COMPARE(int(M().KeyState[keys::A]), 0);
        QCOMPARE(int(M().KeyState[keys::Down]), 0);
    }

    // A run with Every Frame and one without leave the same state file; the
    // entry is unchecked at start-up and mirrors the machine.
    void everyFrameChangesNothingInTheMachine() {
        QVERIFY(!Action("mnuDisplayEveryFrame")->isChecked());
        QVERIFY(!M().DrawEveryFrame);
        const QString demoDir = test::Q(test::MakeTempDir());
        QVERIFY(QFile::copy(WENLO_SOURCE_DIR "/roms/wenlo-demo.gb", demoDir + "/wenlo-demo.gb"));
        QByteArray states[2];
        for (int every = 0; every < 2; ++every) {
            // A fresh window each time: a reset keeps DIV, which would carry
            // the first run's count into the second.
            w = test::OpenWindow(dialogs);
            dialogs.openAnswers << demoDir + "/wenlo-demo.gb";
            FrameScript script(*w);
            script.After(1, [&] {
                if (every) Action("mnuDisplayEveryFrame")->trigger();
                QCOMPARE(M().DrawEveryFrame, every == 1);
                QCOMPARE(Action("mnuDisplayEveryFrame")->isChecked(), every == 1);
                QTest::keyPress(w->picScreen, Qt::Key_Right);
            });
            script.After(100, [&] {
                QTest::keyRelease(w->picScreen, Qt::Key_Right);
                Action("mnuSave")->trigger();
                M().Running = false;
            });
            Action("mnuFileLoad")->trigger();
            QVERIFY(!script.timedOut);
            QFile f(demoDir + "/wenlo-demo.sav");
            QVERIFY(f.open(QIODevice::ReadOnly));
            states[every] = f.readAll();
        }
        QVERIFY(!states[0].isEmpty());
        QCOMPARE(states[1], states[0]);
        Action("mnuDisplayEveryFrame")->trigger();
        QVERIFY(!M().DrawEveryFrame);
    }

    // F11: the picture over the whole screen, scaled by the largest whole
    // number, centred on black; F11 again: the window exactly as it was. In
    // between Escape still stops the game.
    void fullscreenAndBack_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("debugger");
        QTest::newRow("1x1") << 0 << false;
        QTest::newRow("2x2, debugger") << 1 << true;
    }
    void fullscreenAndBack() {
        QFETCH(int, mode);
        QFETCH(bool, debugger);
        if (debugger) Action("mnuCPUDebugger")->trigger();
        WhilePlaying([&] {
            Action(mode ? "mnuDisplay2x2" : "mnuDisplay1x1")->trigger();
            QTest::qWait(50);
            const QRect before = w->geometry();
            const QRect picBefore = w->picScreen->geometry();
            QTest::keyClick(w->picScreen, Qt::Key_F11);
            QVERIFY(w->IsFullscreen());
            QVERIFY(Action("mnuDisplayFullscreen")->isChecked());
            QTRY_COMPARE(w->geometry().size(), w->screen()->geometry().size());
            QVERIFY(!w->menuBar()->isVisible());
            QTRY_COMPARE(w->picScreen->geometry(), w->centralWidget()->rect());
            QCOMPARE(w->cmdStep->isVisible(), debugger);  // covered, not hidden
            const QImage grab = w->picScreen->grab().toImage();
            const QSize pic(M().DisplayMode ? 320 : 160, M().DisplayMode ? 288 : 144);
            const int scale = std::min(grab.width() / pic.width(), grab.height() / pic.height());
            QVERIFY(scale >= 1);
            QCOMPARE(grab.pixel(0, 0), qRgb(0, 0, 0));
            // The loop cartridge leaves the picture blank: it is all back colour.
            const QRect at = PictureIn(grab, qRgb(0, 0, 0));
            QCOMPARE(at.size(), pic * scale);
            QCOMPARE(at.center(), grab.rect().center());

            QTest::keyClick(w->picScreen, Qt::Key_Escape);  // still stops, still fullscreen
            QVERIFY(!M().Running);
            QVERIFY(w->IsFullscreen());
            QTest::keyClick(w->picScreen, Qt::Key_F11);
            QVERIFY(!w->IsFullscreen());
            QVERIFY(!Action("mnuDisplayFullscreen")->isChecked());
            QTRY_COMPARE(w->geometry(), before);
            QVERIFY(w->menuBar()->isVisible());
            QTRY_COMPARE(w->picScreen->geometry(), picBefore);
            QCOMPARE(w->cmdStep->isVisible(), debugger);
            QCOMPARE(int(M().DisplayMode), mode);
        });
    }

    // A window the user makes larger shows a larger picture, by a whole
    // number and centred; the display mode's own size comes back with the
    // next choice of mode.
    void aLargerWindowScalesThePicture() {
        Action("mnuDisplay1x1")->trigger();
        const QSize own = w->size();
        w->resize(own + QSize(200, 200));
        QTRY_COMPARE(w->size(), own + QSize(200, 200));
        QTRY_VERIFY(w->picScreen->width() >= 360);
        const QImage grab = w->picScreen->grab().toImage();
        const QRgb back = grab.pixel(0, 0);
        w->Screen->SetPixel(0, 0, ShadeColors[3]);
        w->Screen->SetPixel(159, 143, ShadeColors[3]);
        const QRect at = PictureIn(w->picScreen->grab().toImage(), back);
        const int scale = std::min(w->picScreen->width() / 160, w->picScreen->height() / 144);
        QVERIFY(scale >= 2);
        QCOMPARE(at.size(), QSize(160, 144) * scale);
        QVERIFY(std::abs(at.center().x() - w->picScreen->rect().center().x()) <= 1);
        QCOMPARE(w->cmdLoad->x(), w->picScreen->geometry().right() + 1 + 2570 / 15 - 164);
        Action("mnuDisplay1x1")->trigger();
        QTRY_COMPARE(w->size(), own);
    }

    // File > Screenshot writes the picture at its own size under the
    // pictures folder, never over an earlier file, and a note names it.
    void screenshotsGoToNewFiles() {
        QVERIFY(!Action("mnuFileScreenshot")->isEnabled());  // no cartridge: nothing to take
        const QString folder = test::Q(test::MakeTempDir()) + "/Pictures/Wenlo";
        w->SetScreenshotFolder(folder);
        QStringList notes;
        WhilePlaying([&] {
            QVERIFY(Action("mnuFileScreenshot")->isEnabled());
            QCOMPARE(Action("mnuFileScreenshot")->shortcut(), QKeySequence(Qt::Key_F9));
            Action("mnu2x2Int")->trigger();
            w->Screen->SetPixel(5, 7, ShadeColors[2]);
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(w->picScreen, Qt::Key_F9);
                notes << w->NoteText();
            }
            QVERIFY(M().Running);
        });
        const QStringList files = QDir(folder).entryList({"*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 3);  // within the same second or not, three files
        for (const QString& f : files) {
            QVERIFY2(QRegularExpression("^view-\\d{8}-\\d{6}(-[23])?\\.png$").match(f).hasMatch(),
                     qPrintable(f));
            const QImage image(folder + "/" + f);
            QCOMPARE(image.size(), QSize(320, 288));
            QCOMPARE(image.pixel(5, 7), QRgb(0xFF000000u | ShadeColors[2]));
            QVERIFY(notes.filter(folder + "/" + f).size() == 1);
        }
        QVERIFY(dialogs.criticals.isEmpty());
    }

    void aFolderThatCannotBeWrittenGivesAMessage() {
        // Below a regular file: no folder can be made there, not even by root.
        const QString file = test::Q(test::MakeTempDir()) + "/plain";
        QFile(file).open(QIODevice::WriteOnly);
        w->SetScreenshotFolder(file + "/Wenlo");
        WhilePlaying([&] {
            const std::vector<uint8_t> before = SerializeState(M());
            Action("mnuFileScreenshot")->trigger();
            QCOMPARE(dialogs.criticals.size(), 1);
            QVERIFY(dialogs.criticals[0].text.startsWith("Could not save the screenshot in " + file));
            QVERIFY(SerializeState(M()) == before);
            QVERIFY(M().Running);
            QVERIFY(w->NoteText().isEmpty());
        });
    }

    // Save State and Load State say where the file is, for about two
    // seconds, over the picture and not in it.
    void notesAfterSaveAndLoad() {
        WhilePlaying([&] {
            Action("mnuSave")->trigger();
            QVERIFY2(w->NoteText().startsWith("State saved to ") && w->NoteText().endsWith("view.sav"),
                     qPrintable(w->NoteText()));
            Action("mnuLoad")->trigger();
            QVERIFY(w->NoteText().startsWith("State loaded from "));
            for (int y = 0; y < w->surface().Height(); ++y)
                for (int x = 0; x < w->surface().Width(); ++x)
                    QCOMPARE(w->surface().GetPixel(x, y), ShadeColors[0]);
            // Painted over the picture: the widget shows print the surface lacks.
            const QImage grab = w->picScreen->grab().toImage();
            QVERIFY(PictureIn(grab, QRgb(0xFF000000u | ShadeColors[0])).isValid());
        });
        QTRY_VERIFY_WITH_TIMEOUT(w->NoteText().isEmpty(), PictureNote::kShownMs + 2000);
    }

    // A note's lines at the smallest print (a 160x144 picture: 152 pixels
    // inside the margins) break between words; only a word too wide for a
    // line by itself is cut. Nothing but the spaces at the breaks is lost.
    void noteLinesKeepWordsWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("atLeastLines");
        QTest::newRow("the suggestion")
            << "This game needs the complete handheld: CPU > Complete Handheld (Ctrl+H)" << 2;
        QTest::newRow("a folder") << "State saved to /home/player/.local/share/Wenlo/states/cartridge.sav"
                                  << 2;
        QTest::newRow("two notes") << "Saved.\nThis game needs the complete handheld" << 2;
        QTest::newRow("one long word") << QString(90, 'x') << 3;
    }
    void noteLinesKeepWordsWhole() {
        QFETCH(QString, text);
        QFETCH(int, atLeastLines);
        QFont font = QApplication::font();
        font.setPointSizeF(6.0);
        const QFontMetrics metrics(font);
        const int width = 152;
        const QStringList lines = NoteLines(metrics, width, text);
        QVERIFY2(lines.size() >= atLeastLines, qPrintable(lines.join('|')));
        for (const QString& line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
        for (const QString& word : text.split(QRegularExpression("[ \n]"))) {
            if (metrics.horizontalAdvance(word) > width) continue;
            bool whole = false;
            for (const QString& line : lines) whole = whole || line.split(' ').contains(word);
            QVERIFY2(whole, qPrintable(word + " in " + lines.join('|')));
        }
        QCOMPARE(lines.join("").remove(' '), QString(text).remove(' ').remove('\n'));
    }
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
