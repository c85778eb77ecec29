// frmCompat: the compatibility report of the cartridge now running, in a
// window of its own ("CPU > Compatibility Report..."). Not modal, read-only.
// While it is open it asks for the text twice a second, so it follows the
// game as it runs, on whichever machine it runs; closing deletes it.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "core/machine.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace wenlo::ui {

// The window's text for the design's machine: for each difference used,
// most likely culprit first, the player's sentence and under it the report
// line; a sentence of its own when nothing was used, or when no cartridge is
// loaded.
QString CompatWindowText(const Machine& m, bool cartridgeLoaded);
// The same for the complete handheld: its report (the console's ReportText)
// under a line that says what it lists.
QString HandheldCompatText(const std::string& report, bool cartridgeLoaded);

class frmCompat : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 500;

    // text: the report now, as CompatWindowText or HandheldCompatText give
    // it for the machine in use; called while the window lives.
    frmCompat(std::function<QString()> text, QWidget* parent);

    QPlainTextEdit* txtCompat;
    QPushButton* cmdOK;

public slots:
    // Rebuilds the text; leaves the view alone when nothing changed.
    void Refresh();
    void cmdOK_Click();

private:
    std::function<QString()> source_;
    QTimer* timer_;
    QString text_;
};

}  // namespace wenlo::ui
