#pragma once

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

class SteadyScrollBar;

// The output box: a multi-line text box whose content is kept exactly as appended (CR LF line
// breaks, every character), while the widget shows it. Showing costs time only in proportion to
// what is new and never more than about one frame's worth at a time: the widget catches up at
// most once a frame, a slice at a time. The slice goes in a little at a time, never in the middle
// of a handler's work, and the box is drawn once, when it is all in. A line longer than
// ShownLineLimit is shown in pieces of that length, one below the other, since the layout of one
// unbroken line grows with the square of its length; the pieces are seen and copied as the one
// line they are.
// The user may place the caret and type, paste or drop text in the box; each edit is applied to
// the content where it was made, and the lines still to be shown follow it.
class OutputBox : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qsizetype ShownLineLimit = 4000;

    explicit OutputBox(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void appendText(const QString& text);
    // Brings the widget up to date with the content now.
    void showNow();

protected:
    void showEvent(QShowEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    // Where a position of the widget's text falls in the shown content, and the start of the
    // content's line there, in the content and in the widget.
    struct ContentPosition {
        qsizetype offset;
        qsizetype lineStart;
        qsizetype shownLineStart;
    };
    ContentPosition contentAt(qsizetype shownPosition) const;
    void catchUp(qsizetype most);
    void catchUpTurn();
    void putIntoWidget(qsizetype count);
    void scrollToEnd();
    void beginFrame();
    void endFrame();
    void holdDrawing(bool hold);
    void scheduleCatchUp();
    void showText(const QString& text);
    void onContentsChange(int position, int removed, int added);
    void showLineAgain(qsizetype lineStart, qsizetype shownLineStart, int caret);
    void measureLastLine();

    QString m_text;
    qsizetype m_shown = 0;        // how much of the content the widget shows
    qsizetype m_lineLength = 0;   // length of the last shown line
    bool m_afterCR = false;       // the shown text ends with a CR whose LF may follow
    bool m_changing = false;
    quint64 m_generation = 0;     // counts the times the content was replaced
    // A frame's text goes into the widget a turn at a time, and then the box is drawn.
    enum class FramePhase { None, Filling, Drawing };
    FramePhase m_phase = FramePhase::None;
    qsizetype m_frameLeft = 0;    // how much more the frame being put in may take
    qint64 m_frameInterval;       // from the end of one frame to the next, as the last frame asks
    QTimer m_catchUp;
    SteadyScrollBar* m_scrollBar;
    QElapsedTimer m_lastShown; // when text was last put into the widget
    QElapsedTimer m_heldSince; // since when a frame due waits for a handler to return
};
