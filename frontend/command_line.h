// The desktop program's command line:
//
//   wenlo [ROM]
//   wenlo --help | --version
//
// Read before any window exists, so --help and --version work without a
// display.
#pragma once

#include <QString>
#include <QStringList>

namespace wenlo::ui {

struct CommandLine {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    QString romPath;  // Run: the cartridge to start; empty: none
    QString text;     // Help, Version: what to print (stdout); Refuse: the reason and the usage (stderr)
};

// args includes the program name, as QCoreApplication::arguments does.
CommandLine ParseCommandLine(const QStringList& args);

// Exit status after printing a command line's text: 0 for Help and
// Version, 2 for Refuse (as wenlo-run's bad arguments).
int CommandLineExitCode(const CommandLine& line);

}  // namespace wenlo::ui
