// PLACEHOLDER: replaced by the CB-prefixed table.
#include "core/cpu.h"
namespace wenlo {
int32_t ExecuteCB(Machine&) { return 8; }
}  // namespace wenlo
