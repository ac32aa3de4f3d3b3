#pragma once

#include <QList>
#include <QString>

// The chat protocol in one place. Messages are bare texts with no framing: whatever arrives at
// once is one message. Line breaks inside a message are CR LF.
namespace protocol {

inline const QString CRLF = QStringLiteral("\r\n");

// --- From a client: two commands, recognised by their first nine characters (case-sensitive).
inline const QString NickNameCommand = QStringLiteral("nickName="); // + nick name: join or rename
inline const QString ListNamesCommand = QStringLiteral("listNames"); // the client list, to the sender
// Anything else is a chat line, relayed to the other clients.

enum class ClientMessage { NickName, ListNames, ChatLine };

inline ClientMessage classify(const QString& message) {
    if (message.startsWith(NickNameCommand)) return ClientMessage::NickName;
    if (message.startsWith(ListNamesCommand)) return ClientMessage::ListNames;
    return ClientMessage::ChatLine;
}

inline constexpr qsizetype MinNickNameLength = 3;
// Names are measured in characters, not in UTF-16 units.
inline qsizetype characterCount(const QString& text) { return text.toUcs4().size(); }

// --- Typed at the server: kicks the named client instead of sending the line.
inline const QString KickCommand = QStringLiteral("kickName=");

// --- From the server, by number.
// 1: to a peer refused because the server is full; the connection is closed right after.
inline QString serverFull() { return CRLF + QStringLiteral(">>> No more Clients allowed. Goodbey <<<"); }
// What a client looks for to know it was refused.
inline const QString ServerFullMarker = QStringLiteral("No more Clients allowed. Goodbey");
// 2: to a client whose first nick name was accepted; clientList is message 8.
inline QString welcome(const QString& clientList) {
    return QStringLiteral(">>> Wellcome to Parleon V.0.2 <<<") + CRLF + clientList;
}
// 3: to all other clients, right after 2.
inline QString joined(const QString& nick) { return QStringLiteral(">>> ") + nick + QStringLiteral(" has joined <<<"); }
// 4: to a client whose later nick name was accepted.
inline QString newNickName(const QString& nick) {
    return QStringLiteral(">>> Your new nickName is ") + nick + QStringLiteral(" <<<");
}
// 5: to all other clients, right after 4.
inline QString renamed(const QString& oldNick, const QString& newNick) {
    return QStringLiteral(">>> ") + oldNick + QStringLiteral(" has renamed to ") + newNick + QStringLiteral(" <<<");
}
// 6: a nick name shorter than three characters; the connection stays.
inline QString nickTooShort() {
    return QStringLiteral(">>> Bad nickName. ") + QStringLiteral("At last 3 characters required. <<<");
}
// 7: a nick name some slot holds already; the server then ends the connection.
inline QString nickInUse() {
    return QStringLiteral(">>> Bad nickName. ") + QStringLiteral("Name is allready in use. <<<") + CRLF +
           QStringLiteral(">>> Connect again with different nickName. <<<");
}
// 8: the client list, built by the slot table (listClients), to the sender of "listNames".
// 9: a chat line, to all other clients.
inline QString relayed(const QString& senderTag, const QString& message) {
    // Every chat line is joined here, once for the log and once for the others: one allocation.
    QString line;
    line.reserve(senderTag.size() + 2 + message.size());
    line.append(senderTag).append(u": ").append(message);
    return line;
}
// 10: a line typed at the server, to all clients.
inline QString serverLine(const QString& text) { return QStringLiteral("SERVER: ") + text; }
// 11: to a kicked client; the connection is ended right after.
inline QString youAreKicked() { return QStringLiteral(">>> You are kicked by SERVER <<<"); }
// 12: to all other clients, about a kicked one.
inline QString wasKicked(const QString& nick) {
    return QStringLiteral(">>> ") + nick + QStringLiteral(" was kicked by SERVER <<<");
}
// 13: to all other clients, when a client with a nick name leaves or is removed.
inline QString hasLeft(const QString& nick) { return QStringLiteral(">>> ") + nick + QStringLiteral(" has left <<<"); }

} // namespace protocol
