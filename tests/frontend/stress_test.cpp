// The main window under stress: commands that would start a run loop while
// one runs (Load ROM, Reset from stopped, from the run loop's pump, the pause
// wait, a Step's wait or a Run To's pumping) keep a single loop on the stack;
// and long random sequences of the real commands, fired from inside the run
// loops as a user would, keep every menu entry and button in step with the
// machine's lifecycle state, on either machine.
#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>
#include <cstdint>
#include <map>
#include <random>

#include "frontend/picture_box.h"
#include "frontend/sound_control.h"
#include "frontend/texts.h"
#include "frontend_test_support.h"
#include "input/keys.h"
#include "savestate/state_file.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::LoopRom;
using wenlo::test::RomBuilder;

namespace {

// A Run To target no cartridge's code reaches.
const QString kUnreachable = "2000000000";

bool PictureIsClear(const frmGB& w) {
    const Surface& s = w.surface();
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.GetPixel(x, y) != ShadeColors[0]) return false;
    return true;
}

// The caption a loaded cartridge gives: its header title up to the first zero.
QString CaptionOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray header = f.read(0x144);
    return "Wenlo - " + QString::fromLatin1(header.mid(0x134, 16).constData());  // stops at a zero
}

// ---- The random command sequence ----------------------------------------------

struct Cartridge {
    QString path, caption, folder, name;
    bool reaches0x150;  // code that passes 0x0150 again and again
};

enum class Cmd {
    Wait,  // let the game run a few frames
    LoadGood,
    LoadBad,
    LoadCancel,
    FreeRom,
    Reset,
    Pause,
    Stop,
    Display,
    SaveState,
    LoadState,
    Debugger,
    Step,
    RunTo,
    Escape,
    EscapeOnButton,
    GameKey,
    Fullscreen,
    EveryFrame,
    Screenshot,
    Machine,
};

// How often a command comes, by what the machine does: a user mostly plays
// a running game, releases a pause soon and starts a stopped machine again.
enum Phase { kRunning, kPaused, kIdle, kPhases };

struct Weighted {
    Cmd cmd;
    int weight[kPhases];
    const char* name;
};

constexpr Weighted kCommands[] = {
    {Cmd::Wait, {40, 0, 0}, "wait"},
    {Cmd::LoadGood, {3, 4, 20}, "Load ROM"},
    {Cmd::LoadBad, {3, 3, 5}, "Load ROM (bad file)"},
    {Cmd::LoadCancel, {1, 1, 2}, "Load ROM (cancelled)"},
    {Cmd::FreeRom, {1, 2, 4}, "Free ROM"},
    {Cmd::Reset, {3, 3, 15}, "Reset"},
    {Cmd::Pause, {3, 25, 2}, "Pause"},
    {Cmd::Stop, {2, 4, 3}, "Stop"},
    {Cmd::Display, {6, 4, 4}, "display mode"},
    {Cmd::SaveState, {6, 4, 4}, "Save State"},
    {Cmd::LoadState, {8, 5, 5}, "Load State"},
    {Cmd::Debugger, {1, 2, 4}, "Debugger"},
    {Cmd::Step, {2, 5, 8}, "Step"},
    {Cmd::RunTo, {2, 5, 8}, "Run To"},
    {Cmd::Escape, {1, 2, 3}, "Escape"},
    {Cmd::EscapeOnButton, {1, 1, 2}, "Escape on a button"},
    {Cmd::GameKey, {30, 10, 10}, "game key"},
    {Cmd::Fullscreen, {2, 2, 2}, "Fullscreen"},
    {Cmd::EveryFrame, {2, 2, 2}, "Every Frame"},
    {Cmd::Screenshot, {3, 2, 2}, "Screenshot"},
    {Cmd::Machine, {2, 2, 3}, "machine switch"},
};

// What the commands must have left, derived from the commands alone.
struct Model {
    bool loaded = false;  // a cartridge is in (Load ROM succeeded, no Free ROM since)
    bool running = false;
    bool paused = false;
    bool stopEnabled = false;
    bool debugger = false;
    int loops = 0;        // run loops started by a command of this sequence, still on the stack
    uint32_t starts = 0;  // commands that started the machine afresh
    bool stepActive = false;
    bool runToActive = false;
    int runToLoops = 0;  // loops when the active Run To began
    uint8_t mode = Mode1x1;
    QString caption = "Wenlo";
    QString folder;  // the current directory after the last good load
    QString romName;
    int criticals = 0;
    bool fullscreen = false;
    bool everyFrame = false;
    int screenshots = 0;                 // files written
    bool handheld = false;               // the complete handheld is in use
    std::map<QString, bool> onHandheld;  // the machine remembered per cartridge
};

class StressRun {
public:
    StressRun(frmGB& w, FakeDialogs& d, std::vector<Cartridge> good, QStringList bad, uint32_t seed,
              int steps)
        : w_(w), d_(d), good_(std::move(good)), bad_(std::move(bad)), rng_(seed), total_(steps) {
        w_.SetFrameObserver([this] {
            ++frames;
            if (wakeAt_ > 0 && frames >= wakeAt_) {
                wakeAt_ = 0;
                Fire();
            }
        });
    }
    ~StressRun() { w_.SetFrameObserver(nullptr); }

