// frmGB's sound: the Sound menu's entries, and when the game is heard. The
// output plays only while frames come at 1x; wherever they stop or race
// (pause, Stop, Escape, Free ROM, a modal dialog, fast-forward, rewind, Step,
// Run To) it fades out first, so that no sound is cut off with a click, and
// it fades in at the first frame end that plays again.
#include <QAction>
#include <cstdio>

#include "frontend/frmgb.h"
#include "frontend/sound_control.h"

namespace wenlo::ui {

bool frmGB::SoundAudible() const {
    return modalDialogs_ == 0 && run_.RunDepth() > 0 && console_->Running() && !console_->Paused() &&
           !run_.FastForwarding() && !rewind_.Held() && !run_.StepActive() && !run_.RunToActive();
}

void frmGB::UpdateSound() { sound_->SetAudible(SoundAudible()); }

void frmGB::ModalDialog(bool open) {
    modalDialogs_ += open ? 1 : -1;
    UpdateSound();
}

void frmGB::RunMachine() {
    run_.Run();
    UpdateSound();  // the loop ended (Stop, Escape, Free ROM), or goes on beneath
}

namespace {

QString WithoutDevice(const SoundControl& sound) {
    if (sound.Output().Available()) return {};
    QString why = QString::fromStdString(sound.Output().Problem());
    if (!why.isEmpty()) why[0] = why[0].toUpper();
    return "\n" + why;
}

}  // namespace

void frmGB::mnuSoundPlay_Click() {
    sound_->SetEnabled(mnuSoundPlay->isChecked(), console().Sound());
    ApplyCommandStates();
    ShowNote((sound_->Enabled() ? "Sound on" : "Sound off") + WithoutDevice(*sound_));
}

void frmGB::mnuSoundVolumeUp_Click() {
    sound_->StepVolume(1);
    ShowVolumeNote();
}

void frmGB::mnuSoundVolumeDown_Click() {
    sound_->StepVolume(-1);
    ShowVolumeNote();
}

void frmGB::ShowVolumeNote() {
    QString note = QString("Volume %1%").arg(sound_->Volume());
    if (!sound_->Enabled()) note += " (Sound is off)";
    ShowNote(note + WithoutDevice(*sound_));
}

void frmGB::NoteSoundDevice() {
    const SoundOutput& out = sound_->Output();
    if (out.DeviceChanges() == soundDeviceChangesNoted_) return;
    soundDeviceChangesNoted_ = out.DeviceChanges();
    ShowNote(out.Available() ? "Sound device back" : "Sound device lost: playing silently until it is back");
}

void frmGB::SoundBeforeExit() {
    if (qEnvironmentVariableIsSet("WENLO_SOUND_STATS"))
        std::fprintf(stderr, "wenlo: %s\n", qPrintable(sound_->StatsLine()));
    sound_->FadeOutNow();
}

}  // namespace wenlo::ui
