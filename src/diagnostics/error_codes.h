#pragma once

#include <QString>

// The help text for a Windows Sockets error number; "Error unknown." for any other number.
QString getErrorText(qint32 number);
