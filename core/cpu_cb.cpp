// ExecuteCB: the public entry to the CB-prefixed table (cpu_cb_internal.h), for callers
// outside the instruction loop.
#include "core/cpu.h"
#include "core/cpu_cb_internal.h"

namespace wenlo {

int32_t ExecuteCB(Machine& m) {
    const uint32_t pc = uint32_t(m.regPC);
    const uint8_t b = alu::Read(m, pc);
    m.CurrentCBOpcode = b;
    m.regPC = int32_t(pc + 1);
    cb::Execute(m, b);
    return cb::kCycles;
}

}  // namespace wenlo
