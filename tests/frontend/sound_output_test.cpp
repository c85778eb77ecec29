// The sound device output on SDL's own drivers, without hardware: "dummy"
// plays in real time into nothing, "disk" into a file that shows what was
// played. Frames are fed at the machine's frame rate, as the run loop does.
// Then the main window's use of it: when the game is heard, the Sound menu's
// choices, no device at all.
#include "frontend/sound_output.h"

#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "core/timing.h"
#include "frontend/picture_box.h"
#include "frontend/sound_control.h"
#include "frontend_test_support.h"
#include "input/keys.h"

using wenlo::test::FakeDialogs;
using wenlo::ui::frmGB;
using wenlo::ui::SoundOutput;
using Clock = std::chrono::steady_clock;

namespace {

// A 1 kHz sine on both sides, continuing from call to call (starting off
// zero, so that it stands out from silence).
struct Tone {
    double phase = 0.5;
    std::vector<int16_t> Frames(size_t n, double rate) {
        std::vector<int16_t> v(n * 2);
        for (size_t i = 0; i < n; ++i) {
            v[i * 2] = v[i * 2 + 1] = int16_t(std::lround(10000 * std::sin(phase)));
            phase += 2 * 3.14159265358979 * 1000 / rate;
        }
        return v;
    }
};

// Feeds `seconds` of frames at the machine's frame rate: each frame the
// frames the last steered rate asks for. check runs after each frame.
template <class Check>
void Feed(SoundOutput& out, Tone& tone, double seconds, Check check, double speed = 1) {
    const auto frame = std::chrono::duration<double>(1 / wenlo::kFramesPerSecond / speed);
    double rate = out.Rate(), owed = 0;
    const auto start = Clock::now();
    const int frames = int(seconds * wenlo::kFramesPerSecond * speed);
    for (int f = 0; f < frames; ++f) {
        owed += rate / wenlo::kFramesPerSecond;
        const size_t n = size_t(owed);
        owed -= double(n);
        std::vector<int16_t> v = tone.Frames(n, out.Rate());
        rate = out.Queue(v.data(), n);
        check(f, rate);
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(frame * (f + 1)));
    }
}

