#include "text_decoding.h"

namespace platform {

Utf8Sequence utf8SequenceAt(const QByteArray& bytes, qsizetype start, qsizetype& length) {
    const auto byte = [&](qsizetype i) { return quint8(bytes[start + i]); };
    const quint8 lead = byte(0);
    quint8 low = 0x80, high = 0xBF;
    if (lead < 0x80) {
        length = 1;
        return Utf8Sequence::Complete;
    }
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return Utf8Sequence::Invalid;
    // Second bytes that would make an overlong form, a surrogate or a value above U+10FFFF.
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    for (qsizetype i = 1; i < length; ++i) {
        if (start + i >= bytes.size()) return Utf8Sequence::Incomplete;
        const quint8 c = byte(i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return Utf8Sequence::Invalid;
    }
    return Utf8Sequence::Complete;
}

qsizetype validUtf8Prefix(const QByteArray& bytes, bool& incomplete) {
    incomplete = false;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype length = 0;
        const Utf8Sequence s = utf8SequenceAt(bytes, at, length);
        if (s != Utf8Sequence::Complete) {
            incomplete = s == Utf8Sequence::Incomplete;
            return at;
        }
        at += length;
    }
    return at;
}

namespace {

// Windows-1252 for 0x80 to 0x9F; the rest of the code page is Latin-1. The five unassigned bytes
// keep their C1 control characters, as Windows maps them.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const quint8 c = quint8(bytes[i]);
        text[i] = QChar(c >= 0x80 && c < 0xA0 ? Cp1252High[c - 0x80] : char16_t(c));
    }
    return text;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    bool incomplete = false;
    return validUtf8Prefix(bytes, incomplete) == bytes.size() ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
}

} // namespace platform
