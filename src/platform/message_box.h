#pragma once

#include <QString>

class QWidget;

namespace platform {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Exclamation, Information };
enum class MsgResult { Ok, Yes, No };

// The property under which a box keeps its text exactly as given (CR LF included).
inline constexpr const char* MessageTextProperty = "parleonMessageText";

// A modal message box with the program's caption "Parleon". Returns when the user has answered.
MsgResult msgBox(QWidget* owner, const QString& text, MsgButtons buttons, MsgIcon icon);

} // namespace platform
