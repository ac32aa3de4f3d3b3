#pragma once

#include <QString>

namespace platform {

// The folder that holds the program's executable.
QString programFolder();

// Points the program at another folder; tests use it to keep their files apart.
void setProgramFolder(const QString& folder);

} // namespace platform
