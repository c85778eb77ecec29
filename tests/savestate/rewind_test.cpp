#include "savestate/rewind.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/lifecycle.h"
#include "core/timing.h"
#include "input/joypad.h"
#include "input/keys.h"
#include "savestate/state_file.h"
#include "tests/support/rom_builder.h"

namespace wenlo {
namespace {

const std::string kDemoRom = std::string(WENLO_SOURCE_DIR) + "/roms/wenlo-demo.gb";

// Calls onFrameEnd where the front end records and rewinds: inside the last
// line's bookkeeping, before that line's interrupt dispatch.
struct FrameHost : Host {
    std::function<void()> onFrameEnd;
    void FrameEnded(bool) override {
        if (onFrameEnd) onFrameEnd();
    }
};

int Frames(double seconds) { return int(seconds * kFramesPerSecond + 0.5); }

// The fields a snapshot holds besides the state file's.
struct Extras {
    uint8_t LCDC, DMA, FrameCount;
    bool operator==(const Extras&) const = default;
};
Extras ExtrasOf(const Machine& m) { return {m.LCDC, m.DMA, m.FrameCount}; }

std::unique_ptr<Machine> Demo(Host& host) {
    auto m = std::make_unique<Machine>();
    if (!StartCartridge(*m, kDemoRom)) throw std::runtime_error("the demo cartridge does not load");
    m->host = &host;
    return m;
}

// The demo played for 30 s with the keys a player uses (moving, the other
// level in the other ROM bank, other colours), then rewound N seconds by
// stepping back at frame ends with a frame run between steps, as the window
// does, lands on the state recorded N seconds before; played on for two
// seconds from there it matches a second machine restored to that snapshot
// and played on as long.
TEST(RewindHistory, RewindingNSecondsAndPlayingOnMatchesTheSnapshotOfThen) {
    const int played = Frames(30);
    const struct {
        int from, to, key;
    } presses[] = {{60, 400, keys::Right}, {300, 330, keys::A},   {700, 760, keys::B},
                   {900, 1300, keys::Up},  {1250, 1290, keys::A}, {1500, 1700, keys::Left}};
    for (double seconds : {0.5, 5.0, 20.0}) {
        SCOPED_TRACE(seconds);
        FrameHost host;
        auto m = Demo(host);
        RewindHistory history;
        RewindHistory then;  // the one snapshot of N seconds ago
        std::vector<uint8_t> stateThen;
        Extras extrasThen{};
        int frame = 0, recordedSince = -1;
        host.onFrameEnd = [&] {
            const size_t before = history.Count();
            history.FrameEnded(*m);
            if (history.Count() == before) return;  // not a snapshot frame
            if (recordedSince >= 0) {
                ++recordedSince;
            } else if (frame >= played - Frames(seconds)) {
                recordedSince = 0;
                then.Record(*m);
                stateThen = SerializeState(*m);
                extrasThen = ExtrasOf(*m);
            }
        };
        for (; frame < played; ++frame) {
            for (const auto& p : presses) {
                if (frame == p.from) KeyDown(*m, p.key);
                if (frame == p.to) KeyUp(*m, p.key);
            }
            RunFrame(*m);
        }
        if (seconds >= 20.0)
            std::printf("[ history ] %.1f s of the demo in %zu snapshots: %zu bytes\n", history.Seconds(),
                        history.Count(), history.Bytes());
        ASSERT_GE(recordedSince, 0);

        // Steps back once per frame: the first restores the newest snapshot,
        // recordedSince more reach the one of N seconds ago.
        int steps = 0;
        bool landed = false;
        host.onFrameEnd = [&] {
            if (landed) return;
            ASSERT_EQ(history.StepBack(*m), RewindStep::Restored);
            if (++steps <= recordedSince) return;
            landed = true;
            EXPECT_TRUE(SerializeState(*m) == stateThen) << "landed elsewhere than N seconds ago";
            EXPECT_EQ(ExtrasOf(*m), extrasThen);
        };
        for (int i = 0; !landed && i < played; ++i) RunFrame(*m);
        ASSERT_TRUE(landed);
        for (int i = 0; i < Frames(2); ++i) RunFrame(*m);

        FrameHost refHost;
        auto ref = Demo(refHost);
        bool restored = false;
        refHost.onFrameEnd = [&] {
            if (!restored) restored = then.StepBack(*ref) == RewindStep::Restored;
        };
        RunFrame(*ref);
        ASSERT_TRUE(restored);
        for (int i = 0; i < Frames(2); ++i) RunFrame(*ref);
        EXPECT_TRUE(SerializeState(*m) == SerializeState(*ref));
        EXPECT_EQ(ExtrasOf(*m), ExtrasOf(*ref));
        EXPECT_EQ(m->regPC, ref->regPC);
    }
}

// Every field the state file stores comes back, set to random values; the
// machine's other fields (the cartridge, the keys, the controls) stay.
TEST(RewindHistory, ASnapshotRestoresEveryFieldOfTheStateFile) {
    std::mt19937 rng(7);
    std::vector<uint8_t> state(kStateSize);
    for (uint8_t& b : state) b = uint8_t(rng());
    state[131096] = 3;  // RomBank: a bank the cartridge has

    test::RomBuilder rom(4, 0x01, "REWIND");
    for (int bank = 1; bank < 4; ++bank) rom.PutBanked(bank, 0x4000, {uint8_t(0xB0 + bank)});
    auto a = test::MakeMachine(rom);
    ASSERT_TRUE(DeserializeState(*a, state));
    a->LCDC = 0x91, a->DMA = 0xC1, a->FrameCount = 42;
    RewindHistory history;
    history.Record(*a);

    auto b = test::MakeMachine(rom);
    b->KeyState[keys::Left] = 1;
    b->DisplayMode = 2;
    ASSERT_EQ(history.StepBack(*b), RewindStep::Restored);
    EXPECT_TRUE(SerializeState(*b) == SerializeState(*a));
    EXPECT_EQ(ExtrasOf(*b), ExtrasOf(*a));
    EXPECT_EQ(b->RomWindow[0x4000], 0xB3) << "the restored bank is shown";
    EXPECT_EQ(b->KeyState[keys::Left], 1);
    EXPECT_EQ(b->DisplayMode, 2);
    EXPECT_TRUE(b->Running);
}

// StepBack goes from the newest snapshot to the oldest and stays there;
// recording again goes on from wherever the machine is; Clear forgets all.
TEST(RewindHistory, StepsBackToTheOldestAndStaysThere) {
    auto m = test::MakeMachine(test::RomBuilder());
    RewindHistory history;
    EXPECT_EQ(history.StepBack(*m), RewindStep::Empty);
    for (uint8_t a = 1; a <= 4; ++a) {
        m->regA = a;
        history.Record(*m);
    }
    m->regA = 9;
    const struct {
        RewindStep step;
        uint8_t regA;
    } steps[] = {{RewindStep::Restored, 4}, {RewindStep::Restored, 3}, {RewindStep::Restored, 2},
                 {RewindStep::Restored, 1}, {RewindStep::AtStart, 1},  {RewindStep::AtStart, 1}};
    for (const auto& s : steps) {
        m->regA = 0x77;
        EXPECT_EQ(history.StepBack(*m), s.step);
        EXPECT_EQ(m->regA, s.regA);
    }
    EXPECT_EQ(history.Count(), 1u);

    // Played on from the oldest: the new snapshots follow it.
    m->regA = 5;
    history.Record(*m);
    EXPECT_EQ(history.Count(), 2u);
    EXPECT_EQ(history.StepBack(*m), RewindStep::Restored);
    EXPECT_EQ(m->regA, 5);
    EXPECT_EQ(history.StepBack(*m), RewindStep::Restored);
    EXPECT_EQ(m->regA, 1);

    history.Clear();
    m->regA = 0x33;
    EXPECT_EQ(history.StepBack(*m), RewindStep::Empty);
    EXPECT_EQ(m->regA, 0x33);
    EXPECT_EQ(history.Count(), 0u);
}

// The limits: even a game that changes every byte of its state between two
// snapshots keeps 20 s within 64 MiB; an unchanging one keeps the time
// limit; a small byte limit drops the oldest and keeps the order.
TEST(RewindHistory, KeepsTwentySecondsWithinSixtyFourMiB) {
    auto m = test::MakeMachine(test::RomBuilder());
    RewindHistory history;
    const int snapshots = int(kRewindSeconds * kFramesPerSecond / kFrameSkip) + 20;
    for (int i = 0; i < snapshots; ++i) {
        for (auto& slot : m->RamBanks) slot.fill(uint8_t(i));
        m->VideoRam.fill(uint8_t(i));
        m->Oam.fill(uint8_t(i));
        m->HighRam.fill(uint8_t(i));
        history.Record(*m);
        ASSERT_LE(history.Bytes(), kRewindByteLimit);
    }
    EXPECT_GE(history.Seconds(), 20.0);

    RewindHistory still;
    for (int i = 0; i < snapshots; ++i) still.Record(*m);
    EXPECT_NEAR(still.Seconds(), kRewindSeconds, 0.1);
    EXPECT_LT(still.Bytes(), size_t(1) << 20);

    RewindHistory small(400'000);  // the whole snapshots and about fifteen differences
    for (int i = 0; i < 100; ++i) {
        m->VideoRam[0] = uint8_t(i);
        for (int k = 0; k < 8000; ++k) m->RamBanks[0][k] = uint8_t(i + k);
        small.Record(*m);
        ASSERT_LE(small.Bytes(), 400'000u);
    }
    ASSERT_GT(small.Count(), 3u);
    ASSERT_LT(small.Count(), 100u);
    const int oldest = 100 - int(small.Count());
    for (int i = 99; i >= oldest; --i) {
        ASSERT_EQ(small.StepBack(*m), RewindStep::Restored);
        ASSERT_EQ(m->VideoRam[0], i);
        ASSERT_EQ(m->RamBanks[0][7999], uint8_t(i + 7999));
    }
    EXPECT_EQ(small.StepBack(*m), RewindStep::AtStart);
}

// Recorded at the end of the frame before a drawn one, once in kFrameSkip.
TEST(RewindHistory, RecordsOnceEveryThreeFramesBeforeADrawnOne) {
    FrameHost host;
    auto m = Demo(host);
    RewindHistory history;
    std::vector<int> recordedAt;
    int frame = 0;
    host.onFrameEnd = [&] {
        const size_t before = history.Count();
        history.FrameEnded(*m);
        if (history.Count() != before) recordedAt.push_back(frame);
        EXPECT_TRUE(history.Count() == before || m->FrameCount % kFrameSkip == 0);
    };
    for (; frame < 12; ++frame) RunFrame(*m);
    ASSERT_EQ(recordedAt.size(), 4u);
    for (size_t i = 1; i < recordedAt.size(); ++i) EXPECT_EQ(recordedAt[i] - recordedAt[i - 1], kFrameSkip);
}

}  // namespace
}  // namespace wenlo
