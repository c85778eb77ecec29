#include "frontend/command_line.h"

#include <QCommandLineParser>

namespace wenlo::ui {

namespace {

constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: wenlo [ROM]\n"
    "       wenlo --help | --version\n"
    "Plays original monochrome Game Boy cartridges. With ROM, starts that\n"
    "cartridge as File > Load ROM does.\n"
    "  -h, --help     print this text and exit\n"
    "  -v, --version  print the version and exit\n";

}  // namespace

CommandLine ParseCommandLine(const QStringList& args) {
    // QCommandLineParser's own --help would need a running application and
    // prints Qt's layout; the options are declared here and the texts are ours.
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringList{"v", "version"});
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument("ROM", "cartridge to start");
    const auto refuse = [](const QString& why) {
        return CommandLine{CommandLine::Action::Refuse, {}, "wenlo: " + why + "\n" + kUsage};
    };
    if (!parser.parse(args)) return refuse(parser.errorText());
    if (parser.isSet(help)) return {CommandLine::Action::Help, {}, kUsage};
    if (parser.isSet(version)) return {CommandLine::Action::Version, {}, "wenlo " WENLO_VERSION "\n"};
    const QStringList roms = parser.positionalArguments();
    if (roms.size() > 1) return refuse("only one ROM may be given");
    if (roms.size() == 1 && roms.first().isEmpty()) return refuse("the ROM path is empty");
    return {CommandLine::Action::Run, roms.value(0), {}};
}

int CommandLineExitCode(const CommandLine& line) {
    return line.action == CommandLine::Action::Refuse ? kExitUsage : 0;
}

}  // namespace wenlo::ui
