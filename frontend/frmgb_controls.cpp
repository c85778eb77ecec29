// frmGB's controls: the menus and controls built at start-up, their places
// for the display mode and debugger, and the command states applied to them.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "core/cartridge.h"
#include "frontend/frmgb.h"
#include "frontend/layout.h"
#include "frontend/picture_box.h"
#include "frontend/sound_control.h"

namespace wenlo::ui {

namespace {

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

void frmGB::BuildMenus() {
    QMenuBar* bar = menuBar();
    mnuFile = AddMenu(bar, "mnuFile", "&File");
    mnuFileLoad = AddEntry(mnuFile, "mnuFileLoad", "Load ROM...");
    mnuFreeROM = AddEntry(mnuFile, "mnuFreeROM", "Free ROM");
    mnuFileROMInfo = AddEntry(mnuFile, "mnuFileROMInfo", "ROM Info");
    mnuFileScreenshot = AddEntry(mnuFile, "mnuFileScreenshot", "Screenshot", QKeySequence(Qt::Key_F9));
    mnuFileExit = AddEntry(mnuFile, "mnuFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X));

    mnuDisplay = AddMenu(bar, "mnuDisplay", "Display");
    mnuDisplay1x1 = AddEntry(mnuDisplay, "mnuDisplay1x1", "1x1");
    mnuDisplay2x2 = AddEntry(mnuDisplay, "mnuDisplay2x2", "2x2[SLOW!]");
    mnu2x2Int = AddEntry(mnuDisplay, "mnu2x2Int", "2x2(Interlaced)");
    for (QAction* a : {mnuDisplay1x1, mnuDisplay2x2, mnu2x2Int}) a->setCheckable(true);
    mnuDisplay->addSeparator();
    mnuDisplayEveryFrame = AddEntry(mnuDisplay, "mnuDisplayEveryFrame", "Every Frame");
    mnuDisplayEveryFrame->setCheckable(true);
    mnuDisplayFullscreen =
        AddEntry(mnuDisplay, "mnuDisplayFullscreen", "Fullscreen", QKeySequence(Qt::Key_F11));
    mnuDisplayFullscreen->setCheckable(true);

    mnuSound = AddMenu(bar, "mnuSound", "Sound");
    mnuSoundPlay = AddEntry(mnuSound, "mnuSoundPlay", "Play Sound");
    mnuSoundPlay->setCheckable(true);
    mnuSound->addSeparator();
    mnuSoundVolumeUp =
        AddEntry(mnuSound, "mnuSoundVolumeUp", "Volume Up", QKeySequence(Qt::CTRL | Qt::Key_Up));
    mnuSoundVolumeDown =
        AddEntry(mnuSound, "mnuSoundVolumeDown", "Volume Down", QKeySequence(Qt::CTRL | Qt::Key_Down));

    mnuCPU = AddMenu(bar, "mnuCPU", "CPU");
    mnuCPUReset = AddEntry(mnuCPU, "mnuCPUReset", "Reset");
    mnuCPUPause = AddEntry(mnuCPU, "mnuCPUPause", "Pause");
    mnuCPUPause->setCheckable(true);
    mnuCPUStop = AddEntry(mnuCPU, "mnuCPUStop", "Stop");
    mnuSave = AddEntry(mnuCPU, "mnuSave", "Save State", QKeySequence(Qt::Key_F5));
    mnuLoad = AddEntry(mnuCPU, "mnuLoad", "Load State", QKeySequence(Qt::Key_F7));
    mnuCPU->addSeparator();
    mnuCPUHandheld =
        AddEntry(mnuCPU, "mnuCPUHandheld", "Complete Handheld", QKeySequence(Qt::CTRL | Qt::Key_H));
    mnuCPUHandheld->setCheckable(true);
    mnuCPU->addSeparator();
    mnuCPUDebugger = AddEntry(mnuCPU, "mnuCPUDebugger", "Debugger", QKeySequence(Qt::Key_F12));
    mnuCPUDebugger->setCheckable(true);
    mnuCPUCompat = AddEntry(mnuCPU, "mnuCPUCompat", "Compatibility Report...");

    mnuHelp = AddMenu(bar, "mnuHelp", "&Help");
    mnuHelpAbout = AddEntry(mnuHelp, "mnuHelpAbout", "&About", QKeySequence(Qt::Key_F1));

    // The hidden "CPU" menu (and the menu bar, fullscreen) would take its
    // shortcuts with it; held by the window as well, these keys work
    // whenever their entries are enabled.
    addActions({mnuSave, mnuLoad, mnuCPUDebugger, mnuFileExit, mnuHelpAbout, mnuDisplayFullscreen,
                mnuFileScreenshot, mnuCPUHandheld, mnuSoundVolumeUp, mnuSoundVolumeDown});

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
    connect(mnuCPUCompat, &QAction::triggered, this, &frmGB::mnuCPUCompat_Click);
    connect(mnuCPUHandheld, &QAction::triggered, this, &frmGB::mnuCPUHandheld_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmGB::mnuHelpAbout_Click);
    connect(mnuFileScreenshot, &QAction::triggered, this, &frmGB::mnuFileScreenshot_Click);
    connect(mnuDisplayEveryFrame, &QAction::triggered, this, &frmGB::mnuDisplayEveryFrame_Click);
    connect(mnuDisplayFullscreen, &QAction::triggered, this, &frmGB::mnuDisplayFullscreen_Click);
    connect(mnuSoundPlay, &QAction::triggered, this, &frmGB::mnuSoundPlay_Click);
    connect(mnuSoundVolumeUp, &QAction::triggered, this, &frmGB::mnuSoundVolumeUp_Click);
    connect(mnuSoundVolumeDown, &QAction::triggered, this, &frmGB::mnuSoundVolumeDown_Click);
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
    connect(picScreen, &PictureBox::Rewind, this, &frmGB::picScreen_Rewind);
    connect(picScreen, &PictureBox::FocusLost, this, &frmGB::ReleaseKeyboardKeys);
    client->installEventFilter(this);  // its resizes place the controls

    cmdLoad = MakeControl<QPushButton>(client, "cmdLoad", "&Load");
    cmdStop = MakeControl<QPushButton>(client, "cmdStop", "&Unload");
    cmdExit = MakeControl<QPushButton>(client, "cmdExit", "E&xit");
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

void frmGB::ApplyLayout() {
    if (fullscreen_.Active()) {
        layoutPending_ = true;  // the window takes the mode's size on leaving
        return PlaceControls();
    }
    const MainLayout l = ComputeMainLayout(displayMode_, debuggerShown_);
    const QSize frame = frameGeometry().size() - geometry().size();  // title bar and borders
    resize(l.client.width(), l.client.height() + menuBar()->sizeHint().height());
    // A maximised window keeps its size: the picture fills what it has.
    PlaceControls();
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

void frmGB::PlaceControls() {
    QWidget* client = centralWidget();
    if (fullscreen_.Active()) {
        // Over everything else, which stays as it was underneath.
        picScreen->setGeometry(client->rect());
        picScreen->raise();
        return;
    }
    const MainLayout base = ComputeMainLayout(displayMode_, debuggerShown_);
    // Before the window is shown its client area has no real size yet.
    const MainLayout l = client->isVisible() ? StretchMainLayout(base, client->size()) : base;
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
}

void frmGB::ApplyCommandStates(Lifecycle state) {
    run_.SetState(state);
    CommandFacts facts;
    facts.romInfo = cartridgeLoaded_ && console().RomImage().size() >= kMinRomSize;
    facts.cartridge = cartridgeLoaded_;
    facts.handheld = console().Kind() == MachineKind::Handheld;
    facts.paused = console().Paused();
    facts.displayMode = displayMode_;
    facts.debuggerShown = debuggerShown_;
    const CommandStates c = CommandStatesFor(state, facts);
    cmdStop->setEnabled(c.machineCommands);
    for (QAction* a : {mnuCPUReset, mnuCPUPause, mnuFreeROM, mnuLoad, mnuSave})
        a->setEnabled(c.machineCommands);
    mnuCPUStop->setEnabled(c.stop);
    mnuCPUHandheld->setEnabled(c.machineChoice);
    mnuCPUHandheld->setChecked(c.handheldChecked);
    mnuCPU->menuAction()->setVisible(c.menus);
    mnuDisplay->menuAction()->setVisible(c.menus);
    mnuSound->menuAction()->setVisible(c.menus);
    mnuFileROMInfo->setVisible(c.romInfo);
    mnuFileROMInfo->setEnabled(c.romInfo);
    mnuCPUPause->setChecked(c.pauseChecked);
    mnuDisplay1x1->setChecked(c.display1x1Checked);
    mnuDisplay2x2->setChecked(c.display2x2Checked);
    mnu2x2Int->setChecked(c.display2x2IntChecked);
    mnuCPUDebugger->setChecked(c.debuggerChecked);
    // Not the lifecycle's: a picture to take needs a cartridge; the view
    // entries mirror the window.
    mnuFileScreenshot->setEnabled(cartridgeLoaded_);
    mnuDisplayEveryFrame->setChecked(everyFrame_);
    mnuDisplayFullscreen->setChecked(fullscreen_.Active());
    mnuSoundPlay->setChecked(sound_->Enabled());
    // Most commands that stop or resume the game end here.
    UpdateSound();
}

}  // namespace wenlo::ui
