#pragma once

#include <QByteArray>
#include <QString>

// A broadcast sends one text to many connections: it is encoded once, not once for each.
class EncodeCache {
public:
    // The text as UTF-8.
    QByteArray encode(const QString& text);

private:
    QString m_lastText;
    QByteArray m_lastBytes;
};
