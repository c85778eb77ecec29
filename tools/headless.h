// The headless runner: a machine driven frame by frame over a plain surface,
// with no window, no throttling and scripted keys.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/machine.h"
#include "core/timing.h"
#include "tools/run_options.h"
#include "video/surface.h"

namespace wenlo::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a state file or picture could not be read or written
constexpr int kExitUsage = 2;    // bad command line, or the cartridge did not load

// Host over a surface of its own: drawing lands in `surface`, every other
// service does nothing (no events, no caption, no waiting).
struct HeadlessHost : Host {
    Surface surface;
    HeadlessHost() { Screen = &surface; }
};

// Puts the key state that the presses ask for at frame `frame` into KeyState,
// through KeyDown/KeyUp, changing only keys whose state differs. A key held by
// any press with from <= frame < to is down; every other key named by a press
// is up.
void ApplyPresses(Machine&, const std::vector<KeyPress>&, int64_t frame);
// The same for either machine; held: the keys the presses hold now (kept by
// the caller from frame to frame).
void ApplyPresses(Console&, std::vector<uint8_t>& held, const std::vector<KeyPress>&, int64_t frame);

// Parses and runs a command line (args without the program name). Messages go
// to err, the --bench line and the --report lines to out. Returns the process exit code.
int RunMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs already parsed options; see RunMain.
int RunHeadless(const RunOptions&, std::ostream& out, std::ostream& err);

}  // namespace wenlo::tools
