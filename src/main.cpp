#include "main_window/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Names the user's configuration folder, used when the program's own folder is read-only.
    QApplication::setApplicationName(QStringLiteral("Parleon"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.parleon.Parleon"));
    Form1 form;
    form.show();
    return QApplication::exec();
}
