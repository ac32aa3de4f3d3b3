#pragma once

#include <QByteArray>
#include <QString>

// Text from peers and from files of older programs: UTF-8 when the bytes are valid UTF-8, else
// Windows-1252, as 8-bit programs wrote it.
namespace platform {

QString decodeText(const QByteArray& bytes);

enum class Utf8Sequence { Complete, Incomplete, Invalid };
// The UTF-8 sequence that starts at bytes[start]; its length when complete. Overlong forms,
// surrogates and values above U+10FFFF are invalid.
Utf8Sequence utf8SequenceAt(const QByteArray& bytes, qsizetype start, qsizetype& length);
// Where the bytes stop being valid UTF-8: their size when all valid, else the start of the first
// sequence that is invalid or runs past the end; incomplete tells which.
qsizetype validUtf8Prefix(const QByteArray& bytes, bool& incomplete);

} // namespace platform
