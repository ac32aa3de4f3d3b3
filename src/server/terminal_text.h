#pragma once

#include <QString>

// The log's text as a terminal is to show it: the lines as the output box splits them (CR LF, CR
// or LF ends one, also when a CR and its LF come in two texts), every control character but TAB
// shown as \xNN, since a peer's text must not drive the administrator's terminal.
class TerminalText {
public:
    QString operator()(const QString& text);

private:
    bool m_afterCR = false; // the last text ended with a CR whose LF may follow
};
