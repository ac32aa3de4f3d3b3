#include "form1.h"

#include "fonts.h"
#include "form_controls.h"
#include "message_box.h"
#include "output_box.h"
#include "program_icon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <limits>

namespace {

// Key codes as the key handler receives them; only Return matters to the program.
constexpr int KeyReturn = 13;
constexpr int ShiftMask = 1;
constexpr int CtrlMask = 2;
constexpr int AltMask = 4;

bool isReturnKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

int keyCodeOf(const QKeyEvent& event) {
    if (isReturnKey(event.key())) return KeyReturn;
    return event.key() < 0x100 ? event.key() : 0;
}

int shiftStateOf(const QKeyEvent& event) {
    int shift = 0;
    if (event.modifiers() & Qt::ShiftModifier) shift |= ShiftMask;
    if (event.modifiers() & Qt::ControlModifier) shift |= CtrlMask;
    if (event.modifiers() & Qt::AltModifier) shift |= AltMask;
    return shift;
}

void colourConsole(QWidget* box) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(0, 0, 0));
    palette.setColor(QPalette::Text, QColor(0, 255, 0));
    box->setPalette(palette);
    box->setFont(consoleFont());
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent), session(*this), server(session), client(session) {
    createControls();
    connectHandlers();
    session.Form_Load();
    session.Timer1.start();
}

Form1::~Form1() = default;

void Form1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Parleon"));
    setWindowIcon(programIcon());
    setFont(formFont());
    resize(twipsSize(6015, 3555));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Command3 = placeControl<QPushButton>(this, "Command3", 120, 120, 1695, 375);
    Command3->setText(QStringLiteral("Start Server"));
    Command1 = placeControl<QPushButton>(this, "Command1", 1920, 120, 255, 375);
    Command1->setText(QStringLiteral("?"));
    Command2 = placeControl<QPushButton>(this, "Command2", 2280, 120, 1695, 375);
    Command2->setText(QStringLiteral("Connect to Server"));
    Text3 = placeControl<QLineEdit>(this, "Text3", 120, 600, 3615, 285);
    Text3->setMaxLength(std::numeric_limits<int>::max());
    Text3->setText(ChatSession::InputPrompt);
    colourConsole(Text3);
    Text4 = placeControl<OutputBox>(this, "Text4", 120, 960, 3735, 2205);
    colourConsole(Text4);

    describeControl(Command3, QStringLiteral("Start Server"), QStringLiteral("Run as chat server on this computer"));
    describeControl(Command1, QStringLiteral("Help"), QStringLiteral("Show help and, on a server, its figures"));
    describeControl(Command2, QStringLiteral("Connect to Server"), QStringLiteral("Run as chat client of a server"));
    describeControl(Text3, QStringLiteral("Message"),
                    QStringLiteral("Type a line and press Return to send it; Up and Down recall sent lines"));
    describeControl(Text4, QStringLiteral("Chat output"), QStringLiteral("Everything received and all notices"));

    setTabOrder(Command3, Command2);
    setTabOrder(Command2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Command1);

    // Key preview: the window sees the keys of whichever control has the focus.
    for (QWidget* control : {static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2),
                             static_cast<QWidget*>(Command3), static_cast<QWidget*>(Text3),
                             static_cast<QWidget*>(Text4)})
        control->installEventFilter(this);
    installEventFilter(this);

    // A repeat's press follows its release within moments.
    m_releaseWait.setSingleShot(true);
    m_releaseWait.setInterval(15);
    connect(&m_releaseWait, &QTimer::timeout, this, &Form1::actOnPendingRelease);
}

