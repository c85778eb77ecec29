// The rewind history: snapshots of the machine taken as it plays, kept in
// memory only, from which a held rewind key steps the game back.
//
// A snapshot holds the fields of the state file (state_file.h), and besides
// them LCDC, DMA and FrameCount, which a game changes as it plays and the
// file leaves out: a rewind across a screen switched off, or into another
// phase of the one-in-three drawing, comes back as it was. Not in it, as
// in the file: the cartridge (RomImage, RomName, CartType, ...), KeyState and
// the joypad nibbles (the keys are the player's, now), Running, Paused,
// DisplayMode and the picture. So a history belongs to one cartridge and one
// machine: Clear it when either is replaced (Load ROM, Reset, Free ROM, Load
// State).
//
// One snapshot is taken every kFrameSkip frames, at the end of the frame
// before a drawn one, so the frame run after a restore is drawn. The newest
// is kept whole; each older one as the words that differ from the one after
// it (snapshots are padded to 8-byte words). Recording and stepping back
// cost no allocation beyond the new difference itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/console.h"
#include "core/machine.h"

namespace wenlo {

// At most this much memory for a history, everything counted.
inline constexpr size_t kRewindByteLimit = size_t(64) << 20;
// At most this many seconds of play (one snapshot every kFrameSkip frames).
inline constexpr double kRewindSeconds = 60.0;

enum class RewindStep {
    Restored,  // the machine is back at an older snapshot
    AtStart,   // no older snapshot: the oldest was restored again
    Empty,     // nothing recorded: the machine was left as it was
};

// The design machine's snapshot (the fields above, padded to whole words),
// and its restoring (which also shows the restored ROM bank).
void TakeRewindSnapshot(const Machine&, std::vector<uint64_t>& words);
void PutRewindSnapshot(Machine&, const std::vector<uint64_t>& words);

class RewindHistory {
public:
    explicit RewindHistory(size_t byteLimit = kRewindByteLimit, double seconds = kRewindSeconds);

    // Forgets every snapshot.
    void Clear();
    // Called at the end of every frame while the game plays forward: records
    // a snapshot when the next frame is a drawn one (FrameCount % kFrameSkip
    // == 0), then drops the oldest snapshots beyond the limits.
    void FrameEnded(const Machine&);
    // Records a snapshot of m now, whatever the frame.
    void Record(const Machine&);

    // Restores the newest snapshot not restored since the last recording:
    // the first call after recording restores the newest one, each further
    // call the one before. At the oldest it stays there (AtStart). Each call
    // replaces the machine's snapshot fields and shows the restored ROM bank.
    RewindStep StepBack(Machine&);
    // The same for either machine, through its console's snapshots. A
    // snapshot of another size than the history's (another machine or
    // cartridge) starts the history afresh.
    void FrameEnded(const Console&);
    void Record(const Console&);
    RewindStep StepBack(Console&);

    // Snapshots held, and the seconds of play they reach back.
    size_t Count() const { return newest_.empty() ? 0 : older_.size() + 1; }
    double Seconds() const;
    // Memory held now: snapshot buffers and differences with their
    // bookkeeping, by capacity.
    size_t Bytes() const;

private:
    void Trim();
    void RecordScratch();
    RewindStep StepBackWords();

    size_t byteLimit_;
    size_t maxCount_;
    std::vector<uint64_t> newest_;   // the newest snapshot, whole; empty: no history
    std::vector<uint64_t> scratch_;  // the snapshot being taken
    std::vector<uint64_t> work_;     // the difference being built
    // older_[i] turns snapshot i + 1 back into snapshot i; back() belongs
    // to the newest. Each difference is runs of a header word (unchanged
    // words before the run << 32 | words in the run) and the older words.
    std::deque<std::vector<uint64_t>> older_;
    size_t olderBytes_ = 0;
    bool newestRestored_ = false;
};

}  // namespace wenlo
