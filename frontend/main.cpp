// The desktop program: one main window; everything else starts from it.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "frontend/command_line.h"
#include "frontend/frmgb.h"

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const wenlo::ui::CommandLine line = wenlo::ui::ParseCommandLine(args);
    if (line.action != wenlo::ui::CommandLine::Action::Run) {
        std::FILE* to = line.action == wenlo::ui::CommandLine::Action::Refuse ? stderr : stdout;
        std::fputs(line.text.toLocal8Bit().constData(), to);
        return wenlo::ui::CommandLineExitCode(line);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Wenlo");
    // Wayland shows the icon of the desktop file with this name.
    QGuiApplication::setDesktopFileName(WENLO_DESKTOP_ID);
    wenlo::ui::frmGB window;
    window.show();
    // A cartridge named on the command line (a file manager's double click)
    // starts as Load ROM does, once the event loop runs: the run loop lives
    // inside that call.
    if (!line.romPath.isEmpty()) QTimer::singleShot(0, &window, [&] { window.StartRom(line.romPath); });
    return app.exec();
}
