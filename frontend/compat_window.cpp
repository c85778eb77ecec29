#include "frontend/compat_window.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/compat.h"

namespace wenlo::ui {

QString CompatWindowText(const Machine& m, bool cartridgeLoaded) {
    if (!cartridgeLoaded) return "No cartridge is loaded.";
    const std::vector<CompatFeature> used = CompatUsed(m.compat);
    if (used.empty()) return "Nothing this machine does differently has been used.";
    QString text;
    for (CompatFeature f : used) {
        if (!text.isEmpty()) text += "\n\n";
        text += QString::fromUtf8(CompatInfoOf(f).player) + "\n    " +
                QString::fromStdString(CompatLine(m.compat, f));
    }
    return text;
}

QString HandheldCompatText(const std::string& report, bool cartridgeLoaded) {
    if (!cartridgeLoaded) return "No cartridge is loaded.";
    return "On the complete handheld. What the cartridge used that it still lacks:\n\n" +
           QString::fromStdString(report).trimmed();
}

frmCompat::frmCompat(std::function<QString()> text, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(std::move(text)) {
    setObjectName("frmCompat");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Compatibility Report");
    if (parent) setWindowIcon(parent->windowIcon());

    txtCompat = new QPlainTextEdit(this);
    txtCompat->setObjectName("txtCompat");
    txtCompat->setReadOnly(true);
    txtCompat->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    connect(cmdOK, &QPushButton::clicked, this, &frmCompat::cmdOK_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtCompat);
    layout->addWidget(cmdOK);
    resize(560, 360);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &frmCompat::Refresh);
    timer_->start(kRefreshMs);
    Refresh();
}

void frmCompat::Refresh() {
    const QString text = source_();
    if (text == text_) return;
    text_ = text;
    txtCompat->setPlainText(text_);
}

void frmCompat::cmdOK_Click() { close(); }

}  // namespace wenlo::ui
