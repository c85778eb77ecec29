// frmGB: the main window. It owns the one Machine and its picture surface,
// implements the machine's Host over Qt (event pumps, repaints, caption,
// command enabling), and carries the menus, the three command buttons, the
// picture and the debugger panel. Commands are slots named after the control
// and event; a button calls the slot of the menu entry it stands for.
//
// The run loop, its nesting rule, pacing and the debugger's stepping belong to
// the run controller (run_controller.h); which commands are enabled, shown and
// checked comes from its lifecycle state through one table
// (command_states.h), applied to the controls by ApplyCommandStates. The
// file is split by feature: frmgb.cpp (commands), frmgb_controls.cpp (menus,
// controls, layout, command states), frmgb_keys.cpp (key routing),
// frmgb_drop.cpp (drag and drop).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "core/machine.h"
#include "frontend/dialogs.h"
#include "frontend/rewind_control.h"
#include "frontend/fullscreen.h"
#include "frontend/run_controller.h"
#include "input/key_sources.h"
#include "video/surface.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMimeData;
class QMenu;
class QPushButton;

namespace wenlo::ui {

class Gamepads;
class PictureBox;
class frmAbout;
class frmCompat;
class frmROM;

class frmGB : public QMainWindow, public Host {
    Q_OBJECT
public:
    // Start-up: builds the controls, selects 1x1, hides the emulation menus
    // and the debugger. The caller shows the window.
    explicit frmGB(QWidget* parent = nullptr);
    ~frmGB() override;

    Machine& machine() { return *m_; }
    const Surface& surface() const { return surface_; }

    // The dialog seam; null restores the real dialogs. Not owned.
    void SetDialogs(Dialogs* dialogs);
    // Pace runs to the handheld's frame rate (default on).
    void SetPaced(bool paced) { run_.SetPaced(paced); }
    // Called at the end of every emulated frame, after the pacing wait.
    void SetFrameObserver(std::function<void()> observer) { run_.SetFrameObserver(std::move(observer)); }
    bool FastForwarding() const { return run_.FastForwarding(); }
    // Rewind (Backspace held in the picture) and its history.
    RewindControl& Rewind() { return rewind_; }
    // The gamepads, polled at frame ends and on a timer.
    Gamepads& Pads() { return *pads_; }

    // The open-file dialog of Load ROM and Load To Mem: the chosen file's
    // full path, or empty when cancelled.
    QString OpenRomDialog();
    // Load ROM with a path already chosen (the dialog's answer, or a file
    // dropped on the window): load, make the file's folder the current
    // directory (where the state files go), reset, run until Running is
    // false; made during a run, it returns at once and that run goes on with
    // the new cartridge. A failed load shows "Failed to Load ROM." and
    // changes nothing.
    void StartRom(const QString& path);

    // A short note over the picture for about two seconds (picture_note.h);
    // the note shown now, empty when none is.
    void ShowNote(const QString& text);
    QString NoteText() const;
    // Where screenshots go; empty (the default) is DefaultScreenshotFolder().
    void SetScreenshotFolder(const QString& folder) { screenshotFolder_ = folder; }
    bool IsFullscreen() const { return fullscreen_.Active(); }
    // The Game Boy keys the keyboard holds down now (not a pad's).
    const KeySources& KeyboardHeld() const { return heldKeys_; }

    // The debugger's last register dump exactly, lines separated by "\r\n".
    const std::string& RegisterDumpText() const { return dumpText_; }

    // Run loops (RunEmulation calls of Load ROM and Reset, counted from the
    // moment the loop is committed to) now on the stack: 0 or 1.
    int RunDepth() const { return run_.RunDepth(); }
    // Pause waits now on the stack: the interpreter's under a run loop, a
    // Step's and a Run To's, at most one of each.
    int WaitDepth() const { return run_.WaitDepth(); }
    int32_t StepCycles() const { return run_.StepCycles(); }
    // Run To gives up after this many instructions, showing where it stopped.
    static constexpr int64_t kRunToLimit = RunController::kRunToLimit;
    // ... and handles window events every this many instructions.
    static constexpr int kRunToPumpEvery = RunController::kRunToPumpEvery;

    // Host.
    void PumpEvents() override;
    void WaitForEvents() override;
    void FrameEnded(bool drawn) override;
    void SetCaption(const std::string& caption) override;
    void EnableMachineCommands() override;

