#pragma once

class ChatSession;
class QWidget;

// "Parleon Server Settings": confirms the port (shown, not editable) and the maximum number of
// clients. The object lives as long as the program; each showing builds a new window.
class Dialog {
public:
    bool settingsValid = false;

    // Shows the dialog modally over its owner and returns when it has closed.
    void Show(QWidget* owner, ChatSession& session);
};
