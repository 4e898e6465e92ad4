#pragma once

// The change history (KVOHISTORICO): every row a save inserts, changes or deletes, with who, from
// where and when, and the row's values before and after. It is written in the save's own
// transaction, so a save and its record commit or roll back together; the application only ever
// inserts into it (the schema refuses updates and deletes).

#include <QString>
#include <QVariantList>
#include <optional>
#include <vector>

#include "CallContext.h"
#include "RowStore.h"

namespace kvo::server {

class History {
public:
    History(StatementCache& sc, const CallContext& context, QString method, QString stamp);

    // One applied change: before is empty for an insert, after for a delete. rowOperator is the
    // operator the row names, recorded when the call itself names none. changed has a bit (1 << column)
    // for each column in which after may differ from before.
    static constexpr quint64 kAllColumns = ~quint64(0);
    void record(const TableDef& def, const std::optional<Row>& before, const std::optional<Row>& after,
                const QString& rowOperator = {}, quint64 changed = kAllColumns);

private:
    StatementCache& m_sc;
    const CallContext& m_context;
    // What every row of the call shares, bound as UTF-8 without converting it per row.
    QVariant m_method, m_stamp, m_address, m_operator;
    const TableDef* m_def = nullptr;
    QVariant m_table;
    // A large save records thousands of rows: their key and values are written into these,
    // which keep their capacity from one row to the next.
    QByteArray m_key, m_before, m_after;
    std::vector<qsizetype> m_spans; // where each member's value starts and ends in m_before
};

// The row's values as the history stores them, written over out: a JSON object in UTF-8, members
// in name order, the text Qt's compact JSON writer gives.
void writeHistoryRow(QByteArray& out, const TableDef& def, const Row& row);

// A row's key as the history stores it: the key values in table order joined by "|", days as
// YYYY-MM-DD.
QString historyKey(const QVariantList& keyValues);

} // namespace kvo::server
