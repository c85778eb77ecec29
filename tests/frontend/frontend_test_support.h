// Shared by the front-end suites: a dialog seam answering from queues and
// recording every call, a frame script that runs actions inside a run loop
// (Load ROM returns only when Running becomes false, so whatever a test
// wants to do while a game runs has to happen from inside the loop), and a
// settings file of the suite's own.
#pragma once

#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "frontend/dialogs.h"
#include "frontend/frmgb.h"
#include "tests/support/rom_builder.h"

namespace wenlo::test {

class FakeDialogs : public ui::Dialogs {
public:
    struct OpenCall {
        QString title, folder;
        QStringList filters;
    };
    struct Message {
        QString title, text;
    };

    // Answers, used in order; an empty queue answers "cancelled".
    QStringList openAnswers;
    QStringList inputAnswers;

    QList<OpenCall> openCalls;
    QList<Message> criticals;
    QList<Message> informations;
    QStringList inputPrompts;  // "title|prompt|default"
    QList<QUrl> urls;
    int endProcessCalls = 0;
    // Called while each modal dialog is "open".
    std::function<void()> whileOpen = [] {};

    QString OpenFile(QWidget*, const QString& title, const QString& folder,
                     const QStringList& filters) override {
        whileOpen();
        openCalls.append({title, folder, filters});
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    void Critical(QWidget*, const QString& title, const QString& text) override {
        whileOpen();
        criticals.append({title, text});
    }
    void Information(QWidget*, const QString& title, const QString& text) override {
        whileOpen();
        informations.append({title, text});
    }
    QString InputBox(QWidget*, const QString& prompt, const QString& title, const QString& def) override {
        whileOpen();
        inputPrompts.append(title + "|" + prompt + "|" + def);
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    void OpenUrl(const QUrl& url) override { urls.append(url); }
    void EndProcess() override { ++endProcessCalls; }
};

// Runs actions at frame ends of the window's run loops. An action may start
// a nested run (Load ROM) and schedule further actions from inside it.
class FrameScript {
public:
    explicit FrameScript(ui::frmGB& w, int watchdogMs = 30000) : w_(w) {
        w.SetFrameObserver([this] { Tick(); });
        // A run that nothing ends would hang the suite: end it and say so.
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            timedOut = true;
            w_.machine().Running = false;
            w_.console().SetRunning(false);
        });
        watchdog_.start(watchdogMs);
    }
    ~FrameScript() { w_.SetFrameObserver(nullptr); }

    // Runs fn at the end of the n-th frame from now (n >= 1).
    void After(int n, std::function<void()> fn) { steps_.push_back({frames + n, std::move(fn)}); }

    int frames = 0;
    bool timedOut = false;

private:
    struct Step {
        int at;
        std::function<void()> fn;
    };
    void Tick() {
        ++frames;
        if (steps_.empty() || frames < steps_.front().at) return;
        auto fn = std::move(steps_.front().fn);
        steps_.pop_front();
        fn();  // may run a nested loop that calls Tick again
    }

    ui::frmGB& w_;
    std::deque<Step> steps_;
    QTimer watchdog_;
};

// A cartridge whose entry is an endless loop (JR -2) with interrupts off, so
// the machine runs without going anywhere; title given.
inline RomBuilder LoopRom(const std::string& title) {
    RomBuilder rom(2, 0x00, title);
    rom.Entry({0xF3, 0x18, 0xFE});  // DI; JR -2
    return rom;
}

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// What a file written by SDL's disk driver holds: 16-bit stereo frames.
inline std::vector<int16_t> Played(const QString& file) {
    std::ifstream in(file.toStdString(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> played(bytes.size() / 2);
    std::memcpy(played.data(), bytes.data(), played.size() * 2);
    return played;
}

// Removes the scratch folders MakeTempDir made for this process (cartridges
// and state files), so runs do not pile them up.
inline void RemoveTempDirs() {
    std::error_code ec;
    std::filesystem::remove_all(
        std::filesystem::temp_directory_path() / ("wenlo-test-" + std::to_string(::getpid())), ec);
}

// The settings file (the machine chosen per cartridge) of this process's
// own, in its scratch folder: set before any window reads it, so that no
// suite reads or writes the user's, and a choice made by hand in the real
// program cannot move a test's cartridge to another machine.
inline std::string SettingsFolder() {
    return (std::filesystem::temp_directory_path() / ("wenlo-test-" + std::to_string(::getpid())) /
            "settings")
        .string();
}
inline const bool kScratchSettings = [] {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(SettingsFolder()));
    return true;
}();
// Forgets every choice remembered so far.
inline void ClearSettings() {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Wenlo", "Wenlo");
    s.clear();
    s.sync();
}

// A shown main window whose dialogs the test answers, running unpaced.
inline std::unique_ptr<ui::frmGB> OpenWindow(FakeDialogs& dialogs) {
    auto w = std::make_unique<ui::frmGB>();
    w->SetDialogs(&dialogs);
    w->SetPaced(false);
    w->show();
    return w;
}

}  // namespace wenlo::test
