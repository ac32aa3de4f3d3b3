#include "number_conversion.h"

namespace platform {

namespace {
bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
} // namespace

std::optional<qint32> toLong(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;

    bool negative = false;
    if (begin < end && (text[begin] == QLatin1Char('+') || text[begin] == QLatin1Char('-'))) {
        negative = text[begin] == QLatin1Char('-');
        ++begin;
    }

    qint64 whole = 0;
    qsizetype digits = 0;
    qsizetype pos = begin;
    for (; pos < end && isDigit(text[pos]); ++pos, ++digits) {
        whole = whole * 10 + (text[pos].unicode() - '0');
        if (whole > qint64(INT32_MAX) + 1) return std::nullopt;
    }

    // The fraction decides the rounding: above one half rounds up, exactly one half goes to even.
    int firstFractionDigit = 0;
    bool restNonZero = false;
    if (pos < end && text[pos] == QLatin1Char('.')) {
        ++pos;
        for (qsizetype i = 0; pos < end && isDigit(text[pos]); ++pos, ++i, ++digits) {
            const int digit = text[pos].unicode() - '0';
            if (i == 0)
                firstFractionDigit = digit;
            else if (digit != 0)
                restNonZero = true;
        }
    }
    if (pos != end || digits == 0) return std::nullopt;

    if (firstFractionDigit > 5 || (firstFractionDigit == 5 && (restNonZero || whole % 2 == 1))) ++whole;
    const qint64 value = negative ? -whole : whole;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<qint32>(value);
}

} // namespace platform
