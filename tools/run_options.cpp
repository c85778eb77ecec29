#include "tools/run_options.h"

#include <charconv>

#include "core/timing.h"
#include "input/keys.h"
#include "video/surface.h"

namespace wenlo::tools {

namespace {

struct NamedKey {
    const char* name;
    uint8_t code;
};
constexpr NamedKey kKeyNames[] = {
    {"right", keys::Right}, {"left", keys::Left}, {"up", keys::Up},         {"down", keys::Down},
    {"a", keys::A},         {"b", keys::B},       {"select", keys::Select}, {"start", keys::Start},
};

// A plain decimal number: digits only (no sign, no spaces, no "0x"), at most
// `limit`. std::from_chars alone would accept a leading '-'.
std::optional<int64_t> ParseCount(const std::string& text, int64_t limit) {
    if (text.empty()) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > limit) return std::nullopt;
    return value;
}

// Frame numbers and counts: at most a billion frames keeps every derived
// figure (frame * kLinesPerFrame lines) far from overflow and is days of emulation.
constexpr int64_t kMaxFrames = 1'000'000'000;

bool TakesValue(const std::string& arg) {
    return arg == "--frames" || arg == "--mode" || arg == "--png" || arg == "--state" ||
           arg == "--load-state" || arg == "--press" || arg == "--machine" || arg == "--serial" ||
           arg == "--wav";
}

std::optional<KeyPress> ParsePress(const std::string& text, std::string& error) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? std::string::npos : text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos) {
        error = "--press wants KEY:FROM:TO, got '" + text + "'";
        return std::nullopt;
    }
    const std::string name = text.substr(0, first);
    const auto code = KeyCodeFromName(name);
    if (!code) {
        error = "unknown key '" + name + "' (keys: right left up down a b select start)";
        return std::nullopt;
    }
    const auto from = ParseCount(text.substr(first + 1, second - first - 1), kMaxFrames);
    const auto to = ParseCount(text.substr(second + 1), kMaxFrames);
    if (!from || !to) {
        error = "--press frames must be non-negative whole numbers, got '" + text + "'";
        return std::nullopt;
    }
    if (*from > *to) {
        error = "--press FROM is after TO in '" + text + "'";
        return std::nullopt;
    }
    return KeyPress{*code, *from, *to};
}

}  // namespace

std::optional<uint8_t> KeyCodeFromName(const std::string& name) {
    for (const NamedKey& k : kKeyNames)
        if (name == k.name) return k.code;
    return std::nullopt;
}

std::string UsageText() {
    return std::string(
               "usage: wenlo-run [--frames N] [--mode 0|1|2] [--png FILE] [--state FILE]\n"
               "                 [--load-state FILE] [--press KEY:FROM:TO]... [--bench] [--report]\n"
               "                 [--machine wenlo|handheld] [--serial FILE] [--wav FILE] ROM\n"
               "       wenlo-run --help | --version\n") +
           "  --frames N          run N frames of " + std::to_string(kLinesPerFrame) +
           " scanlines (default 600)\n"
           "  --mode M            display mode: 0 = 1x1, 1 = 2x2, 2 = 2x2 interlaced\n"
           "  --png FILE          write the picture as PNG after the run\n"
           "  --state FILE        write a state file after the run\n"
           "  --load-state FILE   load a state file before the run\n"
           "  --press KEY:FROM:TO hold KEY (right left up down a b select start)\n"
           "                      from frame FROM up to, not including, frame TO\n"
           "  --bench             print frames, seconds, frames per second and speed\n"
           "  --report            after the run, print what the cartridge used that this\n"
           "                      machine does differently from the handheld: one line\n"
           "                      'feature count first-frame explanation' each, likeliest\n"
           "                      culprit first, then a line beginning 'compat:'\n"
           "  --machine M         wenlo (the default: this program's own machine) or\n"
           "                      handheld (the complete handheld, as the hardware runs)\n"
           "  --serial FILE       write every byte the cartridge sent through the serial\n"
           "                      port (handheld)\n"
           "  --wav FILE          write the run's sound as 16-bit stereo WAV at 48 kHz\n"
           "  --help              print this text and exit\n"
           "  --version           print the version and exit\n";
}

std::string VersionText() { return "wenlo-run " WENLO_VERSION "\n"; }

ParseResult ParseRunOptions(const std::vector<std::string>& args) {
    // Asked for anywhere, help or the version wins over whatever else is wrong.
    InfoRequest info = InfoRequest::None;
    for (size_t i = 0; i < args.size(); ++i) {
        if (TakesValue(args[i]))
            ++i;  // its value is not an option, whatever it reads
        else if (args[i] == "--help")
            info = InfoRequest::Help;
        else if (args[i] == "--version" && info == InfoRequest::None)
            info = InfoRequest::Version;
    }
    if (info != InfoRequest::None) return ParseResult{std::nullopt, {}, info};

    RunOptions options;
    bool haveRom = false;
    auto fail = [](std::string why) { return ParseResult{std::nullopt, std::move(why)}; };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (TakesValue(arg)) {
            if (i + 1 >= args.size()) return fail(arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--frames") {
                const auto n = ParseCount(value, kMaxFrames);
                if (!n) return fail("--frames wants a non-negative whole number, got '" + value + "'");
                options.frames = *n;
            } else if (arg == "--mode") {
                const auto n = ParseCount(value, Mode2x2Interlaced);
                if (!n) return fail("--mode wants 0, 1 or 2, got '" + value + "'");
                options.mode = uint8_t(*n);
            } else if (arg == "--machine") {
                if (!ParseMachineKind(value, options.machine))
                    return fail("--machine wants wenlo or handheld, got '" + value + "'");
            } else if (value.empty()) {
                return fail(arg + " needs a file name");
            } else if (arg == "--png") {
                options.pngPath = value;
            } else if (arg == "--state") {
                options.statePath = value;
            } else if (arg == "--load-state") {
                options.loadStatePath = value;
            } else if (arg == "--serial") {
                options.serialPath = value;
            } else if (arg == "--wav") {
                options.wavPath = value;
            } else {
                std::string error;
                const auto press = ParsePress(value, error);
                if (!press) return fail(error);
                options.presses.push_back(*press);
            }
        } else if (arg == "--bench") {
            options.bench = true;
        } else if (arg == "--report") {
            options.report = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + arg + "'");
        } else if (haveRom) {
            return fail("only one ROM may be given ('" + options.romPath + "' and '" + arg + "')");
        } else if (arg.empty()) {
            return fail("the ROM path is empty");
        } else {
            options.romPath = arg;
            haveRom = true;
        }
    }
    if (!haveRom) return fail("no ROM given");
    return ParseResult{std::move(options), {}};
}

}  // namespace wenlo::tools
