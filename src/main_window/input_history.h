#pragma once

#include <QStringList>
#include <optional>

// The lines sent in this run, for Up and Down in the input line, as shells and chat programs keep
// them: Up walks back from the newest, Down forward again and, past the newest, back to what was
// being typed when the walk began.
class InputHistory {
public:
    void add(const QString& line);
    // current: what the input line holds now.
    std::optional<QString> older(const QString& current);
    std::optional<QString> newer();

private:
    static constexpr qsizetype MaxLines = 1000;
    QStringList m_lines;
    qsizetype m_position = -1; // the line shown, or -1 while not walking
    QString m_draft;
};
