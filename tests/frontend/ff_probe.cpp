// Runs a cartridge in the real main window for a number of seconds and
// measures fast-forward: the frames emulated and the picture's repaints while
// the fast-forward key is held, per second. Hold Tab in the picture meanwhile
// (under a display server: `xdotool keydown Tab`), or pass --hold to have the
// probe hold it itself (for the offscreen platform and callgrind):
//   wenlo-ff-probe ROM SECONDS [--hold]
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

#include "frontend/frmgb.h"
#include "frontend/picture_box.h"

namespace {

// Answers the open-file dialog with the cartridge given on the command line.
class ProbeDialogs : public wenlo::ui::QtDialogs {
public:
    explicit ProbeDialogs(QString path) : path_(std::move(path)) {}
    QString OpenFile(QWidget*, const QString&, const QString&, const QStringList&) override { return path_; }

private:
    QString path_;
};

// Counts the paint events of the picture made while fast-forwarding.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const wenlo::ui::frmGB& window) : window_(window) {}
    long paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && window_.FastForwarding()) ++paints;
        return false;
    }

private:
    const wenlo::ui::frmGB& window_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: wenlo-ff-probe ROM SECONDS [--hold]\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const bool hold = argc > 3 && std::strcmp(argv[3], "--hold") == 0;
    ProbeDialogs dialogs(QFileInfo(argv[1]).absoluteFilePath());
    wenlo::ui::frmGB window;
    window.SetDialogs(&dialogs);
    window.show();
    PaintCounter counter(window);
    window.picScreen->installEventFilter(&counter);
    if (hold) window.picScreen_FastForward(true);

    QElapsedTimer clock;
    clock.start();
    long frames = 0, ffFrames = 0;
    int64_t ffFirst = -1, ffLast = -1;
    window.SetFrameObserver([&] {
        ++frames;
        const int64_t now = clock.nsecsElapsed();
        if (window.FastForwarding()) {
            if (ffFirst < 0) ffFirst = now;
            ffLast = now;
            ++ffFrames;
        }
        if (double(now) / 1e9 > seconds) window.machine().Running = false;
    });
    window.mnuFileLoad_Click();

    const double ffSeconds = ffFirst < 0 ? 0 : double(ffLast - ffFirst) / 1e9;
    std::printf("frames=%ld ff_frames=%ld ff_seconds=%.2f ff_fps=%.0f paints=%ld paints_per_second=%.1f\n",
                frames, ffFrames, ffSeconds, ffSeconds > 0 ? double(ffFrames - 1) / ffSeconds : 0.0,
                counter.paints, ffSeconds > 0 ? double(counter.paints) / ffSeconds : 0.0);
    return ffFrames > 1 ? 0 : 1;
}
