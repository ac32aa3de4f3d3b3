#pragma once

namespace platform {

// A message box as the program asks for one: its buttons, its icon and the answer.
enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Exclamation, Information };
enum class MsgResult { Ok, Yes, No };

// The answer of the default button, for a box nobody can see.
inline MsgResult defaultAnswer(MsgButtons buttons) { return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok; }

} // namespace platform
