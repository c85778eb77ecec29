// frmAbout: what the program is and how to reach the project. Not modal; the
// main window keeps at most one open (frmGB::mnuHelpAbout_Click). The two
// link labels hand their addresses to the desktop through Dialogs::OpenUrl
// and are underlined while the mouse moves over them.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace wenlo::ui {

class Dialogs;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kMailAddress = "wenlo@example.org";
    static constexpr const char* kWebAddress = "https://wenlo.example.org/";

    // dialogs: outlives the window. parent: the main window, whose icon the
    // window takes.
    frmAbout(Dialogs& dialogs, QWidget* parent);

    // The About text, lines separated by "\r\n" (lbl1 shows it with its own
    // line breaks).
    static QString AboutText();

    QGroupBox *Frame1, *Frame2, *Frame3;
    QLabel *lbl1, *Label1, *Label2, *Label3, *Label4;
    QPushButton* cmdOK;

public slots:
    void cmdOK_Click();
    void Label1_Click();
    void Label4_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUnderlines(bool label1, bool label4);

    Dialogs& dialogs_;
};

}  // namespace wenlo::ui
