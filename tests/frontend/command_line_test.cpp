// The desktop program's command line, and the folder its open-file dialog
// starts in, installed and in the build tree.
#include "frontend/command_line.h"

#include <QDir>
#include <QtTest>

#include "frontend/app_paths.h"
#include "frontend_test_support.h"

using namespace wenlo::ui;
using Action = CommandLine::Action;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { wenlo::test::RemoveTempDirs(); }

    void readsTheCommandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("rom");
        QTest::addColumn<QString>("starts");  // what the printed text begins with
        QTest::addColumn<int>("exitCode");
        const int run = int(Action::Run), help = int(Action::Help), version = int(Action::Version),
                  refuse = int(Action::Refuse);
        QTest::newRow("nothing") << QStringList{"wenlo"} << run << ""
                                 << "" << 0;
        QTest::newRow("a cartridge") << QStringList{"wenlo", "/games/tetris.gb"} << run << "/games/tetris.gb"
                                     << "" << 0;
        QTest::newRow("after --") << QStringList{"wenlo", "--", "-odd.gb"} << run << "-odd.gb"
                                  << "" << 0;
        QTest::newRow("--help") << QStringList{"wenlo", "--help"} << help << ""
                                << "usage: wenlo [ROM]" << 0;
        QTest::newRow("-h") << QStringList{"wenlo", "-h"} << help << ""
                            << "usage: wenlo [ROM]" << 0;
        QTest::newRow("--version") << QStringList{"wenlo", "--version"} << version << ""
                                   << "wenlo " WENLO_VERSION "\n"
                                   << 0;
        QTest::newRow("unknown option") << QStringList{"wenlo", "--fast"} << refuse << ""
                                        << "wenlo: " << 2;
        QTest::newRow("two cartridges") << QStringList{"wenlo", "a.gb", "b.gb"} << refuse << ""
                                        << "wenlo: only one ROM" << 2;
        QTest::newRow("empty path") << QStringList{"wenlo", ""} << refuse << ""
                                    << "wenlo: the ROM path is empty" << 2;
    }
    void readsTheCommandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, rom);
        QFETCH(QString, starts);
        QFETCH(int, exitCode);
        const CommandLine line = ParseCommandLine(args);
        QCOMPARE(int(line.action), action);
        QCOMPARE(line.romPath, rom);
        if (starts.isEmpty())
            QVERIFY(line.text.isEmpty());
        else
            QVERIFY2(line.text.startsWith(starts), qPrintable(line.text));
        QCOMPARE(CommandLineExitCode(line), exitCode);
        if (line.action == Action::Refuse) QVERIFY(line.text.contains("usage: wenlo [ROM]"));
    }

    void dialogOpensWhereTheDemoCartridgeIs() {
        const QString prefix = wenlo::test::Q(wenlo::test::MakeTempDir());
        QVERIFY(QDir().mkpath(prefix + "/bin"));
        // The build tree: no share/wenlo above the program's folder.
        QCOMPARE(RomDialogFolder(prefix + "/bin"), prefix + "/bin");
        // Installed: share/wenlo under the same prefix.
        QVERIFY(QDir().mkpath(prefix + "/share/wenlo"));
        QCOMPARE(RomDialogFolder(prefix + "/bin"), prefix + "/share/wenlo");
    }
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
