#include "DBFormat.h"

#include "data/Conversions.h"
#include "data/TField.h"

#include <QLineEdit>

namespace kvo::db {

QString DisplayText(const TField* field, const QVariant& value) {
    if (!field || value.isNull()) return {};
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
        return value.toString();
    case ftFloat:
        return kvo::data::displayNumber(value.toDouble());
    case ftDateTime:
        return kvo::data::displayDate(kvo::data::toDate(value).value_or(QDate()));
    }
    return {};
}

EditMask::EditMask(const QString& mask) {
    const QStringList parts = mask.split(QLatin1Char(';'));
    const QString body = parts.value(0);
    if (parts.size() > 1) m_saveLiterals = parts.at(1).trimmed() != QLatin1String("0");
    int caseMode = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        switch (c.unicode()) {
        case '>':
            caseMode = 1;
            continue;
        case '<':
            caseMode = (i + 1 < body.size() && body.at(i + 1) == QLatin1Char('>')) ? 0 : -1;
            if (caseMode == 0) ++i;
            continue;
        case '\\':
            if (i + 1 < body.size()) m_slots.append({QChar(), body.at(++i), 0});
            continue;
        case 'a':
        case 'A':
            m_slots.append({QLatin1Char('a'), QChar(), caseMode});
            continue;
        case 'l':
        case 'L':
            m_slots.append({QLatin1Char('l'), QChar(), caseMode});
            continue;
        case '0':
        case '9':
        case '#':
            m_slots.append({QLatin1Char('0'), QChar(), caseMode});
            continue;
        case 'c':
        case 'C':
            m_slots.append({QLatin1Char('c'), QChar(), caseMode});
            continue;
        default:
            m_slots.append({QChar(), c, 0});
            continue;
        }
    }
}

bool EditMask::fits(const Slot& s, QChar c) {
    switch (s.kind.unicode()) {
    case 'a':
        return c.isLetterOrNumber();
    case 'l':
        return c.isLetter();
    case '0':
        return c.isDigit() || ((c == QLatin1Char('+') || c == QLatin1Char('-')));
    case 'c':
        return true;
    default:
        return c == s.literal;
    }
}

bool EditMask::Conform(QString& text) const {
    if (m_slots.isEmpty()) return true;
    QString out;
    bool clean = true;
    int slot = 0;
    for (QChar c : text) {
        if (slot >= m_slots.size()) {
            clean = false;
            break;
        }
        // Literals are filled in by the mask; a typed literal at its place is taken as it.
        while (slot < m_slots.size() && m_slots[slot].kind.isNull() && c != m_slots[slot].literal)
            out += m_slots[slot++].literal;
        if (slot >= m_slots.size()) {
            clean = false;
            break;
        }
        const Slot& s = m_slots[slot];
        if (!fits(s, c)) {
            clean = false;
            continue;
        }
        out += s.caseMode > 0 ? c.toUpper() : s.caseMode < 0 ? c.toLower() : c;
        ++slot;
    }
    text = out;
    return clean;
}

QString EditMask::Stored(const QString& text) const {
    if (m_saveLiterals || m_slots.isEmpty()) return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (i >= m_slots.size() || !m_slots[i].kind.isNull()) out += text.at(i);
    return out;
}

QValidator::State MaskValidator::validate(QString& input, int& pos) const {
    QString t = input;
    const bool clean = m_mask.Conform(t);
    if (!clean) return Invalid;
    if (t != input) {
        pos = int(std::min<qsizetype>(pos, t.size()));
        input = t;
    }
    return Acceptable;
}

QString TypedText(const QLineEdit* edit) {
    const auto* validator = dynamic_cast<const MaskValidator*>(edit->validator());
    return validator ? validator->Mask().Stored(edit->text()) : edit->text();
}

} // namespace kvo::db
