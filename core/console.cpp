#include "core/console.h"

namespace wenlo {

std::unique_ptr<Console> MakeWenloConsole();     // core/design_console.cpp
std::unique_ptr<Console> MakeHandheldConsole();  // handheld/handheld_console.cpp

const char* MachineKindName(MachineKind kind) { return kind == MachineKind::Handheld ? "handheld" : "wenlo"; }

bool ParseMachineKind(const std::string& text, MachineKind& kind) {
    if (text == "wenlo")
        kind = MachineKind::Wenlo;
    else if (text == "handheld")
        kind = MachineKind::Handheld;
    else
        return false;
    return true;
}

std::unique_ptr<Console> MakeConsole(MachineKind kind) {
    return kind == MachineKind::Handheld ? MakeHandheldConsole() : MakeWenloConsole();
}

}  // namespace wenlo
