#include "frontend/frmgb.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include "core/cartridge.h"
#include "frontend/app_paths.h"
#include "frontend/compat_window.h"
#include "frontend/frmabout.h"
#include "frontend/frmrom.h"
#include "frontend/gamepads.h"
#include "frontend/picture_box.h"
#include "frontend/sound_control.h"
#include "frontend/texts.h"

// Resources compiled into a static library must be registered by name, from
// outside any namespace.
static void InitWenloResources() { Q_INIT_RESOURCE(wenlo); }

namespace wenlo::ui {

namespace {
constexpr const char* kAppTitle = "Wenlo";
}  // namespace

frmGB::frmGB(QWidget* parent)
    : QMainWindow(parent),
      m_(std::make_unique<Machine>()),
      design_(MakeDesignConsole(*m_)),
      console_(design_.get()),
      run_(*console_, this) {
    setObjectName("frmGB");
    InitWenloResources();
    sound_ = std::make_unique<SoundControl>();  // the device, once
    QIcon icon;
    for (int size : {16, 32, 64, 128}) icon.addFile(QString(":/wenlo/wenlo-%1.png").arg(size));
    setWindowIcon(icon);
    design_->SetHost(this);
    Screen = &surface_;

    BuildMenus();
    BuildControls();
    pads_ = std::make_unique<Gamepads>(*console_, heldKeys_, this);
    UseConsole(*design_);
    rewind_.SetHistoryExhausted([this] { ShowNote("Rewind: the start of the history"); });
    setAcceptDrops(true);

    // Start-up: shades and back colour come with the surface; then the
    // caption, the commands that need a machine off, the hidden panel, 1x1.
    setWindowTitle(kAppTitle);
    surface_.SetBackColor(ShadeColors[0]);
    surface_.Clear();
    ApplyCommandStates(Lifecycle::Empty);
    SetDebuggerShown(false);
    mnuDisplay1x1_Click();
    picScreen->setFocus();
}

frmGB::~frmGB() {
    // The base classes still hide the window after this body, which moves the
    // focus out of the picture; with the fast-forward key held the picture
    // then reports its release, and the slot would run on a frmGB that is
    // already gone.
    picScreen->disconnect(this);
    for (Console* c : {design_.get(), handheld_.get()}) {
        if (!c) continue;
        c->SetHost(nullptr);
        c->SetRunning(false);
    }
}

void frmGB::SetDialogs(Dialogs* dialogs) { watchedDialogs_.SetInner(dialogs ? dialogs : &qtDialogs_); }

// ---- Host ----------------------------------------------------------------

void frmGB::PumpEvents() { run_.PumpEvents(); }

void frmGB::FrameEnded(bool drawn) {
    // The picture changes only in drawn frames (one in three): repaint once
    // then, in the frame end's own pump. Repaints requested meanwhile merge.
    // Fast-forwarding, fewer drawn frames are shown (RepaintDue); the one
    // painted is complete all the same, as pumps run only in VBlank.
    if (run_.RepaintDue(drawn)) picScreen->UpdatePicture();
    rewind_.FrameEnded(console());
    pads_->FrameEnded(run_.FastForwarding());
    MachineFrameEnded();
    // Queued before the pacing wait: the frame's sound is due now.
    sound_->FrameEnded(console().Sound(), SoundAudible());
    NoteSoundDevice();
    run_.FrameEnded();
}

void frmGB::WaitForEvents() {
    UpdateSound();  // paused: no frame ends until it resumes
    run_.WaitForEvents();
}

void frmGB::SetCaption(const std::string& caption) { setWindowTitle(QString::fromLatin1(caption)); }

void frmGB::EnableMachineCommands() { ApplyCommandStates(AfterReset(run_.State())); }

// ---- Loading and running -------------------------------------------------

QString frmGB::OpenRomDialog() {
    const QString path =
        dialogs_->OpenFile(this, "Open GameBoy ROM...", RomDialogFolder(),
                           {"GameBoy ROMs (*.gb)", "GameBoy Color ROMs(*.gbc)", "All Files (*.*)"});
    return path;
}

void frmGB::EnterCartridgeFolder(const QString& path) {
    // The state files go to the loaded cartridge's folder, which also becomes
    // the current directory. Only a load that succeeded moves them, so a
    // failed choice cannot send the running game's states elsewhere.
    QDir::setCurrent(QFileInfo(path).absolutePath());
    stateFolder_ = QFile::encodeName(QDir::currentPath()).toStdString();
    cartridgeLoaded_ = true;
}

void frmGB::mnuFileLoad_Click() {
    const QString path = OpenRomDialog();
    if (path.isEmpty()) return;
    StartRom(path);
}

void frmGB::cmdLoad_Click() { mnuFileLoad_Click(); }

void frmGB::ShowLoadFailure(const QString& path, LoadRomResult loaded) {
    // The fixed text, then why, on a line of its own.
    QString why = QString::fromStdString(LoadRomReasonText(loaded));
    why[0] = why[0].toUpper();
    dialogs_->Critical(this, kAppTitle,
                       "Failed to Load ROM.\n" + why + ": " + QDir::toNativeSeparators(path));
}

void frmGB::StartRom(const QString& path) {
    // On the machine remembered for this cartridge.
    const QString key = CartridgeKey(path);
    const LoadRomResult loaded = LoadOn(ConsoleFor(choices_.MachineFor(key)), path, key, true);
    const QString notes = MachineNotes();
    if (!notes.isEmpty()) ShowNote(notes, kLongNoteMs);
    if (loaded != LoadRomResult::Loaded) return ShowLoadFailure(path, loaded);  // a running game goes on
    ClearPicture();
    ApplyCommandStates(AfterStart(run_.State()));
    RunMachine();
}

void frmGB::cmdLoad2_Click() {
    // Load To Mem: load and reset without running, for the debugger. The
    // load's result is not reported; the reset happens in any case (the
    // reset shows the commands, the ROM Info entry too).
    const QString path = OpenRomDialog();
    const QString key = path.isEmpty() ? QString() : CartridgeKey(path);
    Console& target = key.isEmpty() ? console() : ConsoleFor(choices_.MachineFor(key));
    if (LoadOn(target, path, key, false) != LoadRomResult::Loaded) {
        if (&target != console_) console().Reset();
        MachineReplaced();
    }
    ApplyCommandStates();  // the cartridge's ROM Info came after the reset
    if (const QString notes = MachineNotes(); !notes.isEmpty()) ShowNote(notes, kLongNoteMs);
}

void frmGB::mnuFreeROM_Click() {
    const QString failed = FlushBatteryNow();
    console().Free();
    cartridgeLoaded_ = false;
    romPath_.clear();
    cartKey_.clear();
    UseEmptyMachine();
    MachineReplaced();
    ClearPicture();
    setWindowTitle(kAppTitle);
    ApplyCommandStates(AfterFreeRom(run_.State()));
    if (!failed.isEmpty()) ShowNote(failed, kLongNoteMs);
}

void frmGB::cmdStop_Click() { mnuFreeROM_Click(); }

void frmGB::mnuCPUReset_Click() {
    console().Reset();
    MachineReplaced();
    if (console().Running()) return;  // the running loop carries on from the post-boot state
    console().SetRunning(true);
    ApplyCommandStates(AfterStopEnabled(run_.State()));
    RunMachine();
}

void frmGB::mnuCPUPause_Click() {
    console().SetPaused(!console().Paused());
    ApplyCommandStates();
}

void frmGB::mnuCPUStop_Click() {
    console().SetRunning(false);
    ClearPicture();
    ApplyCommandStates(AfterStop(run_.State()));
}

void frmGB::mnuFileExit_Click() {
    // The process ends at once, so a failure cannot wait in a note.
    if (const QString failed = FlushBatteryNow(); !failed.isEmpty())
        dialogs_->Critical(this, kAppTitle, failed + ".");
    SoundBeforeExit();
    dialogs_->EndProcess();
}

void frmGB::cmdExit_Click() { mnuFileExit_Click(); }

void frmGB::closeEvent(QCloseEvent* e) {
    e->accept();
    mnuFileExit_Click();
}

// ---- Save states ---------------------------------------------------------

void frmGB::mnuSave_Click() {
    const StateLocation where = StateLocationFor(console(), StateFolder());
    std::string error;
    if (console().SaveState(QFile::encodeName(where.path).toStdString(), &error)) {
        ShowNote(where.perUser ? PerUserStateNote(where) : "State saved to " + where.path);
        return;
    }
    dialogs_->Critical(this, kAppTitle,
                       QString("Could not save the state to %1: %2.\nAny earlier state file is kept.")
                           .arg(where.path, QString::fromStdString(error)));
}

void frmGB::mnuLoad_Click() {
    const StateLocation where = StateLocationFor(console(), StateFolder());
    std::string error;
    if (console().LoadState(QFile::encodeName(where.path).toStdString(), &error)) {
        MachineReplaced();
        ShowNote("State loaded from " + where.path);
        return;
    }
    dialogs_->Critical(this, kAppTitle,
                       QString("Could not load the state from %1: %2.\nThe machine was left as it was.")
                           .arg(where.path, QString::fromStdString(error)));
}

// The cartridge's folder, made current at its load; before any load, the
// current directory.
QString frmGB::StateFolder() const {
    return stateFolder_.empty() ? QDir::currentPath() : QFile::decodeName(stateFolder_.c_str());
}

// ---- Display -------------------------------------------------------------

void frmGB::mnuDisplay1x1_Click() { SetDisplayMode(Mode1x1, false); }
void frmGB::mnuDisplay2x2_Click() { SetDisplayMode(Mode2x2, false); }
void frmGB::mnu2x2Int_Click() { SetDisplayMode(Mode2x2Interlaced, true); }

void frmGB::SetDisplayMode(uint8_t mode, bool clear) {
    // Only the interlaced mode clears: its fourth pixel of every block is
    // never drawn and must show the back colour.
    if (clear) ClearPicture();
    displayMode_ = mode;
    console().SetDisplayMode(mode);
    surface_.Resize(ModeWidth(mode), ModeHeight(mode));
    ApplyCommandStates();
    ApplyLayout();
    picScreen->update();
}

void frmGB::ClearPicture() {
    surface_.Clear();
    picScreen->update();
}

// ---- Windows -------------------------------------------------------------

void frmGB::mnuFileROMInfo_Click() {
    if (console().RomImage().size() < kMinRomSize) return;
    if (!romInfo_) romInfo_ = new frmROM(console().RomImage(), this);
    romInfo_->show();
    romInfo_->raise();
    romInfo_->activateWindow();
}

void frmGB::mnuCPUCompat_Click() {
    if (!compat_) compat_ = new frmCompat([this] { return CompatText(); }, this);
    compat_->show();
    compat_->raise();
}

void frmGB::mnuHelpAbout_Click() {
    if (about_) return;  // one window; an open one is left where it is
    about_ = new frmAbout(*dialogs_, this);
    about_->show();
}

void frmGB::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (centred_) return;
    centred_ = true;
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    picScreen->setFocus();
}

