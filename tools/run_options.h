// The command line of the headless runner:
//
//   wenlo-run [--frames N] [--mode 0|1|2] [--png FILE] [--state FILE]
//             [--load-state FILE] [--press KEY:FROM:TO]... [--bench] [--report]
//             [--machine wenlo|handheld] [--serial FILE] [--wav FILE] ROM
//   wenlo-run --help | --version
//
// Parsing is kept apart from running so that every good and bad command line
// can be checked without starting a machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/console.h"

namespace wenlo::tools {

// One --press: hold a Game Boy key (a code of input/keys.h) from frame `from`
// up to, not including, frame `to`. Frames count from 0, the first frame run.
struct KeyPress {
    uint8_t keyCode = 0;
    int64_t from = 0;
    int64_t to = 0;
};

struct RunOptions {
    int64_t frames = 600;
    uint8_t mode = 0;           // DisplayMode: 0 1x1, 1 2x2, 2 2x2 interlaced
    std::string pngPath;        // empty: no picture written
    std::string statePath;      // empty: no state written after the run
    std::string loadStatePath;  // empty: no state loaded before the run
    std::vector<KeyPress> presses;
    bool bench = false;
    bool report = false;  // print what the cartridge used that this machine does differently
    MachineKind machine = MachineKind::Wenlo;
    std::string serialPath;  // empty: the serial bytes are not written
    std::string wavPath;     // empty: no sound written
    std::string romPath;
};

// What a command line asks for besides a run.
enum class InfoRequest { None, Help, Version };

// The result of parsing: the options, or (options empty) the reason the
// command line was refused, or (options empty, error empty) a request for
// the usage or the version.
struct ParseResult {
    std::optional<RunOptions> options;
    std::string error;
    InfoRequest info = InfoRequest::None;
};

// args excludes the program name. Refuses unknown options, a missing value,
// numbers that are not plain non-negative decimals (or do not fit), a key
// name outside right left up down a b select start, FROM > TO, a mode outside
// 0..2, and a missing or second ROM argument. --help or --version anywhere
// (not as another option's value) asks for that instead of a run, --help
// first.
ParseResult ParseRunOptions(const std::vector<std::string>& args);

// The usage text printed to stderr with a refusal, and to stdout for --help.
std::string UsageText();

// The line --version prints: "wenlo-run " and the project's version.
std::string VersionText();

// Game Boy key code for a key name ("right", "a", ...); nullopt if unknown.
std::optional<uint8_t> KeyCodeFromName(const std::string& name);

}  // namespace wenlo::tools
