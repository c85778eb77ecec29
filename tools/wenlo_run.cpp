// wenlo-run: runs a cartridge for a number of frames without a window, for
// scripted checks, picture baselines and the speed benchmark.
#include <iostream>
#include <string>
#include <vector>

#include "tools/headless.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return wenlo::tools::RunMain(args, std::cout, std::cerr);
}
