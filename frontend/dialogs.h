// The front end's one seam to the desktop: modal dialogs (open-file, message
// box, input box), handing a link to the desktop, and ending the process.
// The windows call only this, so tests replace it with answers of their own
// (frmGB::SetDialogs) and no person has to click anything.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QWidget;

namespace wenlo::ui {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Modal open-file dialog over parent: title, the folder it opens in, and
    // the filters ("Description (*.ext)") in order, the first selected.
    // Returns the chosen file's full path, or an empty string when cancelled.
    virtual QString OpenFile(QWidget* parent, const QString& title, const QString& folder,
                             const QStringList& filters) = 0;

    // Modal message box with the error icon and a single OK button.
    virtual void Critical(QWidget* parent, const QString& title, const QString& text) = 0;

    // Modal message box with the information icon and a single OK button.
    virtual void Information(QWidget* parent, const QString& title, const QString& text) = 0;

    // Modal input box with OK and Cancel. Returns the typed text, or an empty
    // string when cancelled.
    virtual QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;

    // Hands a mailto: or web address to the desktop's default handler.
    virtual void OpenUrl(const QUrl& url) = 0;

    // Ends the process at once: no prompt, nothing saved, whatever runs.
    virtual void EndProcess() = 0;
};

// The real desktop: Qt's dialogs, QDesktopServices, and _Exit.
class QtDialogs : public Dialogs {
public:
    QString OpenFile(QWidget* parent, const QString& title, const QString& folder,
                     const QStringList& filters) override;
    void Critical(QWidget* parent, const QString& title, const QString& text) override;
    void Information(QWidget* parent, const QString& title, const QString& text) override;
    QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void OpenUrl(const QUrl& url) override;
    void EndProcess() override;
};

// Another seam's dialogs, with word of each modal one: opened(true) before it
// shows, opened(false) once it is answered (the machine waits meanwhile, and
// the window falls silent).
class WatchedDialogs : public Dialogs {
public:
    WatchedDialogs(Dialogs* inner, std::function<void(bool)> opened)
        : inner_(inner), opened_(std::move(opened)) {}
    void SetInner(Dialogs* inner) { inner_ = inner; }

    QString OpenFile(QWidget* parent, const QString& title, const QString& folder,
                     const QStringList& filters) override;
    void Critical(QWidget* parent, const QString& title, const QString& text) override;
    void Information(QWidget* parent, const QString& title, const QString& text) override;
    QString InputBox(QWidget* parent, const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void OpenUrl(const QUrl& url) override { inner_->OpenUrl(url); }
    void EndProcess() override { inner_->EndProcess(); }

private:
    template <class F>
    auto Modal(F&& show) {
        opened_(true);
        struct Closed {
            std::function<void(bool)>& f;
            ~Closed() { f(false); }
        } closed{opened_};
        return show();
    }

    Dialogs* inner_;
    std::function<void(bool)> opened_;
};

}  // namespace wenlo::ui
