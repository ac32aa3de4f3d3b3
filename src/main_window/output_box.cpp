#include "output_box.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

OutputBox::OutputBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
    connect(document(), &QTextDocument::contentsChanged, this, &OutputBox::onContentsChange);
}

void OutputBox::setText(const QString& text) {
    m_changing = true;
    m_text = text;
    setPlainText(text);
    m_changing = false;
    moveCaretToEnd();
}

void OutputBox::appendText(const QString& text) {
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
