#pragma once

// Writing data packets straight to JSON text, in the encoding TDataPacket::fromJson reads.
// A day's diet rows are a few thousand rows; going through QJsonValue costs several times
// the database read.

#include <QByteArray>

#include "data/TDataPacket.h"

namespace kvo::server {

void appendPacketJson(QByteArray& out, const TDataPacket& p);
QByteArray packetJson(const TDataPacket& p);
QByteArray pairJson(const TPacketPair& p);
void appendJsonString(QByteArray& out, const QString& s);

} // namespace kvo::server
