// State-file loading on arbitrary bytes: a load either succeeds or leaves the
// machine exactly as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/bus.h"
#include "core/machine.h"
#include "fuzz_common.h"
#include "savestate/state_file.h"

namespace {

// A machine with something in every saved area, so that a partial load
// would show.
std::unique_ptr<wenlo::Machine> MakeBusyMachine() {
    auto m = std::make_unique<wenlo::Machine>();
    m->RomImage.assign(0x10000, 0);
    for (size_t i = 0; i < m->RomImage.size(); ++i) m->RomImage[i] = uint8_t(i * 7 + (i >> 14));
    m->RomBankMask = 3;
    m->MbcType = 1;
    m->CartType = 1;
    wenlo::ResetMachine(*m);
    m->RomBank = 2;
    wenlo::SwitchRomBank(*m);
    for (size_t s = 0; s < m->RamBanks.size(); ++s)
        for (size_t o = 0; o < m->RamBanks[s].size(); o += 97) m->RamBanks[s][o] = uint8_t(s + o);
    for (size_t i = 0; i < m->VideoRam.size(); i += 13) m->VideoRam[i] = uint8_t(i);
    m->Oam[5] = 9;
    m->LY = 77;
    m->DIV = 3;
    m->RomName = "fuzz";
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto reference = MakeBusyMachine();
    auto m = std::make_unique<wenlo::Machine>(*reference);
    const std::string path = wenlo::fuzz::ScratchDir() + "/state.sav";
    wenlo::fuzz::WriteBytes(path, data, size);
    if (!wenlo::ReadStateFile(*m, path)) {
        if (wenlo::SerializeState(*m) != wenlo::SerializeState(*reference) ||
            m->RomWindow != reference->RomWindow)
            std::abort();
    }
    return 0;
}
