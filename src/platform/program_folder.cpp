#include "program_folder.h"

#include <QCoreApplication>

namespace platform {

namespace {
QString& overriddenFolder() {
    static QString folder;
    return folder;
}
} // namespace

QString programFolder() {
    if (!overriddenFolder().isEmpty()) return overriddenFolder();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder) { overriddenFolder() = folder; }

} // namespace platform
