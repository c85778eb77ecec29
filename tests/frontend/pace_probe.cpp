// Runs a cartridge in the real main window for a number of frames and prints
// the start time of every frame (milliseconds since the first), one a line,
// then a summary, and the sound's figures (underruns of the device's queue
// while the game played at 1x). For measuring the pacing and the sound under
// a real display server (SDL_AUDIODRIVER=disk plays into SDL_DISKAUDIOFILE):
//   wenlo-pace-probe ROM [FRAMES] > times.txt
// A steady note plays on the console's sound unit meanwhile; a machine that
// does not bring its unit up to each frame's end has that done here.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "frontend/frmgb.h"
#include "frontend/sound_control.h"

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
    uint64_t seen = 0;
    window.SetFrameObserver([&] {
        namespace a = wenlo::audio;
        a::Apu& unit = window.console().Sound();
        if (starts.empty()) {
            // Channel 2 on both sides at half volume, about 440 Hz.
            const std::pair<unsigned, uint8_t> note[] = {{a::kNR52, 0x80}, {a::kNR50, 0x77}, {a::kNR51, 0x22},
                                                         {a::kNR21, 0x80}, {a::kNR22, 0x80}, {a::kNR23, 0xD6},
                                                         {a::kNR24, 0x86}};
            for (auto [reg, value] : note)
                a::ApuWrite(unit, uint16_t(a::kFirstRegister + reg), value, unit.last);
        }
        if (unit.last == seen) a::ApuRunTo(unit, unit.last + 456 * 154);
        seen = unit.last;
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
    std::fprintf(stderr, "%s\n", qPrintable(window.Sound().StatsLine()));
    return 0;
}
