// The design's machine behind the Console interface: every call is one of
// the machine's own operations, so the machine runs exactly as before.
#include <memory>

#include "core/compat.h"
#include "core/console.h"
#include "core/debugger.h"
#include "core/lifecycle.h"
#include "core/scheduler.h"
#include "core/timing.h"
#include "input/joypad.h"
#include "savestate/rewind.h"
#include "savestate/state_file.h"

namespace wenlo {

namespace {

class DesignConsole final : public Console {
public:
    explicit DesignConsole(Machine& m) : m_(m) {}
    explicit DesignConsole(std::unique_ptr<Machine> owned) : owned_(std::move(owned)), m_(*owned_) {}

    MachineKind Kind() const override { return MachineKind::Wenlo; }
    void SetHost(Host* host) override { m_.host = host; }

    LoadRomResult Start(const std::string& path) override { return StartCartridgeChecked(m_, path); }
    LoadRomResult LoadToMemory(const std::string& path) override {
        const LoadRomResult r = LoadRomChecked(m_, path);
        ResetMachine(m_);
        return r;
    }
    void Reset() override { ResetMachine(m_); }
    void Free() override { FreeRom(m_); }
    bool Loaded() const override { return !m_.RomImage.empty(); }

    void RunFrame() override { wenlo::RunFrame(m_); }
    void Run() override { RunEmulation(m_); }
    bool Running() const override { return m_.Running; }
    void SetRunning(bool on) override { m_.Running = on; }
    bool Paused() const override { return m_.Paused; }
    void SetPaused(bool on) override { m_.Paused = on; }

    void KeyDown(int code) override { wenlo::KeyDown(m_, code); }
    void KeyUp(int code) override { wenlo::KeyUp(m_, code); }
    void SetDisplayMode(uint8_t mode) override { m_.DisplayMode = mode; }
    void SetDrawEveryFrame(bool on) override { m_.DrawEveryFrame = on; }

    std::string StateFileName() const override { return wenlo::StateFileName(m_); }
    bool SaveState(const std::string& path, std::string* error) const override {
        return WriteStateFile(m_, path, error);
    }
    bool LoadState(const std::string& path, std::string* error) override {
        return ReadStateFile(m_, path, error);
    }
    bool IsOwnStateFile(const std::string& path) const override { return IsStateFile(path); }

    void Snapshot(std::vector<uint64_t>& out) const override { TakeRewindSnapshot(m_, out); }
    void Restore(const std::vector<uint64_t>& words) override { PutRewindSnapshot(m_, words); }
    bool SnapshotDue() const override { return m_.FrameCount % kFrameSkip == 0; }

    std::string ReportText() const override { return CompatReportText(m_.compat); }

    void DebuggerStep(int32_t& stepCycles) override { wenlo::DebuggerStep(m_, stepCycles); }
    int32_t ProgramCounter() const override { return m_.regPC; }
    std::string RegisterDump(bool withCB) const override { return wenlo::RegisterDump(m_, withCB); }

    std::string RomName() const override { return m_.RomName; }
    const std::vector<uint8_t>& RomImage() const override { return m_.RomImage; }
    void SetPerUserFolder(const std::string&) override {}  // the front end places this machine's files
    std::string TakeNote() override { return {}; }
    std::vector<uint8_t> SerialBytes() const override { return {}; }
    bool FlushBattery(uint64_t, std::string*) override { return true; }  // no battery file here
    audio::Apu& Sound() override { return apu_; }

private:
    std::unique_ptr<Machine> owned_;
    Machine& m_;
    audio::Apu apu_;  // beside the record: the machine's state file keeps only the registers
};

}  // namespace

std::unique_ptr<Console> MakeDesignConsole(Machine& machine) {
    return std::make_unique<DesignConsole>(machine);
}

std::unique_ptr<Console> MakeWenloConsole() {
    return std::make_unique<DesignConsole>(std::make_unique<Machine>());
}

}  // namespace wenlo
