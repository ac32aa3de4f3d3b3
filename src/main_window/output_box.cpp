#include "output_box.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {
constexpr int PaintIntervalMs = 30;
} // namespace

OutputBox::OutputBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
    connect(document(), &QTextDocument::contentsChanged, this, &OutputBox::onContentsChange);
    m_paintHold.setSingleShot(true);
    m_paintHold.setInterval(PaintIntervalMs);
    connect(&m_paintHold, &QTimer::timeout, this, [this] { setUpdatesEnabled(true); });
}

void OutputBox::holdPainting() {
    if (m_paintHold.isActive()) return;
    setUpdatesEnabled(false);
    m_paintHold.start();
}

void OutputBox::setText(const QString& text) {
    holdPainting();
    m_changing = true;
    m_text = text;
    setPlainText(text);
    m_changing = false;
    moveCaretToEnd();
}

void OutputBox::appendText(const QString& text) {
    holdPainting();
    m_changing = true;
    m_text += text;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    m_changing = false;
    moveCaretToEnd();
}

void OutputBox::moveCaretToEnd() {
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
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
}
