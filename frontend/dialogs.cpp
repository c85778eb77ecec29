#include "frontend/dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace wenlo::ui {

QString QtDialogs::OpenFile(QWidget* parent, const QString& title, const QString& folder,
                            const QStringList& filters) {
    QString selected = filters.value(0);
    return QFileDialog::getOpenFileName(parent, title, folder, filters.join(";;"), &selected);
}

void QtDialogs::Critical(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

void QtDialogs::Information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

QString QtDialogs::InputBox(QWidget* parent, const QString& prompt, const QString& title,
                            const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

void QtDialogs::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void QtDialogs::EndProcess() {
    // At once, even from inside a nested run loop: unwinding the loops (or
    // running the destructors of a half-suspended machine) is not wanted.
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

QString WatchedDialogs::OpenFile(QWidget* parent, const QString& title, const QString& folder,
                                 const QStringList& filters) {
    return Modal([&] { return inner_->OpenFile(parent, title, folder, filters); });
}

void WatchedDialogs::Critical(QWidget* parent, const QString& title, const QString& text) {
    Modal([&] { inner_->Critical(parent, title, text); });
}

void WatchedDialogs::Information(QWidget* parent, const QString& title, const QString& text) {
    Modal([&] { inner_->Information(parent, title, text); });
}

QString WatchedDialogs::InputBox(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText) {
    return Modal([&] { return inner_->InputBox(parent, prompt, title, defaultText); });
}

}  // namespace wenlo::ui
