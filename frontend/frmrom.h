// frmROM: the cartridge's internal name and complement check, in a window of
// its own. Not modal. The text is built once, when the window is created
// (frmGB creates it on "ROM Info" if it is not open); closing deletes it.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace wenlo::ui {

class frmROM : public QWidget {
    Q_OBJECT
public:
    // image: the cartridge's bytes (the console's RomImage), read here only.
    frmROM(const std::vector<uint8_t>& image, QWidget* parent);

    // The information text exactly as built, lines separated by "\r\n"
    // (txtROM shows it with its own line breaks).
    const QString& InfoText() const { return text_; }

    QPlainTextEdit* txtROM;
    QPushButton* cmdOK;

public slots:
    void cmdOK_Click();

private:
    QString text_;
};

}  // namespace wenlo::ui
