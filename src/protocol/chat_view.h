#pragma once

#include "platform/message_box.h"

#include <QString>

// Whoever shows the chat to a person: the window with its controls and boxes, or the headless
// server with standard output and standard error. The chat logic reports only through this.
class ChatView {
public:
    // The output log gains this text as it stands (CR LF line breaks).
    virtual void printText(const QString& text) = 0;
    // A modal message box with the caption "Parleon"; returns the answer.
    virtual platform::MsgResult msgBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon) = 0;
    // The role and the state of the socket that changed last.
    virtual void showTitle(const QString& caption) = 0;
    // False when no title is shown anywhere: nothing is looked up for one.
    virtual bool showsTitle() const { return true; }
    // The two modal dialogs; true when OK accepted the entries (and stored them in the session).
    virtual bool showServerSettings() = 0;
    virtual bool showConnectDialog() = 0;
    // The input line takes the focus with its text selected, ready for the first line.
    virtual void focusInput() = 0;
    // The typed line has gone out: the input line is cleared and remembers it.
    virtual void lineSent(const QString& line) = 0;
    // A message arrived; the person may be elsewhere.
    virtual void messageArrived() = 0;
    // Closes the program the usual way, as the close box does.
    virtual void close() = 0;

protected:
    ~ChatView() = default;
};

// The output log starts afresh once it holds more than this many characters.
inline constexpr qsizetype MaxOutputLength = 25000;
inline const QString OutputResetLine = QStringLiteral(">>> Reset output-text. Too much text. <<<\r\n");
