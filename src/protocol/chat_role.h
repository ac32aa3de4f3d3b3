#pragma once

#include <QString>

// The server or the client: what the session hands to the role the program plays.
class ChatRole {
public:
    virtual void Winsock1_ConnectionRequest(int Index, qint32 requestID) = 0;
    virtual void Winsock1_DataArrival(int Index, qint32 bytesTotal) = 0;
    virtual void Winsock1_Close(int Index) = 0;
    // A line typed into the input and sent with Return.
    virtual void sendLine(const QString& text) = 0;
    // The role's part of the help text.
    virtual void printRoleHelp() = 0;
    // Closes and destroys all client slots; a client has none.
    virtual void unloadClientSockets() = 0;

protected:
    ~ChatRole() = default;
};
