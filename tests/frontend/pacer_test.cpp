// The frame pacer's schedule: exact frame intervals, no drift from late
// wake-ups, a fresh start after a long stall or a fast-forward.
#include "frontend/pacer.h"

#include <QtTest>

using wenlo::ui::FramePacer;

class PacerTest : public QObject {
    Q_OBJECT

private slots:
    void schedule_data() {
        constexpr qint64 F = FramePacer::kFrameNs;
        QTest::addColumn<QList<qint64>>("ends");  // frame end times
        QTest::addColumn<QList<bool>>("fastForward");
        QTest::addColumn<QList<qint64>>("starts");  // next frame may start at
        // The first frame starts at once; later ones one frame apart.
        QTest::newRow("steady") << QList<qint64>{1000, 1000 + 5'000'000, 1000 + F + 4'000'000}
                                << QList<bool>{false, false, false}
                                << QList<qint64>{1000, 1000 + F, 1000 + 2 * F};
        // Waking 2 ms late does not push the next deadline back.
        QTest::newRow("late wake-up") << QList<qint64>{0, F + 2'000'000, 2 * F + 1'000'000}
                                      << QList<bool>{false, false, false} << QList<qint64>{0, F, 2 * F};
        // A frame that took too long is caught up by starting the next ones
        // at once, while the lag stays small...
        QTest::newRow("short lag") << QList<qint64>{0, 3 * F, 3 * F + 1} << QList<bool>{false, false, false}
                                   << QList<qint64>{0, F, 2 * F};
        // ... but after a long stall (pause, dialog) the schedule restarts.
        QTest::newRow("long stall") << QList<qint64>{0, 100 * F, 100 * F + 10}
                                    << QList<bool>{false, false, false} << QList<qint64>{0, 100 * F, 101 * F};
        // Fast-forward starts every frame at once; releasing Tab resumes
        // from that moment.
        QTest::newRow("fast-forward") << QList<qint64>{0, 1'000'000, 2'000'000, 3'000'000, 4'000'000}
                                      << QList<bool>{false, true, true, false, false}
                                      << QList<qint64>{0, 1'000'000, 2'000'000, 3'000'000, 3'000'000 + F};
    }
    void schedule() {
        QFETCH(QList<qint64>, ends);
        QFETCH(QList<bool>, fastForward);
        QFETCH(QList<qint64>, starts);
        FramePacer pacer;
        for (int i = 0; i < ends.size(); ++i) QCOMPARE(pacer.FrameEnded(ends[i], fastForward[i]), starts[i]);
    }

    void rateIs5973FramesPerSecond() { QVERIFY(qAbs(1e9 / double(FramePacer::kFrameNs) - 59.73) < 0.0001); }
};

QTEST_MAIN(PacerTest)
#include "pacer_test.moc"
