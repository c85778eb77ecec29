// Whether a state read from a file is one this machine can run: a file with
// a valid checksum can still hold values no run of the machine produces (an
// index past its table, a time far from now), and the machine must never
// run those.
#pragma once

#include "handheld/handheld.h"

namespace wenlo::hh {

// `loaded`: the state as read; `cartridge`: the bank controller as the
// cartridge's header set it up (the state must agree with its facts).
bool StateInRange(const Handheld& loaded, const Mbc& cartridge);

}  // namespace wenlo::hh