    // Fires the steps one after the other, each from whatever event pump runs
    // next (a run loop's, a pause wait, a Run To's, or the plain event loop),
    // until all are done or one check fails; then stops everything and calls
    // finished.
    void Start(std::function<void()> finished) {
        finished_ = std::move(finished);
        QTimer::singleShot(0, &w_, [this] { Fire(); });
    }

    QString failure;
    int done = 0;
    int frames = 0;
    int maxRunDepth = 0;
    int maxWaitDepth = 0;
    int nestedSteps = 0;  // steps fired while an earlier one had not returned yet
    std::map<std::string, int> counts;
    QString screenshots;  // the folder they go to
    QString perUser;      // the per-user data folder, where states go that cannot lie beside

private:
    Machine& M() { return w_.machine(); }
    Console& C() { return w_.console(); }
    QAction* A(const char* name) { return w_.findChild<QAction*>(name); }
    QPushButton* B(const char* name) { return w_.findChild<QPushButton*>(name); }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    void Fire() {
        if (over_) return;
        ++fired_;
        if (active_ > 0) ++nestedSteps;
        if (const QString e = Check(); !e.isEmpty()) return Fail(e);
        if (done == total_) return Finish();
        ++done;
        const Cmd cmd = Choose();
        if (cmd == Cmd::Wait) {
            wakeAt_ = frames + 1 + Pick(3);  // the frame observer fires the next step
            return;
        }
        // The next step comes from the next event pump, wherever that is:
        // possibly inside the command fired now.
        QTimer::singleShot(0, &w_, [this] { Fire(); });
        const int firedBefore = fired_;
        ++active_;
        Run(cmd);
        --active_;
        // Nothing else ran meanwhile: the command's own result can be checked.
        if (!over_ && fired_ == firedBefore)
            if (const QString e = Check(); !e.isEmpty()) return Fail(e);
    }

    // A run loop is running the machine, and nothing sits on top of it that
    // would hold back its frames.
    bool Playing() const {
        return model_.loops > 0 && model_.running && !model_.paused && !model_.stepActive &&
               !model_.runToActive;
    }

    Cmd Choose() {
        const Phase phase = Playing() ? kRunning : model_.paused ? kPaused : kIdle;
        int sum = 0;
        for (const Weighted& c : kCommands) sum += c.weight[phase];
        for (;;) {
            int r = Pick(sum);
            const Weighted* c = kCommands;
            while (r >= c->weight[phase]) r -= (c++)->weight[phase];
            // Only what a user can reach: the "CPU" and "Display" menus are
            // hidden without a cartridge, the debugger's buttons with the panel.
            const bool menus = model_.loaded;
            switch (c->cmd) {
                case Cmd::Reset:
                case Cmd::Pause:
                case Cmd::Stop:
                case Cmd::Display:
                case Cmd::EveryFrame:
                case Cmd::Machine:
                    if (!menus) continue;
                    break;
                case Cmd::Step:
                case Cmd::RunTo:
                    if (!model_.debugger) continue;
                    break;
                default: break;
            }
            Note(c->name);
            ++counts[c->name];
            return c->cmd;
        }
    }

    void Note(const QString& what) {
        history_.append(QString("#%1 %2 (run depth %3, wait depth %4)")
                            .arg(done)
                            .arg(what)
                            .arg(w_.RunDepth())
                            .arg(w_.WaitDepth()));
        if (history_.size() > 16) history_.removeFirst();
    }

    void Run(Cmd cmd) {
        switch (cmd) {
            case Cmd::Wait: return;
            case Cmd::LoadGood: return LoadGood(good_[Pick(int(good_.size()))]);
            case Cmd::LoadBad: return LoadBad(bad_[Pick(int(bad_.size()))]);
            case Cmd::LoadCancel: return LoadBad(QString());
            case Cmd::FreeRom: return FreeRom();
            case Cmd::Reset: return Reset();
            case Cmd::Pause:
                model_.paused = !model_.paused;
                A("mnuCPUPause")->trigger();
                return;
            case Cmd::Stop: return Stop();
            case Cmd::Display: return Display();
            case Cmd::SaveState: return Save();
            case Cmd::LoadState: return Load();
            case Cmd::Debugger:
                model_.debugger = !model_.debugger;
                A("mnuCPUDebugger")->trigger();
                return;
            case Cmd::Step: return Step();
            case Cmd::RunTo: return RunTo();
            case Cmd::Escape:
                // In the picture, or swallowed by a Run To that steps: both stop.
                model_.running = false;
                QTest::keyPress(w_.picScreen, Qt::Key_Escape);
                QTest::keyRelease(w_.picScreen, Qt::Key_Escape);
                return;
            case Cmd::EscapeOnButton:
                // A button does nothing with it, unless a Run To is stepping.
                if (model_.runToActive && model_.loops == model_.runToLoops) model_.running = false;
                QTest::keyClick(B("cmdLoad"), Qt::Key_Escape);
                return;
            case Cmd::GameKey: return GameKey();
            case Cmd::Fullscreen:
                // F11 in the picture, or the entry.
                model_.fullscreen = !model_.fullscreen;
                if (Pick(2))
                    QTest::keyClick(w_.picScreen, Qt::Key_F11);
                else
                    A("mnuDisplayFullscreen")->trigger();
                return;
            case Cmd::EveryFrame:
                model_.everyFrame = !model_.everyFrame;
                A("mnuDisplayEveryFrame")->trigger();
                return;
            case Cmd::Screenshot: return Screenshot();
            case Cmd::Machine: return Switch();
        }
    }

