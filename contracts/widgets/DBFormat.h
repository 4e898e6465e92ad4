#pragma once

#include "FrameworkExport.h"

#include <QString>
#include <QValidator>
#include <QVariant>

class QLineEdit;
class TField;

namespace kvo::db {

// The text a control shows for a field's value on any row (not only the current one), the same
// as TField::DisplayText: numbers with a decimal comma and no trailing zeros, dates dd/MM/yyyy.
KVO_FRAMEWORK_EXPORT QString DisplayText(const TField* field, const QVariant& value);

// An edit mask "mask;save;blank" as the cell editor applies it: '>' upper-cases and '<'
// lower-cases what follows, 'a'/'A' a letter or digit, 'l'/'L' a letter, '0'/'9' a digit, 'c'/'C'
// any character; any other character is a literal. Lower-case (and '9') positions are optional.
class KVO_FRAMEWORK_EXPORT EditMask {
public:
    EditMask() = default;
    explicit EditMask(const QString& mask);

    bool IsEmpty() const { return m_slots.isEmpty(); }
    int Length() const { return int(m_slots.size()); }
    bool SaveLiterals() const { return m_saveLiterals; }

    // Brings typed text to the mask: case applied, characters that fit nowhere dropped, cut to
    // the mask's length. Returns false when a character had to be dropped.
    bool Conform(QString& text) const;
    // The text to store: literals removed unless the mask saves them.
    QString Stored(const QString& text) const;

private:
    struct Slot {
        QChar kind; // 'a', 'l', '0', 'c', or 0 for a literal
        QChar literal;
        int caseMode; // 0 as typed, 1 upper, -1 lower
    };
    static bool fits(const Slot& s, QChar c);
    QVector<Slot> m_slots;
    bool m_saveLiterals = true;
};

// Keeps a line edit's text within an edit mask.
class KVO_FRAMEWORK_EXPORT MaskValidator : public QValidator {
public:
    MaskValidator(const QString& mask, QObject* parent) : QValidator(parent), m_mask(mask) {}
    State validate(QString& input, int& pos) const override;
    const EditMask& Mask() const { return m_mask; }

private:
    EditMask m_mask;
};

// What a line edit holds as its field takes it: without the literals its mask does not save.
KVO_FRAMEWORK_EXPORT QString TypedText(const QLineEdit* edit);

} // namespace kvo::db
