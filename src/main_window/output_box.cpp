#include "output_box.h"

#include "platform/yield.h"
#include "steady_scroll_bar.h"

#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace {
// Under a stream of lines the box is redrawn at most this often: each redraw lays out and paints
// the view afresh, which costs far more than the lines themselves. A line after a quiet spell
// shows at once.
constexpr qint64 FrameIntervalMs = 100;
// Under a flood (more in one frame than anyone reads in it) every redraw holds up the relay a
// little, and half as many show it as well.
constexpr qint64 FloodFrameIntervalMs = 200;
constexpr qsizetype FloodFrameCharacters = 2048;
// About what the widget takes in one frame.
constexpr qsizetype CatchUpSlice = 512 * 1024;
// A frame's text goes into the widget this much at a time, a turn of the event loop each, so
// that the connections are served in between.
constexpr qsizetype CharactersPerTurn = 1024;

bool isBreak(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }
} // namespace

OutputBox::OutputBox(QWidget* parent) : QPlainTextEdit(parent), m_frameInterval(FrameIntervalMs) {
    setVerticalScrollBar(m_scrollBar = new SteadyScrollBar(Qt::Vertical, this));
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
    // The box is a log: Tab moves on to the next control, as in the other text boxes.
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChange, this, &OutputBox::onContentsChange);
    m_catchUp.setSingleShot(true);
    connect(&m_catchUp, &QTimer::timeout, this, &OutputBox::catchUpTurn);
}

void OutputBox::setText(const QString& text) {
    // The old text stays on the screen until the new one is drawn, as a frame of its own: a box
    // that went blank at every reset would flicker under a stream.
    m_catchUp.stop();
    if (m_phase == FramePhase::None) {
        // What is still to be drawn of the old text is drawn now, or it would be drawn empty.
        viewport()->repaint();
    }
    beginFrame();
    ++m_generation;
    m_text = text;
    m_changing = true;
    clear();
    m_changing = false;
    m_shown = 0;
    m_lineLength = 0;
    m_afterCR = false;
    m_catchUp.start(0);
}

void OutputBox::appendText(const QString& text) {
    m_text += text;
    scheduleCatchUp();
}

void OutputBox::scheduleCatchUp() {
    // A box nobody sees (no window at all, or not yet shown) catches up once it is shown.
    if (!isVisible() || m_catchUp.isActive() || m_shown >= m_text.size()) return;
    const qint64 since = m_lastShown.isValid() ? m_lastShown.elapsed() : m_frameInterval;
    m_catchUp.start(int(qMax<qint64>(0, m_frameInterval - since)));
}

void OutputBox::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    catchUp(CatchUpSlice);
}

void OutputBox::showNow() { catchUp(m_text.size()); }

void OutputBox::catchUp(qsizetype most) {
    m_catchUp.stop();
    const qsizetype count = qMin(most, m_text.size() - m_shown);
    putIntoWidget(count);
    if (count <= 0 && m_phase == FramePhase::None) return;
    scrollToEnd();
    endFrame();
}

void OutputBox::catchUpTurn() {
    // Put in and drawn in the middle of a handler's work, the text would hold up the rest of it,
    // such as a message on its way to the other clients: it waits for the handler to return, for
    // a frame's time at most.
    if (platform::handlerIsYielding()) {
        if (!m_heldSince.isValid()) m_heldSince.start();
        if (m_heldSince.elapsed() < FrameIntervalMs) {
            // Every yield of a busy server would find a timer due now; a look each millisecond
            // will do.
            m_catchUp.start(1);
            return;
        }
    }
    m_heldSince.invalidate();
    switch (m_phase) {
    case FramePhase::None:
        if (m_shown >= m_text.size()) return; // the user's edits took it
        beginFrame();
        [[fallthrough]];
    case FramePhase::Filling: {
        const qsizetype count = std::min({CharactersPerTurn, m_frameLeft, m_text.size() - m_shown});
        putIntoWidget(count);
        m_frameLeft -= count;
        if (count <= 0 || m_frameLeft == 0 || m_shown == m_text.size()) {
            m_frameInterval = CatchUpSlice - m_frameLeft > FloodFrameCharacters ? FloodFrameIntervalMs : FrameIntervalMs;
            scrollToEnd();
            m_phase = FramePhase::Drawing;
        }
        m_catchUp.start(0);
        return;
    }
    case FramePhase::Drawing:
        endFrame();
        // Now, not from a later yield.
        viewport()->repaint();
        return;
    }
}

void OutputBox::putIntoWidget(qsizetype count) {
    if (count <= 0) return;
    m_changing = true;
    // Told of every turn's text, the widget would lay out its last lines anew to size the scroll
    // bar, which costs more than the text itself: it is told once, when the frame's text is in.
    const QSignalBlocker quiet(document()->documentLayout());
    showText(m_text.mid(m_shown, count));
    m_shown += count;
    m_changing = false;
}

