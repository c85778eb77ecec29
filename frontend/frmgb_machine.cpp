// frmGB's machines: which console runs the cartridge (remembered per
// cartridge, machine_choices.h), the switch between them, the hand-over of a
// game from one console to the other, the suggestion of the complete
// handheld for a cartridge the design's machine cannot play, and the writing
// of battery saves. The only place that asks which kind a console is.
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "core/compat.h"
#include "frontend/app_paths.h"
#include "frontend/compat_window.h"
#include "frontend/frmgb.h"
#include "frontend/gamepads.h"
#include "frontend/sound_control.h"

namespace wenlo::ui {

namespace {

// What the design's machine lacks that keeps a game from working at all: the
// suggestion is made for these only.
constexpr CompatFeature kBlocking[] = {CompatFeature::TimerInterrupt, CompatFeature::SerialInterrupt,
                                       CompatFeature::CartType, CompatFeature::WindowLayer,
                                       CompatFeature::StatInterruptSelect};

const char* const kSuggestion = "This game needs the complete handheld: CPU > Complete Handheld (Ctrl+H)";

QString Lines(const QStringList& parts) {
    QStringList kept;
    for (const QString& p : parts)
        if (!p.isEmpty()) kept << p;
    return kept.join('\n');
}

}  // namespace

Console& frmGB::ConsoleFor(MachineKind kind) {
    if (kind == MachineKind::Wenlo) return *design_;
    if (!handheld_) {
        handheld_ = MakeConsole(MachineKind::Handheld);
        handheld_->SetHost(this);
    }
    return *handheld_;
}

void frmGB::UseConsole(Console& next) {
    if (console_ != &next) SoundControl::Detach(console_->Sound());
    sound_->Attach(next.Sound());
    console_ = &next;
    designRecord_ = next.Kind() == MachineKind::Wenlo;
    run_.SetConsole(next);
    pads_->SetConsole(next);
    next.SetDisplayMode(displayMode_);
    next.SetDrawEveryFrame(everyFrame_);
}

LoadRomResult frmGB::LoadOn(Console& target, const QString& path, const QString& key, bool run) {
    // First, so that the machine taking over this very cartridge finds its
    // latest save.
    const QString failed = FlushBatteryNow();
    target.SetPerUserFolder(QFile::encodeName(PerUserFolder()).toStdString());
    const std::string file = QFile::encodeName(path).toStdString();
    const LoadRomResult loaded = run ? target.Start(file) : target.LoadToMemory(file);
    batteryNote_ = failed;  // MachineNotes tells it
    if (loaded != LoadRomResult::Loaded) return loaded;
    if (&target != console_) HandOver(target, !run);
    // Absolute: the load makes the cartridge's folder the current one, and
    // a machine switch loads the file again.
    romPath_ = QFileInfo(path).absoluteFilePath();
    cartKey_ = key;
    EnterCartridgeFolder(path);
    MachineReplaced();
    return loaded;
}

void frmGB::HandOver(Console& next, bool carryRun) {
    Console& before = *console_;
    if (carryRun) {
        next.SetRunning(before.Running());
        next.SetPaused(before.Paused());
    }
    // The keys still held belong to the machine that plays from now on.
    for (int code = 0; code < 256; ++code) {
        if (!heldKeys_.Held(code)) continue;
        before.KeyUp(code);
        next.KeyDown(code);
    }
    // A run loop of the one before ends when it sees it stopped; the run
    // controller's loop then goes on with next.
    before.SetRunning(false);
    before.Free();
    UseConsole(next);
}

void frmGB::UseEmptyMachine() {
    if (console_ != design_.get()) HandOver(*design_, false);
}

void frmGB::MachineReplaced() {
    sound_->Attach(console().Sound());
    rewind_.Clear();
    watchSuggestion_ = designRecord_ && cartridgeLoaded_ && !choices_.Suggested(cartKey_);
    batteryRetryAt_ = 0;
    batteryFailing_ = false;
    if (compat_) compat_->Refresh();
}

void frmGB::mnuCPUHandheld_Click() {
    if (!cartridgeLoaded_) return ApplyCommandStates();  // disabled then; a shortcut may come from a queue
    const MachineKind kind =
        console().Kind() == MachineKind::Handheld ? MachineKind::Wenlo : MachineKind::Handheld;
    choices_.SetMachine(cartKey_, kind);
    // A cartridge put in with Load To Mem stays put in; one started with
    // Load ROM starts again, whether it ran, was paused or stopped.
    const bool run = run_.State() == Lifecycle::Started || run_.State() == Lifecycle::Stopped;
    const LoadRomResult loaded = LoadOn(ConsoleFor(kind), romPath_, cartKey_, run);
    if (loaded != LoadRomResult::Loaded) {
        ApplyCommandStates();  // the check mark back on the machine in use
        return ShowLoadFailure(romPath_, loaded);
    }
    ClearPicture();
    const QString now =
        kind == MachineKind::Handheld ? "Now on the complete handheld" : "Now on Wenlo's own machine";
    const QString notes = MachineNotes();
    ShowNote(Lines({now, notes}), notes.isEmpty() ? kNoteMs : kLongNoteMs);
    if (!run) return ApplyCommandStates(AfterReset(run_.State()));
    ApplyCommandStates(AfterStart(run_.State()));
    RunMachine();
}

QString frmGB::FlushBatteryNow() {
    std::string why;
    if (console().FlushBattery(0, &why)) return {};
    const QString note = QString::fromStdString(console().TakeNote());
    return note.isEmpty() ? "The battery save could not be written: " + QString::fromStdString(why) : note;
}

void frmGB::MachineFrameEnded() {
    ++framesEnded_;
    if (framesEnded_ >= batteryRetryAt_) {
        std::string why;
        if (console().FlushBattery(kBatteryQuietFrames, &why)) {
            batteryFailing_ = false;
        } else {
            // Not again at every frame: a folder that cannot be written now
            // will not be writable a frame later.
            batteryRetryAt_ = framesEnded_ + kBatteryRetryFrames;
            const QString note = QString::fromStdString(console().TakeNote());
            if (!batteryFailing_)
                ShowNote(note.isEmpty()
                             ? "The battery save could not be written: " + QString::fromStdString(why)
                             : note,
                         kLongNoteMs);
            batteryFailing_ = true;
        }
    }
    if (watchSuggestion_) WatchSuggestion();
}

void frmGB::WatchSuggestion() {
    const Compat& record = m_->compat;
    for (CompatFeature f : kBlocking) {
        const CompatEntry& e = record.entries[size_t(f)];
        if (e.count == 0 || e.firstFrame >= kSuggestFrames) continue;
        watchSuggestion_ = false;
        choices_.SetSuggested(cartKey_);
        ShowNote(Lines({kSuggestion, choices_.TakeProblem()}), kLongNoteMs);
        return;
    }
    if (record.frame >= kSuggestFrames) watchSuggestion_ = false;
}

QString frmGB::MachineNotes() {
    return Lines({std::exchange(batteryNote_, {}), QString::fromStdString(console().TakeNote()),
                  choices_.TakeProblem()});
}

QString frmGB::CompatText() const {
    return designRecord_ ? CompatWindowText(*m_, cartridgeLoaded_)
                         : HandheldCompatText(console_->ReportText(), cartridgeLoaded_);
}

}  // namespace wenlo::ui