    void Screenshot() {
        // F9 or the entry; disabled without a cartridge.
        if (model_.loaded) ++model_.screenshots;
        if (Pick(2))
            QTest::keyClick(w_.picScreen, Qt::Key_F9);
        else
            A("mnuFileScreenshot")->trigger();
        Expect(QDir(screenshots).entryList({"*.png"}, QDir::Files).size() == model_.screenshots,
               "a screenshot was not written, or written without a cartridge");
    }

    // Ctrl+H or the entry: the cartridge starts again on the other machine.
    void Switch() {
        const bool joins = model_.loops > 0;
        model_.handheld = !model_.handheld;
        model_.onHandheld[current_->path] = model_.handheld;
        model_.running = model_.stopEnabled = true;
        model_.paused = false;
        ++model_.starts;
        if (!joins) model_.loops = 1;
        if (Pick(2))
            QTest::keyClick(w_.picScreen, Qt::Key_H, Qt::ControlModifier);
        else
            A("mnuCPUHandheld")->trigger();
        if (joins) {
            Expect(C().ProgramCounter() == 0x100 && C().Running() && !C().Paused(),
                   "a switch during a run did not return at once");
            Expect(w_.NoteText().startsWith("Now on "), "no note of the switch: " + w_.NoteText());
        } else {
            model_.loops = 0;
            Expect(!C().Running(), "a run loop returned with Running still true");
        }
    }

    void LoadGood(const Cartridge& c) {
        d_.openAnswers = QStringList{c.path};
        const bool joins = model_.loops > 0;
        model_.handheld = model_.onHandheld[c.path];
        model_.loaded = model_.running = model_.stopEnabled = true;
        model_.paused = false;
        model_.caption = c.caption;
        model_.folder = c.folder;
        model_.romName = c.name;
        current_ = &c;
        ++model_.starts;
        if (!joins) model_.loops = 1;
        (Pick(2) ? B("cmdLoad")->click() : A("mnuFileLoad")->trigger());
        if (joins) {
            // Returned at once, the running loop taking over the new state.
            Expect(C().ProgramCounter() == 0x100 && C().Running() && !C().Paused(),
                   "a load during a run did not return at once");
            Expect(PictureIsClear(w_), "the picture was not cleared by the load");
        } else {
            model_.loops = 0;
            Expect(!C().Running(), "a run loop returned with Running still true");
        }
    }

    void LoadBad(const QString& path) {
        d_.openAnswers = QStringList{path};
        if (!path.isEmpty()) ++model_.criticals;  // empty: cancelled, nothing to say
        (Pick(2) ? B("cmdLoad")->click() : A("mnuFileLoad")->trigger());
        if (!path.isEmpty() && !d_.criticals.isEmpty())
            Expect(d_.criticals.last().text.startsWith("Failed to Load ROM.\n") &&
                       d_.criticals.last().title == "Wenlo",
                   "wrong message for a failed load: " + d_.criticals.last().text);
    }

    void FreeRom() {
        const bool enabled = model_.loaded;
        if (enabled) {
            model_.loaded = model_.running = model_.paused = model_.stopEnabled = model_.handheld = false;
            model_.caption = "Wenlo";
            current_ = nullptr;
        }
        (Pick(2) ? B("cmdStop")->click() : A("mnuFreeROM")->trigger());
        if (enabled) {
            Expect(PictureIsClear(w_), "Free ROM left a picture");
            if (!model_.handheld)
                Expect(M().CartType == 0 && M().RomWindow[0x100] == 0 && M().RomWindow[0x7FFF] == 0,
                       "Free ROM left cartridge data");
        }
    }

    void Reset() {
        const bool fromStopped = !model_.running;
        const bool joins = model_.loops > 0;
        model_.running = model_.stopEnabled = true;
        if (fromStopped) ++model_.starts;
        const bool startsLoop = fromStopped && !joins;
        if (startsLoop) model_.loops = 1;
        M().regA = 0x5A;  // the design's machine: reset only when in use
        A("mnuCPUReset")->trigger();
        if (startsLoop) {
            model_.loops = 0;
            Expect(!C().Running(), "a run loop returned with Running still true");
        } else {
            Expect((M().regA == 0x01) != model_.handheld && C().ProgramCounter() == 0x100 && C().Running(),
                   "Reset did not return at once after resetting");
        }
    }

