// The complete handheld behind the Console interface: starting a cartridge
// (with its battery file), the run loop, states, rewind snapshots, the report
// and the debugger.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "core/console.h"
#include "handheld/battery.h"
#include "handheld/cpu.h"
#include "handheld/handheld.h"
#include "handheld/joypad.h"
#include "handheld/mbc.h"
#include "handheld/ppu.h"
#include "handheld/scheduler.h"
#include "handheld/state_file.h"
#include "handheld/timer.h"
#include "savestate/atomic_file.h"

namespace wenlo {

namespace {

using namespace hh;

// Larger than any battery file (128 KiB of RAM and the clock's footer).
constexpr size_t kMaxBatteryFile = 1u << 20;
constexpr size_t kMaxStateFile = 1u << 20;

int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool FolderWritable(const std::string& folder) {
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

class HandheldConsole final : public Console {
public:
    HandheldConsole() : h_(std::make_unique<Handheld>()) { Blank(); }
    ~HandheldConsole() override { FlushBattery(0, nullptr); }

    MachineKind Kind() const override { return MachineKind::Handheld; }
    void SetHost(Host* host) override { h_->host = host; }

    LoadRomResult Start(const std::string& path) override {
        const LoadRomResult r = Load(path);
        if (r != LoadRomResult::Loaded) return r;
        Reset();
        h_->Running = true;
        h_->Paused = false;
        return r;
    }
    LoadRomResult LoadToMemory(const std::string& path) override {
        const LoadRomResult r = Load(path);
        Reset();
        return r;
    }
    void Reset() override {
        ResetHandheld(*h_);
        h_->report = Report{};
        NoteHeader();
        if (h_->host) h_->host->EnableMachineCommands();
    }
    void Free() override {
        FlushBattery(0, nullptr);
        const uint8_t mode = h_->DisplayMode;
        Host* host = h_->host;
        // In place: a run loop or a debugger step of this console may be on
        // the stack below the command that frees it, holding the record.
        // The sound output is the listener's, and stays.
        audio::ApuOutput out = std::move(h_->apu.out);
        *h_ = Handheld{};
        h_->apu.out = std::move(out);
        h_->DisplayMode = mode;
        h_->host = host;
        Blank();
        romPath_.clear();
        image_.clear();
    }
    bool Loaded() const override { return !romPath_.empty(); }

    void RunFrame() override {
        hh::RunFrame(*h_);
        TimerSoundCatchUp(*h_);  // the frame's sound complete, to be taken
    }
    void Run() override { hh::RunHandheld(*h_); }
    bool Running() const override { return h_->Running; }
    void SetRunning(bool on) override { h_->Running = on; }
    bool Paused() const override { return h_->Paused; }
    void SetPaused(bool on) override { h_->Paused = on; }

    void KeyDown(int code) override { HandheldKeyDown(*h_, code); }
    void KeyUp(int code) override { HandheldKeyUp(*h_, code); }
    void SetDisplayMode(uint8_t mode) override { h_->DisplayMode = mode; }
    void SetDrawEveryFrame(bool) override {}  // the handheld draws every frame

    std::string StateFileName() const override { return h_->romName + kStateExtension; }
    bool SaveState(const std::string& path, std::string* error) const override {
        return WriteFileAtomically(path, SerializeHandheld(*h_), error);
    }
    bool LoadState(const std::string& path, std::string* error) override {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, kMaxStateFile, bytes, error)) return false;
        return DeserializeHandheld(*h_, bytes, error);
    }

    bool IsOwnStateFile(const std::string& path) const override { return IsHandheldStateFile(path); }

    void Snapshot(std::vector<uint64_t>& out) const override { TakeHandheldSnapshot(*h_, out); }
    void Restore(const std::vector<uint64_t>& words) override { PutHandheldSnapshot(*h_, words); }
    // Every third frame, as on the design's machine: the same reach per byte.
    bool SnapshotDue() const override { return h_->frames % 3 == 0; }

    std::string ReportText() const override { return hh::ReportText(h_->report); }

    void DebuggerStep(int32_t& stepCycles) override {
        while (h_->Paused && h_->Running && h_->host) h_->host->WaitForEvents();
        if (!h_->Running) return;
        stepCycles = int32_t(CpuStep(*h_));
        if (h_->ppu.frameReady) {
            h_->ppu.frameReady = false;
            PpuPresent(*h_);
        }
    }
    int32_t ProgramCounter() const override { return h_->cpu.pc; }
    std::string RegisterDump(bool withCB) const override { return CpuRegisterDump(*h_, withCB); }

    std::string RomName() const override { return h_->romName; }
    const std::vector<uint8_t>& RomImage() const override { return image_; }
    void SetPerUserFolder(const std::string& folder) override { perUser_ = folder; }
    std::string TakeNote() override { return std::exchange(note_, {}); }
    std::vector<uint8_t> SerialBytes() const override { return h_->serial.sent; }

    bool FlushBattery(uint64_t quietFrames, std::string* error) override {
        if (!h_->mbc.hasBattery || !h_->ramDirty || romPath_.empty() || batteryNowhere_) return true;
        if (h_->frames - h_->ramWrittenAt < quietFrames) return true;
        RtcCatchUp(*h_);
        const std::string path = batteryPath_.empty() ? BatteryWritePath() : batteryPath_;
        if (path.empty()) return Fail(error, "no folder for the battery file can be written");
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        std::string why;
        if (!WriteFileAtomically(path, BatteryImage(*h_, UnixNow()), &why)) return Fail(error, why);
        h_->ramDirty = false;
        return true;
    }

private:
    // With no cartridge the slot reads as an open bus (0xFF everywhere), so
    // a machine run or stepped without one loops harmlessly through RST 38.
    void Blank() {
        MbcLoad(*h_, std::vector<uint8_t>(0x8000, 0xFF));
        ResetHandheld(*h_);
    }

