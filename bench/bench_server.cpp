// Hosts a Parleon server for the benchmarks: the program's own main window (offscreen, so the
// output box and title bar do their work), started the way a user starts it, with the settings
// dialog confirmed as it opens. The real executable needs that click; this host makes it.
//   bench_server FOLDER   (FOLDER holds ParleonConfig.dat; prints "READY <port>" once listening)
#include "main_window/form1.h"
#include "platform/program_folder.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    platform::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    Form1 form;
    form.show();
    QTimer confirm;
    QObject::connect(&confirm, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            if (auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))) ok->click();
    });
    confirm.start(5);
    QTimer::singleShot(0, &form, [&] {
        form.Command3_Click();
        confirm.stop();
        std::printf("READY %d\n", int(form.Winsock1(0).LocalPort()));
        std::fflush(stdout);
    });
    return QApplication::exec();
}