    void Stop() {
        const bool enabled = model_.stopEnabled;
        if (enabled) model_.running = model_.stopEnabled = false;
        A("mnuCPUStop")->trigger();
        if (enabled) Expect(PictureIsClear(w_), "Stop left a picture");
    }

    void Display() {
        static const char* const kEntries[] = {"mnuDisplay1x1", "mnuDisplay2x2", "mnu2x2Int"};
        model_.mode = uint8_t(Pick(3));
        A(kEntries[model_.mode])->trigger();
    }

    QString StateName() const { return model_.romName + (model_.handheld ? ".state" : ".sav"); }
    QString BesidePath() const { return model_.folder + "/" + StateName(); }
    // Where Save State and Load State keep the state: beside the cartridge,
    // unless the file there is not the machine's own state file (as Load
    // damages it below), which is left alone while the state goes to the
    // per-user folder.
    QString StatePath() {
        const QString beside = BesidePath();
        if (QFileInfo::exists(beside) && !C().IsOwnStateFile(QFile::encodeName(beside).toStdString()))
            return perUser + "/" + StateName();
        return beside;
    }
    // The machine's state as its state file holds it.
    std::vector<uint8_t> State() {
        if (!model_.handheld) return SerializeState(M());
        C().SaveState(stateScratch_, nullptr);
        QFile f(test::Q(stateScratch_));
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }

    void Save() {
        if (!model_.loaded) return A("mnuSave")->trigger();  // disabled: nothing happens
        const std::vector<uint8_t> state = State();
        const QString path = StatePath();
        A("mnuSave")->trigger();
        saved_[path] = state;
    }

