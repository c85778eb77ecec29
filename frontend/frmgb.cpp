#include "frontend/frmgb.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "core/cartridge.h"
#include "core/cpu.h"
#include "core/scheduler.h"
#include "frontend/compat_window.h"
#include "frontend/frmabout.h"
#include "frontend/frmrom.h"
#include "frontend/keymap.h"
#include "frontend/layout.h"
#include "frontend/picture_box.h"
#include "frontend/texts.h"
#include "input/keys.h"
#include "savestate/state_file.h"

// Resources compiled into a static library must be registered by name, from
// outside any namespace.
static void InitWenloResources() { Q_INIT_RESOURCE(wenlo); }

namespace wenlo::ui {

namespace {

constexpr const char* kAppTitle = "Wenlo";
// The pump called with LY here follows the tick of line 153: a frame ended.
constexpr uint8_t kFrameEndLY = 154;
// The first VBlank refresh of a frame (after the tick of line 145).
constexpr uint8_t kFirstRefreshLY = 146;
constexpr int kDebuggerStepCycles = 7;  // every debugger step counts 7 cycles
constexpr int kCyclesPerLine = 456;
constexpr uint8_t kLastLine = 153;

// Holds one level of a nesting counter for as long as it lives.
class DepthScope {
public:
    explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

private:
    int& depth_;
};

// While a Run To runs, the focus is on its button (or wherever the user
// left it), where Escape would reach no key handler: Escape pressed anywhere
// in the main window stops the run then. Not while a run loop started from
// inside the Run To (a Load ROM) plays a game: Escape is the picture's again.
class EscapeStops : public QObject {
public:
    EscapeStops(Machine& m, QWidget* window, const int& runDepth)
        : m_(m), window_(window), runDepth_(runDepth), ownDepth_(runDepth) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(e)->key() != Qt::Key_Escape)
            return false;
        if (runDepth_ != ownDepth_) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != window_) return false;
        m_.Running = false;
        return true;
    }

private:
    Machine& m_;
    QWidget* window_;
    const int& runDepth_;
    const int ownDepth_;
};

QAction* AddEntry(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& caption) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(name);
    return menu;
}

template <typename T>
T* MakeControl(QWidget* parent, const char* name, const QString& caption = {}) {
    auto* w = new T(caption, parent);
    w->setObjectName(name);
    return w;
}

}  // namespace

frmGB::frmGB(QWidget* parent) : QMainWindow(parent), m_(std::make_unique<Machine>()) {
    setObjectName("frmGB");
    InitWenloResources();
    QIcon icon;
    for (int size : {16, 32, 64, 128}) icon.addFile(QString(":/wenlo/wenlo-%1.png").arg(size));
    setWindowIcon(icon);
    m_->host = this;
    Screen = &surface_;
    clock_.start();
    paceTimer_ = new QTimer(this);
    paceTimer_->setSingleShot(true);
    paceTimer_->setTimerType(Qt::PreciseTimer);

    BuildMenus();
    BuildControls();
    setAcceptDrops(true);

    // Start-up: shades and back colour come with the surface; then the
    // caption, the commands that need a machine, the hidden panel, 1x1.
    setWindowTitle(kAppTitle);
    surface_.SetBackColor(ShadeColors[0]);
    surface_.Clear();
    for (QAction* a : {mnuCPUReset, mnuCPUStop, mnuCPUPause, mnuSave, mnuLoad}) a->setEnabled(false);
    mnuCPU->menuAction()->setVisible(false);
    mnuDisplay->menuAction()->setVisible(false);
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
    m_->host = nullptr;
    m_->Running = false;
}

