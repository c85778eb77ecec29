// Property: compressing any bytes and expanding the result gives them back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_common.h"
#include "savestate/rle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string plain = wenlo::fuzz::ScratchDir() + "/roundtrip.in";
    const std::string coded = wenlo::fuzz::ScratchDir() + "/roundtrip.rle";
    const std::string back = wenlo::fuzz::ScratchDir() + "/roundtrip.out";
    wenlo::fuzz::WriteBytes(plain, data, size);
    wenlo::CompressFile(plain, coded);
    wenlo::ExpandFile(coded, back);
    const auto out = wenlo::fuzz::ReadBytes(back);
    if (out.size() != size || (size && !std::equal(out.begin(), out.end(), data))) std::abort();
    return 0;
}
