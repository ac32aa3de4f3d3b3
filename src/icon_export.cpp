// Writes the program icon as PNG files for the desktop: icon_export DIR SIZE...
#include "main_window/program_icon.h"

#include <QDir>
#include <QGuiApplication>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 3) return 2;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (!programIconPixmap(size).save(folder.filePath(QStringLiteral("%1.png").arg(size)))) return 1;
    }
    return 0;
}
