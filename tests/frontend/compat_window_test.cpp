// The compatibility report window: its menu entry, its texts, and that it
// follows the cartridge as it runs.
#include "frontend/compat_window.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QtTest>

#include "frontend_test_support.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::RomBuilder;

class CompatWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;

    QString Text() {
        const auto windows = w->findChildren<frmCompat*>();
        return windows.size() == 1 ? windows[0]->txtCompat->toPlainText()
                                   : QString("(%1 windows)").arg(windows.size());
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

    void texts() {
        auto m = std::make_unique<Machine>();
        QCOMPARE(CompatWindowText(*m, false), QString("No cartridge is loaded."));
        QCOMPARE(CompatWindowText(*m, true), QString("Nothing this machine does differently has been used."));
        Note(m->compat, CompatFeature::Sound);
        Note(m->compat, CompatFeature::TimerInterrupt);
        QCOMPARE(
            CompatWindowText(*m, true),
            QString("This cartridge waits for the timer interrupt; this machine has no timer.\n"
                    "    timer-interrupt 1 0 the timer interrupt is enabled (IE bit 2); there is no timer\n"
                    "\n"
                    "This cartridge reads back its sound settings; here they read as written, not as playing.\n"
                    "    sound 1 0 a sound register (0xFF10-0xFF26) read; it gives back what was written, without "
                    "the channel flags and write-only bits"));
    }

    void entryOpensOneWindow() {
        QCOMPARE(w->mnuCPUCompat->objectName(), QString("mnuCPUCompat"));
        QCOMPARE(w->mnuCPUCompat->text(), QString("Compatibility Report..."));
        w->mnuCPUCompat->trigger();
        w->mnuCPUCompat->trigger();
        QCOMPARE(Text(), QString("No cartridge is loaded."));
    }

    // The demo reports nothing; a cartridge loaded while the window is open
    // shows up in it while it runs.
    void followsTheRunningCartridge() {
        const std::string timer =
            RomBuilder(2).Entry({0x3E, 0x04, 0xE0, 0xFF, 0x18, 0xFE}).WriteTemp("timer");  // IE = timer
        QString demoText;
        QString timerText;
        {
            FrameScript script(*w);
            script.After(2, [&] {
                w->mnuCPUCompat->trigger();
                demoText = Text();
                dialogs.openAnswers << test::Q(timer);
                script.After(1, [&] {
                    QTest::qWait(frmCompat::kRefreshMs * 2);  // the window refreshes by itself
                    timerText = Text();
                    w->machine().Running = false;
                });
                w->mnuFileLoad->trigger();
            });
            dialogs.openAnswers << QString(WENLO_SOURCE_DIR "/roms/wenlo-demo.gb");
            w->mnuFileLoad->trigger();
            QVERIFY(!script.timedOut);
        }
        QCOMPARE(demoText, QString("Nothing this machine does differently has been used."));
        QVERIFY2(
            timerText.startsWith("This cartridge waits for the timer interrupt; this machine has no timer.\n"
                                 "    timer-interrupt 1 0 "),
            qPrintable(timerText));
    }
};

QTEST_MAIN(CompatWindowTest)
#include "compat_window_test.moc"
