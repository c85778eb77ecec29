// The main window's sound: when the game is heard, the Sound menu's
// choices, a device lost and back, no device at all (SDL's dummy driver
// unless a case says).
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <vector>

#include "audio/apu.h"
#include "frontend/picture_box.h"
#include "frontend/sound_control.h"
#include "frontend/sound_output.h"
#include "frontend_test_support.h"
#include "input/keys.h"

using wenlo::test::FakeDialogs;
using wenlo::test::Played;
using wenlo::ui::frmGB;
using wenlo::ui::SoundOutput;

namespace {

// The window's unit plays at the device's rate, steered by at most kMaxSteer.
bool AtDeviceRate(frmGB& w) {
    const double rate = w.console().Sound().out.rate, device = w.Sound().Output().Rate();
    return device > 0 && std::abs(rate / device - 1) <= SoundOutput::kMaxSteer + 1e-9;
}

// The ways a game stops being heard, and how it comes back.
enum class Quiet { Pause, FastForward, Rewind, Dialog, Stop, Escape, FreeRom };

}  // namespace

class SoundWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        qputenv("SDL_AUDIODRIVER", "dummy");
        wenlo::test::ClearSettings();
    }
    void cleanupTestCase() { wenlo::test::RemoveTempDirs(); }

    // Heard while a run loop plays the game at 1x; silent (faded) from the
    // moment it stops or races, and heard again when it plays on. Racing
    // frames are not even synthesised.
    void silentWhileTheGameDoesNotPlay_data() {
        QTest::addColumn<Quiet>("how");
        QTest::addColumn<bool>("playsOn");
        QTest::newRow("pause") << Quiet::Pause << true;
        QTest::newRow("fast-forward") << Quiet::FastForward << true;
        QTest::newRow("rewind") << Quiet::Rewind << true;
        QTest::newRow("modal dialog") << Quiet::Dialog << true;
        QTest::newRow("stop") << Quiet::Stop << false;
        QTest::newRow("escape") << Quiet::Escape << false;
        QTest::newRow("free rom") << Quiet::FreeRom << false;
    }
    void silentWhileTheGameDoesNotPlay() {
        QFETCH(Quiet, how);
        QFETCH(bool, playsOn);
        FakeDialogs dialogs;
        auto w = wenlo::test::OpenWindow(dialogs);
        QVERIFY2(w->Sound().Output().Available(), w->Sound().Output().Problem().c_str());
        QVERIFY(w->Sound().Muted());  // nothing plays before a game
        wenlo::test::FrameScript script(*w);
        bool heard = false, quiet = false, racingOff = true, heardAgain = false;
        auto silent = [&] { return w->Sound().Muted(); };
        auto thenPlayOn = [&] {
            script.After(2, [&] {
                heardAgain = !silent() && AtDeviceRate(*w);
                w->console().SetRunning(false);
            });
        };
        script.After(3, [&] {
            heard = !silent() && AtDeviceRate(*w);
            switch (how) {
                case Quiet::Pause:
                    w->mnuCPUPause->trigger();
                    quiet = silent();
                    // In the pause wait, where no frame ends.
                    QTimer::singleShot(0, w.get(), [&] {
                        quiet = quiet && silent();
                        w->mnuCPUPause->trigger();
                    });
                    return thenPlayOn();
                case Quiet::FastForward:
                case Quiet::Rewind: {
                    const bool ff = how == Quiet::FastForward;
                    ff ? w->picScreen_FastForward(true) : w->picScreen_Rewind(true);
                    quiet = silent();
                    return script.After(3, [&, ff] {
                        quiet = quiet && silent();
                        racingOff = w->console().Sound().out.rate == 0;
                        ff ? w->picScreen_FastForward(false) : w->picScreen_Rewind(false);
                        thenPlayOn();
                    });
                }
                case Quiet::Dialog:
                    dialogs.whileOpen = [&] { quiet = silent(); };
                    w->mnuFileLoad->trigger();  // cancelled: the game plays on
                    return thenPlayOn();
                case Quiet::Stop: w->mnuCPUStop->trigger(); break;
                case Quiet::Escape: w->picScreen_KeyDown(wenlo::keys::Escape); break;
                case Quiet::FreeRom: w->mnuFreeROM->trigger(); break;
            }
            quiet = silent();
        });
        dialogs.openAnswers << wenlo::test::Q(wenlo::test::LoopRom("QUIET").WriteTemp("quiet"));
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(heard);
        QVERIFY(quiet);
        QVERIFY(racingOff);
        QCOMPARE(heardAgain, playsOn);
        QVERIFY(silent());  // the run is over
    }

    // A note written to the unit of the console in use reaches the device
    // (the disk driver's file), and falls silent when the game stops.
    void aNoteOfTheUnitIsPlayed() {
        QTemporaryDir dir;
        const QString file = dir.filePath("played.raw");
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", file.toLocal8Bit());
        {
            FakeDialogs dialogs;
            auto w = wenlo::test::OpenWindow(dialogs);
            w->SetPaced(true);
            QVERIFY2(w->Sound().Output().Available(), w->Sound().Output().Problem().c_str());
            int frames = 0;
            uint64_t seen = 0;
            w->SetFrameObserver([&] {
                namespace a = wenlo::audio;
                a::Apu& unit = w->console().Sound();
                if (frames++ == 0) {
                    // Channel 2 on both sides at full volume, about 440 Hz,
                    // alone: the power cycled first silences what the machine
                    // left playing (the boot program's channel 1).
                    const std::pair<unsigned, uint8_t> note[] = {
                        {a::kNR52, 0x00}, {a::kNR52, 0x80}, {a::kNR50, 0x77}, {a::kNR51, 0x22},
                        {a::kNR21, 0x80}, {a::kNR22, 0xF0}, {a::kNR23, 0xD6}, {a::kNR24, 0x86}};
                    for (auto [reg, value] : note)
                        a::ApuWrite(unit, uint16_t(a::kFirstRegister + reg), value, unit.last);
                }
                // A machine that does not bring its unit up to the frame's end
                // has it done here, one frame's cycles on.
                if (unit.last == seen) a::ApuRunTo(unit, unit.last + 456 * 154);
                seen = unit.last;
                if (frames == 30) w->console().SetRunning(false);
            });
            dialogs.openAnswers << wenlo::test::Q(wenlo::test::LoopRom("NOTE").WriteTemp("note"));
            w->mnuFileLoad->trigger();
            QCOMPARE(frames, 30);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));  // the fade plays
        }
        const std::vector<int16_t> played = Played(file);
        int loudest = 0;
        for (int16_t v : played) loudest = std::max(loudest, std::abs(int(v)));
        // One of four channels at full level and volume: a quarter of the
        // full swing each way, which the output filter lets the note's first
        // edges reach twice over (the channel starts from its DAC's low end),
        // plus the band-limited step's small overshoot.
        QVERIFY2(loudest > 30700 / 8 && loudest < 30700 * 3 / 5, qPrintable(QString::number(loudest)));
        QVERIFY(!played.empty());
        QCOMPARE(played.back(), int16_t(0));  // faded out at the end
    }

    // Play Sound and the volume: on and 100% at first, remembered in the
    // settings file by the next window; the volume keys work from the
    // picture (and are no game keys), in steps, within 0 to 100%.
    void theChoicesAreRemembered() {
        FakeDialogs dialogs;
        {
            auto w = wenlo::test::OpenWindow(dialogs);
            QApplication::setActiveWindow(w.get());  // where shortcuts work
            QVERIFY(QTest::qWaitForWindowActive(w.get()));
            QVERIFY(w->mnuSoundPlay->isChecked());
            QCOMPARE(w->Sound().Volume(), 100);
            for (int i = 0; i < 3; ++i) QTest::keyClick(w->picScreen, Qt::Key_Down, Qt::ControlModifier);
            QCOMPARE(w->Sound().Volume(), 70);
            QCOMPARE(w->NoteText(), QString("Volume 70%"));
            QVERIFY(!w->KeyboardHeld().Held(wenlo::keys::Down));
            QCOMPARE(w->Sound().Output().Volume(), 0.49f);
            w->mnuSoundPlay->trigger();
            QVERIFY(!w->mnuSoundPlay->isChecked());
            QCOMPARE(w->NoteText(), QString("Sound off"));
        }
        auto w = wenlo::test::OpenWindow(dialogs);
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(!w->mnuSoundPlay->isChecked());
        QCOMPARE(w->Sound().Volume(), 70);
        QCOMPARE(w->console().Sound().out.rate, 0.0);  // off: the unit synthesises nothing
        for (int i = 0; i < 12; ++i) QTest::keyClick(w->picScreen, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(w->Sound().Volume(), 100);
        w->mnuSoundPlay->trigger();
        QVERIFY(AtDeviceRate(*w));
    }

    // A device lost mid-game is noted over the picture, the unit's output
    // off; at the retry it is back, noted, and heard.
    void aLostDeviceIsNotedAndComesBack() {
        FakeDialogs dialogs;
        auto w = wenlo::test::OpenWindow(dialogs);
        wenlo::test::FrameScript script(*w);
        QString lost, back;
        bool offWhileLost = false, heardAgain = false;
        script.After(3, [&] {
            w->Sound().Output().DeviceLost();
            script.After(1, [&] {
                lost = w->NoteText();
                offWhileLost = w->console().Sound().out.rate == 0;
                script.After(SoundOutput::kRetryFrames, [&] {
                    back = w->NoteText();
                    heardAgain = AtDeviceRate(*w);
                    w->console().SetRunning(false);
                });
            });
        });
        dialogs.openAnswers << wenlo::test::Q(wenlo::test::LoopRom("LOST").WriteTemp("lost"));
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(lost, QString("Sound device lost: playing silently until it is back"));
        QVERIFY(offWhileLost);
        QCOMPARE(back, QString("Sound device back"));
        QVERIFY(heardAgain);
    }

    // No device: the game runs as ever, the unit's output off, the entries
    // still work and say why nothing is heard.
    void withoutADeviceTheGamePlaysOnSilently() {
        qputenv("SDL_AUDIODRIVER", "no-such-driver");
        FakeDialogs dialogs;
        auto w = wenlo::test::OpenWindow(dialogs);
        QVERIFY(!w->Sound().Output().Available());
        wenlo::test::FrameScript script(*w);
        script.After(120, [&] { w->console().SetRunning(false); });
        dialogs.openAnswers << wenlo::test::Q(wenlo::test::LoopRom("MUTE").WriteTemp("mute"));
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(script.frames, 120);
        QCOMPARE(w->console().Sound().out.rate, 0.0);
        w->mnuSoundPlay->trigger();
        w->mnuSoundPlay->trigger();
        QVERIFY(w->mnuSoundPlay->isChecked());
        QVERIFY2(w->NoteText().startsWith("Sound on\nNo sound"), qPrintable(w->NoteText()));
    }
};

QTEST_MAIN(SoundWindowTest)
#include "sound_window_test.moc"