// ---- Debugger ------------------------------------------------------------

void frmGB::mnuCPUDebugger_Click() { SetDebuggerShown(mnuCPUDebugger->isChecked()); }

void frmGB::SetDebuggerShown(bool shown) {
    debuggerShown_ = shown;
    ApplyCommandStates();
    for (QWidget* w : std::initializer_list<QWidget*>{cmdLoad2, cmdStep, cmdRunTo, lblStats, Check1, Check2,
                                                      Check3, Check4})
        w->setVisible(shown);
    ApplyLayout();
}

void frmGB::ShowState(bool withCB) {
    dumpText_ = console().RegisterDump(withCB);
    lblStats->setText(QString::fromStdString(dumpText_).replace("\r\n", "\n"));
    const DumpFlags f = FlagsOfDump(dumpText_);
    Check1->setChecked(f.c);
    Check2->setChecked(f.z);
    Check3->setChecked(f.n);
    Check4->setChecked(f.h);
}

void frmGB::cmdStep_Click() {
    sound_->SetAudible(false);  // a game running now stops after the step
    run_.Step([this] {
        ShowState(true);
        update();
        picScreen->update();
    });
    UpdateSound();
}

void frmGB::cmdRunTo_Click() {
    if (run_.RunToActive()) return;
    const auto target = ParseAddress(dialogs_->InputBox(this, "Address:", kAppTitle, "").toStdString());
    if (!target) return;  // cancelled, empty or not a number
    console().SetRunning(true);
    // A machine that runs can be stopped, as after a Reset; with no cartridge
    // Stop stays off with the rest of the machine commands.
    if (cartridgeLoaded_) ApplyCommandStates(AfterStopEnabled(run_.State()));
    sound_->SetAudible(false);                // instructions run as fast as they go
    const bool gaveUp = run_.RunTo(*target);  // the dump shows where it stopped
    UpdateSound();
    ShowState(false);
    if (gaveUp)
        ShowNote(QString("Run To: $%1 not reached in %2 instructions")
                     .arg(QString::fromStdString(Hex(*target)))
                     .arg(kRunToLimit));
}

}  // namespace wenlo::ui
