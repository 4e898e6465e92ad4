#pragma once

// Parser for record-set filter texts: comparisons of a field with a literal, joined by AND, OR,
// NOT and parentheses. The record set binds the parsed tree to its columns (RowFilter).

#include <QString>
#include <QVariant>
#include <memory>

namespace kvo::data {

struct FilterNode {
    enum Kind { And, Or, Not, Compare };
    enum Op { Eq, Ne, Lt, Le, Gt, Ge };

    Kind kind = Compare;
    std::unique_ptr<FilterNode> left, right; // Not uses left only

    // Compare
    QString field;
    Op op = Eq;
    QVariant literal; // QString, double, or null for NULL
};

// Throws EDatabaseError with a message that names the position of the fault.
std::unique_ptr<FilterNode> parseFilter(const QString& text);

} // namespace kvo::data