// What a file written by SDL's disk driver holds: 16-bit stereo frames.
std::vector<int16_t> Played(const QString& file) {
    std::ifstream in(file.toStdString(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> played(bytes.size() / 2);
    std::memcpy(played.data(), bytes.data(), played.size() * 2);
    return played;
}

// The window's unit plays at the device's rate, steered by at most kMaxSteer.
bool AtDeviceRate(frmGB& w) {
    const double rate = w.console().Sound().out.rate, device = w.Sound().Output().Rate();
    return device > 0 && std::abs(rate / device - 1) <= SoundOutput::kMaxSteer + 1e-9;
}

// The ways a game stops being heard, and how it comes back.
enum class Quiet { Pause, FastForward, Rewind, Dialog, Stop, Escape, FreeRom };

}  // namespace

class SoundOutputTest : public QObject {
    Q_OBJECT

private slots:
    // A mute's fade always lasts its full length, from the first unplayed
    // frame down to silence, however few frames were left to play.
    void theFadeOutLastsItsLengthWhateverIsLeft_data() {
        QTest::addColumn<int>("unplayed");
        QTest::addColumn<int>("tailFrames");
        QTest::newRow("plenty") << 500 << 240;
        QTest::newRow("just the fade") << 240 << 240;
        QTest::newRow("nearly dry") << 10 << 240;
        QTest::newRow("more than kept") << 5000 << 240;
        QTest::newRow("dry") << 0 << 0;
    }
    void theFadeOutLastsItsLengthWhateverIsLeft() {
        QFETCH(int, unplayed);
        QFETCH(int, tailFrames);
        std::vector<int16_t> history(2 * 1000);
        for (size_t i = 0; i < history.size(); ++i) history[i] = int16_t(i % 2 ? -8000 : 8000);
        const std::vector<int16_t> tail = wenlo::ui::FadeOutTail(history, size_t(unplayed), 240);
        QCOMPARE(int(tail.size()), 2 * tailFrames);
        for (int i = 1; i < tailFrames; ++i) {
            QVERIFY2(std::abs(tail[i * 2]) <= std::abs(tail[i * 2 - 2]), qPrintable(QString::number(i)));
            QVERIFY2(std::abs(tail[i * 2] - tail[i * 2 - 2]) <= 8000 / 240 + 1,
                     qPrintable(QString::number(i)));
            QCOMPARE(int(tail[i * 2 + 1]), -int(tail[i * 2]));
        }
        if (tailFrames != 0) {
            QVERIFY(tail[0] > 7900);
            QCOMPARE(int(tail.back()), 0);
        }
    }

    void withoutADeviceEverythingIsSilentAndQuick() {
        qputenv("SDL_AUDIODRIVER", "no-such-driver");
        SoundOutput out;
        QVERIFY(!out.Available());
        QVERIFY(!out.Problem().empty());
        wenlo::audio::Apu apu;
        wenlo::audio::ApuReset(apu, 0, true);
        for (int i = 0; i < 100; ++i) {
            wenlo::audio::ApuRunTo(apu, uint64_t(i + 1) * 70224);
            out.FrameEnded(apu);
        }
        QCOMPARE(apu.out.rate, 0.0);  // the unit stopped synthesising
        QCOMPARE(out.QueuedFrames(), size_t(0));
        out.SetMuted(true);
        QCOMPARE(out.Queue(nullptr, 0), 0.0);
    }

    // The steering on a simulated device whose clock is off from the
    // machine's by up to 0.3%, taking 256 frames at a time: the queue
    // settles within a quarter of the way to its limit or to empty, and
    // never runs dry or over.
    void steeringHoldsTheQueue_data() {
        QTest::addColumn<double>("drift");
        QTest::newRow("device 0.3% slow") << -0.003;
        QTest::newRow("same clock") << 0.0;
        QTest::newRow("device 0.3% fast") << 0.003;
    }
    void steeringHoldsTheQueue() {
        QFETCH(double, drift);
        const double rate = 48000, target = rate * SoundOutput::kTargetMs / 1000;
        const double limit = rate * SoundOutput::kMaxQueueMs / 1000;
        wenlo::ui::QueueSteer steer(target, limit);
        const double device = rate * (1 + drift), frameTime = 1 / wenlo::kFramesPerSecond;
        // Primed: the first frame's frames found the queue at its target.
        double queue = target, owed = 0, factor = 1, nextTake = 0;
        double settledMin = 1e9, settledMax = 0;
        steer.Reset(queue);
        for (int f = 0; f < 60 * 60; ++f) {  // a minute
            const double end = (f + 1) * frameTime;
            for (; nextTake < end; nextTake += 256 / device) {
                QVERIFY2(queue >= 256, qPrintable(QString("ran dry at frame %1").arg(f)));
                queue -= 256;
            }
            owed += rate * factor * frameTime;
            const double n = std::floor(owed);
            owed -= n;
            queue += n;
            QVERIFY(queue <= limit);
            factor = steer.Update(queue);
            if (f > 20 * 60) {
                settledMin = std::min(settledMin, queue);
                settledMax = std::max(settledMax, queue);
            }
        }
        const double quarter = (limit - target) / 4 + 256 + rate * frameTime;
        QVERIFY2(settledMin > target - quarter - rate * frameTime, qPrintable(QString::number(settledMin)));
        QVERIFY2(settledMax < target + quarter, qPrintable(QString::number(settledMax)));
    }

    // On SDL's dummy driver (which plays at a rate of its own): the queue
    // never passes its limit, and a stall of the machine is counted.
    void aStallIsCountedAsAnUnderrun() {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundOutput out;
        QVERIFY2(out.Available(), out.Problem().c_str());
        Tone tone;
        const double limit = out.Rate() * SoundOutput::kMaxQueueMs / 1000;
        auto capped = [&](int, double rate) {
            QVERIFY(out.QueuedFrames() <= limit);
            QVERIFY(std::abs(rate / out.Rate() - 1) <= SoundOutput::kMaxSteer + 1e-9);
        };
        Feed(out, tone, 0.5, capped);
        const uint64_t before = out.Underruns();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        Feed(out, tone, 0.2, capped);
        QVERIFY(out.Underruns() >= before + 1);
        // A mute and its silence are no underrun.
        const uint64_t playing = out.Underruns();
        out.SetMuted(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        out.SetMuted(false);
        Feed(out, tone, 0.05, capped);
        QCOMPARE(out.Underruns(), playing);
    }

    // A device that stops mid-game (unplugged, its server gone) leaves the
    // game playing silently; the device is tried again, and once it opens
    // the frames are heard again, faded in, with no underrun counted.
    void aLostDeviceIsTriedAgain() {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundOutput out;
        QVERIFY(out.Available());
        Tone tone;
        Feed(out, tone, 0.2, [](int, double) {});
        const uint64_t underruns = out.Underruns();
        out.DeviceLost();
        QVERIFY(!out.Available());
        QCOMPARE(out.Problem(), std::string("sound device lost"));
        std::vector<int16_t> v = tone.Frames(800, out.Rate());
        for (int f = 1; f < SoundOutput::kRetryFrames; ++f) QCOMPARE(out.Queue(v.data(), 800), 0.0);
        QVERIFY(out.Queue(v.data(), 800) > 0);
        QVERIFY(out.Available());
        QVERIFY(out.Problem().empty());
        QVERIFY(out.QueuedFrames() > 0);
        Feed(out, tone, 0.2, [](int, double) {});
        QCOMPARE(out.Underruns(), underruns);
    }

    // Fed faster than it plays (fast-forward), the queue stays at its limit
    // and the rate is steered down as far as it goes.
    void tooFastIsCappedAndSteeredDown() {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundOutput out;
        QVERIFY(out.Available());
        Tone tone;
        const double limit = out.Rate() * SoundOutput::kMaxQueueMs / 1000;
        double last = 0;
        Feed(
            out, tone, 0.5,
            [&](int, double rate) {
                QVERIFY(out.QueuedFrames() <= limit);
                last = rate;
            },
            3);
        QCOMPARE(last, out.Rate() * (1 - SoundOutput::kMaxSteer));
    }

    // ---- The main window (SDL's dummy driver unless a case says) ----------

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

    // What the device played: the frames as given, and on a mute a fade to
    // silence within kFadeMs, with no step larger than the tone's own, then
    // silence to the end.
    void muteFadesOut() {
        // SDL's disk driver plays in real time: on a machine as busy as CI's
        // (the sanitizer build beside it) its thread falls behind and the
        // fade's frames land late. Run by hand on an idle machine.
        if (qEnvironmentVariableIsSet("CI")) QSKIP("real-time playback: not on a loaded CI machine");
        QTemporaryDir dir;
        const QString file = dir.filePath("played.raw");
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", file.toLocal8Bit());
        Tone source;
        int rate = 0;
        {
            SoundOutput out;
            QVERIFY2(out.Available(), out.Problem().c_str());
            rate = out.Rate();
            Feed(out, source, 0.5, [](int, double) {});
            // The disk driver takes frames faster than its rate (it waits
            // whole milliseconds for its 5.3 ms period), so its queue runs
            // dry now and then, at about this point too. 35 ms more at once,
            // within the queue's limit, 10 ms of them played: the fade
            // starts well clear of any such gap.
            std::vector<int16_t> more = source.Frames(size_t(rate) * 35 / 1000, rate);
            out.Queue(more.data(), more.size() / 2);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            out.SetMuted(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        const std::vector<int16_t> played = Played(file);
        const size_t frames = played.size() / 2;
        QVERIFY(frames > size_t(rate) / 2);
        auto left = [&](size_t i) { return int(played[i * 2]); };
        // The tone as queued: a long stretch of it, frame for frame, after
        // the priming silence (a busy machine may interrupt it later).
        size_t start = 0;
        while (start < frames && left(start) == 0) ++start;
        std::vector<int16_t> want = Tone().Frames(frames - start, rate);
        size_t same = 0;
        while (start + same < frames && played[(start + same) * 2] == want[same * 2] &&
               played[(start + same) * 2 + 1] == want[same * 2 + 1])
            ++same;
        QVERIFY2(same > size_t(rate) / 20, qPrintable(QString::number(same)));
        int maxStep = 0;
        for (size_t i = 1; i < same; ++i)
            maxStep = std::max(maxStep, std::abs(want[i * 2] - want[i * 2 - 2]));
        // The end: silence from the last sound on, for the 150 ms slept...
        size_t last = frames;
        while (last > 0 && left(last - 1) == 0) --last;
        QVERIFY2(frames - last > size_t(rate) / 10, qPrintable(QString::number(frames - last)));
        // ... after a fade: no step larger than the tone's, and within the
        // fade's length the level falls to nothing.
        const size_t fade = size_t(rate * SoundOutput::kFadeMs / 1000);
        QVERIFY(last > fade + 100);
        for (size_t i = last - fade - 100; i <= last; ++i)
            QVERIFY2(std::abs(left(i) - left(i - 1)) <= maxStep * 1.1,
                     qPrintable(QString("frame %1").arg(i)));
        for (size_t i = last - fade / 2; i < last; ++i)
            QVERIFY2(std::abs(left(i)) <= 10000 / 2 + 100, qPrintable(QString("frame %1").arg(i)));
    }
};

QTEST_MAIN(SoundOutputTest)
#include "sound_output_test.moc"
