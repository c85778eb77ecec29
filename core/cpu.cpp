// PLACEHOLDER: replaced by the interpreter.
#include "core/cpu.h"
namespace wenlo {
void Interpret(Machine&, int16_t) {}
}  // namespace wenlo
