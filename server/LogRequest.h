#pragma once

// Reading a JSON-RPC request that carries one change log straight into a TChangeLog, without a
// QJsonDocument in between: a day's log is a megabyte of JSON, and the Qt classes spend more time
// on it than the save itself. Only requests it fully understands are read; anything else (bad
// JSON, a wrong shape, a value the log decoder would refuse, or merely an unusual form such as
// duplicate members or escaped surrogates) is left to the general path, which answers it exactly
// as before.

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <optional>

#include "data/TDataPacket.h"

namespace kvo::server {

struct LogRequest {
    QJsonValue id; // null when absent
    bool notification = false;
    QString method;
    TChangeLog log;
};

std::optional<LogRequest> readLogRequest(const QByteArray& body);

} // namespace kvo::server
