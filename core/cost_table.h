// What each main-table instruction takes from the budget, in clock cycles:
// this machine's own counts, not the hardware's. The interpreter folds each
// cell into its case at compile time; the tests run every opcode against it.
//
// Rows are the high digit of the opcode, columns the low digit. {taken,
// not taken} is a conditional jump, call or return; CB is the prefix, whose
// cost the CB table reports (cb::kCycles).
//
// Many cells look like slips and are not; they are this machine's own and
// stay as they are: LD BC,nn 7; INC B 4 but DEC B 7 (only DEC C costs 4 among
// the DEC r); INC BC/DE/HL 4 but INC SP and DEC SP 7; LD (DE),A 10 but
// LD (BC),A 7; STOP 10 and HALT 4; JR e 7 but a taken JR cc 17; JP NZ 16/12
// but JP Z, NC and C 20/8; LD r,(HL) and LD (HL),r 4; ADD A,(HL) and SUB (HL)
// 8 but ADC A,(HL) and SBC A,(HL) 4; SUB A 8 but SUB B 4; PUSH BC 4 but
// PUSH DE, HL and AF 8; RST 20 and RETI 16.
#pragma once

#include <cstdint>

namespace wenlo {

struct Cost {
    uint8_t taken;     // the cost; of a conditional, when the branch is taken
    uint8_t notTaken;  // equal to taken except for a conditional
    constexpr Cost(int both) : taken(uint8_t(both)), notTaken(uint8_t(both)) {}
    constexpr Cost(int whenTaken, int whenNotTaken)
        : taken(uint8_t(whenTaken)), notTaken(uint8_t(whenNotTaken)) {}
};

// The 0xCB cell: the CB table's own count, not a figure of this table.
inline constexpr Cost CB{0};

// clang-format off
inline constexpr Cost kCostTable[256] = {
//    x0       x1  x2       x3  x4       x5  x6  x7  x8       x9  xA       xB  xC       xD  xE  xF
      4,       7,  7,       4,  4,       7,  7,  4,  8,       4,  7,       7,  4,       4,  7,  4,   // 0x
      10,      7,  10,      4,  4,       7,  7,  4,  7,       4,  7,       7,  4,       7,  7,  4,   // 1x
      {17, 7}, 7,  7,       4,  4,       7,  7,  7,  {17, 7}, 4,  7,       7,  4,       7,  7,  4,   // 2x
      {17, 7}, 10, 7,       7,  4,       7,  7,  4,  {17, 7}, 4,  7,       7,  4,       7,  7,  4,   // 3x
      4,       4,  4,       4,  4,       4,  4,  4,  4,       4,  4,       4,  4,       4,  4,  4,   // 4x
      4,       4,  4,       4,  4,       4,  4,  4,  4,       4,  4,       4,  4,       4,  4,  4,   // 5x
      4,       4,  4,       4,  4,       4,  4,  4,  4,       4,  4,       4,  4,       4,  4,  4,   // 6x
      4,       4,  4,       4,  4,       4,  4,  4,  4,       4,  4,       4,  4,       4,  4,  4,   // 7x
      4,       4,  4,       4,  4,       4,  8,  4,  4,       4,  4,       4,  4,       4,  4,  4,   // 8x
      4,       4,  4,       4,  4,       4,  8,  8,  4,       4,  4,       4,  4,       4,  4,  4,   // 9x
      4,       4,  4,       4,  4,       4,  8,  4,  4,       4,  4,       4,  4,       4,  8,  4,   // Ax
      4,       4,  4,       4,  4,       4,  8,  4,  4,       4,  4,       4,  4,       4,  8,  4,   // Bx
      {20, 8}, 8,  {16, 12},16, {24, 12},4,  4,  20, {20, 8}, 20, {20, 8}, CB, {24, 12},24, 8,  20,  // Cx
      {20, 8}, 8,  {20, 8}, 4,  {24, 12},8,  8,  20, {20, 8}, 16, {20, 8}, 4,  {24, 12},4,  4,  20,  // Dx
      8,       8,  8,       4,  4,       8,  8,  20, 16,      8,  8,       4,  4,       4,  4,  20,  // Ex
      8,       8,  8,       4,  4,       8,  4,  20, 4,       4,  16,      4,  4,       4,  8,  20,  // Fx
};
// clang-format on

// The dearest instruction (CALL, taken). The interpreter's loop runs two
// instructions per test of the budget while the budget exceeds it.
inline constexpr int kMaxCost = 24;

constexpr int DearestCost() {
    int most = 0;
    for (const Cost& c : kCostTable) most = c.taken > most ? c.taken : most;
    return most;
}
static_assert(DearestCost() == kMaxCost, "the run loop's two-step stretch relies on kMaxCost");

// A cell of the table as the instruction table's cases take it, folded in at
// compile time: Cost for the unconditional cells, Taken and NotTaken for the
// conditional ones. A cell of the wrong kind does not compile.
namespace cell {
consteval int Cost(unsigned op) {
    if (kCostTable[op].taken != kCostTable[op].notTaken) throw "a conditional cell needs Taken/NotTaken";
    return kCostTable[op].taken;
}
consteval int Taken(unsigned op) {
    if (kCostTable[op].taken == kCostTable[op].notTaken) throw "an unconditional cell needs Cost";
    return kCostTable[op].taken;
}
consteval int NotTaken(unsigned op) {
    if (kCostTable[op].taken == kCostTable[op].notTaken) throw "an unconditional cell needs Cost";
    return kCostTable[op].notTaken;
}
}  // namespace cell

}  // namespace wenlo
