#include "RowFilter.h"

#include "Exceptions.h"
#include "TField.h"

namespace kvo::data {

RowFilter::RowFilter(const kvo::data::FilterNode& root, const std::vector<Column>& columns) {
    bind(root, columns);
}

int RowFilter::bind(const kvo::data::FilterNode& n, const std::vector<Column>& columns) {
    const int at = int(m_nodes.size());
    m_nodes.push_back({n.kind, -1, -1, {}});
    if (n.kind != kvo::data::FilterNode::Compare) {
        const int left = bind(*n.left, columns);
        const int right = n.right ? bind(*n.right, columns) : -1;
        m_nodes[at].left = left;
        m_nodes[at].right = right;
        return at;
    }
    int column = -1;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].field->FieldName().compare(n.field, Qt::CaseInsensitive) == 0) column = int(i);
    if (column < 0) throw EDatabaseError(QStringLiteral("Campo '%1' não encontrado").arg(n.field));
    m_nodes[at].match = ValueMatcher::comparison(columns[column], column, ValueMatcher::Op(n.op), n.literal);
    return at;
}

bool RowFilter::eval(int node, const std::vector<Column>& columns, const Cell* row) const {
    const Node& n = m_nodes[node];
    switch (n.kind) {
    case kvo::data::FilterNode::And:
        return eval(n.left, columns, row) && eval(n.right, columns, row);
    case kvo::data::FilterNode::Or:
        return eval(n.left, columns, row) || eval(n.right, columns, row);
    case kvo::data::FilterNode::Not:
        return !eval(n.left, columns, row);
    case kvo::data::FilterNode::Compare:
        break;
    }
    const int c = n.match.column();
    return n.match.matches(columns[c], row[c]);
}

} // namespace kvo::data

static_assert(int(kvo::data::FilterNode::Ge) == int(kvo::data::ValueMatcher::Ge) &&
              int(kvo::data::FilterNode::Ne) == int(kvo::data::ValueMatcher::Ne));
