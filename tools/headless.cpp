#include "tools/headless.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>

#include "core/compat.h"
#include "core/lifecycle.h"
#include "input/joypad.h"
#include "savestate/state_file.h"
#include "tools/png_io.h"

namespace wenlo::tools {

void ApplyPresses(Machine& m, const std::vector<KeyPress>& presses, int64_t frame) {
    for (const KeyPress& p : presses) {
        bool held = false;
        for (const KeyPress& q : presses)
            if (q.keyCode == p.keyCode && q.from <= frame && frame < q.to) held = true;
        const bool wasHeld = m.KeyState[p.keyCode] != 0;
        if (held && !wasHeld) KeyDown(m, p.keyCode);
        if (!held && wasHeld) KeyUp(m, p.keyCode);
    }
}

int RunMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParseResult parsed = ParseRunOptions(args);
    if (parsed.info == InfoRequest::Help) {
        out << UsageText();
        return kExitOk;
    }
    if (parsed.info == InfoRequest::Version) {
        out << VersionText();
        return kExitOk;
    }
    if (!parsed.options) {
        err << "wenlo-run: " << parsed.error << "\n" << UsageText();
        return kExitUsage;
    }
    return RunHeadless(*parsed.options, out, err);
}

int RunHeadless(const RunOptions& options, std::ostream& out, std::ostream& err) {
    // Both are large (the surface alone is 360 KiB): keep them off the stack.
    auto machine = std::make_unique<Machine>();
    auto host = std::make_unique<HeadlessHost>();
    Machine& m = *machine;
    m.host = host.get();

    // As the Load ROM command does it: load, reset, run, clear the picture.
    if (!StartCartridge(m, options.romPath)) {
        err << "Failed to Load ROM.\n";
        return kExitUsage;
    }
    m.DisplayMode = options.mode;
    host->surface.Resize(ModeWidth(options.mode), ModeHeight(options.mode));
    host->surface.SetBackColor(ShadeColors[0]);
    host->surface.Clear();

    if (!options.loadStatePath.empty()) {
        std::string why;
        if (!ReadStateFile(m, options.loadStatePath, &why)) {
            err << "wenlo-run: cannot load state file '" << options.loadStatePath << "': " << why << "\n";
            return kExitFailure;
        }
    }

    const auto start = std::chrono::steady_clock::now();
    for (int64_t frame = 0; frame < options.frames; ++frame) {
        if (!options.presses.empty()) ApplyPresses(m, options.presses, frame);
        RunFrame(m);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!options.statePath.empty()) {
        std::string why;
        if (!WriteStateFile(m, options.statePath, &why)) {
            err << "wenlo-run: cannot write state file '" << options.statePath << "': " << why << "\n";
            return kExitFailure;
        }
    }
    if (!options.pngPath.empty()) {
        std::string why;
        if (!WritePng(options.pngPath, SurfaceToRgb(host->surface), &why)) {
            err << "wenlo-run: cannot write picture '" << options.pngPath << "': " << why << "\n";
            return kExitFailure;
        }
    }
    if (options.bench) {
        const double fps = seconds > 0 ? double(options.frames) / seconds : 0.0;
        char line[160];
        std::snprintf(line, sizeof line, "frames=%lld seconds=%.3f fps=%.1f speed=%.2f\n",
                      static_cast<long long>(options.frames), seconds, fps, fps / kFramesPerSecond);
        out << line;
    }
    if (options.report) out << CompatReportText(m.compat);
    return kExitOk;
}

}  // namespace wenlo::tools
