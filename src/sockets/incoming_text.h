#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Turns the bytes one connection receives into messages, one per read. Text is UTF-8; a message
// that is not valid UTF-8 comes from an 8-bit peer and is read as Windows-1252. A read long
// enough to have been split by the network that ends inside a valid UTF-8 character is held:
// when the next read continues the character, the held bytes join that read; when it does not,
// or the hold time passes, or the peer has gone, the held bytes stand on their own.
class IncomingText {
public:
    void append(const QByteArray& bytes) { m_pending += bytes; }
    // The next whole message, or nothing while waiting for the rest of a character. final: no
    // more bytes are to be waited for (the hold time passed, or the peer has gone).
    std::optional<QString> takeMessage(bool final);
    bool holding() const { return !m_held.isEmpty(); }
    bool hasPending() const { return !m_pending.isEmpty(); }
    void clear();

private:
    QByteArray m_held;
    QByteArray m_pending;
};
