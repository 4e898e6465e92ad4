#pragma once

// A parsed filter bound to a set's columns: its comparisons become value matchers, joined by the
// parsed AND / OR / NOT tree.

#include "FilterExpr.h"
#include "ValueMatcher.h"

#include <memory>
#include <vector>

namespace kvo::data {

class RowFilter {
public:
    // Throws EDatabaseError for a field the columns do not have.
    RowFilter(const kvo::data::FilterNode& root, const std::vector<Column>& columns);

    bool matches(const std::vector<Column>& columns, const Cell* row) const { return eval(0, columns, row); }
    // The single comparison the filter is, or nullptr when it joins several.
    const ValueMatcher* single() const { return m_nodes.size() == 1 ? &m_nodes[0].match : nullptr; }

private:
    struct Node {
        kvo::data::FilterNode::Kind kind;
        int left = -1, right = -1;
        ValueMatcher match;
    };
    int bind(const kvo::data::FilterNode& n, const std::vector<Column>& columns);
    bool eval(int node, const std::vector<Column>& columns, const Cell* row) const;

    std::vector<Node> m_nodes; // m_nodes[0] is the root
};

} // namespace kvo::data
