#pragma once

#include <QString>
#include <optional>

// Dotted IPv4 text, four decimal numbers from 0 to 255. Leading zeros are decimal too: "010" is
// ten, never octal eight. Host byte order.
std::optional<quint32> parseDottedDecimal(const QString& text);
QString ipv4ToText(quint32 address);