void Form1::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, [this] { session.Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { client.Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { server.Command3_Click(); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const bool isKey = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (!isKey) return QWidget::eventFilter(watched, event);

    // A key event reaches the focus widget first and may then travel up to the window: act on
    // the first delivery only.
    QWidget* focus = focusWidget();
    const bool firstDelivery = watched == focus || (watched == this && !focus);
    auto* key = static_cast<QKeyEvent*>(event);
    if (firstDelivery && watched == Text3 && event->type() == QEvent::KeyPress && walkHistory(*key)) return true;
    if (!firstDelivery || key->isAutoRepeat()) return QWidget::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress) {
        if (m_pendingRelease) {
            // The window system repeats a held key as a release and a press with the same time
            // stamp, not always marked as a repeat: such a press takes back its release.
            const bool repeat = key->key() == m_pendingRelease->key && key->timestamp() == m_pendingRelease->timestamp;
            if (repeat)
                m_pendingRelease.reset();
            else
                actOnPendingRelease();
        }
        if (isReturnKey(key->key())) m_returnPressSeen = true;
        return QWidget::eventFilter(watched, event);
    }
    if (isReturnKey(key->key())) {
        // A dialog or message box closes on the Return press; its release then lands here and
        // must not send the input line.
        if (!m_returnPressSeen) return QWidget::eventFilter(watched, event);
        m_returnPressSeen = false;
    }
    actOnPendingRelease();
    m_pendingRelease = KeyRelease{key->key(), key->timestamp(), keyCodeOf(*key), shiftStateOf(*key)};
    // Without a time stamp a repeat cannot be told apart: the release counts at once.
    if (key->timestamp() == 0)
        actOnPendingRelease();
    else
        m_releaseWait.start();
    return QWidget::eventFilter(watched, event);
}

bool Form1::walkHistory(const QKeyEvent& key) {
    if (key.modifiers() != Qt::NoModifier && key.modifiers() != Qt::KeypadModifier) return false;
    std::optional<QString> line;
    if (key.key() == Qt::Key_Up)
        line = m_history.older(Text3->text());
    else if (key.key() == Qt::Key_Down)
        line = m_history.newer();
    else
        return false;
    actOnPendingRelease();
    if (line) Text3->setText(*line);
    return true;
}

void Form1::actOnPendingRelease() {
    m_releaseWait.stop();
    if (!m_pendingRelease) return;
    const KeyRelease release = *m_pendingRelease;
    m_pendingRelease.reset();
    Form_KeyUp(release.keyCode, release.shift);
}

void Form1::closeEvent(QCloseEvent* event) {
    int cancel = 0;
    session.Form_QueryUnload(cancel);
    if (cancel != 0)
        event->ignore();
    else
        event->accept();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void Form1::Form_Resize() {
    layoutTextBoxes(static_cast<float>(width() * TwipsPerPixel), static_cast<float>(height() * TwipsPerPixel),
                    isMinimized());
}

void Form1::layoutTextBoxes(float scaleWidth, float scaleHeight, bool minimized) {
    if (minimized) return;
    constexpr float rightMargins = 220.0f;
    constexpr float bottomMargin = 150.0f;
    constexpr float text4Top = 960.0f;
    if (scaleWidth > rightMargins) {
        m_text4Width = scaleWidth - rightMargins;
        m_text3Width = scaleWidth - rightMargins;
    }
    if (text4Top + bottomMargin < scaleHeight) m_text4Height = scaleHeight - text4Top - bottomMargin;
    applyTextBoxGeometry();
}

void Form1::applyTextBoxGeometry() {
    Text3->setGeometry(twipsRect(120, 600, m_text3Width, 285));
    Text4->setGeometry(twipsRect(120, 960, m_text4Width, m_text4Height));
}

void Form1::Form_KeyUp(int keyCode, int /*shift*/) { session.Form_KeyUp(keyCode, Text3->text()); }

const QString& Form1::outputText() const { return Text4->text(); }

void Form1::printText(const QString& text) {
    if (Text4->text().size() > MaxOutputLength) Text4->setText(OutputResetLine);
    Text4->appendText(text);
}

platform::MsgResult Form1::msgBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon) {
    return showMessageBox(this, text, buttons, icon);
}

void Form1::showTitle(const QString& caption) { setWindowTitle(caption); }

bool Form1::showServerSettings() {
    settingsDialog.Show(this, session);
    return settingsDialog.settingsValid;
}

bool Form1::showConnectDialog() {
    connectDialog.Show(this, session);
    return connectDialog.settingsValid;
}

void Form1::focusInput() {
    Text3->setFocus();
    Text3->setSelection(0, static_cast<int>(Text3->text().size()));
}

void Form1::lineSent(const QString& line) {
    Text3->clear();
    m_history.add(line);
}

void Form1::messageArrived() {
    // Asks the window system to mark the window when a line arrives while it is not active.
    if (!isActiveWindow() && isVisible()) QApplication::alert(this);
}
