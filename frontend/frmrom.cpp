#include "frontend/frmrom.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "frontend/layout.h"
#include "frontend/texts.h"

namespace wenlo::ui {

frmROM::frmROM(const std::vector<uint8_t>& image, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmROM");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("ROM Info");
    if (parent) setWindowIcon(parent->windowIcon());

    txtROM = new QPlainTextEdit(this);
    txtROM->setObjectName("txtROM");
    txtROM->setGeometry(TwipRect(0, 0, 3375, 2535));
    txtROM->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtROM->setReadOnly(true);  // it only informs; an edit would change nothing

    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(TwipRect(0, 2640, 3375, 495));
    connect(cmdOK, &QPushButton::clicked, this, &frmROM::cmdOK_Click);

    text_ = QString::fromLatin1(RomInfoText(image));
    txtROM->setPlainText(QString(text_).replace("\r\n", "\n"));
    resize(Px(3375), Px(3195));
    txtROM->setFocus();
}

void frmROM::cmdOK_Click() { close(); }

}  // namespace wenlo::ui
