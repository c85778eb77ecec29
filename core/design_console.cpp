// The design's machine behind the Console interface: every call is one of
// the machine's own operations, so the machine runs exactly as before.
//
// Its sound: the machine only stores the sound registers (SoundRegs), so the
// console keeps the sound unit beside the record and feeds it. It puts a host
// of its own between the machine and the front end's: that host passes every
// call on, hears each sound register write, and brings the unit up to each
// frame's end before the front end's FrameEnded takes the samples. The
// machine keeps no clock, so the unit's time is the console's: 456 clock
// cycles a scanline, counted from the lines the machine has run (LY), a
// write timed at the start of its line; the frame sequencer steps every
// 8,192 of those cycles. While nobody listens (output rate 0), or without a
// front-end host, the unit is not fed at all, and is rebuilt from SoundRegs
// when it is next fed: the machine then runs exactly as it did without sound.
#include <algorithm>
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

constexpr uint64_t kSequencerCycles = 8192;  // 512 Hz

class DesignConsole final : public Console {
public:
    explicit DesignConsole(Machine& m) : m_(m), relay_(*this) {}
    explicit DesignConsole(std::unique_ptr<Machine> owned)
        : owned_(std::move(owned)), m_(*owned_), relay_(*this) {}
    ~DesignConsole() override {
        if (m_.host == &relay_) m_.host = outer_;  // a machine the caller keeps outlives this
    }

    MachineKind Kind() const override { return MachineKind::Wenlo; }
    void SetHost(Host* host) override {
        outer_ = host;
        m_.host = host ? &relay_ : nullptr;
        relay_.Screen = host ? host->Screen : nullptr;
    }

    LoadRomResult Start(const std::string& path) override {
        const LoadRomResult r = StartCartridgeChecked(m_, path);
        if (r == LoadRomResult::Loaded) SoundPowerOn(true);
        return r;
    }
    LoadRomResult LoadToMemory(const std::string& path) override {
        const LoadRomResult r = LoadRomChecked(m_, path);
        ResetMachine(m_);
        SoundPowerOn(true);
        return r;
    }
    void Reset() override {
        ResetMachine(m_);
        SoundPowerOn(true);
    }
    void Free() override {
        FreeRom(m_);
        SoundPowerOn(false);
    }
    bool Loaded() const override { return !m_.RomImage.empty(); }