void frmGB::BuildMenus() {
    QMenuBar* bar = menuBar();
    mnuFile = AddMenu(bar, "mnuFile", "&File");
    mnuFileLoad = AddEntry(mnuFile, "mnuFileLoad", "Load ROM...");
    mnuFreeROM = AddEntry(mnuFile, "mnuFreeROM", "Free ROM");
    mnuFileROMInfo = AddEntry(mnuFile, "mnuFileROMInfo", "ROM Info");
    mnuFileExit = AddEntry(mnuFile, "mnuFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X));

    mnuDisplay = AddMenu(bar, "mnuDisplay", "Display");
    mnuDisplay1x1 = AddEntry(mnuDisplay, "mnuDisplay1x1", "1x1");
    mnuDisplay2x2 = AddEntry(mnuDisplay, "mnuDisplay2x2", "2x2[SLOW!]");
    mnu2x2Int = AddEntry(mnuDisplay, "mnu2x2Int", "2x2(Interlaced)");
    for (QAction* a : {mnuDisplay1x1, mnuDisplay2x2, mnu2x2Int}) a->setCheckable(true);

    mnuCPU = AddMenu(bar, "mnuCPU", "CPU");
    mnuCPUReset = AddEntry(mnuCPU, "mnuCPUReset", "Reset");
    mnuCPUPause = AddEntry(mnuCPU, "mnuCPUPause", "Pause");
    mnuCPUPause->setCheckable(true);
    mnuCPUStop = AddEntry(mnuCPU, "mnuCPUStop", "Stop");
    mnuSave = AddEntry(mnuCPU, "mnuSave", "Save State", QKeySequence(Qt::Key_F5));
    mnuLoad = AddEntry(mnuCPU, "mnuLoad", "Load State", QKeySequence(Qt::Key_F7));
    mnuCPU->addSeparator();
    mnuCPUDebugger = AddEntry(mnuCPU, "mnuCPUDebugger", "Debugger", QKeySequence(Qt::Key_F12));
    mnuCPUDebugger->setCheckable(true);
    mnuCPUCompat = AddEntry(mnuCPU, "mnuCPUCompat", "Compatibility Report...");
    connect(mnuCPUCompat, &QAction::triggered, this, &frmGB::mnuCPUCompat_Click);

    mnuHelp = AddMenu(bar, "mnuHelp", "&Help");
    mnuHelpAbout = AddEntry(mnuHelp, "mnuHelpAbout", "&About", QKeySequence(Qt::Key_F1));

    // The hidden "CPU" menu would take its shortcuts with it; held by the
    // window as well, these keys work whenever their entries are enabled.
    addActions({mnuSave, mnuLoad, mnuCPUDebugger, mnuFileExit, mnuHelpAbout});

    connect(mnuFileLoad, &QAction::triggered, this, &frmGB::mnuFileLoad_Click);
    connect(mnuFreeROM, &QAction::triggered, this, &frmGB::mnuFreeROM_Click);
    connect(mnuFileROMInfo, &QAction::triggered, this, &frmGB::mnuFileROMInfo_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmGB::mnuFileExit_Click);
    connect(mnuDisplay1x1, &QAction::triggered, this, &frmGB::mnuDisplay1x1_Click);
    connect(mnuDisplay2x2, &QAction::triggered, this, &frmGB::mnuDisplay2x2_Click);
    connect(mnu2x2Int, &QAction::triggered, this, &frmGB::mnu2x2Int_Click);
    connect(mnuCPUReset, &QAction::triggered, this, &frmGB::mnuCPUReset_Click);
    connect(mnuCPUPause, &QAction::triggered, this, &frmGB::mnuCPUPause_Click);
    connect(mnuCPUStop, &QAction::triggered, this, &frmGB::mnuCPUStop_Click);
    connect(mnuSave, &QAction::triggered, this, &frmGB::mnuSave_Click);
    connect(mnuLoad, &QAction::triggered, this, &frmGB::mnuLoad_Click);
    connect(mnuCPUDebugger, &QAction::triggered, this, &frmGB::mnuCPUDebugger_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmGB::mnuHelpAbout_Click);

    // "ROM Info" appears only while a cartridge is loaded.
    mnuFileROMInfo->setVisible(false);
    mnuFileROMInfo->setEnabled(false);
    mnuFreeROM->setEnabled(false);
}

void frmGB::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);

    // The etched separator: a grey line over a white one, wider than any
    // window, so it always spans the client area.
    Line1 = new QFrame(client);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    picScreen = new PictureBox(surface_, client);
    picScreen->setObjectName("picScreen");
    connect(picScreen, &PictureBox::KeyDown, this, &frmGB::picScreen_KeyDown);
    connect(picScreen, &PictureBox::KeyUp, this, &frmGB::picScreen_KeyUp);
    connect(picScreen, &PictureBox::FastForward, this, &frmGB::picScreen_FastForward);

    cmdLoad = MakeControl<QPushButton>(client, "cmdLoad", "&Load");
    cmdStop = MakeControl<QPushButton>(client, "cmdStop", "&Unload");
    cmdExit = MakeControl<QPushButton>(client, "cmdExit", "E&xit");
    cmdStop->setEnabled(false);
    connect(cmdLoad, &QPushButton::clicked, this, &frmGB::cmdLoad_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmGB::cmdStop_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmGB::cmdExit_Click);

    cmdLoad2 = MakeControl<QPushButton>(client, "cmdLoad2", "Load To Mem");
    cmdStep = MakeControl<QPushButton>(client, "cmdStep", "&Step");
    cmdRunTo = MakeControl<QPushButton>(client, "cmdRunTo", "&Run To");
    connect(cmdLoad2, &QPushButton::clicked, this, &frmGB::cmdLoad2_Click);
    connect(cmdStep, &QPushButton::clicked, this, &frmGB::cmdStep_Click);
    connect(cmdRunTo, &QPushButton::clicked, this, &frmGB::cmdRunTo_Click);
    lblStats = MakeControl<QLabel>(client, "lblStats");
    lblStats->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStats->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Check1 = MakeControl<QCheckBox>(client, "Check1", "fC");
    Check2 = MakeControl<QCheckBox>(client, "Check2", "fZ");
    Check3 = MakeControl<QCheckBox>(client, "Check3", "fN");
    Check4 = MakeControl<QCheckBox>(client, "Check4", "fH");

    // Buttons take the focus when clicked; the picture takes it back.
    for (QPushButton* b : {cmdLoad, cmdStop, cmdExit, cmdLoad2, cmdStep, cmdRunTo}) b->setAutoDefault(false);
    setTabOrder(picScreen, cmdStop);
    setTabOrder(cmdStop, cmdLoad);
    setTabOrder(cmdLoad, cmdExit);
    setTabOrder(cmdExit, cmdLoad2);
    setTabOrder(cmdLoad2, cmdStep);
    setTabOrder(cmdStep, cmdRunTo);
    setTabOrder(cmdRunTo, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Check3);
    setTabOrder(Check3, Check4);
}

