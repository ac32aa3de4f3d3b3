#include "terminal_text.h"

QString TerminalText::operator()(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    // Plain characters are copied a run at a time: most lines have none to change but their end.
    const QChar* run = text.constData();
    for (const QChar *c = run, *end = run + text.size(); c != end; ++c) {
        const char16_t u = c->unicode();
        const bool lineEnd = u == u'\r' || u == u'\n';
        if (!lineEnd && !((u < 0x20 && u != u'\t') || (u >= 0x7f && u <= 0x9f))) {
            m_afterCR = false;
            continue;
        }
        shown.append(run, c - run);
        run = c + 1;
        if (u == u'\n' && m_afterCR) {
            m_afterCR = false;
            continue;
        }
        m_afterCR = u == u'\r';
        if (lineEnd)
            shown += QLatin1Char('\n');
        else
            shown += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    shown.append(run, text.constData() + text.size() - run);
    return shown;
}
