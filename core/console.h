// One interface over both machines: the design's machine (core/machine.h) and
// the complete handheld (handheld/handheld.h). The desktop program and
// wenlo-run hold a Console and never ask which kind it is, except where the
// kind is chosen (MakeConsole).
//
// A console is used from one thread. Calls that run the machine (Run,
// RunFrame, DebuggerStep) reach the host (pumps, frame ends, caption) as the
// design's machine does; handlers run inside them may call any other member,
// start a nested Run, or clear Running.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/apu.h"
#include "core/cartridge.h"
#include "core/machine.h"

namespace wenlo {

enum class MachineKind : uint8_t { Wenlo, Handheld };

// "wenlo" / "handheld", as --machine names them; nullptr-free.
const char* MachineKindName(MachineKind);
// The kind a --machine value names; false for any other text.
bool ParseMachineKind(const std::string& text, MachineKind& kind);

class Console {
public:
    virtual ~Console() = default;
    virtual MachineKind Kind() const = 0;

    // The front end's services (not owned; null: headless).
    virtual void SetHost(Host*) = 0;

    // Load ROM: loads the file, resets, sets Running and clears Paused. A
    // file that does not load changes nothing.
    virtual LoadRomResult Start(const std::string& path) = 0;
    // Load To Mem: loads (when the file loads) and resets in any case,
    // without setting Running.
    virtual LoadRomResult LoadToMemory(const std::string& path) = 0;
    virtual void Reset() = 0;
    // Free ROM: stops the machine and clears its memories (a battery-backed
    // cartridge's RAM is written to its battery file first).
    virtual void Free() = 0;
    virtual bool Loaded() const = 0;

    // One frame (headless); the run loop until Running is false (desktop).
    virtual void RunFrame() = 0;
    virtual void Run() = 0;
    virtual bool Running() const = 0;
    virtual void SetRunning(bool) = 0;
    virtual bool Paused() const = 0;
    virtual void SetPaused(bool) = 0;

    // A Game Boy key (input/keys.h) pressed or released.
    virtual void KeyDown(int keyCode) = 0;
    virtual void KeyUp(int keyCode) = 0;
    virtual void SetDisplayMode(uint8_t mode) = 0;
    virtual void SetDrawEveryFrame(bool) = 0;

    // The state file: its name beside the cartridge ("<RomName>.sav" on the
    // design's machine, "<RomName>.state" on the handheld), written atomically;
    // a file that does not load is refused with a reason and changes nothing.
    virtual std::string StateFileName() const = 0;
    virtual bool SaveState(const std::string& path, std::string* error) const = 0;
    virtual bool LoadState(const std::string& path, std::string* error) = 0;
    // Whether the file at path is a state file of this machine (and not, say,
    // another program's battery save under the same name). Reads, never writes.
    virtual bool IsOwnStateFile(const std::string& path) const = 0;

    // Rewind snapshots: the whole machine but the cartridge and the keys, in
    // 8-byte words; the same size for one cartridge.
    virtual void Snapshot(std::vector<uint64_t>& out) const = 0;
    virtual void Restore(const std::vector<uint64_t>& snapshot) = 0;
    // Snapshot every this many frames (the design's machine: before each
    // drawn frame).
    virtual bool SnapshotDue() const = 0;

    // The compatibility report: one line a difference, then "compat: ...".
    virtual std::string ReportText() const = 0;

    // The debugger: one instruction (stepCycles as lifecycle.h describes for
    // the design's machine), the program counter, the six-line dump.
    virtual void DebuggerStep(int32_t& stepCycles) = 0;
    virtual int32_t ProgramCounter() const = 0;
    virtual std::string RegisterDump(bool withCB) const = 0;

    // The cartridge: its file name without folder and extension, its image.
    virtual std::string RomName() const = 0;
    virtual const std::vector<uint8_t>& RomImage() const = 0;

    // Where battery and state files go when the cartridge's folder cannot
    // be written (the per-user data folder); empty: nowhere else.
    virtual void SetPerUserFolder(const std::string& folder) = 0;
    // A message for the player that the machine has to give (a battery file
    // it could not use, say); empty when there is none. Taking it clears it.
    virtual std::string TakeNote() = 0;

    // Bytes the cartridge sent through the serial port (the handheld; empty
    // on the design's machine, which has no serial port).
    virtual std::vector<uint8_t> SerialBytes() const = 0;
    // A battery-backed cartridge's RAM written to its file when the game
    // wrote it at least `quietFrames` frames ago (0: now, if written at all).
    // Returns false with a reason when the file could not be written.
    virtual bool FlushBattery(uint64_t quietFrames, std::string* error) = 0;

    // The sound unit the machine feeds (audio/apu.h says who calls what).
    // Its output is off (rate 0) until the caller sets a rate: a console
    // nobody listens to synthesises nothing. After RunFrame or a frame of
    // Run, the unit has been brought up to the frame's end, so its samples
    // can be taken.
    virtual audio::Apu& Sound() = 0;
};

// A console of the given kind. The design's machine may be one the caller
// keeps (the desktop program's tests reach into it): then it is not owned.
std::unique_ptr<Console> MakeConsole(MachineKind);
std::unique_ptr<Console> MakeDesignConsole(Machine& machine);

}  // namespace wenlo
