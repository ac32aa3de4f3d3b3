#pragma once

#include <QString>
#include <optional>

namespace platform {

// The runtime's conversion of text to a 32-bit whole number: blanks around the number, an optional
// sign and a fraction rounded to the nearest whole number (halves to the even neighbour). Empty
// text, text that is not a number, and values outside the 32-bit range give nothing.
std::optional<qint32> toLong(const QString& text);

} // namespace platform
