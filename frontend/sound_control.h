// The main window's sound: the one output device, opened at start-up
// (sound_output.h), the player's choices remembered in the settings file
// (QSettings "sound/enabled", default on; "sound/volume", percent, default
// 100), and whether the console's sound unit plays now.
//
// The window decides when the game is heard (audible: a run loop plays it at
// 1x, no pause, no fast-forward or rewind, no modal dialog open) and tells
// SetAudible whenever that may have changed; the output fades out and in
// (SoundOutput::SetMuted), so neither a pause nor a dialog clicks. The unit
// of the console in use has its output rate set to the device's while Sound
// is on and audible frames come (0 otherwise: a unit nobody hears
// synthesises nothing).
//
// Without a device everything works silently (the reason once on standard
// error, from SoundOutput) and the choices are still remembered.
#pragma once

#include <QString>
#include <cstdint>

#include "audio/apu.h"
#include "frontend/sound_output.h"

namespace wenlo::ui {

class SoundControl {
public:
    static constexpr int kVolumeStep = 10;  // percent a volume key moves

    // Opens the device (SDL_AUDIODRIVER chooses the driver) and reads the
    // settings.
    SoundControl();

    SoundOutput& Output() { return output_; }
    const SoundOutput& Output() const { return output_; }
    bool Enabled() const { return enabled_; }
    // Remembered. Off: the output fades out and the unit's output stops.
    void SetEnabled(bool on, audio::Apu& unit);
    // 0 to 100 percent; heard as the square of the fraction (loudness
    // follows the amplitude's square more closely than the amplitude).
    int Volume() const { return volume_; }
    // Moves the volume by `steps` of kVolumeStep (clamped), remembered;
    // returns the new volume.
    int StepVolume(int steps);

    // The unit of the console now in use (at start-up, after a machine
    // switch or anything that replaced the machine): its output rate set to
    // the device's when Sound is on, else 0.
    void Attach(audio::Apu& unit);
    // A unit no longer in use: its output off.
    static void Detach(audio::Apu& unit) { audio::ApuSetOutputRate(unit, 0); }

    // Whether the game is heard now; fades the output to match.
    void SetAudible(bool audible);
    bool Muted() const { return output_.Muted(); }
    // Mutes and, when the game was heard, waits the few milliseconds the
    // fade takes to play: the process is about to end, the device with it.
    void FadeOutNow();

    // The end of a frame of a run, the unit brought up to it: its frames
    // queued when audible, else the unit's output off until it is again.
    void FrameEnded(audio::Apu& unit, bool audible);

    // Frames queued while audible, as seconds of play at 1x.
    double PlayedSeconds() const;
    // "sound: <n> underruns in <s> s played at 1x (<rate> Hz)", or why
    // there is no sound.
    QString StatsLine() const;

private:
    SoundOutput output_;
    bool enabled_ = true;
    int volume_ = 100;
    uint64_t audibleFrames_ = 0;
};

}  // namespace wenlo::ui
