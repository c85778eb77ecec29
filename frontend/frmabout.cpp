#include "frontend/frmabout.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "frontend/dialogs.h"
#include "frontend/layout.h"

namespace wenlo::ui {

namespace {

template <typename T>
T* Make(QWidget* parent, const char* name, const QRect& place, const QString& caption = {}) {
    auto* w = new T(caption, parent);
    w->setObjectName(name);
    w->setGeometry(place);
    return w;
}

// A link label is as wide as the design says, or as its text needs if the
// desktop's font is wider than the one the design was drawn with.
void FitWidth(QLabel* label, int maxRight) {
    QRect r = label->geometry();
    r.setWidth(std::min(std::max(r.width(), label->sizeHint().width()), maxRight - r.left()));
    label->setGeometry(r);
}

}  // namespace

QString frmAbout::AboutText() {
    return "Wenlo v0.01 [Beta Release]\r\n"
           "Written by the Wenlo developers.\r\n"
           "\r\n"
           "Plays monochrome Game Boy cartridges.\r\n"
           "No sound: sound registers are only stored.\r\n"
           "Tab: full speed. F12: debugger.";
}

frmAbout::frmAbout(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
    setObjectName("frmAbout");
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString("About ") + "Wenlo v0.01[Beta Release]");
    if (parent) setWindowIcon(parent->windowIcon());

    Frame1 = Make<QGroupBox>(this, "Frame1", TwipRect(0, 0, 4455, 4455), "About The Program");
    Frame2 = Make<QGroupBox>(Frame1, "Frame2", TwipRect(120, 240, 4215, 2415), "Program Details");
    lbl1 = Make<QLabel>(Frame2, "lbl1", TwipRect(120, 240, 3975, 2055),
                        QString(AboutText()).replace("\r\n", "\n"));
    lbl1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbl1->setWordWrap(true);
    Frame3 = Make<QGroupBox>(Frame1, "Frame3", TwipRect(120, 2760, 4215, 855), "Contact");
    Label2 = Make<QLabel>(Frame3, "Label2", TwipRect(120, 240, 495, 255), "E-Mail:");
    Label1 = Make<QLabel>(Frame3, "Label1", TwipRect(1080, 240, 1215, 255), kMailAddress);
    Label3 = Make<QLabel>(Frame3, "Label3", TwipRect(120, 480, 855, 255), "Homepage:");
    Label4 = Make<QLabel>(Frame3, "Label4", TwipRect(1080, 480, 3015, 255), kWebAddress);
    cmdOK = Make<QPushButton>(Frame1, "cmdOK", TwipRect(120, 3720, 4215, 615), "&OK");
    // With a desktop font wider than the design's, the captions push the
    // links to the right instead of being cut off.
    const int linkLeft = std::max({Label1->x(), Label2->x() + Label2->sizeHint().width() + Px(90),
                                   Label3->x() + Label3->sizeHint().width() + Px(90)});
    for (QLabel* link : {Label1, Label4}) link->move(linkLeft, link->y());
    FitWidth(Label2, Label1->x());
    FitWidth(Label3, Label4->x());
    for (QLabel* link : {Label1, Label4}) {
        FitWidth(link, Frame3->width() - Px(120));
        QPalette pal = link->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
        link->setPalette(pal);
        link->setCursor(Qt::PointingHandCursor);
    }
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // The hover rule needs every mouse movement over each control.
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, Frame2, Frame3, lbl1, Label1, Label2, Label3,
                                                      Label4, cmdOK}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    setFixedSize(Px(4455), Px(4485));
    if (const QScreen* s = parent ? parent->screen() : screen())
        move(s->availableGeometry().center() - rect().center());
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::Label1_Click() { dialogs_.OpenUrl(QUrl(QString("mailto:") + kMailAddress)); }

void frmAbout::Label4_Click() { dialogs_.OpenUrl(QUrl(kWebAddress)); }

void frmAbout::SetUnderlines(bool label1, bool label4) {
    for (auto [label, on] : {std::pair{Label1, label1}, std::pair{Label4, label4}}) {
        QFont f = label->font();
        if (f.underline() == on) continue;
        f.setUnderline(on);
        label->setFont(f);
    }
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        // A movement a child did not take reaches its frame as well; only the
        // control actually under the mouse decides.
        if (watched == Frame2) return true;  // over Frame2 itself the underline stays as it was
        SetUnderlines(watched == Label1, watched == Label4);
        return watched != cmdOK;  // the button still needs its own moves
    }
    if (event->type() == QEvent::MouseButtonRelease && (watched == Label1 || watched == Label4)) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton &&
            static_cast<QWidget*>(watched)->rect().contains(me->position().toPoint())) {
            if (watched == Label1)
                Label1_Click();
            else
                Label4_Click();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace wenlo::ui
