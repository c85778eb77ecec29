// The serial port with no cable: a transfer on the internal clock shifts its
// byte out and 1s in at 8192 Hz (8 bits in 4,096 clock cycles), then requests
// the serial interrupt; on the external clock it waits for ever. Every byte
// sent is kept in Serial::sent (wenlo-run --serial).
#pragma once

#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

constexpr uint64_t kSerialTransferCycles = 8 * 512;

uint8_t SerialRead(const Handheld&, uint16_t address);
void SerialWrite(Handheld&, uint16_t address, uint8_t value);
// The scheduler's event: the transfer under way completes.
void SerialEvent(Handheld&);

}  // namespace wenlo::hh
