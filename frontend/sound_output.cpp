#include "frontend/sound_output.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

namespace wenlo::ui {

namespace {

constexpr size_t kFrameBytes = 2 * sizeof(int16_t);
// The device's period: about 5 ms, a power of two of frames.
constexpr double kPeriodMs = 5.3;

}  // namespace

std::vector<int16_t> FadeOutTail(const std::vector<int16_t>& history, size_t unplayed, size_t fadeFrames) {
    unplayed = std::min(unplayed, history.size() / 2);
    if (unplayed == 0) return {};
    const int16_t* first = history.data() + history.size() - unplayed * 2;
    std::vector<int16_t> tail(fadeFrames * 2);
    for (size_t i = 0; i < fadeFrames; ++i) {
        const int16_t* from = first + std::min(i, unplayed - 1) * 2;
        const float g = 1.0f - float(i + 1) / float(fadeFrames);
        tail[i * 2] = int16_t(from[0] * g);
        tail[i * 2 + 1] = int16_t(from[1] * g);
    }
    return tail;
}

double QueueSteer::Update(double frames) {
    average_ += kWeight * (frames - average_);
    const double error = (target_ - average_) / (limit_ - target_);
    return 1 + kMaxSteer * std::clamp(2 * error, -1.0, 1.0);
}

SoundOutput::SoundOutput() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        problem_ = std::string("no sound: ") + SDL_GetError();
    } else if (!Open()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (!problem_.empty()) std::fprintf(stderr, "wenlo: %s; playing silently\n", problem_.c_str());
}

SoundOutput::~SoundOutput() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    if (device_ != 0 || lost_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SoundOutput::Open() {
    SDL_AudioSpec want{}, have{};
    want.freq = kWantedRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1;
    while (want.samples < kWantedRate * kPeriodMs / 1000) want.samples *= 2;
    want.callback = nullptr;  // the queue
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (device_ == 0) {
        problem_ = std::string("no sound device: ") + SDL_GetError();
        return false;
    }
    problem_.clear();
    rate_ = have.freq;
    queueSteer_ = QueueSteer(double(Frames(kTargetMs)), double(Frames(kMaxQueueMs)));
    playing_ = false;
    history_.clear();
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SoundOutput::Watch() {
    if (device_ != 0) {
        // Unplugged, or its sound server gone: SDL stops the device, and
        // its queue would never drain again.
        if (SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED) return;
        DeviceLost();
    }
    if (!lost_ || --retryIn_ > 0) return;
    retryIn_ = kRetryFrames;
    // Afresh: a driver whose server went away keeps its dead connection
    // until SDL's audio is started again.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 || !Open()) {
        problem_ = "sound device lost";
        return;
    }
    lost_ = false;
    ++deviceChanges_;
    gain_ = 0;  // faded in, as after an unmute
    std::fprintf(stderr, "wenlo: sound device back at %d Hz\n", rate_);
}

void SoundOutput::DeviceLost() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    lost_ = true;
    ++deviceChanges_;
    retryIn_ = kRetryFrames;
    problem_ = "sound device lost";
    std::fprintf(stderr, "wenlo: sound device lost; playing silently until it is back\n");
}

size_t SoundOutput::QueuedFrames() const {
    return device_ ? SDL_GetQueuedAudioSize(device_) / kFrameBytes : 0;
}

void SoundOutput::FrameEnded(audio::Apu& apu) {
    if (device_ == 0) Watch();
    if (device_ == 0) {
        if (apu.out.rate != 0) ApuSetOutputRate(apu, 0);
        return;
    }
    if (apu.out.rate == 0) ApuSetOutputRate(apu, rate_);
    taken_.resize(std::max<size_t>(audio::ApuSamplesReady(apu), 1) * 2);
    const size_t n = audio::ApuTakeSamples(apu, taken_.data(), taken_.size() / 2);
    ApuSetOutputRate(apu, Queue(taken_.data(), n));
}

double SoundOutput::Queue(const int16_t* frames, size_t n) {
    Watch();
    if (device_ == 0) return 0;
    if (muted_) {
        steer_ = 1;
        return rate_;
    }
    size_t queued = QueuedFrames();
    if (queued == 0) {
        // Starting, or the queue ran dry: silence first, so that the frames
        // given find a queue at its target.
        if (playing_) ++underruns_;
        const size_t prime = Frames(kTargetMs) > n ? Frames(kTargetMs) - n : 0;
        if (prime != 0) {
            std::vector<int16_t> silence(prime * 2, 0);
            SDL_QueueAudio(device_, silence.data(), uint32_t(prime * kFrameBytes));
            queued = prime;
        }
        queueSteer_.Reset(double(queued + n));
    }
    // Past the limit the newest frames are lost (the machine runs faster
    // than the device plays: fast-forward).
    const size_t room = Frames(kMaxQueueMs) > queued ? Frames(kMaxQueueMs) - queued : 0;
    Push(frames, std::min(n, room));
    playing_ = true;

    steer_ = queueSteer_.Update(double(QueuedFrames()));
    return rate_ * steer_;
}

void SoundOutput::Push(const int16_t* frames, size_t n) {
    if (n == 0) return;
    const int16_t* out = frames;
    if (gain_ < 1 || level_ != 1 || volume_ != 1) {
        // Fading in after an unmute, and the volume moving to its new
        // setting, each by at most a fade's step a frame.
        const float step = 1.0f / float(std::max<size_t>(Frames(kFadeMs), 1));
        scratch_.assign(frames, frames + n * 2);
        for (size_t i = 0; i < n; ++i) {
            const float g = gain_ * level_;
            scratch_[i * 2] = int16_t(scratch_[i * 2] * g);
            scratch_[i * 2 + 1] = int16_t(scratch_[i * 2 + 1] * g);
            gain_ = std::min(1.0f, gain_ + step);
            level_ = level_ < volume_ ? std::min(volume_, level_ + step) : std::max(volume_, level_ - step);
        }
        out = scratch_.data();
    }
    SDL_QueueAudio(device_, out, uint32_t(n * kFrameBytes));
    // Kept for a fade-out: the unplayed part of the queue is rebuilt from it.
    const size_t keep = Frames(kMaxQueueMs) * 2;
    history_.insert(history_.end(), out, out + n * 2);
    if (history_.size() > keep) history_.erase(history_.begin(), history_.end() - keep);
}

void SoundOutput::SetMuted(bool muted) {
    if (muted == muted_) return;
    muted_ = muted;
    if (device_ == 0) return;
    if (!muted) {
        gain_ = 0;
        level_ = volume_;  // the fade-in brings it
        playing_ = false;
        history_.clear();
        return;
    }
    // What the device has not played yet is the newest `unplayed` frames we
    // queued: replaced by kFadeMs of them fading to silence.
    SDL_LockAudioDevice(device_);
    const size_t unplayed = std::min(QueuedFrames(), history_.size() / 2);
    SDL_ClearQueuedAudio(device_);
    const std::vector<int16_t> tail = FadeOutTail(history_, unplayed, std::max<size_t>(Frames(kFadeMs), 1));
    if (!tail.empty()) SDL_QueueAudio(device_, tail.data(), uint32_t(tail.size() * sizeof(int16_t)));
    SDL_UnlockAudioDevice(device_);
    history_.clear();
    playing_ = false;
    steer_ = 1;
}

void SoundOutput::SetVolume(float gain) {
    volume_ = std::clamp(gain, 0.0f, 1.0f);
    if (muted_) level_ = volume_;  // nothing to ramp from
}

}  // namespace wenlo::ui
