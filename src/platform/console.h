#pragma once

#include <QString>

namespace platform {

// A program without a window writes what its output box would gain to standard output, and what
// its message boxes would say to standard error.
// Standard output: the text as it stands (line breaks included), written without ever making the
// caller wait; a reader that has gone or stopped reading loses output, not the program's time.
void writeOutput(const QString& text);
void flushOutput(); // waits up to a second for what writeOutput holds to go out
void writeMessage(const QString& text); // one line per line, each marked with the program's name
// Opens /dev/null on whichever of standard input, output and error the program was started without.
void keepStandardDescriptors();

} // namespace platform