    // Controls, named as the design names them (objectName too).
    PictureBox* picScreen;
    QPushButton *cmdLoad, *cmdStop, *cmdExit;
    QFrame* Line1;
    QPushButton *cmdStep, *cmdRunTo, *cmdLoad2;
    QLabel* lblStats;
    QCheckBox *Check1, *Check2, *Check3, *Check4;
    QMenu *mnuFile, *mnuDisplay, *mnuCPU, *mnuHelp;
    QAction *mnuFileLoad, *mnuFreeROM, *mnuFileROMInfo, *mnuFileExit;
    QAction *mnuDisplay1x1, *mnuDisplay2x2, *mnu2x2Int;
    QAction *mnuFileScreenshot, *mnuDisplayEveryFrame, *mnuDisplayFullscreen;
    QAction *mnuCPUReset, *mnuCPUPause, *mnuCPUStop, *mnuSave, *mnuLoad, *mnuCPUDebugger;
    QAction* mnuCPUCompat;
    QAction* mnuHelpAbout;

public slots:
    void mnuFileLoad_Click();
    void cmdLoad_Click();
    void mnuFreeROM_Click();
    void cmdStop_Click();
    void mnuFileROMInfo_Click();
    void mnuFileExit_Click();
    void cmdExit_Click();
    void mnuDisplay1x1_Click();
    void mnuDisplay2x2_Click();
    void mnu2x2Int_Click();
    void mnuCPUReset_Click();
    void mnuCPUPause_Click();
    void mnuCPUStop_Click();
    void mnuSave_Click();
    void mnuLoad_Click();
    void mnuCPUDebugger_Click();
    void mnuCPUCompat_Click();
    void mnuHelpAbout_Click();
    void cmdStep_Click();
    void cmdRunTo_Click();
    void cmdLoad2_Click();
    void picScreen_KeyDown(int keyCode);
    void picScreen_KeyUp(int keyCode);
    void picScreen_FastForward(bool held);
    void picScreen_Rewind(bool held);
    void mnuFileScreenshot_Click();
    void mnuDisplayEveryFrame_Click();
    void mnuDisplayFullscreen_Click();
    // Releases every Game Boy key the keyboard holds, through KeyUp as if
    // its key-up had come, and ends fast-forward: the picture lost the
    // focus, or the window was deactivated or minimised.
    void ReleaseKeyboardKeys();

protected:
    void showEvent(QShowEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dropEvent(QDropEvent*) override;
    void changeEvent(QEvent*) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildMenus();
    void BuildControls();
    void EnterCartridgeFolder(const QString& path);
    void SetDisplayMode(uint8_t mode, bool clear);
    void ApplyLayout();
    // The controls' places for the client area's size now: the layout of
    // the display mode, the picture taking what the window has grown by
    // (layout.h), or the whole client area fullscreen.
    void PlaceControls();
    void ClearPicture();
    // Moves the lifecycle state on, then shows the commands as the table says.
    void ApplyCommandStates(Lifecycle state);
    void ApplyCommandStates() { ApplyCommandStates(run_.State()); }
    void SetDebuggerShown(bool shown);
    void ShowState(bool withCB);
    // The state file's full path as messages show it.
    QString StateFolder() const;
    bool OwnsKeyEvents() const;
    static QString DroppedCartridge(const QMimeData* mime);

    std::unique_ptr<Machine> m_;
    Surface surface_;
    QtDialogs qtDialogs_;
    Dialogs* dialogs_ = &qtDialogs_;
    RunController run_;
    // Keys held through the keyboard (source 0) and each pad.
    KeySources heldKeys_;
    RewindControl rewind_;
    std::unique_ptr<Gamepads> pads_;

    bool cartridgeLoaded_ = false;
    bool debuggerShown_ = false;
    bool centred_ = false;
    // The folder of the state files: the loaded cartridge's, as the current
    // directory became when it loaded; empty before any load (the current
    // directory itself).
    std::string stateFolder_;
    std::string dumpText_;

    FullscreenMode fullscreen_;
    bool layoutPending_ = false;  // display mode or debugger changed fullscreen
    QString screenshotFolder_;

    QPointer<frmAbout> about_;
    QPointer<frmROM> romInfo_;
    QPointer<frmCompat> compat_;
};

}  // namespace wenlo::ui
