#pragma once

// Writing data packets straight to JSON text, in the encoding TDataPacket::fromJson reads.
// A day's diet rows are a few thousand rows; going through QJsonValue costs several times
// the database read.

#include <QByteArray>
#include <string_view>

#include "data/TDataPacket.h"

namespace kvo::server {

void appendPacketJson(QByteArray& out, const TDataPacket& p);
class Statement;
// A packet of these fields with one row per statement row, written as the rows are read.
void appendPacketJson(QByteArray& out, const QVector<TPacketField>& fields, Statement& q);
QByteArray packetJson(const TDataPacket& p);
QByteArray pairJson(const TPacketPair& p);
void appendJsonString(QByteArray& out, const QString& s);
// The same for text already in valid UTF-8.
void appendJsonUtf8(QByteArray& out, std::string_view utf8);
// A finite number: whole ones below the limit as plain digits, others in the shortest form that
// reads back the same; non-finite ones as null. Packets write digits below 1e15, Qt's JSON
// writer (whose form the history keeps) below 2^53.
void appendJsonNumber(QByteArray& out, double d, double wholeBelow);

} // namespace kvo::server
