// Helpers shared by the tests of the headless runner: running the wenlo-run
// binary, and reading back what a run left in its state file.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/bus.h"
#include "core/machine.h"
#include "savestate/state_file.h"
#include "tests/support/rom_builder.h"

namespace wenlo::test {

struct BinaryOutcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the real wenlo-run with args; stdout and stderr are captured.
inline BinaryOutcome RunBinary(const std::vector<std::string>& args) {
    const std::string dir = MakeTempDir();
    std::string command = ShellQuote(WENLO_RUN_PATH);
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
    // "literal" + std::string&&.
    for (const std::string& a : args) {
        command += ' ';
        command += ShellQuote(a);
    }
    command += " >";
    command += ShellQuote(dir + "/out");
    command += " 2>";
    command += ShellQuote(dir + "/err");
    const int status = std::system(command.c_str());
    BinaryOutcome o;
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadText(dir + "/out");
    o.err = ReadText(dir + "/err");
    return o;
}

// The machine state a state file holds, on a fresh machine; throws if the
// file does not load (so a test cannot pass on a missing file).
inline std::unique_ptr<Machine> StateOf(const std::string& stateFile) {
    auto m = std::make_unique<Machine>();
    std::string why;
    if (!ReadStateFile(*m, stateFile, &why)) throw std::runtime_error("state file did not load: " + why);
    return m;
}

}  // namespace wenlo::test
