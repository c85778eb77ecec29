// frmGB: the main window. It owns both machines behind their consoles
// (core/console.h): the design's Machine, always there, and the complete
// handheld, made when a cartridge first runs on it; one of them is the
// console in use, chosen per cartridge (frmgb_machine.cpp). It owns the
// picture surface, implements the machines' Host over Qt (event pumps,
// repaints, caption, command enabling), and carries the menus, the three
// command buttons, the picture and the debugger panel. Commands are slots
// named after the control and event; a button calls the slot of the menu
// entry it stands for. Apart from where the machine is chosen, the commands
// reach the machine only through the console in use.
//
// The run loop, its nesting rule, pacing and the debugger's stepping belong to
// the run controller (run_controller.h); which commands are enabled, shown and
// checked comes from its lifecycle state through one table
// (command_states.h), applied to the controls by ApplyCommandStates. The
// file is split by feature: frmgb.cpp (commands), frmgb_controls.cpp (menus,
// controls, layout, command states), frmgb_keys.cpp (key routing),
// frmgb_drop.cpp (drag and drop), frmgb_machine.cpp (the machine choice, the
// suggestion of the handheld, battery saves), frmgb_sound.cpp (the sound
// entries, and when the game is heard).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "core/console.h"
#include "core/machine.h"
#include "frontend/dialogs.h"
#include "frontend/fullscreen.h"
#include "frontend/machine_choices.h"
#include "frontend/rewind_control.h"
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
class SoundControl;
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

    // The design's machine, whether or not it is the one in use.
    Machine& machine() { return *m_; }
    // The console in use: the design's machine or the complete handheld.
    Console& console() { return *console_; }
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
    // The sound device and the Sound menu's choices (sound_control.h).
    SoundControl& Sound() { return *sound_; }
    // Whether the game is heard now: a run loop plays it at 1x, not paused,
    // no fast-forward, rewind, Step or Run To, and no modal dialog open.
    bool SoundAudible() const;

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

    // A short note over the picture for about two seconds, or ms
    // (picture_note.h); the note shown now, empty when none is.
    void ShowNote(const QString& text, int ms = kNoteMs);
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
    // Notes: most for two seconds; problems and the suggestion longer.
    static constexpr int kNoteMs = 2000;
    static constexpr int kLongNoteMs = 6000;
    // The suggestion of the complete handheld looks at the first this many
    // frames of a cartridge on the design's machine (five seconds).
    static constexpr int64_t kSuggestFrames = 300;
    // A battery-backed cartridge's RAM is written this many frames after the
    // game last wrote it (two seconds), so a crash loses at most that ...
    static constexpr uint64_t kBatteryQuietFrames = 120;
    // ... and, where that failed, tried again after this many frames.
    static constexpr uint64_t kBatteryRetryFrames = 600;

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
    QMenu *mnuFile, *mnuDisplay, *mnuSound, *mnuCPU, *mnuHelp;
    QAction *mnuFileLoad, *mnuFreeROM, *mnuFileROMInfo, *mnuFileExit;
    QAction *mnuDisplay1x1, *mnuDisplay2x2, *mnu2x2Int;
    QAction *mnuFileScreenshot, *mnuDisplayEveryFrame, *mnuDisplayFullscreen;
    QAction *mnuSoundPlay, *mnuSoundVolumeUp, *mnuSoundVolumeDown;
    QAction *mnuCPUReset, *mnuCPUPause, *mnuCPUStop, *mnuSave, *mnuLoad, *mnuCPUDebugger;
    QAction* mnuCPUCompat;
    QAction* mnuCPUHandheld;
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
    // Runs the cartridge on the other machine from its start, and remembers
    // that machine for it (machine_choices.h). Disabled without a cartridge.
    void mnuCPUHandheld_Click();
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
    // Sound on or off, and the volume by one step: remembered in the
    // settings file, told in a note.
    void mnuSoundPlay_Click();
    void mnuSoundVolumeUp_Click();
    void mnuSoundVolumeDown_Click();
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
    void ShowLoadFailure(const QString& path, LoadRomResult why);
    // The run controller's Run, the sound following what it left.
    void RunMachine();

    // frmgb_sound.cpp. The output faded to SoundAudible now; called wherever
    // that may change (a frame end does it too).
    void UpdateSound();
    // A modal dialog opened (true) or was answered (false).
    void ModalDialog(bool open);
    void ShowVolumeNote();
    // Exit's part: the figures on standard error when WENLO_SOUND_STATS is
    // set, then the sound faded out before the process ends.
    void SoundBeforeExit();
    // After a frame end: a note when the sound device was lost or is back.
    void NoteSoundDevice();

    // frmgb_machine.cpp. The console of a kind (the handheld's made at its
    // first use).
    Console& ConsoleFor(MachineKind kind);
    // Puts a console in use: the run loop, the pads, the view settings and
    // the compatibility window follow it.
    void UseConsole(Console& next);
    // Loads the cartridge at path into target (Start when run, else
    // LoadToMemory), the battery of the one in use written first. When it
    // loads, target becomes the console in use and the cartridge the
    // window's; a file that does not load changes nothing (but for
    // LoadToMemory's reset of target).
    LoadRomResult LoadOn(Console& target, const QString& path, const QString& key, bool run);
    // The console in use hands the game to next: keys held go with it, the
    // one before is stopped and freed. carryRun: next runs (and is paused)
    // as the one before was.
    void HandOver(Console& next, bool carryRun);
    // Without a cartridge the design's machine is the one in use (Free
    // ROM): the debugger steps an empty machine as it always has, and the
    // next cartridge goes to the machine remembered for it.
    void UseEmptyMachine();
    // After every command that replaces what the machine holds (Load ROM,
    // Load To Mem, Reset, Free ROM, Load State, a machine switch): the
    // rewind history and the suggestion's watch start afresh.
    void MachineReplaced();
    // Writes the battery of the cartridge now (Free ROM, a switch, exit);
    // an empty text, or the failure for a note.
    QString FlushBatteryNow();
    // The frame end's part of the machine choice: the battery written once
    // quiet, the suggestion watched.
    void MachineFrameEnded();
    void WatchSuggestion();
    // What the console and the settings file have to tell, one per line.
    QString MachineNotes();
    // The compatibility window's text for the console in use.
    QString CompatText() const;
    // The state file's full path as messages show it.
    QString StateFolder() const;
    bool OwnsKeyEvents() const;
    static QString DroppedCartridge(const QMimeData* mime);

    std::unique_ptr<Machine> m_;
    std::unique_ptr<Console> design_;    // over *m_
    std::unique_ptr<Console> handheld_;  // null until first used
    Console* console_;                   // design_ or handheld_
    MachineChoices choices_;
    Surface surface_;
    std::unique_ptr<SoundControl> sound_;
    int modalDialogs_ = 0;  // open now
    int soundDeviceChangesNoted_ = 0;
    QtDialogs qtDialogs_;
    WatchedDialogs watchedDialogs_{&qtDialogs_, [this](bool open) { ModalDialog(open); }};
    Dialogs* dialogs_ = &watchedDialogs_;  // every dialog goes through the watch
    RunController run_;
    // Keys held through the keyboard (source 0) and each pad.
    KeySources heldKeys_;
    RewindControl rewind_;
    std::unique_ptr<Gamepads> pads_;

    bool cartridgeLoaded_ = false;
    QString romPath_;  // the loaded cartridge's file, for a machine switch
    QString cartKey_;  // ... and its key in the settings (machine_choices.h)
    // The view as chosen, given to whichever console is in use.
    uint8_t displayMode_ = 0;
    bool everyFrame_ = false;
    // The console in use keeps the design's compatibility record, looked at
    // for the suggestion; and it is being looked at now (the cartridge's
    // first frames, no suggestion made for it yet).
    bool designRecord_ = true;
    bool watchSuggestion_ = false;
    uint64_t framesEnded_ = 0;     // frame ends of every run
    uint64_t batteryRetryAt_ = 0;  // no battery write before this frame end
    bool batteryFailing_ = false;  // the last battery write failed (said once)
    QString batteryNote_;          // a battery write before a load failed: why
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
