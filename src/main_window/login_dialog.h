#pragma once

#include <QtGlobal>

class ChatSession;
class QWidget;

// "Parleon Connect to Server": the server's IPv4 address as four bytes and the user's nick name.
// The object lives as long as the program; each showing builds a new window. The last address
// it proposes is the session's, which the settings file keeps.
class frmLogin {
public:
    bool settingsValid = false;

    // Shows the dialog modally over its owner and returns when it has closed.
    void Show(QWidget* owner, ChatSession& session);

private:
    friend class LoginWindow;
    qint32 m_nickSuggestion = 0; // position in the picture's cycle of nick names
};
