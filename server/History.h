#pragma once

// The change history (KVOHISTORICO): every row a save inserts, changes or deletes, with who, from
// where and when, and the row's values before and after. It is written in the save's own
// transaction, so a save and its record commit or roll back together; the application only ever
// inserts into it (the schema refuses updates and deletes).

#include <QString>
#include <QVariantList>
#include <optional>

#include "CallContext.h"
#include "RowStore.h"

namespace kvo::server {

class History {
public:
    History(StatementCache& sc, const CallContext& context, QString method, QString stamp);

    // One applied change: before is empty for an insert, after for a delete. rowOperator is the
    // operator the row names, recorded when the call itself names none.
    void record(const TableDef& def, const std::optional<Row>& before, const std::optional<Row>& after,
                const QString& rowOperator = {});

private:
    StatementCache& m_sc;
    const CallContext& m_context;
    QString m_method, m_stamp;
};

// A row's key as the history stores it: the key values in table order joined by "|", days as
// YYYY-MM-DD.
QString historyKey(const QVariantList& keyValues);

} // namespace kvo::server
