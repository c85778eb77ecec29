// The main window as it starts, its display modes and debugger panel
// geometry, and the keyboard rules of the picture and the window.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "frontend/keymap.h"
#include "frontend/layout.h"
#include "frontend/picture_box.h"
#include "frontend_test_support.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;

class StartupTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;

    QAction* Action(const char* name) { return w->findChild<QAction*>(name); }
    QWidget* Control(const char* name) { return w->findChild<QWidget*>(name); }
    QStringList VisibleMenus() {
        QStringList out;
        for (QAction* a : w->menuBar()->actions())
            if (a->isVisible()) out << a->text();
        return out;
    }

private slots:
    void init() {
        w = std::make_unique<frmGB>();
        w->SetDialogs(&dialogs);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanup() { w.reset(); }

    void menuEntriesAtStartup_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checked");
        QTest::newRow("mnuFileLoad") << "Load ROM..."
                                     << "" << true << true << false;
        QTest::newRow("mnuFreeROM") << "Free ROM"
                                    << "" << true << false << false;
        QTest::newRow("mnuFileROMInfo") << "ROM Info"
                                        << "" << false << false << false;
        QTest::newRow("mnuFileExit") << "E&xit"
                                     << "Ctrl+X" << true << true << false;
        QTest::newRow("mnuDisplay1x1") << "1x1"
                                       << "" << true << true << true;
        QTest::newRow("mnuDisplay2x2") << "2x2[SLOW!]"
                                       << "" << true << true << false;
        QTest::newRow("mnu2x2Int") << "2x2(Interlaced)"
                                   << "" << true << true << false;
        QTest::newRow("mnuCPUReset") << "Reset"
                                     << "" << true << false << false;
        QTest::newRow("mnuCPUPause") << "Pause"
                                     << "" << true << false << false;
        QTest::newRow("mnuCPUStop") << "Stop"
                                    << "" << true << false << false;
        QTest::newRow("mnuSave") << "Save State"
                                 << "F5" << true << false << false;
        QTest::newRow("mnuLoad") << "Load State"
                                 << "F7" << true << false << false;
        QTest::newRow("mnuCPUHandheld") << "Complete Handheld"
                                        << "Ctrl+H" << true << false << false;
        QTest::newRow("mnuCPUDebugger") << "Debugger"
                                        << "F12" << true << true << false;
        QTest::newRow("mnuHelpAbout") << "&About"
                                      << "F1" << true << true << false;
        QTest::newRow("mnuFileScreenshot") << "Screenshot"
                                           << "F9" << true << false << false;
        QTest::newRow("mnuDisplayEveryFrame") << "Every Frame"
                                              << "" << true << true << false;
        QTest::newRow("mnuDisplayFullscreen") << "Fullscreen"
                                              << "F11" << true << true << false;
        QTest::newRow("mnuSoundPlay") << "Play Sound"
                                      << "" << true << true << true;
        QTest::newRow("mnuSoundVolumeUp") << "Volume Up"
                                          << "Ctrl+Up" << true << true << false;
        QTest::newRow("mnuSoundVolumeDown") << "Volume Down"
                                            << "Ctrl+Down" << true << true << false;
    }
    void menuEntriesAtStartup() {
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        QFETCH(bool, checked);
        QAction* a = Action(QTest::currentDataTag());
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut().toString(), shortcut);
        QCOMPARE(a->isVisible(), visible);
        QCOMPARE(a->isEnabled(), enabled);
        QCOMPARE(a->isChecked(), checked);
    }

    void menusAndControlsAtStartup() {
        QCOMPARE(VisibleMenus(), QStringList({"&File", "&Help"}));
        QCOMPARE(w->windowTitle(), QString("Wenlo"));
        QCOMPARE(w->machine().DisplayMode, uint8_t(Mode1x1));
        struct Button {
            const char* name;
            const char* caption;
            bool enabled;
        };
        for (const Button& b : {Button{"cmdLoad", "&Load", true}, Button{"cmdStop", "&Unload", false},
                                Button{"cmdExit", "E&xit", true}}) {
            auto* button = w->findChild<QPushButton*>(b.name);
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString(b.caption));
            QCOMPARE(button->isEnabled(), b.enabled);
            QVERIFY(button->isVisible());
        }
        for (const char* hidden :
             {"cmdStep", "cmdRunTo", "cmdLoad2", "lblStats", "Check1", "Check2", "Check3", "Check4"}) {
            QVERIFY2(Control(hidden), hidden);
            QVERIFY2(!Control(hidden)->isVisible(), hidden);
        }
        QVERIFY(Control("Line1")->isVisible());
        // A cleared picture is shade 0 everywhere.
        QCOMPARE(w->surface().GetPixel(0, 0), ShadeColors[0]);
        QCOMPARE(w->surface().GetPixel(159, 143), ShadeColors[0]);
    }

    void pictureHasTheFocusAndTabOrder() {
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(QApplication::focusWidget(), Control("picScreen"));
        // Tab order: picture, Unload, Load, Exit, then the debugger panel.
        QWidget* expected[] = {Control("cmdStop"),  Control("cmdLoad"), Control("cmdExit"),
                               Control("cmdLoad2"), Control("cmdStep"), Control("cmdRunTo"),
                               Control("Check1")};
        QWidget* at = Control("picScreen");
        for (QWidget* next : expected) {
            do at = at->nextInFocusChain();
            while (at->focusPolicy() == Qt::NoFocus);
            QCOMPARE(at, next);
        }
    }

    void displayModes_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QRect>("picture");
        QTest::addColumn<int>("buttonsLeft");
        QTest::addColumn<bool>("clears");
        QTest::newRow("2x2") << "mnuDisplay2x2" << 1 << TwipRect(0, 120, 4810, 4490) << Px(5015) << false;
        QTest::newRow("interlaced") << "mnu2x2Int" << 2 << TwipRect(0, 120, 4810, 4490) << Px(5015) << true;
        QTest::newRow("1x1") << "mnuDisplay1x1" << 0 << TwipRect(0, 120, 2455, 2220) << Px(2570) << false;
    }
    void displayModes() {
        QFETCH(QString, entry);
        QFETCH(int, mode);
        QFETCH(QRect, picture);
        QFETCH(int, buttonsLeft);
        QFETCH(bool, clears);
        // Start from the other size, so that every entry really resizes.
        (mode == 0 ? Action("mnuDisplay2x2") : Action("mnuDisplay1x1"))->trigger();
        const QSize before = w->size();
        auto& surface = const_cast<Surface&>(w->surface());
        surface.SetPixel(5, 5, ShadeColors[3]);

        Action(entry.toLatin1())->trigger();
        QCOMPARE(int(w->machine().DisplayMode), mode);
        QCOMPARE(Control("picScreen")->geometry(), picture);
        const int tops[] = {Px(120), Px(840), Px(1560)};
        const char* buttons[] = {"cmdLoad", "cmdStop", "cmdExit"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Control(buttons[i])->x(), buttonsLeft);
            QCOMPARE(Control(buttons[i])->y(), tops[i]);
            QCOMPARE(Control(buttons[i])->size(), TwipRect(0, 0, 1335, 615).size());
        }
        QCOMPARE(Action("mnuDisplay1x1")->isChecked(), mode == 0);
        QCOMPARE(Action("mnuDisplay2x2")->isChecked(), mode == 1);
        QCOMPARE(Action("mnu2x2Int")->isChecked(), mode == 2);
        QCOMPARE(w->surface().Width(), ModeWidth(uint8_t(mode)));
        QCOMPARE(w->surface().Height(), ModeHeight(uint8_t(mode)));
        // The picture holds the mode's drawing area, and the window grew or
        // shrank with it.
        QVERIFY(picture.width() >= w->surface().Width() && picture.height() >= w->surface().Height());
        QVERIFY(w->size() != before);
        QVERIFY(w->centralWidget()->rect().contains(Control("cmdExit")->geometry()));
        QVERIFY(w->centralWidget()->rect().contains(picture));
        QCOMPARE(w->surface().GetPixel(5, 5), clears ? ShadeColors[0] : ShadeColors[3]);
    }

    // In every mode the shown panel lies beside or below the picture and the
    // buttons, inside the window.
    void debuggerPanelNeverCovers_data() {
        QTest::addColumn<QString>("entry");
        QTest::newRow("1x1") << "mnuDisplay1x1";
        QTest::newRow("2x2") << "mnuDisplay2x2";
        QTest::newRow("interlaced") << "mnu2x2Int";
    }
    void debuggerPanelNeverCovers() {
        QFETCH(QString, entry);
        Action(entry.toLatin1())->trigger();
        const QSize without = w->size();
        QTest::keyClick(w.get(), Qt::Key_F12);
        QVERIFY(Action("mnuCPUDebugger")->isChecked());
        const QStringList main = {"picScreen", "cmdLoad", "cmdStop", "cmdExit"};
        const QStringList panel = {"cmdLoad2", "cmdStep", "cmdRunTo", "lblStats",
                                   "Check1",   "Check2",  "Check3",   "Check4"};
        const QRect client = w->centralWidget()->rect();
        for (const QString& p : panel) {
            QWidget* pw = Control(p.toLatin1());
            QVERIFY2(pw->isVisible(), qPrintable(p));
            QVERIFY2(client.contains(pw->geometry()), qPrintable(p));
            for (const QString& c : main)
                QVERIFY2(!pw->geometry().intersects(Control(c.toLatin1())->geometry()),
                         qPrintable(p + " covers " + c));
        }
        // Check boxes must not overlap each other either (their text must show).
        for (int i = 1; i < 4; ++i)
            QVERIFY(!Control(QString("Check%1").arg(i).toLatin1())
                         ->geometry()
                         .intersects(Control(QString("Check%1").arg(i + 1).toLatin1())->geometry()));
        QVERIFY(w->width() > without.width() && w->height() > without.height());
        QTest::keyClick(w.get(), Qt::Key_F12);
        QVERIFY(!Control("lblStats")->isVisible());
        QCOMPARE(w->size(), without);
    }

    void panelKeepsItsDesignPlacesIn1x1() {
        const MainLayout l = ComputeMainLayout(Mode1x1, true);
        QCOMPARE(l.cmdLoad2, TwipRect(3960, 120, 1335, 615));
        QCOMPARE(l.cmdStep, TwipRect(3960, 840, 1335, 615));
        QCOMPARE(l.cmdRunTo, TwipRect(3960, 1560, 1335, 615));
        QCOMPARE(l.lblStats, TwipRect(0, 2640, 4815, 1935));
        QCOMPARE(l.Check[0], TwipRect(0, 4680, 495, 255));
        QCOMPARE(l.Check[3], TwipRect(1800, 4680, 735, 255));
    }

    void hostKeysToKeyCodes_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("code");
        QTest::newRow("right") << int(Qt::Key_Right) << 0x27;
        QTest::newRow("left") << int(Qt::Key_Left) << 0x25;
        QTest::newRow("up") << int(Qt::Key_Up) << 0x26;
        QTest::newRow("down") << int(Qt::Key_Down) << 0x28;
        QTest::newRow("X is A") << int(Qt::Key_X) << 0x58;
        QTest::newRow("Z is B") << int(Qt::Key_Z) << 0x5A;
        QTest::newRow("C is Select") << int(Qt::Key_C) << 0x43;
        QTest::newRow("V is Start") << int(Qt::Key_V) << 0x56;
        QTest::newRow("escape") << int(Qt::Key_Escape) << 27;
        QTest::newRow("A") << int(Qt::Key_A) << 0x41;
        QTest::newRow("digit 7") << int(Qt::Key_7) << 0x37;
        QTest::newRow("F1") << int(Qt::Key_F1) << 0x70;
        QTest::newRow("F12") << int(Qt::Key_F12) << 0x7B;
        QTest::newRow("space") << int(Qt::Key_Space) << 0x20;
        QTest::newRow("return") << int(Qt::Key_Return) << 0x0D;
        QTest::newRow("tab") << int(Qt::Key_Tab) << 0x09;
        QTest::newRow("no code") << int(Qt::Key_Eacute) << -1;
        QTest::newRow("media key") << int(Qt::Key_VolumeUp) << -1;
    }
    void hostKeysToKeyCodes() {
        QFETCH(int, qtKey);
        QFETCH(int, code);
        QCOMPARE(HostKeyToKeyCode(qtKey), code);
    }

    // Who sees a key: the picture (Escape also stops), the window only when
    // no control has the focus, nobody when a button has it.
    void keyRouting_data() {
        QTest::addColumn<QString>("focus");  // control name, or "" for none
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<bool>("stops");
        QTest::newRow("picture X") << "picScreen" << int(Qt::Key_X) << 0x58 << true << false;
        QTest::newRow("picture arrow") << "picScreen" << int(Qt::Key_Down) << 0x28 << true << false;
        QTest::newRow("picture Escape") << "picScreen" << int(Qt::Key_Escape) << 27 << true << true;
        QTest::newRow("window Escape") << "" << int(Qt::Key_Escape) << 27 << true << false;
        QTest::newRow("window Z") << "" << int(Qt::Key_Z) << 0x5A << true << false;
        QTest::newRow("button X") << "cmdLoad" << int(Qt::Key_X) << 0x58 << false << false;
        QTest::newRow("button Escape") << "cmdExit" << int(Qt::Key_Escape) << 27 << false << false;
    }
    void keyRouting() {
        QFETCH(QString, focus);
        QFETCH(int, qtKey);
        QFETCH(int, code);
        QFETCH(bool, recorded);
        QFETCH(bool, stops);
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QWidget* target = w.get();
        if (focus.isEmpty()) {
            if (QApplication::focusWidget()) QApplication::focusWidget()->clearFocus();
            QVERIFY(!QApplication::focusWidget());
        } else {
            target = Control(focus.toLatin1());
            target->setFocus();
            QCOMPARE(QApplication::focusWidget(), target);
        }
        Machine& m = w->machine();
        m.Running = true;
        QTest::keyPress(target, Qt::Key(qtKey));
        QCOMPARE(int(m.KeyState[code]), recorded ? 1 : 0);
        QCOMPARE(m.Running, !stops);
        QTest::keyRelease(target, Qt::Key(qtKey));
        QCOMPARE(int(m.KeyState[code]), 0);
        m.Running = false;
    }

    void tabHeldInThePictureFastForwards() {
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QWidget* pic = Control("picScreen");
        pic->setFocus();
        QTest::keyPress(pic, Qt::Key_Tab);
        QVERIFY(w->FastForwarding());
        QCOMPARE(QApplication::focusWidget(), pic);  // Tab did not move the focus
        QTest::keyRelease(pic, Qt::Key_Tab);
        QVERIFY(!w->FastForwarding());
        // Losing the focus while Tab is held ends the fast-forward too.
        QTest::keyPress(pic, Qt::Key_Tab);
        Control("cmdLoad")->setFocus();
        QVERIFY(!w->FastForwarding());
    }

    void closingTheWindowEndsTheProcess() {
        w->close();
        QCOMPARE(dialogs.endProcessCalls, 1);
        dialogs.endProcessCalls = 0;
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
