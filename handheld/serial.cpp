#include "handheld/serial.h"

#include "handheld/cpu.h"
#include "handheld/scheduler.h"

namespace wenlo::hh {

namespace {
constexpr uint16_t kSb = 0xFF01;
constexpr uint8_t kScStart = 0x80, kScInternalClock = 0x01;
// The sent bytes kept for a run: enough for any debug text, bounded for a
// cartridge that sends for ever.
constexpr size_t kMaxKept = 16u << 20;
}  // namespace

uint8_t SerialRead(const Handheld& h, uint16_t address) {
    return address == kSb ? h.serial.sb : uint8_t(h.serial.sc | 0x7E);
}

void SerialWrite(Handheld& h, uint16_t address, uint8_t value) {
    Serial& s = h.serial;
    if (address == kSb) {
        s.sb = value;
        return;
    }
    s.sc = uint8_t(value & (kScStart | kScInternalClock));
    if ((s.sc & kScStart) && (s.sc & kScInternalClock)) {
        if (s.sent.size() < kMaxKept) s.sent.push_back(s.sb);
        Schedule(h, kEventSerial, h.now + kSerialTransferCycles);
    } else {
        // Stopped, or waiting for a partner's clock that never comes.
        if (s.sc & kScStart) ReportNote(h.report, Lack::SerialPartner, h.frames);
        Schedule(h, kEventSerial, kNever);
    }
}

void SerialEvent(Handheld& h) {
    Serial& s = h.serial;
    s.sb = 0xFF;  // nobody on the other end: the line reads high
    s.sc &= uint8_t(~kScStart);
    RequestInterrupt(h, kIntSerial);
    Schedule(h, kEventSerial, kNever);
}

}  // namespace wenlo::hh
