#pragma once

#include <QPlainTextEdit>
#include <QTimer>

// The output box: a multi-line text box whose content is kept exactly as appended (CR LF line
// breaks, every character), while the widget shows it. The user may place the caret and type in
// it; such edits become part of the content. Its content is exact at every moment; only its
// painting is held back to about one frame while text keeps arriving.
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
    void holdPainting();

    QString m_text;
    bool m_changing = false;
    // A server prints a line per message and yields after every send; painting at each yield
    // would cost more than the relay. After a change the box paints once a frame at most.
    QTimer m_paintHold;
};
