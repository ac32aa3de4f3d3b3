#pragma once

#include <QString>

// A socket failure as the rest of the program knows it: a Windows Sockets error number (so the
// help texts apply) and a short description.
struct SocketErrorInfo {
    qint32 number;
    QString description;
};

SocketErrorInfo socketErrorInfo(int systemError);
