// The debugger panel: register dump text, Step and Run To through the
// buttons and the input box, and the reading of Run To answers.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "frontend/texts.h"
#include "frontend_test_support.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;
using wenlo::test::RomBuilder;

class DebuggerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;

    QPushButton* Button(const char* name) { return w->findChild<QPushButton*>(name); }
    bool Ticked(const char* name) { return w->findChild<QCheckBox*>(name)->isChecked(); }

    // Load To Mem of a cartridge with the given entry code.
    void LoadToMem(RomBuilder rom) {
        dialogs.openAnswers << test::Q(rom.WriteTemp("debug"));
        Button("cmdLoad2")->click();
        QCOMPARE(w->machine().regPC, 0x0100);
        QVERIFY(!w->machine().Running);
    }

private slots:
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        w->mnuCPUDebugger->trigger();
        QVERIFY(Button("cmdStep")->isVisible());
    }
    void cleanup() { w.reset(); }

    void stepOverNopShowsTheFirstDump() {
        LoadToMem(RomBuilder(2, 0x00, "NOPS"));  // zeros: NOP at 0x100
        Button("cmdStep")->click();
        QCOMPARE(QString::fromStdString(w->RegisterDumpText()),
                 QString("AF=$1B0 BC=$13\r\nDE=$D8 HL=$14D\r\nPC=$101 SP=$FFFE\r\n"
                         "Opcode=$0 LY=0\r\nLCDC=$91 LYC=0\r\nIFF=$0"));
        QCOMPARE(
            w->lblStats->text(),
            QString(
                "AF=$1B0 BC=$13\nDE=$D8 HL=$14D\nPC=$101 SP=$FFFE\nOpcode=$0 LY=0\nLCDC=$91 LYC=0\nIFF=$0"));
        QVERIFY(Ticked("Check1"));   // fC
        QVERIFY(Ticked("Check2"));   // fZ
        QVERIFY(!Ticked("Check3"));  // fN
        QVERIFY(Ticked("Check4"));   // fH
        QVERIFY(!w->machine().Running);
        QVERIFY(dialogs.criticals.isEmpty());
    }

    void aScanlineTickEvery66Steps() {
        LoadToMem(RomBuilder(2, 0x00, "NOPS"));
        for (int i = 0; i < 65; ++i) Button("cmdStep")->click();
        QCOMPARE(int(w->machine().LY), 0);
        Button("cmdStep")->click();
        QCOMPARE(int(w->machine().LY), 1);
        QCOMPARE(w->StepCycles(), 0);
    }

    // Line 4 shows the CB byte after a Step only.
    void cbInstructionOnLineFour() {
        RomBuilder rom(2, 0x00, "CB");
        rom.Entry({0xCB, 0x37, 0x00, 0x00});  // SWAP A
        LoadToMem(rom);
        Button("cmdStep")->click();
        QVERIFY(w->RegisterDumpText().find("\r\nOpcode=$CB $37 LY=0\r\n") != std::string::npos);
        QCOMPARE(w->machine().regPC, 0x102);
        // Back to the same instruction and over it with Run To.
        w->machine().regPC = 0x100;
        dialogs.inputAnswers << "&H102";
        Button("cmdRunTo")->click();
        QVERIFY(w->RegisterDumpText().find("\r\nOpcode=$CB LY=0\r\n") != std::string::npos);
    }

    void runToStopsAtTheTarget_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("decimal") << "336";
        QTest::newRow("hex") << "&H150";
        QTest::newRow("lower-case hex") << "&h150";
        QTest::newRow("dollar hex") << "$150";
        QTest::newRow("fraction") << "335.5";  // halves go to the even 336
    }
    void runToStopsAtTheTarget() {
        QFETCH(QString, answer);
        RomBuilder rom(2, 0x00, "JUMP");
        rom.Entry({0x00, 0xC3, 0x50, 0x01});  // NOP; JP 0x0150
        LoadToMem(rom);
        dialogs.inputAnswers << answer;
        Button("cmdRunTo")->click();
        QCOMPARE(dialogs.inputPrompts, QStringList({"Wenlo|Address:|"}));
        QCOMPARE(w->machine().regPC, 0x0150);
        QVERIFY(w->machine().Running);  // Run To leaves Running set
        QVERIFY(w->RegisterDumpText().find("PC=$150 ") != std::string::npos);
        QVERIFY(w->RegisterDumpText().find("Opcode=$C3 LY=") != std::string::npos);
    }

    void cancelledOrNonNumericRunToDoesNothing_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancelled") << QString();
        QTest::newRow("words") << "start";
        QTest::newRow("bad hex") << "&HXYZ";
        QTest::newRow("too large") << "99999999999";
    }
    void cancelledOrNonNumericRunToDoesNothing() {
        QFETCH(QString, answer);
        LoadToMem(RomBuilder(2, 0x00, "NOPS"));
        Button("cmdStep")->click();
        const std::string before = w->RegisterDumpText();
        dialogs.inputAnswers << answer;
        Button("cmdRunTo")->click();
        QCOMPARE(w->machine().regPC, 0x101);
        QVERIFY(!w->machine().Running);
        QCOMPARE(w->RegisterDumpText(), before);
    }

    void runToThatNeverArrivesCanBeStopped() {
        RomBuilder rom(2, 0x00, "LOOP");
        rom.Entry({0xF3, 0x18, 0xFE});  // DI; JR -2: never reaches 0x2000
        LoadToMem(rom);
        dialogs.inputAnswers << "&H2000";
        // Stop arrives through the event pump the run handles every few
        // thousand steps; the dump then shows where it was.
        QTimer::singleShot(0, [&] { w->mnuCPUStop->trigger(); });
        Button("cmdRunTo")->click();
        QVERIFY(!w->machine().Running);
        QVERIFY(w->RegisterDumpText().find("PC=$101 ") != std::string::npos);
    }

    void runToThatNeverArrivesStopsOnEscapeWhereverTheFocusIs() {
        RomBuilder rom(2, 0x00, "LOOP");
        rom.Entry({0xF3, 0x18, 0xFE});
        LoadToMem(rom);
        dialogs.inputAnswers << "&H2000";
        int64_t pcAtEscape = -1;
        QTimer::singleShot(0, [&] {
            pcAtEscape = w->machine().regPC;
            QTest::keyClick(Button("cmdRunTo"), Qt::Key_Escape);
        });
        Button("cmdRunTo")->click();
        QVERIFY(pcAtEscape >= 0);  // the run was under way when Escape came
        QVERIFY(!w->machine().Running);
        QVERIFY(w->RegisterDumpText().find("PC=$10") != std::string::npos);
        // Afterwards Escape on a button is the button's again.
        w->machine().Running = true;
        QTest::keyClick(Button("cmdStep"), Qt::Key_Escape);
        QVERIFY(w->machine().Running);
        w->machine().Running = false;
    }

    void runToThatNeverArrivesGivesUp() {
        RomBuilder rom(2, 0x00, "LOOP");
        rom.Entry({0xF3, 0x18, 0xFE});
        LoadToMem(rom);
        dialogs.inputAnswers << "&H2000";
        Button("cmdRunTo")->click();  // returns by itself after kRunToLimit steps
        QCOMPARE(w->machine().regPC, 0x101);
        QVERIFY(w->RegisterDumpText().find("PC=$101 ") != std::string::npos);
        QVERIFY2(w->NoteText().startsWith("Run To: $2000 not reached"), qPrintable(w->NoteText()));
        // One that arrives says nothing.
        w->ShowNote(QString());
        w->machine().regPC = 0x100;
        dialogs.inputAnswers << "$101";
        Button("cmdRunTo")->click();
        QVERIFY(w->NoteText().isEmpty());
    }

    void stepWhileRunningEndsTheRun() {
        RomBuilder rom(2, 0x00, "LOOP");
        rom.Entry({0xF3, 0x18, 0xFE});
        dialogs.openAnswers << test::Q(rom.WriteTemp("loop"));
        FrameScript script(*w);
        script.After(2, [&] { Button("cmdStep")->click(); });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY(!w->machine().Running);
        QCOMPARE(script.frames, 2);
    }

    void registerDumpLines() {
        auto m = std::make_unique<Machine>();
        ResetMachine(*m);
        m->regPC = -2;  // a JR below 0 leaves the counter negative
        m->CurrentOpcode = 0xCB;
        m->CurrentCBOpcode = 0x07;
        m->LY = 144;
        m->LYC = 153;
        m->IF = 0x11;
        m->LCDC = 0x00;
        QCOMPARE(QString::fromStdString(RegisterDump(*m, true)),
                 QString("AF=$1B0 BC=$13\r\nDE=$D8 HL=$14D\r\nPC=$FFFFFFFE SP=$FFFE\r\n"
                         "Opcode=$CB $7 LY=144\r\nLCDC=$0 LYC=153\r\nIFF=$11"));
        QVERIFY(RegisterDump(*m, false).find("Opcode=$CB LY=144") != std::string::npos);
        m->CurrentOpcode = 0x3E;  // not CB: no second byte even for a Step
        QVERIFY(RegisterDump(*m, true).find("Opcode=$3E LY=144") != std::string::npos);
    }

    void parseAddress_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "336" << true << 336;
        QTest::newRow("blanks") << "  336 " << true << 336;
        QTest::newRow("hex") << "&H150" << true << 0x150;
        QTest::newRow("hex lower") << "&hff80" << true << 0xFF80;
        QTest::newRow("hex 16 bits unsigned") << "&HFFFF" << true << 0xFFFF;
        QTest::newRow("hex 32 bits") << "&HFFFFFFFF" << true << -1;
        QTest::newRow("hex too long") << "&H123456789" << false << 0;
        QTest::newRow("hex empty") << "&H" << false << 0;
        QTest::newRow("half down to even") << "2.5" << true << 2;
        QTest::newRow("half up to even") << "3.5" << true << 4;
        QTest::newRow("fraction") << "3.4" << true << 3;
        QTest::newRow("negative") << "-5" << true << -5;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("exponent") << "1e3" << true << 1000;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "   " << false << 0;
        QTest::newRow("words") << "abc" << false << 0;
        QTest::newRow("trailing junk") << "12ab" << false << 0;
        QTest::newRow("comma") << "1,5" << false << 0;
        QTest::newRow("infinity") << "inf" << false << 0;
        QTest::newRow("0x hex") << "0x10" << true << 0x10;
        QTest::newRow("0X hex") << "0X1bc" << true << 0x1BC;
        QTest::newRow("0x alone") << "0x" << false << 0;
        QTest::newRow("dollar hex") << "$1BC" << true << 0x1BC;
        QTest::newRow("dollar 32 bits") << "$FFFFFFFF" << true << -1;
        QTest::newRow("dollar alone") << "$" << false << 0;
        QTest::newRow("dollar then blank") << "$ 1BC" << false << 0;
        QTest::newRow("hex float") << "0x1p4" << false << 0;
        QTest::newRow("too large") << "2147483648" << false << 0;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    }
    void parseAddress() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto parsed = ParseAddress(text.toStdString());
        QCOMPARE(parsed.has_value(), valid);
        if (valid) QCOMPARE(*parsed, value);
    }
};

QTEST_MAIN(DebuggerTest)
#include "debugger_test.moc"
