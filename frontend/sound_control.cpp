#include "frontend/sound_control.h"

#include <QSettings>
#include <algorithm>
#include <chrono>
#include <thread>

#include "core/timing.h"

namespace wenlo::ui {

namespace {

constexpr const char* kEnabledKey = "sound/enabled";
constexpr const char* kVolumeKey = "sound/volume";

// The program's one settings file (machine_choices.cpp keeps its part there).
QSettings Open() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Wenlo", "Wenlo"); }

float Gain(int percent) {
    const float f = float(percent) / 100.0f;
    return f * f;
}

}  // namespace

SoundControl::SoundControl() {
    QSettings s = Open();
    enabled_ = s.value(kEnabledKey, true).toBool();
    bool ok = false;
    const int v = s.value(kVolumeKey, 100).toInt(&ok);
    volume_ = ok ? std::clamp(v, 0, 100) : 100;
    output_.SetVolume(Gain(volume_));
    output_.SetMuted(true);  // until the first frame of a game
}

void SoundControl::SetEnabled(bool on, audio::Apu& unit) {
    enabled_ = on;
    QSettings s = Open();
    s.setValue(kEnabledKey, on);
    s.sync();
    if (!on) output_.SetMuted(true);
    Attach(unit);
}

int SoundControl::StepVolume(int steps) {
    volume_ = std::clamp(volume_ + steps * kVolumeStep, 0, 100);
    output_.SetVolume(Gain(volume_));
    QSettings s = Open();
    s.setValue(kVolumeKey, volume_);
    s.sync();
    return volume_;
}

void SoundControl::Attach(audio::Apu& unit) {
    audio::ApuSetOutputRate(unit, enabled_ && output_.Available() ? output_.Rate() : 0);
}

void SoundControl::SetAudible(bool audible) { output_.SetMuted(!(audible && enabled_)); }

void SoundControl::FadeOutNow() {
    if (output_.Muted()) return;
    output_.SetMuted(true);
    // The fade and the device's own period (about 5 ms) still to play.
    std::this_thread::sleep_for(std::chrono::milliseconds(int(SoundOutput::kFadeMs) + 12));
}

void SoundControl::FrameEnded(audio::Apu& unit, bool audible) {
    SetAudible(audible);
    if (!enabled_) {
        if (unit.out.rate != 0) Detach(unit);
        return;
    }
    if (!audible) {
        // Fast-forward, rewind: frames nobody hears; the output starts
        // afresh, fading in, when the game plays at 1x again.
        if (unit.out.rate != 0) Detach(unit);
        return;
    }
    output_.FrameEnded(unit);
    ++audibleFrames_;
}

double SoundControl::PlayedSeconds() const { return double(audibleFrames_) / kFramesPerSecond; }

QString SoundControl::StatsLine() const {
    if (!output_.Available())
        return QString("sound: none (%1)").arg(QString::fromStdString(output_.Problem()));
    return QString("sound: %1 underruns in %2 s played at 1x (%3 Hz)")
        .arg(output_.Underruns())
        .arg(PlayedSeconds(), 0, 'f', 1)
        .arg(output_.Rate());
}

}  // namespace wenlo::ui
