#pragma once

// Building data packets from query results, and reading change-log values.

#include <QDate>
#include <QSqlQuery>
#include <QVariant>

#include "data/TDataPacket.h"

namespace kvo::server {

inline TPacketField textField(const char* name, int size) {
    return {QString::fromLatin1(name), ftString, size};
}
inline TPacketField fixedField(const char* name, int size) {
    return {QString::fromLatin1(name), ftFixedChar, size};
}
inline TPacketField numField(const char* name) {
    return {QString::fromLatin1(name), ftFloat, 0};
}
inline TPacketField dateField(const char* name) {
    return {QString::fromLatin1(name), ftDateTime, 0};
}

// A packet with these fields and one row per query row, columns taken in field order.
TDataPacket packetFromQuery(const QVector<TPacketField>& fields, QSqlQuery& q);

// One value as a packet carries it: texts, doubles, days (QDate), or null.
QVariant packetValue(const TPacketField& f, const QVariant& dbValue);

// Reading change-log values whatever type the client used.
QString logText(const QVariant& v); // null -> ""
double logNum(const QVariant& v);   // null -> 0
QDate logDate(const QVariant& v);   // null or malformed -> invalid; see kvo::data::toDate
bool sameValue(TFieldType type, const QVariant& a, const QVariant& b);

// The value at i, null past the end (or for a negative i): QVector::value without the copy.
inline const QVariant& cellAt(const QVector<QVariant>& values, qsizetype i) {
    static const QVariant null;
    return i >= 0 && i < values.size() ? values.at(i) : null;
}

} // namespace kvo::server