    void RunFrame() override {
        relay_.SyncScreen();
        wenlo::RunFrame(m_);
        // Started in mid-frame, the run went on past the frame's end.
        if (Listening()) {
            const uint64_t time = SoundTime();
            SoundTo(time);
            audio::ApuRunTo(apu_, time);
        }
    }
    void Run() override {
        relay_.SyncScreen();
        RunEmulation(m_);
    }
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
        const uint64_t time = SoundTime();
        if (!ReadStateFile(m_, path, error)) return false;
        SoundFromRegisters(time);
        return true;
    }
    bool IsOwnStateFile(const std::string& path) const override { return IsStateFile(path); }

    void Snapshot(std::vector<uint64_t>& out) const override { TakeRewindSnapshot(m_, out); }
    void Restore(const std::vector<uint64_t>& words) override {
        const uint64_t time = SoundTime();
        PutRewindSnapshot(m_, words);
        SoundFromRegisters(time);
    }
    bool SnapshotDue() const override { return m_.FrameCount % kFrameSkip == 0; }

    std::string ReportText() const override { return CompatReportText(m_.compat); }

    void DebuggerStep(int32_t& stepCycles) override {
        relay_.SyncScreen();
        wenlo::DebuggerStep(m_, stepCycles);
    }
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
    // The host the machine sees while the front end has one.
    struct Relay final : Host {
        explicit Relay(DesignConsole& c) : c(c) {}
        DesignConsole& c;
        // The front end may set its surface after SetHost, or change it in
        // a handler.
        void SyncScreen() { Screen = c.outer_ ? c.outer_->Screen : nullptr; }
        void PumpEvents() override {
            if (c.outer_) c.outer_->PumpEvents();
            SyncScreen();
        }
        void WaitForEvents() override {
            if (c.outer_) c.outer_->WaitForEvents();
            SyncScreen();
        }
        void RefreshPicture() override {
            if (c.outer_) c.outer_->RefreshPicture();
            SyncScreen();
        }
        void FrameEnded(bool drawn) override {
            c.SoundFrameEnded();
            if (c.outer_) c.outer_->FrameEnded(drawn);
            SyncScreen();
        }
        void SetCaption(const std::string& caption) override {
            if (c.outer_) c.outer_->SetCaption(caption);
        }
        void EnableMachineCommands() override {
            if (c.outer_) c.outer_->EnableMachineCommands();
        }
        void SoundRegisterWritten(int32_t address, uint8_t value) override { c.SoundWrite(address, value); }
    };

    static int Line(const Machine& m) { return m.LY % kLinesPerFrame; }

    // Whether the unit is fed: someone listens and the front end's host is
    // in place to hear the writes.
    bool Listening() const { return apu_.out.factor != 0 && m_.host == &relay_; }

    // The console's time of the line under way (never before the unit's).
    uint64_t SoundTime() const {
        const int lines = (Line(m_) - frameLine_ + kLinesPerFrame) % kLinesPerFrame;
        return std::max(frameStart_ + uint64_t(lines) * kCyclesPerLine, apu_.last);
    }

    // The unit up to `time`, the frame sequencer stepped on the way; a unit
    // that was not fed is first rebuilt from the registers.
    void SoundTo(uint64_t time) {
        if (!fed_) {
            audio::ApuRestartFromRegisters(apu_, StoredRegisters(), time);
            fed_ = true;
        }
        for (uint64_t at = (apu_.last / kSequencerCycles + 1) * kSequencerCycles; at <= time;
             at += kSequencerCycles)
            audio::ApuSequencerStep(apu_, at);
    }

    // SoundRegs for a rebuild. The stored NR52 is what the game last wrote;
    // the channels taken as playing are those whose last control write
    // started a note, with their DAC on.
    std::array<uint8_t, audio::kRegisterCount> StoredRegisters() const {
        using namespace audio;
        std::array<uint8_t, kRegisterCount> r = m_.SoundRegs;
        const bool dac[4] = {(r[kNR12] & 0xF8) != 0, (r[kNR22] & 0xF8) != 0, (r[kNR30] & 0x80) != 0,
                             (r[kNR42] & 0xF8) != 0};
        const unsigned controls[4] = {kNR14, kNR24, kNR34, kNR44};
        uint8_t nr52 = r[kNR52] & 0x80;
        for (int ch = 0; ch < 4; ++ch)
            if (dac[ch] && (r[controls[ch]] & 0x80)) nr52 |= uint8_t(1 << ch);
        r[kNR52] = nr52;
        return r;
    }

    void SoundWrite(int32_t address, uint8_t value) {
        if (!Listening()) {
            fed_ = false;
            return;
        }
        const uint64_t time = SoundTime();
        const bool rebuilt = !fed_;
        SoundTo(time);  // a rebuild takes the registers with this write in them
        if (!rebuilt) audio::ApuWrite(apu_, uint16_t(address), value, time);
    }

    // The machine ticked its last line (LY moved on past 153).
    void SoundFrameEnded() {
        const int lines = (Line(m_) - frameLine_ - 1 + 2 * kLinesPerFrame) % kLinesPerFrame + 1;
        frameStart_ = std::max(frameStart_ + uint64_t(lines) * kCyclesPerLine, apu_.last);
        frameLine_ = Line(m_);
        if (!Listening()) {
            fed_ = false;
            return;
        }
        SoundTo(frameStart_);
        audio::ApuRunTo(apu_, frameStart_);
    }

    // Reset (as the boot program leaves the unit) or Free ROM (off).
    void SoundPowerOn(bool on) {
        const uint64_t time = SoundTime();
        frameStart_ = time;
        frameLine_ = Line(m_);
        audio::ApuReset(apu_, time, on);
        fed_ = true;
    }

    // After a state load or a rewind: the registers are the machine's now.
    void SoundFromRegisters(uint64_t time) {
        frameStart_ = time;
        frameLine_ = Line(m_);
        fed_ = false;
        if (Listening()) SoundTo(time);
    }

    std::unique_ptr<Machine> owned_;
    Machine& m_;
    Relay relay_;
    Host* outer_ = nullptr;    // the front end's host
    audio::Apu apu_;           // beside the record: the machine's state file keeps only the registers
    uint64_t frameStart_ = 0;  // the console's time of the current frame's first line
    int frameLine_ = 0;        // LY then
    bool fed_ = true;          // the unit has heard every write since it was last rebuilt
};

}  // namespace

std::unique_ptr<Console> MakeDesignConsole(Machine& machine) {
    return std::make_unique<DesignConsole>(machine);
}

std::unique_ptr<Console> MakeWenloConsole() {
    return std::make_unique<DesignConsole>(std::make_unique<Machine>());
}

}  // namespace wenlo
