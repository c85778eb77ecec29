// Whole device pixels per picture pixel at the desktop scale this run has
// (QT_SCALE_FACTOR; ctest runs it at 1, 1.25, 1.5 and 2): in every display
// mode, in the window and in a window the user made larger, every pixel of
// the picture is equally wide and high in a grab of the picture widget.
#include <QAction>
#include <QImage>
#include <QtTest>
#include <set>

#include "frontend/picture_box.h"
#include "frontend_test_support.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;

namespace {

// The lengths of the runs of equal pixels along row y (or column x) inside
// box, the first and last run included.
std::set<int> Runs(const QImage& image, const QRect& box, bool across, int at) {
    std::set<int> runs;
    const int n = across ? box.width() : box.height();
    auto pixel = [&](int i) {
        return across ? image.pixel(box.left() + i, at) : image.pixel(at, box.top() + i);
    };
    int run = 1;
    for (int i = 1; i < n; ++i) {
        if (pixel(i) == pixel(i - 1)) {
            ++run;
        } else {
            runs.insert(run);
            run = 1;
        }
    }
    runs.insert(run);
    return runs;
}

}  // namespace

class ScalingTest : public QObject {
    Q_OBJECT

private slots:
    void pixelsCoverWholeDevicePixels_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("grow");  // pixels the user added to the window
        for (const char* e : {"mnuDisplay1x1", "mnuDisplay2x2", "mnu2x2Int"})
            for (int grow : {0, 170})
                QTest::newRow(qPrintable(QString("%1 +%2").arg(e).arg(grow))) << e << grow;
    }
    void pixelsCoverWholeDevicePixels() {
        QFETCH(QString, entry);
        QFETCH(int, grow);
        FakeDialogs dialogs;
        auto w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->findChild<QAction*>(entry)->trigger();
        if (grow) {
            const QSize want = w->size() + QSize(grow, grow);
            w->resize(want);
            QTRY_COMPARE(w->size(), want);
        }
        // A checkerboard of single surface pixels in two shades.
        Surface& s = *w->Screen;
        for (int y = 0; y < s.Height(); ++y)
            for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, ShadeColors[(x + y) % 2 ? 3 : 2]);
        const QImage grab = w->picScreen->grab().toImage();
        const qreal dpr = w->picScreen->devicePixelRatioF();
        QCOMPARE(grab.width(), qRound(w->picScreen->width() * dpr));

        QRect box;  // the picture: every pixel not the back colour
        const QRgb back = QRgb(0xFF000000u | ShadeColors[0]);
        for (int y = 0; y < grab.height(); ++y)
            for (int x = 0; x < grab.width(); ++x)
                if (grab.pixel(x, y) != back) box |= QRect(x, y, 1, 1);
        QVERIFY(box.isValid());
        const int scale = box.width() / s.Width();
        QVERIFY(scale >= 1);
        QCOMPARE(box.size(), QSize(s.Width(), s.Height()) * scale);
        // The largest whole number that fits.
        QVERIFY((scale + 1) * s.Width() > grab.width() || (scale + 1) * s.Height() > grab.height());
        for (int i : {0, 1, 7}) {
            const int row = box.top() + i * scale;
            const int col = box.left() + i * scale;
            QCOMPARE(Runs(grab, box, true, row), std::set<int>{scale});
            QCOMPARE(Runs(grab, box, false, col), std::set<int>{scale});
        }
        qInfo("scale factor %.2f, %s: %d device pixels per picture pixel", dpr, qPrintable(entry), scale);
    }
};

QTEST_MAIN(ScalingTest)
#include "scaling_test.moc"
