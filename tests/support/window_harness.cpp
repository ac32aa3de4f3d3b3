#include "window_harness.h"

#include "main_window/message_box.h"

#include <QAbstractButton>
#include <QApplication>

namespace testing {

Modals& Modals::instance() {
    static Modals* modals = new Modals;
    return *modals;
}

Modals::Modals() {
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, this, &Modals::poll);
    m_timer.start();
}

void Modals::click(QWidget& modal, const QString& text) {
    for (QAbstractButton* b : modal.findChildren<QAbstractButton*>())
        if (b->text().remove(QLatin1Char('&')) == text) return b->click();
}

void Modals::button(const QString& text) {
    box([text](QDialog& modal) { click(modal, text); });
}

void Modals::dialog(std::function<void(QDialog&)> action) { m_dialogActions.push_back(std::move(action)); }
void Modals::box(std::function<void(QDialog&)> action) { m_boxActions.push_back(std::move(action)); }

void Modals::reset() {
    boxes.clear();
    unexpected.clear();
    m_boxActions.clear();
    m_dialogActions.clear();
}

void Modals::setText(const char* box, const QString& text) {
    auto* edit = QApplication::activeModalWidget()->findChild<QLineEdit*>(QLatin1String(box));
    edit->setFocus();
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

void Modals::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    std::erase_if(m_handled, [](const QPointer<QWidget>& w) { return w.isNull(); });
    if (!modal || !modal->isVisible() || std::find(m_handled.begin(), m_handled.end(), modal) != m_handled.end())
        return;
    m_handled.emplace_back(modal);
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box) boxes.push_back({box->property(MessageTextProperty).toString(), box->icon()});
    auto& actions = box ? m_boxActions : m_dialogActions;
    if (actions.empty()) {
        unexpected << modal->windowTitle();
        static_cast<QDialog*>(modal)->reject();
        return;
    }
    // Acted on from a call of its own, so that boxes the action opens are seen too.
    auto act = std::move(actions.front());
    actions.pop_front();
    QTimer::singleShot(0, modal, [modal, act] { act(static_cast<QDialog&>(*modal)); });
}

void ModalTest::init() { Modals::instance().reset(); }

void ModalTest::cleanup() {
    QVERIFY2(Modals::instance().done(), "a modal the test expected did not come");
    QVERIFY2(Modals::instance().unexpected.isEmpty(), qPrintable(Modals::instance().unexpected.join(", ")));
}

bool startServer(Form1& form, quint16 port, const QString& maxClients) {
    form.session.parleonPort = port;
    Modals::instance().dialog([maxClients](QDialog& dialog) {
        Modals::setText("Text2", maxClients);
        Modals::click(dialog, QStringLiteral("OK"));
    });
    form.server.Command3_Click();
    return form.session.Winsock1(0).State() == SocketState::Listening;
}

void Window::type(const QString& line, Qt::KeyboardModifiers modifiers) {
    form.Text3->setFocus();
    form.Text3->setText(line);
    QTest::keyClick(form.Text3, Qt::Key_Return, modifiers);
}

} // namespace testing
