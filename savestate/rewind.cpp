#include "savestate/rewind.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bus.h"
#include "core/timing.h"

namespace wenlo {

namespace {

// The snapshot's fields, in snapshot order: those of the state file's
// layout (the four flag bytes in place of F) and LCDC, DMA, FrameCount.
// visit(field) is called with each field as an lvalue of m.
template <class M, class Visit>
void ForEachField(M& m, Visit&& visit) {
    visit(m.IF), visit(m.IE), visit(m.IME);
    visit(m.regA), visit(m.flagZ), visit(m.flagN), visit(m.flagH), visit(m.flagC);
    visit(m.regB), visit(m.regC), visit(m.regD), visit(m.regE), visit(m.regH), visit(m.regL);
    visit(m.regPC), visit(m.regSP);
    visit(m.RamBanks);
    visit(m.BankMode), visit(m.MbcType), visit(m.RamEnabled), visit(m.RamBank), visit(m.RomBank);
    visit(m.VideoRam), visit(m.Oam), visit(m.HighRam), visit(m.SoundRegs);
    visit(m.P1), visit(m.LY), visit(m.LYC), visit(m.DIV), visit(m.STAT), visit(m.SCX), visit(m.SCY);
    visit(m.TIMA), visit(m.TMA), visit(m.BGP), visit(m.OBP0), visit(m.OBP1);
    visit(m.LCDC), visit(m.DMA), visit(m.FrameCount);
}
static_assert(sizeof(Machine::RamBanks) == 16 * 0x2000, "the RAM slots lie back to back");

size_t SnapshotWords(const Machine& m) {
    size_t bytes = 0;
    ForEachField(m, [&](const auto& field) { bytes += sizeof field; });
    return (bytes + 7) / 8;
}

}  // namespace

void TakeRewindSnapshot(const Machine& m, std::vector<uint64_t>& words) {
    words.resize(SnapshotWords(m));
    words.back() = 0;  // the padding after the last field
    auto* at = reinterpret_cast<uint8_t*>(words.data());
    ForEachField(m, [&](const auto& field) {
        std::memcpy(at, &field, sizeof field);
        at += sizeof field;
    });
}

void PutRewindSnapshot(Machine& m, const std::vector<uint64_t>& words) {
    const auto* at = reinterpret_cast<const uint8_t*>(words.data());
    ForEachField(m, [&](auto& field) {
        std::memcpy(&field, at, sizeof field);
        at += sizeof field;
    });
    // RomWindow is not in the snapshot: show the restored bank.
    SwitchRomBank(m);
}

namespace {

// Words compared at a time before looking at single words: most of a
// snapshot (the unused RAM slots, most of video RAM) is as it was.
constexpr size_t kBlockWords = 32;

// Appends to delta the runs of older that differ from newer.
void Difference(const std::vector<uint64_t>& newer, const std::vector<uint64_t>& older,
                std::vector<uint64_t>& delta) {
    delta.clear();
    const size_t n = newer.size();
    size_t runEnd = 0;  // where the last run ended
    size_t i = 0;
    while (i < n) {
        const size_t block = std::min(kBlockWords, n - i);
        if (std::memcmp(&newer[i], &older[i], block * 8) == 0) {
            i += block;
            continue;
        }
        const size_t blockEnd = i + block;
        while (i < blockEnd) {
            if (newer[i] == older[i]) {
                ++i;
                continue;
            }
            const size_t start = i;
            while (i < n && newer[i] != older[i]) ++i;
            delta.push_back(uint64_t(start - runEnd) << 32 | uint64_t(i - start));
            delta.insert(delta.end(), older.begin() + ptrdiff_t(start), older.begin() + ptrdiff_t(i));
            runEnd = i;
        }
        // A run that went past the block's end leaves i there: the loop goes
        // on from the next unchecked word.
    }
}

void Apply(const std::vector<uint64_t>& delta, std::vector<uint64_t>& words) {
    size_t at = 0;
    for (size_t d = 0; d < delta.size();) {
        const uint64_t header = delta[d++];
        at += size_t(header >> 32);
        const size_t count = size_t(header & 0xFFFFFFFFu);
        std::copy_n(delta.begin() + ptrdiff_t(d), count, words.begin() + ptrdiff_t(at));
        d += count;
        at += count;
    }
}

size_t DifferenceBytes(const std::vector<uint64_t>& delta) {
    return sizeof delta + delta.capacity() * sizeof(uint64_t);
}

}  // namespace

RewindHistory::RewindHistory(size_t byteLimit, double seconds)
    : byteLimit_(byteLimit),
      maxCount_(std::max<size_t>(1, size_t(std::ceil(seconds * kFramesPerSecond / kFrameSkip)))) {}

void RewindHistory::Clear() {
    newest_.clear();
    older_.clear();
    olderBytes_ = 0;
    newestRestored_ = false;
}

void RewindHistory::FrameEnded(const Machine& m) {
    if (m.FrameCount % kFrameSkip == 0) Record(m);
}

void RewindHistory::Record(const Machine& m) {
    TakeRewindSnapshot(m, scratch_);
    RecordScratch();
}

void RewindHistory::Record(const Console& c) {
    c.Snapshot(scratch_);
    RecordScratch();
}

void RewindHistory::FrameEnded(const Console& c) {
    if (c.SnapshotDue()) Record(c);
}

void RewindHistory::RecordScratch() {
    newestRestored_ = false;
    if (newest_.empty() || newest_.size() != scratch_.size()) {
        Clear();
        newest_.swap(scratch_);
        return;
    }
    Difference(scratch_, newest_, work_);
    older_.emplace_back(work_.begin(), work_.end());  // exactly as large as it must be
    olderBytes_ += DifferenceBytes(older_.back());
    newest_.swap(scratch_);
    Trim();
}

void RewindHistory::Trim() {
    while (!older_.empty() && (Count() > maxCount_ || Bytes() > byteLimit_)) {
        olderBytes_ -= DifferenceBytes(older_.front());
        older_.pop_front();
    }
}

RewindStep RewindHistory::StepBack(Machine& m) {
    const RewindStep step = StepBackWords();
    if (step != RewindStep::Empty) PutRewindSnapshot(m, newest_);
    return step;
}

RewindStep RewindHistory::StepBack(Console& c) {
    const RewindStep step = StepBackWords();
    if (step != RewindStep::Empty) c.Restore(newest_);
    return step;
}

RewindStep RewindHistory::StepBackWords() {
    if (newest_.empty()) return RewindStep::Empty;
    RewindStep step = RewindStep::Restored;
    if (newestRestored_) {
        if (older_.empty()) {
            step = RewindStep::AtStart;
        } else {
            Apply(older_.back(), newest_);
            olderBytes_ -= DifferenceBytes(older_.back());
            older_.pop_back();
        }
    }
    newestRestored_ = true;
    return step;
}

double RewindHistory::Seconds() const { return double(Count()) * kFrameSkip / kFramesPerSecond; }

size_t RewindHistory::Bytes() const {
    // The deque's own blocks hold the vectors' headers, counted with them.
    return (newest_.capacity() + scratch_.capacity() + work_.capacity()) * sizeof(uint64_t) + olderBytes_;
}

}  // namespace wenlo