    void Load() {
        if (!model_.loaded) return A("mnuLoad")->trigger();
        const QString beside = BesidePath();
        // Now and then the state file beside the cartridge is damaged, cut
        // short or gone first.
        switch (Pick(6)) {
            case 0: {
                QFile f(beside);
                if (f.open(QIODevice::WriteOnly)) f.write(QByteArray("\xCF\x05garbage, not a state", 22));
                saved_.erase(beside);
                break;
            }
            case 1: {
                QFile f(beside);
                if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(100, '\0'));
                saved_.erase(beside);
                break;
            }
            case 2:
                QFile::remove(beside);
                saved_.erase(beside);
                break;
            default: break;
        }
        const QString path = StatePath();
        const std::vector<uint8_t> before = State();
        const auto it = saved_.find(path);
        if (it == saved_.end()) ++model_.criticals;
        A("mnuLoad")->trigger();
        if (it != saved_.end()) {
            Expect(State() == it->second, "Load State did not restore the saved state");
        } else {
            Expect(State() == before, "a refused state file changed the machine");
            Expect(!d_.criticals.isEmpty() && d_.criticals.last().text.contains(StateName()),
                   "a refused state file gave no message naming it");
        }
    }

    void Step() {
        if (model_.stepActive) return B("cmdStep")->click();  // one Step at a time: ignored
        const uint32_t starts = model_.starts;
        model_.running = true;
        model_.stepActive = true;
        B("cmdStep")->click();  // waits in the pause wait while paused
        model_.stepActive = false;
        if (model_.starts == starts) model_.running = false;
    }

    void RunTo() {
        const bool reachable = model_.loaded && current_ && current_->reaches0x150;
        QString answer;
        switch (Pick(reachable ? 6 : 5)) {
            case 0: answer = QString(); break;  // cancelled
            case 1: answer = Pick(2) ? "start" : "&HXYZ"; break;
            case 2: answer = "&H" + QString::number(C().ProgramCounter(), 16); break;  // already there
            case 3:
            case 4: answer = kUnreachable; break;  // only a command ends it
            default: answer = Pick(2) ? "336" : "&H150"; break;
        }
        d_.inputAnswers = QStringList{answer};
        const bool valid = ParseAddress(answer.toStdString()).has_value();
        const bool ignored = model_.runToActive;
        if (valid && !ignored) {
            model_.running = true;
            if (model_.loaded) model_.stopEnabled = true;
            model_.runToActive = true;
            model_.runToLoops = model_.loops;
        }
        const int firedBefore = fired_;
        B("cmdRunTo")->click();
        d_.inputAnswers.clear();  // not taken when the click was ignored
        if (!valid || ignored) return;
        model_.runToActive = false;
        if (fired_ == firedBefore && answer != kUnreachable)
            Expect(C().ProgramCounter() == *ParseAddress(answer.toStdString()),
                   "Run To stopped before its target");
    }

    void GameKey() {
        // The eight keys of the game, Tab (fast-forward while held) and
        // Backspace (rewind while held).
        static const int kKeys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_X,
                                    Qt::Key_Z,    Qt::Key_C,     Qt::Key_V,  Qt::Key_Tab,  Qt::Key_Backspace};
        static const uint8_t kCodes[] = {keys::Left, keys::Right,  keys::Up,    keys::Down, keys::A,
                                         keys::B,    keys::Select, keys::Start, 0x09,       0x08};
        const int i = Pick(10);
        // The handheld cannot be asked; the design's machine is, while in use.
        auto down = [&] {
            return model_.handheld ? w_.KeyboardHeld().Held(kCodes[i]) : M().KeyState[kCodes[i]] != 0;
        };
        const bool release = down();
        if (release)
            QTest::keyRelease(w_.picScreen, Qt::Key(kKeys[i]));
        else
            QTest::keyPress(w_.picScreen, Qt::Key(kKeys[i]));
        Expect(down() == !release, "key state after a key went up or down");
        if (kKeys[i] == Qt::Key_Tab) Expect(w_.FastForwarding() == !release, "fast-forward after Tab");
        if (kKeys[i] == Qt::Key_Backspace) Expect(w_.Rewind().Held() == !release, "rewind after Backspace");
    }

    void Expect(bool ok, const QString& what) {
        if (!ok && !over_) Fail(what);
    }

    // The state table, the model and the nesting bounds.
    QString Check() {
        const Machine& m = M();
        QStringList bad;
        auto want = [&](bool ok, const QString& what) {
            if (!ok) bad << what;
        };
        maxRunDepth = std::max(maxRunDepth, w_.RunDepth());
        maxWaitDepth = std::max(maxWaitDepth, w_.WaitDepth());
        want(w_.RunDepth() <= 1, "more than one run loop on the stack");
        want(w_.WaitDepth() <= 3, "pause waits pile up");
        want(w_.RunDepth() == model_.loops, "run depth differs from the loops started");
        want(C().Running() == model_.running, QString("Running is %1").arg(C().Running()));
        want(C().Paused() == model_.paused, QString("Paused is %1").arg(C().Paused()));
        want((C().Kind() == MachineKind::Handheld) == model_.handheld, "the machine in use");
        want(A("mnuCPUHandheld")->isChecked() == model_.handheld &&
                 A("mnuCPUHandheld")->isEnabled() == model_.loaded,
             "Complete Handheld");

        const bool loaded = model_.loaded;
        want(B("cmdStop")->isEnabled() == loaded, "Unload button");
        want(A("mnuFreeROM")->isEnabled() == loaded, "Free ROM");
        want(w_.mnuDisplay->menuAction()->isVisible() == loaded, "Display menu");
        want(w_.mnuCPU->menuAction()->isVisible() == loaded, "CPU menu");
        want(w_.mnuSound->menuAction()->isVisible() == loaded, "Sound menu");
        // Frames held back or racing would be heard as a cut or a click.
        want(Playing() || w_.Sound().Muted(), "sound while the game does not play");
        for (const char* name : {"mnuCPUReset", "mnuCPUPause", "mnuSave", "mnuLoad"})
            want(A(name)->isEnabled() == loaded, name);
        want(A("mnuCPUStop")->isEnabled() == model_.stopEnabled, "Stop");
        want(loaded || !A("mnuCPUStop")->isEnabled(), "Stop enabled without a cartridge");
        // Running (a loop runs the machine): Stop must be on offer. Stopped:
        // on or off, as Escape or a Step left it. A Step waiting for the end
        // of a pause holds Running only for its one instruction.
        want(!(loaded && C().Running() && w_.RunDepth() > 0 && !model_.stepActive) ||
                 A("mnuCPUStop")->isEnabled(),
             "a running machine without Stop");
        for (const char* name : {"mnuFileLoad", "mnuFileExit", "mnuHelpAbout"})
            want(A(name)->isEnabled(), name);
        want(B("cmdLoad")->isEnabled() && B("cmdExit")->isEnabled(), "Load and Exit buttons");
        want(A("mnuFileROMInfo")->isVisible() == loaded && A("mnuFileROMInfo")->isEnabled() == loaded,
             "ROM Info");
        want(A("mnuCPUPause")->isChecked() == C().Paused(), "Pause check mark");

        want(model_.handheld || m.DisplayMode == model_.mode, "display mode");
        want(A("mnuDisplay1x1")->isChecked() == (model_.mode == Mode1x1) &&
                 A("mnuDisplay2x2")->isChecked() == (model_.mode == Mode2x2) &&
                 A("mnu2x2Int")->isChecked() == (model_.mode == Mode2x2Interlaced),
             "display check marks");
        want(w_.surface().Width() == ModeWidth(model_.mode) &&
                 w_.surface().Height() == ModeHeight(model_.mode),
             "picture size");
        want(B("cmdStep")->isVisible() == model_.debugger, "debugger panel");
        want(w_.windowTitle() == model_.caption, "caption " + w_.windowTitle());
        want(d_.criticals.size() == model_.criticals, QString("%1 messages").arg(d_.criticals.size()));
        want(d_.endProcessCalls == 0, "the process was ended");
        if (!model_.folder.isEmpty())
            want(QDir::currentPath() == model_.folder, "current directory " + QDir::currentPath());
        want(w_.IsFullscreen() == model_.fullscreen &&
                 A("mnuDisplayFullscreen")->isChecked() == model_.fullscreen,
             "fullscreen");
        want((model_.handheld || m.DrawEveryFrame == model_.everyFrame) &&
                 A("mnuDisplayEveryFrame")->isChecked() == model_.everyFrame,
             "Every Frame");
        want(A("mnuFileScreenshot")->isEnabled() == loaded, "Screenshot");
        // No Game Boy key stays held by the keyboard unless the machine has it down.
        for (int code = 0; code < 256; ++code)
            if (!model_.handheld && w_.KeyboardHeld().Holds(KeySources::kKeyboard, code) && !m.KeyState[code])
                want(false, "keyboard and machine disagree");
        return bad.join(", ");
    }

    void Fail(const QString& what) {
        if (failure.isEmpty())
            failure = QString("step %1: %2\nlast commands:\n  %3").arg(done).arg(what, history_.join("\n  "));
        Finish();
    }

    // Brings everything to rest from wherever the steps are: released pause,
    // no cartridge, Running false; the loops and waits on the stack return.
    void Finish() {
        if (over_) return;
        over_ = true;
        if (C().Paused()) A("mnuCPUPause")->trigger();
        if (A("mnuFreeROM")->isEnabled()) A("mnuFreeROM")->trigger();
        C().SetPaused(false);
        C().SetRunning(false);
        M().Paused = M().Running = false;
        finished_();
    }

    frmGB& w_;
    FakeDialogs& d_;
    std::vector<Cartridge> good_;
    QStringList bad_;
    std::mt19937 rng_;
    int total_;
    int wakeAt_ = 0;
    Model model_;
    const Cartridge* current_ = nullptr;
    const std::string stateScratch_ = test::MakeTempDir() + "/now.state";  // the handheld's state, read back
    std::map<QString, std::vector<uint8_t>> saved_;
    QStringList history_;
    std::function<void()> finished_;
    int fired_ = 0;
    int active_ = 0;
    bool over_ = false;
};

}  // namespace

class StressTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;
    QString romA, romB;

    QAction* Action(const char* name) { return w->findChild<QAction*>(name); }
    QPushButton* Button(const char* name) { return w->findChild<QPushButton*>(name); }

private slots:
    void initTestCase() {
        romA = test::Q(LoopRom("ALPHA").WriteTemp("alpha"));
        romB = test::Q(LoopRom("BRAVO").WriteTemp("bravo"));
    }
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        test::ClearSettings();  // each sequence starts on the design's machine
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanup() { w.reset(); }

    // Every load made during the game returns at once; the one loop runs
    // each new cartridge from its post-boot state, on the same stack depth.
    void manyLoadsDuringAGameKeepOneLoop() {
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        int loads = 0;
        bool allAtOnce = true, allRan = true;
        uintptr_t lowest = UINTPTR_MAX, highest = 0;
        std::function<void()> load = [&] {
            const char here = 0;
            lowest = std::min(lowest, uintptr_t(&here));
            highest = std::max(highest, uintptr_t(&here));
            allRan = allRan && w->machine().regPC == 0x101;  // DI done, looping on JR
            dialogs.openAnswers << (loads % 2 ? romA : romB);
            (loads % 3 ? Button("cmdLoad")->click() : Action("mnuFileLoad")->trigger());
            ++loads;
            allAtOnce =
                allAtOnce && w->RunDepth() == 1 && w->machine().Running && w->machine().regPC == 0x100;
            if (loads < 200)
                script.After(1, load);
            else
                script.After(2, [&] { Action("mnuCPUStop")->trigger(); });
        };
        script.After(2, load);
        Action("mnuFileLoad")->trigger();  // returns once Stop has ended the run
        QVERIFY(!script.timedOut);
        QCOMPARE(loads, 200);
        QVERIFY(allAtOnce);
        QVERIFY(allRan);
        QVERIFY2(highest - lowest < 4096, "the frames of later loads ran deeper on the stack");
        QCOMPARE(w->RunDepth(), 0);
        QVERIFY(!w->machine().Running);
        QCOMPARE(w->windowTitle(), QString("Wenlo - ALPHA"));  // the 200th load
        QCOMPARE(dialogs.openCalls.size(), 201);
    }

    // Stop and then Reset inside one pump: Reset from stopped, but the loop
    // of the Stop has not ended yet and goes on with the reset machine.
    void resetFromStoppedDuringARunJoinsIt() {
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        bool joined = false, ran = false;
        script.After(2, [&] {
            Action("mnuCPUStop")->trigger();
            w->machine().regA = 0x77;
            Action("mnuCPUReset")->trigger();
            joined = w->RunDepth() == 1 && w->machine().Running && w->machine().regA == 0x01 &&
                     Action("mnuCPUStop")->isEnabled();
            script.After(1, [&] {
                ran = w->machine().regPC == 0x101;
                Action("mnuCPUStop")->trigger();
            });
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(joined);
        QVERIFY(ran);
        QCOMPARE(w->RunDepth(), 0);
        QCOMPARE(script.frames, 3);
    }

    // Load ROM handled in the interpreter's pause wait: the wait ends and
    // the new cartridge runs in the same loop.
    void loadDuringThePauseWaitRunsTheNewGame() {
        dialogs.openAnswers << romA << romB;
        FrameScript script(*w);
        int waitDepth = -1;
        bool ran = false;
        script.After(2, [&] {
            Action("mnuCPUPause")->trigger();
            QTimer::singleShot(0, w.get(), [&] {
                waitDepth = w->WaitDepth();
                Button("cmdLoad")->click();
                QVERIFY(w->machine().Running && !w->machine().Paused);
                QCOMPARE(w->RunDepth(), 1);
                script.After(1, [&] {
                    ran = w->machine().regPC == 0x101 && w->windowTitle() == "Wenlo - BRAVO";
                    Action("mnuCPUStop")->trigger();
                });
            });
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(waitDepth, 1);
        QVERIFY(ran);
        QVERIFY(!Action("mnuCPUPause")->isChecked());
    }

    // A Run To made during a game, towards an address never reached, pumps
    // events; a Load ROM handled there ends it, and the run loop below it
    // runs the new cartridge.
    void loadDuringARunToEndsTheRunTo() {
        w->mnuCPUDebugger->trigger();
        dialogs.openAnswers << romA;
        FrameScript script(*w);
        bool ranAfter = false;
        QString dump;
        script.After(2, [&] {
            dialogs.inputAnswers << kUnreachable;
            dialogs.openAnswers << romB;
            QTimer::singleShot(0, w.get(), [&] { Button("cmdLoad")->click(); });
            Button("cmdRunTo")->click();  // returns when the load has come
            dump = QString::fromStdString(w->RegisterDumpText());
            QVERIFY(w->machine().Running);
            QCOMPARE(w->RunDepth(), 1);
            QCOMPARE(w->machine().regPC, 0x100);  // not one step of the new game by Run To
            script.After(1, [&] {
                ranAfter = w->machine().regPC == 0x101 && w->windowTitle() == "Wenlo - BRAVO";
                Action("mnuCPUStop")->trigger();
            });
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(dump.contains("PC=$100 "));
        QVERIFY(ranAfter);
        QCOMPARE(w->RunDepth(), 0);
    }

    // With the machine stopped no loop is on the stack: a Load ROM handled in
    // a Run To's pumping starts one there. During that game Escape is the
    // picture's again, not the Run To's; when it ends, so does the Run To.
    void loadDuringARunToOfAStoppedMachineRunsThere() {
        w->mnuCPUDebugger->trigger();
        dialogs.openAnswers << romA << romB;
        FrameScript script(*w);
        script.After(1, [&] { Action("mnuCPUStop")->trigger(); });
        Action("mnuFileLoad")->trigger();
        QCOMPARE(w->RunDepth(), 0);

        int depthInGame = -1;
        bool buttonEscapeIgnored = false;
        script.After(2, [&] {
            depthInGame = w->RunDepth();
            QTest::keyClick(Button("cmdLoad"), Qt::Key_Escape);
            buttonEscapeIgnored = w->machine().Running;
            QTest::keyClick(w->picScreen, Qt::Key_Escape);
        });
        dialogs.inputAnswers << kUnreachable;
        QTimer::singleShot(0, w.get(), [&] { Action("mnuFileLoad")->trigger(); });
        Button("cmdRunTo")->click();
        QVERIFY(!script.timedOut);
        QCOMPARE(depthInGame, 1);
        QVERIFY(buttonEscapeIgnored);
        QVERIFY(!w->machine().Running);
        QCOMPARE(w->RunDepth(), 0);
        QCOMPARE(w->windowTitle(), QString("Wenlo - BRAVO"));
    }

    // Step while paused waits for the pause to end; more Step clicks in that
    // wait are ignored instead of piling up waits, and a Load ROM there
    // leaves the new game running once the Step returns.
    void stepClicksDuringAPauseDoNotPileUp() {
        w->mnuCPUDebugger->trigger();
        dialogs.openAnswers << romA << romB;
        FrameScript script(*w);
        int clicks = 0, deepest = 0;
        int32_t cyclesBefore = 0;
        bool stillRunning = false, ranAfter = false;
        // Each click posts the next one first, so that a click that did wait
        // would find the next inside its wait rather than hang the test.
        std::function<void()> clickAgain = [&] {
            deepest = std::max(deepest, w->WaitDepth());
            if (++clicks < 50)
                QTimer::singleShot(0, w.get(), clickAgain);
            else  // ends the pause; the Step's instruction follows
                QTimer::singleShot(0, w.get(), [&] { Button("cmdLoad")->click(); });
            Button("cmdStep")->click();  // returns at once
        };
        script.After(2, [&] {
            Action("mnuCPUPause")->trigger();
            cyclesBefore = w->StepCycles();
            QTimer::singleShot(0, w.get(), clickAgain);
            Button("cmdStep")->click();
            stillRunning = w->machine().Running && w->RunDepth() == 1;
            script.After(1, [&] {
                ranAfter = w->machine().regPC == 0x101 && w->windowTitle() == "Wenlo - BRAVO";
                Action("mnuCPUStop")->trigger();
            });
        });
        Action("mnuFileLoad")->trigger();
        QVERIFY(!script.timedOut);
        QCOMPARE(clicks, 50);
        QCOMPARE(deepest, 1);
        QCOMPARE(w->StepCycles(), cyclesBefore + 7);  // one Step executed, not fifty
        QVERIFY(stillRunning);
        QVERIFY(ranAfter);
    }

    // Destroying the window moves the focus out of the picture, which
    // reports a held fast-forward key as released; that report must not
    // reach the half-destroyed window (the sanitizer build checks the call).
    void destroyedWithFastForwardHeld() {
        QSignalSpy released(w->picScreen, &PictureBox::FastForward);
        QTest::keyPress(w->picScreen, Qt::Key_Tab);
        QVERIFY(w->FastForwarding());
        w->picScreen->setFocus();
        w.reset();
        QCOMPARE(released.size(), 2);
        QCOMPARE(released.at(1).at(0).toBool(), false);
    }

    void randomCommandSequences_data() {
        QTest::addColumn<uint32_t>("seed");
        QTest::addColumn<int>("steps");
        QTest::addColumn<bool>("paced");
        QTest::newRow("unpaced") << 20240601u << 20000 << false;
        QTest::newRow("unpaced, second seed") << 77u << 8000 << false;
        QTest::newRow("paced") << 4242u << 1500 << true;
    }
    void randomCommandSequences() {
        QFETCH(uint32_t, seed);
        QFETCH(int, steps);
        QFETCH(bool, paced);
        w->SetPaced(paced);

        // Good cartridges, each in its own folder (state files go beside them).
        std::vector<Cartridge> good;
        auto add = [&](const QString& path, bool reaches0x150) {
            const QFileInfo info(path);
            good.push_back({path, CaptionOf(path), info.absolutePath(),
                            info.completeBaseName().section('.', 0, 0), reaches0x150});
        };
        const QString demoDir = test::Q(test::MakeTempDir());
        QVERIFY(QFile::copy(WENLO_SOURCE_DIR "/roms/wenlo-demo.gb", demoDir + "/wenlo-demo.gb"));
        add(demoDir + "/wenlo-demo.gb", false);
        add(romA, false);
        RomBuilder jump(2, 0x00, "JUMPER");
        jump.Entry({0x00, 0xC3, 0x50, 0x01});  // NOP; JP 0x0150
        jump.Put(0x150, {0x18, 0xFE});         // JR -2
        add(test::Q(jump.WriteTemp("jumper")), true);
        RomBuilder busy = test::BenchmarkCartridge(4);
        add(test::Q(busy.WriteTemp("busy.v2")), false);

        // Files that are no cartridge.
        const QString badDir = test::Q(test::MakeTempDir());
        QVERIFY(QFile(badDir + "/empty.gb").open(QIODevice::WriteOnly));
        {
            QFile f(badDir + "/short.gb");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(0x14F, '\x11'));
        }
        QVERIFY(QDir(badDir).mkdir("folder.gb"));
        const QStringList bad{badDir + "/missing.gb", badDir + "/empty.gb", badDir + "/short.gb",
                              badDir + "/folder.gb"};

        // No state file of an earlier sequence (the cartridges shared with
        // it): the model knows only the states saved in this one.
        for (const Cartridge& c : good)
            for (const char* ext : {".sav", ".state"}) QFile::remove(c.folder + "/" + c.name + ext);

        StressRun run(*w, dialogs, good, bad, seed, steps);
        run.screenshots = test::Q(test::MakeTempDir()) + "/Wenlo";
        // A per-user folder of this run's own, empty at its start.
        qputenv("XDG_DATA_HOME", QFile::encodeName(test::Q(test::MakeTempDir())));
        run.perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        w->SetScreenshotFolder(run.screenshots);
        QEventLoop loop;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            w->machine().Paused = false;
            w->machine().Running = false;
            w->console().SetPaused(false);
            w->console().SetRunning(false);
            loop.quit();
        });
        watchdog.start(240'000);
        QElapsedTimer clock;
        clock.start();
        run.Start([&] { loop.quit(); });
        loop.exec();
        qInfo(
            "%d steps (%d fired inside an earlier one), %d frames, deepest run %d, deepest wait %d, %lld ms",
            run.done, run.nestedSteps, run.frames, run.maxRunDepth, run.maxWaitDepth,
            static_cast<long long>(clock.elapsed()));
        QString mix;
        for (const auto& [name, n] : run.counts)
            mix += QString(" %1 %2,").arg(QString::fromStdString(name)).arg(n);
        qInfo("commands:%s", qPrintable(mix.chopped(1)));
        QVERIFY(!timedOut);
        QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
        QCOMPARE(run.done, steps);
        // Everything on the stack has returned.
        QCOMPARE(w->RunDepth(), 0);
        QCOMPARE(w->WaitDepth(), 0);
        QVERIFY(!w->machine().Running);
        // The sequence did reach the interesting places.
        QVERIFY(run.frames > 0);
        QVERIFY(run.nestedSteps > steps / 4);
        QCOMPARE(run.maxRunDepth, 1);
        QVERIFY(run.maxWaitDepth >= 2);
    }
};

QTEST_MAIN(StressTest)
#include "stress_test.moc"
