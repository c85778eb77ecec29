// The sound unit's output on the host's sound device, through SDL2's audio
// queue (no callback of ours, no thread of ours): 16-bit stereo at the
// device's own rate.
//
// Latency stays under 50 ms: a device period of about 5 ms plus a queue
// kept near kTargetMs and never let past kMaxQueueMs (frames beyond it are
// dropped, as when fast-forwarding). The queue is held at its target by
// steering the unit's output rate by at most kMaxSteer either way: the
// machine's clock and the device's never quite agree.
//
// Without a device (none, or SDL's audio refused) everything works
// silently: the reason goes to standard error once, the unit's output is
// switched off, nothing blocks. A device lost while playing (unplugged, its
// sound server gone) is said so once too; it is tried again every
// kRetryFrames frames, and sound resumes when it opens.
//
// Used from the thread that runs the machine; SetMuted may come between
// frames (pause, stop, a dialog) and takes effect at once, fading out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/apu.h"

namespace wenlo::ui {

// The steering of the producer's rate from the queue's fill, apart from any
// device: after each frame queued, the frames waiting go into a running
// average, and the rate moves in proportion to the average's distance from
// the target, by the full kMaxSteer from half the distance between target
// and limit on (either way).
class QueueSteer {
public:
    static constexpr double kMaxSteer = 0.005;  // of the device's rate
    static constexpr double kWeight = 0.1;      // of the newest fill in the average

    QueueSteer(double targetFrames, double limitFrames) : target_(targetFrames), limit_(limitFrames) {}
    // The queue was (re)started with `frames` in it.
    void Reset(double frames) { average_ = frames; }
    // `frames` wait after this frame's were queued; returns the factor for
    // the producer's rate, 1 - kMaxSteer to 1 + kMaxSteer.
    double Update(double frames);

private:
    double target_, limit_;
    double average_ = 0;
};

// A mute's last frames: the first `fadeFrames` of the newest `unplayed`
// frames of `history` (interleaved stereo), fading to silence. Fewer left
// (the queue nearly dry) still fade over all `fadeFrames`, the last of them
// held, so that a short queue does not end in a click. Nothing unplayed:
// nothing (the device is silent already).
std::vector<int16_t> FadeOutTail(const std::vector<int16_t>& history, size_t unplayed, size_t fadeFrames);

class SoundOutput {
public:
    static constexpr int kWantedRate = 48000;
    static constexpr double kTargetMs = 28;    // queued after a frame's frames, on average
    static constexpr double kMaxQueueMs = 40;  // never more queued than this
    static constexpr double kFadeMs = 5;       // mute and unmute ramps
    static constexpr double kMaxSteer = QueueSteer::kMaxSteer;
    static constexpr int kRetryFrames = 300;  // about 5 s between tries of a lost device

    // Opens the default output device (SDL_AUDIODRIVER chooses the driver).
    SoundOutput();
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    bool Available() const { return device_ != 0; }
    // Why there is no device ("" when there is one).
    const std::string& Problem() const { return problem_; }
    // The device's frames a second (0 without a device).
    int Rate() const { return rate_; }

    // At each frame's end, once the machine has brought the unit up to it:
    // takes the frames it completed, queues them (faded, while a fade runs)
    // and sets the unit's output rate for the next frame.
    void FrameEnded(audio::Apu&);
    // The same for frames from elsewhere; returns the steered rate the
    // producer should use next (Rate() while muted or idle).
    double Queue(const int16_t* interleavedStereo, size_t frames);

    // Muting fades out over kFadeMs what is queued and drops the rest; the
    // frames given while muted are dropped. Unmuting fades in.
    void SetMuted(bool muted);
    bool Muted() const { return muted_; }
    // The gain of the frames queued from now on, 0 to 1: reached over
    // kFadeMs of frames, so a change never clicks.
    void SetVolume(float gain);
    float Volume() const { return volume_; }

    // What SDL's stopping of the device leads to (it is looked for at each
    // frame): closed, silent until a retry opens it again.
    void DeviceLost();
    // Losses and returns of the device so far.
    int DeviceChanges() const { return deviceChanges_; }

    // Frames waiting in the queue now.
    size_t QueuedFrames() const;
    // Times the queue ran dry while playing (not while muted or before the
    // first frames).
    uint64_t Underruns() const { return underruns_; }
    // The last steering factor applied (1 + at most kMaxSteer either way).
    double Steer() const { return steer_; }

private:
    size_t Frames(double ms) const { return size_t(rate_ * ms / 1000); }
    // Opens the default device; false (and problem_ says why) if refused.
    bool Open();
    // Notices a stopped device; while lost, counts down to the next try.
    void Watch();
    void Push(const int16_t* frames, size_t n);

    uint32_t device_ = 0;  // SDL_AudioDeviceID
    int rate_ = 0;
    std::string problem_;
    bool lost_ = false;  // a device was open and stopped; SDL's audio stays up for retries
    int retryIn_ = 0;    // frames until the next try of a lost device
    int deviceChanges_ = 0;
    bool muted_ = false;
    bool playing_ = false;  // frames were queued since the start or the last unmute
    float gain_ = 1;        // of the next frame queued, ramping to 1 after an unmute
    float volume_ = 1;      // as set
    float level_ = 1;       // applied to the next frame queued, ramping to volume_
    QueueSteer queueSteer_{0, 0};
    double steer_ = 1;
    uint64_t underruns_ = 0;
    std::vector<int16_t> taken_;    // the unit's frames of the last FrameEnded
    std::vector<int16_t> scratch_;  // frames being faded in
    std::vector<int16_t> history_;  // the last frames queued, newest last
};

}  // namespace wenlo::ui
