#pragma once

#include <QtGlobal>

class Form1;

// "Parleon Connect to Server": the server's IPv4 address as four bytes and the user's nick name.
// The object and its properties live as long as the program; each showing builds a new window.
class frmLogin {
public:
    quint8 lastIP_Byte1 = 0;
    quint8 lastIP_Byte2 = 0;
    quint8 lastIP_Byte3 = 0;
    quint8 lastIP_Byte4 = 0;
    bool settingsValid = false;

    // Shows the dialog modally over the main window and returns when it has closed.
    void Show(Form1& owner);

private:
    friend class LoginWindow;
    qint32 m_nickSuggestion = 0; // position in the picture's cycle of nick names
};
