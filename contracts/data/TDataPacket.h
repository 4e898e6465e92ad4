#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <QVector>

// Field types that travel in data packets. JSON names: "string", "fixedchar", "float", "datetime".
enum TFieldType { ftString, ftFixedChar, ftFloat, ftDateTime };

// The name a field type has in packet JSON.
const char* FieldTypeName(TFieldType type);

struct TPacketField {
    QString name;
    TFieldType type = ftString;
    int size = 0; // characters, for the two text types
    bool operator==(const TPacketField&) const = default;
};

// A whole record set: field definitions and rows. Values are null QVariant, QString (texts),
// double (floats) or QDate (datetime fields: calendar days).
// JSON: {"fields":[{"name":..,"type":..,"size":..}],"rows":[[..],..]}; dates as "YYYY-MM-DDTHH:MM:SS".
class TDataPacket {
public:
    QVector<TPacketField> fields;
    QVector<QVector<QVariant>> rows;

    int FieldIndex(const QString& name) const; // -1 when absent (case-insensitive)

    // Strict decoding: throws EPacketError naming what is wrong; never returns a partial packet.
    static TDataPacket fromJson(const QJsonValue& value);
    static TDataPacket fromJson(const QByteArray& json);
    QJsonValue toJsonValue() const;
    QByteArray toJson() const;
};

// A packet pair as returned by methods that fill two record sets at once.
struct TPacketPair {
    TDataPacket first, second;
    static TPacketPair fromJson(const QJsonValue& value); // a JSON array of two packets
    QJsonValue toJsonValue() const;
};

// A record set's pending changes. JSON:
// {"fields":[..],"changes":[{"op":"modify","old":[..],"new":[..]},{"op":"insert","new":[..]},
//  {"op":"delete","old":[..]}]}
struct TChange {
    enum Op { Insert, Modify, Delete };
    Op op = Insert;
    QVector<QVariant> oldValues; // Modify, Delete
    QVector<QVariant> newValues; // Insert, Modify
};

class TChangeLog {
public:
    QVector<TPacketField> fields;
    QVector<TChange> changes;

    int FieldIndex(const QString& name) const;
    static TChangeLog fromJson(const QJsonValue& value);
    static TChangeLog fromJson(const QByteArray& json);
    QJsonValue toJsonValue() const;
    QByteArray toJson() const;
};
