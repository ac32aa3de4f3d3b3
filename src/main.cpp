#include "main_window/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parleon"));
    Form1 form;
    form.show();
    return QApplication::exec();
}
