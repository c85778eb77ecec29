#include "tools/headless.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>

#include "core/compat.h"
#include "core/lifecycle.h"
#include "input/joypad.h"
#include "savestate/state_file.h"
#include "tools/png_io.h"
#include "tools/wav_writer.h"

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

void ApplyPresses(Console& c, std::vector<uint8_t>& held, const std::vector<KeyPress>& presses,
                  int64_t frame) {
    held.resize(256);
    for (const KeyPress& p : presses) {
        bool down = false;
        for (const KeyPress& q : presses)
            if (q.keyCode == p.keyCode && q.from <= frame && frame < q.to) down = true;
        if (down && !held[p.keyCode]) c.KeyDown(p.keyCode);
        if (!down && held[p.keyCode]) c.KeyUp(p.keyCode);
        held[p.keyCode] = down;
    }
}

namespace {

// The per-user data folder, as the desktop program finds it: where battery
// files go when the cartridge's folder cannot be written.
std::string PerUserFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::string(xdg) + "/Wenlo";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/Wenlo";
    return {};
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& why) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) why = std::strerror(errno);
    return bool(out);
}

// Every frame the unit has ready, into the file.
void TakeSound(audio::Apu& apu, WavWriter& wav) {
    int16_t frames[2 * 1024];
    while (const size_t n = audio::ApuTakeSamples(apu, frames, 1024)) wav.Write(frames, n);
}

}  // namespace

int RunHeadless(const RunOptions& options, std::ostream& out, std::ostream& err) {
    // Both are large (the surface alone is 360 KiB): keep them off the stack.
    const std::unique_ptr<Console> console = MakeConsole(options.machine);
    auto host = std::make_unique<HeadlessHost>();
    Console& c = *console;
    c.SetHost(host.get());
    c.SetPerUserFolder(PerUserFolder());

    WavWriter wav;
    // As the Load ROM command does it: load, reset, run, clear the picture.
    if (c.Start(options.romPath) != LoadRomResult::Loaded) {
        err << "Failed to Load ROM.\n";
        return kExitUsage;
    }
    // The sound goes to its file as the frames run; a file that cannot be
    // made is refused before anything runs.
    if (!options.wavPath.empty()) {
        if (!wav.Open(options.wavPath)) {
            err << "wenlo-run: --wav: " << wav.Error() << "\n";
            return kExitUsage;
        }
        audio::ApuSetOutputRate(c.Sound(), WavWriter::kRate);
    }
    if (const std::string note = c.TakeNote(); !note.empty()) err << "wenlo-run: " << note << "\n";
    c.SetDisplayMode(options.mode);
    host->surface.Resize(ModeWidth(options.mode), ModeHeight(options.mode));
    host->surface.SetBackColor(ShadeColors[0]);
    host->surface.Clear();

    if (!options.loadStatePath.empty()) {
        std::string why;
        if (!c.LoadState(options.loadStatePath, &why)) {
            err << "wenlo-run: cannot load state file '" << options.loadStatePath << "': " << why << "\n";
            return kExitFailure;
        }
    }

    std::vector<uint8_t> held;
    const auto start = std::chrono::steady_clock::now();
    for (int64_t frame = 0; frame < options.frames; ++frame) {
        if (!options.presses.empty()) ApplyPresses(c, held, options.presses, frame);
        c.RunFrame();
        if (wav.IsOpen()) TakeSound(c.Sound(), wav);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (std::string why; !c.FlushBattery(0, &why))
        err << "wenlo-run: cannot write the battery save: " << why << "\n";
    if (!options.statePath.empty()) {
        std::string why;
        if (!c.SaveState(options.statePath, &why)) {
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
    if (!options.serialPath.empty()) {
        std::string why;
        if (!WriteBytes(options.serialPath, c.SerialBytes(), why)) {
            err << "wenlo-run: cannot write serial output '" << options.serialPath << "': " << why << "\n";
            return kExitFailure;
        }
    }
    if (wav.IsOpen() && !wav.Close()) {
        err << "wenlo-run: --wav: " << wav.Error() << "\n";
        return kExitFailure;
    }
    if (options.bench) {
        const double fps = seconds > 0 ? double(options.frames) / seconds : 0.0;
        char line[160];
        std::snprintf(line, sizeof line, "frames=%lld seconds=%.3f fps=%.1f speed=%.2f\n",
                      static_cast<long long>(options.frames), seconds, fps, fps / kFramesPerSecond);
        out << line;
    }
    if (options.report) out << c.ReportText();
    return kExitOk;
}

}  // namespace wenlo::tools
