// Runs a cartridge in the real main window for a number of frames and prints
// the start time of every frame (milliseconds since the first), one a line,
// then a summary. For measuring the pacing under a real display server:
//   wenlo-pace-probe ROM [FRAMES] > times.txt
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "frontend/frmgb.h"

namespace {

// Answers the open-file dialog with the cartridge given on the command line.
class ProbeDialogs : public wenlo::ui::QtDialogs {
public:
    explicit ProbeDialogs(QString path) : path_(std::move(path)) {}
    QString OpenFile(QWidget*, const QString&, const QString&, const QStringList&) override { return path_; }

private:
    QString path_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: wenlo-pace-probe ROM [FRAMES]\n");
        return 2;
    }
    const int frames = argc > 2 ? std::max(2, std::atoi(argv[2])) : 600;
    ProbeDialogs dialogs(QFileInfo(argv[1]).absoluteFilePath());
    wenlo::ui::frmGB window;
    window.SetDialogs(&dialogs);
    window.show();

    std::vector<double> starts;
    QElapsedTimer clock;
    clock.start();
    window.SetFrameObserver([&] {
        starts.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (int(starts.size()) > frames) window.machine().Running = false;
    });
    window.mnuFileLoad_Click();

    std::vector<double> deltas;
    for (size_t i = 1; i < starts.size(); ++i) {
        deltas.push_back(starts[i] - starts[i - 1]);
        std::printf("%.3f\n", starts[i] - starts[0]);
    }
    if (deltas.empty()) return 1;
    double sum = 0, sq = 0;
    for (double d : deltas) sum += d;
    const double mean = sum / double(deltas.size());
    for (double d : deltas) sq += (d - mean) * (d - mean);
    const double target = 1000.0 / 59.73;
    double worst = 0;
    for (double d : deltas) worst = std::max(worst, std::abs(d - target));
    std::fprintf(stderr,
                 "frames=%zu mean=%.3fms fps=%.3f stddev=%.3fms min=%.3fms max=%.3fms worst_dev=%.3fms\n",
                 deltas.size(), mean, 1000.0 / mean, std::sqrt(sq / double(deltas.size())),
                 *std::min_element(deltas.begin(), deltas.end()),
                 *std::max_element(deltas.begin(), deltas.end()), worst);
    return 0;
}