void OutputBox::scrollToEnd() {
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    viewport()->update();
    m_lastShown.start();
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    // The caret's line in sight may still leave part of a line below it.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void OutputBox::beginFrame() {
    // The box is drawn once, when the frame's text is all in.
    m_phase = FramePhase::Filling;
    m_frameLeft = CatchUpSlice;
    holdDrawing(true);
}

void OutputBox::endFrame() {
    m_phase = FramePhase::None;
    holdDrawing(false);
    scheduleCatchUp();
}

void OutputBox::holdDrawing(bool hold) {
    viewport()->setUpdatesEnabled(!hold);
    m_scrollBar->setHeld(hold);
}

void OutputBox::showText(const QString& text) {
    QString shown;
    shown.reserve(text.size() + text.size() / ShownLineLimit);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') && m_afterCR) {
            m_afterCR = false;
            continue;
        }
        m_afterCR = c == QLatin1Char('\r');
        if (isBreak(c)) {
            shown += QLatin1Char('\n');
            m_lineLength = 0;
            continue;
        }
        if (m_lineLength > 0 && m_lineLength % ShownLineLimit == 0) shown += QLatin1Char('\n');
        shown += c;
        ++m_lineLength;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
}

OutputBox::ContentPosition OutputBox::contentAt(qsizetype shownPosition) const {
    // Walks the content as showText() shows it: a line break (CR LF, CR or LF) is one character
    // of the widget, and a long line gains a break of its own before each further piece.
    qsizetype shown = 0, length = 0, lineStart = 0, shownLineStart = 0;
    bool afterCR = false;
    for (qsizetype i = 0; i < m_shown; ++i) {
        const QChar c = m_text[i];
        if (c == QLatin1Char('\n') && afterCR) {
            afterCR = false;
            lineStart = i + 1;
            continue;
        }
        afterCR = c == QLatin1Char('\r');
        if (isBreak(c)) {
            if (shown >= shownPosition) return {i, lineStart, shownLineStart};
            ++shown;
            length = 0;
            lineStart = i + 1;
            shownLineStart = shown;
            continue;
        }
        if (length > 0 && length % ShownLineLimit == 0) ++shown;
        if (shown >= shownPosition) return {i, lineStart, shownLineStart};
        ++shown;
        ++length;
    }
    return {m_shown, lineStart, shownLineStart};
}

QMimeData* OutputBox::createMimeDataFromSelection() const {
    // What was selected of the content, without the breaks between the pieces of a long line.
    const QTextCursor cursor = textCursor();
    const qsizetype from = contentAt(cursor.selectionStart()).offset;
    const qsizetype to = contentAt(cursor.selectionEnd()).offset;
    QString text = m_text.mid(from, to - from);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void OutputBox::onContentsChange(int position, int removed, int added) {
    if (m_changing || (removed == 0 && added == 0)) return;
    // The user edited the box: the same change is made to the content where it was made.
    const ContentPosition from = contentAt(position);
    const qsizetype to = contentAt(position + removed).offset;
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    QString inserted = cursor.selectedText();
    inserted.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n")).replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    // An edit at the end of what is shown: a CR there no longer waits for its LF.
    if (to >= m_shown) m_afterCR = false;
    m_text.replace(from.offset, to - from.offset, inserted);
    m_shown += inserted.size() - (to - from.offset);
    measureLastLine();
    // A long line edited no longer breaks into pieces where the widget shows it broken: it is
    // shown again once the edit is done.
    const qsizetype lineEnd = [&] {
        qsizetype i = from.offset + inserted.size();
        while (i < m_shown && !isBreak(m_text[i])) ++i;
        return i;
    }();
    if (lineEnd - from.lineStart > ShownLineLimit || to - from.offset > ShownLineLimit)
        QMetaObject::invokeMethod(
            this,
            [this, from, caret = position + added, generation = m_generation] {
                if (generation == m_generation) showLineAgain(from.lineStart, from.shownLineStart, caret);
            },
            Qt::QueuedConnection);
}

void OutputBox::showLineAgain(qsizetype lineStart, qsizetype shownLineStart, int caret) {
    if (lineStart > m_shown || shownLineStart > document()->characterCount() - 1) return;
    m_changing = true;
    QTextCursor cursor(document());
    cursor.setPosition(int(shownLineStart));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_lineLength = 0;
    m_afterCR = false;
    showText(m_text.mid(lineStart, m_shown - lineStart));
    m_changing = false;
    QTextCursor restored = textCursor();
    restored.setPosition(qMin(caret, document()->characterCount() - 1));
    setTextCursor(restored);
}

void OutputBox::measureLastLine() {
    qsizetype start = m_shown;
    while (start > 0 && !isBreak(m_text[start - 1])) --start;
    m_lineLength = m_shown - start;
}
