#pragma once

// Parser for record-set filter texts: comparisons of a field with a literal, joined by AND, OR,
// NOT and parentheses. The record set binds the parsed tree to its columns and evaluates it.

#include <QString>
#include <QVariant>
#include <cstdint>
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

    // Set when bound to a record set's columns
    int column = -1;
    bool never = false; // a comparison that cannot match any row (text field against a number)
    bool nullLiteral = false;
    double number = 0; // float literal / date literal as a sortable key
    qint64 dateKey = 0;
    QString text;                            // text literal, padded for fixed texts
    mutable std::uint32_t textId = 0;        // interned id of text, 0 for null, UINT32_MAX when unknown
    mutable std::size_t poolSeen = SIZE_MAX; // pool size when textId was looked up
};

// Throws EDatabaseError with a message that names the position of the fault.
std::unique_ptr<FilterNode> parseFilter(const QString& text);

} // namespace kvo::data
