#pragma once

#include <QPlainTextEdit>

// The output box: a multi-line text box whose content is kept exactly as appended (CR LF line
// breaks, every character), while the widget shows it. The user may place the caret and type in
// it; such edits become part of the content.
class OutputBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit OutputBox(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void appendText(const QString& text);

private:
    void onContentsChange();
    void moveCaretToEnd();

    QString m_text;
    bool m_changing = false;
};
