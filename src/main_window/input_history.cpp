#include "input_history.h"

void InputHistory::add(const QString& line) {
    if (m_lines.isEmpty() || m_lines.last() != line) m_lines.append(line);
    if (m_lines.size() > MaxLines) m_lines.removeFirst();
    m_position = -1;
    m_draft.clear();
}

std::optional<QString> InputHistory::older(const QString& current) {
    if (m_lines.isEmpty() || m_position == 0) return std::nullopt;
    if (m_position < 0) {
        m_draft = current;
        m_position = m_lines.size();
    }
    return m_lines.at(--m_position);
}

std::optional<QString> InputHistory::newer() {
    if (m_position < 0) return std::nullopt;
    if (++m_position < m_lines.size()) return m_lines.at(m_position);
    m_position = -1;
    return m_draft;
}
