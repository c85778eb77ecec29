// The ROM information window and the About window: texts, opening rules,
// hover underlines and links.
#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "frontend/frmabout.h"
#include "frontend/frmrom.h"
#include "frontend/texts.h"
#include "frontend_test_support.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::RomBuilder;

namespace {

RomBuilder HeaderRom(const std::string& title, uint8_t complement, uint8_t checksumHigh) {
    RomBuilder rom(2, 0x00, "");
    std::vector<uint8_t> t(16, 0);
    std::copy(title.begin(), title.end(), t.begin());
    rom.Put(0x134, t);
    rom.Put(0x14D, {complement, checksumHigh});
    return rom;
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;

    void LoadToMem(const RomBuilder& rom) {
        dialogs.openAnswers << test::Q(rom.WriteTemp("info"));
        w->cmdLoad2->click();
    }
    QList<frmROM*> RomWindows() { return w->findChildren<frmROM*>(); }
    QList<frmAbout*> AboutWindows() { return w->findChildren<frmAbout*>(); }

private slots:
    void cleanupTestCase() {
        QDir::setCurrent(QDir::tempPath());
        test::RemoveTempDirs();
    }
    void init() {
        dialogs = FakeDialogs();
        w = std::make_unique<frmGB>();
        w->SetDialogs(&dialogs);
        w->show();
    }
    void cleanup() { w.reset(); }

    void romInfoText_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("complement");
        QTest::addColumn<int>("checksumHigh");
        QTest::addColumn<QString>("text");
        QTest::newRow("puzzle") << "PUZZLE" << 0x0A << 0x16
                                << "ROM Info\r\n\r\nInternal Name: PUZZLE\r\nComplement Check: 160A";
        QTest::newRow("no leading zeros")
            << "X" << 0x0A << 0x00 << "ROM Info\r\n\r\nInternal Name: X\r\nComplement Check: A";
        QTest::newRow("zero") << "X" << 0x00 << 0x00
                              << "ROM Info\r\n\r\nInternal Name: X\r\nComplement Check: 0";
        QTest::newRow("sixteen characters") << "ABCDEFGHIJKLMNOP" << 0xFF << 0xFF
                                            << "ROM Info\r\n\r\nInternal Name: ABCDEFGHIJKLMNOP\r\n"
                                               "Complement Check: FFFF";
    }
    void romInfoText() {
        QFETCH(QString, title);
        QFETCH(int, complement);
        QFETCH(int, checksumHigh);
        QFETCH(QString, text);
        LoadToMem(HeaderRom(title.toStdString(), uint8_t(complement), uint8_t(checksumHigh)));
        QVERIFY(w->mnuFileROMInfo->isVisible() && w->mnuFileROMInfo->isEnabled());
        w->mnuFileROMInfo->trigger();
        QCOMPARE(RomWindows().size(), 1);
        frmROM* info = RomWindows().first();
        QVERIFY(info->isVisible());
        QCOMPARE(info->windowTitle(), QString("ROM Info"));
        QCOMPARE(info->InfoText(), text);
        QCOMPARE(info->txtROM->toPlainText(), QString(text).replace("\r\n", "\n"));
        QCOMPARE(info->cmdOK->text(), QString("&OK"));
    }

    void romInfoKeepsItsTextUntilReopened() {
        LoadToMem(HeaderRom("FIRST", 1, 0));
        w->mnuFileROMInfo->trigger();
        LoadToMem(HeaderRom("SECOND", 2, 0));
        w->mnuFileROMInfo->trigger();  // still open: brought forward, text kept
        QCOMPARE(RomWindows().size(), 1);
        QVERIFY(RomWindows().first()->InfoText().contains("Internal Name: FIRST\r\n"));
        RomWindows().first()->cmdOK->click();
        QTRY_COMPARE(RomWindows().size(), 0);  // closing unloads it
        w->mnuFileROMInfo->trigger();
        QCOMPARE(RomWindows().size(), 1);
        QVERIFY(RomWindows().first()->InfoText().contains("Internal Name: SECOND\r\n"));
    }

    void romInfoIsOfferedOnlyWithACartridge() {
        QVERIFY(!w->mnuFileROMInfo->isVisible());
        w->mnuFileROMInfo->trigger();  // even if triggered, nothing opens
        QCOMPARE(RomWindows().size(), 0);
        LoadToMem(HeaderRom("GAME", 1, 2));
        QVERIFY(w->mnuFileROMInfo->isVisible());
        w->mnuFreeROM->trigger();
        QVERIFY(!w->mnuFileROMInfo->isVisible());
        QVERIFY(!w->mnuFileROMInfo->isEnabled());
        // A load that fails leaves the entry as it was.
        dialogs.openAnswers << "/nonexistent.gb";
        w->cmdLoad2->click();
        QVERIFY(!w->mnuFileROMInfo->isVisible());
    }

