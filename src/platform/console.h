#pragma once

#include <QString>

namespace platform {

// A program without a window writes what its output box would gain to standard output, and what
// its message boxes would say to standard error.
void writeOutput(const QString& text);   // CR LF line breaks become the system's own
void flushOutput();                      // what writeOutput holds goes out now
void writeMessage(const QString& text);  // one line per line, each marked with the program's name

} // namespace platform
