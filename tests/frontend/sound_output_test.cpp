// The sound device output on SDL's own drivers, without hardware: "dummy"
// plays in real time into nothing, "disk" into a file that shows what was
// played. Frames are fed at the machine's frame rate, as the run loop does.
// The main window's use of it is in sound_window_test.cpp.
#include "frontend/sound_output.h"

#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "core/timing.h"
#include "frontend_test_support.h"

using wenlo::test::Played;
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
