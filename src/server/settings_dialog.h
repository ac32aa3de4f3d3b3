#pragma once

class Form1;

// "Parleon Server Settings": confirms the port (shown, not editable) and the maximum number of
// clients. The object lives as long as the program; each showing builds a new window.
class Dialog {
public:
    bool settingsValid = false;

    // Shows the dialog modally over the main window and returns when it has closed.
    void Show(Form1& owner);
};