    bool Fail(std::string* error, const std::string& why) {
        if (error) *error = why;
        note_ = "The battery save could not be written: " + why;
        return false;
    }

    LoadRomResult Load(const std::string& path) {
        std::vector<uint8_t> image;
        const LoadRomResult r = ReadCartridgeFile(path, image);
        if (r != LoadRomResult::Loaded) return r;
        FlushBattery(0, nullptr);  // the cartridge replaced keeps its save
        image_ = image;
        romPath_ = path;
        h_->romName = RomBaseName(path);
        std::memcpy(h_->title.data(), image.data() + 0x134, h_->title.size());
        MbcLoad(*h_, std::move(image));
        LoadBattery();
        if (h_->host) {
            const std::string title(h_->title.data(), strnlen(h_->title.data(), h_->title.size()));
            h_->host->SetCaption("Wenlo - " + title);
        }
        return r;
    }

    std::string Folder() const { return std::filesystem::path(romPath_).parent_path().string(); }
    std::string BatteryName() const { return h_->romName + ".sav"; }
    std::string Beside() const {
        const std::string folder = Folder();
        return folder.empty() ? BatteryName() : folder + "/" + BatteryName();
    }

    // Beside the cartridge where its folder can be written, else in the
    // per-user folder: the rule of the state files.
    std::string BatteryWritePath() const {
        if (FolderWritable(Folder())) return Beside();
        if (perUser_.empty()) return {};
        std::error_code ec;
        std::filesystem::create_directories(perUser_, ec);
        return perUser_ + "/" + BatteryName();
    }

    // The battery file is looked for where it would be written (beside the
    // cartridge, or in the per-user folder when that folder cannot be
    // written), then in the other place. A file that cannot be taken (the
    // design machine's state file of the same name, another cartridge's
    // save) is never written over: the saves then go to the other place,
    // and the note says where.
    void LoadBattery() {
        batteryPath_.clear();
        batteryNowhere_ = false;
        if (!h_->mbc.hasBattery) return;
        const std::string perUser = perUser_.empty() ? "" : perUser_ + "/" + BatteryName();
        const std::string first = FolderWritable(Folder()) || perUser.empty() ? Beside() : perUser;
        const std::string second = first == perUser ? Beside() : perUser;
        std::string loaded, refused;
        for (const std::string& path : {first, second}) {
            std::error_code ec;
            if (path.empty() || !std::filesystem::exists(path, ec)) continue;
            const std::string why = TakeBattery(path);
            if (why.empty()) {
                loaded = path;
                break;
            }
            if (refused.empty()) refused = path + " was not loaded (" + why + ")";
        }
        if (refused.empty()) return;  // saves go where the usual rule puts them
        note_ = "The battery save " + refused + ": it is left untouched";
        batteryPath_ = loaded;
        if (batteryPath_.empty()) {
            // Both places tried: saves go to whichever holds no file yet.
            std::error_code ec;
            for (const std::string& path : {first, second})
                if (!path.empty() && !std::filesystem::exists(path, ec)) {
                    batteryPath_ = path;
                    break;
                }
            batteryNowhere_ = batteryPath_.empty();
            note_ += batteryNowhere_ ? ", the game starts with empty RAM and its saves are not kept"
                                     : ", the game starts with empty RAM and saves to " + batteryPath_;
        } else {
            note_ += "; the save in " + batteryPath_ + " was loaded";
        }
    }

    // Loads the battery file at path; the reason it could not, or "".
    std::string TakeBattery(const std::string& path) {
        std::vector<uint8_t> bytes;
        std::string why;
        if (!ReadWholeFile(path, kMaxBatteryFile, bytes, &why)) return why;
        if (LoadBatteryImage(*h_, bytes, UnixNow()) == BatteryLoad::WrongSize)
            return std::to_string(bytes.size()) + " bytes, not the " + std::to_string(BatteryFileSize(*h_)) +
                   " this cartridge keeps";
        return {};
    }

    void NoteHeader() {
        Report& r = h_->report;
        r.cartType = h_->mbc.cartType;
        if (!h_->mbc.knownType) ReportNote(r, Lack::UnknownMbc, 0);
        if (image_.size() > 0x146) {
            if (image_[0x143] == 0xC0) ReportNote(r, Lack::ColourOnly, 0);
            if (image_[0x143] == 0x80) ReportNote(r, Lack::ColourEnhanced, 0);
            if (image_[0x146] == 0x03) ReportNote(r, Lack::SuperSystem, 0);
        }
    }

    audio::Apu& Sound() override { return h_->apu; }

    std::unique_ptr<Handheld> h_;
    std::vector<uint8_t> image_;
    std::string romPath_;
    std::string perUser_;
    std::string note_;
    // Where the battery file goes: the file loaded, or a place that held
    // none when one could not be used; empty: the usual rule.
    std::string batteryPath_;
    bool batteryNowhere_ = false;  // every place holds a file that could not be used
};

}  // namespace

std::unique_ptr<Console> MakeHandheldConsole() { return std::make_unique<HandheldConsole>(); }

}  // namespace wenlo
