// frmCompat: the compatibility report of the cartridge now running, in a
// window of its own ("CPU > Compatibility Report..."). Not modal, read-only.
// While it is open it reads the machine's record twice a second, so it
// follows the game as it runs; closing deletes it.
#pragma once

#include <QString>
#include <QWidget>

#include "core/machine.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace wenlo::ui {

// The window's text: for each difference used, most likely culprit first,
// the player's sentence and under it the report line; a sentence of its own
// when nothing was used, or when no cartridge is loaded.
QString CompatWindowText(const Machine& m, bool cartridgeLoaded);

class frmCompat : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 500;

    // cartridgeLoaded: whether a cartridge is in the machine now (after Free
    // ROM the record of the old one stays in the machine); both are the
    // parent's and outlive the window.
    frmCompat(const Machine& m, const bool& cartridgeLoaded, QWidget* parent);

    QPlainTextEdit* txtCompat;
    QPushButton* cmdOK;

public slots:
    // Rebuilds the text; leaves the view alone when nothing changed.
    void Refresh();
    void cmdOK_Click();

private:
    const Machine& m_;
    const bool& cartridgeLoaded_;
    QTimer* timer_;
    QString text_;
};

}  // namespace wenlo::ui
