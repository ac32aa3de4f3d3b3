#include "incoming_text.h"

#include "platform/text_decoding.h"

namespace {
// A peer's write shorter than the smallest segment an IPv4 stack sends by default (536 bytes)
// arrives in one piece: ending inside a character, it is 8-bit text, not the first part of a
// character, and is not held back behind the messages of others.
constexpr qsizetype MinSplitRead = 536;
} // namespace

std::optional<QString> IncomingText::takeMessage(bool final) {
    if (!m_held.isEmpty()) {
        if (m_pending.isEmpty() && !final) return std::nullopt;
        bool incomplete = false;
        const qsizetype tail = platform::validUtf8Prefix(m_held, incomplete);
        const QByteArray joined = m_held + m_pending;
        qsizetype length = 0;
        const platform::Utf8Sequence s = platform::utf8SequenceAt(joined, tail, length);
        if (s == platform::Utf8Sequence::Complete || (s == platform::Utf8Sequence::Incomplete && !final)) {
            // The next read continues the character: it carries the held bytes with it.
            m_pending = joined;
            m_held.clear();
        } else {
            QByteArray message;
            message.swap(m_held);
            return platform::decodeText(message);
        }
    }
    if (m_pending.isEmpty()) return std::nullopt;
    QByteArray bytes;
    bytes.swap(m_pending);
    bool incomplete = false;
    platform::validUtf8Prefix(bytes, incomplete);
    if (incomplete && !final && bytes.size() >= MinSplitRead) {
        m_held = bytes;
        return std::nullopt;
    }
    return platform::decodeText(bytes);
}

void IncomingText::clear() {
    m_held.clear();
    m_pending.clear();
}
