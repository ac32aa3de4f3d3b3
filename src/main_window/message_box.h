#pragma once

#include "platform/message_box.h"

#include <QString>

class QWidget;

// The property under which a box keeps its text exactly as given (CR LF included).
inline constexpr const char* MessageTextProperty = "parleonMessageText";

// A modal message box with the program's caption "Parleon". Returns when the user has answered.
platform::MsgResult showMessageBox(QWidget* owner, const QString& text, platform::MsgButtons buttons,
                                   platform::MsgIcon icon);
