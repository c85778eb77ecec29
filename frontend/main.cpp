// The desktop program: one main window; everything else starts from it.
#include <QApplication>

#include "frontend/frmgb.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Wenlo");
    wenlo::ui::frmGB window;
    window.show();
    return app.exec();
}
