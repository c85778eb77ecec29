// The run-length decoder on arbitrary bytes: it must stop at the end of its
// input whatever token is cut off there, and never write more than 255 bytes
// per input byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_common.h"
#include "savestate/rle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source = wenlo::fuzz::ScratchDir() + "/decode.in";
    const std::string target = wenlo::fuzz::ScratchDir() + "/decode.out";
    wenlo::fuzz::WriteBytes(source, data, size);
    wenlo::ExpandFile(source, target);
    const auto out = wenlo::fuzz::ReadBytes(target);
    // A run token is three bytes for at most 255 output bytes.
    if (out.size() > size * 85 + 1) std::abort();
    return 0;
}
