// DIV and the timer: rates, overflow with its one-cycle delay, and the extra
// steps that writes to DIV and TAC cause on the hardware.
#include "handheld/timer.h"

#include <gtest/gtest.h>

#include "tests/handheld/handheld_fixture.h"

namespace wenlo::test {
namespace {

constexpr uint16_t kDiv = 0xFF04, kTima = 0xFF05, kTma = 0xFF06, kTac = 0xFF07;

std::unique_ptr<hh::Handheld> TimerMachine() {
    auto h = MakeHandheld(RomBuilder());
    hh::TimerWrite(*h, kDiv, 0);  // the counter from 0 at now
    return h;
}

void Advance(hh::Handheld& h, uint64_t cycles) {
    h.now += cycles;
    hh::ServiceEvents(h);
}

TEST(HandheldTimer, TimaCountsAtEachRate) {
    struct Case {
        uint8_t tac;
        uint64_t period;
    };
    for (const Case c : {Case{0x04, 1024}, Case{0x05, 16}, Case{0x06, 64}, Case{0x07, 256}}) {
        auto h = TimerMachine();
        hh::TimerWrite(*h, kTac, c.tac);
        Advance(*h, c.period * 10 - 4);
        EXPECT_EQ(hh::TimerRead(*h, kTima), 9) << int(c.tac);
        Advance(*h, 4);
        EXPECT_EQ(hh::TimerRead(*h, kTima), 10) << int(c.tac);
    }
}

TEST(HandheldTimer, DivIsTheCounterUpperByte) {
    auto h = TimerMachine();
    Advance(*h, 1272);
    EXPECT_EQ(hh::TimerRead(*h, kDiv), 1272 >> 8);
    hh::TimerWrite(*h, kDiv, 0x55);  // any write clears it
    EXPECT_EQ(hh::TimerRead(*h, kDiv), 0);
}

TEST(HandheldTimer, OverflowReadsZeroForOneCycleThenReloads) {
    auto h = TimerMachine();
    hh::TimerWrite(*h, kTma, 0x80);
    hh::TimerWrite(*h, kTima, 0xFF);
    hh::TimerWrite(*h, kTac, 0x05);  // every 16 cycles
    h->IF = 0;
    Advance(*h, 16);
    EXPECT_EQ(hh::TimerRead(*h, kTima), 0x00);  // the overflow's cycle
    EXPECT_EQ(h->IF & hh::kIntTimer, 0);
    Advance(*h, 4);
    EXPECT_EQ(hh::TimerRead(*h, kTima), 0x80);
    EXPECT_EQ(h->IF & hh::kIntTimer, hh::kIntTimer);
}

TEST(HandheldTimer, WritesInTheOverflowWindow) {
    struct Case {
        const char* what;
        uint64_t at;  // after the overflow edge: 0 the zero cycle, 4 the reload's
        uint16_t reg;
        uint8_t value;
        uint8_t tima;  // read 8 cycles after the overflow
        bool interrupt;
    };
    const Case cases[] = {
        {"TIMA written while 0: no reload, no interrupt", 0, kTima, 0x33, 0x33, false},
        {"TIMA written in the reload cycle: ignored", 4, kTima, 0x33, 0x80, true},
        {"TMA written in the reload cycle: loaded too", 4, kTma, 0x44, 0x44, true},
    };
    for (const Case& c : cases) {
        auto h = TimerMachine();
        hh::TimerWrite(*h, kTma, 0x80);
        hh::TimerWrite(*h, kTima, 0xFF);
        hh::TimerWrite(*h, kTac, 0x04);  // every 1024 cycles: no second edge nearby
        h->IF = 0;
        Advance(*h, 1024 + c.at);
        hh::TimerWrite(*h, c.reg, c.value);
        Advance(*h, 8 - c.at);
        EXPECT_EQ(hh::TimerRead(*h, kTima), c.tima) << c.what;
        EXPECT_EQ((h->IF & hh::kIntTimer) != 0, c.interrupt) << c.what;
    }
}

TEST(HandheldTimer, DivAndTacWritesCanCountAStep) {
    struct Case {
        const char* what;
        uint64_t after;  // cycles after the counter's start
        uint16_t reg;
        uint8_t value;
        uint8_t tima;
    };
    const Case cases[] = {
        // At 262144 Hz the watched bit is bit 3: set from 8 to 15.
        {"DIV written with the bit set", 8, kDiv, 0, 1},
        {"DIV written with the bit clear", 4, kDiv, 0, 0},
        {"TAC disabled with the bit set", 8, kTac, 0x01, 1},
        {"TAC to a rate whose bit is clear", 8, kTac, 0x04, 1},
        {"TAC disabled with the bit clear", 4, kTac, 0x01, 0},
    };
    for (const Case& c : cases) {
        auto h = TimerMachine();
        hh::TimerWrite(*h, kTac, 0x05);
        Advance(*h, c.after);
        hh::TimerWrite(*h, c.reg, c.value);
        EXPECT_EQ(hh::TimerRead(*h, kTima), c.tima) << c.what;
    }
}

TEST(HandheldTimer, FrameSequencerStepsOnFallingEdgesOfCounterBit12) {
    // Bit 12 is set from 4,096 to 8,191 of each 8,192 cycles and falls at
    // their end; a DIV write while it is set makes it fall at once.
    struct Case {
        const char* what;
        uint64_t divAt;  // cycles after the counter's start of a DIV write (0: none)
        uint64_t after;  // cycles run after that (or after the start)
        int steps;
    };
    const Case cases[] = {
        {"no edge in the first 8,191 cycles", 0, 8191, 0},
        {"the edge at 8,192", 0, 8192, 1},
        {"one every 8,192", 0, 5 * 8192, 5},
        {"DIV written with bit 12 set: a step at once", 4096, 0, 1},
        {"... and the next 8,192 cycles after the write", 4096, 8192, 2},
        {"DIV written with bit 12 clear: none", 4000, 8191, 0},
        {"... and the next 8,192 cycles after the write", 4000, 8192, 1},
    };
    for (const Case& c : cases) {
        auto h = TimerMachine();
        hh::TimerSoundCatchUp(*h);
        const uint8_t start = h->apu.seqStep;
        if (c.divAt != 0) {
            Advance(*h, c.divAt);
            hh::TimerWrite(*h, kDiv, 0);
        }
        Advance(*h, c.after);
        hh::TimerSoundCatchUp(*h);
        EXPECT_EQ((h->apu.seqStep - start) & 7, c.steps) << c.what;
    }
}

}  // namespace
}  // namespace wenlo::test
