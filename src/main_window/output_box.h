#pragma once

#include <QPlainTextEdit>
#include <QTimer>

// The output box: a multi-line text box whose content is kept exactly as appended (CR LF line
// breaks, every character), while the widget shows it. Showing costs time only in proportion to
// what is new and never more than about one frame's worth at a time: the widget catches up at
// most once a frame, and a very long line shows its start only (the rest stays in the content).
// The user may place the caret and type in the box; such edits become part of the content.
class OutputBox : public QPlainTextEdit {
    Q_OBJECT
public:
    // How much of one line the widget lays out; the text layout of one unbroken line grows with
    // the square of its length.
    static constexpr qsizetype ShownLineLimit = 4000;

    explicit OutputBox(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void appendText(const QString& text);
    // Brings the widget up to date with the content now.
    void showNow();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onContentsChange();
    void scheduleCatchUp();
    void showText(const QString& text);

    QString m_text;
    qsizetype m_shown = 0;        // how much of the content the widget shows
    qsizetype m_lineLength = 0;   // length of the last shown line, hidden part included
    bool m_afterCR = false;       // the shown text ends with a CR whose LF may follow
    bool m_changing = false;
    QTimer m_catchUp;
};
