#pragma once

#include <QString>

namespace platform {

// A program without a window writes what its output box gains to standard output, and what its
// message boxes say to standard error.
void setHeadless(bool headless);
bool isHeadless();
void writeOutput(const QString& text);   // CR LF line breaks become the system's own
void flushOutput();                      // what writeOutput holds goes out now
void writeMessage(const QString& text);  // one line per line, each marked with the program's name

} // namespace platform
