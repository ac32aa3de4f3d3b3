#include "output_box.h"

#include <QTextBlock>
#include <QTextCursor>

namespace {
constexpr int CatchUpIntervalMs = 30;
const QString HiddenMark = QStringLiteral("\u2026");
} // namespace

OutputBox::OutputBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
    // The box is a log: Tab moves on to the next control, as in the other text boxes.
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChanged, this, &OutputBox::onContentsChange);
    m_catchUp.setSingleShot(true);
    m_catchUp.setInterval(CatchUpIntervalMs);
    connect(&m_catchUp, &QTimer::timeout, this, &OutputBox::showNow);
}

void OutputBox::setText(const QString& text) {
    m_text = text;
    m_changing = true;
    clear();
    m_changing = false;
    m_shown = 0;
    m_lineLength = 0;
    m_afterCR = false;
    scheduleCatchUp();
}

void OutputBox::appendText(const QString& text) {
    m_text += text;
    scheduleCatchUp();
}

void OutputBox::scheduleCatchUp() {
    // A box nobody sees (no window at all, or not yet shown) catches up once it is shown.
    if (isVisible() && !m_catchUp.isActive()) m_catchUp.start();
}

void OutputBox::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    showNow();
}

void OutputBox::showNow() {
    m_catchUp.stop();
    m_changing = true;
    showText(m_text.mid(m_shown));
    m_shown = m_text.size();
    m_changing = false;
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void OutputBox::showText(const QString& text) {
    QString shown;
    shown.reserve(qMin<qsizetype>(text.size(), 64 * 1024));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n') && m_afterCR) {
            m_afterCR = false;
            continue;
        }
        m_afterCR = c == QLatin1Char('\r');
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            shown += QLatin1Char('\n');
            m_lineLength = 0;
            continue;
        }
        if (m_lineLength < ShownLineLimit) shown += c;
        else if (m_lineLength == ShownLineLimit) shown += HiddenMark;
        ++m_lineLength;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
}

bool OutputBox::event(QEvent* event) {
    // Whatever the user does in the box applies to the content as it stands.
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::MouseButtonPress:
        if (m_catchUp.isActive()) showNow();
        break;
    default: break;
    }
    return QPlainTextEdit::event(event);
}

void OutputBox::onContentsChange() {
    if (m_changing) return;
    // The user typed into the box: take the content over from the widget, lines ended by CR LF.
    QString content;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin()) content += QStringLiteral("\r\n");
        content += block.text();
    }
    m_text = content;
    m_shown = m_text.size();
    m_afterCR = false;
    m_lineLength = document()->lastBlock().text().size();
}