    void aboutOpensOneWindow() {
        w->mnuHelpAbout->trigger();
        w->mnuHelpAbout->trigger();
        QCOMPARE(AboutWindows().size(), 1);
        frmAbout* about = AboutWindows().first();
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->windowTitle(), QString("About Wenlo v0.01[Beta Release]"));
        // It takes the main window's icon, which comes from the resources.
        QVERIFY(!w->windowIcon().availableSizes().isEmpty());
        QCOMPARE(about->windowIcon().availableSizes(), w->windowIcon().availableSizes());
        // Closing it leaves the machine alone, and About opens again.
        w->machine().regA = 0x42;
        about->cmdOK->click();
        QTRY_COMPARE(AboutWindows().size(), 0);
        QCOMPARE(int(w->machine().regA), 0x42);
        w->mnuHelpAbout->trigger();
        QCOMPARE(AboutWindows().size(), 1);
    }

    void aboutControls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Frame1") << "Frame1"
                                << "frmAbout"
                                << "About The Program";
        QTest::newRow("Frame2") << "Frame2"
                                << "Frame1"
                                << "Program Details";
        QTest::newRow("Frame3") << "Frame3"
                                << "Frame1"
                                << "Contact";
        QTest::newRow("Label2") << "Label2"
                                << "Frame3"
                                << "E-Mail:";
        QTest::newRow("Label1") << "Label1"
                                << "Frame3" << frmAbout::kMailAddress;
        QTest::newRow("Label3") << "Label3"
                                << "Frame3"
                                << "Homepage:";
        QTest::newRow("Label4") << "Label4"
                                << "Frame3" << frmAbout::kWebAddress;
        QTest::newRow("cmdOK") << "cmdOK"
                               << "Frame1"
                               << "&OK";
    }
    void aboutControls() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        w->mnuHelpAbout->trigger();
        frmAbout* about = AboutWindows().first();
        QWidget* c = about->findChild<QWidget*>(name);
        QVERIFY(c);
        QCOMPARE(c->parentWidget()->objectName(), parent);
        if (auto* box = qobject_cast<QGroupBox*>(c)) QCOMPARE(box->title(), caption);
        if (auto* label = qobject_cast<QLabel*>(c)) QCOMPARE(label->text(), caption);
        if (auto* button = qobject_cast<QPushButton*>(c)) QCOMPARE(button->text(), caption);
        QVERIFY(QRect(QPoint(0, 0), c->parentWidget()->size()).contains(c->geometry()));
    }

    // Each step moves the mouse over one control; the underlines follow.
    void hoverUnderlines() {
        w->mnuHelpAbout->trigger();
        frmAbout* about = AboutWindows().first();
        struct Step {
            QWidget* over;
            bool label1, label4;
        };
        const Step steps[] = {
            {about->Label1, true, false},  {about->Label4, false, true},  // straight from one to the other
            {about->Frame2, false, true},                                 // Frame2 changes nothing
            {about->Label2, false, false}, {about->Label1, true, false},  {about->Frame2, true, false},
            {about->lbl1, false, false},   {about->Label4, false, true},  {about->cmdOK, false, false},
            {about->Label1, true, false},  {about->Frame1, false, false}, {about->Label4, false, true},
            {about->Label3, false, false}, {about->Label4, false, true},  {about->Frame3, false, false},
        };
        for (const Step& s : steps) {
            QTest::mouseMove(s.over, QPoint(2, 2));
            QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), s.over->mapToGlobal(QPointF(2, 2)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(s.over, &move);
            QVERIFY2(about->Label1->font().underline() == s.label1, qPrintable(s.over->objectName()));
            QVERIFY2(about->Label4->font().underline() == s.label4, qPrintable(s.over->objectName()));
        }
    }

    void linksGoToTheDesktop() {
        w->mnuHelpAbout->trigger();
        frmAbout* about = AboutWindows().first();
        QTest::mouseClick(about->Label1, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseClick(about->Label4, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseClick(about->Label2, Qt::LeftButton, {}, QPoint(3, 3));  // not a link
        QCOMPARE(dialogs.urls,
                 QList<QUrl>({QUrl("mailto:wenlo@example.org"), QUrl("https://wenlo.example.org/")}));
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
