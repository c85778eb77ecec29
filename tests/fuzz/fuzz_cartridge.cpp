// A cartridge of arbitrary bytes and length: load it, reset, and run a few
// hundred scanlines with drawing on in every display mode, the compatibility
// record on (as always), and write its report. Short inputs are also tried
// padded to a full header so that the interpreter sees them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/cartridge.h"
#include "core/compat.h"
#include "core/machine.h"
#include "core/scheduler.h"
#include "video/surface.h"

namespace {

struct DrawingHost : wenlo::Host {
    wenlo::Surface surface;
    DrawingHost() { Screen = &surface; }
};

void RunImage(std::vector<uint8_t> image) {
    auto m = std::make_unique<wenlo::Machine>();
    DrawingHost host;
    m->host = &host;
    if (!wenlo::LoadRomImage(*m, std::move(image), "fuzz.gb")) return;
    wenlo::ResetMachine(*m);
    m->Running = true;
    for (uint8_t mode = 0; mode < 3; ++mode) {
        m->DisplayMode = mode;
        host.surface.Resize(wenlo::ModeWidth(mode), wenlo::ModeHeight(mode));
        // Start each mode on a drawn frame so the renderers always run.
        m->FrameCount = 0;
        for (int line = 0; line < 160 && m->Running; ++line) wenlo::RunScanline(*m);
    }
    if (!m->compat.enabled || wenlo::CompatReportText(m->compat).empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    RunImage(image);
    if (size < wenlo::kMinRomSize) {
        image.resize(0x8000, 0x00);
        RunImage(std::move(image));
    }
    return 0;
}
