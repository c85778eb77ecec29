// Which commands of the main window are enabled, shown and checked: one table
// by lifecycle state, plus the check marks that mirror the machine. Qt-free;
// the window applies the answer to its controls in one place
// (frmGB::ApplyCommandStates).
#pragma once

#include <cstdint>

namespace wenlo::ui {

// Where the machine is in its life, as far as the commands are concerned.
// Load To Mem resets a machine without showing the emulation menus, so the
// menus and the machine commands do not always come together.
enum class Lifecycle : uint8_t {
    Empty,            // start-up, and after Free ROM: no machine commands
    Prepared,         // reset, menus still hidden (Load To Mem on an empty window)
    PreparedStopped,  // ... and then Stop
    Started,          // a cartridge started with Load ROM: menus shown
    Stopped,          // ... and then Stop
};

// What the lifecycle states do not decide: facts the window tracks.
struct CommandFacts {
    bool romInfo = false;        // a loaded cartridge with a complete header
    bool cartridge = false;      // a cartridge loaded (Load ROM or Load To Mem)
    bool handheld = false;       // the complete handheld is the machine in use
    bool paused = false;         // Machine::Paused
    uint8_t displayMode = 0;     // Machine::DisplayMode
    bool debuggerShown = false;  // the debugger panel
};

struct CommandStates {
    // Unload, Free ROM, Reset, Pause, Save State, Load State.
    bool machineCommands = false;
    bool stop = false;     // CPU > Stop
    bool menus = false;    // the CPU and Display menus shown
    bool romInfo = false;  // File > ROM Info shown and enabled
    // CPU > Complete Handheld: enabled with a cartridge to move (whatever
    // the menus' visibility: its shortcut works then too), checked while
    // the handheld runs it.
    bool machineChoice = false, handheldChecked = false;
    bool pauseChecked = false;
    bool display1x1Checked = false, display2x2Checked = false, display2x2IntChecked = false;
    bool debuggerChecked = false;
};

CommandStates CommandStatesFor(Lifecycle, const CommandFacts&);

// The lifecycle events and the state each leads to.
Lifecycle AfterReset(Lifecycle);        // ResetMachine enabled the machine commands (Stop too)
Lifecycle AfterStart(Lifecycle);        // Load ROM showed the menus
Lifecycle AfterStop(Lifecycle);         // Stop disabled itself
Lifecycle AfterStopEnabled(Lifecycle);  // Reset from stopped, Run To: Stop on again
inline Lifecycle AfterFreeRom(Lifecycle) { return Lifecycle::Empty; }

}  // namespace wenlo::ui
