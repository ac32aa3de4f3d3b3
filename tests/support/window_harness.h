#pragma once

#include "harness.h"
#include "main_window/form1.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace testing {

// Answers the modal boxes and dialogs the window opens, as a user would, one action for each in
// turn; boxes nobody expected are recorded and dismissed.
class Modals : public QObject {
public:
    struct Box {
        QString text;
        int icon;
    };
    static Modals& instance();
    // The next message box or dialog, whichever opens first, is answered by the first action of
    // its kind.
    void button(const QString& text); // the next message box: click the button with this text
    void dialog(std::function<void(QDialog&)> action);
    void box(std::function<void(QDialog&)> action);
    void reset();
    static void setText(const char* box, const QString& text); // types into the open modal's box
    static void click(QWidget& modal, const QString& text);
    std::vector<Box> boxes;
    QStringList unexpected;
    bool done() const { return m_boxActions.empty() && m_dialogActions.empty(); }

private:
    Modals();
    void poll();
    QTimer m_timer;
    std::deque<std::function<void(QDialog&)>> m_boxActions, m_dialogActions;
    std::vector<QPointer<QWidget>> m_handled;
};

inline Modals& modals() { return Modals::instance(); }

// A test whose every function starts with no box seen and ends with every expected modal answered
// and no unexpected one.
class ModalTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
};

// A window with a program folder of its own.
struct Window {
    ProgramFolder folder;
    Form1 form;
    void type(const QString& line, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
};

// Starts a server in the window, confirming the settings dialog with the given maximum.
bool startServer(Form1& form, quint16 port, const QString& maxClients = QStringLiteral("10"));

} // namespace testing