void frmGB::SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs ? dialogs : &qtDialogs_; }

// ---- Host ----------------------------------------------------------------

void frmGB::PumpEvents() {
    if (m_->LY == kFrameEndLY)
        EndOfFrame();
    else
        QCoreApplication::processEvents();
}

void frmGB::EndOfFrame() {
    QCoreApplication::processEvents();
    if (paced_) {
        // Wait for the frame's deadline inside the event loop, woken by a
        // timer, so a paced machine leaves the core idle and stays responsive.
        const int64_t deadline = pacer_.FrameEnded(clock_.nsecsElapsed(), fastForward_);
        for (;;) {
            const int64_t left = deadline - clock_.nsecsElapsed();
            if (left <= 0 || !m_->Running || fastForward_) break;
            paceTimer_->start(int((left + 999'999) / 1'000'000));  // never early: no spinning
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        paceTimer_->stop();
    }
    if (frameObserver_) frameObserver_();
}

void frmGB::WaitForEvents() {
    DepthScope wait(waitDepth_);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void frmGB::RefreshPicture() {
    // The picture changes only in drawn frames (one in three), and the nine
    // VBlank refreshes of a frame show the same image: repaint once, right
    // after a drawn frame. Repaints requested meanwhile merge in Qt.
    if (m_->LY == kFirstRefreshLY && uint8_t(m_->FrameCount - 1) % 3 == 0) picScreen->update();
}

void frmGB::SetCaption(const std::string& caption) { setWindowTitle(QString::fromLatin1(caption)); }

void frmGB::EnableMachineCommands() {
    cmdStop->setEnabled(true);
    for (QAction* a : {mnuCPUReset, mnuCPUPause, mnuCPUStop, mnuFreeROM, mnuLoad, mnuSave})
        a->setEnabled(true);
}

// ---- Loading and running -------------------------------------------------

QString frmGB::OpenRomDialog() {
    const QString path =
        dialogs_->OpenFile(this, "Open GameBoy ROM...", QCoreApplication::applicationDirPath(),
                           {"GameBoy ROMs (*.gb)", "GameBoy Color ROMs(*.gbc)", "All Files (*.*)"});
    return path;
}

void frmGB::EnterCartridgeFolder(const QString& path) {
    // State files carry no folder: they go to the current directory, which
    // is made the loaded cartridge's folder. Only a load that succeeded moves
    // it, so a failed choice cannot send the running game's states elsewhere.
    QDir::setCurrent(QFileInfo(path).absolutePath());
}

void frmGB::mnuFileLoad_Click() {
    const QString path = OpenRomDialog();
    if (path.isEmpty()) return;
    StartRom(path);
}

void frmGB::cmdLoad_Click() { mnuFileLoad_Click(); }

void frmGB::StartRom(const QString& path) {
    if (!LoadRom(*m_, QFile::encodeName(path).toStdString())) {
        dialogs_->Critical(this, kAppTitle, "Failed to Load ROM.");
        return;  // a game that was running goes on
    }
    EnterCartridgeFolder(path);
    cartridgeLoaded_ = true;
    UpdateRomInfoEntry();
    ResetMachine(*m_);
    ClearPicture();
    m_->Running = true;
    m_->Paused = false;
    mnuCPUPause->setChecked(false);
    mnuDisplay->menuAction()->setVisible(true);
    mnuCPU->menuAction()->setVisible(true);
    RunMachine();
}

void frmGB::RunMachine() {
    ++machineStarts_;
    // Called from inside a running loop's event pump or pause wait: that
    // loop tests Running once its scanline is done and carries on with the
    // machine as it is now. A second loop would only pile up on the stack,
    // one more with every load made during a game.
    if (runDepth_ > 0) return;
    DepthScope run(runDepth_);
    // Lets the window show the cleared picture and the menus first. The
    // commands handled here (Stop, another load) find the state complete:
    // everything the starting command changes is set before this pump.
    QCoreApplication::processEvents();
    RunEmulation(*m_);
}

void frmGB::cmdLoad2_Click() {
    // Load To Mem: load and reset without running, for the debugger. The
    // load's result is not reported; the reset happens in any case.
    const QString path = OpenRomDialog();
    if (LoadRom(*m_, QFile::encodeName(path).toStdString())) {
        EnterCartridgeFolder(path);
        cartridgeLoaded_ = true;
        UpdateRomInfoEntry();
    }
    ResetMachine(*m_);
}

void frmGB::mnuFreeROM_Click() {
    m_->Running = false;
    m_->Paused = false;
    mnuCPUPause->setChecked(false);
    m_->Oam.fill(0);
    m_->VideoRam.fill(0);
    m_->RomWindow.fill(0);
    for (auto& slot : m_->RamBanks) slot.fill(0);
    m_->CartType = 0;
    m_->BankMode = 0;
    ClearPicture();
    setWindowTitle(kAppTitle);
    cmdStop->setEnabled(false);
    for (QAction* a : {mnuCPUStop, mnuFreeROM, mnuCPUPause, mnuCPUReset, mnuLoad, mnuSave})
        a->setEnabled(false);
    mnuCPU->menuAction()->setVisible(false);
    mnuDisplay->menuAction()->setVisible(false);
    cartridgeLoaded_ = false;
    UpdateRomInfoEntry();
}

void frmGB::cmdStop_Click() { mnuFreeROM_Click(); }

void frmGB::mnuCPUReset_Click() {
    ResetMachine(*m_);
    if (m_->Running) return;  // the running loop carries on from the post-boot state
    m_->Running = true;
    mnuCPUStop->setEnabled(true);
    RunMachine();
}

void frmGB::mnuCPUPause_Click() {
    m_->Paused = !m_->Paused;
    mnuCPUPause->setChecked(m_->Paused);
}

void frmGB::mnuCPUStop_Click() {
    m_->Running = false;
    ClearPicture();
    mnuCPUStop->setEnabled(false);
}

void frmGB::mnuFileExit_Click() { dialogs_->EndProcess(); }

void frmGB::cmdExit_Click() { mnuFileExit_Click(); }

void frmGB::closeEvent(QCloseEvent* e) {
    e->accept();
    dialogs_->EndProcess();
}

// ---- Save states ---------------------------------------------------------

void frmGB::mnuSave_Click() {
    std::string error;
    if (SaveState(*m_, &error)) return;
    dialogs_->Critical(this, kAppTitle,
                       QString("Could not save the state to %1: %2.\nAny earlier state file is kept.")
                           .arg(QDir::current().filePath(QString::fromStdString(StateFileName(*m_))),
                                QString::fromStdString(error)));
}

void frmGB::mnuLoad_Click() {
    std::string error;
    if (LoadState(*m_, &error)) return;
    dialogs_->Critical(this, kAppTitle,
                       QString("Could not load the state from %1: %2.\nThe machine was left as it was.")
                           .arg(QDir::current().filePath(QString::fromStdString(StateFileName(*m_))),
                                QString::fromStdString(error)));
}

// ---- Display -------------------------------------------------------------

void frmGB::mnuDisplay1x1_Click() { SetDisplayMode(Mode1x1, false); }
void frmGB::mnuDisplay2x2_Click() { SetDisplayMode(Mode2x2, false); }
void frmGB::mnu2x2Int_Click() { SetDisplayMode(Mode2x2Interlaced, true); }

void frmGB::SetDisplayMode(uint8_t mode, bool clear) {
    // Only the interlaced mode clears: its fourth pixel of every block is
    // never drawn and must show the back colour.
    if (clear) ClearPicture();
    m_->DisplayMode = mode;
    surface_.Resize(ModeWidth(mode), ModeHeight(mode));
    mnuDisplay1x1->setChecked(mode == Mode1x1);
    mnuDisplay2x2->setChecked(mode == Mode2x2);
    mnu2x2Int->setChecked(mode == Mode2x2Interlaced);
    ApplyLayout();
    picScreen->update();
}

void frmGB::ApplyLayout() {
    const MainLayout l = ComputeMainLayout(m_->DisplayMode, debuggerShown_);
    Line1->setGeometry(l.Line1);
    picScreen->setGeometry(l.picScreen);
    cmdLoad->setGeometry(l.cmdLoad);
    cmdStop->setGeometry(l.cmdStop);
    cmdExit->setGeometry(l.cmdExit);
    cmdLoad2->setGeometry(l.cmdLoad2);
    cmdStep->setGeometry(l.cmdStep);
    cmdRunTo->setGeometry(l.cmdRunTo);
    lblStats->setGeometry(l.lblStats);
    QCheckBox* checks[] = {Check1, Check2, Check3, Check4};
    for (int i = 0; i < 4; ++i) checks[i]->setGeometry(l.Check[i]);
    const QSize frame = frameGeometry().size() - geometry().size();  // title bar and borders
    resize(l.client.width(), l.client.height() + menuBar()->sizeHint().height());
    // A window grown by the debugger or a 2x2 mode stays on the screen.
    const QScreen* s = screen();
    if (!isVisible() || !s) return;
    const QRect avail = s->availableGeometry();
    const QSize outer = size() + frame;
    QPoint at = pos();
    at.setX(std::max(avail.left(), std::min(at.x(), avail.right() + 1 - outer.width())));
    at.setY(std::max(avail.top(), std::min(at.y(), avail.bottom() + 1 - outer.height())));
    if (at != pos()) move(at);
}

void frmGB::ClearPicture() {
    surface_.Clear();
    picScreen->update();
}

// ---- Windows -------------------------------------------------------------

void frmGB::UpdateRomInfoEntry() {
    const bool shown = cartridgeLoaded_ && m_->RomImage.size() >= kMinRomSize;
    mnuFileROMInfo->setVisible(shown);
    mnuFileROMInfo->setEnabled(shown);
}

void frmGB::mnuFileROMInfo_Click() {
    if (m_->RomImage.size() < kMinRomSize) return;
    if (!romInfo_) romInfo_ = new frmROM(*m_, this);
    romInfo_->show();
    romInfo_->raise();
    romInfo_->activateWindow();
}

void frmGB::mnuCPUCompat_Click() {
    if (!compat_) compat_ = new frmCompat(*m_, cartridgeLoaded_, this);
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
    mnuCPUDebugger->setChecked(shown);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdLoad2, cmdStep, cmdRunTo, lblStats, Check1, Check2,
                                                      Check3, Check4})
        w->setVisible(shown);
    ApplyLayout();
}

void frmGB::AdvanceOne() {
    Interpret(*m_, 1);
    StepCycles_ += kDebuggerStepCycles;
    if (StepCycles_ > kCyclesPerLine) {
        ScanlineTick(*m_, false);
        if (m_->LY > kLastLine) m_->LY = 0;
        StepCycles_ = 0;
    }
}

void frmGB::ShowState(bool withCB) {
    dumpText_ = RegisterDump(*m_, withCB);
    lblStats->setText(QString::fromStdString(dumpText_).replace("\r\n", "\n"));
    Check1->setChecked(m_->flagC == 1);
    Check2->setChecked(m_->flagZ == 1);
    Check3->setChecked(m_->flagN == 1);
    Check4->setChecked(m_->flagH == 1);
}

void frmGB::cmdStep_Click() {
    // A Step made while paused waits in the pause wait, where the button can
    // be clicked again: one Step at a time, so clicks cannot pile up waits.
    if (stepActive_) return;
    stepActive_ = true;
    const uint32_t starts = machineStarts_;
    if (!m_->Running) m_->Running = true;
    AdvanceOne();
    ShowState(true);
    update();
    picScreen->update();
    // Ends a run loop this Step interrupted, unless a Load ROM or Reset made
    // during its pause wait started the machine afresh: that run goes on.
    if (machineStarts_ == starts) m_->Running = false;
    stepActive_ = false;
}

void frmGB::cmdRunTo_Click() {
    if (runToActive_) return;
    const auto target = ParseAddress(dialogs_->InputBox(this, "Address:", kAppTitle, "").toStdString());
    if (!target) return;  // cancelled, empty or not a number
    RunToTarget_ = *target;
    m_->Running = true;
    // A machine that runs can be stopped, as after a Reset; with no cartridge
    // Stop stays off with the rest of the machine commands.
    if (cartridgeLoaded_) mnuCPUStop->setEnabled(true);
    // A target that is never reached must not hang the window: events are
    // handled every few thousand steps (Stop, Escape and Pause work), and the
    // run gives up after kRunToLimit steps; the dump shows where it stopped.
    // A Load ROM or Reset from stopped handled meanwhile (here or in a pause
    // wait) ends it as well: the target belonged to the machine they replaced,
    // and the run loop is theirs.
    runToActive_ = true;
    const uint32_t starts = machineStarts_;
    EscapeStops escape(*m_, this, runDepth_);
    qApp->installEventFilter(&escape);
    for (int64_t steps = 0; m_->regPC != RunToTarget_ && steps < kRunToLimit;) {
        AdvanceOne();
        if (machineStarts_ != starts) break;
        if (++steps % kRunToPumpEvery != 0) continue;
        QCoreApplication::processEvents();
        while (m_->Paused && m_->Running) WaitForEvents();
        if (!m_->Running || machineStarts_ != starts) break;
    }
    runToActive_ = false;
    ShowState(false);
}

// ---- Keys ----------------------------------------------------------------

void frmGB::picScreen_KeyDown(int keyCode) {
    if (keyCode < 0 || keyCode >= int(m_->KeyState.size())) return;
    m_->KeyState[keyCode] = 1;
    if (keyCode == keys::Escape) m_->Running = false;  // stops, but neither clears nor disables Stop
}

void frmGB::picScreen_KeyUp(int keyCode) {
    if (keyCode < 0 || keyCode >= int(m_->KeyState.size())) return;
    m_->KeyState[keyCode] = 0;
}

void frmGB::picScreen_FastForward(bool held) { fastForward_ = held; }

bool frmGB::OwnsKeyEvents() const {
    // The window does not preview keys: it sees them only when no control
    // has the focus, not when a button passes on a key it does not use.
    const QWidget* focus = QApplication::focusWidget();
    return focus == nullptr || focus == this;
}

void frmGB::keyPressEvent(QKeyEvent* e) {
    if (!OwnsKeyEvents() || e->isAutoRepeat()) return QMainWindow::keyPressEvent(e);
    const int code = HostKeyToKeyCode(e->key());
    if (code >= 0) m_->KeyState[code] = 1;
}

void frmGB::keyReleaseEvent(QKeyEvent* e) {
    if (!OwnsKeyEvents() || e->isAutoRepeat()) return QMainWindow::keyReleaseEvent(e);
    const int code = HostKeyToKeyCode(e->key());
    if (code >= 0) m_->KeyState[code] = 0;
}

// ---- Drag and drop -------------------------------------------------------

QString frmGB::DroppedCartridge(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return {};
    const QFileInfo info(url.toLocalFile());
    return info.isFile() ? info.absoluteFilePath() : QString();
}

void frmGB::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedCartridge(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void frmGB::dropEvent(QDropEvent* e) {
    const QString path = DroppedCartridge(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    // The drop must finish before the run loop starts: the dragging program
    // waits for its answer.
    QTimer::singleShot(0, this, [this, path] { StartRom(path); });
}

}  // namespace wenlo::ui
