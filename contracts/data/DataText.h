#pragma once

// Small text and date helpers shared by the packet codec, the fields and the record set.

#include <QDateTime>
#include <QString>

namespace kvo::data {

// Largest size a text field may declare; keeps a hostile packet from making us pad gigabytes.
constexpr int MaxTextSize = 1 << 20;

// Length in characters (code points), not UTF-16 units.
inline int charCount(const QString& s) {
    int n = 0;
    for (QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
}

// The first `size` characters of s, never splitting a surrogate pair.
inline QString cutToChars(const QString& s, int size) {
    if (s.size() <= size) return s;
    int chars = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isLowSurrogate()) continue;
        if (chars == size) return s.left(i);
        ++chars;
    }
    return s;
}

inline QString padToChars(const QString& s, int size) {
    int n = charCount(s);
    if (n >= size) return s;
    return s + QString(size - n, QLatin1Char(' '));
}

// Packet date text: "YYYY-MM-DDTHH:MM:SS" or "YYYY-MM-DD"; invalid QDateTime when malformed.
QDateTime parsePacketDate(const QString& text);
QString formatPacketDate(const QDateTime& value);

} // namespace kvo::data
