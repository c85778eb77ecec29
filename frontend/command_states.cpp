#include "frontend/command_states.h"

#include "video/surface.h"

namespace wenlo::ui {

namespace {

struct Row {
    Lifecycle state;
    bool machineCommands, stop, menus;
};
// clang-format off
constexpr Row kTable[] = {
    // state                       machine  Stop   menus
    {Lifecycle::Empty,             false,   false, false},
    {Lifecycle::Prepared,          true,    true,  false},
    {Lifecycle::PreparedStopped,   true,    false, false},
    {Lifecycle::Started,           true,    true,  true},
    {Lifecycle::Stopped,           true,    false, true},
};
// clang-format on

const Row& RowOf(Lifecycle s) {
    for (const Row& r : kTable)
        if (r.state == s) return r;
    return kTable[0];
}

}  // namespace

CommandStates CommandStatesFor(Lifecycle state, const CommandFacts& f) {
    const Row& r = RowOf(state);
    CommandStates c;
    c.machineCommands = r.machineCommands;
    c.stop = r.stop;
    c.menus = r.menus;
    c.romInfo = f.romInfo;
    c.machineChoice = r.machineCommands && f.cartridge;
    c.handheldChecked = f.handheld;
    c.pauseChecked = f.paused;
    c.display1x1Checked = f.displayMode == Mode1x1;
    c.display2x2Checked = f.displayMode == Mode2x2;
    c.display2x2IntChecked = f.displayMode == Mode2x2Interlaced;
    c.debuggerChecked = f.debuggerShown;
    return c;
}

Lifecycle AfterReset(Lifecycle s) {
    return s == Lifecycle::Empty ? Lifecycle::Prepared : AfterStopEnabled(s);
}

Lifecycle AfterStopEnabled(Lifecycle s) {
    switch (s) {
        case Lifecycle::PreparedStopped: return Lifecycle::Prepared;
        case Lifecycle::Stopped: return Lifecycle::Started;
        default: return s;
    }
}

Lifecycle AfterStart(Lifecycle) { return Lifecycle::Started; }

Lifecycle AfterStop(Lifecycle s) {
    switch (s) {
        case Lifecycle::Prepared: return Lifecycle::PreparedStopped;
        case Lifecycle::Started: return Lifecycle::Stopped;
        default: return s;
    }
}

}  // namespace wenlo::ui
